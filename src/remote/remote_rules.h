#pragma once
// The rules of the remote session dialogs that need no windows: when OK may be pressed,
// the port typed into the spin box, the screen size list, and how record indexes map
// to list selections.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shared/display_modes.h"
#include "shared/shortstr.h"

namespace vexlo::remote {

// OK needs a server, a screen size and a colour depth; the size is required even when
// full screen is chosen.
bool RdpOkEnabled(std::string_view server, int deskSizeSelection, int colorSelection);
// OK needs a server; encoding, colour level and menu key may stay unchosen.
bool RfbOkEnabled(std::string_view server);

// The port the spin box's text stands for: the typed value modulo 65536 (the field has
// 16 bits); text that is not a number counts as 0.
std::uint16_t PortFromText(std::string_view text);
constexpr int kMinPort = 0, kMaxPort = 65535;

struct ScreenSize {
    std::string text;  // "800 x 600"
    std::uint16_t width = 0, height = 0;
};
// One entry per usable size, in order of first appearance; other depths and refresh
// rates of a size already listed are dropped. Sizes compare as 16-bit values.
std::vector<ScreenSize> BuildScreenSizes(const std::vector<DisplayMode>& modes);

// The list selection for a record index: -1 (none) for an index beyond the list.
int SelectionFor(long long index, int count);
// A selection as a 16-bit record field: none is 65535.
std::uint16_t SelectionField16(int selection);

constexpr int kMenuKeyCount = 11;  // F1 .. F10, none

// Writes an edit's text into a record's short string: the length byte and at most 255
// characters; the bytes beyond stay as they were, so an untouched tail goes back as it came.
void AssignShort(ShortString& field, std::string_view text);

}  // namespace vexlo::remote
