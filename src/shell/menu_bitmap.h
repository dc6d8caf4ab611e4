#pragma once
// The 16 x 16 bitmap "ICON" shown beside every item the library adds to Explorer's menus
// (as the item's checked-state bitmap), at the check-mark size of the menu's DPI. Loaded on
// first use, once per process and size, only read afterwards.
#include <windows.h>

namespace vexlo {

// Released with the COM class factories when the library unloads.
void FreeMenuBitmap() noexcept;
// Null when the bitmap could not be loaded: the items then show the system's check mark.
// dpi 0: the DPI of the display under the mouse pointer, where Explorer opens its menus.
HBITMAP MenuBitmap(int dpi = 0);

}  // namespace vexlo
