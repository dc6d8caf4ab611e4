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

bool OnThread(HWND wnd, DWORD thread) { return wnd && GetWindowThreadProcessId(wnd, nullptr) == thread; }

// The list view of a "SHELLDLL_DefView" of the shell's thread.
HWND ListOf(HWND defView, DWORD thread) {
    if (!OnThread(defView, thread)) return nullptr;
    HWND list = FindWindowExA(defView, nullptr, "SysListView32", nullptr);
    return OnThread(list, thread) ? list : nullptr;
}

struct WorkerSearch {
    DWORD thread;
    HWND view = nullptr;
};

BOOL CALLBACK FindViewInWorker(HWND wnd, LPARAM param) {
    auto& search = *reinterpret_cast<WorkerSearch*>(param);
    if (!HasClass(wnd, "WorkerW")) return TRUE;
    search.view = FindWindowExA(wnd, nullptr, "SHELLDLL_DefView", nullptr);
    return search.view ? FALSE : TRUE;
}

}  // namespace

// Every window is looked for from the shell window and only among the windows of its
// thread. GetShellWindow names the window that Explorer registered (SetShellWindow), which
// no other process can replace while it exists; classes are anybody's to register, so a
// lookup by class names alone would hand both hooks, and the library, to whichever
// process made a "Progman" or a "WorkerW".
HWND FindDesktopListView() {
    const HWND shell = GetShellWindow();
    if (!shell) return nullptr;
    const DWORD thread = GetWindowThreadProcessId(shell, nullptr);
    // The first-child chain stays the first answer, so installs that worked before find
    // the same window.
    if (HWND view = GetWindow(shell, GW_CHILD); OnThread(view, thread))
        if (HWND list = GetWindow(view, GW_CHILD); OnThread(list, thread) && HasClass(list, "SysListView32"))
            return list;
    // Windows 11 24H2 and later: the shell window holds the view beside a "WorkerW" child,
    // in no fixed order.
    if (HWND list = ListOf(FindWindowExA(shell, nullptr, "SHELLDLL_DefView", nullptr), thread)) return list;
    // Windows 7 to 11 before 24H2: a wallpaper slideshow, or 0x052C sent to Progman, moves
    // the view into a top-level "WorkerW" of the same thread; an empty WorkerW stands
    // beside it.
    WorkerSearch search{thread};
    EnumThreadWindows(thread, &FindViewInWorker, reinterpret_cast<LPARAM>(&search));
    return ListOf(search.view, thread);
}

bool IsThreadsDesktopListView(HWND wnd) {
    const HWND shell = GetShellWindow();
    return wnd && shell && GetWindowThreadProcessId(shell, nullptr) == GetCurrentThreadId() &&
           wnd == FindDesktopListView();
}

}  // namespace vexlo::shell
