#pragma once
// The Run As dialog's and launcher's rules that need no Win32: the message when
// a dialog is open elsewhere, the command line, the launcher's fixed arguments, the text
// of a launch failure, and the one-dialog-at-a-time gate around the "KeyVexloRA" flag.
//
// The dialog has no other decision logic: "Run" is always enabled, no field is checked
// or parsed (an empty application, user or password goes to the system unchanged), the
// domain and user are the combo boxes' texts as typed or chosen, and the user list is
// refilled only when a server is chosen from the list (CBN_SELCHANGE), never on typing.
#include <cstdint>
#include <string>
#include <string_view>

namespace vexlo {

// Shown through ShowMessageDialog as an information message with a single OK button,
// spelled as it stands.
inline constexpr const char* kRunAsAlreadyOpenText = "Run As utility is already runing";

// A double quote, the application text unchanged (even when already quoted or empty), a
// double quote, one blank (even when the parameters are empty), the parameters.
std::string RunAsCommandLine(std::string_view application, std::string_view parameters);

// The dialog's texts when it closed with "Run": eApp, eCmd, cbServer, cbUser, ePass1.
struct RunAsFields {
    std::string application, parameters, domain, user, password;
};

// The launcher's five strings in its argument order, still in the ANSI code page (the
// Win32 side converts each to UTF-16).
struct LaunchRequest {
    std::string application, commandLine, user, password, domain;
};
LaunchRequest MakeLaunchRequest(const RunAsFields& fields);

// What the launcher hands to CreateProcessWithLogonW besides the strings.
namespace launch {
inline constexpr const char* kLibrary = "AdvAPI32.dll";
inline constexpr const char* kFunction = "CreateProcessWithLogonW";
inline constexpr std::uint32_t kStartupInfoSize = 68;  // sizeof(STARTUPINFOW) on 32-bit
inline constexpr std::uint32_t kStartupFlags =
    0x41;                                        // STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK
inline constexpr std::uint16_t kShowWindow = 5;  // SW_SHOW
inline constexpr std::uint32_t kLogonFlags = 1;  // LOGON_WITH_PROFILE
inline constexpr std::uint32_t kCreationFlags = 0x20;  // NORMAL_PRIORITY_CLASS
// The failure box: no owner, no caption (null: the system's default title), MB_OK, no icon.
inline constexpr std::uint32_t kFailureBoxStyle = 0;
}  // namespace launch

// The system's message for an error code as the failure box shows it: trailing blanks,
// line breaks and full stops removed.
std::string TrimSystemMessage(std::string_view message);

// ---- One Run As dialog at a time ---------------------------------------------------------
//
// The flag byte at offset 2054 of "KeyVexloRA" keeps its meaning for every reader: 1 while
// a dialog is open in some process, 0 otherwise. Alone it can neither be tested and set
// atomically nor recover from a process that died with its dialog open (the byte then
// stays 1 until every process has unmapped the block). So the real ownership is a named
// mutex, kRunAsMutexName + "-" + the user's SID, which only the user may open (another
// account of the session could otherwise create it first and hold it), and which the
// process holds while its dialog is open:
//
//   enter:  m = CreateMutexA(&userOnlySa, FALSE, kRunAsMutexName + "-" + sid);
//           wait = m ? WaitForSingleObject(m, 0) : (failed)
//             WAIT_OBJECT_0 -> Acquired, WAIT_ABANDONED -> Abandoned,
//             WAIT_TIMEOUT -> HeldElsewhere, no mutex or WAIT_FAILED -> Unavailable
//           gate = DecideRunAsGate(wait, ownerThread == GetCurrentThreadId())
//             Open:               store 1 into the flag; show the dialog
//             OpenIfFlagClaimed:  InterlockedCompareExchange on the flag byte, 0 -> 1;
//                                 show the dialog only when it was 0, else refuse
//             RefuseAndRelease:   ReleaseMutex(m) once (the wait succeeded recursively)
//             Refuse*:            ShowMessageDialog(kRunAsAlreadyOpenText, information, {OK})
//   leave:  on every path out after Open (RAII, failures included): store 0 into the flag,
//           then ReleaseMutex(m); after OpenIfFlagClaimed: store 0 into the flag.
//           ownerThread (module-wide) is the id of the thread whose dialog is open, 0 when
//           none; it is set after Open and cleared on leave.
//
// Because the flag is set only after the mutex is taken and cleared before it is given
// back, a set flag whose mutex is free or abandoned was left by a process that died, or
// by a copy of the library that predates the mutex: it is stale and is overwritten. Two
// processes can never both pass: the mutex admits one owner. A mutex is recursive for its
// owning thread, so a second ShowRunAs on the thread whose dialog is open (re-entered from
// that dialog's message loop) also gets Acquired; the owner thread id tells it apart.
// Another thread of the same process gets HeldElsewhere. Abandoned always opens: the
// owner is gone, whatever this process still remembers of it.
//
// The mutex name differs from the block's: file mappings and mutexes share one namespace.
inline constexpr const char* kRunAsMutexName = "KeyVexloRAOpen";

enum class RunAsMutexWait { Acquired, Abandoned, HeldElsewhere, Unavailable };
enum class RunAsGate { Open, OpenIfFlagClaimed, Refuse, RefuseAndRelease };

RunAsGate DecideRunAsGate(RunAsMutexWait wait, bool dialogOpenOnThisThread);

}  // namespace vexlo
