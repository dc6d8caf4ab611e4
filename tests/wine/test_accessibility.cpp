// The library's windows as a screen reader meets them: read from another process through
// Active Accessibility (vexlo_screen_reader.exe), every interactive control must have a
// name, and custom controls their roles and values.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dialogs/about_ids.h"
#include "dialogs/logon_ids.h"
#include "dialogs/runas_ids.h"
#include "harness.h"
#include "remote/rdp_ids.h"
#include "remote/rfb_ids.h"
#include "switching/alttab_ids.h"

namespace {

using harness::Dialog;

struct Heard {
    int id = 0;
    std::string cls;
    long role = 0, state = 0;
    std::string name, value, action;
};

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) out.push_back(field);
    return out;
}

// The shared driver: the window and every visible window below it, as the reader heard
// them. A window that cannot be read fails the test.
std::vector<Heard> Read(HWND wnd) {
    std::vector<Heard> out;
    std::istringstream text(harness::RunProgramOutput(harness::ScreenReaderCommand() + "walk " + std::to_string(reinterpret_cast<UINT_PTR>(wnd))));
    std::string line;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto f = Fields(line);
        if (f.size() < 5 || f[0] != "W") continue;
        out.push_back({std::stoi(f[1]), f[2], std::stol(f[3]), std::stol(f[4], nullptr, 16), f.size() > 5 ? f[5] : "",
                       f.size() > 6 ? f[6] : "", f.size() > 7 ? f[7] : ""});
    }
    if (out.empty()) ADD_FAILURE() << "the screen reader read nothing of the window";
    return out;
}

const Heard* Find(const std::vector<Heard>& heard, int id) {
    for (const Heard& h : heard)
        if (h.id == id) return &h;
    ADD_FAILURE() << "the screen reader did not find control " << id;
    return nullptr;
}

// Every control that takes input and every tab stop has a name.
void ExpectEveryControlNamed(HWND form, const char* what) {
    int interactive = 0;
    for (const Heard& h : Read(form)) {
        HWND item = harness::Control(form, h.id);
        if (!item || h.id == 0) continue;
        char parent[32] = {};
        GetClassNameA(GetParent(item), parent, sizeof parent);
        if (lstrcmpiA(parent, "ComboBox") == 0) continue;  // a combo box's own edit
        const LONG style = GetWindowLongA(item, GWL_STYLE);
        const bool groupBox = h.cls == "Button" && (style & BS_TYPEMASK) == BS_GROUPBOX;
        const bool input = h.cls == "Edit" || h.cls == "ComboBox";
        if (groupBox || !(input || (style & WS_TABSTOP))) continue;
        ++interactive;
        EXPECT_FALSE(h.name.empty()) << what << ": control " << h.id << " (" << h.cls << ") has no name";
    }
    EXPECT_GT(interactive, 0) << what << ": no interactive control was read";
}

TEST(ScreenReader, LogonNamesItsBoxesAfterTheirLabelsAndKeepsThePasswordHidden) {
    namespace id = vexlo::logon_ids;
    auto logon = harness::Proc<HWND(WINAPI*)(HWND, HICON, const BYTE*, const BYTE*, LONG)>("Logon");
    const auto user = harness::Short("guest"), pass = harness::Short("secret");
    HWND wnd = logon(nullptr, nullptr, user.data(), pass.data(), 1);
    ASSERT_NE(wnd, nullptr);
    harness::Pump(50);
    SetWindowTextA(harness::Control(wnd, id::ePass), "typed");
    std::vector<Heard> heard;
    ASSERT_TRUE(harness::Drive([&] { heard = Read(wnd); }));
    if (const Heard* h = Find(heard, id::eName)) EXPECT_EQ(h->name, "User Name:");
    if (const Heard* h = Find(heard, id::ePass)) {
        EXPECT_EQ(h->name, "Password:");
        EXPECT_EQ(h->value, "");
        EXPECT_TRUE(h->state & STATE_SYSTEM_PROTECTED);
    }
    ASSERT_TRUE(harness::Drive([&] { ExpectEveryControlNamed(wnd, "logon"); }));
    DestroyWindow(wnd);
}

using harness::Call;
using harness::CheckModal;

