#include "ui/form.h"

#include <commctrl.h>

#include <algorithm>

#include "frame/module.h"
#include "shared/error.h"
#include "shared/win_text.h"
#include "ui/controls.h"
#include "ui/keyboard.h"

namespace vexlo::ui {

namespace {

constexpr const char* kFormProp = "Vexlo.Form";

CriticalSection& ClassLock() {
    static CriticalSection cs;
    return cs;
}

std::vector<std::string>& RegisteredClasses() {
    static std::vector<std::string> classes;
    return classes;
}

HFONT g_font = nullptr;

HFONT SharedFont() {
    Lock lock(ClassLock());
    if (!g_font) {
        // "MS Sans Serif", height -11: 8 points at 96 dpi, the look of every form.
        g_font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
    }
    return g_font;
}

}  // namespace

void controls::EnsureWindowClass(const char* className, WNDPROC proc, LPCSTR cursor, HBRUSH background) {
    Lock lock(ClassLock());
    auto& classes = RegisteredClasses();
    if (std::find(classes.begin(), classes.end(), className) != classes.end()) return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = module::Instance();
    wc.hCursor = LoadCursor(nullptr, cursor);
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw Error(std::string("Cannot register window class ") + className);
    classes.emplace_back(className);
}

namespace {

void EnsureClass(const char* className, WNDPROC proc) {
    controls::EnsureWindowClass(className, proc, IDC_ARROW, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
}

DWORD FormStyle(const FormDef& def) {
    DWORD style = WS_POPUP | WS_CLIPSIBLINGS;
    switch (def.border) {
    case Border::Single:
    case Border::Dialog: style |= WS_CAPTION; break;
    case Border::None: break;
    }
    if (def.systemMenu && def.border != Border::None) style |= WS_SYSMENU;
    return style;
}

DWORD FormExStyle(const FormDef& def) {
    DWORD ex = 0;
    if (def.border == Border::Dialog) ex |= WS_EX_DLGMODALFRAME;
    if (def.stayOnTop) ex |= WS_EX_TOPMOST;
    return ex;
}

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
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    return true;
}

// The size of a label's text in the form's font, unwrapped.
SIZE LabelSize(HWND form, const char* text) {
    WindowDc dc(form);
    SelectGuard font(dc.dc(), SharedFont());
    RECT r{0, 0, 0, 0};
    DrawTextA(dc.dc(), text ? text : "", -1, &r, DT_CALCRECT | DT_NOPREFIX);
    return {r.right, r.bottom};
}

bool IsPushButton(HWND wnd) {
    char cls[16] = {};
    if (!GetClassNameA(wnd, cls, sizeof cls) || lstrcmpiA(cls, "Button") != 0) return false;
    const LONG type = GetWindowLongA(wnd, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

}  // namespace

Form::Form(const FormDef& def) : def_(def) {}

Form::~Form() {
    // A form destroyed before its window (modal forms, failed set-up) takes the window along.
    if (wnd_) {
        HWND wnd = wnd_;
        modeless_ = false;  // the window must not delete this object a second time
        DestroyWindow(wnd);
    }
    if (icon_) DestroyIcon(icon_);
}

Form* Form::FromHandle(HWND wnd) {
    return wnd ? static_cast<Form*>(GetPropA(wnd, kFormProp)) : nullptr;
}

HFONT Form::Font() const { return SharedFont(); }

HWND Form::Handle() {
    if (wnd_) return wnd_;
    EnsureClass(def_.className, &Form::WndProc);

    const DWORD style = FormStyle(def_), ex = FormExStyle(def_);
    RECT r{0, 0, def_.clientWidth, def_.clientHeight};
    AdjustWindowRectEx(&r, style, FALSE, ex);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HWND owner = ownOwner_ ? owner_ : module::OwnerWindow();
    if (owner && !IsWindow(owner)) owner = nullptr;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
    if (def_.position != Position::Default) {
        const Rect at = CenterIn(PositionArea(def_, owner), w, h);
        x = at.left;
        y = at.top;
    }
    creating_ = true;
    HWND wnd = CreateWindowExA(ex, def_.className, def_.caption ? def_.caption : "", style, x, y, w,
                               h, owner, nullptr, module::Instance(), this);
    creating_ = false;
    if (!wnd) throw Error(std::string("Cannot create window ") + def_.className);
    if (icon_) {
        SendMessageA(wnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
        SendMessageA(wnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    }
    FormCreate();
    return wnd_;
}

void Form::SetIcon(HICON icon) {
    if (icon_ && icon_ != icon) DestroyIcon(icon_);
    icon_ = IsValidIcon(icon) ? icon : nullptr;
    if (wnd_) {
        SendMessageA(wnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
        SendMessageA(wnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    }
}

void Form::SetOwner(HWND owner) {
    ownOwner_ = true;
    owner_ = owner;
}

void Form::SetPicture(int id, const char* resource) {
    for (Picture& p : pictures_) {
        if (p.def->id != id) continue;
        p.bitmap.reset(resource ? static_cast<HBITMAP>(LoadImageA(module::Instance(), resource,
                                                                  IMAGE_BITMAP, 0, 0,
                                                                  LR_CREATEDIBSECTION))
                                : nullptr);
        BITMAP bm{};
        if (!p.bitmap || !GetObjectA(p.bitmap.get(), sizeof bm, &bm)) bm = BITMAP{};
        p.width = bm.bmWidth;
        p.height = bm.bmHeight;
        RECT r{p.def->left, p.def->top, p.def->left + p.def->width, p.def->top + p.def->height};
        InvalidateRect(wnd_, &r, TRUE);
    }
}

void Form::CreateControls() {
    for (int index : CreationOrder(def_)) {
        const ControlDef& c = def_.controls[index];
        if (c.kind == Kind::Picture) {
            Picture p{&c, UniqueHbitmap(c.text ? static_cast<HBITMAP>(
                               LoadImageA(module::Instance(), c.text, IMAGE_BITMAP, 0, 0,
                                          LR_CREATEDIBSECTION)) : nullptr)};
            BITMAP bm{};
            if (p.bitmap && GetObjectA(p.bitmap.get(), sizeof bm, &bm)) {
                p.width = bm.bmWidth;
                p.height = bm.bmHeight;
            }
            pictures_.push_back(std::move(p));
            continue;
        }
        CreateControl(c);
    }
}

HWND Form::CreateControl(const ControlDef& c) {
    // Inside a group box a control is placed relative to the box; inside a page it is a
    // window of the page.
    const Placement at = PlaceOf(def_, c);
    HWND parent = at.holder ? Item(at.holder) : wnd_;
    if (!parent) throw Error(std::string("Cannot create control ") + c.name);
    if (controls::IsCompound(c.kind))
        return controls::CreateCompound(c, c.kind == Kind::Page ? Item(c.parent) : parent, at.left, at.top,
                                        Font());
    const char* cls = "STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE, ex = 0;
    const bool focusable = c.kind != Kind::Label && c.kind != Kind::GroupBox;
    if (focusable && c.tabOrder >= 0) style |= WS_TABSTOP;
    switch (c.kind) {
    case Kind::Label: style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX; break;
    case Kind::Edit:
        cls = "EDIT";
        ex |= WS_EX_CLIENTEDGE;
        style |= ES_AUTOHSCROLL | ES_LEFT;
        if (c.flags & kPassword) style |= ES_PASSWORD;
        if (c.flags & kReadOnly) style |= ES_READONLY;
        if (c.flags & kNumeric) style |= ES_NUMBER;
        break;
    case Kind::Button:
        cls = "BUTTON";
        style |= (c.flags & kDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        break;
    case Kind::CheckBox: cls = "BUTTON"; style |= BS_AUTOCHECKBOX; break;
    case Kind::RadioButton:
        cls = "BUTTON";
        style |= BS_AUTORADIOBUTTON;
        if (c.flags & kGroupStart) style |= WS_GROUP;
        break;
    case Kind::GroupBox: cls = "BUTTON"; style |= BS_GROUPBOX; break;
    case Kind::ComboList:
    case Kind::ComboEdit:
        cls = "COMBOBOX";
        style |= WS_VSCROLL | (c.kind == Kind::ComboList ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
        if (c.flags & kOwnerDraw) style |= CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
        break;
    case Kind::Picture:
    case Kind::RadioGroup:
    case Kind::SpinEdit:
    case Kind::PageControl:
    case Kind::Page:
    case Kind::Custom: return nullptr;
    }
    if (c.flags & kDisabled) style |= WS_DISABLED;
    if (c.flags & kHidden) style &= ~WS_VISIBLE;

    int w = c.width, h = c.height;
    if (c.kind == Kind::Label && !(c.flags & kFixedSize)) {
        // Labels take the size of their text in the form's font, unwrapped; the table's
        // size is what that gives with the reference font.
        const SIZE s = LabelSize(wnd_, c.text);
        w = s.cx;
        h = s.cy;
    }
    // A drop-down's window height includes its dropped list: room for eight items.
    if (c.kind == Kind::ComboList || c.kind == Kind::ComboEdit) h += 8 * controls::kOwnerDrawItemHeight + 2;
    HWND child = CreateWindowExA(ex, cls, c.text ? c.text : "", style, at.left, at.top, w, h, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                 module::Instance(), nullptr);
    if (!child) throw Error(std::string("Cannot create control ") + c.name);
    const HFONT font = (c.flags & kUnderline) ? controls::UnderlinedFont(Font()) : Font();
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (c.kind == Kind::Edit && (c.flags & kPassword)) SendMessageA(child, EM_SETPASSWORDCHAR, '*', 0);
    if (c.kind == Kind::Edit && c.maxValue > 0) SendMessageA(child, EM_LIMITTEXT, c.maxValue, 0);
    if (c.kind == Kind::ComboList || c.kind == Kind::ComboEdit)
        for (const std::string& item : SplitItems(c.items))
            SendMessageA(child, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    return child;
}

void Form::ShowModeless() {
    HWND wnd = Handle();
    if (!modeless_) {
        modeless_ = true;
        AttachModelessKeyboard();
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
    ShowWindow(wnd, SW_SHOW);
    SetForegroundWindow(wnd);
    MSG msg;
    while (modalResult_ == mrNone && wnd_) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // Hand the quit request on to the loop that will run after ours.
            PostQuitMessage(static_cast<int>(msg.wParam));
            if (modalResult_ == mrNone) modalResult_ = mrCancel;
            break;
        }
        if (got == -1) break;
        if (!IsDialogMessageA(wnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (disableOwner) EnableWindow(owner, TRUE);
    if (wnd_) {
        // Give activation back to the owner before the window goes, so it does not
        // end up behind another program.
        if (owner) SetActiveWindow(owner);
        DestroyWindow(wnd_);
    }
    return modalResult_;
}

void Form::Close() {
    if (wnd_) SendMessageA(wnd_, WM_CLOSE, 0, 0);
}

HWND Form::Item(int id) const { return wnd_ ? controls::FindDescendant(wnd_, id) : nullptr; }

std::string Form::Text(int id) const { return WindowText(Item(id)); }

void Form::SetText(int id, const std::string& text) {
    HWND item = Item(id);
    SetWindowTextA(item, text.c_str());
    // A label keeps the size of its text when the text changes.
    const ControlDef* c = FindControl(def_, id);
    if (item && c && c->kind == Kind::Label && !(c->flags & kFixedSize)) {
        const SIZE s = LabelSize(wnd_, text.c_str());
        SetWindowPos(item, nullptr, 0, 0, s.cx, s.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

bool Form::Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }

void Form::SetEnabled(int id, bool enabled) {
    EnableWindow(Item(id), enabled ? TRUE : FALSE);
    // A radio group's buttons look as enabled as the group.
    const ControlDef* c = FindControl(def_, id);
    if (c && c->kind == Kind::RadioGroup)
        controls::EnableRadioItems(GetParent(Item(id)), *c, enabled);
}

int Form::ItemIndex(int id) const {
    const ControlDef* c = FindControl(def_, id);
    if (!c) return -1;
    if (c->kind == Kind::RadioGroup) return controls::RadioIndex(GetParent(Item(id)), *c);
    if (c->kind == Kind::PageControl) return controls::ActivePage(Item(id));
    const LRESULT sel = SendMessageA(Item(id), CB_GETCURSEL, 0, 0);
    return sel == CB_ERR ? -1 : static_cast<int>(sel);
}

void Form::SetItemIndex(int id, int index) {
    const ControlDef* c = FindControl(def_, id);
    if (!c) return;
    if (c->kind == Kind::RadioGroup) return controls::SetRadioIndex(GetParent(Item(id)), *c, index);
    if (c->kind == Kind::PageControl) return controls::ShowPage(Item(id), index);
    // An index beyond the list leaves it without a selection.
    SendMessageA(Item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Form::SetItems(int id, const std::vector<std::string>& items) {
    HWND list = Item(id);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items) SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void Form::SetPictureIcon(int id, HICON icon) {
    for (Picture& p : pictures_) {
        if (p.def->id != id) continue;
        p.icon = icon;
        RECT r{p.def->left, p.def->top, p.def->left + p.def->width, p.def->top + p.def->height};
        InvalidateRect(wnd_, &r, TRUE);
    }
}

bool Form::Checked(int id) const {
    return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Form::SetChecked(int id, bool checked) {
    SendMessageA(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Form::FocusControl(int id) {
    if (HWND item = Item(id)) SetFocus(item);
}

void Form::SetCaption(const std::string& caption) {
    if (wnd_) SetWindowTextA(wnd_, caption.c_str());
}

void Form::ReportError(const char* text) {
    MessageBoxA(wnd_, text, "Error", MB_OK | MB_ICONERROR);
}

int Form::DefaultButtonId() const {
    // A focused push button is the one Enter presses, as in any dialog; otherwise
    // the form's default button.
    HWND focus = GetFocus();
    if (focus && GetParent(focus) == wnd_ && IsPushButton(focus)) return GetDlgCtrlID(focus);
    return FindFlagged(def_, kDefault);
}

void Form::ClickButton(int id) {
    // Pressed by key, not by mouse: the focus stays where it is.
    HWND item = Item(id);
    if (item && IsWindowEnabled(item) && IsWindowVisible(item))
        SendMessageA(wnd_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(item));
}

void Form::OnActivate(WPARAM wp) {
    if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(wnd_, focus)) savedFocus_ = focus;
        return;
    }
    if (HIWORD(wp)) return;  // minimised
    HWND target = (savedFocus_ && IsWindow(savedFocus_) && IsChild(wnd_, savedFocus_) &&
                   IsWindowEnabled(savedFocus_))
                      ? savedFocus_
                      : GetNextDlgTabItem(wnd_, nullptr, FALSE);
    if (target) SetFocus(target);
}

void Form::OnNextDlgCtl(WPARAM wp, LPARAM lp) {
    HWND target = LOWORD(lp) ? reinterpret_cast<HWND>(wp)
                             : GetNextDlgTabItem(wnd_, GetFocus(), wp != 0);
    if (!target) return;
    SetFocus(target);
    // Moving into an edit by keyboard selects its text, as dialogs do.
    if (SendMessageA(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageA(target, EM_SETSEL, 0, -1);
}

void Form::Destroyed() {
    FormDestroy();
    RemovePropA(wnd_, kFormProp);
    if (modeless_) DetachModelessKeyboard();
    wnd_ = nullptr;
    pictures_.clear();
    if (icon_) {
        DestroyIcon(icon_);
        icon_ = nullptr;
    }
    if (modeless_) delete this;
}

void Form::PaintPictures(HDC dc) {
    for (const Picture& p : pictures_) {
        if (p.icon) {
            // Icons given at run time (system icons among them) are drawn, never owned.
            DrawIconEx(dc, p.def->left, p.def->top, p.icon, p.def->width, p.def->height, 0, nullptr, DI_NORMAL);
            continue;
        }
        if (!p.bitmap) continue;
        const ControlDef& c = *p.def;
        const bool natural = (c.flags & kAutoSize) || !(c.flags & kStretch);
        const int w = natural ? p.width : c.width, h = natural ? p.height : c.height;
        UniqueHdc mem(CreateCompatibleDC(dc));
        SelectGuard sel(mem.get(), p.bitmap.get());
        if (c.flags & kTransparent) {
            // The bottom-left pixel is the picture's transparent colour.
            const COLORREF key = GetPixel(mem.get(), 0, p.height - 1);
            TransparentBlt(dc, c.left, c.top, w, h, mem.get(), 0, 0, p.width, p.height, key);
        } else {
            SetStretchBltMode(dc, COLORONCOLOR);
            StretchBlt(dc, c.left, c.top, w, h, mem.get(), 0, 0, p.width, p.height, SRCCOPY);
        }
    }
}

LRESULT CALLBACK Form::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    Form* self = FromHandle(wnd);
    if (!self && msg == WM_NCCREATE) {
        self = static_cast<Form*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        self->wnd_ = wnd;
        SetPropA(wnd, kFormProp, self);
    }
    if (!self) return DefWindowProcA(wnd, msg, wp, lp);
    // Nothing may unwind through the system's callback: errors of handlers are shown to
    // the user, as an unhandled error of an event handler would be.
    try {
        return self->Dispatch(msg, wp, lp);
    } catch (const std::exception& e) {
        self->ReportError(e.what());
    } catch (...) {
        self->ReportError("Unexpected error");
    }
    return 0;
}

LRESULT Form::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (msg != WM_NCDESTROY && HandleMessage(msg, wp, lp, result)) return result;
    switch (msg) {
    case WM_CREATE:
        // A form whose controls cannot all be built is not created at all.
        try {
            CreateControls();
        } catch (...) {
            return -1;
        }
        return 0;
    case WM_NCDESTROY: {
        const LRESULT r = DefWindowProcA(wnd_, msg, wp, lp);
        Destroyed();
        return r;
    }
    case WM_ACTIVATE:
        OnActivate(wp);
        return 0;
    case WM_NEXTDLGCTL:
        OnNextDlgCtl(wp, lp);
        return 0;
    case DM_GETDEFID: {
        const int id = DefaultButtonId();
        return id ? MAKELRESULT(id, DC_HASDEFID) : 0;
    }
    case WM_CLOSE: {
        if (!FormCloseQuery()) return 0;
        if (!modeless_) {
            modalResult_ = mrCancel;
            return 0;
        }
        CloseAction action = CloseAction::Hide;
        FormClose(action);
        if (action == CloseAction::Hide) ShowWindow(wnd_, SW_HIDE);
        else if (action == CloseAction::Free) DestroyWindow(wnd_);
        return 0;
    }
    case WM_COMMAND: {
        const int id = LOWORD(wp), code = HIWORD(wp);
        HWND from = reinterpret_cast<HWND>(lp);
        if (id == IDCANCEL && (!from || GetDlgCtrlID(from) != IDCANCEL)) {
            // Esc: the dialog manager asks for IDCANCEL; the cancel button answers it.
            if (const int cancel = FindFlagged(def_, kCancel)) ClickButton(cancel);
            return 0;
        }
        if (from && !IsWindowEnabled(from)) return 0;
        // A radio group answers for its buttons.
        for (int i = 0; i < def_.controlCount; ++i) {
            const ControlDef& g = def_.controls[i];
            if (g.kind != Kind::RadioGroup || id <= g.id) continue;
            if (id - g.id - 1 < static_cast<int>(SplitItems(g.items).size())) {
                Command(g.id, code);
                return 0;
            }
        }
        Command(id, code);
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        HWND ctl = reinterpret_cast<HWND>(lp);
        const ControlDef* c = FindControl(def_, GetDlgCtrlID(ctl));
        if (c && c->kind == Kind::Label && (c->flags & kTransparent)) {
            SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        }
        break;
    }
    case WM_MEASUREITEM:
        if (controls::MeasureItem(def_, *reinterpret_cast<MEASUREITEMSTRUCT*>(lp))) return TRUE;
        break;
    case WM_DRAWITEM:
        if (controls::DrawItem(def_, *reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
        break;
    case WM_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
        const ControlDef* c = FindControl(def_, static_cast<int>(hdr->idFrom));
        if (c && c->kind == Kind::PageControl && hdr->code == static_cast<UINT>(TCN_SELCHANGE))
            controls::ShowPage(hdr->hwndFrom, controls::ActivePage(hdr->hwndFrom));
        break;
    }
    case WM_PAINT: {
        PaintDc paint(wnd_);
        PaintPictures(paint.dc());
        return 0;
    }
    default: break;
    }
    return DefWindowProcA(wnd_, msg, wp, lp);
}

void ReleaseFormResources() noexcept {
    Lock lock(ClassLock());
    for (const std::string& name : RegisteredClasses()) UnregisterClassA(name.c_str(), module::Instance());
    RegisteredClasses().clear();
    controls::ReleaseFonts();
    if (g_font) {
        DeleteObject(g_font);
        g_font = nullptr;
    }
}

}  // namespace vexlo::ui
