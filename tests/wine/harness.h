#pragma once
// Test harness for driving the real Vexlo.dll under Wine: loading it, calling exports with
// the Windows calling convention while watching the stack, and driving windows by
// messages from a second thread while the test thread runs the message loop the way a
// host program does (no IsDialogMessage of its own).
#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

namespace harness {

HMODULE Vexlo();
std::string ExeDir();

template <typename Fn>
Fn Proc(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(Vexlo(), name)));
}

// Calls fn with the given 32-bit arguments pushed right to left and reports how far the
// stack pointer moved across the call: 0 when the callee removed exactly its arguments.
struct StdcallResult {
    std::uint32_t value;
    std::int32_t stackDelta;
};
StdcallResult CallStdcall(const char* exportName, std::initializer_list<std::uint32_t> args);

// A 256-byte short string buffer.
std::vector<BYTE> Short(const std::string& s);
std::string FromShort(const BYTE* buf);

// Records the messages a window of the test thread receives, like the main program's window.
class Recorder {
public:
    struct Message {
        UINT msg;
        WPARAM wp;
        LPARAM lp;
    };
    Recorder();
    ~Recorder();
    HWND hwnd() const { return wnd_; }
    std::vector<Message> Messages() const;
    // Waits (without pumping: the test thread pumps) until a message arrives.
    bool WaitFor(UINT msg, DWORD timeoutMs = 3000) const;
    size_t Count(UINT msg) const;

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND wnd_ = nullptr;
    mutable std::mutex mu_;
    std::vector<Message> log_;
};

// Runs drive() on a second thread while this thread pumps messages plainly, as a host's
// loop does, until drive() returns. Returns false when drive() did not finish in time.
bool Drive(const std::function<void()>& drive, DWORD timeoutMs = 30000);
// Pumps this thread's messages for a while.
void Pump(DWORD ms);

// Polls a condition from a driver thread.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = 5000);

// A visible top-level window of the given class on the given thread, or null.
HWND FindThreadWindow(DWORD threadId, const char* className);
std::string Text(HWND wnd);
// The control's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child);
RECT ClientRect(HWND wnd);
HWND FocusOf(DWORD threadId);

// Keyboard input posted the way the system queues it for the focused window.
void PostKey(HWND target, UINT vk, bool alt = false);

// Message box of the thread: waits for it, returns its text and presses its button.
struct MessageBoxSeen {
    bool shown = false;
    std::string title, text;
    bool hasWarningIcon = false;
};
MessageBoxSeen AnswerMessageBox(DWORD threadId, DWORD timeoutMs = 5000);

// A control of a form at any depth (pages hold their controls in windows of their own).
HWND Control(HWND form, int id);

// Where a control stands in its parent's client area and what it says. A width or height
// of -1 is not checked (labels take the size of their text in the font at hand); a null
// text is not checked.
struct ControlPlace {
    int id, left, top, width, height;
    const char* text;
};
// Checks every control of the list with test expectations; the control is found at any
// depth below form.
void ExpectPlaces(HWND form, std::initializer_list<ControlPlace> places);

// Makes a modal call on this thread while drive() works the dialog of the given window
// class from a second thread. Whatever drive() leaves open is closed, so a failing
// expectation cannot hang the test in the dialog's loop. shown: the dialog, if one came.
std::uint32_t RunModalDialog(const char* className, const std::function<std::uint32_t()>& call,
                             const std::function<void(HWND)>& drive, HWND* shown = nullptr);

// Replaces one function that Vexlo.dll imports, for the object's lifetime.
class ImportHook {
public:
    ImportHook(const char* dll, const char* function, void* replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;
    bool Installed() const { return slot_ != nullptr; }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// Registry state of the product key for a test.
void DeleteProductKey();
void SetLastUser(const std::string& name);
std::string ReadLastUser(bool* exists = nullptr);

}  // namespace harness
