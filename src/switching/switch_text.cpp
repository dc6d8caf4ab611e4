#include "switching/switch_text.h"

namespace vexlo::switching {

std::string MemoryText(std::uint32_t bytes) {
    const std::string digits = std::to_string(bytes);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return out + " bytes";
}

std::string_view PriorityClassName(std::uint32_t priorityClass) {
    switch (priorityClass) {
        case 0x20: return "Normal";
        case 0x40: return "Idle";
        case 0x80: return "High";
        case 0x100: return "Realtime";
        default: return "";
    }
}

DetailTexts MakeDetailTexts(std::string_view deskName, std::string_view title,
                            std::string_view fileName, std::uint32_t processId,
                            std::uint32_t memoryBytes, std::uint32_t priorityClass) {
    return {std::string(deskName), std::string(title),   std::string(fileName),
            std::to_string(processId), MemoryText(memoryBytes),
            std::string(PriorityClassName(priorityClass))};
}

std::string FitWithEllipsis(std::string_view text, int width, const std::function<int(std::string_view)>& widthOf) {
    if (widthOf(text) <= width) return std::string(text);
    constexpr std::string_view kEllipsis = "...";
    // The widths of the starts grow with their length: the longest that fits is found by
    // halving, with a measure per step, not per character.
    const auto fits = [&](std::size_t n) {
        std::string s(text.substr(0, n));
        while (!s.empty() && s.back() == ' ') s.pop_back();
        return widthOf(s + std::string(kEllipsis)) <= width;
    };
    std::size_t lo = 0, hi = text.size();  // fits(lo) is assumed; hi never fits (the whole did not)
    if (!fits(0)) {
        std::size_t dots = kEllipsis.size();
        while (dots > 0 && widthOf(kEllipsis.substr(0, dots)) > width) --dots;
        return std::string(kEllipsis.substr(0, dots));
    }
    while (hi - lo > 1) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (fits(mid)) lo = mid;
        else hi = mid;
    }
    std::string s(text.substr(0, lo));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s + std::string(kEllipsis);
}

}  // namespace vexlo::switching
