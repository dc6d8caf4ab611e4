// What the library leaves behind and what others can do to it: no copy of a password in
// the process's memory once its windows have ended, no stale keyboard record when a thread
// ends with a window open, no gate another account can hold, no more access than needed,
// no read without end.
#include <gtest/gtest.h>
#include <windows.h>

#include <commdlg.h>
#include <sddl.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "dialogs/logon_ids.h"
#include "dialogs/runas_ids.h"
#include "harness.h"
#include "remote/rdp_ids.h"
#include "shared/error.h"
#include "shared/module.h"
#include "shared/remote_records.h"
#include "switching/uTaskManager.h"
#include "switching/vxSysInfo.h"

namespace {

// The password is kept here only scrambled, so the scan finds the library's copies and
// never the test's own.
constexpr unsigned char kScramble = 0x5A;
const std::string kScrambledPassword = [] {
    std::string s = "Kq7#Zp!w9Xv-41";
    for (char& c : s) c = static_cast<char>(c ^ kScramble);
    return s;
}();

void Unscramble(char* out) {
    for (std::size_t i = 0; i < kScrambledPassword.size(); ++i) out[i] = static_cast<char>(kScrambledPassword[i] ^ kScramble);
}

// Copies of the password as ANSI text anywhere in the process's writable memory.
int CopiesInMemory() {
    const std::size_t n = kScrambledPassword.size();
    int found = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (auto* at = static_cast<unsigned char*>(nullptr) + 0x10000;
         VirtualQuery(at, &info, sizeof info) == sizeof info; at = static_cast<unsigned char*>(info.BaseAddress) + info.RegionSize) {
        const DWORD writable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
        if (info.State != MEM_COMMIT || !(info.Protect & writable) || (info.Protect & PAGE_GUARD)) continue;
        const auto* p = static_cast<const unsigned char*>(info.BaseAddress);
        for (std::size_t i = 0; i + n <= info.RegionSize; ++i) {
            if ((p[i] ^ kScramble) != static_cast<unsigned char>(kScrambledPassword[0])) continue;
            std::size_t k = 1;
            while (k < n && (p[i + k] ^ kScramble) == static_cast<unsigned char>(kScrambledPassword[k])) ++k;
            found += k == n;
        }
    }
    return found;
}

TEST(PasswordResidue, NoCopyAfterTheRdpDialogIsCancelled) {
    ASSERT_EQ(CopiesInMemory(), 0);
    vexlo::TRDPSettings record{};
    record.Password.length = static_cast<std::uint8_t>(kScrambledPassword.size());
    Unscramble(record.Password.text.data());
    record.Server.length = 4;
    std::memcpy(record.Server.text.data(), "host", 4);
    WORD port = 3389;
    auto get = harness::Proc<BOOL(WINAPI*)(vexlo::TRDPSettings*, WORD*)>("GetRDPSettings");
    harness::RunModalDialog(
        "TformRDPSettings", [&] { return static_cast<std::uint32_t>(get(&record, &port)); },
        [](harness::Dialog dlg) { dlg.Press(vexlo::rdp_ids::btCancel); });
    SecureZeroMemory(&record, sizeof record);  // the caller's own copy
    harness::Pump(50);
    EXPECT_EQ(CopiesInMemory(), 0);
}

TEST(PasswordResidue, NoCopyAfterAnAcceptedLogonWindowIsDestroyed) {
    harness::DeleteProductKey();
    ASSERT_EQ(CopiesInMemory(), 0);
    harness::Recorder host;
    BYTE user[256] = {5, 'a', 'l', 'i', 'c', 'e'};
    BYTE pass[256] = {static_cast<BYTE>(kScrambledPassword.size())};
    Unscramble(reinterpret_cast<char*>(pass + 1));
    auto logon = harness::Proc<HWND(WINAPI*)(HWND, HICON, const BYTE*, const BYTE*, LONG)>("Logon");
    harness::Dialog wnd = logon(host.hwnd(), nullptr, user, pass, 7);
    ASSERT_NE(wnd, nullptr);
    SecureZeroMemory(pass, sizeof pass);
    harness::Drive([&] {
        wnd.Set(vexlo::logon_ids::eName, "alice");
        // Typed key by key, as the keyboard does: no whole copy of the text is ever passed.
        char typed[32] = {};
        Unscramble(typed);
        wnd.Type(vexlo::logon_ids::ePass, typed);
        SecureZeroMemory(typed, sizeof typed);
        wnd.Press(vexlo::logon_ids::btOk);
        host.WaitFor(WM_USER + 7);
    });
    EXPECT_EQ(host.Count(WM_USER + 7), 1u);
    DestroyWindow(wnd);
    harness::Pump(50);
    EXPECT_EQ(CopiesInMemory(), 0);
}

}  // namespace

