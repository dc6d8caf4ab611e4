// Display scale: every window of the library opened in a process that starts at 96, 144
// and 192 DPI (Wine reads HKCU\Control Panel\Desktop LogPixels when a process starts). The
// client sizes, a few control rectangles and the fonts must be the 96-DPI layout scaled,
// within 2 px; a form sent WM_DPICHANGED lays itself out again; the menu bitmap takes the
// check-mark size.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <vector>
#include <string>

#include "dialogs/about_ids.h"
#include "dialogs/logon_ids.h"
#include "dialogs/newpass_ids.h"
#include "dialogs/runas_ids.h"
#include "harness.h"
#include "remote/rdp_ids.h"
#include "remote/rfb_ids.h"
#include "shared/dpi.h"
#include "shared/module.h"
#include "shell/menu_bitmap.h"
#include "switching/alttab_ids.h"
#include "switching/frmAltTab.h"
#include "switching/vxChart.h"
#include "ui/form.h"

namespace {

using harness::ControlPlace;
using harness::Dialog;

constexpr int kTolerance = 2;

int Scale(int length, int dpi) { return MulDiv(length, dpi, 96); }

// The 96-DPI places (in the control's parent: group boxes add theirs) and the client size.
void ExpectLayout(HWND form, int dpi, int clientWidth, int clientHeight, std::initializer_list<ControlPlace> places) {
    ASSERT_NE(form, nullptr) << "no window at " << dpi << " DPI";
    const RECT client = harness::ClientRect(form);
    EXPECT_NEAR(client.right, Scale(clientWidth, dpi), kTolerance) << dpi << " DPI";
    EXPECT_NEAR(client.bottom, Scale(clientHeight, dpi), kTolerance) << dpi << " DPI";
    for (const ControlPlace& p : places) {
        HWND item = harness::Control(form, p.id);
        ASSERT_NE(item, nullptr) << "control " << p.id;
        const RECT r = harness::ChildRect(item);
        EXPECT_NEAR(r.left, Scale(p.left, dpi), kTolerance) << "control " << p.id << " at " << dpi;
        EXPECT_NEAR(r.top, Scale(p.top, dpi), kTolerance) << "control " << p.id << " at " << dpi;
        if (p.width >= 0) EXPECT_NEAR(r.right - r.left, Scale(p.width, dpi), kTolerance) << "control " << p.id;
        if (p.height >= 0) EXPECT_NEAR(r.bottom - r.top, Scale(p.height, dpi), kTolerance) << "control " << p.id;
    }
}

// "MS Sans Serif" at -11 at 96 DPI.
void ExpectFont(HWND control, int dpi) {
    LOGFONTA lf{};
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    ASSERT_TRUE(font && GetObjectA(font, sizeof lf, &lf)) << "no font at " << dpi;
    EXPECT_NEAR(-lf.lfHeight, Scale(11, dpi), 1) << dpi << " DPI";
}

using harness::Call;
using harness::CheckModal;

int MetricForDpi(int index, int dpi) {
    using Fn = int(WINAPI*)(int, UINT);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"),
                                                                          "GetSystemMetricsForDpi")));
    return fn ? fn(index, static_cast<UINT>(dpi)) : -1;
}

const std::initializer_list<ControlPlace> kLogon = {
    {vexlo::logon_ids::Image1, 0, 0, 411, 114, nullptr},
    {vexlo::logon_ids::eName, 88, 128, 289, 21, nullptr},
    {vexlo::logon_ids::ePass, 88, 160, 289, 21, nullptr},
    {vexlo::logon_ids::btOk, 128, 200, 75, 25, nullptr},
    {vexlo::logon_ids::btCancel, 208, 200, 75, 25, nullptr},
};

// Wine never moves a window to another DPI: the library is told so through the seam.
harness::DpiSeam& Seam() {
    static harness::DpiSeam seam;
    return seam;
}

using LogonFn = HWND(WINAPI*)(HWND, HICON, const BYTE*, const BYTE*, LONG);

HWND OpenLogon() {
    const auto user = harness::Short("guest"), pass = harness::Short("secret");
    HWND wnd = harness::Proc<LogonFn>("Logon")(nullptr, nullptr, user.data(), pass.data(), 1);
    harness::Pump(50);
    return wnd;
}

