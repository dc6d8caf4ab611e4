// The new user name and password dialog through the real exports: layout, what it opens
// with, the retyping rule, what goes back to the caller and into "LastUser", ownership of
// later windows, and bad input.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "dialogs/newpass_ids.h"
#include "harness.h"

namespace {

namespace id = vexlo::newpass_ids;
using harness::Dialog;
using harness::Recorder;

constexpr const char* kClass = "TformNewPass";
using GetNewPasswordFn = BOOL(WINAPI*)(HWND, HICON, BYTE*, BYTE*);
using GetNewPasswordThrdFn = BOOL(WINAPI*)(HICON, BYTE*, BYTE*);
using LogonFn = HWND(WINAPI*)(HWND, HICON, const BYTE*, const BYTE*, LONG);
using ShowAboutFn = HWND(WINAPI*)(HICON, DWORD, const char*, DWORD);

LONG WINAPI RefuseSetValue(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) { return ERROR_ACCESS_DENIED; }

class NewPassTest : public ::testing::Test {
protected:
    void SetUp() override {
        harness::DeleteProductKey();
        getNewPassword = harness::Proc<GetNewPasswordFn>("GetNewPassword");
        getNewPasswordThrd = harness::Proc<GetNewPasswordThrdFn>("GetNewPasswordThrd");
        ASSERT_NE(getNewPassword, nullptr);
        ASSERT_NE(getNewPasswordThrd, nullptr);
    }
    void TearDown() override {
        for (HWND w : windows)
            if (IsWindow(w)) DestroyWindow(w);
        harness::Pump(20);
    }

    // Through GetNewPassword when an owner is named, else through the unowned variant,
    // which leaves the library's state alone.
    std::uint32_t Ask(HWND owner, std::vector<BYTE>& user, std::vector<BYTE>& pass,
                      const std::function<void(Dialog)>& drive) {
        return harness::RunModalDialog(
            kClass,
            [&] {
                return owner ? getNewPassword(owner, nullptr, user.data(), pass.data())
                             : getNewPasswordThrd(nullptr, user.data(), pass.data());
            },
            drive);
    }
    std::uint32_t Ask(std::vector<BYTE>& user, std::vector<BYTE>& pass, const std::function<void(Dialog)>& drive) {
        return Ask(nullptr, user, pass, drive);
    }

    HWND OpenLogon(HWND notify) {
        const auto u = harness::Short("u"), p = harness::Short("p");
        HWND w = harness::Proc<LogonFn>("Logon")(notify, nullptr, u.data(), p.data(), 1);
        windows.push_back(w);
        return w;
    }

    GetNewPasswordFn getNewPassword = nullptr;
    GetNewPasswordThrdFn getNewPasswordThrd = nullptr;
    std::vector<HWND> windows;
};

TEST_F(NewPassTest, LayoutAndProposalShownMaskedWithOkDisabled) {
    harness::SetLastUser("Alice");
    auto user = harness::Short("bob"), pass = harness::Short("s3cret");
    const auto userBefore = user, passBefore = pass;
    const std::uint32_t result = Ask(user, pass, [&](Dialog dlg) {
        EXPECT_EQ(harness::Text(dlg), "Enter new user name and password...");
        const RECT client = harness::ClientRect(dlg);
        EXPECT_EQ(client.right, 261);
        EXPECT_EQ(client.bottom, 169);
        const LONG style = GetWindowLongA(dlg, GWL_STYLE);
        EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION);
        EXPECT_TRUE(style & WS_SYSMENU);
        EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
        EXPECT_TRUE(GetWindowLongA(dlg, GWL_EXSTYLE) & WS_EX_TOPMOST);
        harness::ExpectCentredOnDesktop(dlg);
        harness::ExpectPlaces(dlg, {
            {id::eUser, 8, 24, 241, 21, "bob"},    {id::ePass1, 8, 64, 241, 21, "s3cret"},
            {id::ePass2, 8, 104, 241, 21, "s3cret"}, {id::btOK, 48, 136, 75, 25, "OK"},
            {id::btCancel, 136, 136, 75, 25, "Cancel"},
        });
        // Each caption sits just above its box.
        const std::pair<int, int> captions[] = {{id::lUser, id::eUser}, {id::lPass1, id::ePass1}, {id::lPass2, id::ePass2}};
        const char* texts[] = {"User name", "Password", "Retype password"};
        for (int i = 0; i < 3; ++i) {
            const RECT l = harness::ChildRect(dlg.Item(captions[i].first));
            const RECT e = harness::ChildRect(dlg.Item(captions[i].second));
            EXPECT_EQ(dlg.Text(captions[i].first), texts[i]);
            EXPECT_EQ(l.left, 8);
            EXPECT_LE(l.bottom, e.top);
            EXPECT_GE(l.top, e.top - 20);
        }
        EXPECT_EQ(dlg.Send(id::eUser, EM_GETPASSWORDCHAR), 0);
        EXPECT_EQ(dlg.Send(id::ePass1, EM_GETPASSWORDCHAR), '*');
        EXPECT_EQ(dlg.Send(id::ePass2, EM_GETPASSWORDCHAR), '*');
        EXPECT_TRUE(GetWindowLongA(dlg.Item(id::btOK), GWL_STYLE) & BS_DEFPUSHBUTTON);
        EXPECT_FALSE(dlg.Enabled(id::btOK));
        EXPECT_TRUE(dlg.Enabled(id::btCancel));
        // Tab order: the three boxes, then the buttons (OK is skipped while disabled).
        EXPECT_EQ(dlg.Focused(), dlg.Item(id::eUser));
        harness::ExpectTabOrder(dlg, {id::eUser, id::ePass1, id::ePass2, id::btCancel});
        // Enter presses nothing while OK is disabled.
        dlg.Key(id::eUser, VK_RETURN);
        Sleep(200);
        EXPECT_TRUE(IsWindowVisible(dlg));
        dlg.Press(id::btCancel);
    });
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(user, userBefore);
    EXPECT_EQ(pass, passBefore);
    EXPECT_EQ(harness::ReadLastUser(), "Alice");
}

