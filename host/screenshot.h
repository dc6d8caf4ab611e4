#pragma once
#include <windows.h>

#include <string>

namespace vexlo::host {

// Saves what the window shows on screen, frame included, as a PNG file.
bool SaveWindowPng(HWND wnd, const std::string& path);
// Lets the window paint: pumps the thread's messages for the given time.
void PumpFor(DWORD milliseconds);
// The host's own main window on the calling thread ("VexloHostWnd"), which receives the
// library's messages; null when the thread has none.
HWND OwnHostWindow();

}  // namespace vexlo::host
