#pragma once
// RAII for Win32 handles: one template and a line per handle type. reset() keeps the
// thread's last error, so a handle closed on an error path does not hide the cause.
// Default construction is constant, so globals of these types need no code at load.
// These owners are the only code that closes, deletes, frees or releases a handle, a
// GDI object, system-allocated memory or a COM reference by hand: the test
// build.OwnedHandles fails on such a call anywhere else under src/ and host/.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <unknwn.h>

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace vexlo {

template <typename Handle, typename Traits>
class UniqueAny {
public:
    constexpr UniqueAny() noexcept = default;
    explicit UniqueAny(Handle h) noexcept : h_(h) {}
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
        static constexpr Type Invalid() { return InvalidValue; }           \
        static bool IsValid(Type h) { return h != InvalidValue; }          \
        static void Close(Type h) { CloseCall; }                            \
    };                                                                      \
    using Name = UniqueAny<Type, Name##Traits>;

VEXLO_HANDLE_TRAITS(UniqueHandle, HANDLE, nullptr, ::CloseHandle(h))
VEXLO_HANDLE_TRAITS(UniqueHkey, HKEY, nullptr, ::RegCloseKey(h))
VEXLO_HANDLE_TRAITS(UniqueHfont, HFONT, nullptr, ::DeleteObject(h))
VEXLO_HANDLE_TRAITS(UniqueHbitmap, HBITMAP, nullptr, ::DeleteObject(h))
VEXLO_HANDLE_TRAITS(UniqueHbrush, HBRUSH, nullptr, ::DeleteObject(h))
VEXLO_HANDLE_TRAITS(UniqueHpen, HPEN, nullptr, ::DeleteObject(h))
VEXLO_HANDLE_TRAITS(UniqueHicon, HICON, nullptr, ::DestroyIcon(h))
VEXLO_HANDLE_TRAITS(UniqueHdc, HDC, nullptr, ::DeleteDC(h))
VEXLO_HANDLE_TRAITS(UniqueHook, HHOOK, nullptr, ::UnhookWindowsHookEx(h))
VEXLO_HANDLE_TRAITS(UniqueView, void*, nullptr, ::UnmapViewOfFile(h))
VEXLO_HANDLE_TRAITS(UniqueHwnd, HWND, nullptr, ::DestroyWindow(h))
VEXLO_HANDLE_TRAITS(UniqueHdesk, HDESK, nullptr, ::CloseDesktop(h))
VEXLO_HANDLE_TRAITS(UniqueHmenu, HMENU, nullptr, ::DestroyMenu(h))
VEXLO_HANDLE_TRAITS(UniqueHrgn, HRGN, nullptr, ::DeleteObject(h))
VEXLO_HANDLE_TRAITS(UniqueImageList, HIMAGELIST, nullptr, ::ImageList_Destroy(h))
VEXLO_HANDLE_TRAITS(UniqueHmodule, HMODULE, nullptr, ::FreeLibrary(h))
VEXLO_HANDLE_TRAITS(UniqueHeapBlock, void*, nullptr, ::HeapFree(::GetProcessHeap(), 0, h))
VEXLO_HANDLE_TRAITS(UniqueSid, PSID, nullptr, ::FreeSid(h))
// Memory the system allocated for the caller (FormatMessage's ALLOCATE_BUFFER and the like).
VEXLO_HANDLE_TRAITS(UniqueLocalMemory, HLOCAL, nullptr, ::LocalFree(h))
// Memory that COM hands over to its caller (a shell item's display name and the like).
VEXLO_HANDLE_TRAITS(UniqueCoTaskMemory, void*, nullptr, ::CoTaskMemFree(h))

#undef VEXLO_HANDLE_TRAITS

// Files are the one kind whose failure value is not null; it is not a constant
// expression, so a file handle is never a global.
struct UniqueFileTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
class UniqueFile : public UniqueAny<HANDLE, UniqueFileTraits> {
public:
    UniqueFile() noexcept : UniqueAny(INVALID_HANDLE_VALUE) {}
    explicit UniqueFile(HANDLE h) noexcept : UniqueAny(h) {}
};

// A directory search (FindFirstFile), closed with FindClose; it fails as a file does.
struct UniqueFindTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(HANDLE h) { ::FindClose(h); }
};
class UniqueFind : public UniqueAny<HANDLE, UniqueFindTraits> {
public:
    UniqueFind() noexcept : UniqueAny(INVALID_HANDLE_VALUE) {}
    explicit UniqueFind(HANDLE h) noexcept : UniqueAny(h) {}
};

