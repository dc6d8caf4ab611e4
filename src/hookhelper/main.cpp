// VexloHook64.exe: keeps the desktop hooks of the 64-bit library on a 64-bit Explorer for
// the 32-bit main program, whose own library cannot hook a 64-bit thread. Started by that
// library on the caller's desktop with the main program's process id; serves install and
// remove requests over a pipe only the user's own processes can open, one at a time, and
// ends when it holds no hook any more or the main program ends. Hooks set by a thread go
// when the thread ends, so everything happens on this one thread.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "shared/handles.h"
#include "shared/hook_channel.h"
#include "shared/hook_channel_win.h"
#include "shared/security.h"

namespace {

using namespace vexlo;
using hookchannel::Kind;

constexpr DWORD kIoWaitMs = 5000;  // a client that stalls mid-request is dropped
constexpr DWORD kRejectRemote = 0x00000008;  // PIPE_REJECT_REMOTE_CLIENTS, Vista and later

using HookExplorerFn = HHOOK(WINAPI*)(std::uint32_t);
using HookContextFn = BOOL(WINAPI*)(std::uint32_t);

struct Library {
    UniqueHmodule module;
    HookExplorerFn hookExplorer = nullptr;
    HookContextFn hookContext = nullptr;
};

// Vexlo64.dll from this program's folder: the system loads the hooks' DLL into Explorer
// from the path it was loaded from here.
bool LoadLibraryHere(Library& lib) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    std::wstring file(path, length);
    file.resize(file.find_last_of(L'\\') + 1);
    file += L"Vexlo64.dll";
    lib.module.reset(LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!lib.module) return false;
    lib.hookExplorer = reinterpret_cast<HookExplorerFn>(
        reinterpret_cast<void*>(GetProcAddress(lib.module.get(), "HookExplorer")));
    lib.hookContext = reinterpret_cast<HookContextFn>(
        reinterpret_cast<void*>(GetProcAddress(lib.module.get(), "HookContext")));
    return lib.hookExplorer && lib.hookContext;
}

// Waits for an overlapped operation or the main program's end, answering this thread's
// messages meanwhile. False when the operation did not complete.
bool Await(HANDLE event, HANDLE mainProgram, DWORD timeoutMs) {
    const HANDLE waits[] = {event, mainProgram};
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (timeoutMs != INFINITE && elapsed >= timeoutMs) return false;
        const DWORD r = MsgWaitForMultipleObjects(2, waits, FALSE, timeoutMs == INFINITE ? INFINITE : timeoutMs - elapsed,
                                                  QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return true;
        if (r != WAIT_OBJECT_0 + 2) return false;  // the main program ended, or the wait failed
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

// One overlapped read or write of exactly size bytes.
bool Transfer(HANDLE pipe, bool write, void* data, DWORD size, HANDLE event, HANDLE mainProgram) {
    OVERLAPPED ov{};
    ov.hEvent = event;
    DWORD done = 0;
    const BOOL ok = write ? WriteFile(pipe, data, size, &done, &ov) : ReadFile(pipe, data, size, &done, &ov);
    if (!ok && GetLastError() != ERROR_IO_PENDING) return false;
    if (!ok && !Await(event, mainProgram, kIoWaitMs)) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &ov, &done, TRUE);
        return false;
    }
    return GetOverlappedResult(pipe, &ov, &done, TRUE) && done == size;
}

struct Held {
    bool iconLayout = false;
    bool desktopMenu = false;
};

hookchannel::Reply Serve(const hookchannel::Request& request, const Library& lib, Held& held) {
    hookchannel::Reply reply;
    const bool install = request.install == 1;
    if (request.kind == static_cast<std::uint32_t>(Kind::IconLayout)) {
        const HHOOK hook = lib.hookExplorer(install ? 1 : 0);
        // Hook handles fit in 32 bits so that processes of both bitnesses can share them.
        reply.hook = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hook));
        held.iconLayout = install && hook != nullptr;
    } else {
        const bool ok = (lib.hookContext(install ? 1 : 0) & 0xFF) != 0;
        reply.ok = ok ? 1 : 0;
        held.desktopMenu = install && ok;
    }
    return reply;
}

int Run(DWORD mainProcessId) {
    const UniqueHandle mainProgram(OpenProcess(SYNCHRONIZE, FALSE, mainProcessId));
    if (!mainProgram) return 3;
    UserOnlySecurity security;
    const std::string name = hookchannel::PipeNameHere(security);
    // The first instance, and the only one: a second helper on this desktop stops here, and
    // a second request waits for its turn.
    const DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED;
    const auto create = [&](DWORD extra) {
        return UniqueFile(CreateNamedPipeA(name.c_str(), openMode, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | extra,
                                           1, sizeof(hookchannel::Reply), sizeof(hookchannel::Request), 0,
                                           security.Attributes()));
    };
    UniqueFile pipe = create(kRejectRemote);
    if (!pipe && GetLastError() == ERROR_INVALID_PARAMETER) pipe = create(0);  // before Vista
    if (!pipe) return 4;
    Library lib;
    if (!LoadLibraryHere(lib)) return 5;
    const UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) return 6;

    Held held;
    for (;;) {
        OVERLAPPED ov{};
        ov.hEvent = event.get();
        ResetEvent(event.get());
        if (!ConnectNamedPipe(pipe.get(), &ov)) {
            const DWORD error = GetLastError();
            if (error == ERROR_IO_PENDING) {
                if (!Await(event.get(), mainProgram.get(), INFINITE)) break;  // the main program ended
                DWORD ignored = 0;
                if (!GetOverlappedResult(pipe.get(), &ov, &ignored, FALSE)) {
                    DisconnectNamedPipe(pipe.get());
                    continue;
                }
            } else if (error != ERROR_PIPE_CONNECTED) {
                break;
            }
        }
        hookchannel::Request request;
        if (Transfer(pipe.get(), false, &request, sizeof request, event.get(), mainProgram.get()) &&
            hookchannel::IsValid(request)) {
            hookchannel::Reply reply = Serve(request, lib, held);
            if (Transfer(pipe.get(), true, &reply, sizeof reply, event.get(), mainProgram.get())) {
                // Disconnecting drops what the client has not read yet: wait until it closes.
                char none = 0;
                Transfer(pipe.get(), false, &none, 1, event.get(), mainProgram.get());
            }
        }
        DisconnectNamedPipe(pipe.get());
        if (WaitForSingleObject(mainProgram.get(), 0) == WAIT_OBJECT_0) break;
        if (!held.iconLayout && !held.desktopMenu) return 0;
    }
    // The main program is gone: nobody will ask for the hooks again.
    if (held.iconLayout) lib.hookExplorer(0);
    if (held.desktopMenu) lib.hookContext(0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    char* end = nullptr;
    const unsigned long pid = std::strtoul(argv[1], &end, 10);
    if (pid == 0 || *end != '\0') return 2;
    try {
        return Run(static_cast<DWORD>(pid));
    } catch (...) {
        return 1;  // the user's SID could not be read
    }
}
