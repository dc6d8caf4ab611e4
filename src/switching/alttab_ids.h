#pragma once
// Control ids of the Alt+Tab switcher and the floating button, shared with the tests.
namespace vexlo::switching::id {

enum AltTab : int {
    sb = 100,
    lDeskCaption, lWndCaption, lFileCaption, lPIDCaption, lMemoryCaption, lPriorityCaption,
    lDesk, lWnd, lFile, lPID, lMemory, lPriority,
    GroupBox3, cCPU, GroupBox2, cMemory, GroupBox1, cSwap,
};
// The group box of desktop entry i is kFirstGroup + 2 * i, its list the id after it.
inline constexpr int kFirstGroup = 1000;
inline constexpr int GroupOf(int entry) { return kFirstGroup + 2 * entry; }
inline constexpr int ViewOf(int entry) { return kFirstGroup + 2 * entry + 1; }

enum Switcher : int { btSwitch = 100 };

}  // namespace vexlo::switching::id