namespace {

using LogonFn = HWND(WINAPI*)(HWND, HICON, const BYTE*, const BYTE*, LONG);

HWND OpenLogon() {
    static const BYTE user[256] = {1, 'u'}, pass[256] = {1, 'p'};
    return harness::Proc<LogonFn>("Logon")(nullptr, nullptr, user, pass, 1);
}

struct EndingThread {
    HANDLE opened = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

DWORD WINAPI OpenLogonThenEnd(void* arg) {
    auto* t = static_cast<EndingThread*>(arg);
    OpenLogon();
    SetEvent(t->opened);
    return 0;  // ends with the window still open
}

struct Reuse {
    DWORD wantedId = 0;
    bool tabMoved = false;
};

// On a thread that got the id of the ended one: a new logon window must have working keys.
DWORD WINAPI TabInNewLogon(void* arg) {
    auto* r = static_cast<Reuse*>(arg);
    if (GetCurrentThreadId() != r->wantedId) return 0;
    harness::Dialog wnd = OpenLogon();
    const DWORD me = GetCurrentThreadId();
    harness::Drive([&] {
        harness::WaitUntil([&] { return harness::FocusOf(me) == wnd.Item(vexlo::logon_ids::eName); });
        harness::PostKey(wnd.Item(vexlo::logon_ids::eName), VK_TAB);
        r->tabMoved = harness::WaitUntil([&] { return harness::FocusOf(me) == wnd.Item(vexlo::logon_ids::ePass); }, 2000);
    });
    DestroyWindow(wnd);
    return 0;
}

// Ends a thread with a logon window open, then runs threads until the system hands out
// the same id again; false when it never did.
bool KeysWorkOnAThreadWithTheSameId(bool& tabMoved) {
    harness::Vexlo();
    EndingThread ending;
    DWORD endedId = 0;
    HANDLE first = CreateThread(nullptr, 0, &OpenLogonThenEnd, &ending, 0, &endedId);
    WaitForSingleObject(ending.opened, 10000);
    WaitForSingleObject(first, 10000);
    CloseHandle(first);
    Reuse reuse{endedId};
    for (int i = 0; i < 3000; ++i) {  // the system reuses ids late (first in, first out)
        HANDLE t = CreateThread(nullptr, 0, &TabInNewLogon, &reuse, 0, nullptr);
        WaitForSingleObject(t, 30000);
        const DWORD id = GetThreadId(t);
        CloseHandle(t);
        if (id == endedId) {
            tabMoved = reuse.tabMoved;
            return true;
        }
    }
    return false;
}

TEST(ThreadEnd, AThreadThatEndsWithAWindowOpenLeavesNoDeadKeysBehind) {
    bool tabMoved = false;
    // The system hands an id out again once nothing holds its thread; a keyboard hook left
    // behind for the ended thread would hold it for good.
    ASSERT_TRUE(KeysWorkOnAThreadWithTheSameId(tabMoved)) << "the ended thread is still held";
    EXPECT_TRUE(tabMoved);
}

}  // namespace

namespace {

// The two passwords of the Run As case, kept scrambled like the one above.
std::string Scrambled(const char* plain) {
    std::string s = plain;
    for (char& c : s) c = static_cast<char>(c ^ kScramble);
    return s;
}

// Runs of `run` characters of the scrambled text, as ANSI bytes or as UTF-16, anywhere in
// the process's writable memory.
int RunsInMemory(const std::string& scrambled, std::size_t run) {
    int found = 0;
    MEMORY_BASIC_INFORMATION info{};
    const DWORD writable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    for (auto* at = static_cast<unsigned char*>(nullptr) + 0x10000; VirtualQuery(at, &info, sizeof info) == sizeof info;
         at = static_cast<unsigned char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State != MEM_COMMIT || !(info.Protect & writable) || (info.Protect & PAGE_GUARD)) continue;
        const auto* p = static_cast<const unsigned char*>(info.BaseAddress);
        for (std::size_t start = 0; start + run <= scrambled.size(); ++start)
            for (std::size_t width : {1u, 2u}) {
                const std::size_t bytes = run * width;
                for (std::size_t i = 0; i + bytes <= info.RegionSize; ++i) {
                    std::size_t k = 0;
                    while (k < run && (p[i + k * width] ^ kScramble) == static_cast<unsigned char>(scrambled[start + k]) &&
                           (width == 1 || p[i + k * width + 1] == 0))
                        ++k;
                    found += k == run;
                }
            }
    }
    return found;
}

// Typed key by key, each character unscrambled only as it is sent.
void TypeScrambled(const harness::Dialog& d, int id, const std::string& scrambled) {
    for (char c : scrambled) d.Send(id, WM_CHAR, static_cast<unsigned char>(c ^ kScramble), 1);
}

TEST(PasswordResidue, NoEarlierTextOfAPasswordBoxSurvivesIt) {
    namespace runas = vexlo::runas_ids;
    const std::string first = Scrambled("Fq8#Lm2!xZ7@Pd4$"), second = Scrambled("Wr5%Hb9^Ts3&Kc6*");
    ASSERT_EQ(RunsInMemory(first, 15) + RunsInMemory(second, 15), 0);
    auto show = harness::Proc<void(WINAPI*)(const char*)>("ShowRunAs");
    harness::RunModalDialog("TformRunAs", [&] { show("x.exe"); return 0u; }, [&](harness::Dialog d) {
        // Typed, all selected, replaced; then undone, replaced again: every earlier text
        // has been in the box's undo copy once.
        TypeScrambled(d, runas::ePass1, first);
        d.Send(runas::ePass1, EM_SETSEL, 0, -1);
        TypeScrambled(d, runas::ePass1, second);
        d.Send(runas::ePass1, WM_UNDO);
        EXPECT_EQ(d.Send(runas::ePass1, EM_LINELENGTH), 16);  // counts stand-ins, reads nothing
        d.Send(runas::ePass1, EM_SETSEL, 0, -1);
        TypeScrambled(d, runas::ePass1, second);
        d.Press(runas::btCancel);
    });
    harness::Pump(50);
    EXPECT_EQ(RunsInMemory(first, 15), 0);
    EXPECT_EQ(RunsInMemory(second, 15), 0);
}

// What a password box shows and gives: the real text to the program, stand-ins nowhere.
TEST(PasswordBox, KeepsTextUndoAndPasteAsAnEditDoes) {
    namespace runas = vexlo::runas_ids;
    auto show = harness::Proc<void(WINAPI*)(const char*)>("ShowRunAs");
    harness::RunModalDialog("TformRunAs", [&] { show("x.exe"); return 0u; }, [&](harness::Dialog d) {
        d.Type(runas::ePass1, "abc");
        EXPECT_EQ(d.Text(runas::ePass1), "abc");
        d.Send(runas::ePass1, EM_SETSEL, 1, 2);
        d.Send(runas::ePass1, WM_CHAR, 'X', 1);
        EXPECT_EQ(d.Text(runas::ePass1), "aXc");
        d.Send(runas::ePass1, WM_UNDO);
        EXPECT_EQ(d.Text(runas::ePass1), "abc");
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 3 * sizeof(wchar_t));
            std::memcpy(GlobalLock(text), L"\x00e9z", 3 * sizeof(wchar_t));
            GlobalUnlock(text);
            SetClipboardData(CF_UNICODETEXT, text);
            CloseClipboard();
            d.Send(runas::ePass1, EM_SETSEL, 3, 3);
            d.Send(runas::ePass1, WM_PASTE);
            EXPECT_EQ(d.Text(runas::ePass1), "abc\xe9z");
        }
        d.Send(runas::ePass1, WM_COPY);  // a password never leaves its box
        d.Set(runas::ePass1, "set");
        EXPECT_EQ(d.Text(runas::ePass1), "set");
        // Any other thread reads an empty box, by either message; no length either.
        char ansi[16] = "?";
        wchar_t wide[16] = L"?";
        EXPECT_EQ(SendMessageA(d.Item(runas::ePass1), WM_GETTEXT, 16, reinterpret_cast<LPARAM>(ansi)), 0);
        EXPECT_EQ(SendMessageW(d.Item(runas::ePass1), WM_GETTEXT, 16, reinterpret_cast<LPARAM>(wide)), 0);
        EXPECT_EQ(std::string(ansi) + (wide[0] ? "W" : ""), "");
        EXPECT_EQ(d.Send(runas::ePass1, WM_GETTEXTLENGTH), 0);
        d.Press(runas::btCancel);
    });
}

