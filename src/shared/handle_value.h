#pragma once
// Handles that cross between processes in shared blocks and messages are 32-bit values,
// whatever the bitness of either side. The system widens them with their sign (a 64-bit
// process sees the 32-bit value 0xFFFFFFFE as the handle -2): so do we.
#include <cstdint>

namespace vexlo {

constexpr std::intptr_t WidenHandleValue(std::uint32_t value) {
    return static_cast<std::intptr_t>(static_cast<std::int32_t>(value));
}

}  // namespace vexlo
