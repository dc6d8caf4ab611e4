#pragma once
// Big-endian word access for the cipher code: CAST-128 reads its blocks big-endian,
// whatever the processor's order. Compilers turn these into a load plus byte swap.
#include <cstdint>

namespace vexlo::crypto {

inline std::uint32_t LoadBe32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

inline void StoreBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

}  // namespace vexlo::crypto