// Another program's clipboard block need not end with a zero: the paste stops at the
// block's end. (The system terminates blocks it is given, so the block comes from a stand-in.)
HGLOBAL g_unterminated = nullptr;
const wchar_t g_beyond[] = L"wxyzLEAK";  // the block holds "wxyz"; what follows is not its
HANDLE WINAPI UnterminatedClipboard(UINT) { return g_unterminated; }
LPVOID WINAPI LockUnterminated(HGLOBAL block) {
    return block == g_unterminated ? const_cast<wchar_t*>(g_beyond) : GlobalLock(block);
}

TEST(PasswordBox, PasteStopsAtTheEndOfTheClipboardBlock) {
    namespace runas = vexlo::runas_ids;
    g_unterminated = GlobalAlloc(GMEM_MOVEABLE, 4 * sizeof(wchar_t));
    ASSERT_EQ(GlobalSize(g_unterminated), 4 * sizeof(wchar_t));
    harness::ImportHook data{"user32.dll", "GetClipboardData", reinterpret_cast<void*>(&UnterminatedClipboard)};
    harness::ImportHook lock{"kernel32.dll", "GlobalLock", reinterpret_cast<void*>(&LockUnterminated)};
    ASSERT_TRUE(data.Installed() && lock.Installed());
    auto show = harness::Proc<void(WINAPI*)(const char*)>("ShowRunAs");
    harness::RunModalDialog("TformRunAs", [&] { show("x.exe"); return 0u; }, [&](harness::Dialog d) {
        d.Send(runas::ePass1, WM_PASTE);
        EXPECT_EQ(d.Text(runas::ePass1), "wxyz");
        d.Press(runas::btCancel);
    });
    GlobalFree(g_unterminated);
}

}  // namespace

