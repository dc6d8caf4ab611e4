// Task switching with real desktops and windows: the Alt+Tab switcher driven by SendInput
// through the installed hook, and the floating button with its register-convention callback.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "harness.h"
#include "switching/alttab_ids.h"

namespace {

namespace id = vexlo::switching::id;

// Runs the reference host to its end.
bool RunHostCommand(const std::string& args) {
    STARTUPINFOA si{sizeof si};
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + harness::ExeDir() + "VexloHost.exe\" " + args;
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, 30000);
    DWORD rc = 1;
    GetExitCodeProcess(pi.hProcess, &rc);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return rc == 0;
}

// Another process with titled windows on the given desktops (ID:COUNT), plus an untitled
// window and a tool window on each; the first window of each desktop is minimized.
class WindowsHelper {
public:
    explicit WindowsHelper(const std::string& jobs) {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "VexloHostWindowsReady");
        STARTUPINFOA si{sizeof si};
        std::string cmd = "\"" + harness::ExeDir() + "VexloHost.exe\" windows " + jobs;
        if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi_)) {
            HANDLE both[] = {ready, pi_.hProcess};
            ok_ = WaitForMultipleObjects(2, both, FALSE, 30000) == WAIT_OBJECT_0;
        }
        CloseHandle(ready);
    }
    ~WindowsHelper() {
        if (!pi_.hProcess) return;
        if (HANDLE stop = OpenEventA(EVENT_MODIFY_STATE, FALSE, "VexloHostWindowsStop")) {
            SetEvent(stop);
            CloseHandle(stop);
        }
        if (WaitForSingleObject(pi_.hProcess, 5000) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 1);
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    bool Ready() const { return ok_; }

private:
    PROCESS_INFORMATION pi_{};
    bool ok_ = false;
};

void PublishMainWindow(HWND wnd) {
    HANDLE map = OpenFileMappingA(FILE_MAP_WRITE, FALSE, "KeyVexloContext");
    ASSERT_NE(map, nullptr);
    void* view = MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 4);
    const auto value = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(wnd));
    std::memcpy(view, &value, 4);
    UnmapViewOfFile(view);
    CloseHandle(map);
}

void Keys(std::initializer_list<std::pair<WORD, bool>> keys) {
    for (auto [vk, down] : keys) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        SendInput(1, &in, sizeof in);
        harness::Pump(30);
    }
}
void Tab() { Keys({{VK_TAB, true}, {VK_TAB, false}}); }

HWND Switcher() { return FindWindowA("TVexloAltTabWnd", nullptr); }

int Selected(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)); }