// A message sent to a window of this thread from another thread, as another process
// sends it: the system delivers it while this thread pumps.
LRESULT SendFromElsewhere(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = -1;
    EXPECT_TRUE(harness::Drive([&] {
        DWORD_PTR r = 0;
        if (SendMessageTimeoutA(wnd, msg, wp, lp, SMTO_NORMAL, 5000, &r)) result = static_cast<LRESULT>(r);
    }));
    return result;
}

void CheckLogonAndItsDpiChange(int dpi) {
    namespace id = vexlo::logon_ids;
    HWND wnd = OpenLogon();
    ExpectLayout(wnd, dpi, 411, 237, kLogon);
    if (!wnd) return;
    ExpectFont(harness::Control(wnd, id::eName), dpi);

    // Moved to a display of another scale: the suggested rectangle holds the client area
    // at the new DPI (the frame stays as Wine draws it).
    const int next = dpi == 192 ? 96 : dpi + 48;
    RECT frame{};
    GetWindowRect(wnd, &frame);
    const RECT client = harness::ClientRect(wnd);
    const RECT suggested{frame.left, frame.top,
                         frame.right + Scale(411, next) - client.right, frame.bottom + Scale(237, next) - client.bottom};
    Seam().Set(wnd, next);
    SendMessageA(wnd, WM_DPICHANGED, MAKEWPARAM(next, next), reinterpret_cast<LPARAM>(&suggested));
    harness::Pump(50);
    ExpectLayout(wnd, next, 411, 237, kLogon);
    ExpectFont(harness::Control(wnd, id::eName), next);
    ExpectFont(harness::Control(wnd, id::btOk), next);
    // A label takes the size of its text in the new font: as tall as the font's line.
    const RECT label = harness::ChildRect(harness::Control(wnd, id::Label3));
    EXPECT_GE(label.bottom - label.top, Scale(13, next) - kTolerance);
    DestroyWindow(wnd);
}

void CheckAbout(int dpi) {
    namespace id = vexlo::about_ids;
    auto show = harness::Proc<HWND(WINAPI*)(HICON, DWORD, const char*, DWORD)>("ShowAbout");
    HWND wnd = show(nullptr, 1, "1.0", 0);
    harness::Pump(50);
    // The background picture sizes the window; the edition picture keeps its own size.
    ExpectLayout(wnd, dpi, 430, 270,
                 {{id::Image1, 0, 0, 430, 270, nullptr}, {id::iVer, 293, 56, 120, 26, nullptr},
                  {id::btOk, 344, 232, 75, 25, nullptr}});
    if (wnd) DestroyWindow(wnd);
}

void CheckModalForms(int dpi) {
    BYTE user[256] = {}, pass[256] = {};
    CheckModal(
        "TformNewPass",
        [&] { return Call("GetNewPassword", nullptr, nullptr, user, pass); },
        [&](Dialog d) {
            namespace id = vexlo::newpass_ids;
            ExpectLayout(d, dpi, 261, 169,
                         {{id::eUser, 8, 24, 241, 21, nullptr}, {id::ePass2, 8, 104, 241, 21, nullptr},
                          {id::btOK, 48, 136, 75, 25, nullptr}});
            ExpectFont(d.Item(id::ePass1), dpi);
        });
    CheckModal(
        "TformRunAs", [] { harness::Proc<void(WINAPI*)(const char*)>("ShowRunAs")("C:\\app.exe"); return 0u; },
        [&](Dialog d) {
            namespace id = vexlo::runas_ids;
            ExpectLayout(d, dpi, 347, 248,
                         {{id::eApp, 8, 24, 297, 21, nullptr}, {id::sbStart, 312, 24, 23, 22, nullptr},
                          {id::cbUser, 8, 144, 329, -1, nullptr}, {id::btCancel, 264, 216, 75, 25, nullptr}});
        });
    // At 192 DPI the RDP dialog is taller than the test's screen, which would clip it.
    if (dpi <= 144) {
        std::vector<BYTE> rdp(1290, 0);
        WORD port = 3389;
        CheckModal(
            "TformRDPSettings",
            [&] { return Call("GetRDPSettings", rdp.data(), &port); },
            [&](Dialog d) {
                namespace id = vexlo::rdp_ids;
                // Inside a group box the table's place adds the box's.
                ExpectLayout(d, dpi, 403, 575,
                             {{id::gbConnection, 8, 8, 305, 145, nullptr}, {id::eServer, 80, 24, 125, 21, nullptr},
                              {id::sePort, 236, 24, 69, 22, nullptr}, {id::cbDeskSize, 16, 304, 289, -1, nullptr},
                              {id::iWarning, 16, 512, 32, 32, nullptr}, {id::lRDP, 64, 536, -1, -1, nullptr}});
                ExpectFont(d.Item(id::lRDP), dpi);
                // The spin box's arrows stay inside its right edge, as wide as 15 px at 96 DPI.
                HWND arrows = GetWindow(d.Item(id::sePort), GW_CHILD);
                ASSERT_NE(arrows, nullptr);
                EXPECT_NEAR(harness::ClientRect(arrows).right, Scale(15, dpi), kTolerance);
            });
    }
    std::vector<BYTE> rfb(536, 0);
    CheckModal(
        "TformRFBSettings",
        [&] { return Call("GetRFBSettings", rfb.data()); },
        [&](Dialog d) {
            namespace id = vexlo::rfb_ids;
            ExpectLayout(d, dpi, 401, 352,
                         {{id::PageControl1, 8, 96, 305, 209, nullptr}, {id::rgEncoding, 8, 32, 113, 81, nullptr},
                          {id::btOK, 320, 8, 75, 25, nullptr}});
            // The radio items share the group's height below its caption.
            const RECT group = harness::ChildRect(d.Item(id::rgEncoding));
            const RECT last = harness::ChildRect(d.Item(harness::RadioItem(id::rgEncoding, 2)));
            EXPECT_GT(last.top, group.top + Scale(40, dpi));
            EXPECT_LE(last.bottom, group.bottom);
        });
}

