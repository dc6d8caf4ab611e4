#pragma once
// Which windows the application list holds, as rules over facts. The Win32 listing
// gathers the facts (GetTopWindow/GetWindow, IsWindowVisible, GetWindowThreadProcessId,
// GetWindowLongA, the process snapshot) and asks these functions what to keep.
#include <cstdint>
#include <string_view>
#include <vector>

namespace vexlo::switching {

using WindowId = std::uintptr_t;  // a window handle as a number

// One top-level window of the desktop, in Z order from the top.
struct TopWindowFacts {
    WindowId window = 0;
    WindowId rootOwner = 0;  // end of its GW_OWNER chain; the window itself when unowned
    bool visible = false;    // IsWindowVisible(window)
};

// ListTopWindows' choice: the root owners that get a window record, in order. A visible
// window stands for its root owner, once, at the Z position of the topmost such window; a
// hidden window stands for nothing. (The record's own Visible is then the root owner's.)
std::vector<WindowId> RootOwnersToRecord(const std::vector<TopWindowFacts>& zOrder);

// What ListApps looks at for one window record (a root owner).
struct AppWindowFacts {
    std::uint32_t processId = 0;  // GetWindowThreadProcessId(root owner)
    bool processListed = false;   // the process snapshot has that process
    bool visible = false;         // the record's Visible: IsWindowVisible(root owner)
    std::string_view title;       // the record's Title
    std::uint32_t exStyle = 0;    // GetWindowLongA(root owner, GWL_EXSTYLE)
    // The window manager keeps it off the screen (DWMWA_CLOAKED): an app of another virtual
    // desktop, or a suspended store app. False where the system cannot say (no dwmapi).
    bool cloaked = false;
    bool shellWindow = false;     // GetShellWindow() of its desktop: "Program Manager"
};

inline constexpr std::uint32_t kWsExToolWindow = 0x80;

// Which windows ListApps lists: the window qualifies when its process is in the snapshot and is not the
// calling process, it is visible, its title is not empty, and it is no tool window; and,
// since Windows 8, when the window manager does not cloak it and it is not the shell's own
// desktop window, which Windows' own switcher leaves out too. A zero process identifier
// (the window vanished during the walk) never qualifies.
bool QualifiesAsApp(const AppWindowFacts& facts, std::uint32_t callingProcessId);

}  // namespace vexlo::switching