// A COM interface pointer that releases its reference. put() is the out-parameter of
// CoCreateInstance and QueryInterface.
template <typename T>
class ComPtr {
public:
    constexpr ComPtr() noexcept = default;
    explicit ComPtr(T* p) noexcept : p_(p) {}  // takes over a reference
    ComPtr(const ComPtr& o) noexcept : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    T* detach() { return std::exchange(p_, nullptr); }

    // QueryInterface into another pointer type; null when the object does not offer it.
    template <typename U>
    ComPtr<U> As(REFIID iid) const {
        ComPtr<U> out;
        if (p_) p_->QueryInterface(iid, out.put_void());
        return out;
    }

private:
    T* p_ = nullptr;
};

// A buffer a network management call allocated. netapi32 is loaded only by the code that
// needs it, so the free function comes with the buffer instead of from an import.
class UniqueNetApiBuffer {
public:
    using FreeFn = DWORD(WINAPI*)(LPVOID);
    explicit UniqueNetApiBuffer(FreeFn free) noexcept : free_(free) {}
    UniqueNetApiBuffer(const UniqueNetApiBuffer&) = delete;
    UniqueNetApiBuffer& operator=(const UniqueNetApiBuffer&) = delete;
    ~UniqueNetApiBuffer() { reset(); }

    BYTE* get() const { return p_; }
    void reset() {
        if (BYTE* p = std::exchange(p_, nullptr); p && free_) free_(p);
    }
    // Out-parameter of the enumeration calls.
    BYTE** put() {
        reset();
        return &p_;
    }

private:
    FreeFn free_;
    BYTE* p_ = nullptr;
};

// A storage medium that IDataObject::GetData filled; ReleaseStgMedium gives it back
// (a medium never filled is TYMED_NULL, which it leaves alone).
class UniqueStgMedium {
public:
    UniqueStgMedium() noexcept = default;
    UniqueStgMedium(const UniqueStgMedium&) = delete;
    UniqueStgMedium& operator=(const UniqueStgMedium&) = delete;
    ~UniqueStgMedium() { ::ReleaseStgMedium(&m_); }

    const STGMEDIUM& get() const { return m_; }
    STGMEDIUM* put() {
        ::ReleaseStgMedium(&m_);
        m_ = STGMEDIUM{};
        return &m_;
    }

private:
    STGMEDIUM m_{};
};

// A module-wide object whose life the start-up table controls instead of the C++ runtime:
// constant-initialised (no code at load, none at exit), made by a start-up step with
// Emplace and ended by the matching shut-down step with Reset. Holds RAII objects, so a
// step that fails half-way still closes what it opened.
template <typename T>
class StartupSlot {
public:
    constexpr StartupSlot() noexcept = default;
    StartupSlot(const StartupSlot&) = delete;
    StartupSlot& operator=(const StartupSlot&) = delete;

    template <typename... Args>
    T& Emplace(Args&&... args) {
        Reset();
        T* p = new (storage_) T(std::forward<Args>(args)...);
        live_ = true;
        return *p;
    }
    void Reset() noexcept {
        if (live_) {
            live_ = false;
            std::launder(reinterpret_cast<T*>(storage_))->~T();
        }
    }
    T* get() noexcept { return live_ ? std::launder(reinterpret_cast<T*>(storage_)) : nullptr; }
    T* operator->() noexcept { return get(); }
    explicit operator bool() const noexcept { return live_; }

private:
    alignas(T) unsigned char storage_[sizeof(T)] = {};
    bool live_ = false;
};

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