namespace {

std::string UserSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    BYTE buf[256] = {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, buf, sizeof buf, &size);
    CloseHandle(token);
    char* text = nullptr;
    ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buf)->User.Sid, &text);
    const std::string sid = text ? text : "";
    LocalFree(text);
    return sid;
}

// Another account of the session can create a name in the shared namespace first and hold
// it: the gate's old shared name, and the user's own name with a list that admits nobody.
TEST(RunAsGate, NamesOtherAccountsCanHoldDoNotKeepTheDialogShut) {
    harness::Vexlo();
    const std::string sid = UserSid();
    ASSERT_FALSE(sid.empty());
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr), done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread other([&] {
        HANDLE shared = CreateMutexA(nullptr, TRUE, "KeyVexloRAOpen");
        SECURITY_DESCRIPTOR nobody{};
        InitializeSecurityDescriptor(&nobody, SECURITY_DESCRIPTOR_REVISION);
        ACL empty{};
        InitializeAcl(&empty, sizeof empty, ACL_REVISION);
        SetSecurityDescriptorDacl(&nobody, TRUE, &empty, FALSE);
        SECURITY_ATTRIBUTES sa{sizeof sa, &nobody, FALSE};
        HANDLE own = CreateMutexA(&sa, TRUE, ("KeyVexloRAOpen-" + sid).c_str());
        SetEvent(held);
        WaitForSingleObject(done, 30000);
        CloseHandle(own);
        CloseHandle(shared);
    });
    WaitForSingleObject(held, 5000);
    const DWORD ui = GetCurrentThreadId();
    harness::MessageBoxSeen refused;
    std::thread watch([&] { refused = harness::AnswerMessageBox(ui, 3000); });  // never a hang
    bool opened = false;
    harness::RunModalDialog("TformRunAs", [] { harness::Proc<void(WINAPI*)(const char*)>("ShowRunAs")("x.exe"); return 0u; },
                            [&](harness::Dialog d) {
                                opened = true;
                                d.Press(vexlo::runas_ids::btCancel);
                            });
    watch.join();
    SetEvent(done);
    other.join();
    CloseHandle(held);
    CloseHandle(done);
    EXPECT_TRUE(opened);
    EXPECT_FALSE(refused.shown) << refused.text;
}

