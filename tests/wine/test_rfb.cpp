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
using harness::Control;
using vexlo::ShortString;
using vexlo::TRFBSettings;

constexpr const char* kClass = "TformRFBSettings";

int Item(int group, int index) { return group + 1 + index; }

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

std::uint32_t Edit(TRFBSettings& s, const std::function<void(HWND)>& drive) {
    auto fn = harness::Proc<BOOL(WINAPI*)(TRFBSettings*)>("GetRFBSettings");
    return harness::RunModalDialog(kClass, [&] { return static_cast<std::uint32_t>(fn(&s)); }, drive);
}

void SetText(HWND dlg, int control, const char* text) {
    SendMessageA(Control(dlg, control), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}
void Click(HWND dlg, int control) { SendMessageA(Control(dlg, control), BM_CLICK, 0, 0); }
void Press(HWND dlg, int control) { PostMessageA(Control(dlg, control), BM_CLICK, 0, 0); }
bool Enabled(HWND dlg, int control) { return IsWindowEnabled(Control(dlg, control)) != FALSE; }
bool Checked(HWND dlg, int control) {
    return SendMessageA(Control(dlg, control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
int Chosen(HWND dlg, int group, int count) {
    int chosen = -1;
    for (int i = 0; i < count; ++i)
        if (Checked(dlg, Item(group, i))) {
            EXPECT_EQ(chosen, -1) << "two items chosen in " << group;
            chosen = i;
        }
    return chosen;
}
int MenuKey(HWND dlg) { return static_cast<int>(SendMessageA(Control(dlg, id::cbMenuKey), CB_GETCURSEL, 0, 0)); }
void PickMenuKey(HWND dlg, int index) {
    HWND list = Control(dlg, id::cbMenuKey);
    SendMessageA(list, CB_SETCURSEL, index, 0);
    SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(id::cbMenuKey, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}
// Clicks a tab as the mouse does; the tab control tells the form.
void ClickTab(HWND dlg, int index) {
    HWND tabs = Control(dlg, id::PageControl1);
    RECT r{};
    SendMessageA(tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(tabs, WM_LBUTTONUP, 0, at);
}

bool SameBytes(const TRFBSettings& a, const TRFBSettings& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(RfbDialog, LayoutPagesAndTexts) {
    TRFBSettings s = PatternRecord();
    Edit(s, [&](HWND dlg) {
        EXPECT_EQ(harness::Text(dlg), "RFB Settings");
        const RECT client = harness::ClientRect(dlg);
        EXPECT_EQ(client.right, 401);
        EXPECT_EQ(client.bottom, 352);
        EXPECT_NE(SendMessageA(dlg, WM_GETICON, ICON_SMALL, 0), 0);
        HWND tabs = Control(dlg, id::PageControl1);
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
        EXPECT_TRUE(IsWindowVisible(Control(dlg, id::cbPointer)));
        EXPECT_FALSE(IsWindowVisible(Control(dlg, id::cbAuto)));
        EXPECT_FALSE(IsWindowVisible(Control(dlg, id::cbShared)));

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
        for (int i = 0; i < 3; ++i) EXPECT_EQ(harness::Text(Control(dlg, Item(id::rgEncoding, i))), encodings[i]);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(harness::Text(Control(dlg, Item(id::rgColour, i))), colours[i]);
        for (int group : {id::rgEncoding, id::rgColour}) {
            const RECT box = harness::ChildRect(Control(dlg, group));
            int lastTop = box.top;
            for (int i = 0; i < (group == id::rgEncoding ? 3 : 4); ++i) {
                const RECT r = harness::ChildRect(Control(dlg, Item(group, i)));
                EXPECT_GT(r.top, lastTop);
                EXPECT_GE(r.left, box.left);
                EXPECT_LE(r.bottom, box.bottom);
                lastTop = r.top;
            }
        }
        HWND keys = Control(dlg, id::cbMenuKey);
        EXPECT_EQ(SendMessageA(keys, CB_GETCOUNT, 0, 0), 11);
        EXPECT_EQ(SendMessageA(keys, CB_GETITEMHEIGHT, 0, 0), 16);
        char last[16] = {};
        SendMessageA(keys, CB_GETLBTEXT, 10, reinterpret_cast<LPARAM>(last));
        EXPECT_STREQ(last, "none");
        EXPECT_EQ(SendMessageA(Control(dlg, id::ePass), EM_GETPASSWORDCHAR, 0, 0), '*');

        // Tab order: the check boxes of a page from top to bottom.
        const int inputs[] = {id::cbPointer, id::cbKeyboard, id::cbSendClip, id::cbAcceptClip,
                              id::cbEmulate3, id::cbRate, id::cbMenuKey};
        for (size_t i = 0; i + 1 < std::size(inputs); ++i)
            EXPECT_EQ(GetNextDlgTabItem(dlg, Control(dlg, inputs[i]), FALSE), Control(dlg, inputs[i + 1])) << i;

        // A click on a tab shows its page.
        ClickTab(dlg, 2);
        EXPECT_TRUE(IsWindowVisible(Control(dlg, id::cbShared)));
        EXPECT_FALSE(IsWindowVisible(Control(dlg, id::cbPointer)));
        ClickTab(dlg, 0);
        EXPECT_TRUE(IsWindowVisible(Control(dlg, id::cbAuto)));
        Press(dlg, id::btCancel);
    });
}

TEST(RfbDialog, CompleteSettingsKeepOkDisabledUntilAChange) {
    TRFBSettings s = PatternRecord();
    const TRFBSettings before = s;
    const std::uint32_t result = Edit(s, [&](HWND dlg) {
        EXPECT_FALSE(Enabled(dlg, id::btOK));
        EXPECT_EQ(Chosen(dlg, id::rgEncoding, 3), 0);
        EXPECT_EQ(Chosen(dlg, id::rgColour, 4), 1);
        EXPECT_EQ(MenuKey(dlg), 7);
        EXPECT_TRUE(Checked(dlg, id::cbRate));
        EXPECT_FALSE(Checked(dlg, id::cbSendClip));
        EXPECT_TRUE(Checked(dlg, id::cbFull));
        Click(dlg, id::cbEmulate3);
        Click(dlg, id::cbEmulate3);
        EXPECT_TRUE(Enabled(dlg, id::btOK));
        Press(dlg, id::btOK);
    });
    EXPECT_EQ(result, 1u);
    // Every byte as it came, the padding byte at 531 included.
    EXPECT_TRUE(SameBytes(s, before));
}

TEST(RfbDialog, EachControlWritesItsField) {
    TRFBSettings s = PatternRecord();
    TRFBSettings expected = s;
    const std::uint32_t result = Edit(s, [&](HWND dlg) {
        SetText(dlg, id::ePass, "new");
        for (int box : {id::cbPointer, id::cbKeyboard, id::cbSendClip, id::cbAcceptClip, id::cbEmulate3, id::cbRate,
                        id::cbShared, id::cbFull, id::cbCursor, id::cbResize})
            Click(dlg, box);
        Click(dlg, Item(id::rgEncoding, 1));
        Click(dlg, Item(id::rgColour, 3));
        EXPECT_EQ(Chosen(dlg, id::rgColour, 4), 3);
        PickMenuKey(dlg, 10);
        Press(dlg, id::btOK);
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
    const std::uint32_t result = Edit(s, [&](HWND dlg) {
        for (int control : {int{id::rgEncoding}, Item(id::rgEncoding, 0), Item(id::rgEncoding, 2), int{id::rgColour},
                            Item(id::rgColour, 3)})
            EXPECT_FALSE(Enabled(dlg, control)) << control;
        EXPECT_EQ(Chosen(dlg, id::rgEncoding, 3), 2);
        EXPECT_EQ(Chosen(dlg, id::rgColour, 4), 3);
        Click(dlg, id::cbAuto);
        EXPECT_TRUE(Enabled(dlg, id::rgEncoding));
        EXPECT_TRUE(Enabled(dlg, Item(id::rgColour, 0)));
        Click(dlg, id::cbAuto);
        EXPECT_FALSE(Enabled(dlg, Item(id::rgColour, 0)));
        Press(dlg, id::btOK);
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
    std::uint32_t result = Edit(s, [&](HWND dlg) {
        EXPECT_EQ(Chosen(dlg, id::rgEncoding, 3), 2);
        EXPECT_EQ(Chosen(dlg, id::rgColour, 4), -1);
        EXPECT_EQ(MenuKey(dlg), -1);
        SetText(dlg, id::eServer, "x");
        Press(dlg, id::btOK);
    });
    ASSERT_EQ(result, 1u);
    EXPECT_EQ(s.Encoding, 2);
    EXPECT_EQ(s.ColourLevel, -5);
    EXPECT_EQ(s.MenuKey, 20);

    // A key picked replaces it; -1 on entry and nothing picked stays -1.
    s.MenuKey = 20;
    s.Encoding = -1;
    result = Edit(s, [&](HWND dlg) {
        EXPECT_EQ(Chosen(dlg, id::rgEncoding, 3), -1);
        PickMenuKey(dlg, 2);
        Press(dlg, id::btOK);
    });
    ASSERT_EQ(result, 1u);
    EXPECT_EQ(s.MenuKey, 2);
    EXPECT_EQ(s.Encoding, -1);
}

TEST(RfbDialog, EmptyServerKeepsOkDisabled) {
    TRFBSettings s = PatternRecord();
    s.Server.length = 0;
    const std::uint32_t result = Edit(s, [&](HWND dlg) {
        Click(dlg, id::cbRate);
        EXPECT_FALSE(Enabled(dlg, id::btOK));
        SetText(dlg, id::eServer, "h");
        EXPECT_TRUE(Enabled(dlg, id::btOK));
        SetText(dlg, id::eServer, "");
        EXPECT_FALSE(Enabled(dlg, id::btOK));
        // Enter with OK disabled does nothing; Esc cancels.
        harness::PostKey(Control(dlg, id::eServer), VK_RETURN);
        Sleep(100);
        EXPECT_TRUE(IsWindowVisible(dlg));
        harness::PostKey(Control(dlg, id::eServer), VK_ESCAPE);
    });
    EXPECT_EQ(result, 0u);
}

TEST(RfbDialog, CancelAfterEditsLeavesTheRecord) {
    TRFBSettings s = PatternRecord();
    const TRFBSettings before = s;
    const std::uint32_t result = Edit(s, [&](HWND dlg) {
        SetText(dlg, id::eServer, "elsewhere");
        Click(dlg, id::cbAuto);
        Click(dlg, Item(id::rgEncoding, 2));
        PickMenuKey(dlg, 0);
        PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
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
        [&](HWND dlg) {
            EXPECT_EQ(harness::Text(Control(dlg, id::eServer)), full.Server.Str());
            Click(dlg, id::cbShared);
            Click(dlg, id::cbShared);
            Press(dlg, id::btOK);
        });
    EXPECT_EQ(shown.stackDelta, 0);
    EXPECT_EQ(shown.value, 1u);
    EXPECT_TRUE(SameBytes(s, full));
}

TEST(RfbDialog, OwnedByTheOwnerWindowOnceOneIsNamed) {
    TRFBSettings s = PatternRecord();
    HWND seen = nullptr;
    Edit(s, [&](HWND dlg) {
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), nullptr);
        Press(dlg, id::btCancel);
    });
    // GetNewPassword names the owner of every later window of the library.
    harness::Recorder owner;
    auto ask = harness::Proc<BOOL(WINAPI*)(HWND, HICON, BYTE*, BYTE*)>("GetNewPassword");
    ASSERT_NE(ask, nullptr);
    auto user = harness::Short(""), pass = harness::Short("");
    harness::RunModalDialog(
        "TformNewPass", [&] { return static_cast<std::uint32_t>(ask(owner.hwnd(), nullptr, user.data(), pass.data())); },
        [](HWND dlg) { PostMessageA(dlg, WM_CLOSE, 0, 0); });
    Edit(s, [&](HWND dlg) {
        seen = GetWindow(dlg, GW_OWNER);
        Press(dlg, id::btCancel);
    });
    EXPECT_EQ(seen, owner.hwnd());
}

}  // namespace
