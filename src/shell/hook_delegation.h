#pragma once
// The desktop hooks as the exports install and remove them. A 32-bit library cannot hook a
// 64-bit thread (SetWindowsHookEx needs the hook's DLL and the target of one bitness), so
// when Explorer's desktop list view belongs to a 64-bit process the 32-bit library hands
// the request to the 64-bit hook helper, which installs the same hook procedures from the
// 64-bit library and keeps them. The 64-bit library always hooks itself.
#include <windows.h>

namespace vexlo::shell {

// What HookExplorer gives: the icon layout hook (or the stored one), null after a remove.
HHOOK IconLayoutHook(bool install);
// What HookContext gives: true when both menu hooks are set (install) or came off (remove).
bool DesktopMenuHooks(bool install);

// True when the list view's process is 64-bit and this process is not: only on 64-bit
// Windows, for a process outside WOW64.
bool NeedsHookHelper(HWND listView);

}  // namespace vexlo::shell