// The process details ask for the least access that gives them, never inheritable: full
// access is refused for other accounts' and elevated processes.
std::vector<std::pair<DWORD, BOOL>> g_opens;
HANDLE WINAPI RecordOpenProcess(DWORD access, BOOL inherit, DWORD pid) {
    g_opens.emplace_back(access, inherit);
    static const auto real = reinterpret_cast<decltype(&OpenProcess)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "OpenProcess")));
    return real(access, inherit, pid);
}

TEST(ProcessDetails, AskForTheLeastAccessNeverInheritable) {
    harness::ImportHook hook("kernel32.dll", "OpenProcess", reinterpret_cast<void*>(&RecordOpenProcess),
                             GetModuleHandleA(nullptr));
    ASSERT_TRUE(hook.Installed());
    const DWORD self = GetCurrentProcessId();
    EXPECT_GT(vexlo::switching::ProcessMemory(self), 0u);
    EXPECT_EQ(vexlo::switching::ProcessPriorityName(self), "Normal");
    ASSERT_GE(g_opens.size(), 2u);
    constexpr DWORD kLeast = 0x1000 /* PROCESS_QUERY_LIMITED_INFORMATION */ | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
    for (const auto& [access, inherit] : g_opens) {
        EXPECT_EQ(access & ~kLeast, 0u) << std::hex << access;
        EXPECT_FALSE(inherit);
    }
}

// A performance-data read that never stops asking for more ends at its ceiling, as a
// failed read.
int g_perfReads = 0;
LONG WINAPI EndlessPerfData(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD size) {
    ++g_perfReads;
    if (size) *size += 4096;
    return ERROR_MORE_DATA;
}

TEST(ProcessorLoad, PerformanceDataThatAlwaysWantsMoreEndsAtTheCeiling) {
    vexlo::switching::TCPUUsage cpu;
    ASSERT_TRUE(cpu.IsNT());
    {
        harness::ImportHook hook("advapi32.dll", "RegQueryValueExA", reinterpret_cast<void*>(&EndlessPerfData),
                                 GetModuleHandleA(nullptr));
        ASSERT_TRUE(hook.Installed());
        // No processor data: the failure the chart already shows.
        EXPECT_THROW(cpu.Collect(), vexlo::Error);
    }
    EXPECT_LE(g_perfReads, 16);
}

}  // namespace

