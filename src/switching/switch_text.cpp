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

}  // namespace vexlo::switching
