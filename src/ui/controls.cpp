#include "ui/controls.h"

#include <commctrl.h>

#include <algorithm>

#include "frame/module.h"
#include "shared/error.h"
#include "shared/handles.h"
#include "shared/win_text.h"
#include "ui/spin_rules.h"

namespace vexlo::ui::controls {

namespace {

constexpr const char* kPageClass = "TvxPage";
constexpr int kSpinButtonWidth = 15;

struct FontPair {
    HFONT base;
    HFONT underlined;
};
std::vector<FontPair> g_fonts;  // touched on the forms' threads only, released at unload

void InitCommon(DWORD classes) {
    INITCOMMONCONTROLSEX icc{sizeof icc, classes};
    InitCommonControlsEx(&icc);
}

// Pages hold controls of their own; what those controls tell their parent belongs to
// the form, which handles it as if they were its direct children.
LRESULT CALLBACK PageProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        if (HWND form = GetAncestor(wnd, GA_ROOT); form && form != wnd)
            return SendMessageA(form, msg, wp, lp);
        break;
    default: break;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

char DecimalSeparator() {
    char sep[4] = {};
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep, sizeof sep) > 0 && sep[0] ? sep[0]
                                                                                                : '.';
}

void SetSpinText(HWND edit, const std::string& text) {
    SetWindowTextA(edit, text.c_str());
    SendMessageA(edit, EM_SETSEL, text.size(), text.size());
}

// The spin edit: an edit with the arrows inside its right edge. Typing is filtered, the
// arrows (buttons and keys) step by one within the range, and leaving the box brings a
// value outside the range back into it.
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
    }
    return DefSubclassProc(wnd, msg, wp, lp);
}

HWND CreateChild(DWORD ex, const char* cls, const char* text, DWORD style, int x, int y, int w, int h,
                 HWND parent, int id, const ControlDef& c) {
    HWND child = CreateWindowExA(ex, cls, text ? text : "", style, x, y, w, h, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module::Instance(),
                                 nullptr);
    if (!child) throw Error(std::string("Cannot create control ") + c.name);
    return child;
}

DWORD CommonStyle(const ControlDef& c) {
    DWORD style = WS_CHILD;
    if (!(c.flags & kHidden)) style |= WS_VISIBLE;
    if (c.flags & kDisabled) style |= WS_DISABLED;
    return style;
}

