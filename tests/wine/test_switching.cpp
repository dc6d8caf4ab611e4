// Task switching with real desktops and windows: the Alt+Tab switcher driven by SendInput
// through the installed hooks (on threads of the library's own, one per desktop), and the
// floating button with its register-convention callback.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

double NowMs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

void SendKey(WORD vk, bool down) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
}

// The keyboard through SendInput, key by key, pumping the calling thread in between.
//
// Wine forgets injected keys whenever a window of the process becomes active: it takes the
// keyboard state from the X server then, which never saw them. The switcher takes the focus
// when it shows, and from then on Alt reads as up though the test still holds it, and the
// hook (which checks its record of Alt against the key's real state) takes it as released.
// So before each key event this keyboard sends the key-downs of the keys it holds again, as
// a keyboard's autorepeat does; where nothing was forgotten (Windows, and real key events
// from the X server, as alt_tab_real_keys.sh sends them) that changes nothing.
class Keyboard {
public:
    void Down(WORD vk) {
        Repeat();
        held_.push_back(vk);
        Send(vk, true);
    }
    void Up(WORD vk) {
        held_.erase(std::remove(held_.begin(), held_.end(), vk), held_.end());
        Repeat();
        Send(vk, false);
    }
    void Press(WORD vk) {
        Repeat();
        Send(vk, true);
        Repeat();
        Send(vk, false);
    }

private:
    void Repeat() const {
        for (WORD h : held_) Send(h, true);
    }
    static void Send(WORD vk, bool down) {
        SendKey(vk, down);
        harness::Pump(30);
    }
    std::vector<WORD> held_;
};

void Keys(std::initializer_list<std::pair<WORD, bool>> keys) {
    for (auto [vk, down] : keys) {
        SendKey(vk, down);
        harness::Pump(30);
    }
}

HWND Switcher() { return FindWindowA("TVexloAltTabWnd", nullptr); }

// Pumps until the switcher shows (or the time is up).
HWND WaitForSwitcher(DWORD ms = 3000) {
    HWND wnd = nullptr;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        harness::Pump(10);
        wnd = Switcher();
        if (wnd && IsWindowVisible(wnd)) return wnd;
    }
    return nullptr;
}

bool WaitGone(HWND wnd, DWORD ms = 2000) {
    const DWORD start = GetTickCount();
    while (IsWindow(wnd) && GetTickCount() - start < ms) harness::Pump(10);
    return !IsWindow(wnd);
}

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

int ThreadCount() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 t{};
    t.dwSize = sizeof t;
    int n = 0;
    for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t))
        if (t.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    CloseHandle(snap);
    return n;
}

// Whether the window's thread is in menu mode, as a lone Alt tap leaves it.
bool InMenuMode(HWND wnd) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(wnd, nullptr), &info) && (info.flags & GUI_INMENUMODE);
}

std::uint32_t AltTabHook(std::uint32_t install) { return harness::CallStdcall("AltTabHook", {install}).value & 0xFF; }

// A low-level hook installed before the library's: the system calls it after the library's,
// when that one passes the event on. Records what reaches it.
class NextHook {
public:
    NextHook() {
        self_ = this;
        ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, &Run, this, 0, &id_);
        WaitForSingleObject(ready_, 5000);
    }
    ~NextHook() {
        PostThreadMessageA(id_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
        CloseHandle(ready_);
        self_ = nullptr;
    }
    bool Installed() const { return hook_ != nullptr; }
    // Key-downs (WM_KEYDOWN or WM_SYSKEYDOWN) or key-ups of the key that reached it.
    int Count(DWORD vk, bool down) const {
        std::lock_guard<std::mutex> hold(mu_);
        int n = 0;
        for (auto [msg, key] : seen_)
            if (key == vk && ((msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) == down)) ++n;
        return n;
    }
    void Clear() {
        std::lock_guard<std::mutex> hold(mu_);
        seen_.clear();
    }

private:
    static DWORD WINAPI Run(void* param) {
        auto* self = static_cast<NextHook*>(param);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        self->hook_ = SetWindowsHookExA(WH_KEYBOARD_LL, &Proc, GetModuleHandleA(nullptr), 0);
        SetEvent(self->ready_);
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        UnhookWindowsHookEx(self->hook_);
        return 0;
    }
    static LRESULT CALLBACK Proc(int code, WPARAM wp, LPARAM lp) {
        if (code == HC_ACTION && self_) {
            std::lock_guard<std::mutex> hold(self_->mu_);
            self_->seen_.push_back({static_cast<UINT>(wp), reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp)->vkCode});
        }
        return CallNextHookEx(nullptr, code, wp, lp);
    }
    static inline NextHook* self_ = nullptr;
    HANDLE ready_ = nullptr, thread_ = nullptr;
    DWORD id_ = 0;
    HHOOK hook_ = nullptr;
    mutable std::mutex mu_;
    std::vector<std::pair<UINT, DWORD>> seen_;
};

// Runs fn on a thread of this process attached to the named desktop (only a thread without
// windows or hooks can be), and waits for it.
void OnDesktop(const std::string& desktop, const std::function<void()>& fn) {
    std::thread t([&] {
        HDESK d = OpenDesktopA(desktop.c_str(), 0, FALSE, GENERIC_ALL);
        ASSERT_NE(d, nullptr) << desktop;
        ASSERT_TRUE(SetThreadDesktop(d)) << desktop;
        fn();
        // The desktop handle goes with the process: a thread's own desktop cannot be closed.
    });
    t.join();
}

// Makes the gathering of the desktops' windows slow while it lives: the library reads each
// window's title through GetWindowTextA, on its worker threads; each read here takes 150 ms.
int WINAPI SlowGetWindowTextA(HWND wnd, LPSTR text, int size) {
    Sleep(150);
    return GetWindowTextA(wnd, text, size);
}
struct SlowGathering {
    harness::ImportHook hook{"user32.dll", "GetWindowTextA", reinterpret_cast<void*>(&SlowGetWindowTextA)};
};

