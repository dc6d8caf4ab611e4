#pragma once
// The host's task-switching commands: desktops with titled windows, the Alt+Tab switcher
// and the floating button.

namespace vexlo::host {

// windows ID:COUNT... : desktops with titled windows (a helper process of the others).
int CmdWindows(int argc, char** argv);
// alttab SECONDS ID:NAME:COUNT... : seeds a profile, fills the desktops, turns the
// switcher on and reports what the library sends.
int CmdAltTab(int argc, char** argv);
// button SECONDS: shows the floating button and reports its callbacks.
int CmdButton(int argc, char** argv);
// switching-demo OUTDIR: screenshots of the switcher and the button.
int CmdSwitchingDemo(int argc, char** argv);

}  // namespace vexlo::host
