#pragma once
// Module-wide state: one copy per process that has the library loaded. Written without
// locks: the install and remove exports are called from one thread at a time. The stored
// hooks themselves are made once, safely, by whichever thread comes first.
#include <windows.h>

#include "shared/handles.h"

namespace vexlo::module {

// The library's own module: DllMain sets it; a program that links the library's code
// directly (the tests) sets its own.
HINSTANCE Instance();
void SetInstance(HINSTANCE instance);

// The registered "WM_GETICONS" message, registered on first use (user32 may not be called
// while the library loads); 0 when the system refused it.
UINT IconRequestMessage();

// Owner of every library window created from now on in this process; none until a
// caller names one, and nothing resets it.
HWND OwnerWindow();
void SetOwnerWindow(HWND owner);

// A shut-down step of a module whose state is more than a handle (the Alt+Tab hook lives on
// threads of the library's own): `run` is called once when the library unloads, under the
// loader lock, so it may not wait for a thread to end.
struct UnloadStep {
    void (*run)() noexcept = nullptr;
    constexpr UnloadStep() noexcept = default;
    UnloadStep(const UnloadStep&) = delete;
    UnloadStep& operator=(const UnloadStep&) = delete;
    ~UnloadStep() {
        if (run) run();
    }
};

// Hooks installed by the install exports and removed by the remove exports; any still
// installed go when the library unloads.
struct Hooks {
    UniqueHook explorer;
    UniqueHook contextCallWnd;
    UniqueHook contextGetMsg;
    UnloadStep altTab;  // the Alt+Tab hook threads (switching/uAltTab.cpp)
};
Hooks& StoredHooks();
// At unload: removes the hooks still installed.
void ReleaseState() noexcept;

// A FreeLibrary on any thread unmaps the library's code under every other thread still
// running it. So a thread of the library's own holds a reference on the module from
// before it starts until its very end, which is FreeLibraryAndExitThread: it never
// returns into code that may be gone. Started like CreateThread (flags and a stack size);
// null when it could not be.
HANDLE StartLibraryThread(LPTHREAD_START_ROUTINE work, void* param, DWORD flags = 0, SIZE_T stack = 0);

// Holds the module while library code runs on a thread the library does not own (the
// switcher built on the main program's window thread). That thread cannot let go itself:
// the last release would unmap the code it returns through. So the release is handed to a
// thread of the library's that waits until `back`, a window of the holding thread, has
// answered a message (the holding thread is back in a message loop by then), and then lets
// go. Without a window, or when no such thread can be started, the reference is kept: a
// library that stays loaded is better than one that crashes its caller.
class Hold {
public:
    explicit Hold(HWND back) noexcept;
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    HMODULE module_ = nullptr;
    HWND back_ = nullptr;
};

}  // namespace vexlo::module