std::string ItemText(HWND list, int index) {
    char text[260] = {};
    LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

TEST(AltTabSwitcher, ListsEveryDesktopsWindowsAdvancesWithTabAndActivatesOnAltUp) {
    ASSERT_NE(harness::Vexlo(), nullptr);  // holds the shared blocks the seed writes to
    ASSERT_TRUE(RunHostCommand("seed Switching s3cret 1:Main 3001:Office -7:Off:Off:disabled"));
    WindowsHelper helper("1:2 3001:3 -7:2");
    ASSERT_TRUE(helper.Ready());
    harness::Recorder host;
    PublishMainWindow(host.hwnd());
    // A titled window of the hook's own process is never listed.
    HWND own = CreateWindowA("STATIC", "Own window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                             nullptr, nullptr, nullptr);

    const harness::StdcallResult installed = harness::CallStdcall("AltTabHook", {1});
    EXPECT_EQ(installed.value & 0xFF, 1u);
    EXPECT_EQ(installed.stackDelta, 0);

    Keys({{VK_MENU, true}, {VK_TAB, true}, {VK_TAB, false}});
    HWND wnd = nullptr;
    for (int i = 0; i < 200 && !(wnd = Switcher()); ++i) harness::Pump(10);
    ASSERT_NE(wnd, nullptr);
    harness::Pump(100);
    EXPECT_TRUE(IsWindowVisible(wnd));
    const harness::Dialog d(wnd);

    // One group per enabled desktop with windows, in settings order; only titled
    // application windows of other processes.
    EXPECT_EQ(d.Text(id::GroupOf(0)), "Main");
    EXPECT_EQ(d.Text(id::GroupOf(1)), "Office");
    EXPECT_EQ(d.Item(id::GroupOf(2)), nullptr);
    HWND mainList = d.Item(id::ViewOf(0)), officeList = d.Item(id::ViewOf(1));
    ASSERT_EQ(SendMessageA(mainList, LVM_GETITEMCOUNT, 0, 0), 2);
    ASSERT_EQ(SendMessageA(officeList, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(ItemText(mainList, 0), "Desk 1 window 1");
    EXPECT_EQ(ItemText(mainList, 1), "Desk 1 window 0");
    EXPECT_EQ(ItemText(officeList, 2), "Desk 3001 window 0");

    // The topmost window of the input desktop is selected, with its details.
    EXPECT_EQ(Selected(mainList), 0);
    EXPECT_EQ(d.Text(id::lDesk), "Main");
    EXPECT_EQ(d.Text(id::lWnd), "Desk 1 window 1");
    EXPECT_EQ(d.Text(id::lFile), "VEXLOHOST.EXE");
    EXPECT_NE(d.Text(id::lMemory).find(" bytes"), std::string::npos);
    EXPECT_EQ(d.Text(id::lPriority), "Normal");
    ASSERT_EQ(host.Count(WM_USER + 9), 1u);
    EXPECT_EQ(reinterpret_cast<HWND>(host.Messages()[0].wp), wnd);

    // Tabs run through the desktop's windows, on to the next desktop, and wrap around.
    Tab();
    EXPECT_EQ(Selected(mainList), 1);
    Tab();
    EXPECT_EQ(Selected(officeList), 0);
    EXPECT_EQ(d.Text(id::lDesk), "Office");
    Tab();
    Tab();
    EXPECT_EQ(Selected(officeList), 2);
    Tab();
    EXPECT_EQ(d.Text(id::lDesk), "Main");
    EXPECT_EQ(d.Text(id::lWnd), "Desk 1 window 1");
    Tab();
    EXPECT_EQ(d.Text(id::lWnd), "Desk 1 window 0");

    // Escape does not cancel; releasing Alt activates the chosen window, restored.
    Keys({{VK_ESCAPE, true}, {VK_ESCAPE, false}});
    EXPECT_TRUE(IsWindow(wnd));
    HWND chosen = FindWindowA("VexloHostApp", "Desk 1 window 0");
    ASSERT_NE(chosen, nullptr);
    EXPECT_TRUE(IsIconic(chosen));
    Keys({{VK_MENU, false}});
    harness::Pump(200);
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_FALSE(IsIconic(chosen));
    EXPECT_EQ(GetForegroundWindow(), chosen);

    // Any value but 1 removes the hook; nothing is left to remove then.
    EXPECT_EQ(harness::CallStdcall("AltTabHook", {2}).value, 1u);
    EXPECT_EQ(harness::CallStdcall("AltTabHook", {0}).value, 0u);
    DestroyWindow(own);
}

// The main program's callback: its argument arrives in EAX; EAX, ECX and EDX are its own.
extern "C" {
HWND g_seenEax = nullptr;
int g_calls = 0;
void RegisterRecorder();
}
asm(".text\n.globl _RegisterRecorder\n_RegisterRecorder:\n"
    "  movl %eax, _g_seenEax\n  incl _g_calls\n  xorl %eax, %eax\n  xorl %ecx, %ecx\n  xorl %edx, %edx\n  ret\n");

TEST(SwitcherButton, SitsInTheCornerCallsBackWithItsHandleAndLetsClicksThrough) {
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    HWND below = CreateWindowA("BUTTON", "below", WS_POPUP | WS_VISIBLE, cx - 200, cy - 200, 200, 200, nullptr,
                               nullptr, nullptr, nullptr);
    const harness::StdcallResult r = harness::CallStdcall(
        "ShowSwitcherWnd", {static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(CopyIcon(LoadIcon(nullptr, IDI_APPLICATION)))),
                            static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(&RegisterRecorder))});
    HWND wnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(r.value));
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(r.stackDelta, 0);
    harness::Pump(100);
    RECT at{};
    GetWindowRect(wnd, &at);
    EXPECT_EQ(at.left, cx - 70);
    EXPECT_EQ(at.top, cy - 70);
    EXPECT_TRUE(GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST);

    // Placed again after a change of the display mode.
    SetWindowPos(wnd, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(wnd, WM_DISPLAYCHANGE, 24, MAKELPARAM(cx, cy));
    GetWindowRect(wnd, &at);
    EXPECT_EQ(at.left, cx - 70);

    // The round button takes the click; the black part beside it lets it through.
    HWND button = harness::Control(wnd, id::btSwitch);
    EXPECT_EQ(WindowFromPoint({cx - 70 + 20, cy - 70 + 20}), button);
    EXPECT_EQ(WindowFromPoint({cx - 70 + 55, cy - 70 + 20}), below);
    PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    PostMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    harness::Pump(100);
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(g_seenEax, wnd);

    // A close request only hides it; a second call gives a second window at the same spot.
    SendMessageA(wnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(wnd));
    EXPECT_FALSE(IsWindowVisible(wnd));
    HWND second = reinterpret_cast<HWND>(static_cast<UINT_PTR>(
        harness::CallStdcall("ShowSwitcherWnd", {0, static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(&RegisterRecorder))}).value));
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, wnd);
    RECT at2{};
    GetWindowRect(second, &at2);
    EXPECT_EQ(at2.left, cx - 70);
    EXPECT_EQ(at2.top, cy - 70);
    DestroyWindow(second);
    DestroyWindow(wnd);
    DestroyWindow(below);
}

}  // namespace
