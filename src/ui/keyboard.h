#pragma once
// Keyboard navigation for modeless forms. Their thread's message loop belongs to the host
// and does not call IsDialogMessage, so a per-thread message hook does it for our forms:
// Tab, Enter, Esc and arrows then work as they do in a dialog.
#include <windows.h>

namespace vexlo::ui {

class Form;

// Counted per thread: the hook is installed with the first modeless form of a thread
// and removed with its last.
void AttachModelessKeyboard(Form* form);
void DetachModelessKeyboard(Form* form);

// The calling thread is ending (thread detach): its hook goes, and its modeless forms
// still open are ended (their secrets wiped) while their windows still exist.
void ThreadEnding() noexcept;

}  // namespace vexlo::ui
