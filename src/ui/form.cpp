#include "ui/form.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "shared/dpi.h"
#include "shared/error.h"
#include "shared/module.h"
#include "shared/win_text.h"
#include "ui/accessible.h"
#include "ui/controls.h"
#include "ui/keyboard.h"
#include "ui/password_box.h"
#include "ui/surfaces.h"

namespace vexlo::ui {

namespace {

DWORD FormStyle(const FormDef& def) {
    DWORD style = WS_POPUP | WS_CLIPSIBLINGS;
    if (def.border != Border::None) style |= WS_CAPTION;
    if (def.systemMenu && def.border != Border::None) style |= WS_SYSMENU;
    return style;
}

DWORD FormExStyle(const FormDef& def) {
    DWORD ex = 0;
    if (def.border == Border::Dialog) ex |= WS_EX_DLGMODALFRAME;
    if (def.stayOnTop || (def.options & kTopmost)) ex |= WS_EX_TOPMOST;
    if (def.options & kToolWindow) ex |= WS_EX_TOOLWINDOW;
    if ((def.options & kLayered) || def.colourKey) ex |= WS_EX_LAYERED;
    return ex;
}

COLORREF ColourRef(const Colour& c) { return c.system ? GetSysColor(static_cast<int>(c.value)) : c.value; }

Rect PositionArea(const FormDef& def, HWND owner) {
    if (def.position == Position::OwnerCenter && owner) {
        RECT r;
        GetWindowRect(owner, &r);
        return {r.left, r.top, r.right, r.bottom};
    }
    if (def.position == Position::DesktopCenter) {
        const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
        return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    }
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

bool IsValidIcon(HICON icon) {
    if (!icon) return false;
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return false;
    // The answer comes with copies of the icon's bitmaps.
    UniqueHbitmap mask(info.hbmMask), colour(info.hbmColor);
    return true;
}

bool IsPushButton(HWND wnd) {
    char cls[16] = {};
    if (!GetClassNameA(wnd, cls, sizeof cls) || lstrcmpiA(cls, "Button") != 0) return false;
    const LONG type = GetWindowLongA(wnd, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

RECT RectIn(HWND wnd, HWND in) {
    RECT r{};
    GetWindowRect(wnd, &r);
    MapWindowPoints(nullptr, in, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Every window below a form at a new DPI, in proportion, with the form's fonts at the new
// DPI: the windows that no table places (a radio group's buttons, a spin box's arrows,
// pages, what a form placed itself) keep their places among the rest.
struct RescaleJob {
    int from, to, fontHeight;
};

BOOL CALLBACK RescaleChild(HWND child, LPARAM param) {
    const RescaleJob& j = *reinterpret_cast<const RescaleJob*>(param);
    LOGFONTA lf{};
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0));
    if (font && GetObjectA(font, sizeof lf, &lf) && lf.lfHeight == dpi::Scale(j.fontHeight, j.from)) {
        HFONT scaled =
            controls::SharedFont(dpi::Scale(j.fontHeight, j.to), lf.lfWeight >= FW_BOLD, lf.lfUnderline != 0);
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(scaled), FALSE);
    }
    const RECT r = RectIn(child, GetParent(child));
    const auto at = [&](LONG v) { return MulDiv(v, j.to, j.from); };
    SetWindowPos(child, nullptr, at(r.left), at(r.top), at(r.right) - at(r.left), at(r.bottom) - at(r.top),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}

BOOL CALLBACK TellColourChange(HWND child, LPARAM) {
    SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

}  // namespace

Form::Form(const FormDef& def, std::span<const Command> commands)
    : def_(def), commands_(commands), controls_(def.controls) {
    if (!def.background.system) ownBrush_.reset(CreateSolidBrush(def.background.value));
}

Form::~Form() {
    // A form its code still owns with a window (a set-up that failed half-way) takes the
    // window along first, so the icon goes after the window that shows it, and the fonts
    // after the controls that use them.
    DestroyUnbound();
    if (heldFontHeight_) controls::ReleaseFontHeight(heldFontHeight_);
}

int Form::HoldFontsAt(int dpi) {
    const int height = dpi::Scale(def_.fontHeight, dpi);
    if (height == heldFontHeight_) return 0;
    controls::HoldFontHeight(height);
    return std::exchange(heldFontHeight_, height);
}

HFONT Form::Font(bool bold) const { return controls::SharedFont(dpi::Scale(def_.fontHeight, dpi_), bold); }

HDC Form::MeasureDc() {
    if (!measureDc_) measureDc_.reset(CreateCompatibleDC(nullptr));
    if (!measureDc_) throw SystemError("Cannot measure text", GetLastError());
    return measureDc_.get();
}

HBRUSH Form::BackgroundBrush() const {
    return ownBrush_ ? ownBrush_.get() : GetSysColorBrush(static_cast<int>(def_.background.value));
}

SIZE Form::FrameSize(int dpi) const {
    RECT r{0, 0, dpi::Scale(def_.clientWidth, dpi), dpi::Scale(def_.clientHeight, dpi)};
    dpi::AdjustRect(r, FormStyle(def_), FormExStyle(def_), dpi);
    return {r.right - r.left, r.bottom - r.top};
}

HWND Form::Handle() {
    if (Hwnd()) return Hwnd();
    // Per-monitor aware, so that the system never stretches the form (dpi.h).
    const dpi::AwareScope aware;
    const DWORD style = FormStyle(def_), ex = FormExStyle(def_);
    HWND owner = ownOwner_ ? owner_ : module::OwnerWindow();
    if (owner && !IsWindow(owner)) owner = nullptr;
    const auto origin = [&](SIZE size) {
        const Rect at = CenterIn(PositionArea(def_, owner), size.cx, size.cy);
        return POINT{at.left, at.top};
    };
    // Sized for the system DPI; the window's own DPI is known once it exists (WM_CREATE).
    const int guess = dpi::System();
    SIZE size = FrameSize(guess);
    POINT at{CW_USEDEFAULT, CW_USEDEFAULT};
    if (def_.position != Position::Default) at = origin(size);
    // The form paints its own background (WM_ERASEBKGND), so the class has no brush.
    HWND wnd = Create({.name = def_.className}, ex, def_.caption, style, at.x, at.y, size.cx, size.cy, owner, nullptr);
    if (dpi_ != guess) {
        size = FrameSize(dpi_);
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (def_.position != Position::Default) at = origin(size);
        else flags |= SWP_NOMOVE;
        SetWindowPos(wnd, nullptr, at.x, at.y, size.cx, size.cy, flags);
    }
    if (def_.colourKey) SetLayeredWindowAttributes(wnd, ColourRef(*def_.colourKey), 255, LWA_COLORKEY);
    else if (ex & WS_EX_LAYERED) SetLayeredWindowAttributes(wnd, 0, 255, LWA_ALPHA);
    if (icon_) {
        SendMessageA(wnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
        SendMessageA(wnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_.get()));
    }
    if (!OnCreate()) throw Error(std::string("Cannot create window ") + def_.className);
    return Hwnd();
}

void Form::SetIcon(HICON icon) {
    if (icon_.get() == icon) return;
    HICON valid = IsValidIcon(icon) ? icon : nullptr;
    if (HWND wnd = Hwnd()) {
        SendMessageA(wnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(valid));
        SendMessageA(wnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(valid));
    }
    icon_.reset(valid);
}

void Form::SetOwner(HWND owner) {
    ownOwner_ = true;
    owner_ = owner;
}

void Form::SetPicture(int id, const char* resource) {
    if (PictureWindow* p = As<PictureWindow>(Item(id))) p->SetResource(resource);
}

void Form::SetPictureIcon(int id, HICON icon) {
    if (PictureWindow* p = As<PictureWindow>(Item(id))) p->SetIcon(icon);
}

void Form::SetPictureSystemIcon(int id, const char* name) {
    if (PictureWindow* p = As<PictureWindow>(Item(id))) p->SetSystemIcon(name);
}

void Form::SetPictureText(int id, const std::string& text) {
    if (PictureWindow* p = As<PictureWindow>(Item(id))) p->SetSpokenText(text);
}

void Form::CreateControls() {
    // A form whose controls cannot all be built is not created at all.
    for (int index : CreationOrder(controls_)) CreateControl(controls_[index]);
    NameLabelledControls();
    StackPictures();
    if (def_.colourKey) UpdateKeyRegion();
}

void Form::NameLabelledControls() {
    // Each label stands before its control (CreationOrder), which is how the system's
    // objects for edits find their names. A combo box's object does so on Windows but not
    // everywhere, so it is named outright, with the same text.
    for (int i = 0; i < controls_.Count(); ++i) {
        const int target = LabelledControl(controls_, i);
        if (target < 0) continue;
        const ControlDef& c = controls_[target];
        if ((c.kind == Kind::ComboList || c.kind == Kind::ComboEdit) && controls_[i].text)
            NameControl(Item(c.id), NameFromLabel(controls_[i].text));
    }
}

void Form::UpdateKeyRegion() {
    // The colour key makes the key-coloured background invisible; clicks there must reach
    // the window below as well. Windows does that for the key colour itself, Wine does not:
    // so the window's region is also cut to its visible controls (their own regions where
    // they have one), which gives the same behaviour on both.
    HWND wnd = Hwnd();
    if (!wnd) return;
    UniqueHrgn region(CreateRectRgn(0, 0, 0, 0));
    RECT frame{};
    GetWindowRect(wnd, &frame);
    for (HWND child = GetWindow(wnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        RECT r{};
        GetWindowRect(child, &r);
        UniqueHrgn part(CreateRectRgn(0, 0, 0, 0));
        if (GetWindowRgn(child, part.get()) == ERROR) part.reset(CreateRectRgn(0, 0, r.right - r.left, r.bottom - r.top));
        OffsetRgn(part.get(), r.left - frame.left, r.top - frame.top);
        CombineRgn(region.get(), region.get(), part.get(), RGN_OR);
    }
    // The system owns a region once it is set.
    if (SetWindowRgn(wnd, region.get(), TRUE)) region.release();
}

controls::Site Form::SiteOf(const ControlDef& c, const char* text) {
    // Inside a group box a control is placed relative to the box; inside a page it is a
    // window of the page; a page is a window of its page control.
    const Placement at = PlaceOf(controls_, c);
    HWND holder = c.kind == Kind::Page ? Item(c.parent) : at.holder ? Item(at.holder) : Hwnd();
    if (!holder) throw Error(std::string("Cannot create control ") + c.name);
    controls::Site site{holder, Scaled(at.left), Scaled(at.top), Font((c.flags & kBold) != 0), MeasureDc(), dpi_};
    const SIZE size = controls::Extent(c, site, text);
    site.width = size.cx;
    site.height = size.cy;
    return site;
}

HWND Form::CreateControl(const ControlDef& c) {
    HWND wnd = controls::Ops(c.kind).create(c, SiteOf(c, c.text));
    if (c.kind == Kind::Picture) pictures_.push_back(wnd);
    return wnd;
}

void Form::StackPictures() {
    // Pictures lie below every other control, the first of the table lowest: a label or a
    // button over a picture is seen, and a logo lies on its banner.
    for (auto it = pictures_.rbegin(); it != pictures_.rend(); ++it)
        SetWindowPos(*it, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

HWND Form::AddControl(const ControlDef& def) {
    Handle();
    const dpi::AwareScope aware;
    AddedControl& added = added_.emplace_back();
    auto keep = [](std::string& store, const char* text) -> const char* {
        if (!text) return nullptr;
        store = text;
        return store.c_str();
    };
    added.def = def;
    added.def.name = keep(added.name, def.name ? def.name : "");
    added.def.text = keep(added.text, def.text);
    added.def.items = keep(added.items, def.items);
    added.def.className = keep(added.className, def.className);
    added.def.resource = keep(added.resource, def.resource);
    controls_.Add(added.def);
    HWND wnd = nullptr;
    try {
        wnd = CreateControl(added.def);
    } catch (...) {
        controls_ = ControlList(def_.controls);
        added_.pop_back();
        for (const AddedControl& a : added_) controls_.Add(a.def);
        throw;
    }
    if (def.kind == Kind::Picture) {
        StackPictures();
    } else {
        // The system's tab order is the order of the windows: the new control goes where
        // the table's creation order puts it, before the next control of the same holder.
        const std::vector<int> order = CreationOrder(controls_);
        HWND holder = GetParent(wnd), before = nullptr;
        bool passed = false;
        for (int index : order) {
            const ControlDef& o = controls_[index];
            if (&o == &added.def) {
                passed = true;
                continue;
            }
            if (!passed || o.kind == Kind::Picture) continue;
            HWND other = Item(o.id);
            if (other && other != wnd && GetParent(other) == holder) {
                before = other;
                break;
            }
        }
        if (before) {
            HWND prev = GetWindow(before, GW_HWNDPREV);
            SetWindowPos(wnd, prev ? prev : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    if (def_.colourKey) UpdateKeyRegion();
    return wnd;
}

void Form::PaintBeneath(HWND child, HDC dc) const {
    HWND form = Hwnd();
    const RECT area = RectIn(child, form);
    POINT old{};
    SetWindowOrgEx(dc, area.left, area.top, &old);
    FillRect(dc, &area, BackgroundBrush());
    // The pictures below the child, bottom first; a picture itself stops the walk.
    for (HWND picture : pictures_) {
        if (picture == child) break;
        if (!IsWindowVisible(picture)) continue;
        const RECT r = RectIn(picture, form);
        RECT overlap{};
        if (!IntersectRect(&overlap, &r, &area)) continue;
        if (const PictureWindow* p = As<PictureWindow>(picture)) p->Draw(dc, r.left, r.top);
    }
    SetWindowOrgEx(dc, old.x, old.y, nullptr);
}

void Form::ShowModeless() {
    HWND wnd = Handle();
    if (!modeless_) {
        modeless_ = true;
        HandOver();
        AttachModelessKeyboard(this);
    }
    if (!def_.activateOnShow) {
        ShowWindow(wnd, SW_SHOWNOACTIVATE);
        return;
    }
    ShowWindow(wnd, SW_SHOW);
    SetForegroundWindow(wnd);
    SetActiveWindow(wnd);
}

int Form::ShowModal() {
    HWND wnd = Handle();
    HWND owner = GetWindow(wnd, GW_OWNER);
    // Like a modal dialog, keep the owner from taking input while we run.
    const bool disableOwner = owner && IsWindowEnabled(owner);
    if (disableOwner) EnableWindow(owner, FALSE);
    modalResult_ = mrNone;
    ShowWindow(wnd, def_.activateOnShow ? SW_SHOW : SW_SHOWNOACTIVATE);
    if (def_.activateOnShow) SetForegroundWindow(wnd);
    MSG msg;
    while (modalResult_ == mrNone && Hwnd()) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // Hand the quit request on to the loop that will run after ours.
            PostQuitMessage(static_cast<int>(msg.wParam));
            if (modalResult_ == mrNone) modalResult_ = mrCancel;
            break;
        }
        if (got == -1) break;
        if (!DialogKey(msg) && !IsDialogMessageA(wnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (disableOwner) EnableWindow(owner, TRUE);
    if (Hwnd()) {
        // Give activation back to the owner before the window goes, so it does not
        // end up behind another program.
        if (owner) SetActiveWindow(owner);
        Destroy();
    }
    return modalResult_;
}

HWND Form::ActivePage(HWND tabs) const {
    TCITEMA item{};
    item.mask = TCIF_PARAM;
    const int index = static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
    return SendMessageA(tabs, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item)) ? reinterpret_cast<HWND>(item.lParam)
                                                                                   : nullptr;
}

bool Form::TabAroundPages(HWND tabs, bool back) {
    // The page control holds its pages (it is a control parent), and the dialog manager
    // walks into a control parent without ever stopping at it: so the tabs are made a
    // stop of their own here, between what comes before them and the active page.
    HWND focus = GetFocus();
    if (!focus || !IsWindowVisible(tabs) || !IsWindowEnabled(tabs)) return false;
    HWND form = Hwnd(), page = ActivePage(tabs);
    const bool inside = IsChild(tabs, focus);
    HWND target = nullptr;
    if (focus == tabs) {
        HWND first = page ? GetNextDlgTabItem(page, nullptr, FALSE) : nullptr;
        if (first && !IsChild(page, first)) first = nullptr;
        if (!back) {
            target = first;
        } else {
            target = GetNextDlgTabItem(form, first ? first : tabs, TRUE);
            if (target && IsChild(tabs, target)) target = nullptr;
        }
    } else {
        HWND next = GetNextDlgTabItem(form, focus, back);
        if (!back && !inside && next && IsChild(tabs, next)) target = tabs;
        if (back && inside && next && !IsChild(tabs, next)) target = tabs;
    }
    if (!target) return false;
    OnNextDlgCtl(reinterpret_cast<WPARAM>(target), TRUE);
    return true;
}

bool Form::DialogKey(const MSG& msg) {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0 &&
        GetKeyState(VK_MENU) >= 0)
        if (const int pages = controls_.FindKind(Kind::PageControl); pages && Item(pages))
            return TabAroundPages(Item(pages), GetKeyState(VK_SHIFT) < 0);
    if (msg.message != WM_KEYDOWN || GetKeyState(VK_CONTROL) >= 0) return false;
    int step = 0;
    if (msg.wParam == VK_TAB) step = GetKeyState(VK_SHIFT) < 0 ? -1 : 1;
    else if (msg.wParam == VK_NEXT) step = 1;
    else if (msg.wParam == VK_PRIOR) step = -1;
    const int pages = step ? controls_.FindKind(Kind::PageControl) : 0;
    HWND tabs = pages ? Item(pages) : nullptr;
    if (!tabs || !IsWindowEnabled(tabs)) return false;
    const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    if (count <= 0) return false;
    const int next = ((ItemIndex(pages) + step) % count + count) % count;
    SetItemIndex(pages, next);
    // The focus goes to the page's first control, as the keys are there to reach it.
    HWND page = ActivePage(tabs);
    HWND first = page ? GetNextDlgTabItem(page, nullptr, FALSE) : nullptr;
    OnNextDlgCtl(reinterpret_cast<WPARAM>(first && IsChild(page, first) ? first : tabs), TRUE);
    return true;
}

void Form::Close() {
    if (HWND wnd = Hwnd()) SendMessageA(wnd, WM_CLOSE, 0, 0);
}

HWND Form::Item(int id) const { return Hwnd() ? controls::FindDescendant(Hwnd(), id) : nullptr; }

std::string Form::Text(int id) const {
    HWND item = Item(id);
    // A password box's text never passes through a message: the conversions would copy it.
    return IsPasswordBox(item) ? PasswordBoxText(item) : WindowText(item);
}

void Form::SetText(int id, const std::string& text) {
    HWND item = Item(id);
    if (IsPasswordBox(item)) SetPasswordBoxText(item, text);
    else SetWindowTextA(item, text.c_str());
    // A label keeps the size of its text when the text changes.
    const ControlDef* c = controls_.Find(id);
    if (item && c && controls::Ops(c->kind).sizedToText && !(c->flags & kFixedSize)) {
        const dpi::AwareScope aware;
        const SIZE s = controls::TextSize(MeasureDc(), Font((c->flags & kBold) != 0), text.c_str());
        SetWindowPos(item, nullptr, 0, 0, s.cx, s.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

bool Form::Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }

void Form::SetEnabled(int id, bool enabled) {
    HWND item = Item(id);
    EnableWindow(item, enabled ? TRUE : FALSE);
    const ControlDef* c = controls_.Find(id);
    if (item && c)
        if (auto setEnabled = controls::Ops(c->kind).setEnabled) setEnabled(item, *c, enabled);
}

int Form::ItemIndex(int id) const {
    const ControlDef* c = controls_.Find(id);
    HWND item = Item(id);
    if (!c || !item) return -1;
    auto get = controls::Ops(c->kind).getIndex;
    return get ? get(item, *c) : -1;
}

void Form::SetItemIndex(int id, int index) {
    const ControlDef* c = controls_.Find(id);
    HWND item = Item(id);
    if (!c || !item) return;
    if (auto set = controls::Ops(c->kind).setIndex) set(item, *c, index);
}

void Form::SetItems(int id, const std::vector<std::string>& items) {
    const ControlDef* c = controls_.Find(id);
    HWND item = Item(id);
    if (!c || !item) return;
    if (auto set = controls::Ops(c->kind).setItems) set(item, items);
}

bool Form::Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Form::SetChecked(int id, bool checked) {
    SendMessageA(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Form::FocusControl(int id) {
    if (HWND item = Item(id)) SetFocus(item);
}

void Form::SetCaption(const std::string& caption) {
    if (HWND wnd = Hwnd()) SetWindowTextA(wnd, caption.c_str());
}

void Form::OnError(const char* text) { MessageBoxA(Hwnd(), text, "Error", MB_OK | MB_ICONERROR); }

int Form::DefaultButtonId() const {
    // A focused push button is the one Enter presses, as in any dialog; otherwise
    // the form's default button.
    HWND focus = GetFocus();
    if (focus && GetParent(focus) == Hwnd() && IsPushButton(focus)) return GetDlgCtrlID(focus);
    return controls_.FindFlagged(kDefault);
}

void Form::ClickButton(int id) {
    // Pressed by key, not by mouse: the focus stays where it is.
    HWND item = Item(id);
    if (item && IsWindowEnabled(item) && IsWindowVisible(item))
        SendMessageA(Hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(item));
}

void Form::OnActivate(WPARAM wp) {
    HWND wnd = Hwnd();
    if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(wnd, focus)) savedFocus_ = focus;
        return;
    }
    if (HIWORD(wp)) return;  // minimised
    HWND target =
        (savedFocus_ && IsWindow(savedFocus_) && IsChild(wnd, savedFocus_) && IsWindowEnabled(savedFocus_))
            ? savedFocus_
            : GetNextDlgTabItem(wnd, nullptr, FALSE);
    if (target) SetFocus(target);
}

void Form::OnNextDlgCtl(WPARAM wp, LPARAM lp) {
    HWND target = LOWORD(lp) ? reinterpret_cast<HWND>(wp) : GetNextDlgTabItem(Hwnd(), GetFocus(), wp != 0);
    if (!target) return;
    SetFocus(target);
    // Moving into an edit by keyboard selects its text, as dialogs do.
    if (SendMessageA(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(target, EM_SETSEL, 0, -1);
}

void Form::Destroying() {
    // The dialog's own handler first, while the whole object still stands.
    try {
        OnDestroy();
    } catch (...) {
        pictures_.clear();
        if (modeless_) DetachModelessKeyboard(this);
        modeless_ = false;
        throw;
    }
    pictures_.clear();
    if (modeless_) DetachModelessKeyboard(this);
    modeless_ = false;
    icon_.reset();
}

void Form::Abandon() noexcept {
    HWND wnd = Hwnd();
    if (wnd && IsWindow(wnd) && GetWindowThreadProcessId(wnd, nullptr) == GetCurrentThreadId())
        ClearPasswordBoxes(wnd);
    modeless_ = false;  // its thread's record is gone already
    LetGo();
    delete this;
}

void Form::CloseRequested() {
    if (!FormCloseQuery()) return;
    if (!modeless_) {
        modalResult_ = mrCancel;
        return;
    }
    CloseAction action = CloseAction::Hide;
    FormClose(action);
    if (action == CloseAction::Hide) ShowWindow(Hwnd(), SW_HIDE);
    else if (action == CloseAction::Free) Destroy();
}

void Form::RouteCommand(int id, int code, HWND from) {
    if (id == IDCANCEL && (!from || GetDlgCtrlID(from) != IDCANCEL)) {
        // Esc: the dialog manager asks for IDCANCEL; the cancel button answers it.
        if (const int cancel = controls_.FindFlagged(kCancel)) ClickButton(cancel);
        return;
    }
    if (from && !IsWindowEnabled(from)) return;
    if (const ControlDef* group = controls_.RadioGroupOf(id)) return OnCommand(group->id, code, from);
    OnCommand(id, code, from);
}

void Form::OnCommand(int id, int code, HWND) {
    for (const Command& row : commands_) {
        if (row.id != id || row.code != code) continue;
        row.run(*this);
        return;
    }
}

LRESULT Form::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    switch (msg) {
    // OnCreate comes once the window is complete: Handle calls it.
    case WM_CREATE:
        dpi_ = dpi::ForWindow(Hwnd());
        HoldFontsAt(dpi_);
        CreateControls();
        return 0;
    case WM_COMMAND: RouteCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)); return 0;
    // The control kinds first; what they leave goes to the handlers (the base's dispatch).
    case WM_NOTIFY: {
        const auto& hdr = *reinterpret_cast<const NMHDR*>(lp);
        if (const ControlDef* c = controls_.Find(static_cast<int>(hdr.idFrom)))
            if (auto notify = controls::Ops(c->kind).notify; notify && notify(hdr.hwndFrom, *c, hdr, result))
                return result;
        break;
    }
    case WM_DRAWITEM: {
        const auto& dis = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        const ControlDef* c = controls_.Find(static_cast<int>(dis.CtlID));
        if (auto draw = c ? controls::Ops(c->kind).draw : nullptr; draw && draw(*c, dis)) return TRUE;
        break;
    }
    case WM_MEASUREITEM: {
        auto& mis = *reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
        const ControlDef* c = controls_.Find(static_cast<int>(mis.CtlID));
        if (auto measure = c ? controls::Ops(c->kind).measure : nullptr; measure && measure(*c, mis)) {
            mis.itemHeight = static_cast<UINT>(Scaled(static_cast<int>(mis.itemHeight)));
            return TRUE;
        }
        break;
    }
    case WM_CLOSE: CloseRequested(); return 0;
    case WM_DESTROY: Destroying(); return 0;
    default:
        if (FormMessage(msg, wp, lp, result)) return result;
        break;
    }
    return Window::Dispatch(msg, wp, lp);
}

bool Form::FormMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_ACTIVATE: OnActivate(wp); return true;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        // Colours or high contrast changed: the common controls hear of it (only top-level
        // windows are told), and every control paints again with what is now in force.
        if (msg == WM_SYSCOLORCHANGE)
            EnumChildWindows(Hwnd(), &TellColourChange, 0);
        RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return false;
    case WM_NEXTDLGCTL: OnNextDlgCtl(wp, lp); return true;
    case WM_DPICHANGED: OnDpiMessage(lp); return true;
    case WM_GETDPISCALEDSIZE: {
        // Per-monitor v2 asks for the size at the new DPI before it suggests a rectangle:
        // the form's own frame, so the client area comes out exact. Any process can send
        // any message, and this one's lParam is a pointer: it is answered only as the
        // system delivers it, on the window's own thread (not sent from another); anything
        // else goes to DefWindowProc, which writes nothing.
        if (!lp || InSendMessageEx(nullptr) != ISMEX_NOSEND) return false;
        const int to = static_cast<int>(wp);
        if (to < dpi::kLeast || to > dpi::kMost) return false;
        *reinterpret_cast<SIZE*>(lp) = FrameSize(to);
        result = TRUE;
        return true;
    }
    case DM_GETDEFID: {
        const int id = DefaultButtonId();
        result = id ? MAKELRESULT(id, DC_HASDEFID) : 0;
        return true;
    }
    case WM_ERASEBKGND: {
        RECT r{};
        GetClientRect(Hwnd(), &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, BackgroundBrush());
        result = 1;
        return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        // Labels, check boxes and group boxes stand on the form's own background.
        if (ownBrush_) {
            SetBkColor(reinterpret_cast<HDC>(wp), def_.background.value);
            result = reinterpret_cast<LRESULT>(ownBrush_.get());
            return true;
        }
        return false;
    default: return false;
    }
}

void Form::OnDpiMessage(LPARAM suggested) {
    // The window's DPI is the system's word; the message's is anybody's, since any process
    // can send it. Nothing changed, nothing to do: a forged or repeated message ends here
    // without its lParam being read.
    const int now = dpi::ForWindow(Hwnd());
    if (now == dpi_ || now < dpi::kLeast || now > dpi::kMost) return;
    RECT target{};
    if (suggested && InSendMessageEx(nullptr) == ISMEX_NOSEND) {
        // From the system: the rectangle it suggests on the new display.
        target = *reinterpret_cast<const RECT*>(suggested);
    } else {
        // Sent from another thread: the rectangle is not believed. The window stays where
        // it is, its client area at the new DPI inside the frame it has.
        RECT client{};
        GetWindowRect(Hwnd(), &target);
        GetClientRect(Hwnd(), &client);
        target.right += dpi::Scale(def_.clientWidth, now) - client.right;
        target.bottom += dpi::Scale(def_.clientHeight, now) - client.bottom;
    }
    OnDpiChanged(now, target);
}

void Form::OnDpiChanged(int dpi, const RECT& target) {
    // The form moved to a display of another scale (Windows sends this to per-monitor aware
    // windows only): it takes the new rectangle and lays itself out again.
    const int old = dpi_;
    dpi_ = dpi;
    const int released = HoldFontsAt(dpi_);
    SetWindowPos(Hwnd(), nullptr, target.left, target.top, target.right - target.left, target.bottom - target.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RescaleChildren(old);
    // Then the table's controls exactly where the table puts them at this DPI.
    for (int index : CreationOrder(controls_)) {
        const ControlDef& c = controls_[index];
        HWND item = Item(c.id);
        if (!item || c.kind == Kind::Page) continue;
        // Only the kinds sized to their text need it (never a password box's).
        const bool sized = c.kind == Kind::Label || c.kind == Kind::Custom;
        const std::string text = sized ? WindowText(item) : std::string();
        const controls::Site s = SiteOf(c, text.c_str());
        SetWindowPos(item, nullptr, s.left, s.top, s.width, s.height, SWP_NOZORDER | SWP_NOACTIVATE);
        if (PictureWindow* p = As<PictureWindow>(item)) p->Fit();
        if (c.kind != Kind::RadioGroup) continue;
        const int count = static_cast<int>(SplitItems(c.items).size());
        for (int i = 0; i < count; ++i) {
            const Rect r = controls::RadioItemAt(c, s, count, i);
            SetWindowPos(Item(RadioItemId(c.id, i)), nullptr, r.left, r.top, r.Width(), r.Height(),
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    DpiChanged(old);
    // Every control has its font at the new DPI now: the old height's go unless another
    // form still holds them.
    if (released) controls::ReleaseFontHeight(released);
    if (def_.colourKey) UpdateKeyRegion();
    RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Form::RescaleChildren(int oldDpi) {
    RescaleJob job{oldDpi, dpi_, def_.fontHeight};
    EnumChildWindows(Hwnd(), &RescaleChild, reinterpret_cast<LPARAM>(&job));
}

void ReleaseFormResources() noexcept {
    ReleaseWindowClasses();
    controls::ReleaseFonts();
}

}  // namespace vexlo::ui