// The profile (seed arguments) and the helper's windows (ID:COUNT[:FLAGS]), the host's
// window published; the windows are given time to settle (activation included, which makes
// Wine forget injected keys) before anything is pressed.
struct Scene {
    harness::Recorder host;
    std::unique_ptr<WindowsHelper> helper;
    bool Ready(const std::string& seed, const std::string& jobs) {
        if (!harness::Vexlo()) return false;  // holds the shared blocks the seed writes to
        if (!RunHostCommand("seed Switching s3cret " + seed)) return false;
        helper = std::make_unique<WindowsHelper>(jobs);
        if (!helper->Ready()) return false;
        PublishMainWindow(host.hwnd());
        harness::Pump(300);
        return true;
    }
};

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
    harness::Pump(300);

    const harness::StdcallResult installed = harness::CallStdcall("AltTabHook", {1});
    EXPECT_EQ(installed.value & 0xFF, 1u);
    EXPECT_EQ(installed.stackDelta, 0);

    Keyboard kb;
    kb.Down(VK_MENU);
    kb.Press(VK_TAB);
    HWND wnd = WaitForSwitcher();
    ASSERT_NE(wnd, nullptr);
    harness::Pump(100);
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
    kb.Press(VK_TAB);
    EXPECT_EQ(Selected(mainList), 1);
    kb.Press(VK_TAB);
    EXPECT_EQ(Selected(officeList), 0);
    EXPECT_EQ(d.Text(id::lDesk), "Office");
    kb.Press(VK_TAB);
    kb.Press(VK_TAB);
    EXPECT_EQ(Selected(officeList), 2);
    kb.Press(VK_TAB);
    EXPECT_EQ(d.Text(id::lDesk), "Main");
    EXPECT_EQ(d.Text(id::lWnd), "Desk 1 window 1");
    kb.Press(VK_TAB);
    EXPECT_EQ(d.Text(id::lWnd), "Desk 1 window 0");

    // Releasing Alt activates the chosen window, restored.
    HWND chosen = FindWindowA("VexloHostApp", "Desk 1 window 0");
    ASSERT_NE(chosen, nullptr);
    EXPECT_TRUE(IsIconic(chosen));
    kb.Up(VK_MENU);
    EXPECT_TRUE(WaitGone(wnd));
    // Restored by its own thread, as asked without waiting for it.
    EXPECT_TRUE(harness::WaitUntil([&] { return !IsIconic(chosen); }));
    EXPECT_EQ(GetForegroundWindow(), chosen);
    EXPECT_EQ(host.Count(WM_USER + 9), 1u);
    harness::Pump(200);
    EXPECT_FALSE(InMenuMode(chosen));  // Alt's release was no lone tap

    // Any value but 1 removes the hook; nothing is left to remove then.
    EXPECT_EQ(harness::CallStdcall("AltTabHook", {2}).value, 1u);
    EXPECT_EQ(harness::CallStdcall("AltTabHook", {0}).value, 0u);
    DestroyWindow(own);
}

TEST(AltTabSwitcher, AltShiftTabMovesBackwardsWithWrapAndActivatesOnTheChosenDesktop) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main 3001:Office", "1:2 3001:3"));
    ASSERT_EQ(AltTabHook(1), 1u);
    Keyboard kb;
    kb.Down(VK_MENU);
    kb.Down(VK_SHIFT);
    kb.Press(VK_TAB);
    HWND wnd = WaitForSwitcher();
    ASSERT_NE(wnd, nullptr);
    const harness::Dialog d(wnd);
    HWND mainList = d.Item(id::ViewOf(0)), officeList = d.Item(id::ViewOf(1));
    // Opened with Shift: one before the usual first item (item 0 of Main), which wraps to
    // the last window of the last desktop with windows.
    EXPECT_EQ(Selected(officeList), 2);
    EXPECT_EQ(d.Text(id::lWnd), "Desk 3001 window 0");
    kb.Press(VK_TAB);
    EXPECT_EQ(Selected(officeList), 1);
    kb.Up(VK_SHIFT);
    kb.Press(VK_TAB);  // forwards again
    EXPECT_EQ(Selected(officeList), 2);
    kb.Press(VK_TAB);
    EXPECT_EQ(Selected(mainList), 0);
    kb.Down(VK_SHIFT);
    kb.Press(VK_TAB);  // back across the wrap
    EXPECT_EQ(Selected(officeList), 2);
    kb.Up(VK_SHIFT);
    EXPECT_EQ(scene.host.Count(WM_USER + 9), 1u);

    // Released: the chosen window, minimized on the Office desktop, is restored and becomes
    // the foreground window of its own desktop (after SwitchDesktop, by a thread on it).
    kb.Up(VK_MENU);
    EXPECT_TRUE(WaitGone(wnd));
    harness::Pump(200);
    OnDesktop("Vexlo_3001", [] {
        HWND chosen = FindWindowA("VexloHostApp", "Desk 3001 window 0");
        ASSERT_NE(chosen, nullptr);
        EXPECT_FALSE(IsIconic(chosen));
        EXPECT_EQ(GetForegroundWindow(), chosen);
    });
    EXPECT_EQ(AltTabHook(0), 1u);
}