void CheckSwitcherButton(int dpi) {
    HWND wnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(Call("ShowSwitcherWnd", nullptr, nullptr)));
    harness::Pump(50);
    ExpectLayout(wnd, dpi, 104, 40, {{vexlo::switching::id::btSwitch, 0, 0, 41, 40, nullptr}});
    if (!wnd) return;
    // 70 px from the screen's right and bottom at 96 DPI.
    RECT at{};
    GetWindowRect(wnd, &at);
    EXPECT_EQ(at.left, GetSystemMetrics(SM_CXSCREEN) - Scale(70, dpi));
    EXPECT_EQ(at.top, GetSystemMetrics(SM_CYSCREEN) - Scale(70, dpi));
    DestroyWindow(wnd);
}

void CheckAltTab(int dpi) {
    namespace id = vexlo::switching::id;
    HWND wnd = harness::PresentSwitcher();
    harness::Pump(50);
    ExpectLayout(wnd, dpi, 640, 480,
                 {{id::sb, 8, 8, 348, 464, nullptr}, {id::lDesk, 436, 16, 185, 13, nullptr},
                  {id::GroupBox3, 364, 144, 265, 105, nullptr}});
    ExpectFont(harness::Control(wnd, id::lDesk), dpi);
    auto* chart = vexlo::ui::Window::As<vexlo::switching::TvxChart>(harness::Control(wnd, id::cCPU));
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->GridSize(), Scale(10, dpi));
    DestroyWindow(wnd);
}

void CheckMenuBitmap(int dpi) {
    // The library's resources, for the bitmap's picture.
    const HINSTANCE own = vexlo::module::Instance();
    vexlo::module::SetInstance(harness::Vexlo());
    for (int at : {0, 2 * dpi}) {
        BITMAP bm{};
        HBITMAP bitmap = vexlo::MenuBitmap(at);
        ASSERT_TRUE(bitmap && GetObjectA(bitmap, sizeof bm, &bm)) << at;
        const int check = at ? MetricForDpi(SM_CXMENUCHECK, at) : GetSystemMetrics(SM_CXMENUCHECK);
        EXPECT_EQ(bm.bmWidth, check) << at;
        EXPECT_EQ(bm.bmHeight, at ? MetricForDpi(SM_CYMENUCHECK, at) : GetSystemMetrics(SM_CYMENUCHECK)) << at;
    }
    vexlo::FreeMenuBitmap();
    vexlo::module::SetInstance(own);
}