TEST(ScreenReader, EveryDialogNamesEveryControl) {
    BYTE user[256] = {}, pass[256] = {};
    CheckModal("TformNewPass", [&] { return Call("GetNewPassword", nullptr, nullptr, user, pass); },
              [](Dialog d) { ExpectEveryControlNamed(d, "new password"); });
    CheckModal("TformRunAs", [] { harness::Proc<void(WINAPI*)(const char*)>("ShowRunAs")("C:\\app.exe"); return 0u; },
              [](Dialog d) { ExpectEveryControlNamed(d, "Run As"); });
    std::vector<BYTE> rdp(1290, 0);
    WORD port = 3389;
    CheckModal("TformRDPSettings", [&] { return Call("GetRDPSettings", rdp.data(), &port); },
              [](Dialog d) { ExpectEveryControlNamed(d, "RDP"); });
    std::vector<BYTE> rfb(536, 0);
    CheckModal("TformRFBSettings", [&] { return Call("GetRFBSettings", rfb.data()); }, [](Dialog d) {
        namespace id = vexlo::rfb_ids;
        for (int page = 0; page < 3; ++page) {
            d.ClickTab(id::PageControl1, page);
            ExpectEveryControlNamed(d, ("RFB page " + std::to_string(page)).c_str());
        }
    });
}

// A window of this thread, read while this thread answers the reader.
std::vector<Heard> ReadOwn(HWND wnd) {
    std::vector<Heard> heard;
    EXPECT_TRUE(harness::Drive([&] { heard = Read(wnd); }));
    return heard;
}

TEST(ScreenReader, CustomControlsTellTheirRolesNamesValuesAndActions) {
    // The link label.
    std::vector<BYTE> rdp(1290, 0);
    WORD port = 3389;
    CheckModal("TformRDPSettings", [&] { return Call("GetRDPSettings", rdp.data(), &port); }, [](Dialog d) {
        const std::vector<Heard> heard = Read(d);
        if (const Heard* h = Find(heard, vexlo::rdp_ids::lRDP)) {
            EXPECT_EQ(h->role, ROLE_SYSTEM_LINK);
            EXPECT_EQ(h->name, "Click here to download the latest version");
            EXPECT_EQ(h->action, "Jump");
            EXPECT_TRUE(h->state & STATE_SYSTEM_LINKED);
            EXPECT_TRUE(h->state & STATE_SYSTEM_FOCUSABLE);
        }
    });

    // The edition picture reads as its words; the artwork behind it says nothing.
    auto about = harness::Proc<HWND(WINAPI*)(HICON, DWORD, const char*, DWORD)>("ShowAbout");
    HWND aboutWnd = about(nullptr, 2, "1.0", 0);
    ASSERT_NE(aboutWnd, nullptr);
    {
        const std::vector<Heard> heard = ReadOwn(aboutWnd);
        if (const Heard* h = Find(heard, vexlo::about_ids::iVer)) {
            EXPECT_EQ(h->name, "Business edition");
            EXPECT_EQ(h->role, ROLE_SYSTEM_GRAPHIC);
        }
        if (const Heard* h = Find(heard, vexlo::about_ids::Image1)) EXPECT_EQ(h->name, "");
    }
    DestroyWindow(aboutWnd);

    // The floating button.
    HWND floating = reinterpret_cast<HWND>(static_cast<UINT_PTR>(Call("ShowSwitcherWnd", nullptr, nullptr)));
    ASSERT_NE(floating, nullptr);
    {
        const std::vector<Heard> heard = ReadOwn(floating);
        if (const Heard* h = Find(heard, vexlo::switching::id::btSwitch)) {
            EXPECT_EQ(h->role, ROLE_SYSTEM_PUSHBUTTON);
            EXPECT_EQ(h->name, "Switch desktops");
            EXPECT_EQ(h->action, "Press");
        }
    }
    DestroyWindow(floating);
}

// The switcher's charts read as their captions with the latest figure, and say that it
// changed at most once a second.
TEST(ScreenReader, ChartsTellTheirLatestFigureAtMostOnceASecond) {
    namespace id = vexlo::switching::id;
    HWND wnd = harness::PresentSwitcher();
    harness::ScreenReaderEvents reader(GetCurrentProcessId(), 3500);
    ASSERT_TRUE(reader.Listening());
    const std::vector<std::string> events = reader.Finish();
    int changes = 0;
    for (const std::string& e : events)
        if (e.rfind("E\t800e\t" + std::to_string(id::cCPU) + "\t", 0) == 0) ++changes;
    EXPECT_GE(changes, 1);
    EXPECT_LE(changes, 4) << "in 3.5 s";
    const std::vector<Heard> heard = ReadOwn(wnd);
    if (const Heard* h = Find(heard, id::cCPU)) {
        EXPECT_EQ(h->role, ROLE_SYSTEM_CHART);
        EXPECT_EQ(h->name, "CPU usage");
        EXPECT_NE(h->value.find(" %"), std::string::npos) << h->value;
    }
    if (const Heard* h = Find(heard, id::cSwap)) EXPECT_EQ(h->name, "Swap file usage");
    DestroyWindow(wnd);
}

void Keys(std::initializer_list<std::pair<WORD, bool>> keys) {
    for (auto [vk, down] : keys) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        SendInput(1, &in, sizeof in);
    }
}

