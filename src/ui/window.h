#pragma once
// The window base of every window the library makes: forms, the link label, pictures,
// charts, the switcher and its button. It registers the window class, ties the object to
// its window (through lpCreateParams, kept in GWLP_USERDATA), and holds the one window
// procedure, guarded so that no exception leaves it. Messages go to OnXxx handlers.
//
// Who deletes the object (the one self-delete policy):
//  - An object made by its code (a form) belongs to that code until HandOver(); from then
//    on the window owns it and deletes it after the window's last message (WM_NCDESTROY).
//  - An object made by the window (a control class registered with a factory) is owned by
//    its window from the start.
//  - Code that owns an object ends it with Destroy() or through Owned<T>: the window goes
//    first, while the object is whole, so the derived class's own OnDestroy runs. The base
//    destructor destroys a window still there only as a last resort, unbound first, so no
//    handler of an already destroyed derived part is ever called.
#include <windows.h>

#include <functional>
#include <memory>

#include "ui/layout.h"

namespace vexlo::ui {

class Window;
struct WindowClass;
void EnsureWindowClass(const WindowClass& cls);

// A window class of the library: registered once per load, unregistered at unload
// (ReleaseWindowClasses). A factory makes the object for windows created without one
// (custom controls named in a control table); RegisterClassFor<T> derives it from T.
struct WindowClass {
    const char* name;
    LPCSTR cursor = IDC_ARROW;
    HBRUSH background = nullptr;  // null: the window paints all of itself
    UINT style = CS_DBLCLKS;
    Window* (*factory)(HWND wnd, const CREATESTRUCTA& cs) = nullptr;
    // A plain procedure instead of the library's window base (windows without an object).
    WNDPROC proc = nullptr;
};

// Tells a handler that ran a nested message loop (a message box, a modal dialog, a loop
// of its own) whether its object survived it: the window may be destroyed meanwhile, by
// its caller or its owner, and the object with it.
class AliveToken {
public:
    AliveToken() = default;
    bool Alive() const { return !flag_.expired(); }
    explicit operator bool() const { return Alive(); }

private:
    friend class Window;
    explicit AliveToken(std::weak_ptr<void> flag) : flag_(std::move(flag)) {}
    std::weak_ptr<void> flag_;
};

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Hwnd() const { return wnd_; }
    // The object bound to a window of the library, or null for any other window.
    static Window* FromHandle(HWND wnd);
    // The object of type T bound to a window of the library, or null for any other window.
    template <typename T>
    static T* As(HWND wnd) {
        return dynamic_cast<T*>(FromHandle(wnd));
    }

    // Destroys the window while this object is whole; its handlers run.
    void Destroy();
    // From now on the window owns this object and deletes it with itself.
    void HandOver() { ownedByWindow_ = true; }
    bool OwnedByWindow() const { return ownedByWindow_; }

    // Valid until this object is deleted or its window destroyed.
    AliveToken Token();

    // The DPI that the window's lengths are laid out at (see shared/dpi.h).
    virtual int Dpi() const;
    // A length written at 96 DPI, at this window's DPI.
    int Scaled(int length) const;

protected:
    // Registers the class when needed and creates the window for this object; raises the
    // library's error when the window cannot be made.
    HWND Create(const WindowClass& cls, DWORD exStyle, const char* text, DWORD style, int x, int y, int w,
                int h, HWND parent, HMENU menuOrId);

