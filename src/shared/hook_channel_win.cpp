// The hook helper's pipe name and the checks of the pipe's other end (hook_channel_win.h).
#include "shared/hook_channel_win.h"

#include <aclapi.h>

#include <vector>

#include "shared/desktops.h"
#include "shared/hook_channel.h"
#include "shared/system_function.h"

namespace vexlo::hookchannel {

namespace {

// Vista and later only, looked up at run time so the library still loads on XP; without
// them no peer can be checked, and every check fails.
constexpr DWORD kQueryLimited = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION
using PipePeerFn = BOOL(WINAPI*)(HANDLE, PULONG);
using ImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
using CompareOrdinalFn = int(WINAPI*)(LPCWSTR, int, LPCWSTR, int, BOOL);

// The long form of a path ("PROGRA~2" spelt out), or the path itself when there is none.
std::wstring LongPath(const std::wstring& path) {
    wchar_t buffer[1024] = {};
    const DWORD length = GetLongPathNameW(path.c_str(), buffer, 1024);
    return length == 0 || length >= 1024 ? path : std::wstring(buffer, length);
}

}  // namespace

std::string PipeNameHere(const UserOnlySecurity& security) {
    // Pipe names are global to the machine: the session keeps two logons of one user apart.
    DWORD session = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) session = 0;
    return PipeName(security.UserSid(), session, CurrentDesktopName());
}

std::wstring ModuleFolder(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::wstring folder = LongPath(std::wstring(path, length));
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder;
}

DWORD PipePeerId(HANDLE pipe, bool server) {
    const auto peerOf =
        SystemFunction<PipePeerFn>("kernel32.dll", server ? "GetNamedPipeServerProcessId" : "GetNamedPipeClientProcessId");
    ULONG id = 0;
    return peerOf && peerOf(pipe, &id) ? id : 0;
}

UniqueHandle PipePeer(HANDLE pipe, bool server, DWORD extraAccess) {
    const DWORD id = PipePeerId(pipe, server);
    return id == 0 ? UniqueHandle() : UniqueHandle(OpenProcess(kQueryLimited | extraAccess, FALSE, id));
}

std::wstring ProcessImage(HANDLE process) {
    const auto imageName = SystemFunction<ImageNameFn>("kernel32.dll", "QueryFullProcessImageNameW");
    wchar_t path[1024] = {};
    DWORD length = 1024;
    if (!imageName || !imageName(process, 0, path, &length) || length == 0) return {};
    return LongPath(std::wstring(path, length));
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    const auto compare = SystemFunction<CompareOrdinalFn>("kernel32.dll", "CompareStringOrdinal");
    return compare && !a.empty() &&
           compare(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool RunsAs(HANDLE process, PSID user) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return false;
    const UniqueHandle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0) return false;
    std::vector<BYTE> info(size);
    if (!GetTokenInformation(token, TokenUser, info.data(), size, &size)) return false;
    return EqualSid(reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid, user) != FALSE;
}

bool OwnedBy(HANDLE object, PSID user) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    const UniqueLocalMemory owned(descriptor);
    return owner && EqualSid(owner, user) != FALSE;
}

DWORD IntegrityLevel(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return 0;
    const UniqueHandle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    if (size == 0) return 0;
    std::vector<BYTE> info(size);
    if (!GetTokenInformation(token, TokenIntegrityLevel, info.data(), size, &size)) return 0;
    const PSID label = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(info.data())->Label.Sid;
    if (!label || !IsValidSid(label) || *GetSidSubAuthorityCount(label) == 0) return 0;
    return *GetSidSubAuthority(label, *GetSidSubAuthorityCount(label) - 1u);
}

}  // namespace vexlo::hookchannel
