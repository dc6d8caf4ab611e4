#include "remote/remote_rules.h"

#include <algorithm>
#include <cstring>

#include "ui/spin_rules.h"

namespace vexlo::remote {

bool RdpOkEnabled(std::string_view server, int deskSizeSelection, int colorSelection) {
    return !server.empty() && deskSizeSelection >= 0 && colorSelection >= 0;
}

bool RfbOkEnabled(std::string_view server) { return !server.empty(); }

std::uint16_t PortFromText(std::string_view text) {
    const ui::SpinNumber n = ui::ParseSpinText(text);
    return n.isNumber ? static_cast<std::uint16_t>(n.low32 & 0xFFFFu) : 0;
}

std::vector<ScreenSize> BuildScreenSizes(const std::vector<DisplayMode>& modes) {
    std::vector<ScreenSize> out;
    for (const DisplayMode& m : modes) {
        if (!IsUsableDisplayMode(m)) continue;
        const auto w = static_cast<std::uint16_t>(m.width), h = static_cast<std::uint16_t>(m.height);
        const bool listed = std::any_of(out.begin(), out.end(), [&](const ScreenSize& s) {
            return s.width == w && s.height == h;
        });
        if (listed) continue;
        out.push_back({std::to_string(m.width) + " x " + std::to_string(m.height), w, h});
    }
    return out;
}

int SelectionFor(long long index, int count) {
    return index >= 0 && index < count ? static_cast<int>(index) : -1;
}

std::uint16_t SelectionField16(int selection) {
    return selection < 0 ? 0xFFFFu : static_cast<std::uint16_t>(selection);
}

void AssignShort(ShortString& field, std::string_view text) {
    const std::size_t n = std::min(text.size(), ShortString::kMaxLength);
    field.length = static_cast<std::uint8_t>(n);
    std::memcpy(field.text.data(), text.data(), n);
}

}  // namespace vexlo::remote
