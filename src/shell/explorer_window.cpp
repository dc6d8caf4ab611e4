// Finding Explorer's desktop list view, the window both desktop hooks serve (explorer_hooks.h).
#include <cstring>

#include "shell/explorer_hooks.h"

namespace vexlo::shell {

namespace {

bool HasClass(HWND wnd, const char* name) {
    char cls[40] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    return std::strcmp(cls, name) == 0;
}

// The first-found chain: "Progman", its first child, that window's first child.
HWND FirstChildChain() {
    HWND progman = FindWindowA("ProgMan", nullptr);
    HWND view = progman ? GetWindow(progman, GW_CHILD) : nullptr;
    HWND list = view ? GetWindow(view, GW_CHILD) : nullptr;
    return list && HasClass(list, "SysListView32") ? list : nullptr;
}

HWND ListOf(HWND defView) {
    return defView ? FindWindowExA(defView, nullptr, "SysListView32", nullptr) : nullptr;
}

// The desktop's "SHELLDLL_DefView", where Windows keeps it.
HWND FindDesktopView() {
    HWND progman = FindWindowA("Progman", nullptr);
    // Windows 11 24H2 and later: Progman holds the view beside a "WorkerW" child, in no
    // fixed order.
    if (HWND view = progman ? FindWindowExA(progman, nullptr, "SHELLDLL_DefView", nullptr) : nullptr) return view;
    // Windows 7 to 11 before 24H2: a wallpaper slideshow, or 0x052C sent to Progman, moves
    // the view into a top-level "WorkerW"; an empty WorkerW stands beside it.
    for (HWND worker = nullptr; (worker = FindWindowExA(nullptr, worker, "WorkerW", nullptr)) != nullptr;) {
        if (HWND view = FindWindowExA(worker, nullptr, "SHELLDLL_DefView", nullptr)) return view;
    }
    return nullptr;
}

}  // namespace

HWND FindDesktopListView() {
    // Where the first-child chain finds a list view it stays the answer, so installs that
    // worked before find the same window; the search by class finds the others.
    if (HWND list = FirstChildChain()) return list;
    return ListOf(FindDesktopView());
}

}  // namespace vexlo::shell
