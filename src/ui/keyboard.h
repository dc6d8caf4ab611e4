#pragma once
// Keyboard navigation for modeless forms. Their thread's message loop belongs to the host
// and does not call IsDialogMessage, so a per-thread message hook does it for our forms:
// Tab, Enter, Esc and arrows then work as they do in a dialog.
#include <windows.h>

namespace vexlo::ui {

// A window of the library that takes the dialog keys (IsDialogMessage) when it is the
// top-level window of the key's target; a form is one.
class DialogWindow {
public:
    // Ends the object of a window whose thread is ending or has ended, without touching
    // the window, which the system takes away with the thread.
    virtual void Abandon() noexcept = 0;
    // A key the window takes before the dialog manager sees it (Ctrl+Tab among pages);
    // true when taken.
    virtual bool DialogKey(const MSG& /*msg*/) { return false; }

protected:
    ~DialogWindow() = default;
};

// The focus of a self-drawn control that acts like a button: Enter and Space act as a
// click, and its focus cue shows once the keyboard brought the focus (Tab held while the
// dialog manager moves it) or reached the control, not when a click or a program gave it.
class KeyFocus {
public:
    // Takes WM_SETFOCUS, WM_KILLFOCUS and WM_KEYDOWN (true), repainting the control;
    // press runs on Enter and Space.
    template <typename Press>
    bool Handle(HWND wnd, UINT msg, WPARAM wp, Press press) {
        if (msg == WM_SETFOCUS || msg == WM_KILLFOCUS) {
            focused_ = msg == WM_SETFOCUS;
            keyboard_ = focused_ && GetKeyState(VK_TAB) < 0;
        } else if (msg == WM_KEYDOWN) {
            keyboard_ = true;
            if (wp == VK_RETURN || wp == VK_SPACE) press();
        } else {
            return false;
        }
        InvalidateRect(wnd, nullptr, FALSE);
        return true;
    }
    bool CueShown() const { return focused_ && keyboard_; }

private:
    bool focused_ = false, keyboard_ = false;
};

// Counted per thread: the hook is installed with the first modeless window of a thread
// and removed with its last.
void AttachModelessKeyboard(DialogWindow* window);
void DetachModelessKeyboard(DialogWindow* window);

// The calling thread is ending (thread detach): its hook goes, and its modeless forms
// still open are ended (their secrets wiped) while their windows still exist.
void ThreadEnding() noexcept;

// At unload, from any thread: every thread's hook goes, and every modeless form's object
// is ended (its secrets wiped); their windows must no longer reach the forms by then.
void ReleaseModelessKeyboards() noexcept;

}  // namespace vexlo::ui
