#pragma once
// The switcher's detail texts that need no Win32.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vexlo::switching {

// lMemory: the figure in decimal, digits grouped by threes from the right with single
// blanks, then " bytes": 1234567 reads "1 234 567 bytes", 0 reads "0 bytes".
std::string MemoryText(std::uint32_t bytes);

// ProcessPriorityName's mapping of a priority class: 0x20 "Normal", 0x40 "Idle", 0x80 "High",
// 0x100 "Realtime"; any other class (below- and above-normal included) and 0 (a failed
// query) give "".
std::string_view PriorityClassName(std::uint32_t priorityClass);

// The six value labels of the switcher for one window.
struct DetailTexts {
    std::string desk, window, file, pid, memory, priority;  // lDesk lWnd lFile lPID lMemory lPriority
};
DetailTexts MakeDetailTexts(std::string_view deskName, std::string_view title,
                            std::string_view fileName, std::uint32_t processId,
                            std::uint32_t memoryBytes, std::uint32_t priorityClass);

// A text as a box of `width` pixels can show it on one line: whole when it fits, else the
// longest start of it that fits with "..." after it (the start cut after blanks), or as
// much of "..." as fits. `widthOf` measures a text in the box's font.
std::string FitWithEllipsis(std::string_view text, int width, const std::function<int(std::string_view)>& widthOf);

}  // namespace vexlo::switching
