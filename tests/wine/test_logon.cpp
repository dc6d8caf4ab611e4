// The logon prompt through the real export: layout, the credential rules, the messages
// posted to the notify window, "LastUser", and keyboard handling on a host's plain loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <utility>

#include "dialogs/logon_ids.h"
#include "harness.h"

namespace {

namespace id = vexlo::logon_ids;
using harness::Dialog;
using harness::Recorder;

constexpr UINT kAccepted = WM_USER + 7;
constexpr UINT kCancelled = WM_USER + 6;
constexpr const char* kWrongText =
    "The password is incorrect.\rPlease enter the correct password.\rMake sure Caps Lock is not on";

HWND CallLogon(HWND notify, const char* user, const char* pass, LONG tag, HICON icon = nullptr) {
    auto logon = harness::Proc<HWND(WINAPI*)(HWND, HICON, const BYTE*, const BYTE*, LONG)>("Logon");
    const auto u = harness::Short(user), p = harness::Short(pass);
    return logon(notify, icon, u.data(), p.data(), tag);
}

// Destroys the logon window from inside the warning box's loop, as a main program may at
// any moment, and counts what the library does to windows afterwards.
HWND g_destroyWhileBoxIsUp = nullptr;
bool g_destroyedUnderTheBox = false;
int g_focusCallsAfterwards = 0;

VOID CALLBACK DestroyOnceTheBoxShows(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_destroyWhileBoxIsUp || !harness::FindThreadWindow(GetCurrentThreadId(), "#32770")) return;
    DestroyWindow(std::exchange(g_destroyWhileBoxIsUp, nullptr));
    g_destroyedUnderTheBox = true;
}

HWND WINAPI CountingSetFocus(HWND wnd) {
    if (g_destroyedUnderTheBox) ++g_focusCallsAfterwards;
    return SetFocus(wnd);
}

class LogonTest : public ::testing::Test {
protected:
    void SetUp() override {
        harness::DeleteProductKey();
        uiThread = GetCurrentThreadId();
    }
    void TearDown() override {
        for (HWND w : windows)
            if (IsWindow(w)) DestroyWindow(w);
        harness::Pump(20);
    }
    Dialog Open(const char* user, const char* pass, LONG tag, HWND notify = nullptr) {
        HWND w = CallLogon(notify ? notify : recorder.hwnd(), user, pass, tag);
        windows.push_back(w);
        return w;
    }
    // Types the credentials, presses OK and answers a warning box if one comes.
    harness::MessageBoxSeen TryLogon(Dialog wnd, const char* user, const char* pass) {
        return TryLogon(wnd, user, pass, recorder);
    }
    harness::MessageBoxSeen TryLogon(Dialog wnd, const char* user, const char* pass, const Recorder& recorder) {
        harness::MessageBoxSeen seen;
        harness::Drive([&] {
            wnd.Set(id::eName, user);
            wnd.Set(id::ePass, pass);
            const size_t before = recorder.Count(kAccepted);
            wnd.Press(id::btOk);
            // Either the warning box appears or the success message arrives.
            harness::WaitUntil([&] {
                return recorder.Count(kAccepted) > before ||
                       harness::FindThreadWindow(uiThread, "#32770") != nullptr;
            });
            if (recorder.Count(kAccepted) == before) seen = harness::AnswerMessageBox(uiThread);
        });
        return seen;
    }

    DWORD uiThread = 0;
    Recorder recorder;
    std::vector<HWND> windows;
};

TEST_F(LogonTest, DestroyedWhileItsWarningIsUpTouchesNothingAfterwards) {
    harness::ImportHook focus("user32.dll", "SetFocus", reinterpret_cast<void*>(&CountingSetFocus));
    ASSERT_TRUE(focus.Installed());
    Dialog wnd = Open("alice", "pw", 1);
    g_destroyWhileBoxIsUp = wnd;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &DestroyOnceTheBoxShows);
    harness::Drive([&] {
        wnd.Set(id::eName, "alice");
        wnd.Set(id::ePass, "wrong");
        wnd.Press(id::btOk);
        harness::WaitUntil([&] { return !IsWindow(wnd); });
    });
    KillTimer(nullptr, timer);
    EXPECT_TRUE(g_destroyedUnderTheBox);
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_EQ(g_focusCallsAfterwards, 0);
    EXPECT_EQ(recorder.Count(kAccepted) + recorder.Count(kCancelled), 0u);
}

