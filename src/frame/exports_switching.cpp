// Exports of task switching: the Alt+Tab hook and the floating switcher button.
#include <windows.h>

#include <cstdint>

#include "shared/guard.h"
#include "switching/frmSwitcher.h"
#include "switching/uAltTab.h"

using namespace vexlo;

extern "C" {

// 1 installs; any other value (only the low byte counts) removes.
BOOL WINAPI AltTabHook(std::uint32_t install) {
    return Guarded<BOOL>(FALSE, "AltTabHook", [&] {
        const bool ok = (install & 0xFF) == 1 ? switching::InstallAltTabHook() : switching::RemoveAltTabHook();
        return ok ? TRUE : FALSE;
    });
}

HWND WINAPI ShowSwitcherWnd(HICON icon, void* onSwitch) {
    return Guarded<HWND>(nullptr, "ShowSwitcherWnd", [&] { return switching::ShowSwitcher(icon, onSwitch); });
}

}  // extern "C"