// What a screen reader in another process hears of one switch: its start, each window the
// selection reaches, named with its desktop, as the list item that has the focus, and its end.
TEST(AltTabSwitcher, ScreenReadersHearTheSwitchAndEachWindowItReachesWithItsDesktop) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main 3001:Office", "1:2 3001:1"));
    harness::ScreenReaderEvents reader(GetCurrentProcessId());
    ASSERT_TRUE(reader.Listening());
    ASSERT_EQ(AltTabHook(1), 1u);
    Keyboard kb;
    kb.Down(VK_MENU);
    kb.Press(VK_TAB);
    HWND wnd = WaitForSwitcher();
    ASSERT_NE(wnd, nullptr);
    char caption[64] = {};
    GetWindowTextA(wnd, caption, sizeof caption);
    EXPECT_STRNE(caption, "");
    harness::Pump(300);
    kb.Press(VK_TAB);
    harness::Pump(300);
    kb.Press(VK_TAB);
    harness::Pump(300);
    kb.Up(VK_MENU);
    EXPECT_TRUE(WaitGone(wnd));
    const std::vector<std::string> heard = reader.Finish();

    // Fields: E, event, control id, object id, child id, role, state, name, value.
    std::vector<std::string> focused;
    int start = -1, end = -1, firstFocus = -1, lastFocus = -1, index = 0;
    std::string transcript;
    for (const std::string& line : heard) {
        transcript += line + "\n";
        std::vector<std::string> f;
        std::string field;
        for (char c : line + "\t") {
            if (c != '\t') {
                field.push_back(c);
                continue;
            }
            f.push_back(field);
            field.clear();
        }
        if (f.size() < 8 || f[0] != "E") continue;
        const unsigned long event = std::stoul(f[1], nullptr, 16);
        ++index;
        if (event == EVENT_SYSTEM_SWITCHSTART && start < 0) start = index;
        if (event == EVENT_SYSTEM_SWITCHEND) end = index;
        if (event != EVENT_OBJECT_FOCUS || f[4] == "0") continue;
        if (firstFocus < 0) firstFocus = index;
        lastFocus = index;
        EXPECT_EQ(std::stol(f[5]), 34L) << "a list item's role: " << line;                   // ROLE_SYSTEM_LISTITEM
        EXPECT_TRUE(std::stoul(f[6], nullptr, 16) & STATE_SYSTEM_SELECTED) << line;
        if (focused.empty() || focused.back() != f[7]) focused.push_back(f[7]);
    }
    const std::vector<std::string> expected = {"Desk 1 window 1, Main", "Desk 1 window 0, Main",
                                               "Desk 3001 window 0, Office"};
    EXPECT_EQ(focused, expected) << transcript;
    EXPECT_GT(start, 0) << transcript;
    EXPECT_LT(start, firstFocus) << transcript;
    EXPECT_GT(end, lastFocus) << transcript;
    EXPECT_EQ(AltTabHook(0), 1u);
}

TEST(AltTabSwitcher, EscapeWithAltHeldClosesWithoutActivatingAndIsSwallowed) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main", "1:3"));
    NextHook next;
    ASSERT_TRUE(next.Installed());
    ASSERT_EQ(AltTabHook(1), 1u);
    HWND before = GetForegroundWindow();
    HWND second = FindWindowA("VexloHostApp", "Desk 1 window 1");
    ASSERT_NE(second, nullptr);

    Keyboard kb;
    kb.Down(VK_MENU);
    kb.Press(VK_TAB);
    HWND wnd = WaitForSwitcher();
    ASSERT_NE(wnd, nullptr);
    kb.Press(VK_TAB);  // "Desk 1 window 1" chosen
    EXPECT_EQ(harness::Dialog(wnd).Text(id::lWnd), "Desk 1 window 1");
    next.Clear();
    kb.Press(VK_ESCAPE);
    EXPECT_TRUE(WaitGone(wnd));
    EXPECT_EQ(next.Count(VK_ESCAPE, true), 0);  // swallowed, key-down and key-up
    EXPECT_EQ(next.Count(VK_ESCAPE, false), 0);
    // Alt's release afterwards does nothing, and is passed on.
    kb.Up(VK_MENU);
    harness::Pump(300);
    EXPECT_EQ(next.Count(VK_MENU, false), 1);
    EXPECT_EQ(Switcher(), nullptr);
    EXPECT_EQ(scene.host.Count(WM_USER + 9), 1u);
    EXPECT_NE(GetForegroundWindow(), second);
    EXPECT_EQ(GetForegroundWindow(), before);
    EXPECT_FALSE(InMenuMode(before));  // Alt's release was no lone tap

    // Escape with Alt held but no switcher is passed on (Alt+Esc is the system's).
    next.Clear();
    kb.Down(VK_MENU);
    kb.Press(VK_ESCAPE);
    kb.Up(VK_MENU);
    EXPECT_EQ(next.Count(VK_ESCAPE, true), 1);
    EXPECT_EQ(AltTabHook(0), 1u);
}

TEST(AltTabSwitcher, EscapeWhileTheSwitcherIsBuiltShowsNothingAndTellsTheHostNothing) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main", "1:3"));
    SlowGathering slow;  // 450 ms
    ASSERT_TRUE(slow.hook.Installed());
    ASSERT_EQ(AltTabHook(1), 1u);
    bool everShown = false;
    ASSERT_TRUE(harness::Drive([&] {
        SendKey(VK_MENU, true);
        SendKey(VK_TAB, true);
        SendKey(VK_TAB, false);
        Sleep(50);
        SendKey(VK_ESCAPE, true);
        SendKey(VK_ESCAPE, false);
        SendKey(VK_MENU, false);
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 1500) {
            if (HWND w = Switcher(); w && IsWindowVisible(w)) everShown = true;
            Sleep(5);
        }
    }));
    EXPECT_FALSE(everShown);
    EXPECT_EQ(Switcher(), nullptr);
    EXPECT_EQ(scene.host.Count(WM_USER + 9), 0u);
    EXPECT_EQ(AltTabHook(0), 1u);
}

LRESULT CALLBACK BusyProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_APP) Sleep(3000);
    return DefWindowProcA(w, m, wp, lp);
}

TEST(AltTabHook, AWindowThreadBusyForThreeSecondsDoesNotDelayTheHooksDecisions) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main", "1:3"));
    NextHook next;
    ASSERT_EQ(AltTabHook(1), 1u);
    // A window of the window thread whose handler sleeps, as a busy host's would.
    WNDCLASSA wc{};
    wc.lpfnWndProc = &BusyProc;
    wc.lpszClassName = "BusyHost";
    RegisterClassA(&wc);
    HWND busy = CreateWindowA("BusyHost", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);

    std::vector<double> took;
    HWND during = reinterpret_cast<HWND>(1);
    int tabsPassedOn = -1;
    double busyFor = 0;
    HWND shown = nullptr;
    ASSERT_TRUE(harness::Drive([&] {
        const double start = NowMs();
        PostMessageA(busy, WM_APP, 0, 0);
        Sleep(300);  // the window thread sleeps in the handler from here
        for (auto [vk, down] : {std::pair<WORD, bool>{VK_MENU, true}, {VK_TAB, true}, {VK_TAB, false},
                                {VK_TAB, true}, {VK_TAB, false}}) {
            const double t0 = NowMs();
            SendKey(vk, down);  // returns once the hooks have answered
            took.push_back(NowMs() - t0);
        }
        during = Switcher();  // the window thread has not built it yet
        tabsPassedOn = next.Count(VK_TAB, true);
        harness::WaitUntil([&] { return (shown = Switcher()) && IsWindowVisible(shown); }, 8000);
        busyFor = NowMs() - start;
    }));
    // Each key was decided at once: with the hook on the busy thread, Wine waits 2 s for each
    // (and Windows gives up after LowLevelHooksTimeout, then removes the hook).
    ASSERT_EQ(took.size(), 5u);
    for (double ms : took) EXPECT_LT(ms, 500.0);
    EXPECT_EQ(during, nullptr);
    EXPECT_EQ(tabsPassedOn, 0);  // both Tabs swallowed while the thread slept
    EXPECT_GT(busyFor, 3000.0);
    // Once the thread is free it builds the switcher with both Tabs taken: open, then one on.
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(Selected(harness::Dialog(shown).Item(id::ViewOf(0))), 1);
    EXPECT_EQ(scene.host.Count(WM_USER + 9), 1u);
    Keys({{VK_MENU, false}});
    EXPECT_TRUE(WaitGone(shown));
    EXPECT_EQ(AltTabHook(0), 1u);
    DestroyWindow(busy);
}

