#include "shared/module.h"

#include "shared/once.h"

namespace vexlo::module {

namespace {
HINSTANCE g_instance = nullptr;
UINT g_iconRequest = 0;
RunOnce g_iconRequestOnce;
HWND g_owner = nullptr;
StartupSlot<Hooks> g_hooks;
RunOnce g_hooksOnce;
}  // namespace

HINSTANCE Instance() { return g_instance; }
void SetInstance(HINSTANCE instance) { g_instance = instance; }

UINT IconRequestMessage() {
    g_iconRequestOnce.Run([] {
        g_iconRequest = RegisterWindowMessageA("WM_GETICONS");
        return true;
    });
    return g_iconRequest;
}

HWND OwnerWindow() { return g_owner; }
void SetOwnerWindow(HWND owner) { g_owner = owner; }

// Made once: the install exports, Explorer's hook procedures and the Alt+Tab threads may
// come here at the same time, and a second Emplace would drop a stored hook.
Hooks& StoredHooks() {
    g_hooksOnce.Run([] {
        g_hooks.Emplace();
        return true;
    });
    return *g_hooks.get();
}

void ReleaseState() noexcept {
    g_hooks.Reset();
    g_hooksOnce.Reset();
}

}  // namespace vexlo::module