TEST(Keyboard, TheBrowseButtonAndThePageTabsAreTabStopsAndCtrlKeysTurnThePagesFromAnywhere) {
    CheckModal("TformRunAs", [] { harness::Proc<void(WINAPI*)(const char*)>("ShowRunAs")("C:\\app.exe"); return 0u; },
              [](Dialog d) {
                  namespace id = vexlo::runas_ids;
                  harness::ExpectTabOrder(d, {id::eApp, id::sbStart, id::eCmd});
              });
    std::vector<BYTE> rfb(536, 0);
    CheckModal("TformRFBSettings", [&] { return Call("GetRFBSettings", rfb.data()); }, [](Dialog d) {
        namespace id = vexlo::rfb_ids;
        SetForegroundWindow(d);
        ASSERT_TRUE(d.Focus(id::eServer));
        const auto page = [&] { return static_cast<int>(d.Send(id::PageControl1, TCM_GETCURSEL)); };
        // Each page's first control takes the focus.
        const HWND first[] = {d.Item(id::cbAuto), d.Item(id::cbPointer), d.Item(id::cbShared)};
        int at = page();
        const auto turns = [&](int step) {
            at = (at + step + 3) % 3;
            return harness::WaitUntil([&] { return page() == at && d.Focused() == first[at]; }, 2000);
        };
        Keys({{VK_CONTROL, true}, {VK_TAB, true}, {VK_TAB, false}, {VK_CONTROL, false}});
        EXPECT_TRUE(turns(1)) << page();
        Keys({{VK_CONTROL, true}, {VK_NEXT, true}, {VK_NEXT, false}, {VK_CONTROL, false}});
        EXPECT_TRUE(turns(1)) << page();
        Keys({{VK_CONTROL, true}, {VK_NEXT, true}, {VK_NEXT, false}, {VK_CONTROL, false}});
        EXPECT_TRUE(turns(1)) << page();
        Keys({{VK_CONTROL, true}, {VK_SHIFT, true}, {VK_TAB, true}, {VK_TAB, false}, {VK_SHIFT, false}, {VK_CONTROL, false}});
        EXPECT_TRUE(turns(-1)) << page();
        Keys({{VK_CONTROL, true}, {VK_PRIOR, true}, {VK_PRIOR, false}, {VK_CONTROL, false}});
        EXPECT_TRUE(turns(-1)) << page();

        // The tabs are a stop of their own between Cancel and the page, where arrows turn.
        HWND tabs = d.Item(id::PageControl1);
        const auto focusIs = [&](HWND want) { return harness::WaitUntil([&] { return d.Focused() == want; }, 2000); };
        ASSERT_TRUE(d.Focus(id::btCancel));
        Keys({{VK_TAB, true}, {VK_TAB, false}});
        EXPECT_TRUE(focusIs(tabs));
        const WORD arrow = at < 2 ? VK_RIGHT : VK_LEFT;  // the tabs do not wrap
        Keys({{arrow, true}, {arrow, false}});
        at += arrow == VK_RIGHT ? 1 : -1;
        EXPECT_TRUE(harness::WaitUntil([&] { return page() == at; }, 2000)) << page();
        Keys({{VK_TAB, true}, {VK_TAB, false}});
        EXPECT_TRUE(focusIs(first[at]));
        Keys({{VK_SHIFT, true}, {VK_TAB, true}, {VK_TAB, false}, {VK_SHIFT, false}});
        EXPECT_TRUE(focusIs(tabs));
        Keys({{VK_SHIFT, true}, {VK_TAB, true}, {VK_TAB, false}, {VK_SHIFT, false}});
        EXPECT_TRUE(focusIs(d.Item(id::btCancel)));
    });
}

// High contrast, as a user with a white-on-black scheme has it: the colours set with
// SetSysColors (restored after), the setting itself seen through the library's one
// question, whose answer the test gives.
class HighContrastScene {
public:
    HighContrastScene() {
        for (int i = 0; i < 6; ++i) saved_[i] = GetSysColor(kElements[i]);
        SetSysColors(6, kElements, kScheme);
    }
    ~HighContrastScene() { SetSysColors(6, kElements, saved_); }
    void Off() {
        hook_.reset();
        ownHook_.reset();
    }
    // In the library and in this program, which links the switcher's code too.
    bool On() {
        hook_ = std::make_unique<harness::ImportHook>("user32.dll", "SystemParametersInfoA", reinterpret_cast<void*>(&Answer));
        ownHook_ = std::make_unique<harness::ImportHook>("user32.dll", "SystemParametersInfoA", reinterpret_cast<void*>(&Answer),
                                                         GetModuleHandleA(nullptr));
        return hook_->Installed() && ownHook_->Installed();
    }

private:
    static BOOL WINAPI Answer(UINT action, UINT param, void* data, UINT ini) {
        if (action != SPI_GETHIGHCONTRAST) {
            using Fn = BOOL(WINAPI*)(UINT, UINT, void*, UINT);
            static const auto real = reinterpret_cast<Fn>(
                reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SystemParametersInfoA")));
            return real(action, param, data, ini);
        }
        static_cast<HIGHCONTRASTA*>(data)->dwFlags = HCF_HIGHCONTRASTON;
        return TRUE;
    }
    static constexpr INT kElements[6] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_HIGHLIGHT, COLOR_HOTLIGHT};
    static constexpr COLORREF kScheme[6] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 255, 255), RGB(255, 255, 0)};
    COLORREF saved_[6] = {};
    std::unique_ptr<harness::ImportHook> hook_, ownHook_;
};

