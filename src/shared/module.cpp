#include "shared/module.h"

#include <memory>
#include <new>

#include "shared/once.h"

namespace vexlo::module {

namespace {
HINSTANCE g_instance = nullptr;
UINT g_iconRequest = 0;
RunOnce g_iconRequestOnce;
HWND g_owner = nullptr;
StartupSlot<Hooks> g_hooks;
RunOnce g_hooksOnce;
}  // namespace

HINSTANCE Instance() { return g_instance; }
void SetInstance(HINSTANCE instance) { g_instance = instance; }

UINT IconRequestMessage() {
    g_iconRequestOnce.Run([] {
        g_iconRequest = RegisterWindowMessageA("WM_GETICONS");
        return true;
    });
    return g_iconRequest;
}

HWND OwnerWindow() { return g_owner; }
void SetOwnerWindow(HWND owner) { g_owner = owner; }

// Made once: the install exports, Explorer's hook procedures and the Alt+Tab threads may
// come here at the same time, and a second Emplace would drop a stored hook.
Hooks& StoredHooks() {
    g_hooksOnce.Run([] {
        g_hooks.Emplace();
        return true;
    });
    return *g_hooks.get();
}

void ReleaseState() noexcept {
    g_hooks.Reset();
    g_hooksOnce.Reset();
}

namespace {

// A reference on the module that holds this function's code (the library, or the program
// that links it).
HMODULE ReferenceSelf() {
    HMODULE self = nullptr;
    const auto anchor = reinterpret_cast<LPCWSTR>(reinterpret_cast<UINT_PTR>(&ReferenceSelf));
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, anchor, &self) ? self : nullptr;
}

struct ThreadStart {
    LPTHREAD_START_ROUTINE work;
    void* param;
    HMODULE module;
};

DWORD WINAPI LibraryThreadMain(void* param) {
    const ThreadStart start = *static_cast<ThreadStart*>(param);
    delete static_cast<ThreadStart*>(param);
    FreeLibraryAndExitThread(start.module, start.work(start.param));
}

struct Release {
    HMODULE module;
    HWND back;
};

DWORD WINAPI ReleaseWhenBack(void* param) {
    const std::unique_ptr<Release> release(static_cast<Release*>(param));
    // Answered from the holding thread's message retrieval: it has left the held code.
    // A window that is gone answers at once, its thread having left that code too.
    SendMessageW(release->back, WM_NULL, 0, 0);
    // Never the last reference: this thread holds its own until it ends.
    FreeLibrary(release->module);
    return 0;
}

}  // namespace

HANDLE StartLibraryThread(LPTHREAD_START_ROUTINE work, void* param, DWORD flags, SIZE_T stack) {
    const HMODULE self = ReferenceSelf();
    if (!self) return nullptr;
    auto* start = new (std::nothrow) ThreadStart{work, param, self};
    HANDLE thread = start ? CreateThread(nullptr, stack, &LibraryThreadMain, start, flags, nullptr) : nullptr;
    if (!thread) {
        delete start;
        FreeLibrary(self);
    }
    return thread;
}

Hold::Hold(HWND back) noexcept : module_(ReferenceSelf()), back_(back) {}

Hold::~Hold() {
    if (!module_ || !back_) return;
    auto* release = new (std::nothrow) Release{module_, back_};
    // The thread's handle is not needed: it ends by itself.
    if (HANDLE thread = release ? StartLibraryThread(&ReleaseWhenBack, release) : nullptr) {
        UniqueHandle closing(thread);
        return;
    }
    delete release;
}

}  // namespace vexlo::module
