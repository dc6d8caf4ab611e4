#include "host/screenshot.h"

#include <vector>

#include "host/png.h"
#include "shared/handles.h"

namespace vexlo::host {

void PumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < milliseconds) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
}

bool SaveWindowPng(HWND wnd, const std::string& path) {
    RECT r;
    if (!GetWindowRect(wnd, &r)) return false;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;

    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // rows from the top
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const vexlo::UniqueHbitmap dib(CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    bool ok = false;
    if (dib && bits) {
        HGDIOBJ old = SelectObject(mem, dib.get());
        // The window as the screen shows it; PrintWindow is the fallback for a window
        // that is covered or off screen.
        if (!BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT))
            PrintWindow(wnd, mem, 0);
        GdiFlush();
        std::vector<std::uint8_t> rgb(static_cast<size_t>(w) * h * 3);
        const auto* px = static_cast<const std::uint8_t*>(bits);
        for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
            rgb[i * 3 + 0] = px[i * 4 + 2];
            rgb[i * 3 + 1] = px[i * 4 + 1];
            rgb[i * 3 + 2] = px[i * 4 + 0];
        }
        SelectObject(mem, old);
        ok = png::WriteFile(path, w, h, rgb);
    }
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

namespace {
BOOL CALLBACK FindHostWindow(HWND wnd, LPARAM lp) {
    char cls[32] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (lstrcmpA(cls, "VexloHostWnd") != 0) return TRUE;
    *reinterpret_cast<HWND*>(lp) = wnd;
    return FALSE;
}
}  // namespace

HWND OwnHostWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindHostWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace vexlo::host