TEST(AltTabHook, AltReleasedWhileTheHookWasOffNeverSticks) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main", "1:2"));
    NextHook next;
    ASSERT_EQ(AltTabHook(1), 1u);
    Keys({{VK_MENU, true}});
    EXPECT_EQ(AltTabHook(0), 1u);
    Keys({{VK_MENU, false}});  // the hook never sees it
    ASSERT_EQ(AltTabHook(1), 1u);
    next.Clear();
    for (int i = 0; i < 3; ++i) Keys({{VK_TAB, true}, {VK_TAB, false}});
    harness::Pump(300);
    // Plain Tabs, all passed on to the next hook in the chain; no switcher.
    EXPECT_EQ(next.Count(VK_TAB, true), 3);
    EXPECT_EQ(next.Count(VK_TAB, false), 3);
    EXPECT_EQ(Switcher(), nullptr);
    EXPECT_EQ(scene.host.Count(WM_USER + 9), 0u);
    EXPECT_EQ(AltTabHook(0), 1u);
}

TEST(AltTabHook, InstallingTwiceLeavesOneHookAndRemovingStopsAndJoinsItsThreads) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main 3001:Office", "1:2 3001:2"));
    NextHook next;
    const int before = ThreadCount();
    ASSERT_EQ(AltTabHook(1), 1u);
    const int once = ThreadCount();
    EXPECT_GE(once - before, 2);  // Default and Vexlo_3001 at least, one thread each
    ASSERT_EQ(AltTabHook(1), 1u);
    EXPECT_EQ(ThreadCount(), once);
    // One removal takes every hook away: Alt+Tab reaches the next hook.
    EXPECT_EQ(AltTabHook(0), 1u);
    EXPECT_EQ(ThreadCount(), before);  // joined
    next.Clear();
    Keys({{VK_MENU, true}, {VK_TAB, true}, {VK_TAB, false}, {VK_MENU, false}});
    harness::Pump(300);
    EXPECT_EQ(next.Count(VK_TAB, true), 1);
    EXPECT_EQ(Switcher(), nullptr);
    EXPECT_EQ(AltTabHook(0), 0u);
}

TEST(AltTabHook, EveryProductDesktopHasItsOwnHookIncludingOnesMadeLater) {
    // A low-level hook sees only the keys of its own desktop; under Wine, input sent by a
    // thread goes to that thread's desktop.
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main 3001:Office 4001:Later", "1:1 3001:2"));
    ASSERT_EQ(AltTabHook(1), 1u);
    WindowsHelper later("4001:2");  // its desktop is made after the installation
    ASSERT_TRUE(later.Ready());
    harness::Pump(3000);  // the hooks look for new desktops every 2 s

    for (const char* desktop : {"Vexlo_3001", "Vexlo_4001"}) {
        const size_t heard = scene.host.Count(WM_USER + 9);
        HWND shown = nullptr;
        ASSERT_TRUE(harness::Drive([&] {
            OnDesktop(desktop, [] {
                SendKey(VK_MENU, true);
                SendKey(VK_TAB, true);
                SendKey(VK_TAB, false);
            });
            // Looked for from this desktop: FindWindow sees only its caller's desktop.
            harness::WaitUntil([&] { return (shown = Switcher()) && IsWindowVisible(shown); }, 3000);
            OnDesktop(desktop, [] { SendKey(VK_MENU, false); });
        })) << desktop;
        EXPECT_NE(shown, nullptr) << desktop;
        EXPECT_EQ(scene.host.Count(WM_USER + 9), heard + 1) << desktop;
        EXPECT_TRUE(WaitGone(shown)) << desktop;
    }
    EXPECT_EQ(AltTabHook(0), 1u);
}