    // Handlers. Each runs inside the guarded procedure; one that raises is reported
    // (OnError) and the message ends as handled. Returning false passes the message on
    // to the default processing.
    virtual bool OnCreate() { return true; }  // false: the window is not created
    // WM_COMMAND: the control id, its notification code and its window.
    virtual void OnCommand(int /*id*/, int /*code*/, HWND /*from*/) {}
    // WM_NOTIFY from the control with the given id; true when handled, with its result set.
    virtual bool OnNotify(int /*id*/, const NMHDR& /*hdr*/, LRESULT& /*result*/) { return false; }
    virtual void OnTimer(UINT_PTR /*id*/) {}
    virtual bool OnDrawItem(const DRAWITEMSTRUCT& /*dis*/) { return false; }
    virtual bool OnMeasureItem(MEASUREITEMSTRUCT& /*mis*/) { return false; }
    virtual bool OnPaint() { return false; }
    virtual void OnSize(int /*width*/, int /*height*/) {}
    virtual bool OnClose() { return false; }  // false: destroyed as by default
    virtual void OnDestroy() {}
    // Any message first; true when handled, with its result set.
    virtual bool HandleMessage(UINT /*msg*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }
    // A handler raised: the text is already in the debugger output. The base shows
    // nothing; forms show it to the user as an unhandled event error would be.
    virtual void OnError(const char* /*text*/) {}

    // Hands a message that HandleMessage passed on to its OnXxx handler. A kind of window
    // built on the base (the form, control holders) overrides it to add what every window
    // of its kind does, so no override of a handler can lose that, and passes the rest on.
    virtual LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);

    // For destructors of derived classes: the window goes without calling any handler.
    void DestroyUnbound() noexcept;
    // Lets go of the window without destroying it (its thread is ending, or has ended):
    // the object no longer answers for it.
    void LetGo() noexcept;

    LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(wnd_, msg, wp, lp); }

    // Paints the client area through a memory bitmap, so nothing flickers: draw gets a DC
    // of the client's size, already filled with the background brush when one is given.
    void PaintBuffered(HBRUSH background, const std::function<void(HDC dc, const RECT& client)>& draw);

private:
    friend void EnsureWindowClass(const WindowClass& cls);
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Route(UINT msg, WPARAM wp, LPARAM lp);
    static void Unbind(Window* self, HWND wnd) noexcept;

    HWND wnd_ = nullptr;
    bool ownedByWindow_ = false;
    std::shared_ptr<char> alive_;
};

// A window that holds controls for the top-level window it lies in (a page of a page
// control, a scroll box): what its controls tell their parent (commands, notifications,
// owner drawing and the colours they ask for) goes on to the top-level window, which
// handles it as if they were its own children. These messages never reach the holder's
// handlers; HandleMessage still sees them first.
class ControlHolder : public Window {
protected:
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp) override;
};

// Makes the objects of windows registered with RegisterClassFor<T>: T(const ControlDef&)
// when T has that constructor (the definition is the creation parameter of a control made
// from a table; without one the window gets no object), T() otherwise. A class that keeps
// its constructors private names this struct its friend.
struct WindowFactory {
    template <typename T>
    static Window* Make(HWND, const CREATESTRUCTA& cs) {
        if constexpr (requires(const ControlDef& def) { new T(def); }) {
            const auto* def = static_cast<const ControlDef*>(cs.lpCreateParams);
            return def ? new T(*def) : nullptr;
        } else {
            return new T();
        }
    }
};

// Registers the window class of T once per load: T::Class() describes it, and each
// window of the class makes its own object of type T (WindowFactory). For controls that a
// table names; windows made for an existing object pass T::Class() to Create instead.
template <typename T>
void RegisterClassFor() {
    WindowClass cls = T::Class();
    cls.factory = &WindowFactory::Make<T>;
    EnsureWindowClass(cls);
}

// Ends an object that its code owns through Destroy, then deletes it.
struct DestroyThenDelete {
    void operator()(Window* w) const {
        if (!w) return;
        w->Destroy();
        delete w;
    }
};
template <typename T>
using Owned = std::unique_ptr<T, DestroyThenDelete>;
template <typename T, typename... Args>
Owned<T> MakeOwned(Args&&... args) {
    return Owned<T>(new T(std::forward<Args>(args)...));
}

// The DPI that a window's lengths are laid out at: its top-level window's when that is one
// of the library's (a form keeps the DPI it laid itself out at), else the system's answer.
int DpiOf(HWND wnd);

// Registers a class with the library's window procedure once per load.
void EnsureWindowClass(const WindowClass& cls);
// Unregisters every class the library registered; at unload, so a later load at another
// address registers afresh.
void ReleaseWindowClasses() noexcept;

}  // namespace vexlo::ui
