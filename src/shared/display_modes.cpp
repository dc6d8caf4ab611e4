#include "shared/display_modes.h"

namespace vexlo {

bool IsUsableDisplayMode(const DisplayMode& m) {
    // 0 and 1 Hz stand for the hardware's default rate; some drivers and virtual machines
    // report nothing else, and the list must not end up empty there.
    const bool rateOk = m.frequency >= 60 || m.frequency == 0 || m.frequency == 1;
    return m.width >= 640 && m.height >= 480 && m.bitsPerPixel >= 8 && rateOk;
}

std::vector<DisplayMode> FilterDisplayModes(const std::vector<DisplayMode>& all) {
    std::vector<DisplayMode> out;
    for (const DisplayMode& m : all)
        if (IsUsableDisplayMode(m)) out.push_back(m);
    return out;
}

std::int32_t IndexOfDisplayMode(const std::vector<DisplayMode>& modes, const DisplayMode& current) {
    for (std::size_t i = 0; i < modes.size(); ++i)
        if (modes[i] == current) return static_cast<std::int32_t>(i);
    return -1;
}

}  // namespace vexlo
