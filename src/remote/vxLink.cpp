#include "remote/vxLink.h"

#include <oleacc.h>
#include <shellapi.h>

#include "shared/handles.h"
#include "shared/win_text.h"
#include "ui/high_contrast.h"
#include "ui/keyboard.h"

namespace vexlo {

namespace {
constexpr COLORREF kLinkColour = RGB(0, 0, 255);
// A screen reader's default action, posted to the window's own thread.
constexpr UINT kActivate = WM_USER + 0x140;
}  // namespace

TvxLink::TvxLink() {
    OnClick = [this] { Open(); };
}

void TvxLink::Open() const {
    ShellExecuteA(nullptr, "open", Link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TvxLink::SetBaseFont(HFONT font) {
    LOGFONTA lf{};
    if (!font || !GetObjectA(font, sizeof lf, &lf)) return;
    base_ = lf;
    hasBase_ = true;
    // The style given at first holds until the pointer first passes over the label.
    HFONT mine = CreateFontIndirectA(&lf);
    if (!mine) return;
    font_.reset(mine);
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

void TvxLink::SetStyle(bool underline) {
    if (!hasBase_) return;
    LOGFONTA lf = base_;
    lf.lfWeight = FW_NORMAL;
    lf.lfItalic = FALSE;
    lf.lfStrikeOut = FALSE;
    lf.lfUnderline = underline ? TRUE : FALSE;
    HFONT next = CreateFontIndirectA(&lf);
    if (!next) return;
    font_.reset(next);
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

void TvxLink::MouseEnter() {
    hover_ = true;
    TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, Hwnd(), 0};
    TrackMouseEvent(&tme);
    SetStyle(true);
}

void TvxLink::MouseLeave() {
    hover_ = false;
    pressed_ = false;
    SetStyle(false);
}

bool TvxLink::OnPaint() {
    PaintBuffered(nullptr, [&](HDC dc, const RECT& client) {
        // The parent's label colours give the background, as for any label.
        HWND parent = GetParent(Hwnd());
        HBRUSH bg = reinterpret_cast<HBRUSH>(
            SendMessageA(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Hwnd())));
        FillRect(dc, &client, bg ? bg : GetSysColorBrush(COLOR_BTNFACE));
        SelectGuard font(dc, font_ ? static_cast<HGDIOBJ>(font_.get()) : GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, IsWindowEnabled(Hwnd()) ? ui::ContrastColour(kLinkColour, COLOR_HOTLIGHT)
                                                 : GetSysColor(COLOR_GRAYTEXT));
        const std::string text = WindowText(Hwnd());
        RECT r = client;
        DrawTextA(dc, text.c_str(), -1, &r, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_SINGLELINE);
        if (keys_.CueShown()) DrawFocusRect(dc, &client);
    });
    return true;
}

void TvxLink::Activate() {
    if (IsWindowEnabled(Hwnd()) && OnClick) OnClick();
}

LRESULT TvxLink::Accessibility(WPARAM wp, LPARAM lp) {
    accessible_.Describe({.role = ROLE_SYSTEM_LINK,
                          .state = STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE,
                          .name = WindowText(Hwnd()),
                          .value = Link,
                          .action = "Jump"});
    accessible_.SetActionMessage(Hwnd(), kActivate);
    return accessible_.Answer(Hwnd(), wp, lp);
}

bool TvxLink::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    result = 0;
    if (keys_.Handle(Hwnd(), msg, wp, [this] { Activate(); })) return true;
    switch (msg) {
    case WM_GETOBJECT: result = Accessibility(wp, lp); return true;
    case kActivate: Activate(); return true;
    // Enter belongs to the link while it has the focus, not to the default button.
    case WM_GETDLGCODE: {
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        result = (m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN) ? DLGC_WANTMESSAGE : 0;
        return true;
    }
    case WM_SETFONT: SetBaseFont(reinterpret_cast<HFONT>(wp)); return true;
    case WM_GETFONT: result = reinterpret_cast<LRESULT>(font_.get()); return true;
    case WM_SETTEXT:
        result = DefaultProc(msg, wp, lp);
        InvalidateRect(Hwnd(), nullptr, TRUE);
        return true;
    case WM_ERASEBKGND: result = 1; return true;  // painted whole in WM_PAINT
    case WM_MOUSEMOVE:
        if (!hover_) MouseEnter();
        return true;
    case WM_MOUSELEAVE: MouseLeave(); return true;
    case WM_LBUTTONDOWN:
        pressed_ = true;
        SetCapture(Hwnd());
        return true;
    case WM_LBUTTONUP: {
        const bool wasPressed = pressed_;
        pressed_ = false;
        if (GetCapture() == Hwnd()) ReleaseCapture();
        RECT r{};
        GetClientRect(Hwnd(), &r);
        const POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        // A click is a press and a release over the label.
        if (wasPressed && PtInRect(&r, pt) && OnClick) OnClick();
        return true;
    }
    case WM_CAPTURECHANGED: pressed_ = false; return true;
    case WM_NCHITTEST: result = HTCLIENT; return true;
    default: return false;
    }
}

}  // namespace vexlo