// Sets the DPI that processes started from now on read, and puts the old one back.
class LogPixels {
public:
    explicit LogPixels(DWORD dpi) {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr);
        DWORD size = sizeof old_;
        had_ = RegQueryValueExA(key_, "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size) ==
               ERROR_SUCCESS;
        RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
    ~LogPixels() {
        if (had_) RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof old_);
        else RegDeleteValueA(key_, "LogPixels");
        RegCloseKey(key_);
    }
    LogPixels(const LogPixels&) = delete;
    LogPixels& operator=(const LogPixels&) = delete;

private:
    HKEY key_ = nullptr;
    DWORD old_ = 0;
    bool had_ = false;
};

}  // namespace

// Runs in a process of its own, started by the test below at the DPI it names.
TEST(DpiProcess, DISABLED_EveryWindowAtThisProcessesDpi) {
    const char* wanted = std::getenv("VEXLO_TEST_DPI");
    ASSERT_NE(wanted, nullptr) << "started without a DPI";
    const int dpi = std::atoi(wanted);
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSY), dpi) << "the process did not start at the DPI asked for";
    ReleaseDC(nullptr, screen);
    harness::DeleteProductKey();
    Seam();
    CheckLogonAndItsDpiChange(dpi);
    CheckAbout(dpi);
    CheckModalForms(dpi);
    CheckSwitcherButton(dpi);
    CheckAltTab(dpi);
    CheckMenuBitmap(dpi);
}

TEST(Dpi, EveryWindowIsLaidOutAtTheDpiItsProcessStartsWith) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    for (int dpi : {96, 144, 192}) {
        const LogPixels at(static_cast<DWORD>(dpi));
        SetEnvironmentVariableA("VEXLO_TEST_DPI", std::to_string(dpi).c_str());
        const std::string out = harness::RunProgramOutput(
            std::string("\"") + exe + "\" --gtest_also_run_disabled_tests --gtest_filter=DpiProcess.*", 120000);
        EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << "at " << dpi << " DPI:\n" << out;
    }
    SetEnvironmentVariableA("VEXLO_TEST_DPI", nullptr);
}

// Any process can send a form the DPI messages, whose lParam is a pointer: only the
// system's, on the window's own thread, are believed, and every DPI the form leaves takes
// its fonts along.
TEST(DpiMessages, FromAnotherThreadTheyNeitherWriteNorReadAndOldSizesLeaveNoFonts) {
    namespace id = vexlo::logon_ids;
    harness::DpiSeam& seam = Seam();  // before the library's first DPI call here
    HWND wnd = OpenLogon();
    ASSERT_NE(wnd, nullptr);
    const int dpi = vexlo::dpi::ForWindow(wnd);

    SIZE answer{-1, -1};
    EXPECT_EQ(SendFromElsewhere(wnd, WM_GETDPISCALEDSIZE, 144, reinterpret_cast<LPARAM>(&answer)), 0);
    EXPECT_EQ(answer.cx, -1) << "the size was written where another thread asked";
    EXPECT_EQ(SendMessageA(wnd, WM_GETDPISCALEDSIZE, 144, reinterpret_cast<LPARAM>(&answer)), TRUE);
    EXPECT_GT(answer.cx, Scale(411, 144));

    // A DPI the window does not have, with no rectangle: nothing changes, nothing is read.
    const HFONT first = reinterpret_cast<HFONT>(SendMessageA(harness::Control(wnd, id::eName), WM_GETFONT, 0, 0));
    SendFromElsewhere(wnd, WM_DPICHANGED, MAKEWPARAM(192, 192), 0);
    ExpectLayout(wnd, dpi, 411, 237, kLogon);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(harness::Control(wnd, id::eName), WM_GETFONT, 0, 0)), first);

    // A real change told from elsewhere: the window's own place at the new size.
    std::vector<HFONT> left;
    RECT before{};
    GetWindowRect(wnd, &before);
    const int last = dpi + 2 * 40;
    for (int next = dpi + 2; next <= last; next += 2) {
        seam.Set(wnd, next);
        SendFromElsewhere(wnd, WM_DPICHANGED, MAKEWPARAM(next, next), 0);
        left.push_back(reinterpret_cast<HFONT>(SendMessageA(harness::Control(wnd, id::eName), WM_GETFONT, 0, 0)));
    }
    ExpectLayout(wnd, last, 411, 237, kLogon);
    RECT after{};
    GetWindowRect(wnd, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    const HFONT inUse = left.back();
    int kept = 0;
    for (HFONT f : left) kept += f != inUse && GetObjectType(f) != 0;
    EXPECT_EQ(kept, 0) << "fonts of sizes no window uses any more";
    DestroyWindow(wnd);
}
