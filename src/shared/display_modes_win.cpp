#include <windows.h>

#include "shared/display_modes.h"
#include "shared/handles.h"

namespace vexlo {

namespace {
// Made at load; empty (never missing) for callers when start-up has not run.
StartupSlot<std::vector<DisplayMode>> g_modes;
}  // namespace

bool StartDisplayModes() {
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

void StopDisplayModes() {
    g_modes.Reset();
}

const std::vector<DisplayMode>& DisplayModes() {
    if (!g_modes) g_modes.Emplace();
    return *g_modes.get();
}

DisplayMode CurrentDisplayMode() {
    WindowDc dc(nullptr);
    return {GetDeviceCaps(dc.dc(), HORZRES), GetDeviceCaps(dc.dc(), VERTRES),
            GetDeviceCaps(dc.dc(), BITSPIXEL), GetDeviceCaps(dc.dc(), VREFRESH)};
}

std::int32_t CurrentDisplayModeIndex() { return IndexOfDisplayMode(DisplayModes(), CurrentDisplayMode()); }

}  // namespace vexlo