TEST(AltTabHook, DesktopsNobodyElseHoldsAreLetGoAndOnlyLiveOnesCountAgainstTheLimit) {
    ASSERT_NE(harness::Vexlo(), nullptr);
    const int before = ThreadCount();
    // With the caller's desktop, 63 more fill every one of the 64 hook threads.
    std::vector<HDESK> made;
    for (int i = 0; i < 63; ++i)
        made.push_back(CreateDesktopA(("Vexlo_" + std::to_string(6000 + i)).c_str(), nullptr, nullptr, 0,
                                      GENERIC_ALL, nullptr));
    ASSERT_EQ(std::count(made.begin(), made.end(), nullptr), 0);
    ASSERT_EQ(AltTabHook(1), 1u);
    EXPECT_EQ(ThreadCount() - before, 64);
    // The main program deletes them: at the next rescans their hooks let them go.
    for (HDESK d : made) CloseDesktop(d);
    for (DWORD start = GetTickCount(); ThreadCount() != before + 1 && GetTickCount() - start < 6000;)
        harness::Pump(100);
    EXPECT_EQ(ThreadCount() - before, 1);
    HDESK gone = OpenDesktopA("Vexlo_6000", 0, FALSE, DESKTOP_READOBJECTS);
    EXPECT_EQ(gone, nullptr) << "the deleted desktop still exists";
    if (gone) CloseDesktop(gone);
    // A desktop made now gets a hook of its own.
    HDESK later = CreateDesktopA("Vexlo_7001", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ASSERT_NE(later, nullptr);
    for (DWORD start = GetTickCount(); ThreadCount() != before + 2 && GetTickCount() - start < 4000;)
        harness::Pump(100);
    EXPECT_EQ(ThreadCount() - before, 2);
    EXPECT_EQ(AltTabHook(0), 1u);
    CloseDesktop(later);
}

TEST(AltTabSwitcher, LongTitlesEndWithAnEllipsisInTheSelectedItemAndTheLabel) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main", "1:2:l"));
    ASSERT_EQ(AltTabHook(1), 1u);
    Keyboard kb;
    kb.Down(VK_MENU);
    kb.Press(VK_TAB);
    HWND wnd = WaitForSwitcher();
    ASSERT_NE(wnd, nullptr);
    harness::Pump(100);
    const harness::Dialog d(wnd);
    HWND list = d.Item(id::ViewOf(0));
    const std::string title = ItemText(list, 0);
    ASSERT_GT(title.size(), 100u);
    ASSERT_EQ(Selected(list), 0);

    // The label: the start of the title and "...", within its 185 pixels.
    const std::string shown = d.Text(id::lWnd);
    ASSERT_GE(shown.size(), 4u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "...");
    EXPECT_EQ(title.compare(0, shown.size() - 3, shown, 0, shown.size() - 3), 0);
    HWND label = d.Item(id::lWnd);
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    EXPECT_LE(size.cx, harness::ClientRect(label).right);

    // The selected item: its label stays within its item (no title unfolded over the items
    // below it), the list has the focus, the item the selection but not the focus state.
    RECT text{LVIR_LABEL, 0, 0, 0}, bounds{LVIR_BOUNDS, 0, 0, 0}, other{LVIR_LABEL, 0, 0, 0};
    SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&text));
    SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&bounds));
    SendMessageA(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&other));
    // A few lines at most, ending with an ellipsis (Windows draws two, Wine three; unfolded,
    // the title takes some fifteen).
    HDC listDc = GetDC(list);
    HGDIOBJ listOld = SelectObject(listDc, reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
    TEXTMETRICA line{};
    GetTextMetricsA(listDc, &line);
    SelectObject(listDc, listOld);
    ReleaseDC(list, listDc);
    EXPECT_LE(text.bottom - text.top, 3 * line.tmHeight + 2);
    EXPECT_LE(text.bottom, bounds.bottom);
    EXPECT_LT(bounds.bottom - bounds.top, 32 + 4 * line.tmHeight);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 0, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED);
    EXPECT_EQ(GetFocus(), list);
    kb.Up(VK_MENU);
    EXPECT_TRUE(WaitGone(wnd));
    EXPECT_EQ(AltTabHook(0), 1u);
}

TEST(AltTabSwitcher, LayoutBevelsFlatScrollBarsAndTheShellWindowLeftOut) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main 3001:Office", "1:2 3001:2:s"));
    bool shellSet = false;
    OnDesktop("Vexlo_3001", [&] { shellSet = GetShellWindow() == FindWindowA("VexloHostApp", "Program Manager"); });
    ASSERT_EQ(AltTabHook(1), 1u);
    Keyboard kb;
    kb.Down(VK_MENU);
    kb.Press(VK_TAB);
    HWND wnd = WaitForSwitcher();
    ASSERT_NE(wnd, nullptr);
    harness::Pump(300);
    const harness::Dialog d(wnd);

    // A 1-px raised bevel and the border width of 3 for Panel1, the same again for Panel3:
    // sb at (8, 8), Panel2's contents from (356, 8).
    harness::ExpectPlaces(wnd, {
        {id::sb, 8, 8, 348, 464, nullptr},
        {id::lDeskCaption, 364, 16, -1, -1, "Desktop:"},
        {id::lPriorityCaption, 364, 96, -1, -1, "Priority:"},
        {id::lDesk, 436, 16, 185, 13, nullptr},
        {id::GroupBox3, 364, 144, 265, 105, "CPU usage"},
        {id::GroupBox2, 364, 256, 265, 105, "Memory usage"},
        {id::GroupBox1, 367, 368, 265, 105, "Swap file usage"},
    });
    // Panel1's raised bevel at the edge, Panel3's lowered one 4 px in.
    HDC dc = GetDC(wnd);
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
    EXPECT_EQ(GetPixel(dc, 0, 0), light);
    EXPECT_EQ(GetPixel(dc, 320, 0), light);
    EXPECT_EQ(GetPixel(dc, 0, 240), light);
    EXPECT_EQ(GetPixel(dc, 639, 240), dark);
    EXPECT_EQ(GetPixel(dc, 320, 479), dark);
    EXPECT_EQ(GetPixel(dc, 4, 4), dark);
    EXPECT_EQ(GetPixel(dc, 320, 4), dark);
    EXPECT_EQ(GetPixel(dc, 635, 240), light);
    EXPECT_EQ(GetPixel(dc, 320, 475), light);
    EXPECT_EQ(GetPixel(dc, 2, 240), GetSysColor(COLOR_BTNFACE));  // Panel1's border width
    ReleaseDC(wnd, dc);

    // The desktops' lists have flat scroll bars.
    for (int entry : {0, 1}) {
        HWND list = d.Item(id::ViewOf(entry));
        ASSERT_NE(list, nullptr);
        EXPECT_TRUE(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FLATSB) << entry;
    }
    // The shell's desktop window is left out: Office shows its two windows only.
    if (shellSet) {
        HWND office = d.Item(id::ViewOf(1));
        ASSERT_EQ(SendMessageA(office, LVM_GETITEMCOUNT, 0, 0), 2);
        for (int i = 0; i < 2; ++i) EXPECT_NE(ItemText(office, i), "Program Manager");
    } else {
        ADD_FAILURE() << "the helper could not make its shell window";
    }
    kb.Up(VK_MENU);
    EXPECT_TRUE(WaitGone(wnd));
    EXPECT_EQ(AltTabHook(0), 1u);
}