namespace {

// The file dialog's default extension is the extension alone: the system appends what
// follows the dot, so "*.exe" would turn a typed "foo" into "foo.*.e".
std::string g_defaultExt = "(not asked)";
BOOL WINAPI RecordOpenFileName(OPENFILENAMEA* od) {
    g_defaultExt = od && od->lpstrDefExt ? od->lpstrDefExt : "(none)";
    return FALSE;  // cancelled
}
FARPROC WINAPI LookUpRecorder(HMODULE module, LPCSTR name) {
    if (HIWORD(reinterpret_cast<UINT_PTR>(name)) && std::strcmp(name, "GetOpenFileNameA") == 0)
        return reinterpret_cast<FARPROC>(&RecordOpenFileName);
    return GetProcAddress(module, name);
}

TEST(RunAsBrowse, AsksTheFileDialogForExeFiles) {
    harness::ImportHook hook("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(&LookUpRecorder));
    ASSERT_TRUE(hook.Installed());
    harness::RunModalDialog("TformRunAs", [] { harness::Proc<void(WINAPI*)(const char*)>("ShowRunAs")("x.exe"); return 0u; },
                            [](harness::Dialog d) {
                                d.Click(vexlo::runas_ids::sbStart);
                                d.Press(vexlo::runas_ids::btCancel);
                            });
    EXPECT_EQ(g_defaultExt, "exe");
}

}  // namespace

namespace {

// Makes the moment a race needs happen every time: the first write of one thread to one
// page of this program's data waits until another thread has been through.
struct WritePause {
    char* page = nullptr;
    DWORD thread = 0;  // the thread that waits
    HANDLE waiting = nullptr, resume = nullptr;
};
WritePause g_pause;
constexpr std::size_t kPage = 4096;

LONG CALLBACK PauseOnWrite(EXCEPTION_POINTERS* e) {
    const EXCEPTION_RECORD& r = *e->ExceptionRecord;
    if (r.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || r.NumberParameters < 2 || r.ExceptionInformation[0] != 1)
        return EXCEPTION_CONTINUE_SEARCH;
    const auto* at = reinterpret_cast<const char*>(r.ExceptionInformation[1]);
    if (at < g_pause.page || at >= g_pause.page + kPage) return EXCEPTION_CONTINUE_SEARCH;
    if (GetCurrentThreadId() == g_pause.thread) {
        SetEvent(g_pause.waiting);
        WaitForSingleObject(g_pause.resume, 5000);
    }
    DWORD old = 0;
    VirtualProtect(g_pause.page, kPage, PAGE_READWRITE, &old);
    return EXCEPTION_CONTINUE_EXECUTION;
}

std::atomic<int> g_unloadStepsRun{0};
void CountUnloadStep() noexcept { ++g_unloadStepsRun; }

// The stored hooks are made by whichever thread comes first. A second thread that comes
// while the first is making them must not make them again: that would drop (or run) what
// was stored in between.
TEST(StoredHooks, AThreadComingWhileAnotherMakesThemLosesNothingStored) {
    using vexlo::module::StoredHooks;
    g_pause.page = reinterpret_cast<char*>(reinterpret_cast<std::uintptr_t>(&StoredHooks()) & ~(kPage - 1));
    vexlo::module::ReleaseState();
    g_pause.waiting = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_pause.resume = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    void* handler = AddVectoredExceptionHandler(1, &PauseOnWrite);
    ASSERT_NE(handler, nullptr);
    g_unloadStepsRun = 0;
    std::thread first([] {
        g_pause.thread = GetCurrentThreadId();
        DWORD old = 0;
        VirtualProtect(g_pause.page, kPage, PAGE_READONLY, &old);
        StoredHooks();
    });
    const bool paused = WaitForSingleObject(g_pause.waiting, 5000) == WAIT_OBJECT_0;
    std::atomic<bool> stored{false};
    std::thread second([&] {
        StoredHooks().altTab.run = &CountUnloadStep;
        stored = true;
    });
    // The second thread either waits for the first (then the first goes on after this) or
    // is through within milliseconds.
    for (DWORD start = GetTickCount(); !stored && GetTickCount() - start < 500;) Sleep(5);
    SetEvent(g_pause.resume);
    first.join();
    second.join();
    RemoveVectoredExceptionHandler(handler);
    CloseHandle(g_pause.waiting);
    CloseHandle(g_pause.resume);
    EXPECT_TRUE(paused);
    EXPECT_EQ(StoredHooks().altTab.run, &CountUnloadStep);
    EXPECT_EQ(g_unloadStepsRun, 0);
    vexlo::module::ReleaseState();
    EXPECT_EQ(g_unloadStepsRun, 1);  // run once, at the release
}

}  // namespace