TEST_F(LogonTest, WindowMatchesLayout) {
    harness::SetLastUser("Alice");
    Dialog wnd = Open("alice", "pw", 1);
    ASSERT_NE(wnd, nullptr);
    EXPECT_TRUE(IsWindowVisible(wnd));
    EXPECT_EQ(GetForegroundWindow(), wnd);
    EXPECT_EQ(harness::Text(wnd), "Quillmere Logon");
    char cls[64] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    EXPECT_STREQ(cls, "TVexloLogonWnd");

    const RECT client = harness::ClientRect(wnd);
    EXPECT_EQ(client.right, 411);
    EXPECT_EQ(client.bottom, 237);
    const LONG style = GetWindowLongA(wnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

    harness::ExpectPlaces(wnd, {
        {id::eName, 88, 128, 289, 21, "Alice"},  {id::ePass, 88, 160, 289, 21, ""},
        {id::btOk, 128, 200, 75, 25, "OK"},      {id::btCancel, 208, 200, 75, 25, "Cancel"},
        // Labels are sized to their text in the font at hand: only their place is fixed.
        {id::Label1, 88, 80, -1, -1,
         "This Desktop requires separate Authentication.\r\nPlease enter required Username and Password."},
        {id::Label3, 24, 132, -1, -1, "User Name:"},
        {id::Label2, 32, 164, -1, -1, "Password:"},
    });
    EXPECT_EQ(wnd.Send(id::ePass, EM_GETPASSWORDCHAR), '*');
    EXPECT_TRUE(GetWindowLongA(wnd.Item(id::btOk), GWL_STYLE) & BS_DEFPUSHBUTTON);
    // The name box has the focus, ready for typing.
    EXPECT_EQ(GetFocus(), wnd.Item(id::eName));

    // The banner is painted across the top: not the plain face colour.
    harness::Pump(100);
    HDC dc = GetDC(wnd);
    const COLORREF px = GetPixel(dc, 5, 100);
    ReleaseDC(wnd, dc);
    EXPECT_NE(px, GetSysColor(COLOR_BTNFACE));
}

TEST_F(LogonTest, LastUserOfAnotherTypeReadsAsEmpty) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Brindlecote\\Quillmere", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD number = 7;
    RegSetValueExA(key, "LastUser", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);
    Dialog wnd = Open("x", "y", 1);
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(wnd.Text(id::eName), "");
    // A confirmation writes it back as text.
    EXPECT_FALSE(TryLogon(wnd, "x", "y").shown);
    EXPECT_TRUE(recorder.WaitFor(kAccepted));
    EXPECT_EQ(harness::ReadLastUser(), "x");
}

LONG WINAPI RefuseSetValue(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) { return ERROR_ACCESS_DENIED; }

TEST_F(LogonTest, FailedLastUserWriteIsShownAndNothingIsPosted) {
    Dialog wnd = Open("kim", "pw", 3);
    {
        harness::ImportHook refuse("ADVAPI32.dll", "RegSetValueExA", reinterpret_cast<void*>(&RefuseSetValue));
        ASSERT_TRUE(refuse.Installed());
        const auto seen = TryLogon(wnd, "kim", "pw");
        EXPECT_TRUE(seen.shown);
        EXPECT_EQ(seen.text, "Failed to set data for 'LastUser'");
    }
    // The write comes first: without it the caller hears nothing and may try again.
    harness::Pump(50);
    EXPECT_EQ(recorder.Count(kAccepted), 0u);
    EXPECT_TRUE(wnd.Enabled(id::btOk));
    EXPECT_FALSE(TryLogon(wnd, "kim", "pw").shown);
    EXPECT_TRUE(recorder.WaitFor(kAccepted));
}

TEST_F(LogonTest, NameIgnoresCaseAndStoresCallersSpelling) {
    Dialog wnd = Open("alice", "Secret", 77);
    const auto seen = TryLogon(wnd, "ALICE", "Secret");
    EXPECT_FALSE(seen.shown);
    ASSERT_TRUE(recorder.WaitFor(kAccepted));
    harness::Pump(50);
    const auto msgs = recorder.Messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].wp, 77u);
    EXPECT_EQ(msgs[0].lp, 0);
    EXPECT_EQ(harness::ReadLastUser(), "alice");
    EXPECT_FALSE(wnd.Enabled(id::btOk));
    EXPECT_FALSE(wnd.Enabled(id::btCancel));
    // The window refuses its own WM_CLOSE and stays for the caller to remove.
    EXPECT_TRUE(IsWindow(wnd));
    EXPECT_TRUE(IsWindowVisible(wnd));
}

