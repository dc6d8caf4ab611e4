// Finding Explorer's desktop list view, the window both desktop hooks serve (explorer_hooks.h).
#include <cstring>

#include "shell/explorer_hooks.h"

namespace vexlo::shell {

HWND FindDesktopListView() {
    HWND progman = FindWindowA("ProgMan", nullptr);
    HWND view = progman ? GetWindow(progman, GW_CHILD) : nullptr;
    HWND list = view ? GetWindow(view, GW_CHILD) : nullptr;
    if (!list) return nullptr;
    char cls[40] = {};
    GetClassNameA(list, cls, sizeof cls);
    return std::strcmp(cls, "SysListView32") == 0 ? list : nullptr;
}

}  // namespace vexlo::shell
