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
// A window's text; a password box's through the library's own call on the box's thread
// (the box answers other threads' WM_GETTEXT as an empty box).
std::string Text(HWND wnd);
// Runs work on the window's thread, inside a message sent to the window.
void RunOnWindowThread(HWND wnd, const std::function<void()>& work);
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

// Checks that Tab leads from each control of the list to the next.
void ExpectTabOrder(HWND form, std::initializer_list<int> ids);
void ExpectCentredOnDesktop(HWND wnd);

// The id of a radio group's item: the items take the ids right after the group's own.
inline int RadioItem(int group, int index) { return group + 1 + index; }

// Works a form of another thread by messages, as a person does; controls are found by id
// at any depth. Buttons are clicked one of two ways, the same in every test:
//  - Click sends BM_CLICK and returns once the form has handled it, so the next check
//    sees the result. For controls that leave the form up: check boxes, radio items.
//  - Press posts it. For buttons that end the form's modal loop, destroy the form or may
//    open a message box: a sent click would wait for that loop with the driver blocked.
class Dialog {
public:
    Dialog(HWND wnd = nullptr) : wnd_(wnd) {}
    operator HWND() const { return wnd_; }
    HWND Item(int id) const { return Control(wnd_, id); }
    LRESULT Send(int id, UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return SendMessageA(Item(id), msg, wp, lp); }

    std::string Text(int id) const { return harness::Text(Item(id)); }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    bool Checked(int id) const { return Send(id, BM_GETCHECK) == BST_CHECKED; }
    // A combo box's selection, item count and item text.
    int Selection(int id) const { return static_cast<int>(Send(id, CB_GETCURSEL)); }
    int Count(int id) const { return static_cast<int>(Send(id, CB_GETCOUNT)); }
    std::string ItemText(int id, int index) const;
    // The checked item of a radio group of count items, -1 for none (two fail the test).
    int Radio(int group, int count) const;
    // The focused window of the form's thread.
    HWND Focused() const { return FocusOf(GetWindowThreadProcessId(wnd_, nullptr)); }

    // WM_SETTEXT, as a program sets it.
    void Set(int id, const std::string& text) const { Send(id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())); }
    // Characters at the end of the text, as the keyboard types them.
    void Type(int id, const char* text) const;
    void Click(int id) const { Send(id, BM_CLICK); }
    void Press(int id) const { PostMessageA(Item(id), BM_CLICK, 0, 0); }
    // A list entry picked: the selection moves, then the parent hears of it.
    void Pick(int id, int index) const;
    // A tab clicked with the mouse; the tab control tells the form.
    void ClickTab(int id, int index) const;
    // A key posted to a control, as the system queues it.
    void Key(int id, UINT vk, bool alt = false) const { PostKey(Item(id), vk, alt); }
    // Moves the focus as the dialog manager does and waits until it got there.
    bool Focus(int id) const;
    // The close box.
    void Close() const { PostMessageA(wnd_, WM_SYSCOMMAND, SC_CLOSE, 0); }
    bool WaitGone(DWORD timeoutMs = 5000) const;

private:
    HWND wnd_;
};

// Makes a modal call on this thread while drive() works the dialog of the given window
// class from a second thread. Whatever drive() leaves open is closed, so a failing
// expectation cannot hang the test in the dialog's loop.
std::uint32_t RunModalDialog(const char* className, const std::function<std::uint32_t()>& call,
                             const std::function<void(Dialog)>& drive);

// An export called with 32-bit arguments (pointers and numbers alike); its result.
template <typename... Args>
std::uint32_t Call(const char* name, Args... args) {
    return CallStdcall(name, {static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(args))...}).value;
}

// The switcher window made and shown on this thread as the hook would (linked into the
// test program, without the hook); the window owns its form.
HWND PresentSwitcher();

// RunModalDialog whose check fails the test when the dialog never showed.
void CheckModal(const char* className, const std::function<std::uint32_t()>& call,
                const std::function<void(Dialog)>& check);

// Replaces one function that Vexlo.dll (or the given module) imports, for the object's
// lifetime.
class ImportHook {
public:
    ImportHook(const char* dll, const char* function, void* replacement, HMODULE module = nullptr);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;
    bool Installed() const { return slot_ != nullptr; }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// The DPI that Vexlo.dll reads for one window, as if the window had moved to a display of
// that scale (Wine never changes a window's DPI). Must exist before the library's first use
// of a DPI function in the process: it answers the library's run-time lookup of
// GetDpiForWindow.
class DpiSeam {
public:
    DpiSeam();
    void Set(HWND wnd, int dpi);

private:
    ImportHook hook_;
};

// Registry state of the product key for a test.
void DeleteProductKey();
void SetLastUser(const std::string& name);
std::string ReadLastUser(bool* exists = nullptr);

}  // namespace harness

#include <objidl.h>

namespace harness {

// Starts a program of the build (VexloHost.exe, regsvr32 ...) detached, its output into
// outFile when one is named; returns the process, or null.
HANDLE StartProgram(const std::string& commandLine, const std::string& outFile = {});
// Runs the reference host with the arguments to its end and returns what it printed.
std::string RunHostOutput(const std::string& args, DWORD timeoutMs = 30000);
// Any program of the build, the same way.
std::string RunProgramOutput(const std::string& commandLine, DWORD timeoutMs = 30000);
// The screen reader of the tests (vexlo_screen_reader.exe), in a process of its own.
std::string ScreenReaderCommand();
// Its record of the win events of a process, from the moment it listens until the end of a
// switch (EVENT_SYSTEM_SWITCHEND) or msLimit: one line per event, its fields separated by
// tabs (see screen_reader.cpp). The calling thread pumps its messages while it waits, as
// the reader asks the windows of the process about each event.
class ScreenReaderEvents {
public:
    explicit ScreenReaderEvents(DWORD pid, DWORD msLimit = 20000);
    ~ScreenReaderEvents();
    bool Listening() const { return listening_; }
    std::vector<std::string> Finish(DWORD timeoutMs = 25000);

private:
    HANDLE process_ = nullptr;
    std::string outFile_;
    bool listening_ = false;
};

// The win64 tree's bin folder (Vexlo64.dll, VexloHook64.exe, VexloHost64.exe), with a
// closing backslash.
std::string Win64Bin();
// The shell folder's own data object for items of one folder, as Explorer hands it to a
// context-menu extension (CF_HDROP among its formats); null when the shell has none.
IDataObject* ShellDataObject(const std::vector<std::wstring>& paths);

}  // namespace harness
