#pragma once
// The two roundings the switching code uses: "to the nearest integer, a half going to the
// even neighbour" (Round) and "to the nearest whole number" (half away from zero,
// as a number written with no decimals). Neither depends on the floating-point environment.
#include <cmath>
#include <cstdint>
#include <limits>

namespace vexlo::switching {

// n / d to the nearest integer, a half going to the even neighbour; d > 0.
constexpr std::int64_t DivRoundHalfEven(std::int64_t n, std::int64_t d) {
    std::int64_t q = n / d, r = n % d;
    if (r < 0) { q -= 1; r += d; }  // floor division: 0 <= r < d
    if (2 * r > d || (2 * r == d && (q & 1) != 0)) q += 1;
    return q;
}

inline double RoundHalfEven(double x) {
    const double below = std::floor(x);
    const double rest = x - below;
    if (rest > 0.5) return below + 1;
    if (rest < 0.5) return below;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

// A rounded value as a signed 32-bit field; values beyond the range stop at its ends.
inline std::int32_t SaturateToInt32(double x) {
    if (std::isnan(x)) return 0;
    if (x <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (x >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(x);
}

}  // namespace vexlo::switching
