#pragma once
// The 16 x 16 bitmap "ICON" shown beside every item the library adds to Explorer's menus
// (as the item's checked-state bitmap). Loaded once per process, only read afterwards.
#include <windows.h>

namespace vexlo {

// Start-up step of the Icon Manager, right after its class factory; never fails loading.
void LoadMenuBitmap();
void FreeMenuBitmap();
// Null when the bitmap could not be loaded: the items then show the system's check mark.
HBITMAP MenuBitmap();

}  // namespace vexlo
