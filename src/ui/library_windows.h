#pragma once
// The windows of the library that exist now, in every thread of the process, and what
// becomes of them when the library is unloaded. Unloading may come from any thread, and
// only a window's own thread can destroy it; a window left with a procedure of the
// library, or a timer that reaches one, would call into code no longer mapped.
#include <windows.h>

namespace vexlo::ui {

// Called by the window base as a window of its procedure is made and as it goes.
void TrackLibraryWindow(HWND wnd, bool live) noexcept;

// At unload: every window of the library, and each window below it, gets a procedure
// outside the library: the library's own classes DefWindowProc, system controls that the
// library subclassed their class's procedure back (`beforeRetarget` sees each window
// first). Then each top-level one is posted WM_CLOSE, which DefWindowProc answers on the
// window's own thread by destroying it, its timers with it (a timer of another thread
// cannot be killed from here; until then its WM_TIMER, which names no timer procedure,
// reaches DefWindowProc, which ignores it).
void RetargetLibraryWindows(void (*beforeRetarget)(HWND) noexcept) noexcept;

}  // namespace vexlo::ui
