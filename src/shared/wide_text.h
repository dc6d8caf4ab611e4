#pragma once
// Conversions between the system's ANSI code page and UTF-16.
#include <string>
#include <string_view>

namespace vexlo {

std::wstring AnsiToWide(std::string_view text);
// Characters the code page cannot spell become its default character.
std::string WideToAnsi(std::wstring_view text);

}  // namespace vexlo