HWND CreateRadioGroup(const ControlDef& c, HWND parent, int left, int top, HFONT font) {
    HWND box = CreateChild(0, "BUTTON", c.text, CommonStyle(c) | BS_GROUPBOX | WS_GROUP, left, top, c.width,
                           c.height, parent, c.id, c);
    SendMessageA(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    int textHeight = 13;
    {
        WindowDc dc(parent);
        SelectGuard sel(dc.dc(), font);
        TEXTMETRICA tm{};
        if (GetTextMetricsA(dc.dc(), &tm)) textHeight = tm.tmHeight;
    }
    const std::vector<std::string> items = SplitItems(c.items);
    const int count = static_cast<int>(items.size());
    for (int i = 0; i < count; ++i) {
        const Rect r = RadioItemRect(c.width, c.height, count, i, textHeight);
        DWORD style = CommonStyle(c) | BS_AUTORADIOBUTTON;
        if (i == 0) style |= WS_GROUP | (c.tabOrder >= 0 ? WS_TABSTOP : 0);
        HWND item = CreateChild(0, "BUTTON", items[i].c_str(), style, left + r.left, top + r.top, r.Width(),
                                r.Height(), parent, RadioItemId(c.id, i), c);
        SendMessageA(item, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return box;
}

HWND CreateSpinEdit(const ControlDef& c, HWND parent, int left, int top, HFONT font) {
    DWORD style = CommonStyle(c) | ES_AUTOHSCROLL | ES_LEFT | WS_CLIPCHILDREN;
    if (c.tabOrder >= 0) style |= WS_TABSTOP;
    if (c.flags & kReadOnly) style |= ES_READONLY;
    HWND edit = CreateChild(WS_EX_CLIENTEDGE, "EDIT", c.text, style, left, top, c.width, c.height, parent,
                            c.id, c);
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    RECT client{};
    GetClientRect(edit, &client);
    HWND arrows = CreateChild(0, UPDOWN_CLASSA, nullptr, WS_CHILD | WS_VISIBLE,
                              client.right - kSpinButtonWidth, 0, kSpinButtonWidth, client.bottom, edit, 0, c);
    SendMessageA(arrows, UDM_SETRANGE32, c.minValue, c.maxValue);
    SendMessageA(edit, EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, kSpinButtonWidth + 1));
    if (!SetWindowSubclass(edit, &SpinProc, 0, reinterpret_cast<DWORD_PTR>(&c)))
        throw Error(std::string("Cannot create control ") + c.name);
    return edit;
}

HWND CreatePageControl(const ControlDef& c, HWND parent, int left, int top, HFONT font) {
    DWORD style = CommonStyle(c) | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (c.tabOrder >= 0) style |= WS_TABSTOP;
    HWND tabs = CreateChild(WS_EX_CONTROLPARENT, WC_TABCONTROLA, nullptr, style, left, top, c.width, c.height,
                            parent, c.id, c);
    SendMessageA(tabs, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return tabs;
}

HWND CreatePage(const ControlDef& c, HWND tabs, HFONT font) {
    if (!tabs) throw Error(std::string("Page without a page control: ") + c.name);
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
    HWND page = CreateChild(WS_EX_CONTROLPARENT, kPageClass, c.text, style, area.left, area.top,
                            area.right - area.left, area.bottom - area.top, tabs, c.id, c);
    SendMessageA(page, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    item.mask = TCIF_PARAM;
    item.lParam = reinterpret_cast<LPARAM>(page);
    SendMessageA(tabs, TCM_SETITEMA, index, reinterpret_cast<LPARAM>(&item));
    return page;
}

HWND PageAt(HWND tabs, int index) {
    TCITEMA item{};
    item.mask = TCIF_PARAM;
    if (!SendMessageA(tabs, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return reinterpret_cast<HWND>(item.lParam);
}

}  // namespace

bool IsCompound(Kind kind) {
    return kind == Kind::RadioGroup || kind == Kind::SpinEdit || kind == Kind::PageControl ||
           kind == Kind::Page || kind == Kind::Custom;
}

HWND CreateCompound(const ControlDef& c, HWND parent, int left, int top, HFONT font) {
    switch (c.kind) {
    case Kind::RadioGroup: return CreateRadioGroup(c, parent, left, top, font);
    case Kind::SpinEdit:
        InitCommon(ICC_UPDOWN_CLASS);
        return CreateSpinEdit(c, parent, left, top, font);
    case Kind::PageControl:
        InitCommon(ICC_TAB_CLASSES);
        EnsureWindowClass(kPageClass, &PageProc, IDC_ARROW, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
        return CreatePageControl(c, parent, left, top, font);
    case Kind::Page: return CreatePage(c, parent, font);
    case Kind::Custom: {
        DWORD style = CommonStyle(c);
        if (c.tabOrder >= 0) style |= WS_TABSTOP;
        const HFONT f = (c.flags & kUnderline) ? UnderlinedFont(font) : font;
        int w = c.width, h = c.height;
        if (c.flags & kAutoSize) {
            // Sized to its text like a label, so no font cuts it short.
            WindowDc dc(parent);
            SelectGuard sel(dc.dc(), f);
            RECT r{0, 0, 0, 0};
            DrawTextA(dc.dc(), c.text ? c.text : "", -1, &r, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
            w = r.right;
            h = r.bottom;
        }
        HWND wnd = CreateChild(0, c.items ? c.items : "STATIC", c.text, style, left, top, w, h, parent, c.id, c);
        SendMessageA(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
        return wnd;
    }
    default: return nullptr;
    }
}

HFONT UnderlinedFont(HFONT font) {
    for (const FontPair& p : g_fonts)
        if (p.base == font) return p.underlined;
    LOGFONTA lf{};
    if (!GetObjectA(font, sizeof lf, &lf)) return font;
    lf.lfUnderline = TRUE;
    HFONT u = CreateFontIndirectA(&lf);
    if (!u) return font;
    g_fonts.push_back({font, u});
    return u;
}

void ReleaseFonts() noexcept {
    for (const FontPair& p : g_fonts) DeleteObject(p.underlined);
    g_fonts.clear();
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

bool MeasureItem(const FormDef& def, MEASUREITEMSTRUCT& mis) {
    if (mis.CtlType != ODT_COMBOBOX) return false;
    const ControlDef* c = FindControl(def, static_cast<int>(mis.CtlID));
    if (!c || !(c->flags & kOwnerDraw)) return false;
    mis.itemHeight = kOwnerDrawItemHeight;  // the items and the selection field alike
    return true;
}

bool DrawItem(const FormDef& def, const DRAWITEMSTRUCT& dis) {
    if (dis.CtlType != ODT_COMBOBOX) return false;
    const ControlDef* c = FindControl(def, static_cast<int>(dis.CtlID));
    if (!c || !(c->flags & kOwnerDraw)) return false;
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
            TextOutA(dis.hDC, r.left + 2, r.top, text.data(), static_cast<int>(text.size()));
        }
    }
    if ((dis.itemState & ODS_FOCUS) && !(dis.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dis.hDC, &r);
    return true;
}

void ShowPage(HWND pageControl, int index) {
    const int count = static_cast<int>(SendMessageA(pageControl, TCM_GETITEMCOUNT, 0, 0));
    if (index < 0 || index >= count) return;
    SendMessageA(pageControl, TCM_SETCURSEL, index, 0);
    // The new page appears before the old one goes, so the focus never falls to nothing
    // visible when it sat on the old page.
    if (HWND shown = PageAt(pageControl, index)) ShowWindow(shown, SW_SHOW);
    for (int i = 0; i < count; ++i) {
        HWND page = PageAt(pageControl, i);
        if (i == index || !page) continue;
        HWND focus = GetFocus();
        if (focus && IsChild(page, focus)) SetFocus(pageControl);
        ShowWindow(page, SW_HIDE);
    }
}

int ActivePage(HWND pageControl) {
    return static_cast<int>(SendMessageA(pageControl, TCM_GETCURSEL, 0, 0));
}

int RadioIndex(HWND holder, const ControlDef& group) {
    const int count = static_cast<int>(SplitItems(group.items).size());
    for (int i = 0; i < count; ++i)
        if (SendMessageA(GetDlgItem(holder, RadioItemId(group.id, i)), BM_GETCHECK, 0, 0) == BST_CHECKED)
            return i;
    return -1;
}

void SetRadioIndex(HWND holder, const ControlDef& group, int index) {
    const int count = static_cast<int>(SplitItems(group.items).size());
    for (int i = 0; i < count; ++i)
        SendMessageA(GetDlgItem(holder, RadioItemId(group.id, i)), BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED,
                     0);
}

void EnableRadioItems(HWND holder, const ControlDef& group, bool enabled) {
    const int count = static_cast<int>(SplitItems(group.items).size());
    for (int i = 0; i < count; ++i) EnableWindow(GetDlgItem(holder, RadioItemId(group.id, i)), enabled);
}

}  // namespace vexlo::ui::controls
