#pragma once
// Desktop objects, which every product desktop is, and the thread's message queue.
// Every desktop handle is opened with every desktop right (0x1FF), inheritable, and
// belongs to whoever opened it: the handles here close themselves.
#include <windows.h>

#include <string>

#include "shared/handles.h"

namespace vexlo {

// Name of the calling thread's desktop; empty when the system cannot give it.
std::string CurrentDesktopName();
// Name of a desktop; empty when the system cannot give it.
std::string DesktopName(HDESK desktop);
// The desktop that receives user input, open to hooks of other accounts; empty on failure.
UniqueHdesk OpenInputDesktopAll();
// The named desktop, open to hooks of other accounts; empty when it does not exist or
// cannot be opened. A handle that the library keeps for itself is not inheritable: a
// program the main program starts would hold the desktop with it.
UniqueHdesk OpenDesktopByName(const std::string& name, bool inheritable = true);
// Whether anyone but the given number of this process's handles (the one passed among
// them) holds the desktop, in any process. Windows destroys a desktop when its last handle
// is closed and no thread is attached to it, and every thread attached to a desktop holds
// a handle to it (a process its initial one), so the handle count says whether the desktop
// would live on without ours. True when the system cannot tell: nothing is let go on a guess.
bool DesktopHeldElsewhere(HDESK mine, unsigned ownHandles = 1);
// Posts the message only when the named desktop can be opened; the window need not
// belong to that desktop.
void PostIfDesktop(const std::string& name, HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

// Removes and dispatches every message waiting in the calling thread's queue for the
// window (null: every message of the thread), each after keyboard translation; returns
// when none is left. A message whose handling raises is skipped.
void ProcessMessages(HWND wnd);

}  // namespace vexlo
