#include <windows.h>

#include "shared/display_modes.h"
#include "shared/guard.h"
#include "shared/handles.h"
#include "shared/once.h"

namespace vexlo {

namespace {

// EnumDisplaySettings is user32: the list is made on first use, never while loading.
StartupSlot<std::vector<DisplayMode>> g_modes;
RunOnce g_modesOnce;

bool EnumerateModes() {
    std::vector<DisplayMode> all;
    DEVMODEA dm{};
    dm.dmSize = sizeof dm;
    for (DWORD n = 0; EnumDisplaySettingsA(nullptr, n, &dm); ++n)
        all.push_back({static_cast<std::int32_t>(dm.dmPelsWidth), static_cast<std::int32_t>(dm.dmPelsHeight),
                       static_cast<std::int32_t>(dm.dmBitsPerPel),
                       static_cast<std::int32_t>(dm.dmDisplayFrequency)});
    g_modes.Emplace(FilterDisplayModes(all));
    return true;
}

}  // namespace

void ReleaseDisplayModes() noexcept {
    g_modes.Reset();
    g_modesOnce.Reset();
}

const std::vector<DisplayMode>& DisplayModes() {
    g_modesOnce.Run(EnumerateModes);
    return *g_modes.get();
}

DisplayMode CurrentDisplayMode() {
    WindowDc dc(nullptr);
    return {GetDeviceCaps(dc.dc(), HORZRES), GetDeviceCaps(dc.dc(), VERTRES),
            GetDeviceCaps(dc.dc(), BITSPIXEL), GetDeviceCaps(dc.dc(), VREFRESH)};
}

std::int32_t CurrentDisplayModeIndex() noexcept {
    try {
        return IndexOfDisplayMode(DisplayModes(), CurrentDisplayMode());
    } catch (...) {
        VEXLO_LOG_CAUGHT("display modes");
        return -1;
    }
}

}  // namespace vexlo
