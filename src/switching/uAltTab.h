#pragma once
// The Alt+Tab hook: a low-level keyboard hook in the installing thread. The hook procedure
// only decides and posts: a switcher is built from that thread's message loop, so the
// system never waits for the gathering of the desktops' windows.
#include <windows.h>

namespace vexlo::switching {

// Installs (true) or removes the hook; the export's two results.
bool InstallAltTabHook();
bool RemoveAltTabHook();

// The hook procedure, for tests that time it.
LRESULT CALLBACK AltTabHookProc(int code, WPARAM wp, LPARAM lp);

}  // namespace vexlo::switching
