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
#include "shared/system_function.h"
#include "shell/explorer_hooks.h"

namespace vexlo::shell {

namespace {

using hookchannel::Kind;
using hookchannel::Reply;

#ifndef _WIN64

using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);

// Looked up at run time: Windows before XP SP2 has no such call (and no 64-bit edition).
IsWow64Fn IsWow64Call() {
    return SystemFunction<IsWow64Fn>("kernel32.dll", "IsWow64Process");
}

// A 32-bit process on 64-bit Windows: only there can Explorer be out of this library's reach.
bool InWow64() {
    const IsWow64Fn isWow64 = IsWow64Call();
    BOOL self = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &self) && self;
}

// How long an install waits for a helper it started to open its pipe.
constexpr DWORD kStartWaitMs = 10000;
// One request, from connecting to the last byte of the answer: a helper (or anyone
// holding its name) that does not answer in time costs the caller no more. Only time
// bounds the tries on a busy pipe: while another program floods it, the instance that
// comes free may go to that program, and each such loss costs one round trip, dozens in
// a few milliseconds.
constexpr DWORD kRequestMs = 3000;
// The reason given when the pipe's server is not our helper: nothing to retry or start.
constexpr DWORD kNotOurHelper = ERROR_ACCESS_DENIED;

// Milliseconds left of a span that began at start; 0 once it is over.
DWORD Left(DWORD start, DWORD span) {
    const DWORD spent = GetTickCount() - start;
    return spent >= span ? 0 : span - spent;
}

// The helper that this library starts: its own folder's VexloHook64.exe.
std::wstring HelperPath() {
    const std::wstring folder = hookchannel::ModuleFolder(module::Instance());
    return folder.empty() ? folder : folder + hookchannel::kHelperFile;
}

// Only a server that is our own helper, running as our user, is believed: pipe names are
// machine-wide, and another process (another account's, or a forger of ours) may have
// created the name first. The pipe must be our user's too (the helper makes it so): the
// server's process id may have been reused by the time it is asked. And the helper runs at
// least at our integrity level: one below it is open to programs that ours is kept from.
// Fails closed where the system cannot name the server.
bool IsOurHelper(HANDLE channel, const UserOnlySecurity& security) {
    const UniqueHandle server = hookchannel::PipePeer(channel, true);
    return server && hookchannel::OwnedBy(channel, security.User()) &&
           hookchannel::SamePath(hookchannel::ProcessImage(server.get()), HelperPath()) &&
           hookchannel::RunsAs(server.get(), security.User()) &&
           hookchannel::IntegrityLevel(server.get()) >= hookchannel::IntegrityLevel(GetCurrentProcess());
}

// One overlapped read or write of the whole record, within the request's time. On time-out
// the operation is cancelled and waited for: its buffer and event must outlive it.
bool Transfer(HANDLE channel, bool write, void* data, DWORD size, DWORD start, DWORD& lastError) {
    const UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) return false;
    for (DWORD got = 0; got < size;) {
        OVERLAPPED ov{};
        ov.hEvent = event.get();
        char* at = static_cast<char*>(data) + got;
        const BOOL ok = write ? WriteFile(channel, at, size - got, nullptr, &ov)
                              : ReadFile(channel, at, size - got, nullptr, &ov);
        if (!ok && GetLastError() != ERROR_IO_PENDING) {
            lastError = GetLastError();
            return false;
        }
        DWORD done = 0;
        if (WaitForSingleObject(event.get(), Left(start, kRequestMs)) != WAIT_OBJECT_0) {
            CancelIo(channel);
            GetOverlappedResult(channel, &ov, &done, TRUE);
            lastError = ERROR_TIMEOUT;
            return false;
        }
        if (!GetOverlappedResult(channel, &ov, &done, FALSE) || done == 0) {
            lastError = GetLastError();
            return false;
        }
        got += done;
    }
    return true;
}

// One round trip over the pipe; nullopt (with the reason in lastError) when our helper did
// not answer properly in time.
std::optional<Reply> Transact(const std::string& pipe, const UserOnlySecurity& security,
                              const hookchannel::Request& request, DWORD& lastError) {
    const DWORD start = GetTickCount();
    UniqueFile channel;
    for (;;) {
        // Identification only: the helper may learn who asks, never act as the caller.
        channel.reset(CreateFileA(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (channel) break;
        lastError = GetLastError();
        // Every instance serves another client: wait for one within the request's time.
        const DWORD left = Left(start, kRequestMs);
        if (lastError != ERROR_PIPE_BUSY || left == 0) return std::nullopt;
        WaitNamedPipeA(pipe.c_str(), left);  // never 0: that would mean the pipe's own default
    }
    if (!IsOurHelper(channel.get(), security)) {
        lastError = kNotOurHelper;
        return std::nullopt;
    }
    Reply reply;
    hookchannel::Request sent = request;
    if (!Transfer(channel.get(), true, &sent, sizeof sent, start, lastError) ||
        !Transfer(channel.get(), false, &reply, sizeof reply, start, lastError))
        return std::nullopt;
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
    const std::wstring file = HelperPath();
    if (file.empty()) return {};
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
        if (auto reply = Transact(pipe, security, request, error)) return reply;
        // Worth another try only while no helper serves yet (none, or one just ending); a
        // server that is not ours, or ours not answering or busy in time, is final.
        const bool noHelperYet =
            error == ERROR_FILE_NOT_FOUND || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
        if (!install || !noHelperYet || Left(start, kStartWaitMs) == 0) return std::nullopt;
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
// it to this library.
std::optional<Reply> DelegatedInstall(Kind kind, HWND listView) {
    if (!listView || !NeedsHookHelper(listView)) return std::nullopt;
    // A helper that cannot be reached installs nothing; hooking here would only seem to work.
    return AskHelper(kind, true).value_or(Reply{});
}

// The icon layout hook that the helper answered to this process's last install, 0 when the
// last install or remove was this library's own: an install that finds no list view gives
// it back, as the library's own stored handle would be.
std::uint32_t g_helperIconHook = 0;

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
        const HWND listView = FindDesktopListView();
        if (const auto reply = DelegatedInstall(Kind::IconLayout, listView)) {
            g_helperIconHook = reply->hook;
            return reinterpret_cast<HHOOK>(WidenHandleValue(g_helperIconHook));
        }
        // No list view (Explorer ended): the stored handle, the helper's when it holds it.
        if (!listView && g_helperIconHook != 0) return reinterpret_cast<HHOOK>(WidenHandleValue(g_helperIconHook));
        if (listView) g_helperIconHook = 0;  // hooked here: this library's handle is the stored one
    } else if (InWow64()) {
        AskHelper(Kind::IconLayout, false);
        g_helperIconHook = 0;
    }
#endif
    return install ? InstallIconLayoutHook() : RemoveIconLayoutHook();
}

bool DesktopMenuHooks(bool install) {
#ifndef _WIN64
    if (install) {
        if (const auto reply = DelegatedInstall(Kind::DesktopMenu, FindDesktopListView())) return reply->ok != 0;
    } else {
        const bool helper = InWow64() && AskHelper(Kind::DesktopMenu, false).value_or(Reply{}).ok != 0;
        const bool here = RemoveDesktopMenuHooks();
        return helper || here;
    }
#endif
    return install ? InstallDesktopMenuHooks() : RemoveDesktopMenuHooks();
}

}  // namespace vexlo::shell
