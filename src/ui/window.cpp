#include "ui/window.h"

#include <algorithm>
#include <string>
#include <vector>

#include "shared/dpi.h"
#include "shared/error.h"
#include "shared/guard.h"
#include "shared/handles.h"
#include "shared/module.h"
#include "ui/library_windows.h"

namespace vexlo::ui {

namespace {

struct Registered {
    std::string name;
    Window* (*factory)(HWND, const CREATESTRUCTA&);
};

CriticalSection& ClassLock() {
    static CriticalSection cs;
    return cs;
}

std::vector<Registered>& Classes() {
    static std::vector<Registered> classes;
    return classes;
}

// The factory of a class registered with one; null for classes whose windows are made
// for an existing object.
Window* (*FactoryOf(HWND wnd))(HWND, const CREATESTRUCTA&) {
    char name[128] = {};
    if (!GetClassNameA(wnd, name, sizeof name)) return nullptr;
    Lock lock(ClassLock());
    for (const Registered& r : Classes())
        if (r.factory && lstrcmpiA(r.name.c_str(), name) == 0) return r.factory;
    return nullptr;
}

}  // namespace

void EnsureWindowClass(const WindowClass& cls) {
    Lock lock(ClassLock());
    auto& classes = Classes();
    const auto known = std::find_if(classes.begin(), classes.end(),
                                    [&](const Registered& r) { return r.name == cls.name; });
    if (known != classes.end()) return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = cls.style;
    wc.lpfnWndProc = cls.proc ? cls.proc : &Window::Proc;
    wc.hInstance = module::Instance();
    wc.hCursor = LoadCursor(nullptr, cls.cursor);
    wc.hbrBackground = cls.background;
    wc.lpszClassName = cls.name;
    // A class of that name left by an earlier load at this address, whose windows outlived
    // it (they had to be let go on their own threads): its procedure is gone, so it is
    // registered afresh once they are.
    if (!RegisterClassExA(&wc) &&
        (GetLastError() != ERROR_CLASS_ALREADY_EXISTS ||
         (UnregisterClassA(cls.name, module::Instance()) && !RegisterClassExA(&wc))))
        throw SystemError(std::string("Cannot register window class ") + cls.name, GetLastError());
    classes.push_back({cls.name, cls.factory});
}

void ReleaseWindowClasses() noexcept {
    Lock lock(ClassLock());
    for (const Registered& r : Classes()) UnregisterClassA(r.name.c_str(), module::Instance());
    Classes().clear();
}

Window::~Window() { DestroyUnbound(); }

void Window::DestroyUnbound() noexcept {
    // Last resort for a window its code did not end: unbound first, so the system's
    // messages during its destruction reach no handler of a class already gone.
    if (HWND wnd = wnd_) {
        Unbind(this, wnd);
        DestroyWindow(wnd);
    }
}

Window* Window::FromHandle(HWND wnd) {
    if (!wnd) return nullptr;
    // Only windows of our own procedure carry our objects: other windows of the process
    // may keep anything in their user data.
    if (reinterpret_cast<WNDPROC>(GetClassLongPtrA(wnd, GCLP_WNDPROC)) != &Window::Proc) return nullptr;
    return reinterpret_cast<Window*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
}

int Window::Dpi() const { return DpiOf(wnd_); }

int Window::Scaled(int length) const { return dpi::Scale(length, Dpi()); }

int DpiOf(HWND wnd) {
    // A child lies at its top-level window's DPI; a form says which one it laid itself out at.
    HWND top = wnd ? GetAncestor(wnd, GA_ROOT) : nullptr;
    if (top && top != wnd)
        if (const Window* w = Window::FromHandle(top)) return w->Dpi();
    return dpi::ForWindow(wnd);
}

void Window::Destroy() {
    if (wnd_) DestroyWindow(wnd_);
}

AliveToken Window::Token() {
    if (!alive_) alive_ = std::make_shared<char>(0);
    return AliveToken(std::weak_ptr<void>(std::static_pointer_cast<void>(alive_)));
}

HWND Window::Create(const WindowClass& cls, DWORD exStyle, const char* text, DWORD style, int x, int y, int w,
                    int h, HWND parent, HMENU menuOrId) {
    EnsureWindowClass(cls);
    HWND wnd = CreateWindowExA(exStyle, cls.name, text ? text : "", style, x, y, w, h, parent, menuOrId,
                               module::Instance(), this);
    if (!wnd) throw SystemError(std::string("Cannot create window ") + cls.name, GetLastError());
    return wnd;
}

void Window::LetGo() noexcept {
    if (HWND wnd = wnd_) Unbind(this, wnd);
}

void Window::Unbind(Window* self, HWND wnd) noexcept {
    // Only while the window still carries this object: a handle of a window that is gone
    // may already name another window.
    if (FromHandle(wnd) == self) SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
    if (self && self->wnd_ == wnd) {
        self->wnd_ = nullptr;
        self->alive_.reset();
    }
}

LRESULT CALLBACK Window::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    // Known from its first message to its last: at unload it must not keep this procedure.
    if (msg == WM_NCCREATE) TrackLibraryWindow(wnd, true);
    if (msg == WM_NCDESTROY) TrackLibraryWindow(wnd, false);
    Window* self = reinterpret_cast<Window*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (!self && msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lp);
        try {
            if (auto factory = FactoryOf(wnd)) {
                self = factory(wnd, *cs);
                if (self) self->ownedByWindow_ = true;
            } else {
                self = static_cast<Window*>(cs->lpCreateParams);
            }
        } catch (...) {
            ReportCaught("window creation", CurrentExceptionText());
            return FALSE;
        }
        if (self) {
            self->wnd_ = wnd;
            SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    }
    if (!self) return DefWindowProcA(wnd, msg, wp, lp);