TEST_F(LogonTest, LocaleAwareUpperCasingOfAccentedNames) {
    Dialog wnd = Open("\xe9mile", "x", 5);  // "émile" in the ANSI code page
    EXPECT_FALSE(TryLogon(wnd, "\xc9MILE", "x").shown);
    EXPECT_TRUE(recorder.WaitFor(kAccepted));
}

TEST_F(LogonTest, RefusalsShowTheWarningAndPostNothing) {
    struct Case {
        const char* name;
        const char* pass;
    };
    // Password in another case; trailing blanks in either box; wrong name with the right
    // password: all refused with the one password message.
    const Case refused[] = {{"bob", "SECRET"}, {"bob ", "secret"}, {"bob", "secret "}, {"rob", "secret"}};
    Dialog wnd = Open("bob", "secret", 9);
    for (const Case& c : refused) {
        const auto seen = TryLogon(wnd, c.name, c.pass);
        EXPECT_TRUE(seen.shown) << c.name << "/" << c.pass;
        EXPECT_EQ(seen.title, "Warning");
        EXPECT_EQ(seen.text, kWrongText);
        // The name stays, the password is selected and focused for retyping.
        EXPECT_EQ(wnd.Text(id::eName), c.name);
        DWORD from = 0, to = 0;
        wnd.Send(id::ePass, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        EXPECT_EQ(from, 0u);
        EXPECT_EQ(to, strlen(c.pass));
        EXPECT_EQ(GetFocus(), wnd.Item(id::ePass));
    }
    harness::Pump(50);
    EXPECT_TRUE(recorder.Messages().empty());
    bool exists = true;
    harness::ReadLastUser(&exists);
    EXPECT_FALSE(exists);
    EXPECT_TRUE(wnd.Enabled(id::btOk));
}

TEST_F(LogonTest, EmptyPasswordMatchesEmptyBox) {
    Dialog wnd = Open("carol", "", 3);
    EXPECT_FALSE(TryLogon(wnd, "carol", "").shown);
    EXPECT_TRUE(recorder.WaitFor(kAccepted));
}

TEST_F(LogonTest, CancelThenCorrectOk) {
    Dialog wnd = Open("dave", "pw", 12);
    harness::Drive([&] { wnd.Press(id::btCancel); });
    ASSERT_TRUE(recorder.WaitFor(kCancelled));
    harness::Pump(50);
    auto msgs = recorder.Messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].wp, static_cast<WPARAM>(-1));
    EXPECT_EQ(msgs[0].lp, 0);
    EXPECT_TRUE(IsWindowVisible(wnd));
    EXPECT_TRUE(wnd.Enabled(id::btOk));
    EXPECT_TRUE(wnd.Enabled(id::btCancel));

    EXPECT_FALSE(TryLogon(wnd, "dave", "pw").shown);
    ASSERT_TRUE(recorder.WaitFor(kAccepted));
    harness::Pump(50);
    msgs = recorder.Messages();
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[1].msg, kAccepted);
    EXPECT_EQ(msgs[1].wp, 12u);
    EXPECT_FALSE(wnd.Enabled(id::btCancel));
}

TEST_F(LogonTest, KeyboardOnTheHostsPlainLoop) {
    Dialog wnd = Open("erin", "pw", 4);
    HWND pass = wnd.Item(id::ePass);
    harness::Drive([&] {
        // Enter in the name box presses OK: wrong password, so the warning comes and the
        // password box takes the focus.
        wnd.Set(id::eName, "erin");
        wnd.Set(id::ePass, "wrong");
        wnd.Key(id::eName, VK_RETURN);
        EXPECT_EQ(harness::AnswerMessageBox(uiThread).text, kWrongText);
        EXPECT_TRUE(harness::WaitUntil([&] { return harness::FocusOf(uiThread) == pass; }));
        // Esc in the password box presses Cancel and leaves the focus there.
        wnd.Key(id::ePass, VK_ESCAPE);
        EXPECT_TRUE(recorder.WaitFor(kCancelled));
        EXPECT_EQ(harness::FocusOf(uiThread), pass);
        // Alt+F4 is refused like every other close request.
        wnd.Key(id::ePass, VK_F4, /*alt=*/true);
        Sleep(200);
        EXPECT_TRUE(IsWindowVisible(wnd));
        // Tab moves on to OK, and Enter there presses it.
        wnd.Set(id::ePass, "pw");
        wnd.Key(id::ePass, VK_TAB);
        EXPECT_TRUE(harness::WaitUntil([&] { return harness::FocusOf(uiThread) == wnd.Item(id::btOk); }));
        wnd.Key(id::btOk, VK_RETURN);
        EXPECT_TRUE(recorder.WaitFor(kAccepted));
    });
    EXPECT_EQ(recorder.Count(kCancelled), 1u);
    EXPECT_EQ(recorder.Count(kAccepted), 1u);
    EXPECT_TRUE(IsWindow(wnd));
}

