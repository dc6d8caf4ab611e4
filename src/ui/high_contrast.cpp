// The high-contrast seam (ui/high_contrast.h).
#include "ui/high_contrast.h"

namespace vexlo::ui {

bool HighContrast() {
    HIGHCONTRASTA hc{};
    hc.cbSize = sizeof hc;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
}

COLORREF ContrastColour(COLORREF normal, int systemColour) {
    return HighContrast() ? GetSysColor(systemColour) : normal;
}

}  // namespace vexlo::ui
