// The control kinds' behaviour table and the shared fonts of the form layer (controls.h).
#include "ui/controls.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <iterator>

#include "shared/dpi.h"
#include "shared/error.h"
#include "shared/guard.h"
#include "shared/handles.h"
#include "shared/module.h"
#include "shared/win_text.h"
#include "ui/accessible.h"
#include "ui/password_box.h"
#include "ui/spin_rules.h"
#include "ui/surfaces.h"
#include "ui/window.h"

namespace vexlo::ui::controls {

namespace {

constexpr int kSpinButtonWidth = 15;

void InitCommon(DWORD classes) {
    INITCOMMONCONTROLSEX icc{sizeof icc, classes};
    InitCommonControlsEx(&icc);
}

HWND CreateChild(DWORD ex, const char* cls, const char* text, DWORD style, int x, int y, int w, int h,
                 HWND parent, int id, const ControlDef& c, void* param = nullptr) {
    HWND child = CreateWindowExA(ex, cls, text ? text : "", style, x, y, w, h, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module::Instance(), param);
    if (!child) throw SystemError(std::string("Cannot create control ") + c.name, GetLastError());
    return child;
}

void SetFont(HWND wnd, HFONT font) { SendMessageA(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE); }

DWORD CommonStyle(const ControlDef& c, bool focusable) {
    DWORD style = WS_CHILD;
    if (!(c.flags & kHidden)) style |= WS_VISIBLE;
    if (c.flags & kDisabled) style |= WS_DISABLED;
    if (focusable && c.tab >= 0) style |= WS_TABSTOP;
    return style;
}

HWND Simple(const char* cls, DWORD ex, DWORD style, const ControlDef& c, const Site& s) {
    HWND wnd = CreateChild(ex, cls, c.text, style, s.left, s.top, s.width, s.height, s.holder, c.id, c);
    SetFont(wnd, s.font);
    return wnd;
}

// --- labels: the size of their text; see-through labels paint what lies beneath them.
HWND CreateLabel(const ControlDef& c, const Site& s) {
    if (c.flags & kTransparent) {
        EnsureSurfaceClasses();
        HWND wnd = CreateChild(0, kSeeThroughLabelClass, c.text, CommonStyle(c, false) | WS_CLIPSIBLINGS, s.left,
                               s.top, s.width, s.height, s.holder, c.id, c, const_cast<ControlDef*>(&c));
        SetFont(wnd, s.font);
        return wnd;
    }
    return Simple("STATIC", 0, CommonStyle(c, false) | SS_LEFTNOWORDWRAP | SS_NOPREFIX, c, s);
}

HWND CreateEdit(const ControlDef& c, const Site& s) {
    DWORD style = CommonStyle(c, true) | ES_AUTOHSCROLL | ES_LEFT;
    if (c.flags & kPassword) style |= ES_PASSWORD;
    if (c.flags & kReadOnly) style |= ES_READONLY;
    if (c.flags & kNumeric) style |= ES_NUMBER;
    if (!(c.flags & kPassword)) {
        HWND edit = Simple("EDIT", WS_EX_CLIENTEDGE, style, c, s);
        if (c.textLimit > 0) SendMessageA(edit, EM_LIMITTEXT, static_cast<WPARAM>(c.textLimit), 0);
        return edit;
    }
    // A password box is a Unicode window: it holds stand-ins from the private use area.
    HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", style, s.left, s.top, s.width, s.height,
                                s.holder, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), module::Instance(),
                                nullptr);
    if (!edit) throw SystemError(std::string("Cannot create control ") + c.name, GetLastError());
    SetFont(edit, s.font);
    MakePasswordBox(edit);
    SendMessageW(edit, EM_SETPASSWORDCHAR, L'*', 0);
    if (c.textLimit > 0) SendMessageA(edit, EM_LIMITTEXT, static_cast<WPARAM>(c.textLimit), 0);
    return edit;
}

