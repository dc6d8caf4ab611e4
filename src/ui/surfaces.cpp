// The form layer's self-painted controls: pictures (resource bitmaps, icons) and
// see-through labels, each painting what lies beneath it (declared in surfaces.h).
#include "ui/surfaces.h"

#include <string>

#include <oleacc.h>

#include "shared/dpi.h"
#include "shared/module.h"
#include "shared/win_text.h"
#include "ui/high_contrast.h"

namespace vexlo::ui {

namespace {

// What lies beneath a child, when it lies on a backdrop; the system's face colour elsewhere.
void FillBeneath(HWND wnd, HDC dc, const RECT& client) {
    if (const Backdrop* backdrop = Window::As<Backdrop>(GetAncestor(wnd, GA_ROOT))) backdrop->PaintBeneath(wnd, dc);
    else FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
}

class SeeThroughLabel : public Window {
public:
    static WindowClass Class() { return {.name = kSeeThroughLabelClass}; }

private:
    bool OnPaint() override {
        PaintBuffered(nullptr, [&](HDC dc, const RECT& client) {
            // In high contrast, text over artwork stands on the window colour instead.
            const bool contrast = HighContrast();
            if (contrast) FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
            else FillBeneath(Hwnd(), dc, client);
            SelectGuard sel(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(!IsWindowEnabled(Hwnd()) ? COLOR_GRAYTEXT
                                         : contrast               ? COLOR_WINDOWTEXT
                                                                  : COLOR_BTNTEXT));
            RECT r = client;
            const std::string text = WindowText(Hwnd());
            DrawTextA(dc, text.c_str(), -1, &r, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_EXPANDTABS);
        });
        return true;
    }
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        switch (msg) {
        case WM_SETFONT:
            font_ = reinterpret_cast<HFONT>(wp);
            if (LOWORD(lp)) InvalidateRect(Hwnd(), nullptr, FALSE);
            return true;
        case WM_GETFONT: result = reinterpret_cast<LRESULT>(font_); return true;
        case WM_SETTEXT:
            result = DefaultProc(msg, wp, lp);
            InvalidateRect(Hwnd(), nullptr, FALSE);
            return true;
        case WM_ENABLE: InvalidateRect(Hwnd(), nullptr, FALSE); return false;
        case WM_ERASEBKGND: result = 1; return true;  // painted whole in WM_PAINT
        case WM_NCHITTEST: result = HTTRANSPARENT; return true;  // a label takes no clicks
        default: return false;
        }
    }

    HFONT font_ = nullptr;
};

}  // namespace

void EnsureSurfaceClasses() {
    RegisterClassFor<PictureWindow>();
    RegisterClassFor<SeeThroughLabel>();
}

void PictureWindow::SetResource(const char* resource) {
    bitmap_.reset(resource ? static_cast<HBITMAP>(LoadImageA(module::Instance(), resource, IMAGE_BITMAP, 0, 0,
                                                             LR_CREATEDIBSECTION))
                           : nullptr);
    BITMAP bm{};
    if (!bitmap_ || !GetObjectA(bitmap_.get(), sizeof bm, &bm)) bm = BITMAP{};
    width_ = bm.bmWidth;
    height_ = bm.bmHeight;
    Fit();
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void PictureWindow::Fit() {
    if ((def_.flags & kAutoSize) && bitmap_)
        SetWindowPos(Hwnd(), nullptr, 0, 0, Scaled(width_), Scaled(height_),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PictureWindow::SetIcon(HICON icon) {
    icon_ = icon;
    systemIcon_ = nullptr;
    ownIcon_.reset();
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void PictureWindow::SetSystemIcon(const char* name) {
    SetIcon(nullptr);
    systemIcon_ = name;
    iconSize_ = 0;
    RECT box{};
    GetClientRect(Hwnd(), &box);
    OnSize(box.right, box.bottom);
}

void PictureWindow::OnSize(int width, int height) {
    const int size = width < height ? width : height;
    if (!systemIcon_ || size <= 0 || size == iconSize_) return;
    ownIcon_.reset(dpi::LoadIconAt(nullptr, systemIcon_, size));
    icon_ = ownIcon_.get();
    iconSize_ = size;
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void PictureWindow::Draw(HDC dc, int x, int y) const {
    // The picture's box is its window, laid out at the form's DPI.
    RECT box{};
    GetClientRect(Hwnd(), &box);
    if (icon_) {
        // Icons given at run time (system icons among them) are drawn, never owned.
        DrawIconEx(dc, x, y, icon_, box.right, box.bottom, 0, nullptr, DI_NORMAL);
        return;
    }
    if (!bitmap_) return;
    const bool natural = (def_.flags & kAutoSize) || !(def_.flags & kStretch);
    const int w = natural ? Scaled(width_) : box.right, h = natural ? Scaled(height_) : box.bottom;
    UniqueHdc mem(CreateCompatibleDC(dc));
    SelectGuard sel(mem.get(), bitmap_.get());
    if (def_.flags & kTransparent) {
        // The bottom-left pixel is the picture's transparent colour.
        const COLORREF key = GetPixel(mem.get(), 0, height_ - 1);
        TransparentBlt(dc, x, y, w, h, mem.get(), 0, 0, width_, height_, key);
    } else {
        // Scaled for the display: averaged, so an enlarged picture stays smooth.
        const bool scaled = Dpi() != dpi::kBase;
        SetStretchBltMode(dc, scaled ? HALFTONE : COLORONCOLOR);
        POINT origin{};
        if (scaled) SetBrushOrgEx(dc, 0, 0, &origin);
        StretchBlt(dc, x, y, w, h, mem.get(), 0, 0, width_, height_, SRCCOPY);
        if (scaled) SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    }
}

bool PictureWindow::OnPaint() {
    PaintBuffered(nullptr, [&](HDC dc, const RECT& client) {
        FillBeneath(Hwnd(), dc, client);
        Draw(dc, 0, 0);
    });
    return true;
}

bool PictureWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_GETOBJECT:
        if (spoken_.empty()) return false;
        accessible_.Describe({.role = ROLE_SYSTEM_GRAPHIC, .state = STATE_SYSTEM_READONLY, .name = spoken_});
        result = accessible_.Answer(Hwnd(), wp, lp);
        return true;
    case WM_CREATE:
        // The table names the bitmap; a picture sized to it takes its size now.
        if (def_.resource) SetResource(def_.resource);
        result = 0;
        return true;
    case WM_ERASEBKGND: result = 1; return true;
    case WM_NCHITTEST: result = HTTRANSPARENT; return true;  // clicks go to the form
    default: return false;
    }
}

}  // namespace vexlo::ui
