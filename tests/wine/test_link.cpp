// The hyperlink label in the settings dialogs: blue text, hand cursor, the underline on
// entering and leaving, and the click that hands the link to the shell.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "harness.h"
#include "remote/rdp_ids.h"
#include "remote/rfb_ids.h"
#include "shared/remote_records.h"

namespace {

using harness::Control;

LOGFONTA FontOf(HWND link) {
    LOGFONTA lf{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    return lf;
}

void Enter(HWND link) { SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2)); }
void Leave(HWND link) { SendMessageA(link, WM_MOUSELEAVE, 0, 0); }

struct ShellCall {
    int count = 0;
    HWND owner = reinterpret_cast<HWND>(1);
    std::string verb, file;
    bool params = true, dir = true;
    int show = -1;
} g_shell;

HINSTANCE WINAPI RecordShellExecute(HWND owner, const char* verb, const char* file, const char* params,
                                    const char* dir, int show) {
    ++g_shell.count;
    g_shell.owner = owner;
    g_shell.verb = verb ? verb : "(null)";
    g_shell.file = file ? file : "(null)";
    g_shell.params = params != nullptr;
    g_shell.dir = dir != nullptr;
    g_shell.show = show;
    return reinterpret_cast<HINSTANCE>(33);
}

// Opens a dialog through its export and hands its link label to check().
void WithRdpLink(const std::function<void(HWND dlg, HWND link)>& check) {
    vexlo::TRDPSettings s;
    vexlo::ResetRDPSettings(s);
    WORD port = 3389;
    auto fn = harness::Proc<BOOL(WINAPI*)(vexlo::TRDPSettings*, WORD*)>("GetRDPSettings");
    harness::RunModalDialog("TformRDPSettings", [&] { return static_cast<std::uint32_t>(fn(&s, &port)); },
                            [&](HWND dlg) {
                                check(dlg, Control(dlg, vexlo::rdp_ids::lRDP));
                                PostMessageA(dlg, WM_CLOSE, 0, 0);
                            });
}

void WithRfbLink(const std::function<void(HWND dlg, HWND link)>& check) {
    vexlo::TRFBSettings s;
    vexlo::ResetRFBSettings(s);
    auto fn = harness::Proc<BOOL(WINAPI*)(vexlo::TRFBSettings*)>("GetRFBSettings");
    harness::RunModalDialog("TformRFBSettings", [&] { return static_cast<std::uint32_t>(fn(&s)); },
                            [&](HWND dlg) {
                                check(dlg, Control(dlg, vexlo::rfb_ids::lVNC));
                                PostMessageA(dlg, WM_CLOSE, 0, 0);
                            });
}

TEST(LinkLabel, UnderlinedExactlyWhileThePointerIsOver) {
    // The RDP link starts underlined and is plain after the first pass.
    WithRdpLink([](HWND, HWND link) {
        ASSERT_NE(link, nullptr);
        EXPECT_TRUE(FontOf(link).lfUnderline);
        Enter(link);
        EXPECT_TRUE(FontOf(link).lfUnderline);
        Leave(link);
        EXPECT_FALSE(FontOf(link).lfUnderline);
        Enter(link);
        EXPECT_TRUE(FontOf(link).lfUnderline);
    });
    // The RFB link starts plain; a bold, italic, struck-out font loses all that on entering.
    WithRfbLink([](HWND, HWND link) {
        ASSERT_NE(link, nullptr);
        EXPECT_FALSE(FontOf(link).lfUnderline);
        LOGFONTA lf = FontOf(link);
        lf.lfWeight = FW_BOLD;
        lf.lfItalic = TRUE;
        lf.lfStrikeOut = TRUE;
        HFONT bold = CreateFontIndirectA(&lf);
        SendMessageA(link, WM_SETFONT, reinterpret_cast<WPARAM>(bold), TRUE);
        EXPECT_EQ(FontOf(link).lfWeight, FW_BOLD);
        Enter(link);
        LOGFONTA in = FontOf(link);
        EXPECT_TRUE(in.lfUnderline);
        EXPECT_EQ(in.lfWeight, FW_NORMAL);
        EXPECT_FALSE(in.lfItalic);
        EXPECT_FALSE(in.lfStrikeOut);
        Leave(link);
        LOGFONTA out = FontOf(link);
        EXPECT_FALSE(out.lfUnderline);
        EXPECT_EQ(out.lfWeight, FW_NORMAL);
        EXPECT_STREQ(out.lfFaceName, lf.lfFaceName);
        DeleteObject(bold);
    });
}