HWND CreateButton(const ControlDef& c, const Site& s) {
    return Simple("BUTTON", 0, CommonStyle(c, true) | ((c.flags & kDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), c, s);
}

HWND CreateCheckBox(const ControlDef& c, const Site& s) {
    return Simple("BUTTON", 0, CommonStyle(c, true) | BS_AUTOCHECKBOX, c, s);
}

HWND CreateRadioButton(const ControlDef& c, const Site& s) {
    const DWORD style = CommonStyle(c, true) | BS_AUTORADIOBUTTON | ((c.flags & kGroupStart) ? WS_GROUP : 0);
    return Simple("BUTTON", 0, style, c, s);
}

HWND CreateGroupBox(const ControlDef& c, const Site& s) {
    return Simple("BUTTON", 0, CommonStyle(c, false) | BS_GROUPBOX, c, s);
}

bool IsChecked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// --- pictures: windows of their own, below every other control.
HWND CreatePicture(const ControlDef& c, const Site& s) {
    EnsureSurfaceClasses();
    return CreateChild(0, kPictureClass, nullptr, CommonStyle(c, false) | WS_CLIPSIBLINGS, s.left, s.top, s.width,
                       s.height, s.holder, c.id, c, const_cast<ControlDef*>(&c));
}

// --- drop-down lists; owner-drawn ones show plain item text at a fixed height.
HWND CreateCombo(const ControlDef& c, const Site& s) {
    DWORD style = CommonStyle(c, true) | WS_VSCROLL | (c.kind == Kind::ComboList ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
    if (c.flags & kOwnerDraw) style |= CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
    HWND combo = Simple("COMBOBOX", 0, style, c, s);
    for (const std::string& item : SplitItems(c.items))
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    return combo;
}

int ComboIndex(HWND ctl, const ControlDef&) {
    const LRESULT sel = SendMessageA(ctl, CB_GETCURSEL, 0, 0);
    return sel == CB_ERR ? -1 : static_cast<int>(sel);
}

void SetComboIndex(HWND ctl, const ControlDef&, int index) {
    // An index beyond the list leaves it without a selection.
    SendMessageA(ctl, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void SetComboItems(HWND ctl, const std::vector<std::string>& items) {
    SendMessageA(ctl, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items) SendMessageA(ctl, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

bool MeasureCombo(const ControlDef& c, MEASUREITEMSTRUCT& mis) {
    if (mis.CtlType != ODT_COMBOBOX || !(c.flags & kOwnerDraw)) return false;
    mis.itemHeight = kOwnerDrawItemHeight;  // the items and the selection field alike
    return true;
}

bool DrawCombo(const ControlDef& c, const DRAWITEMSTRUCT& dis) {
    if (dis.CtlType != ODT_COMBOBOX || !(c.flags & kOwnerDraw)) return false;
    const bool selected = (dis.itemState & ODS_SELECTED) != 0;
    const bool disabled = (dis.itemState & ODS_DISABLED) != 0;
    RECT r = dis.rcItem;
    FillRect(dis.hDC, &r, GetSysColorBrush(disabled ? COLOR_BTNFACE : selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (static_cast<int>(dis.itemID) >= 0) {
        const LRESULT len = SendMessageA(dis.hwndItem, CB_GETLBTEXTLEN, dis.itemID, 0);
        if (len > 0) {
            std::string text(static_cast<std::size_t>(len) + 1, '\0');
            SendMessageA(dis.hwndItem, CB_GETLBTEXT, dis.itemID, reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<std::size_t>(len));
            SetBkMode(dis.hDC, TRANSPARENT);
            SetTextColor(dis.hDC, GetSysColor(disabled   ? COLOR_GRAYTEXT
                                              : selected ? COLOR_HIGHLIGHTTEXT
                                                         : COLOR_WINDOWTEXT));
            TextOutA(dis.hDC, r.left + dpi::Scale(2, DpiOf(dis.hwndItem)), r.top, text.data(),
                     static_cast<int>(text.size()));
        }
    }
    if ((dis.itemState & ODS_FOCUS) && !(dis.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dis.hDC, &r);
    return true;
}

// --- radio groups: a group box with radio buttons of the same holder, ids id+1+i.
int RadioCount(const ControlDef& group) { return static_cast<int>(SplitItems(group.items).size()); }

HWND RadioButtonOf(HWND box, const ControlDef& group, int i) {
    return GetDlgItem(GetParent(box), RadioItemId(group.id, i));
}

HWND CreateRadioGroup(const ControlDef& c, const Site& s) {
    HWND box = CreateChild(0, "BUTTON", c.text, CommonStyle(c, false) | BS_GROUPBOX | WS_GROUP, s.left, s.top,
                           s.width, s.height, s.holder, c.id, c);
    SetFont(box, s.font);
    const std::vector<std::string> items = SplitItems(c.items);
    const int count = static_cast<int>(items.size());
    for (int i = 0; i < count; ++i) {
        const Rect r = RadioItemAt(c, s, count, i);
        DWORD style = CommonStyle(c, false) | BS_AUTORADIOBUTTON;
        if (i == 0) style |= WS_GROUP | (c.tab >= 0 ? WS_TABSTOP : 0);
        HWND item = CreateChild(0, "BUTTON", items[i].c_str(), style, r.left, r.top, r.Width(), r.Height(),
                                s.holder, RadioItemId(c.id, i), c);
        SetFont(item, s.font);
    }
    return box;
}

int RadioIndex(HWND box, const ControlDef& group) {
    for (int i = 0; i < RadioCount(group); ++i)
        if (IsChecked(RadioButtonOf(box, group, i))) return i;
    return -1;
}

void SetRadioIndex(HWND box, const ControlDef& group, int index) {
    for (int i = 0; i < RadioCount(group); ++i)
        SendMessageA(RadioButtonOf(box, group, i), BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
}

void EnableRadioItems(HWND box, const ControlDef& group, bool enabled) {
    // A radio group's buttons look as enabled as the group.
    for (int i = 0; i < RadioCount(group); ++i) EnableWindow(RadioButtonOf(box, group, i), enabled);
}

// --- spin edits: an edit with the arrows inside its right edge. Typing is filtered, the
// arrows (buttons and keys) step by one within the range, and leaving the box brings a
// value outside the range back into it.
char DecimalSeparator() {
    char sep[4] = {};
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep, sizeof sep) > 0 && sep[0] ? sep[0] : '.';
}

void SetSpinText(HWND edit, const std::string& text) {
    SetWindowTextA(edit, text.c_str());
    SendMessageA(edit, EM_SETSEL, text.size(), text.size());
}

LRESULT CALLBACK SpinProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    const auto* c = reinterpret_cast<const ControlDef*>(data);
    try {
        switch (msg) {
        case WM_CHAR:
            if (!IsSpinChar(static_cast<char>(wp), DecimalSeparator())) {
                MessageBeep(0);
                return 0;
            }
            break;
        case WM_KEYDOWN:
            if (wp == VK_UP || wp == VK_DOWN) {
                if (!(GetWindowLongA(wnd, GWL_STYLE) & ES_READONLY))
                    SetSpinText(wnd, SpinStep(WindowText(wnd), wp == VK_UP ? 1 : -1, c->minValue, c->maxValue));
                return 0;
            }
            break;
        case WM_NOTIFY: {
            const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
            if (hdr->code == UDN_DELTAPOS) {
                const auto* ud = reinterpret_cast<const NMUPDOWN*>(lp);
                SetSpinText(wnd, SpinStep(WindowText(wnd), ud->iDelta > 0 ? 1 : -1, c->minValue, c->maxValue));
                if (GetFocus() != wnd) SetFocus(wnd);
                return 1;  // the arrows keep no position of their own
            }
            break;
        }
        case WM_VSCROLL: return 0;  // the arrows' scroll messages: handled as UDN_DELTAPOS
        case WM_KILLFOCUS: {
            const LRESULT r = DefSubclassProc(wnd, msg, wp, lp);
            std::string changed;
            if (SpinTextOnExit(WindowText(wnd), c->minValue, c->maxValue, changed))
                SetWindowTextA(wnd, changed.c_str());
            return r;
        }
        case WM_NCDESTROY: RemoveWindowSubclass(wnd, &SpinProc, 0); break;
        default: break;
        }
    } catch (...) {
        // A failed step leaves the text as it was.
        ReportCaught("spin edit", CurrentExceptionText());
    }
    return DefSubclassProc(wnd, msg, wp, lp);
}

HWND CreateSpinEdit(const ControlDef& c, const Site& s) {
    InitCommon(ICC_UPDOWN_CLASS);
    DWORD style = CommonStyle(c, true) | ES_AUTOHSCROLL | ES_LEFT | WS_CLIPCHILDREN;
    if (c.flags & kReadOnly) style |= ES_READONLY;
    HWND edit = Simple("EDIT", WS_EX_CLIENTEDGE, style, c, s);
    RECT client{};
    GetClientRect(edit, &client);
    const int arrowsWidth = dpi::Scale(kSpinButtonWidth, s.dpi);
    HWND arrows = CreateChild(0, UPDOWN_CLASSA, nullptr, WS_CHILD | WS_VISIBLE, client.right - arrowsWidth, 0,
                              arrowsWidth, client.bottom, edit, 0, c);
    // The arrows may size themselves when made (Wine's take 16 px): at another scale than
    // 96 DPI they are put to their scaled width; at 96 DPI they stay as they always were.
    if (s.dpi != dpi::kBase)
        SetWindowPos(arrows, nullptr, client.right - arrowsWidth, 0, arrowsWidth, client.bottom,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(arrows, UDM_SETRANGE32, c.minValue, c.maxValue);
    SendMessageA(edit, EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, arrowsWidth + 1));
    if (!SetWindowSubclass(edit, &SpinProc, 0, reinterpret_cast<DWORD_PTR>(&c)))
        throw Error(std::string("Cannot create control ") + c.name);
    return edit;
}

// --- page controls and pages: the page control shows one page at a time.
HWND PageAt(HWND tabs, int index) {
    TCITEMA item{};
    item.mask = TCIF_PARAM;
    if (!SendMessageA(tabs, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return reinterpret_cast<HWND>(item.lParam);
}

int ActivePage(HWND tabs, const ControlDef& = {}) { return static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0)); }

void ShowPage(HWND tabs, const ControlDef&, int index) {
    const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    if (index < 0 || index >= count) return;
    SendMessageA(tabs, TCM_SETCURSEL, index, 0);
    // The tabs are read as the page they show.
    char text[128] = {};
    TCITEMA tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    tab.cchTextMax = sizeof text;
    if (SendMessageA(tabs, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&tab))) NameControl(tabs, text);
    // The new page appears before the old one goes, so the focus never falls to nothing
    // visible when it sat on the old page.
    if (HWND shown = PageAt(tabs, index)) ShowWindow(shown, SW_SHOW);
    for (int i = 0; i < count; ++i) {
        HWND page = PageAt(tabs, i);
        if (i == index || !page) continue;
        HWND focus = GetFocus();
        if (focus && IsChild(page, focus)) SetFocus(tabs);
        ShowWindow(page, SW_HIDE);
    }
}

bool PageControlNotify(HWND tabs, const ControlDef& c, const NMHDR& hdr, LRESULT&) {
    if (hdr.code == static_cast<UINT>(TCN_SELCHANGE)) ShowPage(tabs, c, ActivePage(tabs));
    return false;  // the form's own handler hears of it too
}

HWND CreatePageControl(const ControlDef& c, const Site& s) {
    InitCommon(ICC_TAB_CLASSES);
    HWND tabs = CreateChild(WS_EX_CONTROLPARENT, WC_TABCONTROLA, nullptr,
                            CommonStyle(c, true) | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, s.left, s.top, s.width,
                            s.height, s.holder, c.id, c);
    SetFont(tabs, s.font);
    return tabs;
}

// Pages hold controls of their own; what those controls tell their parent belongs to
// the form, which handles it as if they were its direct children.
class Page : public ControlHolder {
public:
    static WindowClass Class() {
        return {.name = "TvxPage", .background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)};
    }
};

HWND CreatePage(const ControlDef& c, const Site& s) {
    // A page's holder is its page control.
    HWND tabs = s.holder;
    RegisterClassFor<Page>();
    const int index = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = const_cast<char*>(c.text ? c.text : "");
    if (SendMessageA(tabs, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item)) < 0)
        throw Error(std::string("Cannot create page ") + c.name);
    RECT area{};
    GetClientRect(tabs, &area);
    SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    if (index == 0) style |= WS_VISIBLE;
    HWND page = CreateChild(WS_EX_CONTROLPARENT, Page::Class().name, c.text, style, area.left, area.top,
                            area.right - area.left, area.bottom - area.top, tabs, c.id, c);
    SetFont(page, s.font);
    item.mask = TCIF_PARAM;
    item.lParam = reinterpret_cast<LPARAM>(page);
    SendMessageA(tabs, TCM_SETITEMA, index, reinterpret_cast<LPARAM>(&item));
    if (index == 0) NameControl(tabs, c.text ? c.text : "");
    return page;
}

// --- custom controls: a window of a class that a component registered; it gets its
// control definition as the creation parameter.
HWND CreateCustom(const ControlDef& c, const Site& s) {
    const HFONT f = (c.flags & kUnderline) ? UnderlinedFont(s.font) : s.font;
    HWND wnd = CreateChild(0, c.className ? c.className : "STATIC", c.text, CommonStyle(c, true), s.left, s.top,
                           s.width, s.height, s.holder, c.id, c, const_cast<ControlDef*>(&c));
    SetFont(wnd, f);
    return wnd;
}

// --- list views of large icons, one item per entry.
HWND CreateListView(const ControlDef& c, const Site& s) {
    InitCommon(ICC_LISTVIEW_CLASSES);
    const DWORD style = CommonStyle(c, true) | LVS_ICON | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_AUTOARRANGE;
    HWND list = Simple(WC_LISTVIEWA, 0, style, c, s);
    return list;
}

int ListViewIndex(HWND ctl, const ControlDef&) {
    return static_cast<int>(SendMessageA(ctl, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void SetListViewIndex(HWND ctl, const ControlDef&, int index) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    SendMessageA(ctl, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    if (index < 0) return;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(ctl, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    SendMessageA(ctl, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

void SetListViewItems(HWND ctl, const std::vector<std::string>& items) {
    SendMessageA(ctl, LVM_DELETEALLITEMS, 0, 0);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    for (const std::string& text : items) {
        item.pszText = const_cast<char*>(text.c_str());
        SendMessageA(ctl, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        ++item.iItem;
    }
}

// The table: one entry per kind, in the order of ui::Kind (checked below).
constexpr std::array<KindOps, kKindCount> kKinds = {{
    {.kind = Kind::Label, .create = CreateLabel, .sizedToText = true},
    {.kind = Kind::Edit, .create = CreateEdit},
    {.kind = Kind::Button, .create = CreateButton},
    {.kind = Kind::Picture, .create = CreatePicture},
    {.kind = Kind::CheckBox, .create = CreateCheckBox},
    {.kind = Kind::GroupBox, .create = CreateGroupBox},
    {.kind = Kind::ComboList, .create = CreateCombo, .getIndex = ComboIndex, .setIndex = SetComboIndex,
     .setItems = SetComboItems, .measure = MeasureCombo, .draw = DrawCombo},
    {.kind = Kind::ComboEdit, .create = CreateCombo, .getIndex = ComboIndex, .setIndex = SetComboIndex,
     .setItems = SetComboItems, .measure = MeasureCombo, .draw = DrawCombo},
    {.kind = Kind::RadioButton, .create = CreateRadioButton},
    {.kind = Kind::RadioGroup, .create = CreateRadioGroup, .getIndex = RadioIndex, .setIndex = SetRadioIndex,
     .setEnabled = EnableRadioItems},
    {.kind = Kind::SpinEdit, .create = CreateSpinEdit},
    {.kind = Kind::PageControl, .create = CreatePageControl, .getIndex = ActivePage, .setIndex = ShowPage,
     .notify = PageControlNotify},
    {.kind = Kind::Page, .create = CreatePage},
    {.kind = Kind::Custom, .create = CreateCustom},
    {.kind = Kind::ListView, .create = CreateListView, .getIndex = ListViewIndex, .setIndex = SetListViewIndex,
     .setItems = SetListViewItems},
}};

// Ops(kind) indexes the table: every entry must stand at its kind's place, and make something.
constexpr bool EveryKindInPlace() {
    for (std::size_t i = 0; i < kKinds.size(); ++i)
        if (kKinds[i].kind != static_cast<Kind>(i) || !kKinds[i].create) return false;
    return true;
}
static_assert(EveryKindInPlace(), "kKinds must list one entry per ui::Kind, in the enum's order");

struct FontEntry {
    int height;
    bool bold, underline;
    UniqueHfont font;
};

CriticalSection& FontLock() {
    static CriticalSection cs;
    return cs;
}

// Kept from first use until the library unloads (ReleaseFonts); at process exit the fonts
// go with the process, and no destructor runs for them.
StartupSlot<std::vector<FontEntry>> g_fonts;

// Only with FontLock held.
std::vector<FontEntry>& Fonts() {
    if (!g_fonts) g_fonts.Emplace();
    return *g_fonts.get();
}

// How many forms hold each height (HoldFontHeight); only with FontLock held.
struct HeightHold {
    int height, forms;
};
StartupSlot<std::vector<HeightHold>> g_holds;

std::vector<HeightHold>& Holds() {
    if (!g_holds) g_holds.Emplace();
    return *g_holds.get();
}

}  // namespace

const KindOps& Ops(Kind kind) {
    const auto i = static_cast<std::size_t>(kind);
    if (i >= kKinds.size()) throw Error("Unknown control kind");
    return kKinds[i];
}

SIZE Extent(const ControlDef& c, const Site& s, const char* text) {
    // Labels, and custom controls sized to their text so no font cuts them short.
    if ((c.kind == Kind::Label && !(c.flags & kFixedSize)) || (c.kind == Kind::Custom && (c.flags & kAutoSize)))
        return TextSize(s.measure, (c.flags & kUnderline) && c.kind == Kind::Custom ? UnderlinedFont(s.font) : s.font,
                        text);
    int height = dpi::Scale(c.at.height, s.dpi);
    // A drop-down's window height includes its dropped list: room for eight items.
    if (c.kind == Kind::ComboList || c.kind == Kind::ComboEdit)
        height += dpi::Scale(8 * kOwnerDrawItemHeight + 2, s.dpi);
    return {dpi::Scale(c.at.width, s.dpi), height};
}

Rect RadioItemAt(const ControlDef& group, const Site& s, int count, int index) {
    // Laid out at 96 DPI with the text's height there, then scaled as a whole.
    int textHeight = 13;
    {
        SelectGuard sel(s.measure, s.font);
        TEXTMETRICA tm{};
        if (GetTextMetricsA(s.measure, &tm)) textHeight = MulDiv(tm.tmHeight, dpi::kBase, s.dpi);
    }
    const Rect r = RadioItemRect(group.at.width, group.at.height, count, index, textHeight);
    const int left = s.left + dpi::Scale(r.left, s.dpi), top = s.top + dpi::Scale(r.top, s.dpi);
    return {left, top, left + dpi::Scale(r.Width(), s.dpi), top + dpi::Scale(r.Height(), s.dpi)};
}

SIZE TextSize(HDC measure, HFONT font, const char* text) {
    SelectGuard sel(measure, font);
    RECT r{0, 0, 0, 0};
    DrawTextA(measure, text ? text : "", -1, &r, DT_CALCRECT | DT_NOPREFIX);
    return {r.right, r.bottom};
}

HFONT SharedFont(int height, bool bold, bool underline) {
    Lock lock(FontLock());
    for (const FontEntry& f : Fonts())
        if (f.height == height && f.bold == bold && f.underline == underline) return f.font.get();
    // "MS Sans Serif", height -11: 8 points at 96 dpi, the look of every form.
    HFONT font = CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, underline ? TRUE : FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
    if (!font) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    Fonts().push_back({height, bold, underline, UniqueHfont(font)});
    return font;
}

HFONT UnderlinedFont(HFONT font) {
    LOGFONTA lf{};
    if (!font || !GetObjectA(font, sizeof lf, &lf)) return font;
    return SharedFont(lf.lfHeight, lf.lfWeight >= FW_BOLD, true);
}

void ReleaseFonts() noexcept {
    Lock lock(FontLock());
    g_fonts.Reset();
    g_holds.Reset();
}

void HoldFontHeight(int height) {
    Lock lock(FontLock());
    for (HeightHold& h : Holds())
        if (h.height == height) {
            ++h.forms;
            return;
        }
    Holds().push_back({height, 1});
}

void ReleaseFontHeight(int height) noexcept {
    std::vector<FontEntry> gone;  // deleted after the lock is let go
    {
        Lock lock(FontLock());
        if (!g_holds) return;
        auto& holds = Holds();
        auto it = std::find_if(holds.begin(), holds.end(), [&](const HeightHold& h) { return h.height == height; });
        if (it == holds.end() || --it->forms > 0) return;
        holds.erase(it);
        auto& fonts = Fonts();
        const auto first = std::stable_partition(fonts.begin(), fonts.end(),
                                                 [&](const FontEntry& f) { return f.height != height; });
        std::move(first, fonts.end(), std::back_inserter(gone));
        fonts.erase(first, fonts.end());
    }
}

HWND FindDescendant(HWND root, int id) {
    if (!root) return nullptr;
    if (HWND direct = GetDlgItem(root, id)) return direct;
    for (HWND child = GetWindow(root, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!(GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT)) continue;
        if (HWND found = FindDescendant(child, id)) return found;
    }
    return nullptr;
}

}  // namespace vexlo::ui::controls
