#pragma once
// The stand-in desktop's shell view: the browser that its "Progman" hands out for
// CWM_GETISHELLBROWSER (WM_USER + 7), the view over its list view and the folder that names
// the items, as Explorer's desktop has them since Windows 10 1809: the view holds the icon
// positions, and a position set directly on the list view is undone at the next refresh.
#include <windows.h>
#include <shlobj.h>

#include <string>

namespace vexlo::host {

// Makes the objects for a desktop whose list view is `list` inside `defView`, owned by the
// calling thread (the only thread that may call them).
void CreateDesktopView(HWND progman, HWND defView, HWND list);
// The browser for WM_USER + 7 (no reference added, as Explorer answers), null without a view.
IShellBrowser* DesktopBrowser();
// An item the stand-in added at `index`, with its position as the view's own; and all gone.
void AddViewItem(LPARAM item, int index, POINT pt);
void ClearViewItems();
// The refresh: every item back where the view holds it. False without a view.
bool RefreshDesktopView();
// The benchmark's floor: what the library's save and restore read through the view (count,
// each item, its name and position; then each item and its name), and one call that puts
// every item where it stands. False without a view.
bool ViewFloor();
// On: every name is given as STRRET_OFFSET to text that never ends before a page that
// cannot be read (a 32-bit stand-in only: the offset must reach it from the item).
void SetUnterminatedNames(bool on);

}  // namespace vexlo::host