TEST_F(NewPassTest, EmptyNameDropsProposedPasswordAndShowsLastUser) {
    harness::SetLastUser("Alice");
    auto user = harness::Short(""), pass = harness::Short("dropped");
    const auto passBefore = pass;
    EXPECT_EQ(Ask(user, pass, [&](Dialog dlg) {
                  EXPECT_EQ(dlg.Text(id::eUser), "Alice");
                  EXPECT_EQ(dlg.Text(id::ePass1), "");
                  EXPECT_EQ(dlg.Text(id::ePass2), "");
                  EXPECT_FALSE(dlg.Enabled(id::btOK));
                  // The close box is a Cancel.
                  dlg.Close();
              }),
              0u);
    EXPECT_EQ(user[0], 0);
    EXPECT_EQ(pass, passBefore);

    // Confirmed as it stands: the proposed password does not come back.
    EXPECT_EQ(Ask(user, pass, [&](Dialog dlg) {
                  dlg.Type(id::eUser, "Z");
                  EXPECT_TRUE(dlg.Enabled(id::btOK));
                  dlg.Press(id::btOK);
              }),
              1u);
    EXPECT_EQ(harness::FromShort(user.data()), "AliceZ");
    EXPECT_EQ(harness::FromShort(pass.data()), "");
}

TEST_F(NewPassTest, RetypingRuleAndExactComparison) {
    auto user = harness::Short("bob"), pass = harness::Short("pw");
    EXPECT_EQ(Ask(user, pass, [&](Dialog dlg) {
                  EXPECT_FALSE(dlg.Enabled(id::btOK));
                  // A change of the name re-checks the complete proposal.
                  dlg.Type(id::eUser, "X");
                  EXPECT_TRUE(dlg.Enabled(id::btOK));
                  // Any change of the first password empties the second and disables OK.
                  dlg.Type(id::ePass1, "d");
                  EXPECT_EQ(dlg.Text(id::ePass2), "");
                  EXPECT_FALSE(dlg.Enabled(id::btOK));
                  dlg.Set(id::ePass1, "S\xe9" "cret");
                  EXPECT_FALSE(dlg.Enabled(id::btOK));
                  struct Step {
                      const char* second;
                      bool enabled;
                  };
                  // Letters differing in case only, accented ones too, do not match;
                  // neither does a trailing blank.
                  const Step steps[] = {{"s\xe9" "cret", false}, {"S\xc9" "cret", false},
                                        {"S\xe9" "cret ", false}, {"S\xe9" "cret", true}};
                  for (const Step& s : steps) {
                      dlg.Set(id::ePass2, s.second);
                      EXPECT_EQ(dlg.Enabled(id::btOK), s.enabled) << s.second;
                  }
                  // Typing in the first box after a match: retype needed again.
                  dlg.Type(id::ePass1, "!");
                  EXPECT_EQ(dlg.Text(id::ePass2), "");
                  EXPECT_FALSE(dlg.Enabled(id::btOK));
                  dlg.Type(id::ePass2, "S\xe9" "cret!");
                  EXPECT_TRUE(dlg.Enabled(id::btOK));
                  dlg.Set(id::eUser, "Carol Ann");
                  EXPECT_TRUE(dlg.Enabled(id::btOK));
                  dlg.Press(id::btOK);
              }),
              1u);
    EXPECT_EQ(harness::FromShort(user.data()), "Carol Ann");
    EXPECT_EQ(harness::FromShort(pass.data()), "S\xe9" "cret!");
    EXPECT_EQ(harness::ReadLastUser(), "Carol Ann");
}