// What the window thread's message retrieval hands out: the switcher's timer ticks, and
// whether the window showed at the time.
struct Tick {
    UINT_PTR id;
    bool visible;
};
std::vector<Tick> g_ticks;
HHOOK g_getMessage = nullptr;
LRESULT CALLBACK RecordTicks(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && wp == PM_REMOVE) {
        const MSG& m = *reinterpret_cast<const MSG*>(lp);
        char cls[64] = {};
        if (m.message == WM_TIMER && m.hwnd && GetClassNameA(m.hwnd, cls, sizeof cls) &&
            std::strcmp(cls, "TVexloAltTabWnd") == 0)
            g_ticks.push_back({m.wParam, IsWindowVisible(m.hwnd) != FALSE});
    }
    return CallNextHookEx(g_getMessage, code, wp, lp);
}

TEST(AltTabSwitcher, BothTimersRunFromCreationSoTheChartsHaveSamplesWhenItShows) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main", "1:3"));
    SlowGathering slow;  // 450 ms, during which the window exists and dispatches its messages
    ASSERT_TRUE(slow.hook.Installed());
    ASSERT_EQ(AltTabHook(1), 1u);
    g_getMessage = SetWindowsHookExA(WH_GETMESSAGE, &RecordTicks, nullptr, GetCurrentThreadId());
    ASSERT_NE(g_getMessage, nullptr);
    Keyboard kb;
    kb.Down(VK_MENU);
    kb.Press(VK_TAB);
    HWND wnd = WaitForSwitcher();
    ASSERT_NE(wnd, nullptr);
    harness::Pump(1200);
    UnhookWindowsHookEx(g_getMessage);
    int samplesBefore = 0, repaints = 0;
    for (const Tick& t : g_ticks) {
        if (t.id == 1 && !t.visible) ++samplesBefore;
        if (t.id == 2) ++repaints;
    }
    EXPECT_GE(samplesBefore, 2);  // 100 ms samples taken while the lists were gathered
    EXPECT_GE(repaints, 1);
    // Each of them is on the chart when it shows: the 1-s repaint is the first paint with a
    // curve (the window paints when it shows too, with the same values).
    kb.Up(VK_MENU);
    EXPECT_TRUE(WaitGone(wnd));
    EXPECT_EQ(AltTabHook(0), 1u);
}

// A second copy of this program (below) in which one thread shows the library's windows
// and runs Alt+Tab's request window, and another thread unloads the library. The window
// thread then goes on with its message loop, sends its windows messages and lets the
// request window's timer come round twice. It ends with 0 when nothing reached the
// unmapped library and every top-level window of it was closed, 3 when one was left.
constexpr char kUnloadChildVariable[] = "VEXLO_UNLOAD_ELSEWHERE";