TEST(LinkLabel, BlueTextAndTheHandCursor) {
    WithRfbLink([](HWND, HWND link) {
        EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(link, GCLP_HCURSOR)), LoadCursor(nullptr, IDC_HAND));
        EXPECT_EQ(SendMessageA(link, WM_NCHITTEST, 0, 0), HTCLIENT);
        harness::WaitUntil([] { return false; }, 200);  // let it paint
        RECT r;
        GetClientRect(link, &r);
        HDC dc = GetDC(link);
        int blue = 0, other = 0;
        for (int y = 0; y < r.bottom; ++y)
            for (int x = 0; x < r.right; ++x) {
                const COLORREF c = GetPixel(dc, x, y);
                if (c == RGB(0, 0, 255)) ++blue;
                else if (c != GetSysColor(COLOR_BTNFACE)) ++other;
            }
        ReleaseDC(link, dc);
        EXPECT_GT(blue, 20);
        // Apart from font smoothing, the text is pure blue on the face colour.
        EXPECT_LT(other, blue * 2);
    });
}

TEST(LinkLabel, ClickHandsTheLinkToTheShell) {
    harness::ImportHook hook("shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(&RecordShellExecute));
    ASSERT_TRUE(hook.Installed());
    for (int dialog = 0; dialog < 2; ++dialog) {
        g_shell = ShellCall{};
        auto check = [](HWND, HWND link) {
            // A press that ends outside the label is no click.
            SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
            SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(-50, 3));
            EXPECT_EQ(g_shell.count, 0);
            SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
            SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
        };
        if (dialog == 0) WithRdpLink(check);
        else WithRfbLink(check);
        EXPECT_EQ(g_shell.count, 1) << dialog;
        EXPECT_EQ(g_shell.owner, nullptr);
        EXPECT_EQ(g_shell.verb, "open");
        EXPECT_EQ(g_shell.file.rfind("https://", 0), 0u) << g_shell.file;
        EXPECT_FALSE(g_shell.params);
        EXPECT_FALSE(g_shell.dir);
        EXPECT_EQ(g_shell.show, SW_SHOWNORMAL);
    }
}

TEST(LinkLabel, ReachedByTabAndOpenedByEnterOrSpaceWithAFocusCue) {
    harness::ImportHook hook("shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(&RecordShellExecute));
    ASSERT_TRUE(hook.Installed());
    g_shell = ShellCall{};
    WithRdpLink([](HWND dlg, HWND link) {
        const harness::Dialog d(dlg);
        harness::ExpectTabOrder(dlg, {vexlo::rdp_ids::btCancel, vexlo::rdp_ids::lRDP});
        ASSERT_TRUE(d.Focus(vexlo::rdp_ids::lRDP));
        // The dialog's loop hands Enter to the focused link instead of the default button.
        d.Key(vexlo::rdp_ids::lRDP, VK_RETURN);
        EXPECT_TRUE(harness::WaitUntil([] { return g_shell.count == 1; }, 2000));
        d.Key(vexlo::rdp_ids::lRDP, VK_SPACE);
        EXPECT_TRUE(harness::WaitUntil([] { return g_shell.count == 2; }, 2000));
        EXPECT_TRUE(IsWindow(dlg));  // OK was not pressed
        // The focus shows as a dotted frame along the label's top edge.
        harness::WaitUntil([] { return false; }, 200);
        RECT r{};
        GetClientRect(link, &r);
        HDC dc = GetDC(link);
        int dotted = 0;
        for (int x = 0; x < r.right; ++x)
            if (GetPixel(dc, x, 0) != GetSysColor(COLOR_BTNFACE)) ++dotted;
        ReleaseDC(link, dc);
        EXPECT_GT(dotted, r.right / 4);
    });
    EXPECT_EQ(g_shell.count, 2);
    EXPECT_EQ(g_shell.verb, "open");
}

}  // namespace
