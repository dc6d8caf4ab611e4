// The exports that put the library's hooks on Explorer's desktop thread and take them off.
#include <windows.h>

#include <cstdint>

#include "shared/guard.h"
#include "shell/explorer_hooks.h"

using namespace vexlo;

extern "C" {

// Only the low byte of the flag counts: 1 installs, anything else removes.
HHOOK WINAPI HookExplorer(std::uint32_t install) {
    return Guarded<HHOOK>(nullptr, "HookExplorer", [&] {
        return (install & 0xFF) == 1 ? shell::InstallIconLayoutHook() : shell::RemoveIconLayoutHook();
    });
}

// A byte boolean: exactly 0 or 1.
BOOL WINAPI HookContext(std::uint32_t install) {
    return Guarded<BOOL>(FALSE, "HookContext", [&] {
        const bool ok = (install & 0xFF) == 1 ? shell::InstallDesktopMenuHooks() : shell::RemoveDesktopMenuHooks();
        return ok ? TRUE : FALSE;
    });
}

}  // extern "C"
