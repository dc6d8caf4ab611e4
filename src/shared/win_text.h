#pragma once
// Text helpers over Win32: ANSI text of windows and the system's locale-aware case mapping.
#include <windows.h>

#include <string>

namespace vexlo {

std::string WindowText(HWND wnd);
// Upper-cases every character with the system's locale-aware mapping of the ANSI code page.
std::string AnsiUpperCase(std::string s);

}  // namespace vexlo