    if (msg == WM_NCDESTROY) {
        // The window's last message: whatever happened before, the object is unbound
        // here, and deleted when the window owns it.
        const LRESULT r = DefWindowProcA(wnd, msg, wp, lp);
        const bool owned = self->ownedByWindow_;
        Unbind(self, wnd);
        if (owned) delete self;
        return r;
    }
    try {
        return self->Route(msg, wp, lp);
    } catch (...) {
        const char* text = CurrentExceptionText();
        ReportCaught("window procedure", text);
        // A window being made that cannot be made is not made at all.
        if (msg == WM_CREATE) return -1;
        if (msg == WM_NCCREATE) return FALSE;
        // Nothing is shown while the window goes away, nor from inside a hook.
        if (msg != WM_DESTROY && !InHookProcedure()) {
            try {
                self->OnError(text);
            } catch (...) {
                ReportCaught("window error report", CurrentExceptionText());
            }
        }
    }
    return 0;
}

LRESULT Window::Route(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (HandleMessage(msg, wp, lp, result)) return result;
    return Dispatch(msg, wp, lp);
}

LRESULT Window::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    switch (msg) {
    case WM_CREATE: return OnCreate() ? 0 : -1;
    case WM_COMMAND: OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)); return 0;
    case WM_NOTIFY: {
        const auto& hdr = *reinterpret_cast<const NMHDR*>(lp);
        if (OnNotify(static_cast<int>(hdr.idFrom), hdr, result)) return result;
        break;
    }
    case WM_TIMER: OnTimer(static_cast<UINT_PTR>(wp)); return 0;
    case WM_DRAWITEM:
        if (OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
        break;
    case WM_MEASUREITEM:
        if (OnMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lp))) return TRUE;
        break;
    case WM_PAINT:
        if (OnPaint()) return 0;
        break;
    case WM_SIZE: OnSize(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))); break;
    case WM_CLOSE:
        if (OnClose()) return 0;
        break;
    case WM_DESTROY: OnDestroy(); return 0;
    default: break;
    }
    return DefaultProc(msg, wp, lp);
}

LRESULT ControlHolder::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        if (HWND top = GetAncestor(Hwnd(), GA_ROOT); top && top != Hwnd()) return SendMessageA(top, msg, wp, lp);
        break;
    default: break;
    }
    return Window::Dispatch(msg, wp, lp);
}

void Window::PaintBuffered(HBRUSH background, const std::function<void(HDC, const RECT&)>& draw) {
    PaintDc paint(wnd_);
    RECT client{};
    GetClientRect(wnd_, &client);
    if (!paint.dc() || client.right <= 0 || client.bottom <= 0) return;
    UniqueHdc mem(CreateCompatibleDC(paint.dc()));
    UniqueHbitmap bitmap(CreateCompatibleBitmap(paint.dc(), client.right, client.bottom));
    if (!mem || !bitmap) {
        // Short of memory for the buffer: draw straight to the window.
        if (background) FillRect(paint.dc(), &client, background);
        draw(paint.dc(), client);
        return;
    }
    SelectGuard sel(mem.get(), bitmap.get());
    if (background) FillRect(mem.get(), &client, background);
    draw(mem.get(), client);
    const RECT& dirty = paint.rect();
    BitBlt(paint.dc(), dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, mem.get(),
           dirty.left, dirty.top, SRCCOPY);
}

}  // namespace vexlo::ui
