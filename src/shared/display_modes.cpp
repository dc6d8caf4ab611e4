#include "shared/display_modes.h"

namespace vexlo {

bool IsUsableDisplayMode(const DisplayMode& m) {
    return m.width >= 640 && m.height >= 480 && m.bitsPerPixel >= 8 && m.frequency >= 60;
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
