#include "switching/frmSwitcher.h"

#include <cmath>

#include <oleacc.h>

#include "shared/error.h"
#include "shared/guard.h"
#include "shared/handles.h"
#include "shared/module.h"
#include "switching/alttab_ids.h"
#include "ui/accessible.h"
#include "ui/high_contrast.h"
#include "ui/keyboard.h"
#include "ui/window.h"

namespace vexlo::switching {

namespace {

// At 96 DPI, as every length here.
constexpr int kButtonWidth = 41, kButtonHeight = 40, kPictureSize = 16;

// A circle of the given diameter as the window's region; the window owns it from then on.
bool ShapeRound(HWND wnd, int diameter) {
    UniqueHrgn circle(CreateEllipticRgn(0, 0, diameter + 1, diameter + 1));
    if (!circle || !SetWindowRgn(wnd, circle.get(), FALSE)) return false;
    circle.release();
    return true;
}

// The round button: a circle filled with a maroon-to-yellow gradient from the top-right
// corner, a sunken-looking rim, and the switcher picture in the middle (black is clear).
// Its window region is the circle, so the form's key region follows it. A click is told to
// the parent the way a button tells it: WM_COMMAND with BN_CLICKED and the button's id.
// It takes the focus as a tab stop, Enter and Space press it (a dotted square in the middle
// shows the focus), and screen readers know it as the "Switch desktops" push button.
class TvxRoundButton : public ui::Window {
public:
    static constexpr const char* kClassName = "TvxRoundButton";
    static void Register() {
        ui::EnsureWindowClass({.name = kClassName, .cursor = IDC_HAND,
                               .factory = [](HWND, const CREATESTRUCTA&) -> ui::Window* { return new TvxRoundButton(); }});
    }

private:
    // Square: the circle's diameter is the smaller side.
    int Diameter() const {
        RECT r{};
        GetClientRect(Hwnd(), &r);
        return r.right < r.bottom ? r.right : r.bottom;
    }

    bool OnCreate() override {
        if (!ShapeRound(Hwnd(), Diameter())) throw SystemError("Cannot shape the switcher button", GetLastError());
        picture_.reset(static_cast<HBITMAP>(LoadImageA(module::Instance(), "SWITCHER", IMAGE_BITMAP, 0, 0, 0)));
        return true;
    }

    bool OnPaint() override {
        PaintBuffered(nullptr, [&](HDC dc, const RECT& client) {
            if (HighContrast(dc, client)) return;
            const int w = client.right, h = client.bottom;
            // Gradient along the diagonal from the top-right corner.
            const double span = static_cast<double>(w + h);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const double t = ((w - 1 - x) + y) / span;
                    const int r = static_cast<int>(std::lround(128 + (255 - 128) * t));
                    const int g = static_cast<int>(std::lround(255 * t));
                    SetPixelV(dc, x, y, RGB(r, g, 0));
                }
            }
            // Three-dimensional rim: light on the top-left, dark on the bottom-right.
            const int d = Diameter(), o = Scaled(1), size = Scaled(kPictureSize);
            UniqueHpen light(CreatePen(PS_SOLID, Scaled(2), RGB(255, 255, 200)));
            UniqueHpen dark(CreatePen(PS_SOLID, Scaled(2), RGB(80, 0, 0)));
            SelectGuard brush(dc, GetStockObject(NULL_BRUSH));
            {
                SelectGuard pen(dc, light.get());
                Arc(dc, o, o, d, d, d, o, o, d);
            }
            {
                SelectGuard pen(dc, dark.get());
                Arc(dc, o, o, d, d, o, d, d, o);
            }
            DrawFocusCue(dc);
            if (picture_) {
                UniqueHdc mem(CreateCompatibleDC(dc));
                SelectGuard sel(mem.get(), picture_.get());
                TransparentBlt(dc, (w - size) / 2, (d - size) / 2, size, size, mem.get(), 0, 0, kPictureSize,
                               kPictureSize, RGB(0, 0, 0));
            }
        });
        return true;
    }

    // High contrast: the button face with an outline in the button text colour, and the
    // picture in the middle as the button text.
    bool HighContrast(HDC dc, const RECT& client) {
        if (!ui::HighContrast()) return false;
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        const int d = Diameter(), o = Scaled(1), size = Scaled(kPictureSize);
        UniqueHpen outline(CreatePen(PS_SOLID, Scaled(2), GetSysColor(COLOR_BTNTEXT)));
        SelectGuard brush(dc, GetStockObject(NULL_BRUSH));
        SelectGuard pen(dc, outline.get());
        Ellipse(dc, o, o, d, d);
        if (picture_) {
            // The picture's shape (all that is not black) in the button text colour.
            UniqueHdc mem(CreateCompatibleDC(dc));
            UniqueHbitmap mask(CreateBitmap(kPictureSize, kPictureSize, 1, 1, nullptr));
            UniqueHdc maskDc(CreateCompatibleDC(dc));
            SelectGuard sel(mem.get(), picture_.get());
            SelectGuard selMask(maskDc.get(), mask.get());
            SetBkColor(mem.get(), RGB(0, 0, 0));
            BitBlt(maskDc.get(), 0, 0, kPictureSize, kPictureSize, mem.get(), 0, 0, SRCCOPY);
            SelectGuard text(dc, GetSysColorBrush(COLOR_BTNTEXT));
            SetTextColor(dc, RGB(0, 0, 0));
            SetBkColor(dc, RGB(255, 255, 255));
            StretchBlt(dc, (client.right - size) / 2, (d - size) / 2, size, size, maskDc.get(), 0, 0, kPictureSize,
                       kPictureSize, 0x00B8074A);  // the brush where the mask is black (the shape)
        }
        DrawFocusCue(dc);
        return true;
    }