TEST_F(LogonTest, EnterInPasswordBoxAndOutsideCloseRequestsRefused) {
    Dialog wnd = Open("fay", "pw", 8);
    harness::Drive([&] {
        SendMessageA(wnd, WM_CLOSE, 0, 0);
        wnd.Close();
        Sleep(100);
        EXPECT_TRUE(IsWindowVisible(wnd));
        wnd.Set(id::eName, "FAY");
        wnd.Set(id::ePass, "pw");
        wnd.Key(id::ePass, VK_RETURN);
        EXPECT_TRUE(recorder.WaitFor(kAccepted));
    });
    EXPECT_TRUE(IsWindow(wnd));
}

TEST_F(LogonTest, TwoWindowsAnswerTheirOwnNotifyWindows) {
    Recorder other;
    Dialog a = Open("gil", "1", 100);
    Dialog b = Open("hal", "2", 200, other.hwnd());
    ASSERT_NE(a, b);
    EXPECT_FALSE(TryLogon(b, "hal", "2", other).shown);
    EXPECT_TRUE(other.WaitFor(kAccepted));
    EXPECT_FALSE(TryLogon(a, "gil", "1").shown);
    EXPECT_TRUE(recorder.WaitFor(kAccepted));
    harness::Pump(50);
    ASSERT_EQ(recorder.Messages().size(), 1u);
    ASSERT_EQ(other.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].wp, 100u);
    EXPECT_EQ(other.Messages()[0].wp, 200u);
    EXPECT_FALSE(a.Enabled(id::btOk));
}

TEST_F(LogonTest, StackBalancedAndIconOwned) {
    HICON icon = CopyIcon(LoadIcon(nullptr, IDI_APPLICATION));
    const auto u = harness::Short("ivy"), p = harness::Short("pw");
    const auto r = harness::CallStdcall(
        "Logon", {reinterpret_cast<std::uint32_t>(recorder.hwnd()), reinterpret_cast<std::uint32_t>(icon),
                  reinterpret_cast<std::uint32_t>(u.data()), reinterpret_cast<std::uint32_t>(p.data()), 6});
    EXPECT_EQ(r.stackDelta, 0);
    HWND wnd = reinterpret_cast<HWND>(r.value);
    ASSERT_TRUE(IsWindow(wnd));
    windows.push_back(wnd);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(wnd, WM_GETICON, ICON_BIG, 0)), icon);
    DestroyWindow(wnd);
    // The window destroyed the icon it was given.
    ICONINFO info{};
    EXPECT_FALSE(GetIconInfo(icon, &info));
}

TEST_F(LogonTest, BadInputNeitherCrashesNorLeaks) {
    auto logon = harness::Proc<HWND(WINAPI*)(HWND, HICON, const BYTE*, const BYTE*, LONG)>("Logon");
    // Null strings read as empty; an invalid icon gives no icon; an invalid notify
    // window makes the posts fail silently.
    Dialog wnd = logon(reinterpret_cast<HWND>(0xDEAD0), reinterpret_cast<HICON>(0x1234), nullptr, nullptr, 1);
    ASSERT_NE(wnd, nullptr);
    windows.push_back(wnd);
    EXPECT_EQ(SendMessageA(wnd, WM_GETICON, ICON_BIG, 0), 0);
    harness::Drive([&] {
        wnd.Set(id::eName, "");
        wnd.Set(id::ePass, "");
        wnd.Press(id::btOk);
        EXPECT_TRUE(harness::WaitUntil([&] { return !wnd.Enabled(id::btOk); }));
    });
    bool exists = false;
    EXPECT_EQ(harness::ReadLastUser(&exists), "");
    EXPECT_TRUE(exists);

    // A full 255-byte name is compared whole.
    const std::string longName(255, 'n');
    Dialog full = Open(longName.c_str(), "p", 2);
    EXPECT_FALSE(TryLogon(full, std::string(255, 'N').c_str(), "p").shown);
    EXPECT_TRUE(recorder.WaitFor(kAccepted));
    EXPECT_EQ(harness::ReadLastUser(), longName);
}

}  // namespace
