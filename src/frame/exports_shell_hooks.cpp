// The exports that put the library's hooks on Explorer's desktop thread and take them off.
#include <windows.h>

#include <cstdint>

#include "shared/guard.h"
#include "shell/hook_delegation.h"

using namespace vexlo;

extern "C" {

// Only the low byte of the flag counts: 1 installs, anything else removes.
HHOOK WINAPI HookExplorer(std::uint32_t install) {
    return Guarded<HHOOK>(nullptr, "HookExplorer", [&] { return shell::IconLayoutHook((install & 0xFF) == 1); });
}

// A byte boolean: exactly 0 or 1.
BOOL WINAPI HookContext(std::uint32_t install) {
    return Guarded<BOOL>(FALSE, "HookContext", [&] { return shell::DesktopMenuHooks((install & 0xFF) == 1) ? TRUE : FALSE; });
}

}  // extern "C"
