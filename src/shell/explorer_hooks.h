#pragma once
// The hooks on Explorer's desktop thread: the icon layout keeper and the desktop menus.
// The main program installs them through the exports; the system then loads the library
// into Explorer, where the hook procedures run on the thread of the desktop list view.
#include <windows.h>

#include <string>
#include <vector>

#include "shell/desktop_menu_rules.h"

namespace vexlo::shell {

// The desktop list view: the "SysListView32" child of the desktop's "SHELLDLL_DefView",
// found from the shell window (GetShellWindow, Explorer's "Progman") among the windows of
// its thread only: a child of the shell window (at any position: Windows 11 24H2 puts a
// "WorkerW" beside it) or else of a top-level "WorkerW" of that thread (where Windows 7 to
// 11 move it for a wallpaper slideshow). Where the shell window's first child's first
// child is a list view, that one. Null when there is none.
HWND FindDesktopListView();
// True when the window is the desktop list view and the calling thread is the shell
// window's: what the hooks serve.
bool IsThreadsDesktopListView(HWND wnd);

// The icon layout hook. Install: on the list view's thread, replacing (and removing) the
// one installed before; gives the stored handle, also when no list view was found (then
// nothing changes). Remove: takes the stored hook off and gives null.
HHOOK InstallIconLayoutHook();
HHOOK RemoveIconLayoutHook();

// The layout file for the names read from the profile block now; empty when a name could
// lead outside the product folder (then the request is ignored).
std::string LayoutFilePath(std::string& sectionName);
// The save and the restore themselves, on a list view of the calling thread: through the
// desktop's shell view when this thread's "Progman" offers it, else by list-view messages.
void SaveIconLayout(HWND listView, const std::string& file, const std::string& section);
void RestoreIconLayout(HWND listView, const std::string& file, const std::string& section);

// The desktop menu hooks (menus on the window procedure hook, clicks on the message hook).
// Install: true when both stored handles are set. Remove: true when both came off.
bool InstallDesktopMenuHooks();
bool RemoveDesktopMenuHooks();
// What every WM_INITMENU on the hooked thread appends to the menu: the items for the
// desktops of the settings store, read as summaries, or for the given ones.
void AppendDesktopMenu(HMENU menu);
void AppendDesktopMenu(HMENU menu, const std::vector<MenuDesktop>& desktops);

}  // namespace vexlo::shell
