// The RFB settings dialog through the real export: layout with its pages, radio groups
// and menu key list, index rules, "Auto select", OK, and what goes back to the caller.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <functional>

#include "harness.h"
#include "remote/rfb_ids.h"
#include "shared/remote_records.h"

namespace {

namespace id = vexlo::rfb_ids;
using harness::Dialog;
using harness::RadioItem;
using vexlo::ShortString;
using vexlo::TRFBSettings;

constexpr const char* kClass = "TformRFBSettings";

TRFBSettings PatternRecord() {
    TRFBSettings s;
    auto* b = reinterpret_cast<BYTE*>(&s);
    for (size_t i = 0; i < sizeof s; ++i) b[i] = static_cast<BYTE>(i * 11 + 5);
    s.Server.length = 6;
    std::memcpy(s.Server.text.data(), "vnc:01", 6);
    s.Password.length = 3;
    std::memcpy(s.Password.text.data(), "pwd", 3);
    s.FullScreen = 1;
    s.SendPointer = 1;
    s.RenderCursor = 0;
    s.AllowResize = 1;
    s.ColourLevel = 1;
    s.Encoding = 0;
    s.AutoSelect = 0;
    s.Shared = 0;
    s.SendKeyboard = 1;
    s.SendClipboard = 0;
    s.AcceptClipboard = 1;
    s.Emulate3Buttons = 0;
    s.RateLimitMouse = 1;
    s.Padding = 0xA5;
    s.MenuKey = 7;
    return s;
}

std::uint32_t Edit(TRFBSettings& s, const std::function<void(Dialog)>& drive) {
    auto fn = harness::Proc<BOOL(WINAPI*)(TRFBSettings*)>("GetRFBSettings");
    return harness::RunModalDialog(kClass, [&] { return static_cast<std::uint32_t>(fn(&s)); }, drive);
}

bool SameBytes(const TRFBSettings& a, const TRFBSettings& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(RfbDialog, LayoutPagesAndTexts) {
    TRFBSettings s = PatternRecord();
    const std::uint32_t result = Edit(s, [&](Dialog dlg) {
        EXPECT_EQ(harness::Text(dlg), "RFB Settings");
        const RECT client = harness::ClientRect(dlg);
        EXPECT_EQ(client.right, 401);
        EXPECT_EQ(client.bottom, 352);
        EXPECT_NE(SendMessageA(dlg, WM_GETICON, ICON_SMALL, 0), 0);
        HWND tabs = dlg.Item(id::PageControl1);
        ASSERT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 3);
        const char* pages[] = {"Colour/Encoding", "Inputs", "Misc"};
        for (int i = 0; i < 3; ++i) {
            char buf[64] = {};
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = buf;
            item.cchTextMax = sizeof buf;
            SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
            EXPECT_STREQ(buf, pages[i]);
        }
        // It opens on "Inputs".
        EXPECT_EQ(SendMessageA(tabs, TCM_GETCURSEL, 0, 0), 1);
        EXPECT_TRUE(IsWindowVisible(dlg.Item(id::cbPointer)));
        EXPECT_FALSE(IsWindowVisible(dlg.Item(id::cbAuto)));
        EXPECT_FALSE(IsWindowVisible(dlg.Item(id::cbShared)));

        // Form and group controls in the form; page controls in their page.
        harness::ExpectPlaces(dlg, {
            {id::gbConnection, 8, 8, 305, 81, "Connection settings"},
            {id::eServer, 80, 24, 225, 21, "vnc:01"},
            {id::ePass, 80, 56, 225, 21, "pwd"},
            {id::btOK, 320, 8, 75, 25, "OK"},
            {id::btCancel, 320, 40, 75, 25, "Cancel"},
            {id::PageControl1, 8, 96, 305, 209, nullptr},
            {id::Label2, 64, 312, -1, -1, "Required installed VNC Viewer 4.0 or later! "},
            {id::lVNC, 64, 328, -1, -1, "Download latest version"},
            {id::cbAuto, 8, 8, 97, 17, "Auto select"},
            {id::rgEncoding, 8, 32, 113, 81, "Preferred encoding"},
            {id::rgColour, 128, 8, 161, 105, "Colour level"},
            {id::cbPointer, 8, 8, 201, 17, "Send pointer events to server"},
            {id::cbKeyboard, 8, 32, 201, 17, "Send keyboards events to server"},
            {id::cbSendClip, 8, 56, 201, 17, "Send clipboard changes to server"},
            {id::cbAcceptClip, 8, 80, 201, 17, "Accept clipboard changes to server"},
            {id::cbEmulate3, 8, 104, 201, 17, "Enable 3-button mouse emulation"},
            {id::cbRate, 8, 128, 201, 17, "Rate-limit mouse move events"},
            {id::Label1, 8, 156, -1, -1, "Menu key"},
            {id::cbMenuKey, 72, 152, 81, -1, "F8"},
            {id::cbShared, 8, 8, 289, 17, "Shared connection (do not disconnect other viewers)"},
            {id::cbFull, 8, 32, 289, 17, "Full-screen mode"},
            {id::cbCursor, 8, 56, 289, 17, "Render cursor locally"},
            {id::cbResize, 8, 80, 289, 17, "Allow dynamic desktop resizing"},
        });
        // Radio items inside their group, top to bottom in order.
        const char* encodings[] = {"ZRLE", "Hextile", "Raw"};
        const char* colours[] = {"Full (all available colours)", "Medium (256 colours)", "Low (64 colours)",
                                 "Very low (8 colours)"};
        for (int i = 0; i < 3; ++i) EXPECT_EQ(dlg.Text(RadioItem(id::rgEncoding, i)), encodings[i]);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(dlg.Text(RadioItem(id::rgColour, i)), colours[i]);
        for (int group : {id::rgEncoding, id::rgColour}) {
            const RECT box = harness::ChildRect(dlg.Item(group));
            int lastTop = box.top;
            for (int i = 0; i < (group == id::rgEncoding ? 3 : 4); ++i) {
                const RECT r = harness::ChildRect(dlg.Item(RadioItem(group, i)));
                EXPECT_GT(r.top, lastTop);
                EXPECT_GE(r.left, box.left);
                EXPECT_LE(r.bottom, box.bottom);
                lastTop = r.top;
            }
        }
        EXPECT_EQ(dlg.Count(id::cbMenuKey), 11);
        EXPECT_EQ(dlg.Send(id::cbMenuKey, CB_GETITEMHEIGHT), 16);
        EXPECT_EQ(dlg.ItemText(id::cbMenuKey, 10), "none");
        EXPECT_EQ(dlg.Send(id::ePass, EM_GETPASSWORDCHAR), '*');

        // Tab order: the check boxes of a page from top to bottom.
        harness::ExpectTabOrder(dlg, {id::cbPointer, id::cbKeyboard, id::cbSendClip, id::cbAcceptClip, id::cbEmulate3,
                                      id::cbRate, id::cbMenuKey});

        // A click on a tab shows its page.
        dlg.ClickTab(id::PageControl1, 2);
        EXPECT_TRUE(IsWindowVisible(dlg.Item(id::cbShared)));
        EXPECT_FALSE(IsWindowVisible(dlg.Item(id::cbPointer)));
        dlg.ClickTab(id::PageControl1, 0);
        EXPECT_TRUE(IsWindowVisible(dlg.Item(id::cbAuto)));
        dlg.Press(id::btCancel);
    });
    EXPECT_EQ(result, 0u);  // cancelled
}

TEST(RfbDialog, CompleteSettingsKeepOkDisabledUntilAChange) {
    TRFBSettings s = PatternRecord();
    const TRFBSettings before = s;
    const std::uint32_t result = Edit(s, [&](Dialog dlg) {
        EXPECT_FALSE(dlg.Enabled(id::btOK));
        EXPECT_EQ(dlg.Radio(id::rgEncoding, 3), 0);
        EXPECT_EQ(dlg.Radio(id::rgColour, 4), 1);
        EXPECT_EQ(dlg.Selection(id::cbMenuKey), 7);
        EXPECT_TRUE(dlg.Checked(id::cbRate));
        EXPECT_FALSE(dlg.Checked(id::cbSendClip));
        EXPECT_TRUE(dlg.Checked(id::cbFull));
        dlg.Click(id::cbEmulate3);
        dlg.Click(id::cbEmulate3);
        EXPECT_TRUE(dlg.Enabled(id::btOK));
        dlg.Press(id::btOK);
    });
    EXPECT_EQ(result, 1u);
    // Every byte as it came, the padding byte at 531 included.
    EXPECT_TRUE(SameBytes(s, before));
}

TEST(RfbDialog, EachControlWritesItsField) {
    TRFBSettings s = PatternRecord();
    TRFBSettings expected = s;
    const std::uint32_t result = Edit(s, [&](Dialog dlg) {
        dlg.Set(id::ePass, "new");
        for (int box : {id::cbPointer, id::cbKeyboard, id::cbSendClip, id::cbAcceptClip, id::cbEmulate3, id::cbRate,
                        id::cbShared, id::cbFull, id::cbCursor, id::cbResize})
            dlg.Click(box);
        dlg.Click(RadioItem(id::rgEncoding, 1));
        dlg.Click(RadioItem(id::rgColour, 3));
        EXPECT_EQ(dlg.Radio(id::rgColour, 4), 3);
        dlg.Pick(id::cbMenuKey, 10);
        dlg.Press(id::btOK);
    });
    ASSERT_EQ(result, 1u);
    expected.Password.length = 3;
    std::memcpy(expected.Password.text.data(), "new", 3);
    for (std::uint8_t* b : {&expected.SendPointer, &expected.SendKeyboard, &expected.SendClipboard,
                            &expected.AcceptClipboard, &expected.Emulate3Buttons, &expected.RateLimitMouse,
                            &expected.Shared, &expected.FullScreen, &expected.RenderCursor, &expected.AllowResize})
        *b = *b ? 0 : 1;
    expected.Encoding = 1;
    expected.ColourLevel = 3;
    expected.MenuKey = 10;
    EXPECT_TRUE(SameBytes(s, expected));
}

TEST(RfbDialog, AutoSelectDisablesTheGroupsWhichKeepTheirIndexes) {
    TRFBSettings s = PatternRecord();
    s.AutoSelect = 1;
    s.Encoding = 2;
    s.ColourLevel = 3;
    const std::uint32_t result = Edit(s, [&](Dialog dlg) {
        for (int control : {int{id::rgEncoding}, RadioItem(id::rgEncoding, 0), RadioItem(id::rgEncoding, 2),
                            int{id::rgColour}, RadioItem(id::rgColour, 3)})
            EXPECT_FALSE(dlg.Enabled(control)) << control;
        EXPECT_EQ(dlg.Radio(id::rgEncoding, 3), 2);
        EXPECT_EQ(dlg.Radio(id::rgColour, 4), 3);
        dlg.Click(id::cbAuto);
        EXPECT_TRUE(dlg.Enabled(id::rgEncoding));
        EXPECT_TRUE(dlg.Enabled(RadioItem(id::rgColour, 0)));
        dlg.Click(id::cbAuto);
        EXPECT_FALSE(dlg.Enabled(RadioItem(id::rgColour, 0)));
        dlg.Press(id::btOK);
    });
    ASSERT_EQ(result, 1u);
    EXPECT_EQ(s.AutoSelect, 1);
    EXPECT_EQ(s.Encoding, 2);
    EXPECT_EQ(s.ColourLevel, 3);
}

TEST(RfbDialog, IndexesOutOfRange) {
    // Encoding 7 chooses "Raw" and comes back as 2; a colour level below -1 chooses
    // nothing and stays; menu key 20 shows nothing and comes back as 20.
    TRFBSettings s = PatternRecord();
    s.Encoding = 7;
    s.ColourLevel = -5;
    s.MenuKey = 20;
    std::uint32_t result = Edit(s, [&](Dialog dlg) {
        EXPECT_EQ(dlg.Radio(id::rgEncoding, 3), 2);
        EXPECT_EQ(dlg.Radio(id::rgColour, 4), -1);
        EXPECT_EQ(dlg.Selection(id::cbMenuKey), -1);
        dlg.Set(id::eServer, "x");
        dlg.Press(id::btOK);
    });
    ASSERT_EQ(result, 1u);
    EXPECT_EQ(s.Encoding, 2);
    EXPECT_EQ(s.ColourLevel, -5);
    EXPECT_EQ(s.MenuKey, 20);

    // A key picked replaces it; -1 on entry and nothing picked stays -1.
    s.MenuKey = 20;
    s.Encoding = -1;
    result = Edit(s, [&](Dialog dlg) {
        EXPECT_EQ(dlg.Radio(id::rgEncoding, 3), -1);
        dlg.Pick(id::cbMenuKey, 2);
        dlg.Press(id::btOK);
    });
    ASSERT_EQ(result, 1u);
    EXPECT_EQ(s.MenuKey, 2);
    EXPECT_EQ(s.Encoding, -1);
}

TEST(RfbDialog, EmptyServerKeepsOkDisabled) {
    TRFBSettings s = PatternRecord();
    s.Server.length = 0;
    const std::uint32_t result = Edit(s, [&](Dialog dlg) {
        dlg.Click(id::cbRate);
        EXPECT_FALSE(dlg.Enabled(id::btOK));
        dlg.Set(id::eServer, "h");
        EXPECT_TRUE(dlg.Enabled(id::btOK));
        dlg.Set(id::eServer, "");
        EXPECT_FALSE(dlg.Enabled(id::btOK));
        // Enter with OK disabled does nothing; Esc cancels.
        dlg.Key(id::eServer, VK_RETURN);
        Sleep(100);
        EXPECT_TRUE(IsWindowVisible(dlg));
        dlg.Key(id::eServer, VK_ESCAPE);
    });
    EXPECT_EQ(result, 0u);
}

TEST(RfbDialog, CancelAfterEditsLeavesTheRecord) {
    TRFBSettings s = PatternRecord();
    const TRFBSettings before = s;
    const std::uint32_t result = Edit(s, [&](Dialog dlg) {
        dlg.Set(id::eServer, "elsewhere");
        dlg.Click(id::cbAuto);
        dlg.Click(RadioItem(id::rgEncoding, 2));
        dlg.Pick(id::cbMenuKey, 0);
        dlg.Close();
    });
    EXPECT_EQ(result, 0u);
    EXPECT_TRUE(SameBytes(s, before));
}

TEST(RfbDialog, NullRecordFullStringsAndStack) {
    auto fn = harness::Proc<BOOL(WINAPI*)(TRFBSettings*)>("GetRFBSettings");
    EXPECT_EQ(fn(nullptr), 0);
    EXPECT_EQ(harness::FindThreadWindow(GetCurrentThreadId(), kClass), nullptr);
    const auto none = harness::CallStdcall("GetRFBSettings", {0});
    EXPECT_EQ(none.stackDelta, 0);
    EXPECT_EQ(none.value, 0u);

    TRFBSettings s = PatternRecord();
    for (ShortString* f : {&s.Server, &s.Password}) {
        f->length = 255;
        for (int i = 0; i < 255; ++i) f->text[i] = static_cast<char>('A' + i % 26);
    }
    const TRFBSettings full = s;
    harness::StdcallResult shown{};
    harness::RunModalDialog(
        kClass,
        [&] {
            shown = harness::CallStdcall("GetRFBSettings", {reinterpret_cast<std::uint32_t>(&s)});
            return shown.value;
        },
        [&](Dialog dlg) {
            EXPECT_EQ(dlg.Text(id::eServer), full.Server.Str());
            dlg.Click(id::cbShared);
            dlg.Click(id::cbShared);
            dlg.Press(id::btOK);
        });
    EXPECT_EQ(shown.stackDelta, 0);
    EXPECT_EQ(shown.value, 1u);
    EXPECT_TRUE(SameBytes(s, full));
}

TEST(RfbDialog, OwnedByTheOwnerWindowOnceOneIsNamed) {
    TRFBSettings s = PatternRecord();
    HWND seen = nullptr;
    Edit(s, [&](Dialog dlg) {
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), nullptr);
        dlg.Press(id::btCancel);
    });
    // GetNewPassword names the owner of every later window of the library.
    harness::Recorder owner;
    auto ask = harness::Proc<BOOL(WINAPI*)(HWND, HICON, BYTE*, BYTE*)>("GetNewPassword");
    ASSERT_NE(ask, nullptr);
    auto user = harness::Short(""), pass = harness::Short("");
    harness::RunModalDialog(
        "TformNewPass", [&] { return static_cast<std::uint32_t>(ask(owner.hwnd(), nullptr, user.data(), pass.data())); },
        [](Dialog dlg) { PostMessageA(dlg, WM_CLOSE, 0, 0); });
    Edit(s, [&](Dialog dlg) {
        seen = GetWindow(dlg, GW_OWNER);
        dlg.Press(id::btCancel);
    });
    EXPECT_EQ(seen, owner.hwnd());
}

}  // namespace
