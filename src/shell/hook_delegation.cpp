#include "shell/hook_delegation.h"

#include <cstdint>
#include <optional>
#include <string>

#include "shared/handle_value.h"
#include "shared/handles.h"
#include "shared/hook_channel.h"
#include "shared/hook_channel_win.h"
#include "shared/module.h"
#include "shared/security.h"
#include "shell/explorer_hooks.h"

namespace vexlo::shell {

namespace {

using hookchannel::Kind;
using hookchannel::Reply;

#ifndef _WIN64

using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);

// Looked up at run time: Windows before XP SP2 has no such call (and no 64-bit edition).
IsWow64Fn IsWow64Call() {
    return reinterpret_cast<IsWow64Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
}

// A 32-bit process on 64-bit Windows: only there can Explorer be out of this library's reach.
bool InWow64() {
    const IsWow64Fn isWow64 = IsWow64Call();
    BOOL self = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &self) && self;
}

// How long an install waits for a helper it started, and any request for its turn while
// another one is served.
constexpr DWORD kStartWaitMs = 10000;
constexpr DWORD kTurnWaitMs = 10000;

// One round trip over the pipe; nullopt (with the reason in lastError) when no helper
// answered properly.
std::optional<Reply> Transact(const std::string& pipe, const hookchannel::Request& request, DWORD& lastError) {
    UniqueFile channel;
    for (;;) {
        // Identification only: the helper may learn who asks, never act as the caller.
        channel.reset(CreateFileA(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (channel) break;
        lastError = GetLastError();
        // One instance serves one request at a time: a second one waits for its turn.
        if (lastError != ERROR_PIPE_BUSY) return std::nullopt;
        if (!WaitNamedPipeA(pipe.c_str(), kTurnWaitMs)) {
            lastError = GetLastError();  // gone (the helper ended) or still busy
            return std::nullopt;
        }
    }
    DWORD done = 0;
    if (!WriteFile(channel.get(), &request, sizeof request, &done, nullptr) || done != sizeof request) {
        lastError = GetLastError();
        return std::nullopt;
    }
    Reply reply;
    auto* bytes = reinterpret_cast<char*>(&reply);
    for (DWORD got = 0; got < sizeof reply; got += done) {
        if (!ReadFile(channel.get(), bytes + got, sizeof reply - got, &done, nullptr) || done == 0) {
            lastError = GetLastError();
            return std::nullopt;
        }
    }
    if (!hookchannel::IsValid(reply)) {
        lastError = ERROR_INVALID_DATA;
        return std::nullopt;
    }
    return reply;
}

// "WinSta0\Default": the helper is started on the caller's desktop, where the list view is.
std::wstring StationAndDesktop() {
    wchar_t station[256] = {}, desktop[256] = {};
    DWORD needed = 0;
    GetUserObjectInformationW(GetProcessWindowStation(), UOI_NAME, station, sizeof station - sizeof(wchar_t), &needed);
    GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, desktop,
                              sizeof desktop - sizeof(wchar_t), &needed);
    return std::wstring(station) + L"\\" + desktop;
}

// The helper from the library's own folder, as this process's user, told whose end to
// wait for. Nothing is inherited. Null when it cannot start.
UniqueHandle StartHelper() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module::Instance(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::wstring file(path, length);
    file.resize(file.find_last_of(L'\\') + 1);
    file += hookchannel::kHelperFile;
    // Digits widened by hand: the wide formatter would bring a whole printf into the DLL.
    const std::string id = std::to_string(GetCurrentProcessId());
    std::wstring command = L"\"" + file + L"\" " + std::wstring(id.begin(), id.end());
    std::wstring desktop = StationAndDesktop();
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.lpDesktop = desktop.data();
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(file.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return {};
    const UniqueHandle thread(pi.hThread);
    return UniqueHandle(pi.hProcess);
}

// The helper's answer. An install starts a helper when none serves this desktop (none
// yet, or the last one died) and waits for its pipe; a remove only asks a running one.
std::optional<Reply> AskHelper(Kind kind, bool install) {
    const UserOnlySecurity security;
    const std::string pipe = hookchannel::PipeNameHere(security);
    hookchannel::Request request;
    request.kind = static_cast<std::uint32_t>(kind);
    request.install = install ? 1 : 0;
    UniqueHandle started;
    int startsLeft = 2;  // a second one when the first ended without serving (it lost the desktop)
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD error = 0;
        if (auto reply = Transact(pipe, request, error)) return reply;
        if (!install || GetTickCount() - start > kStartWaitMs) return std::nullopt;
        // No pipe, and no helper of ours on its way: none serves this desktop (none yet, the
        // last one died, or one is just ending) - start one. Otherwise wait for its pipe.
        if (error == ERROR_FILE_NOT_FOUND && (!started || WaitForSingleObject(started.get(), 0) == WAIT_OBJECT_0)) {
            if (startsLeft-- == 0) return std::nullopt;
            started = StartHelper();
            if (!started) return std::nullopt;
        }
        Sleep(25);
    }
}

// The install goes to the helper when the list view is there and 64-bit; nullopt leaves
// it to this library (no list view: the stored handle, as always).
std::optional<Reply> DelegatedInstall(Kind kind) {
    const HWND listView = FindDesktopListView();
    if (!listView || !NeedsHookHelper(listView)) return std::nullopt;
    // A helper that cannot be reached installs nothing; hooking here would only seem to work.
    return AskHelper(kind, true).value_or(Reply{});
}

#endif  // !_WIN64

}  // namespace

bool NeedsHookHelper(HWND listView) {
#ifdef _WIN64
    (void)listView;
    return false;
#else
    // Outside WOW64 this is 32-bit Windows: every process is 32-bit.
    if (!InWow64()) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(listView, &pid);
    constexpr DWORD kQueryLimited = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION, Vista and later
    UniqueHandle process(OpenProcess(kQueryLimited, FALSE, pid));
    if (!process) process.reset(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    BOOL wow = FALSE;
    // A process that cannot be asked on 64-bit Windows is taken for what Explorer is there.
    if (!process || !IsWow64Call()(process.get(), &wow)) return true;
    return !wow;
#endif
}

HHOOK IconLayoutHook(bool install) {
#ifndef _WIN64
    if (install) {
        if (const auto reply = DelegatedInstall(Kind::IconLayout))
            return reinterpret_cast<HHOOK>(WidenHandleValue(reply->hook));
    } else if (InWow64()) {
        AskHelper(Kind::IconLayout, false);
    }
#endif
    return install ? InstallIconLayoutHook() : RemoveIconLayoutHook();
}

bool DesktopMenuHooks(bool install) {
#ifndef _WIN64
    if (install) {
        if (const auto reply = DelegatedInstall(Kind::DesktopMenu)) return reply->ok != 0;
    } else {
        const bool helper = InWow64() && AskHelper(Kind::DesktopMenu, false).value_or(Reply{}).ok != 0;
        const bool here = RemoveDesktopMenuHooks();
        return helper || here;
    }
#endif
    return install ? InstallDesktopMenuHooks() : RemoveDesktopMenuHooks();
}

}  // namespace vexlo::shell