TEST_F(NewPassTest, EmptyPasswordsConfirmedByEnter) {
    auto user = harness::Short(""), pass = harness::Short("");
    EXPECT_EQ(Ask(user, pass, [&](Dialog dlg) {
                  EXPECT_EQ(dlg.Text(id::eUser), "");
                  EXPECT_FALSE(dlg.Enabled(id::btOK));
                  dlg.Type(id::eUser, "dave");
                  EXPECT_TRUE(dlg.Enabled(id::btOK));
                  dlg.Key(id::eUser, VK_RETURN);
              }),
              1u);
    EXPECT_EQ(harness::FromShort(user.data()), "dave");
    EXPECT_EQ(pass[0], 0);
    EXPECT_EQ(harness::ReadLastUser(), "dave");
}

TEST_F(NewPassTest, EscCancelsAndLongTextIsCutTo255) {
    harness::SetLastUser("keep");
    auto user = harness::Short("eve"), pass = harness::Short("pw");
    const auto userBefore = user;
    EXPECT_EQ(Ask(user, pass, [&](Dialog dlg) {
                  dlg.Type(id::eUser, "z");
                  dlg.Key(id::eUser, VK_ESCAPE);
              }),
              0u);
    EXPECT_EQ(user, userBefore);
    EXPECT_EQ(harness::ReadLastUser(), "keep");

    // Buffers of exactly 256 bytes followed by guard bytes that must survive.
    std::vector<BYTE> u(300, 0xAB), p(300, 0xAB);
    u[0] = p[0] = 0;
    const std::string longUser(300, 'u'), longPass(400, 'p');
    EXPECT_EQ(Ask(u, p, [&](Dialog dlg) {
                  dlg.Set(id::eUser, longUser);
                  dlg.Set(id::ePass1, longPass);
                  dlg.Set(id::ePass2, longPass);
                  dlg.Press(id::btOK);
              }),
              1u);
    EXPECT_EQ(harness::FromShort(u.data()), std::string(255, 'u'));
    EXPECT_EQ(harness::FromShort(p.data()), std::string(255, 'p'));
    for (size_t i = 256; i < 300; ++i) {
        EXPECT_EQ(u[i], 0xAB) << i;
        EXPECT_EQ(p[i], 0xAB) << i;
    }
    // The last user is the name as typed, whole.
    EXPECT_EQ(harness::ReadLastUser(), longUser);
}

TEST_F(NewPassTest, GetNewPasswordOwnsLaterWindows) {
    Recorder owner, other;
    auto user = harness::Short("a"), pass = harness::Short("b");
    EXPECT_EQ(Ask(owner.hwnd(), user, pass, [&](Dialog dlg) {
                  EXPECT_EQ(GetWindow(dlg, GW_OWNER), owner.hwnd());
                  // The owner waits while the dialog is up.
                  EXPECT_FALSE(IsWindowEnabled(owner.hwnd()));
                  dlg.Press(id::btCancel);
              }),
              0u);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));

    HWND logon = OpenLogon(other.hwnd());
    ASSERT_NE(logon, nullptr);
    EXPECT_EQ(GetWindow(logon, GW_OWNER), owner.hwnd());
    HWND about = harness::Proc<ShowAboutFn>("ShowAbout")(nullptr, 1, "1", 0);
    windows.push_back(about);
    EXPECT_EQ(GetWindow(about, GW_OWNER), owner.hwnd());

    // A refused call (null buffer) changes nothing, the owner included.
    EXPECT_EQ(getNewPassword(other.hwnd(), nullptr, nullptr, pass.data()), FALSE);
    EXPECT_EQ(GetWindow(OpenLogon(other.hwnd()), GW_OWNER), owner.hwnd());
}

TEST_F(NewPassTest, ThreadVariantHasNoOwnerAndLeavesOwnershipAlone) {
    Recorder owner;
    auto user = harness::Short("a"), pass = harness::Short("b");
    Ask(owner.hwnd(), user, pass, [&](Dialog dlg) { dlg.Press(id::btCancel); });
    EXPECT_EQ(Ask(user, pass, [&](Dialog dlg) {
                  EXPECT_EQ(GetWindow(dlg, GW_OWNER), nullptr);
                  EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
                  dlg.Press(id::btCancel);
              }),
              0u);
    HWND logon = OpenLogon(owner.hwnd());
    EXPECT_EQ(GetWindow(logon, GW_OWNER), owner.hwnd());
}

