// The RDP settings dialog through the real export: layout, what each control writes,
// the enabled states, OK, the port box, what goes back to the caller and what does not.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>

#include "harness.h"
#include "remote/rdp_ids.h"
#include "shared/remote_records.h"

namespace {

namespace id = vexlo::rdp_ids;
using vexlo::ShortString;
using vexlo::TRDPSettings;
using harness::Dialog;

constexpr const char* kClass = "TformRDPSettings";

// A record whose every byte is known: a pattern, then valid values in the fields the
// dialog shows. The bytes beyond each string's text stay pattern.
TRDPSettings PatternRecord() {
    TRDPSettings s;
    auto* b = reinterpret_cast<BYTE*>(&s);
    for (size_t i = 0; i < sizeof s; ++i) b[i] = static_cast<BYTE>(i * 7 + 3);
    auto put = [](ShortString& f, const char* text) {
        f.length = static_cast<std::uint8_t>(std::strlen(text));
        std::memcpy(f.text.data(), text, f.length);
    };
    put(s.Server, "rdp.example");
    put(s.UserName, "alice");
    put(s.Domain, "CORP");
    put(s.Password, "pw");
    put(s.Shell, "explorer.exe");
    s.DefaultShell = 0;
    s.FullScreen = 0;
    s.DeskSize = 0;
    s.ColorDepth = 2;
    s.RedirectSound = 1;
    s.RedirectDrives = 0;
    s.RedirectPrinters = 1;
    s.RedirectPorts = 0;
    return s;
}

std::uint32_t Edit(TRDPSettings& s, WORD& port, const std::function<void(Dialog)>& drive) {
    auto fn = harness::Proc<BOOL(WINAPI*)(TRDPSettings*, WORD*)>("GetRDPSettings");
    return harness::RunModalDialog(kClass, [&] { return static_cast<std::uint32_t>(fn(&s, &port)) & 0xFF; }, drive);
}

bool SameBytes(const TRDPSettings& a, const TRDPSettings& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(RdpDialog, LayoutTextsAndLook) {
    TRDPSettings s = PatternRecord();
    WORD port = 3389;
    const std::uint32_t result = Edit(s, port, [&](Dialog dlg) {
        EXPECT_EQ(harness::Text(dlg), "RDP Settings");
        const RECT client = harness::ClientRect(dlg);
        EXPECT_EQ(client.right, 403);
        EXPECT_EQ(client.bottom, 575);
        const LONG style = GetWindowLongA(dlg, GWL_STYLE);
        EXPECT_TRUE(style & WS_SYSMENU);
        EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
        EXPECT_NE(SendMessageA(dlg, WM_GETICON, ICON_SMALL, 0), 0);

        // Positions in the form: group boxes' origins added to their controls'.
        harness::ExpectPlaces(dlg, {
            {id::gbConnection, 8, 8, 305, 145, "Connection settings"},
            {id::eServer, 80, 24, 125, 21, "rdp.example"},
            {id::sePort, 236, 24, 69, 22, "3389"},
            {id::eUser, 80, 56, 169, 21, "alice"},
            {id::eDomain, 80, 88, 169, 21, "CORP"},
            {id::ePass, 80, 120, 169, 21, "pw"},
            {id::gbShell, 8, 160, 305, 73, "Shell"},
            {id::cbShell, 16, 176, 225, 17, "Use default shell application"},
            {id::eShell, 48, 200, 257, 21, "explorer.exe"},
            {id::gbScreen, 8, 240, 305, 137, "Screen settings"},
            {id::cbFull, 16, 256, 289, 17, "Start on Full Screen mode"},
            {id::cbDeskSize, 16, 304, 289, -1, nullptr},
            {id::cbColor, 16, 344, 289, -1, "16 bit"},
            {id::gbResources, 8, 384, 305, 113, "Resources"},
            {id::cbSound, 16, 400, -1, -1, "Redirect sound"},
            {id::cbDrives, 16, 424, -1, -1, "Redirect drives"},
            {id::cbPrint, 16, 448, -1, -1, "Redirect printers"},
            {id::cbPorts, 16, 472, -1, -1, "Redirect ports"},
            {id::btOK, 320, 8, 75, 25, "OK"},
            {id::btCancel, 320, 40, 75, 25, "Cancel"},
            {id::Label8, 16, 28, -1, -1, "Server:"},
            {id::Label1, 208, 28, -1, -1, "Port:"},
            {id::Label12, 16, 204, -1, -1, "Shell:"},
            {id::Label13, 16, 288, -1, -1, "Remote desktop size"},
            {id::Label14, 16, 328, -1, -1, "Color depth"},
            {id::Label2, 64, 504, -1, -1,
             "Microsoft RDP Client 5.2 or later is required\r\n(Included with Windows XP SP2)\r\n\r\n\r\n"
             "RDP and Microsoft are registred tradmarks of Microsoft Corporation"},
            {id::lRDP, 64, 536, -1, -1, "Click here to download the latest version"},
        });
        // Group boxes only frame their controls: every control is the form's own child.
        for (int c : {id::eServer, id::sePort, id::eShell, id::cbFull, id::cbDeskSize, id::cbPorts})
            EXPECT_EQ(GetParent(dlg.Item(c)), dlg) << c;
        for (int edit : {id::eServer, id::eUser, id::eDomain, id::ePass, id::eShell})
            EXPECT_EQ(dlg.Send(edit, EM_GETLIMITTEXT), 255) << edit;
        EXPECT_EQ(dlg.Send(id::ePass, EM_GETPASSWORDCHAR), '*');
        EXPECT_TRUE(GetWindowLongA(dlg.Item(id::btOK), GWL_STYLE) & BS_DEFPUSHBUTTON);

        // Both lists are drop-down lists drawn by the form with 16-pixel items.
        for (int list : {id::cbDeskSize, id::cbColor}) {
            const LONG ls = GetWindowLongA(dlg.Item(list), GWL_STYLE);
            EXPECT_EQ(ls & 3, CBS_DROPDOWNLIST) << list;
            EXPECT_TRUE(ls & CBS_OWNERDRAWFIXED) << list;
            EXPECT_EQ(dlg.Send(list, CB_GETITEMHEIGHT), 16) << list;
        }
        const char* depths[] = {"8 bit", "15 bit", "16 bit", "24 bit"};
        ASSERT_EQ(dlg.Count(id::cbColor), 4);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(dlg.ItemText(id::cbColor, i), depths[i]);
        // Every entry of the size list reads "W x H".
        for (int i = 0; i < dlg.Count(id::cbDeskSize); ++i) {
            const std::string size = dlg.ItemText(id::cbDeskSize, i);
            unsigned w = 0, h = 0;
            EXPECT_EQ(std::sscanf(size.c_str(), "%u x %u", &w, &h), 2) << size;
            EXPECT_GE(w, 640u);
            EXPECT_GE(h, 480u);
        }

        // Tab order through the groups, then the buttons (OK is disabled at first).
        harness::ExpectTabOrder(dlg, {id::eServer, id::sePort, id::eUser, id::eDomain, id::ePass, id::cbShell,
                                      id::eShell, id::cbFull, id::cbDeskSize, id::cbColor, id::cbSound, id::cbDrives,
                                      id::cbPrint, id::cbPorts, id::btCancel, id::lRDP, id::eServer});

        // The warning icon is painted at its place.
        harness::WaitUntil([] { return false; }, 200);
        HDC dc = GetDC(dlg);
        int painted = 0;
        for (int y = 512; y < 544; y += 2)
            for (int x = 16; x < 48; x += 2) painted += GetPixel(dc, x, y) != GetSysColor(COLOR_BTNFACE);
        ReleaseDC(dlg, dc);
        EXPECT_GT(painted, 50);
        dlg.Press(id::btCancel);
    });
    EXPECT_EQ(result, 0u);  // cancelled
}

TEST(RdpDialog, CompleteSettingsKeepOkDisabledUntilAChange) {
    TRDPSettings s = PatternRecord();
    const TRDPSettings before = s;
    WORD port = 3390;
    const std::uint32_t result = Edit(s, port, [&](Dialog dlg) {
        ASSERT_GT(dlg.Count(id::cbDeskSize), 0) << "the display offers no usable mode";
        EXPECT_FALSE(dlg.Enabled(id::btOK));
        EXPECT_EQ(dlg.Selection(id::cbDeskSize), 0);
        EXPECT_EQ(dlg.Selection(id::cbColor), 2);
        EXPECT_TRUE(dlg.Enabled(id::eShell));
        EXPECT_TRUE(dlg.Enabled(id::cbDeskSize));
        EXPECT_FALSE(dlg.Checked(id::cbShell));
        EXPECT_TRUE(dlg.Checked(id::cbSound));
        EXPECT_FALSE(dlg.Checked(id::cbDrives));
        // A character typed and taken back again is a change.
        dlg.Type(id::eDomain, "X\b");
        EXPECT_EQ(dlg.Text(id::eDomain), "CORP");
        EXPECT_TRUE(dlg.Enabled(id::btOK));
        dlg.Press(id::btOK);
    });
    EXPECT_EQ(result, 1u);
    // Only what a string's writes touched differs: the typed character beyond the text.
    TRDPSettings expected = before;
    expected.Domain.text[4] = 'X';
    EXPECT_TRUE(SameBytes(s, expected));
    EXPECT_EQ(s.Domain.Str(), "CORP");
    EXPECT_EQ(port, 3390);
}

TEST(RdpDialog, FullScreenWithoutAValidSize) {
    TRDPSettings s = PatternRecord();
    s.FullScreen = 1;
    s.DeskSize = 65535;
    WORD port = 3389;
    const std::uint32_t result = Edit(s, port, [&](Dialog dlg) {
        EXPECT_FALSE(dlg.Enabled(id::cbDeskSize));
        EXPECT_EQ(dlg.Selection(id::cbDeskSize), -1);
        // The size is required even with full screen: no server text enables OK.
        dlg.Set(id::eServer, "other");
        EXPECT_FALSE(dlg.Enabled(id::btOK));
        dlg.Click(id::cbFull);
        EXPECT_TRUE(dlg.Enabled(id::cbDeskSize));
        EXPECT_FALSE(dlg.Enabled(id::btOK));
        if (dlg.Count(id::cbDeskSize) == 0) return dlg.Press(id::btCancel);
        dlg.Pick(id::cbDeskSize, dlg.Count(id::cbDeskSize) - 1);
        EXPECT_TRUE(dlg.Enabled(id::btOK));
        // Unselected colour depth: OK goes again.
        dlg.Pick(id::cbColor, -1);
        EXPECT_FALSE(dlg.Enabled(id::btOK));
        dlg.Pick(id::cbColor, 3);
        dlg.Set(id::eServer, "");
        EXPECT_FALSE(dlg.Enabled(id::btOK));
        dlg.Set(id::eServer, "final");
        dlg.Press(id::btOK);
    });
    ASSERT_EQ(result, 1u);
    EXPECT_EQ(s.FullScreen, 0);
    EXPECT_NE(s.DeskSize, 65535);
    EXPECT_EQ(s.ColorDepth, 3);
    EXPECT_EQ(s.Server.Str(), "final");
}

TEST(RdpDialog, OutOfRangeIndexesShowNoSelection) {
    TRDPSettings s = PatternRecord();
    s.DeskSize = 4000;
    s.ColorDepth = 4;
    WORD port = 1;
    EXPECT_EQ(Edit(s, port, [&](Dialog dlg) {
                  EXPECT_EQ(dlg.Selection(id::cbDeskSize), -1);
                  EXPECT_EQ(dlg.Selection(id::cbColor), -1);
                  dlg.Type(id::eServer, "x");
                  EXPECT_FALSE(dlg.Enabled(id::btOK));
                  dlg.Press(id::btCancel);
              }),
              0u);
}

TEST(RdpDialog, DefaultShellKeepsAndReturnsTheShellText) {
    TRDPSettings s = PatternRecord();
    s.DefaultShell = 1;
    WORD port = 3389;
    const std::uint32_t result = Edit(s, port, [&](Dialog dlg) {
        EXPECT_TRUE(dlg.Checked(id::cbShell));
        EXPECT_FALSE(dlg.Enabled(id::eShell));
        EXPECT_EQ(dlg.Text(id::eShell), "explorer.exe");
        // Clearing and setting the box again switches the shell box with it.
        dlg.Click(id::cbShell);
        EXPECT_TRUE(dlg.Enabled(id::eShell));
        dlg.Click(id::cbShell);
        EXPECT_FALSE(dlg.Enabled(id::eShell));
        dlg.Press(id::btOK);
    });
    ASSERT_EQ(result, 1u);
    EXPECT_EQ(s.DefaultShell, 1);
    EXPECT_EQ(s.Shell.Str(), "explorer.exe");
}

TEST(RdpDialog, CancelEscAndCloseBoxAfterEditsLeaveRecordAndPort) {
    const std::function<void(Dialog)> closers[] = {
        [](Dialog dlg) { dlg.Press(id::btCancel); },
        [](Dialog dlg) { dlg.Key(id::eServer, VK_ESCAPE); },
        [](Dialog dlg) { dlg.Close(); },
    };
    for (const auto& close : closers) {
        TRDPSettings s = PatternRecord();
        const TRDPSettings before = s;
        WORD port = 3389;
        const std::uint32_t result = Edit(s, port, [&](Dialog dlg) {
            dlg.Set(id::eServer, "changed");
            dlg.Set(id::sePort, "8080");
            dlg.Click(id::cbPorts);
            dlg.Pick(id::cbColor, 0);
            EXPECT_TRUE(dlg.Enabled(id::btOK));
            SetFocus(dlg.Item(id::eServer));
            close(dlg);
        });
        EXPECT_EQ(result, 0u);
        EXPECT_TRUE(SameBytes(s, before));
        EXPECT_EQ(port, 3389);
    }
}

TEST(RdpDialog, OkWritesEveryByteAndThePort) {
    TRDPSettings s = PatternRecord();
    TRDPSettings expected = s;
    WORD port = 3389;
    const std::uint32_t result = Edit(s, port, [&](Dialog dlg) {
        dlg.Set(id::eUser, "bob");
        dlg.Click(id::cbPorts);
        dlg.Click(id::cbSound);
        dlg.Pick(id::cbColor, 3);
        dlg.Set(id::sePort, "8080");
        dlg.Press(id::btOK);
    });
    ASSERT_EQ(result, 1u);
    // Only the length byte and text of a string are written: the pattern beyond stays.
    expected.UserName.length = 3;
    std::memcpy(expected.UserName.text.data(), "bob", 3);
    expected.RedirectPorts = 1;
    expected.RedirectSound = 0;
    expected.ColorDepth = 3;
    EXPECT_TRUE(SameBytes(s, expected));
    EXPECT_EQ(port, 8080);
}

TEST(RdpDialog, PortBoxTypingArrowsAndClamping) {
    TRDPSettings s = PatternRecord();
    WORD port = 3389;
    // Typed above 65535 and left: the box shows 65535, and that is what OK returns.
    std::uint32_t result = Edit(s, port, [&](Dialog dlg) {
        EXPECT_TRUE(dlg.Focus(id::sePort));
        dlg.Set(id::sePort, "");
        dlg.Type(id::sePort, "7a0x0 00");  // letters and blanks are refused
        EXPECT_EQ(dlg.Text(id::sePort), "70000");
        dlg.Focus(id::eUser);
        EXPECT_TRUE(harness::WaitUntil([&] { return dlg.Text(id::sePort) == "65535"; }));
        // The arrows step by one and stop at the ends.
        dlg.Send(id::sePort, WM_KEYDOWN, VK_UP, 1);
        EXPECT_EQ(dlg.Text(id::sePort), "65535");
        dlg.Send(id::sePort, WM_KEYDOWN, VK_DOWN, 1);
        EXPECT_EQ(dlg.Text(id::sePort), "65534");
        dlg.Press(id::btOK);
    });
    EXPECT_EQ(result, 1u);
    EXPECT_EQ(port, 65534);

    // Typed above 65535 and Enter pressed in the box: still 65535, not the number cut to
    // 16 bits.
    port = 3389;
    result = Edit(s, port, [&](Dialog dlg) {
        EXPECT_TRUE(dlg.Focus(id::sePort));
        dlg.Set(id::sePort, "70000");
        dlg.Key(id::sePort, VK_RETURN);
    });
    EXPECT_EQ(result, 1u);
    EXPECT_EQ(port, 65535);

    // The arrow buttons: up from 0, and text that is no number counts as 0.
    port = 0;
    result = Edit(s, port, [&](Dialog dlg) {
        HWND arrows = GetWindow(dlg.Item(id::sePort), GW_CHILD);
        ASSERT_NE(arrows, nullptr);
        RECT r;
        GetClientRect(arrows, &r);
        SendMessageA(arrows, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right / 2, r.bottom / 4));
        SendMessageA(arrows, WM_LBUTTONUP, 0, MAKELPARAM(r.right / 2, r.bottom / 4));
        EXPECT_EQ(dlg.Text(id::sePort), "1");
        dlg.Set(id::sePort, "-");
        dlg.Press(id::btOK);
    });
    EXPECT_EQ(result, 1u);
    EXPECT_EQ(port, 0);
}

TEST(RdpDialog, NullPointersAndFullStrings) {
    auto fn = harness::Proc<BOOL(WINAPI*)(TRDPSettings*, WORD*)>("GetRDPSettings");
    TRDPSettings s = PatternRecord();
    const TRDPSettings before = s;
    WORD port = 77;
    // No dialog at all: the calls return at once on this thread.
    EXPECT_EQ(fn(nullptr, &port) & 0xFF, 0);
    EXPECT_EQ(fn(&s, nullptr) & 0xFF, 0);
    EXPECT_EQ(fn(nullptr, nullptr) & 0xFF, 0);
    EXPECT_EQ(harness::FindThreadWindow(GetCurrentThreadId(), kClass), nullptr);
    EXPECT_TRUE(SameBytes(s, before));
    EXPECT_EQ(port, 77);

    // Full 255-byte texts show whole and come back intact.
    for (ShortString* f : {&s.Server, &s.UserName, &s.Domain, &s.Password, &s.Shell}) {
        f->length = 255;
        for (int i = 0; i < 255; ++i) f->text[i] = static_cast<char>('a' + (i * 5 + f->length) % 26);
    }
    const TRDPSettings full = s;
    const std::uint32_t result = Edit(s, port, [&](Dialog dlg) {
        EXPECT_EQ(dlg.Text(id::eServer).size(), 255u);
        EXPECT_EQ(dlg.Text(id::eShell), full.Shell.Str());
        dlg.Type(id::eServer, "z");  // refused: the box holds 255 characters at most
        dlg.Click(id::cbDrives);
        dlg.Click(id::cbDrives);
        dlg.Press(id::btOK);
    });
    ASSERT_EQ(result, 1u);
    EXPECT_TRUE(SameBytes(s, full));
}

TEST(RdpDialog, StackBalanced) {
    const auto none = harness::CallStdcall("GetRDPSettings", {0, 0});
    EXPECT_EQ(none.stackDelta, 0);
    EXPECT_EQ(none.value & 0xFF, 0u);
    TRDPSettings s = PatternRecord();
    WORD port = 1;
    harness::StdcallResult shown{};
    harness::RunModalDialog(
        kClass,
        [&] {
            shown = harness::CallStdcall("GetRDPSettings", {reinterpret_cast<std::uint32_t>(&s),
                                                            reinterpret_cast<std::uint32_t>(&port)});
            return shown.value;
        },
        [&](Dialog dlg) {
            dlg.Type(id::eServer, "!");
            dlg.Press(id::btOK);
        });
    EXPECT_EQ(shown.stackDelta, 0);
    EXPECT_EQ(shown.value & 0xFF, 1u);
    EXPECT_EQ(s.Server.Str(), "rdp.example!");
}

}  // namespace
