// The About window through the real export: a borderless topmost picture sized to its
// background, the edition picture, the version text, OK destroying it, independence of
// several windows, and bad input.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "dialogs/about_ids.h"
#include "harness.h"

namespace {

namespace id = vexlo::about_ids;
using harness::Dialog;
using ShowAboutFn = HWND(WINAPI*)(HICON, DWORD, const char*, DWORD);

// Edition picture: 120 x 26 (50 x 26 for the third) at 293, 56.
constexpr int kVerLeft = 293, kVerTop = 56;

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        showAbout = harness::Proc<ShowAboutFn>("ShowAbout");
        ASSERT_NE(showAbout, nullptr);
    }
    void TearDown() override {
        for (HWND w : windows)
            if (IsWindow(w)) DestroyWindow(w);
        harness::Pump(20);
    }
    Dialog Open(DWORD edition, const char* version, HICON icon = nullptr) {
        HWND w = showAbout(icon, edition, version, 0);
        windows.push_back(w);
        return w;
    }
    // What the window shows at a point of its client area, once it has painted.
    static COLORREF Pixel(HWND wnd, int x, int y) {
        harness::Pump(80);
        HDC dc = GetDC(wnd);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(wnd, dc);
        return c;
    }
    // Opens a window alone on the screen, samples it and closes it again.
    std::vector<COLORREF> Sample(DWORD edition, const std::vector<POINT>& points) {
        Dialog w = Open(edition, "1");
        std::vector<COLORREF> out;
        for (const POINT& p : points) out.push_back(Pixel(w, p.x, p.y));
        DestroyWindow(w);
        harness::Pump(20);
        return out;
    }

    ShowAboutFn showAbout = nullptr;
    std::vector<HWND> windows;
};

TEST_F(AboutTest, BorderlessTopmostWindowSizedToItsPicture) {
    HICON icon = CopyIcon(LoadIcon(nullptr, IDI_APPLICATION));
    Dialog wnd = Open(1, "4.2 build 17", icon);
    ASSERT_TRUE(IsWindow(wnd));
    EXPECT_TRUE(IsWindowVisible(wnd));
    char cls[64] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    EXPECT_STREQ(cls, "TformAbout");
    EXPECT_EQ(harness::Text(wnd), "About Quillmere");
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(wnd, WM_GETICON, ICON_BIG, 0)), icon);

    const LONG style = GetWindowLongA(wnd, GWL_STYLE);
    EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME | WS_SYSMENU));
    EXPECT_TRUE(GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT r;
    GetWindowRect(wnd, &r);
    EXPECT_EQ(r.right - r.left, 430);
    EXPECT_EQ(r.bottom - r.top, 270);
    harness::ExpectCentredOnDesktop(wnd);

    harness::ExpectPlaces(wnd, {{id::lVer, 296, 96, -1, -1, "Version 4.2 build 17"},
                                {id::btOk, 344, 232, 75, 25, "OK"}});
    EXPECT_TRUE(GetWindowLongA(wnd.Item(id::btOk), GWL_STYLE) & BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetFocus(), wnd.Item(id::btOk));

    // The background fills the window: no plain face colour in its corners.
    for (const POINT p : {POINT{2, 2}, POINT{427, 2}, POINT{2, 267}, POINT{427, 267}})
        EXPECT_NE(Pixel(wnd, p.x, p.y), GetSysColor(COLOR_BTNFACE)) << p.x << "," << p.y;
}

TEST_F(AboutTest, VersionTextGrowsItsLabelAndNullReadsAsEmpty) {
    Dialog empty = Open(1, "");
    Dialog none = Open(1, nullptr);
    Dialog longer = Open(1, "12.34.5678 (beta)");
    EXPECT_EQ(empty.Text(id::lVer), "Version ");
    EXPECT_EQ(none.Text(id::lVer), "Version ");
    EXPECT_EQ(longer.Text(id::lVer), "Version 12.34.5678 (beta)");
    // The label keeps the size of its text, so the whole version shows.
    const RECT s = harness::ChildRect(empty.Item(id::lVer));
    const RECT l = harness::ChildRect(longer.Item(id::lVer));
    EXPECT_GT(l.right - l.left, 2 * (s.right - s.left));
}

TEST_F(AboutTest, EditionChoosesPictureByLowByteOnly) {
    // Inside the badge, and just right of where the narrow third picture ends.
    const std::vector<POINT> points = {{kVerLeft + 3, kVerTop + 3}, {kVerLeft + 60, kVerTop + 3}};
    const auto none = Sample(0, points);
    EXPECT_EQ(Sample(4, points), none);
    EXPECT_EQ(Sample(0xFFFFFF00u, points), none);
    const auto first = Sample(1, points), second = Sample(2, points), third = Sample(3, points);
    EXPECT_NE(first[0], none[0]);
    EXPECT_NE(first[1], none[1]);
    EXPECT_NE(second[0], none[0]);
    EXPECT_NE(second[0], first[0]);
    EXPECT_NE(third[0], none[0]);
    EXPECT_NE(third[0], first[0]);
    EXPECT_NE(third[0], second[0]);
    EXPECT_EQ(third[1], none[1]);  // shown at its own width, not stretched
    EXPECT_EQ(Sample(0x102, points), second);
}

TEST_F(AboutTest, OkEnterAndCloseDestroyTheWindowAndItsIcon) {
    HICON icon = CopyIcon(LoadIcon(nullptr, IDI_APPLICATION));
    Dialog byClick = Open(2, "1", icon);
    Dialog byEnter = Open(2, "1");
    Dialog byClose = Open(2, "1");
    harness::Drive([&] {
        byClick.Press(id::btOk);
        EXPECT_TRUE(byClick.WaitGone());
        // Enter on the host's plain loop presses the focused OK.
        SetForegroundWindow(byEnter);
        byEnter.Key(id::btOk, VK_RETURN);
        EXPECT_TRUE(byEnter.WaitGone());
        PostMessageA(byClose, WM_CLOSE, 0, 0);
        EXPECT_TRUE(byClose.WaitGone());
    });
    EXPECT_FALSE(IsWindow(byClick));
    EXPECT_FALSE(IsWindow(byEnter));
    EXPECT_FALSE(IsWindow(byClose));
    ICONINFO info{};
    EXPECT_FALSE(GetIconInfo(icon, &info));
}

TEST_F(AboutTest, TwoWindowsAreIndependent) {
    Dialog a = Open(1, "a");
    Dialog b = Open(3, "b");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(a, b);
    harness::Drive([&] {
        a.Press(id::btOk);
        EXPECT_TRUE(a.WaitGone());
    });
    EXPECT_TRUE(IsWindowVisible(b));
    EXPECT_EQ(b.Text(id::lVer), "Version b");
    harness::Drive([&] {
        b.Press(id::btOk);
        EXPECT_TRUE(b.WaitGone());
    });
}

TEST_F(AboutTest, StackBalancedWithBadIconAndIgnoredArgument) {
    const std::string version = "9";
    const auto r = harness::CallStdcall(
        "ShowAbout", {0x1234, 0xABCDEF01u, static_cast<std::uint32_t>(reinterpret_cast<uintptr_t>(version.c_str())),
                      0xDEADBEEFu});
    EXPECT_EQ(r.stackDelta, 0);
    Dialog wnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(r.value));
    ASSERT_TRUE(IsWindow(wnd));
    windows.push_back(wnd);
    EXPECT_EQ(SendMessageA(wnd, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_EQ(wnd.Text(id::lVer), "Version 9");
}

}  // namespace
