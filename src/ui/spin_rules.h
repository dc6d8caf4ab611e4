#pragma once
// Rules of the spin edit: what its text says as a number, which characters typing
// accepts, the steps of its arrows and the clamping when it loses the focus.
#include <cstdint>
#include <string>
#include <string_view>

namespace vexlo::ui {

struct SpinNumber {
    bool isNumber = false;    // an optional sign followed by one or more digits, nothing else
    bool negative = false;
    long long value = 0;      // saturated far beyond any range a spin edit has
    std::uint32_t low32 = 0;  // the exact value modulo 2^32, two's complement for negatives
};
SpinNumber ParseSpinText(std::string_view text);

// Typing accepts digits, the signs and the decimal separator, and the control characters
// that edit the text; Enter is left to the dialog.
bool IsSpinChar(char c, char decimalSeparator);

long long ClampSpin(long long value, int minValue, int maxValue);

// The text after the arrows moved the value by delta: text that is not a number counts
// as minValue, and the result stays within the range.
std::string SpinStep(std::string_view text, int delta, int minValue, int maxValue);

// The text after the edit lost the focus: a number outside the range is brought to its
// nearer end, text that is not a number shows the minimum it counts as; anything else
// is kept as typed. Returns true and the new text when it changes.
bool SpinTextOnExit(std::string_view text, int minValue, int maxValue, std::string& changed);

}  // namespace vexlo::ui
