#pragma once
// The host's Explorer side: a stand-in for Explorer's desktop (the window chain the hooks
// look for, with a real list view of icons) and the commands that install the hooks,
// name a layout and ask for a save or a restore.
#include <windows.h>

namespace vexlo::host {

// WM_COPYDATA commands to the stand-in's "Progman" window; the answer is the result.
enum StandInCommand : ULONG_PTR {
    kSetItems = 1,     // data: "caption\tx\ty\n" per icon; replaces every icon
    kReportItems = 2,  // data: a file path; writes "caption\tx\ty\n" per icon
    kOpenMenu = 3,     // opens the desktop menu (returns at once; the menu runs in the stand-in)
    kReportMenu = 4,   // data: a file path; writes the open menu, 0 when none is open
    kCloseMenu = 5,    // closes the open menu
    // For the benchmark, data "file\nsection": the save and the restore exactly as first
    // stated (a profile call per value, the icons' texts read again per saved entry).
    kLiteralSave = 6,
    kLiteralRestore = 7,
    kSetEveryPosition = 8,  // the floor: every icon set once where it stands
    kRefresh = 9,           // the desktop's refresh: with a view, icons go back where it holds them
    kViewFloor = 10,        // the floor through the view (desktop_view.h); 0 without one
    kInitMenuTwice = 11,    // a menu initialised twice on the stand-in's thread, soon; answers the last one's item count
    kBadNames = 12,         // data "1" or "0": the view gives every name as an unterminated STRRET_OFFSET
};

// Registers the window as its desktop's shell window (GetShellWindow), as Explorer does
// with its "Progman". Not in every SDK's headers: looked up by name.
inline bool RegisterShellWindow(HWND wnd) {
    using SetShellWindowFn = BOOL(WINAPI*)(HWND);
    const auto set = reinterpret_cast<SetShellWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetShellWindow")));
    return set && set(wnd);
}

// The window trees a stand-in can take, as Windows builds them (the last argument of the
// "explorer" command, "classic" by default):
//   classic  Progman > SHELLDLL_DefView > SysListView32, no shell view (before 1809)
//   1809     the classic tree with the shell view that holds the positions
//   workerw  the view moved into a top-level WorkerW, an empty WorkerW beside it (a
//            wallpaper slideshow on Windows 7 to 11 before 24H2), with the shell view
//   24h2     Progman > SHELLDLL_DefView and a WorkerW child, with the shell view
inline constexpr const char* kStandInShapes[] = {"classic", "1809", "workerw", "24h2"};

// The stand-in's list view, wherever its shape puts it.
inline HWND FindStandInListView() {
    HWND progman = FindWindowA("Progman", "Program Manager");
    HWND view = progman ? FindWindowExA(progman, nullptr, "SHELLDLL_DefView", nullptr) : nullptr;
    for (HWND worker = nullptr; !view && (worker = FindWindowExA(nullptr, worker, "WorkerW", nullptr)) != nullptr;)
        view = FindWindowExA(worker, nullptr, "SHELLDLL_DefView", nullptr);
    return view ? FindWindowExA(view, nullptr, "SysListView32", nullptr) : nullptr;
}

// explorer [COUNT [SHAPE]]: the items a new stand-in shows: "Icon n" in a grid.
int CmdExplorer(int argc, char** argv);
// decoy: what a process of anybody's can make: a top-level "Progman" ("Decoy") and a
// top-level "WorkerW", each holding a "SHELLDLL_DefView" with a list view, never the
// shell window. Its "Progman" answers kDecoyHasLibrary with 1 once Vexlo is loaded in it.
int CmdDecoy(int argc, char** argv);
inline constexpr UINT kDecoyHasLibrary = WM_APP + 5;
// iconlayout PROFILE LAYOUT save|restore
int CmdIconLayout(int argc, char** argv);
// desktophooks SECONDS: installs the desktop menu hooks and reports the commands.
int CmdDesktopHooks(int argc, char** argv);
// menushot OUTDIR [PROFILE PASS DESKTOP...]: the stand-in's desktop menu open on
// "Switch desktop", photographed, after seeding the profile when one is given.
int CmdMenuShot(int argc, char** argv);

}  // namespace vexlo::host
