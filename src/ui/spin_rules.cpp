#include "ui/spin_rules.h"

#include <algorithm>

namespace vexlo::ui {

namespace {
constexpr long long kSaturation = 1000000000000000LL;  // 10^15
}

SpinNumber ParseSpinText(std::string_view text) {
    SpinNumber n;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) n.negative = text[i++] == '-';
    if (i == text.size()) return n;
    long long value = 0;
    std::uint32_t low = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return SpinNumber{};
        value = std::min(value * 10 + (c - '0'), kSaturation);
        low = low * 10u + static_cast<std::uint32_t>(c - '0');
    }
    n.isNumber = true;
    n.value = n.negative ? -value : value;
    n.low32 = n.negative ? 0u - low : low;
    return n;
}

bool IsSpinChar(char c, char decimalSeparator) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32) return c != '\r';
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == decimalSeparator;
}

long long ClampSpin(long long value, int minValue, int maxValue) {
    if (maxValue < minValue) return value;  // no range: anything goes
    return std::clamp<long long>(value, minValue, maxValue);
}

std::string SpinStep(std::string_view text, int delta, int minValue, int maxValue) {
    const SpinNumber n = ParseSpinText(text);
    const long long from = n.isNumber ? n.value : minValue;
    return std::to_string(ClampSpin(from + delta, minValue, maxValue));
}

bool SpinTextOnExit(std::string_view text, int minValue, int maxValue, std::string& changed) {
    const SpinNumber n = ParseSpinText(text);
    if (!n.isNumber) {
        changed = std::to_string(ClampSpin(minValue, minValue, maxValue));
        return true;
    }
    const long long clamped = ClampSpin(n.value, minValue, maxValue);
    if (clamped == n.value) return false;
    changed = std::to_string(clamped);
    return true;
}

}  // namespace vexlo::ui