int UnloadFromAnotherThread(const std::string& copy) {
    SetErrorMode(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS);  // a crash ends it at once
    HMODULE lib = LoadLibraryA(copy.c_str());
    if (!lib) return 2;
    const auto proc = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(lib, name)); };
    const auto hook = reinterpret_cast<BOOL(WINAPI*)(DWORD)>(proc("AltTabHook"));
    const auto logon = reinterpret_cast<HWND(WINAPI*)(HWND, HICON, const BYTE*, const BYTE*, LONG)>(proc("Logon"));
    const auto about = reinterpret_cast<HWND(WINAPI*)(HICON, DWORD, const char*, DWORD)>(proc("ShowAbout"));
    const auto button = reinterpret_cast<HWND(WINAPI*)(HICON, void*)>(proc("ShowSwitcherWnd"));
    HANDLE shown = CreateEventA(nullptr, TRUE, FALSE, nullptr), unloaded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    int result = 0;
    std::thread windows([&] {
        const auto u = harness::Short("a"), p = harness::Short("secret");
        std::vector<HWND> made = {logon(nullptr, nullptr, u.data(), p.data(), 1),
                                  about(CopyIcon(LoadIcon(nullptr, IDI_APPLICATION)), 1, "1.0", 0),
                                  button(CopyIcon(LoadIcon(nullptr, IDI_APPLICATION)), nullptr)};
        const bool hooked = (hook(1) & 0xFF) == 1;
        SetEvent(shown);
        while (MsgWaitForMultipleObjects(1, &unloaded, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) harness::Pump(0);
        for (HWND w : made) {
            SendMessageA(w, WM_NULL, 0, 0);
            RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
        harness::Pump(4500);
        result = !hooked || std::count(made.begin(), made.end(), nullptr) ? 2 : 0;
        for (HWND w : made)
            if (IsWindow(w)) result = 3;
    });
    WaitForSingleObject(shown, 10000);
    FreeLibrary(lib);
    SetEvent(unloaded);
    windows.join();
    return result;
}

const bool kUnloadChild = [] {
    char copy[MAX_PATH] = {};
    if (!GetEnvironmentVariableA(kUnloadChildVariable, copy, sizeof copy)) return false;
    ExitProcess(static_cast<UINT>(UnloadFromAnotherThread(copy)));
}();

TEST(AltTabHook, UnloadingFromAnotherThreadLeavesNoWindowTimerOrHookOfTheLibrary) {
    const std::string copy = harness::ExeDir() + "VexloUnloadElsewhere.dll";
    ASSERT_TRUE(CopyFileA((harness::ExeDir() + "Vexlo.dll").c_str(), copy.c_str(), FALSE));
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    SetEnvironmentVariableA(kUnloadChildVariable, copy.c_str());
    HANDLE child = harness::StartProgram(std::string("\"") + exe + "\"");
    SetEnvironmentVariableA(kUnloadChildVariable, nullptr);
    ASSERT_NE(child, nullptr);
    const bool ended = WaitForSingleObject(child, 20000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(child, 1);
    DWORD code = 1;
    GetExitCodeProcess(child, &code);
    CloseHandle(child);
    // A crash (0xC0000005; under Wine the process may hang instead): the library's code
    // ran after its unload.
    EXPECT_TRUE(ended) << "the unloading process hung";
    EXPECT_EQ(code, 0u) << std::hex << code;
    DeleteFileA(copy.c_str());
}

TEST(AltTabHook, UnloadingTheLibraryRemovesTheHookWithoutWaitingUnderTheLoaderLock) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main 3001:Office", "1:2 3001:2"));
    NextHook next;
    // A second copy of the library: loaded, hooked and unloaded on its own.
    const std::string copy = harness::ExeDir() + "VexloUnloadCopy.dll";
    ASSERT_TRUE(CopyFileA((harness::ExeDir() + "Vexlo.dll").c_str(), copy.c_str(), FALSE));
    const int before = ThreadCount();
    HMODULE lib = LoadLibraryA(copy.c_str());
    ASSERT_NE(lib, nullptr);
    auto hook = reinterpret_cast<BOOL(WINAPI*)(DWORD)>(reinterpret_cast<void*>(GetProcAddress(lib, "AltTabHook")));
    ASSERT_NE(hook, nullptr);
    ASSERT_EQ(hook(1) & 0xFF, 1);
    EXPECT_GT(ThreadCount(), before);
    // It works: Alt+Tab is swallowed and shows the copy's switcher.
    next.Clear();
    Keyboard kb;
    kb.Down(VK_MENU);
    kb.Press(VK_TAB);
    HWND wnd = WaitForSwitcher();
    EXPECT_NE(wnd, nullptr);
    EXPECT_EQ(next.Count(VK_TAB, true), 0);
    kb.Up(VK_MENU);
    EXPECT_TRUE(WaitGone(wnd));

    // Unloaded with the hooks in place: FreeLibrary returns at once, and nothing of the
    // library runs afterwards (a hook thread running on would crash the process).
    const double t0 = NowMs();
    EXPECT_TRUE(FreeLibrary(lib));
    EXPECT_LT(NowMs() - t0, 1500.0);
    EXPECT_EQ(GetModuleHandleA("VexloUnloadCopy.dll"), nullptr);
    // The hook threads end once the loader lets them.
    for (DWORD start = GetTickCount(); ThreadCount() != before && GetTickCount() - start < 3000;) harness::Pump(50);
    EXPECT_EQ(ThreadCount(), before);
    next.Clear();
    Keys({{VK_MENU, true}, {VK_TAB, true}, {VK_TAB, false}, {VK_MENU, false}});
    harness::Pump(300);
    EXPECT_EQ(next.Count(VK_TAB, true), 1);  // no hook swallows it any more
    EXPECT_EQ(Switcher(), nullptr);
    DeleteFileA(copy.c_str());
}

// Moved to a display of another scale, the groups' icons take that scale's icon size.
TEST(AltTabSwitcher, AtANewDpiTheIconsTakeThatDpisSize) {
    harness::DpiSeam seam;  // before the library's first DPI call here
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main", "1:2"));
    ASSERT_EQ(AltTabHook(1), 1u);
    Keyboard kb;
    kb.Down(VK_MENU);
    kb.Press(VK_TAB);
    HWND wnd = WaitForSwitcher();
    ASSERT_NE(wnd, nullptr);
    HDC screen = GetDC(nullptr);
    const int next = GetDeviceCaps(screen, LOGPIXELSY) * 3 / 2;
    ReleaseDC(nullptr, screen);
    seam.Set(wnd, next);
    RECT frame{};
    GetWindowRect(wnd, &frame);
    SendMessageA(wnd, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(next, next), reinterpret_cast<LPARAM>(&frame));
    using SizeFn = int(WINAPI*)(int, UINT);
    const auto metric = reinterpret_cast<SizeFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetSystemMetricsForDpi")));
    ASSERT_NE(metric, nullptr);
    auto images = reinterpret_cast<HIMAGELIST>(
        SendMessageA(harness::Dialog(wnd).Item(id::ViewOf(0)), LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
    int cx = 0, cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(images, &cx, &cy));
    EXPECT_EQ(cx, metric(SM_CXICON, static_cast<UINT>(next)));
    kb.Up(VK_MENU);
    EXPECT_TRUE(WaitGone(wnd));
    EXPECT_EQ(AltTabHook(0), 1u);
}

// Any program can post the request window and the switcher their messages: only what the
// hook recorded builds, moves, closes or cancels anything.
TEST(AltTabSwitcher, PostedRequestsAndNudgesTheHookDidNotRecordDoNothing) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main", "1:3"));
    ASSERT_EQ(AltTabHook(1), 1u);
    HWND requests = FindWindowExA(HWND_MESSAGE, nullptr, "TVexloAltTabRequests", nullptr);
    ASSERT_NE(requests, nullptr);
    for (WPARAM n : {0u, 1u, 2u, 0xFFFFFFFFu}) PostMessageA(requests, WM_APP + 1, n, 0);
    harness::Pump(500);
    EXPECT_EQ(Switcher(), nullptr);

    Keyboard kb;
    kb.Down(VK_MENU);
    kb.Press(VK_TAB);
    HWND wnd = WaitForSwitcher();
    ASSERT_NE(wnd, nullptr);
    HWND list = harness::Dialog(wnd).Item(id::ViewOf(0));
    ASSERT_EQ(Selected(list), 0);
    for (UINT msg : {0x420u, 0x421u, static_cast<UINT>(WM_CLOSE)}) PostMessageA(wnd, msg, 0, 0);
    harness::Pump(300);
    EXPECT_TRUE(IsWindowVisible(wnd));
    EXPECT_EQ(Selected(list), 0);
    kb.Press(VK_TAB);
    EXPECT_EQ(Selected(list), 1);
    kb.Up(VK_MENU);
    EXPECT_TRUE(WaitGone(wnd));
    EXPECT_EQ(AltTabHook(0), 1u);
}

// The helper's windows of a desktop flagged "h" stop answering when asked to.
struct HungWindows {
    HANDLE hang = OpenEventA(EVENT_MODIFY_STATE, FALSE, "VexloHostWindowsHang");
    HANDLE answering = OpenEventA(SYNCHRONIZE, FALSE, "VexloHostWindowsAnswering");
    ~HungWindows() {
        if (answering) WaitForSingleObject(answering, 10000);
        for (HANDLE h : {hang, answering})
            if (h) CloseHandle(h);
    }
    bool Hang() const {
        if (!hang || !answering || !SetEvent(hang)) return false;
        Sleep(300);  // the helper's thread is in its sleep by now
        return WaitForSingleObject(answering, 0) == WAIT_TIMEOUT;
    }
    bool Answering() const { return WaitForSingleObject(answering, 0) == WAIT_OBJECT_0; }
};

// Choosing a window whose thread no longer answers: the switcher goes at once, and the
// window is restored when its thread answers again.
TEST(AltTabSwitcher, AChosenWindowThatNoLongerAnswersHoldsNothingUp) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main", "1:2:h"));
    ASSERT_EQ(AltTabHook(1), 1u);
    HWND chosen = FindWindowA("VexloHostApp", "Desk 1 window 0");
    ASSERT_TRUE(chosen && IsIconic(chosen));
    Keyboard kb;
    kb.Down(VK_MENU);
    kb.Press(VK_TAB);
    HWND wnd = WaitForSwitcher();
    ASSERT_NE(wnd, nullptr);
    kb.Press(VK_TAB);
    EXPECT_EQ(harness::Dialog(wnd).Text(id::lWnd), "Desk 1 window 0");
    const HungWindows hung;
    ASSERT_TRUE(hung.Hang());
    kb.Up(VK_MENU);
    EXPECT_TRUE(WaitGone(wnd));
    EXPECT_FALSE(hung.Answering()) << "the main program's thread waited for the hung window";
    EXPECT_EQ(AltTabHook(0), 1u);
    ASSERT_EQ(WaitForSingleObject(hung.answering, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(harness::WaitUntil([&] { return !IsIconic(chosen); }));
}

// A copy of the library, its Alt+Tab hook on, unloaded by FreeLibrary from another thread
// at the worst moment: nothing of it runs once it is gone, and it does go.
class UnloadedCopy {
public:
    explicit UnloadedCopy(const char* leaf) : path_(harness::ExeDir() + leaf) {
        CopyFileA((harness::ExeDir() + "Vexlo.dll").c_str(), path_.c_str(), FALSE);
        lib_ = LoadLibraryA(path_.c_str());
    }
    ~UnloadedCopy() { DeleteFileA(path_.c_str()); }
    HMODULE lib() const { return lib_; }
    bool HookOn() const {
        auto hook = reinterpret_cast<BOOL(WINAPI*)(DWORD)>(reinterpret_cast<void*>(GetProcAddress(lib_, "AltTabHook")));
        return hook && (hook(1) & 0xFF) == 1;
    }
    // Pumps this thread (the library's window thread) until the copy's image has left the
    // process's memory (asked without the loader lock, which the unload holds meanwhile).
    bool Gone(DWORD ms = 10000) const {
        const DWORD start = GetTickCount();
        while (Mapped() && GetTickCount() - start < ms) harness::Pump(20);
        return !Mapped();
    }
    // The copy's image at its address; anything else there now is not it.
    bool Mapped() const {
        MEMORY_BASIC_INFORMATION info{};
        return VirtualQuery(lib_, &info, sizeof info) == sizeof info && info.State != MEM_FREE &&
               info.Type == MEM_IMAGE && info.AllocationBase == lib_;
    }

private:
    std::string path_;
    HMODULE lib_ = nullptr;
};

TEST(AltTabHook, UnloadingWhileTheSwitcherIsGatheredWaitsForTheGathering) {
    SetErrorMode(SEM_NOGPFAULTERRORBOX);  // a crash ends the test at once
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main 3001:Office", "1:3 3001:3"));
    const UnloadedCopy copy("VexloUnloadGather.dll");
    ASSERT_NE(copy.lib(), nullptr);
    ASSERT_TRUE(copy.HookOn());
    // 150 ms per window on the workers; never put back, since the copy's memory goes.
    auto* slow = new harness::ImportHook("user32.dll", "GetWindowTextA", reinterpret_cast<void*>(&SlowGetWindowTextA),
                                         copy.lib());
    ASSERT_TRUE(slow->Installed());
    bool gathering = false;
    ASSERT_TRUE(harness::Drive([&] {
        SendKey(VK_MENU, true);
        SendKey(VK_TAB, true);
        SendKey(VK_TAB, false);
        // The window is made while the workers read the titles (450 ms at least).
        gathering = harness::WaitUntil([] { return Switcher() != nullptr; }, 3000);
        FreeLibrary(copy.lib());
        // Released before the build ends, so no switcher stays open after it: an unload
        // races a modeless window's message hook under Wine (it loads the library again).
        SendKey(VK_MENU, false);
    }));
    EXPECT_TRUE(gathering);
    EXPECT_TRUE(copy.Gone());
}

TEST(AltTabHook, AnActivationThreadOnAnotherDesktopOutlivesTheLibrarySafely) {
    Scene scene;
    ASSERT_TRUE(scene.Ready("1:Main 3001:Office", "1:1 3001:2:h"));
    const UnloadedCopy copy("VexloUnloadActivation.dll");
    ASSERT_NE(copy.lib(), nullptr);
    ASSERT_TRUE(copy.HookOn());
    Keyboard kb;
    kb.Down(VK_MENU);
    kb.Press(VK_TAB);
    HWND wnd = WaitForSwitcher();
    ASSERT_NE(wnd, nullptr);
    kb.Press(VK_TAB);
    kb.Press(VK_TAB);
    EXPECT_EQ(harness::Dialog(wnd).Text(id::lWnd), "Desk 3001 window 0");
    const HungWindows hung;
    ASSERT_TRUE(hung.Hang());
    kb.Up(VK_MENU);
    EXPECT_TRUE(WaitGone(wnd, 5000));
    auto hook = reinterpret_cast<BOOL(WINAPI*)(DWORD)>(reinterpret_cast<void*>(GetProcAddress(copy.lib(), "AltTabHook")));
    hook(0);
    FreeLibrary(copy.lib());
    EXPECT_TRUE(copy.Gone());
    // The window answers again; had anything of the library waited on it, it would run now.
    ASSERT_EQ(WaitForSingleObject(hung.answering, 10000), WAIT_OBJECT_0);
    harness::Pump(500);
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
    // From the keyboard: a tab stop that Space and Enter press.
    EXPECT_TRUE(GetWindowLongA(button, GWL_STYLE) & WS_TABSTOP);
    SendMessageA(button, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageA(button, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(g_calls, 3);

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
