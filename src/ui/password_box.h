#pragma once
// Password boxes that never hold the password. An edit control keeps copies of its text
// that no message wipes: the undo copy of replaced text, and buffers it reallocates and
// frees as the text grows. So the box holds stand-ins instead, one character of the
// private use area for each character typed, and the characters themselves live in a
// table of the box's own that is wiped when the box goes. Undo, selection and caret work
// on the stand-ins as on any text; the library reads and sets the real text through the
// functions below, never through a window message (whose conversions leave copies of
// their own). A WM_GETTEXT or WM_GETTEXTLENGTH sent from another thread or process reads
// an empty box.
#include <windows.h>

#include <string>
#include <string_view>

namespace vexlo::ui {

// Makes an edit a password box. The edit must be a Unicode window (CreateWindowExW): an
// ANSI one would turn the stand-ins into '?'.
void MakePasswordBox(HWND edit);
bool IsPasswordBox(HWND wnd);
// The box's text in the ANSI code page, as GetWindowTextA gives an edit's text.
std::string PasswordBoxText(HWND edit);
void SetPasswordBoxText(HWND edit, std::string_view text);
// Empties every password box below the window, their tables wiped: for a window let go
// whose boxes may never see their last message.
void ClearPasswordBoxes(HWND root) noexcept;
// At unload, from any thread: the edit gets its own procedure back and the table goes,
// wiped; the edit keeps only stand-ins.
void ReleasePasswordBox(HWND wnd) noexcept;

}  // namespace vexlo::ui
