// What the library leaves behind: no copy of a password in the process's memory once its
// windows have ended, and no stale keyboard record when a thread ends with a window open.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "dialogs/logon_ids.h"
#include "harness.h"
#include "remote/rdp_ids.h"
#include "shared/remote_records.h"

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
