#pragma once
// The hook helper's pipe as the system names it for the calling process, and the checks
// that each end makes of the other. Pipe names are machine-wide and whoever creates a name
// first serves it, so neither end trusts the other for holding the name: each asks the
// system who is at the other end (its process, that process's image and user).
#include <windows.h>

#include <string>

#include "shared/handles.h"
#include "shared/security.h"

namespace vexlo::hookchannel {

// The pipe of the calling process's user (from the security's SID), session and desktop:
// the library and the helper it started on that desktop compute the same name.
std::string PipeNameHere(const UserOnlySecurity& security);

// The helper's file name; it sits next to the libraries in the product folder.
constexpr wchar_t kHelperFile[] = L"VexloHook64.exe";

// The folder of a module's file (null: the program's), with its closing backslash, in its
// long form; empty when it cannot be read.
std::wstring ModuleFolder(HMODULE module);

// The process id at the other end of a connected pipe (the server when asked by the
// client, the client when asked by the server); 0 when the system cannot tell (before
// Vista). PipePeer opens that process for PROCESS_QUERY_LIMITED_INFORMATION and the extra
// rights; null when it cannot.
DWORD PipePeerId(HANDLE pipe, bool server);
UniqueHandle PipePeer(HANDLE pipe, bool server, DWORD extraAccess = 0);

// The process's image as a full path in its long form; empty when it cannot be read.
std::wstring ProcessImage(HANDLE process);
// Paths compared as the file system compares names: ordinal, case ignored.
bool SamePath(const std::wstring& a, const std::wstring& b);
// True when the process's token has the given user.
bool RunsAs(HANDLE process, PSID user);
// True when the kernel object (a pipe) has the given user as its owner. A process id can
// be reused once its process has ended; the pipe's owner is the pipe's own.
bool OwnedBy(HANDLE object, PSID user);
// The process's mandatory integrity level (the RID of its label: 0x2000 medium, 0x3000
// high); 0 where the system has none (before Vista) or it cannot be read.
DWORD IntegrityLevel(HANDLE process);

}  // namespace vexlo::hookchannel