TEST_F(NewPassTest, StackBalanceIconAndNullBuffers) {
    Recorder owner;
    auto user = harness::Short("u"), pass = harness::Short("p");
    const auto addr = [](const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<uintptr_t>(p)); };
    HICON icon = CopyIcon(LoadIcon(nullptr, IDI_APPLICATION));
    harness::StdcallResult r{};
    harness::RunModalDialog(
        kClass,
        [&] {
            r = harness::CallStdcall("GetNewPassword", {addr(owner.hwnd()), addr(icon), addr(user.data()), addr(pass.data())});
            return r.value;
        },
        [&](Dialog dlg) {
            EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(dlg, WM_GETICON, ICON_BIG, 0)), icon);
            dlg.Type(id::eUser, "2");
            dlg.Press(id::btOK);
        });
    EXPECT_EQ(r.stackDelta, 0);
    EXPECT_EQ(r.value, 1u);  // a 32-bit boolean: exactly 1
    EXPECT_EQ(harness::FromShort(user.data()), "u2");
    ICONINFO info{};
    EXPECT_FALSE(GetIconInfo(icon, &info));  // the dialog destroyed the icon it took over

    // An invalid icon handle gives a dialog without an icon.
    harness::RunModalDialog(
        kClass,
        [&] {
            r = harness::CallStdcall("GetNewPasswordThrd", {0x1234, addr(user.data()), addr(pass.data())});
            return r.value;
        },
        [&](Dialog dlg) {
            EXPECT_EQ(SendMessageA(dlg, WM_GETICON, ICON_BIG, 0), 0);
            dlg.Press(id::btCancel);
        });
    EXPECT_EQ(r.stackDelta, 0);
    EXPECT_EQ(r.value, 0u);

    // Null buffers: 0 at once, no dialog, both exports still balanced.
    const std::uint32_t nulls[][2] = {{0, addr(pass.data())}, {addr(user.data()), 0}, {0, 0}};
    for (const auto& n : nulls) {
        r = harness::CallStdcall("GetNewPassword", {addr(owner.hwnd()), 0, n[0], n[1]});
        EXPECT_EQ(r.stackDelta, 0);
        EXPECT_EQ(r.value, 0u);
        r = harness::CallStdcall("GetNewPasswordThrd", {0, n[0], n[1]});
        EXPECT_EQ(r.stackDelta, 0);
        EXPECT_EQ(r.value, 0u);
    }
    EXPECT_EQ(harness::FindThreadWindow(GetCurrentThreadId(), kClass), nullptr);
    EXPECT_EQ(harness::FromShort(user.data()), "u2");
    // The icon was handed over with the refused call all the same.
    HICON given = CopyIcon(LoadIcon(nullptr, IDI_APPLICATION));
    EXPECT_EQ(getNewPasswordThrd(given, nullptr, pass.data()), FALSE);
    EXPECT_FALSE(GetIconInfo(given, &info));
}

TEST_F(NewPassTest, FailedLastUserWriteKeepsDialogOpenAndReportsNothingWritten) {
    harness::SetLastUser("Alice");
    auto user = harness::Short("bob"), pass = harness::Short("pw");
    const auto userBefore = user, passBefore = pass;
    const DWORD ui = GetCurrentThreadId();
    std::uint32_t result = 0;
    {
        harness::ImportHook refuse("ADVAPI32.dll", "RegSetValueExA", reinterpret_cast<void*>(&RefuseSetValue));
        ASSERT_TRUE(refuse.Installed());
        result = Ask(user, pass, [&](Dialog dlg) {
            dlg.Set(id::eUser, "mallory");
            dlg.Press(id::btOK);
            const auto seen = harness::AnswerMessageBox(ui);
            EXPECT_TRUE(seen.shown);
            EXPECT_EQ(seen.title, "Error");
            EXPECT_EQ(seen.text, "Failed to set data for 'LastUser'");
            // The dialog stays, with what was typed, for another try or Cancel.
            Sleep(100);
            EXPECT_TRUE(IsWindowVisible(dlg));
            EXPECT_EQ(dlg.Text(id::eUser), "mallory");
            dlg.Press(id::btCancel);
        });
    }
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(user, userBefore);
    EXPECT_EQ(pass, passBefore);
    EXPECT_EQ(harness::ReadLastUser(), "Alice");
}

}  // namespace
