// The windows of the library that exist now, and their hand-over at unload (library_windows.h).
#include "ui/library_windows.h"

#include <algorithm>
#include <vector>

#include "shared/guard.h"
#include "shared/handles.h"
#include "shared/module.h"

namespace vexlo::ui {

namespace {

CriticalSection& ListLock() {
    static CriticalSection cs;
    return cs;
}

std::vector<HWND>& Live() {
    static std::vector<HWND> windows;
    return windows;
}

bool InLibrary(LONG_PTR address) {
    MEMORY_BASIC_INFORMATION info{};
    return address && VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof info) == sizeof info &&
           info.AllocationBase == static_cast<void*>(module::Instance());
}

// A Unicode window's procedures read as Unicode, or the system hands out a stand-in.
LONG_PTR ClassProc(HWND wnd) {
    return IsWindowUnicode(wnd) ? static_cast<LONG_PTR>(GetClassLongPtrW(wnd, GCLP_WNDPROC))
                                : static_cast<LONG_PTR>(GetClassLongPtrA(wnd, GCLP_WNDPROC));
}
LONG_PTR WindowProc(HWND wnd) {
    return IsWindowUnicode(wnd) ? GetWindowLongPtrW(wnd, GWLP_WNDPROC) : GetWindowLongPtrA(wnd, GWLP_WNDPROC);
}
void SetWindowProc(HWND wnd, LONG_PTR proc) {
    if (IsWindowUnicode(wnd))
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, proc);
    else
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, proc);
}

struct Retarget {
    void (*before)(HWND) noexcept;
};

BOOL CALLBACK RetargetOne(HWND wnd, LPARAM param) {
    const auto& r = *reinterpret_cast<const Retarget*>(param);
    if (r.before) r.before(wnd);
    const LONG_PTR classProc = ClassProc(wnd);
    if (InLibrary(classProc)) {
        const auto def = IsWindowUnicode(wnd) ? reinterpret_cast<LONG_PTR>(&DefWindowProcW)
                                              : reinterpret_cast<LONG_PTR>(&DefWindowProcA);
        SetWindowProc(wnd, def);
    } else if (WindowProc(wnd) != classProc) {
        SetWindowProc(wnd, classProc);  // a subclass of ours, straight or through comctl32's chain
    }
    return TRUE;
}

}  // namespace

void TrackLibraryWindow(HWND wnd, bool live) noexcept {
    try {
        Lock hold(ListLock());
        auto& windows = Live();
        windows.erase(std::remove(windows.begin(), windows.end(), wnd), windows.end());
        if (live) windows.push_back(wnd);
    } catch (...) {
        ReportCaught("window list", CurrentExceptionText());
    }
}

void RetargetLibraryWindows(void (*beforeRetarget)(HWND) noexcept) noexcept {
    std::vector<HWND> windows;
    {
        Lock hold(ListLock());
        windows.swap(Live());
    }
    Retarget r{beforeRetarget};
    // Only windows still of a class of ours: a handle whose window is gone may name another.
    windows.erase(std::remove_if(windows.begin(), windows.end(),
                                 [](HWND wnd) { return !IsWindow(wnd) || !InLibrary(ClassProc(wnd)); }),
                  windows.end());
    for (HWND wnd : windows) {
        EnumChildWindows(wnd, &RetargetOne, reinterpret_cast<LPARAM>(&r));
        RetargetOne(wnd, reinterpret_cast<LPARAM>(&r));
    }
    for (HWND wnd : windows)
        if (!(GetWindowLongPtrA(wnd, GWL_STYLE) & WS_CHILD)) PostMessageA(wnd, WM_CLOSE, 0, 0);
}

}  // namespace vexlo::ui
