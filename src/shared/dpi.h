#pragma once
// Display scale. Every length of the library's windows is written at 96 DPI and applied at
// the DPI of the window it belongs to. The functions that tell a window's DPI are newer
// than the systems the library runs on, so they are looked up at run time (on first use,
// never under the loader lock) and fall back to the system DPI of the screen.
#include <windows.h>

// Messages of Windows 8.1 and Windows 10 1703, newer than the headers' minimum system.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

namespace vexlo::dpi {

inline constexpr int kBase = 96;
// The scales a display can have (100 % to 500 %, with room below): a DPI outside them is
// nobody's display, and no window is laid out for it.
inline constexpr int kLeast = 48, kMost = 960;

// A length written at 96 DPI, at the given DPI (rounded to the nearest pixel).
inline int Scale(int length, int dpi) { return dpi == kBase ? length : MulDiv(length, dpi, kBase); }

// The system DPI (of the primary display when the session started), as a per-monitor aware
// thread sees it: GetDpiForSystem where it exists, else the screen's LOGPIXELSY.
int System();
// The window's DPI: GetDpiForWindow where it exists, else the system DPI.
int ForWindow(HWND wnd);
// The DPI of the display under the mouse pointer, where a context menu opens: the
// display's own where the system tells it (GetDpiForMonitor, Windows 8.1, from shcore.dll
// when the process has it loaded, as Explorer does), else the system DPI.
int AtCursor();
// A system metric at the given DPI: GetSystemMetricsForDpi where it exists, else the
// metric at the system DPI, scaled.
int Metric(int index, int dpi);
// The frame around a client rectangle at the given DPI (AdjustWindowRectExForDpi where it
// exists).
void AdjustRect(RECT& r, DWORD style, DWORD exStyle, int dpi);
// An icon resource at the given size, scaled down from a larger image where the system can
// (LoadIconWithScaleDown), else as LoadImage picks it. The caller owns it.
HICON LoadIconAt(HINSTANCE module, const char* name, int size);

// Makes the library's own top-level windows per-monitor aware inside any main program, so
// the system never stretches them (blurry in a DPI-unaware program): while it lives, the
// calling thread's DPI awareness is per-monitor v2, or v1 where the system refuses v2
// (before Windows 10 1703). Without SetThreadDpiAwarenessContext (before Windows 10 1607)
// it does nothing and the windows use the system DPI. Windows created inside it keep the
// awareness; their children take their parent's.
class AwareScope {
public:
    AwareScope();
    ~AwareScope();
    AwareScope(const AwareScope&) = delete;
    AwareScope& operator=(const AwareScope&) = delete;

private:
    HANDLE previous_ = nullptr;
};

}  // namespace vexlo::dpi
