// Display scale: the run-time lookups of the DPI functions and their fallbacks (dpi.h).
#include "shared/dpi.h"

#include <commctrl.h>

#include "shared/handles.h"
#include "shared/system_function.h"

namespace vexlo::dpi {

namespace {

// DPI_AWARENESS_CONTEXT values (windef.h, Windows 10 1607 and later).
const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));

struct Functions {
    UINT(WINAPI* dpiForWindow)(HWND) = nullptr;
    UINT(WINAPI* dpiForSystem)() = nullptr;
    int(WINAPI* metricForDpi)(int, UINT) = nullptr;
    BOOL(WINAPI* adjustForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
    HANDLE(WINAPI* setThreadContext)(HANDLE) = nullptr;
};

// Resolved on first use: user32 is loaded by then, and the loader lock is not held.
const Functions& User32() {
    static const Functions f = [] {
        Functions r;
        const HMODULE user = GetModuleHandleA("user32.dll");
        r.dpiForWindow = SystemFunction<decltype(r.dpiForWindow)>(user, "GetDpiForWindow");
        r.dpiForSystem = SystemFunction<decltype(r.dpiForSystem)>(user, "GetDpiForSystem");
        r.metricForDpi = SystemFunction<decltype(r.metricForDpi)>(user, "GetSystemMetricsForDpi");
        r.adjustForDpi = SystemFunction<decltype(r.adjustForDpi)>(user, "AdjustWindowRectExForDpi");
        r.setThreadContext = SystemFunction<decltype(r.setThreadContext)>(user, "SetThreadDpiAwarenessContext");
        return r;
    }();
    return f;
}

}  // namespace

int System() {
    // The physical scale, as a per-monitor aware thread sees it: a DPI-unaware thread is
    // told 96 whatever the display.
    const AwareScope aware;
    if (auto get = User32().dpiForSystem)
        if (const UINT d = get()) return static_cast<int>(d);
    WindowDc screen(nullptr);
    const int d = screen.dc() ? GetDeviceCaps(screen.dc(), LOGPIXELSY) : 0;
    return d > 0 ? d : kBase;
}

int ForWindow(HWND wnd) {
    if (auto get = User32().dpiForWindow; get && wnd)
        if (const UINT d = get(wnd)) return static_cast<int>(d);
    return System();
}

int AtCursor() {
    using ForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const ForMonitor forMonitor = SystemFunction<ForMonitor>("shcore.dll", "GetDpiForMonitor");
    if (!forMonitor) return System();
    // A DPI-unaware thread would be told 96 (GetDpiForMonitor, remarks), and the pointer
    // where it would be on a display of 96 DPI.
    const AwareScope aware;
    POINT at{};
    if (!GetCursorPos(&at)) return System();
    UINT x = 0, y = 0;
    constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
    if (FAILED(forMonitor(MonitorFromPoint(at, MONITOR_DEFAULTTOPRIMARY), kEffectiveDpi, &x, &y)) || !y)
        return System();
    return static_cast<int>(y);
}

int Metric(int index, int dpi) {
    if (auto get = User32().metricForDpi) return get(index, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(index), dpi, System());
}

void AdjustRect(RECT& r, DWORD style, DWORD exStyle, int dpi) {
    if (auto adjust = User32().adjustForDpi; adjust && adjust(&r, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        return;
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
}

HICON LoadIconAt(HINSTANCE module, const char* name, int size) {
    // comctl32 6 (Vista and later) scales a larger image down instead of a smaller one up;
    // it takes the name as a wide string, or an ordinal as it is.
    using ScaleDown = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    static const ScaleDown scaleDown = SystemFunction<ScaleDown>("comctl32.dll", "LoadIconWithScaleDown");
    if (scaleDown) {
        wchar_t wide[64] = {};
        PCWSTR resource = reinterpret_cast<PCWSTR>(name);
        if (HIWORD(reinterpret_cast<UINT_PTR>(name))) {
            if (!MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 64)) wide[0] = 0;
            resource = wide;
        }
        HICON icon = nullptr;
        if (resource && SUCCEEDED(scaleDown(module, resource, size, size, &icon)) && icon) return icon;
    }
    return static_cast<HICON>(LoadImageA(module, name, IMAGE_ICON, size, size, 0));
}

AwareScope::AwareScope() {
    auto set = User32().setThreadContext;
    if (!set) return;
    // Per-monitor v2 scales the non-client area and the system's dialogs too; the systems
    // that know only v1 (Windows 10 1607, Wine 8) answer null to v2.
    previous_ = set(kPerMonitorAwareV2);
    if (!previous_) previous_ = set(kPerMonitorAware);
}

AwareScope::~AwareScope() {
    if (previous_) User32().setThreadContext(previous_);
}

}  // namespace vexlo::dpi
