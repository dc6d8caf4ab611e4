#pragma once
// Module-wide state: one copy per process that has the library loaded. Written without
// locks: the install and remove exports are called from one thread at a time.
#include <windows.h>

namespace vexlo::module {

HINSTANCE Instance();
void SetInstance(HINSTANCE instance);

// The registered "WM_GETICONS" message; 0 until start-up has finished.
UINT IconRequestMessage();
void RegisterIconRequestMessage();

// Owner of every library window created from now on in this process; none until a
// caller names one, and nothing resets it.
HWND OwnerWindow();
void SetOwnerWindow(HWND owner);

// Hook handles stored by the install exports and used by the remove exports.
struct Hooks {
    HHOOK explorer = nullptr;
    HHOOK contextCallWnd = nullptr;
    HHOOK contextGetMsg = nullptr;
    HHOOK altTab = nullptr;
};
Hooks& StoredHooks();

}  // namespace vexlo::module