    // A dotted square around the picture, once the keyboard is in use.
    void DrawFocusCue(HDC dc) {
        if (!keys_.CueShown()) return;
        const int d = Diameter(), inset = (d - Scaled(kPictureSize)) / 2 - Scaled(3);
        RECT cue{inset, inset, d - inset, d - inset};
        DrawFocusRect(dc, &cue);
    }

    // A new DPI gives a new size: the circle follows it.
    void OnSize(int, int) override { ShapeRound(Hwnd(), Diameter()); }

    void Click() {
        SendMessageA(GetParent(Hwnd()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Hwnd()), BN_CLICKED),
                     reinterpret_cast<LPARAM>(Hwnd()));
    }

    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        if (keys_.Handle(Hwnd(), msg, wp, [this] { Click(); })) return true;
        switch (msg) {
        case WM_ERASEBKGND: result = 1; return true;
        case WM_GETOBJECT:
            accessible_.Describe({.role = ROLE_SYSTEM_PUSHBUTTON,
                                  .state = STATE_SYSTEM_FOCUSABLE,
                                  .name = "Switch desktops",
                                  .action = "Press"});
            accessible_.SetActionMessage(Hwnd(), kPress);
            result = accessible_.Answer(Hwnd(), wp, lp);
            return true;
        case kPress: Click(); return true;
        // Enter presses the focused button, not a default button.
        case WM_GETDLGCODE: result = DLGC_BUTTON | DLGC_WANTMESSAGE; return true;
        case WM_LBUTTONDOWN:
            pressed_ = true;
            SetCapture(Hwnd());
            result = 0;
            return true;
        case WM_LBUTTONUP: {
            const bool wasPressed = pressed_;
            pressed_ = false;
            if (GetCapture() == Hwnd()) ReleaseCapture();
            const POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            RECT r{};
            GetClientRect(Hwnd(), &r);
            if (wasPressed && PtInRect(&r, pt)) Click();
            result = 0;
            return true;
        }
        case WM_CAPTURECHANGED: pressed_ = false; return false;
        default: return false;
        }
    }

    // A screen reader's default action, posted to the window's own thread.
    static constexpr UINT kPress = WM_USER + 0x140;

    UniqueHbitmap picture_;
    bool pressed_ = false;
    ui::KeyFocus keys_;
    ui::Accessible accessible_;
};

const ui::ControlDef kControls[] = {
    {.kind = ui::Kind::Custom, .id = id::btSwitch, .name = "btSwitch", .at = {0, 0, kButtonWidth, kButtonHeight}, .tab = 0,
     .className = TvxRoundButton::kClassName},
};

const ui::FormDef kForm{
    .className = TVexloSwitcher::kClassName,
    .caption = "Vexlo Switcher",
    .clientWidth = 104,
    .clientHeight = 40,
    .border = ui::Border::None,
    .systemMenu = false,
    .stayOnTop = true,
    .position = ui::Position::Default,
    .controls = kControls,
    .options = ui::kToolWindow | ui::kTopmost,
    // Black is the key colour: no black shows, and clicks there reach the window below.
    // The window is also cut to its round button, which gives the same under Wine, where
    // the key colour hides but takes the clicks.
    .background = ui::Rgb(0, 0, 0),
    .colourKey = ui::Rgb(0, 0, 0),
};

}  // namespace

void CallRegisterProc(SwitchCallback proc, HWND arg) {
    if (!proc) return;
#if defined(__i386__)
    // The main program's procedures take their first argument in EAX and may change EAX,
    // ECX and EDX; the others are theirs to keep.
    void* eax = arg;
    asm volatile("call *%[proc]" : "+a"(eax) : [proc] "r"(proc) : "ecx", "edx", "memory", "cc");
#else
    reinterpret_cast<void (*)(HWND)>(proc)(arg);
#endif
}

TVexloSwitcher::TVexloSwitcher() : Form(kForm) { TvxRoundButton::Register(); }

void TVexloSwitcher::Place() {
    HWND wnd = Hwnd();
    SetWindowLongPtrA(wnd, GWL_EXSTYLE, GetWindowLongPtrA(wnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
    const int inset = Scaled(kInset);
    SetWindowPos(wnd, nullptr, GetSystemMetrics(SM_CXSCREEN) - inset, GetSystemMetrics(SM_CYSCREEN) - inset, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TVexloSwitcher::OnCreate() {
    if (!ShapeRound(Hwnd(), Scaled(kButtonHeight)))
        throw SystemError("Cannot shape the switcher window", GetLastError());
    Place();
    return true;
}

void TVexloSwitcher::ButtonClick() { CallRegisterProc(OnSwitch, Hwnd()); }

void TVexloSwitcher::OnCommand(int id, int code, HWND from) {
    if (id == id::btSwitch && code == BN_CLICKED) ButtonClick();
    else Form::OnCommand(id, code, from);
}

bool TVexloSwitcher::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_DISPLAYCHANGE) {
        Place();
        result = 0;
        return true;
    }
    return Form::HandleMessage(msg, wp, lp, result);
}

HWND ShowSwitcher(HICON icon, SwitchCallback onSwitch) {
    auto form = ui::MakeOwned<TVexloSwitcher>();
    HWND wnd = form->Handle();
    form->SetIcon(icon);  // ours from here on
    form->OnSwitch = onSwitch;
    InvalidateRect(wnd, nullptr, TRUE);
    UpdateWindow(wnd);
    form->ShowModeless();  // the window owns the form from here on
    form.release();
    return wnd;
}

}  // namespace vexlo::switching
