#pragma once
// High contrast: when the user has turned it on, the library draws in the system's colours
// only (text over artwork on a solid window background, links in the hot-light colour,
// charts and the round button in window and button colours). Asked at each paint, so a
// change of the setting or of the colours shows at the next repaint (forms repaint on
// WM_SYSCOLORCHANGE and WM_SETTINGCHANGE).
#include <windows.h>

namespace vexlo::ui {

// The one place the library asks: SPI_GETHIGHCONTRAST's HCF_HIGHCONTRASTON.
bool HighContrast();

// In high contrast, the system colour; otherwise the given one.
COLORREF ContrastColour(COLORREF normal, int systemColour);

}  // namespace vexlo::ui
