#pragma once
// The stack protector's canary from the values gathered at load (frame/runtime.cpp): each
// word goes through a full 64-bit mixer, so a bit of any input moves every bit of the
// result, and then the result is folded to the width of a pointer. Needs no Win32.
#include <cstddef>
#include <cstdint>

namespace vexlo::runtime {

// The finaliser of the SplitMix64 generator: a bijection whose every output bit depends on
// every input bit.
constexpr std::uint64_t MixWord(std::uint64_t x) noexcept {
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// The gathered words, in order, to one canary of the pointer's width. Never zero: an
// overrun of zeros must not match it.
constexpr std::uintptr_t MixStackGuard(const std::uint64_t* words, std::size_t count) noexcept {
    std::uint64_t h = 0x9E3779B97F4A7C15ull;
    for (std::size_t i = 0; i < count; ++i) h = MixWord(h ^ words[i]) + 0x9E3779B97F4A7C15ull;
    h = MixWord(h);
    std::uintptr_t guard = 0;
    if constexpr (sizeof(std::uintptr_t) >= sizeof(std::uint64_t)) {
        guard = static_cast<std::uintptr_t>(h);
    } else {
        guard = static_cast<std::uintptr_t>(h ^ (h >> 32));
    }
    return guard != 0 ? guard : static_cast<std::uintptr_t>(0x2F6A94C3u);
}

}  // namespace vexlo::runtime
