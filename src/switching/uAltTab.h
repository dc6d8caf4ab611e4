#pragma once
// The Alt+Tab hook: low-level keyboard hooks on threads of the library's own, one per
// desktop, that do nothing but run the hook procedure and their message loops. The hook
// procedure only decides and posts: the switcher is built and shown by the installing
// thread (the window thread) from its message loop, so neither the gathering of the
// desktops' windows nor anything else the window thread does can keep the system waiting
// for the hook. The design and the rules it follows are in docs/notes/alt-tab-hook.md.
#include <windows.h>

namespace vexlo::switching {

// Installs (true: the hook of the calling thread's desktop is in place) or removes (true:
// every hook thread ended with its hook removed; false when nothing was installed) the
// hooks; the export's two results. Installing again leaves one hook per desktop.
bool InstallAltTabHook();
bool RemoveAltTabHook();

// The hook procedure, for tests that time it.
LRESULT CALLBACK AltTabHookProc(int code, WPARAM wp, LPARAM lp);

}  // namespace vexlo::switching
