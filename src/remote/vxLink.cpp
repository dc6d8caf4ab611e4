#include "remote/vxLink.h"

#include <shellapi.h>

#include "shared/handles.h"
#include "shared/win_text.h"
#include "ui/controls.h"

namespace vexlo {

namespace {
constexpr const char* kLinkProp = "Vexlo.Link";
constexpr COLORREF kLinkColour = RGB(0, 0, 255);
}  // namespace

void TvxLink::Register() {
    ui::controls::EnsureWindowClass(kClassName, &TvxLink::WndProc, IDC_HAND, nullptr);
}

TvxLink* TvxLink::FromHandle(HWND wnd) {
    return wnd ? static_cast<TvxLink*>(GetPropA(wnd, kLinkProp)) : nullptr;
}

TvxLink::TvxLink(HWND wnd) : wnd_(wnd) {
    OnClick = [this] { Open(); };
}

TvxLink::~TvxLink() {
    if (font_) DeleteObject(font_);
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
    if (font_) DeleteObject(font_);
    font_ = mine;
    InvalidateRect(wnd_, nullptr, TRUE);
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
    if (font_) DeleteObject(font_);
    font_ = next;
    InvalidateRect(wnd_, nullptr, TRUE);
}

void TvxLink::MouseEnter() {
    hover_ = true;
    TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, wnd_, 0};
    TrackMouseEvent(&tme);
    SetStyle(true);
}

void TvxLink::MouseLeave() {
    hover_ = false;
    pressed_ = false;
    SetStyle(false);
}

void TvxLink::Paint() {
    PaintDc paint(wnd_);
    RECT r{};
    GetClientRect(wnd_, &r);
    // The parent's label colours give the background, as for any label.
    HWND parent = GetParent(wnd_);
    HBRUSH bg = reinterpret_cast<HBRUSH>(
        SendMessageA(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(paint.dc()), reinterpret_cast<LPARAM>(wnd_)));
    FillRect(paint.dc(), &r, bg ? bg : GetSysColorBrush(COLOR_BTNFACE));
    SelectGuard font(paint.dc(), font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(paint.dc(), TRANSPARENT);
    SetTextColor(paint.dc(), IsWindowEnabled(wnd_) ? kLinkColour : GetSysColor(COLOR_GRAYTEXT));
    const std::string text = WindowText(wnd_);
    DrawTextA(paint.dc(), text.c_str(), -1, &r, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_SINGLELINE);
}

LRESULT TvxLink::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SETFONT:
        SetBaseFont(reinterpret_cast<HFONT>(wp));
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
    case WM_SETTEXT: {
        const LRESULT r = DefWindowProcA(wnd_, msg, wp, lp);
        InvalidateRect(wnd_, nullptr, TRUE);
        return r;
    }
    case WM_PAINT: Paint(); return 0;
    case WM_ERASEBKGND: return 1;  // painted whole in WM_PAINT
    case WM_MOUSEMOVE:
        if (!hover_) MouseEnter();
        return 0;
    case WM_MOUSELEAVE: MouseLeave(); return 0;
    case WM_LBUTTONDOWN:
        pressed_ = true;
        SetCapture(wnd_);
        return 0;
    case WM_LBUTTONUP: {
        const bool wasPressed = pressed_;
        pressed_ = false;
        if (GetCapture() == wnd_) ReleaseCapture();
        RECT r{};
        GetClientRect(wnd_, &r);
        const POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        // A click is a press and a release over the label.
        if (wasPressed && PtInRect(&r, pt) && OnClick) OnClick();
        return 0;
    }
    case WM_CAPTURECHANGED: pressed_ = false; return 0;
    case WM_NCHITTEST: return HTCLIENT;
    default: break;
    }
    return DefWindowProcA(wnd_, msg, wp, lp);
}

LRESULT CALLBACK TvxLink::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    TvxLink* self = FromHandle(wnd);
    try {
        if (!self && msg == WM_NCCREATE) {
            self = new TvxLink(wnd);
            SetPropA(wnd, kLinkProp, self);
        }
        if (msg == WM_NCDESTROY) {
            RemovePropA(wnd, kLinkProp);
            delete self;
            return DefWindowProcA(wnd, msg, wp, lp);
        }
        if (self) return self->Dispatch(msg, wp, lp);
    } catch (...) {
        // A failed handler leaves the label as it was; nothing unwinds into the system.
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

}  // namespace vexlo
