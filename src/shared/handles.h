#pragma once
// RAII for Win32 handles: one template and a line per handle type. reset() keeps the
// thread's last error, so a handle closed on an error path does not hide the cause.
#include <windows.h>

#include <utility>

namespace vexlo {

template <typename Handle, typename Traits>
class UniqueAny {
public:
    UniqueAny() = default;
    explicit UniqueAny(Handle h) : h_(h) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& o) noexcept : h_(o.release()) {}
    UniqueAny& operator=(UniqueAny&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    ~UniqueAny() { reset(); }

    Handle get() const { return h_; }
    explicit operator bool() const { return Traits::IsValid(h_); }
    Handle release() { return std::exchange(h_, Traits::Invalid()); }
    void reset(Handle h = Traits::Invalid()) {
        if (Traits::IsValid(h_)) {
            const DWORD err = GetLastError();
            Traits::Close(h_);
            SetLastError(err);
        }
        h_ = h;
    }
    // Out-parameter for APIs that return a handle through a pointer.
    Handle* put() {
        reset();
        return &h_;
    }

private:
    Handle h_ = Traits::Invalid();
};

#define VEXLO_HANDLE_TRAITS(Name, Type, InvalidValue, CloseCall)          \
    struct Name##Traits {                                                   \
        static Type Invalid() { return InvalidValue; }                     \
        static bool IsValid(Type h) { return h != InvalidValue; }          \
        static void Close(Type h) { CloseCall; }                            \
    };                                                                      \
    using Name = UniqueAny<Type, Name##Traits>;

VEXLO_HANDLE_TRAITS(UniqueHandle, HANDLE, nullptr, ::CloseHandle(h))
VEXLO_HANDLE_TRAITS(UniqueFile, HANDLE, INVALID_HANDLE_VALUE, ::CloseHandle(h))
VEXLO_HANDLE_TRAITS(UniqueHkey, HKEY, nullptr, ::RegCloseKey(h))
VEXLO_HANDLE_TRAITS(UniqueHfont, HFONT, nullptr, ::DeleteObject(h))
VEXLO_HANDLE_TRAITS(UniqueHbitmap, HBITMAP, nullptr, ::DeleteObject(h))
VEXLO_HANDLE_TRAITS(UniqueHbrush, HBRUSH, nullptr, ::DeleteObject(h))
VEXLO_HANDLE_TRAITS(UniqueHicon, HICON, nullptr, ::DestroyIcon(h))
VEXLO_HANDLE_TRAITS(UniqueHdc, HDC, nullptr, ::DeleteDC(h))
VEXLO_HANDLE_TRAITS(UniqueHook, HHOOK, nullptr, ::UnhookWindowsHookEx(h))
VEXLO_HANDLE_TRAITS(UniqueView, void*, nullptr, ::UnmapViewOfFile(h))
VEXLO_HANDLE_TRAITS(UniqueHwnd, HWND, nullptr, ::DestroyWindow(h))

#undef VEXLO_HANDLE_TRAITS

// Puts an object into a DC and takes the previous one back on scope exit.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ obj) : dc_(dc), old_(::SelectObject(dc, obj)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() {
        if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

class PaintDc {
public:
    explicit PaintDc(HWND wnd) : wnd_(wnd) { dc_ = ::BeginPaint(wnd, &ps_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    ~PaintDc() { ::EndPaint(wnd_, &ps_); }
    HDC dc() const { return dc_; }
    const RECT& rect() const { return ps_.rcPaint; }

private:
    HWND wnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

class WindowDc {
public:
    explicit WindowDc(HWND wnd) : wnd_(wnd), dc_(::GetDC(wnd)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ::ReleaseDC(wnd_, dc_);
    }
    HDC dc() const { return dc_; }

private:
    HWND wnd_;
    HDC dc_;
};

class CriticalSection {
public:
    CriticalSection() { ::InitializeCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    ~CriticalSection() { ::DeleteCriticalSection(&cs_); }
    void Enter() { ::EnterCriticalSection(&cs_); }
    void Leave() { ::LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

class Lock {
public:
    explicit Lock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    ~Lock() { cs_.Leave(); }

private:
    CriticalSection& cs_;
};

}  // namespace vexlo