// How many of a window's pixels have each of the given colours, and how many none of them.
std::vector<int> Colours(HWND wnd, std::initializer_list<COLORREF> colours) {
    harness::Pump(150);
    RECT r{};
    GetClientRect(wnd, &r);
    std::vector<int> counts(colours.size() + 1, 0);
    HDC dc = GetDC(wnd);
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            std::size_t i = 0;
            for (COLORREF want : colours) {
                if (c == want) break;
                ++i;
            }
            ++counts[i];
        }
    ReleaseDC(wnd, dc);
    return counts;
}

TEST(HighContrast, TextOverArtworkLinksChartsAndTheRoundButtonUseSystemColoursOnly) {
    HighContrastScene scene;
    ASSERT_TRUE(scene.On());
    constexpr COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255), cyan = RGB(0, 255, 255), yellow = RGB(255, 255, 0);

    // The logon banner's text stands on the window colour, not on the artwork.
    namespace lid = vexlo::logon_ids;
    auto logon = harness::Proc<HWND(WINAPI*)(HWND, HICON, const BYTE*, const BYTE*, LONG)>("Logon");
    const auto user = harness::Short("guest"), pass = harness::Short("secret");
    HWND wnd = logon(nullptr, nullptr, user.data(), pass.data(), 1);
    ASSERT_NE(wnd, nullptr);
    HWND banner = harness::Control(wnd, lid::Label1);
    std::vector<int> seen = Colours(banner, {black, white});
    EXPECT_GT(seen[1], 50);
    EXPECT_LT(seen[2], (seen[0] + seen[1]) / 20) << "pixels of neither colour";
    // Turned off and told: the artwork is back behind the text.
    scene.Off();
    SendMessageA(wnd, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    seen = Colours(banner, {black, white});
    EXPECT_GT(seen[2], (seen[0] + seen[1]));
    ASSERT_TRUE(scene.On());
    SendMessageA(wnd, WM_SYSCOLORCHANGE, 0, 0);
    seen = Colours(banner, {black, white});
    EXPECT_LT(seen[2], (seen[0] + seen[1]) / 20);
    DestroyWindow(wnd);

    // The round button: the face, its outline and picture in the button text colour.
    HWND floating = reinterpret_cast<HWND>(static_cast<UINT_PTR>(Call("ShowSwitcherWnd", nullptr, nullptr)));
    ASSERT_NE(floating, nullptr);
    seen = Colours(harness::Control(floating, vexlo::switching::id::btSwitch), {black, white});
    EXPECT_GT(seen[1], 30);
    EXPECT_LT(seen[2], (seen[0] + seen[1]) / 10) << "the gradient is gone";
    DestroyWindow(floating);

    // The charts: window colour, window text grid, highlighted curve.
    HWND switcher = harness::PresentSwitcher();
    harness::Pump(1300);
    seen = Colours(harness::Control(switcher, vexlo::switching::id::cCPU), {black, white, cyan});
    EXPECT_GT(seen[0], seen[3]);
    EXPECT_GT(seen[1], 20);
    EXPECT_LT(seen[3], (seen[0] + seen[1] + seen[2]) / 20);
    DestroyWindow(switcher);

    // The link in the hot-light colour.
    std::vector<BYTE> rdp(1290, 0);
    WORD port = 3389;
    CheckModal("TformRDPSettings", [&] { return Call("GetRDPSettings", rdp.data(), &port); }, [&](Dialog d) {
        harness::WaitUntil([] { return false; }, 300);
        RECT r{};
        HWND link = d.Item(vexlo::rdp_ids::lRDP);
        GetClientRect(link, &r);
        HDC dc = GetDC(link);
        int hot = 0;
        for (int y = 0; y < r.bottom; ++y)
            for (int x = 0; x < r.right; ++x) hot += GetPixel(dc, x, y) == yellow;
        ReleaseDC(link, dc);
        EXPECT_GT(hot, 20);
    });
}

}  // namespace
