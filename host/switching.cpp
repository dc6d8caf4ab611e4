// Task switching as the main program drives it: desktops with windows on them (made by a
// helper process, since the switcher never lists its own process's windows), the Alt+Tab
// hook, and the floating button with its register-convention callback.
#include "host/switching.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/explorer.h"
#include "host/library_name.h"
#include "host/screenshot.h"
#include "host/settings_tool.h"
#include "include/Vexlo.h"
#include "shared/handles.h"

namespace vexlo::host {

namespace {

constexpr const char* kReadyEvent = "VexloHostWindowsReady";
constexpr const char* kStopEvent = "VexloHostWindowsStop";
constexpr const char* kHangEvent = "VexloHostWindowsHang";
constexpr const char* kAnsweringEvent = "VexloHostWindowsAnswering";
constexpr DWORD kHangMs = 6000;

std::string ExePath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

template <typename Fn>
Fn Export(const char* name) {
    HMODULE vexlo = GetModuleHandleA(VEXLO_HOST_DLL);
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(vexlo ? GetProcAddress(vexlo, name) : nullptr));
}

std::string DeskObject(long long id) { return id == 1 ? "Default" : "Vexlo_" + std::to_string(id); }

LRESULT CALLBACK PlainProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(wnd, msg, wp, lp); }

struct DeskJob {
    long long id;
    int count;
    HANDLE made;
    // l: the topmost window has a long title; s: a shell window ("Program Manager");
    // h: the thread stops answering for kHangMs each time the event kHangEvent is set, and
    // sets kAnsweringEvent when it answers again
    std::string flags;
};

// One thread per desktop: a thread's windows live on the thread's desktop.
DWORD WINAPI FillDesktop(void* param) {
    auto* job = static_cast<DeskJob*>(param);
    const std::string name = DeskObject(job->id);
    HDESK desk = job->id == 1 ? OpenDesktopA(name.c_str(), 0, FALSE, GENERIC_ALL)
                              : CreateDesktopA(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (desk) SetThreadDesktop(desk);
    WNDCLASSA wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "VexloHostApp";
    RegisterClassA(&wc);  // once per process is enough; later calls fail harmlessly
    const DWORD style = WS_OVERLAPPEDWINDOW;
    // Never listed: a window without a title and a tool window.
    CreateWindowExA(0, "VexloHostApp", "", style | WS_VISIBLE, 40, 40, 200, 120, nullptr, nullptr, wc.hInstance, nullptr);
    CreateWindowExA(WS_EX_TOOLWINDOW, "VexloHostApp", ("Tool " + std::to_string(job->id)).c_str(), style | WS_VISIBLE,
                    60, 60, 200, 120, nullptr, nullptr, wc.hInstance, nullptr);
    if (job->flags.find('s') != std::string::npos) {
        // The desktop's shell window, as Explorer's "Program Manager" is: never listed.
        HWND shell = CreateWindowExA(0, "VexloHostApp", "Program Manager", style | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                     nullptr, wc.hInstance, nullptr);
        if (!RegisterShellWindow(shell)) std::printf("SetShellWindow failed on %s\n", name.c_str());
    }
    for (int k = 0; k < job->count; ++k) {
        // The first window made ends lowest in the Z order (the last item) and starts minimized.
        std::string title = "Desk " + std::to_string(job->id) + " window " + std::to_string(k);
        if (k == job->count - 1 && job->flags.find('l') != std::string::npos)
            title += " with a title much too long for any item of the switcher or for its window label, "
                     "which must end with an ellipsis where the text no longer fits into its place";
        HWND w = CreateWindowExA(0, "VexloHostApp", title.c_str(), style, 80 + 12 * k, 80 + 12 * k, 320, 200, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        ShowWindow(w, k == 0 ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
    }
    SetEvent(job->made);
    MSG msg;
    if (job->flags.find('h') != std::string::npos) {
        const vexlo::UniqueHandle hang(CreateEventA(nullptr, FALSE, FALSE, kHangEvent));
        const vexlo::UniqueHandle answering(CreateEventA(nullptr, TRUE, FALSE, kAnsweringEvent));
        HANDLE wait = hang.get();
        for (;;) {
            if (MsgWaitForMultipleObjects(1, &wait, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0) {
                ResetEvent(answering.get());
                Sleep(kHangMs);  // a window that no longer answers
                SetEvent(answering.get());
                continue;
            }
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) return 0;
                DispatchMessageA(&msg);
            }
        }
    }
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

// Starts this program's "windows" command and waits until its windows are made.
HANDLE StartWindowsHelper(const std::string& jobs) {
    const vexlo::UniqueHandle ready(CreateEventA(nullptr, TRUE, FALSE, kReadyEvent));
    ResetEvent(ready.get());
    std::string cmd = "\"" + ExePath() + "\" windows " + jobs;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
    const vexlo::UniqueHandle thread(pi.hThread);
    HANDLE both[] = {ready.get(), pi.hProcess};
    WaitForMultipleObjects(2, both, FALSE, 30000);
    return pi.hProcess;
}

void StopWindowsHelper(HANDLE process) {
    if (!process) return;
    const vexlo::UniqueHandle owned(process);
    if (const vexlo::UniqueHandle stop{OpenEventA(EVENT_MODIFY_STATE, FALSE, kStopEvent)}) SetEvent(stop.get());
    if (WaitForSingleObject(process, 5000) == WAIT_TIMEOUT) TerminateProcess(process, 1);
}

// As the main program does: its window goes into "KeyVexloContext" for the library.
void PublishMainWindow(HWND wnd) {
    const vexlo::UniqueHandle map(OpenFileMappingA(FILE_MAP_WRITE, FALSE, "KeyVexloContext"));
    if (!map) return;
    if (const vexlo::UniqueView view{MapViewOfFile(map.get(), FILE_MAP_WRITE, 0, 0, 4)}) {
        const auto value = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(wnd));
        std::memcpy(view.get(), &value, 4);
    }
}

// ID:NAME:COUNT entries: the profile's desktops (seed) and the helper's jobs (ID:COUNT).
bool SeedAndFill(const std::vector<std::string>& entries, HANDLE& helper) {
    std::vector<std::string> seedArgs = {"VexloHost", "seed", "Switching", "s3cret"};
    std::string jobs;
    for (const std::string& e : entries) {
        const std::size_t a = e.find(':'), b = e.rfind(':');
        if (a == std::string::npos || b == a) return false;
        seedArgs.push_back(e.substr(0, b));
        jobs += e.substr(0, a) + ":" + e.substr(b + 1) + " ";
    }
    std::vector<char*> argv;
    for (std::string& s : seedArgs) argv.push_back(s.data());
    if (CmdSeed(static_cast<int>(argv.size()), argv.data()) != 0) return false;
    helper = StartWindowsHelper(jobs);
    return helper != nullptr;
}

void SendAltTab(bool releaseAlt) {
    INPUT in[4] = {};
    const WORD keys[] = {VK_MENU, VK_TAB, VK_TAB};
    for (int i = 0; i < 3; ++i) {
        in[i].type = INPUT_KEYBOARD;
        in[i].ki.wVk = keys[i];
        in[i].ki.dwFlags = i == 2 ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(3, in, sizeof(INPUT));
    if (releaseAlt) {
        INPUT up{};
        up.type = INPUT_KEYBOARD;
        up.ki.wVk = VK_MENU;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(1, &up, sizeof up);
    }
}

}  // namespace

// Called by the library on a click, with the button window in EAX.
extern "C" void ReportSwitch(HWND wnd) {
    std::printf("callback OnSwitch wnd=%p\n", static_cast<void*>(wnd));
    std::fflush(stdout);
}
#if defined(__i386__)
extern "C" void OnSwitchRegister();
// The main program's procedures take their first argument in EAX.
asm(".text\n.globl _OnSwitchRegister\n_OnSwitchRegister:\n"
    "  pushl %eax\n  call _ReportSwitch\n  addl $4, %esp\n  ret\n");
#else
// The 64-bit library calls with the handle in the first argument register (RCX), which is
// where an ordinary function takes it.
extern "C" void OnSwitchRegister(HWND wnd) { ReportSwitch(wnd); }
#endif

int CmdWindows(int argc, char** argv) {
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, kStopEvent);
    std::vector<DeskJob> jobs;
    for (int i = 2; i < argc; ++i) {
        // ID:COUNT[:FLAGS]
        const char* colon = std::strchr(argv[i], ':');
        const char* flags = colon ? std::strchr(colon + 1, ':') : nullptr;
        jobs.push_back({std::atoll(argv[i]), colon ? std::atoi(colon + 1) : 1, CreateEventA(nullptr, TRUE, FALSE, nullptr),
                        flags ? std::string(flags + 1) : std::string()});
    }
    std::vector<HANDLE> threads;
    for (DeskJob& job : jobs) threads.push_back(CreateThread(nullptr, 0, FillDesktop, &job, 0, nullptr));
    for (DeskJob& job : jobs) WaitForSingleObject(job.made, 30000);
    if (const vexlo::UniqueHandle ready{OpenEventA(EVENT_MODIFY_STATE, FALSE, kReadyEvent)}) SetEvent(ready.get());
    std::printf("windows ready\n");
    std::fflush(stdout);
    // This thread's window must answer whoever sends it a message meanwhile.
    const DWORD start = GetTickCount();
    while (MsgWaitForMultipleObjects(1, &stop, FALSE, 1000, QS_ALLINPUT) != WAIT_OBJECT_0 &&
           GetTickCount() - start < 600000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    return 0;
}

int CmdAltTab(int argc, char** argv) {
    if (argc < 4) return 2;
    auto hook = Export<VexloAltTabHookFn>("AltTabHook");
    if (!hook) return 1;
    HANDLE helper = nullptr;
    if (!SeedAndFill(std::vector<std::string>(argv + 3, argv + argc), helper)) return 1;
    HWND main = OwnHostWindow();
    PublishMainWindow(main);
    char before[256] = {};
    GetWindowTextA(GetForegroundWindow(), before, sizeof before);
    std::printf("foreground before: %s\n", before);
    const BOOL installed = hook(1) & 0xFF;
    std::printf("AltTabHook(1) returned %d\n", installed);
    std::fflush(stdout);
    PumpFor(static_cast<DWORD>(std::atoi(argv[2])) * 1000);
    // What the last Alt+Tab brought to the front, for a caller that pressed real keys.
    char title[256] = {};
    GetWindowTextA(GetForegroundWindow(), title, sizeof title);
    std::printf("foreground window: %s\n", title);
    // A lone Alt tap would have left it in menu mode, its next keys going to its menu.
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    const bool inMenu = GetGUIThreadInfo(GetWindowThreadProcessId(GetForegroundWindow(), nullptr), &gui) &&
                        (gui.flags & GUI_INMENUMODE);
    std::printf("menu mode: %d\n", inMenu ? 1 : 0);
    std::printf("AltTabHook(0) returned %d\n", hook(0));
    StopWindowsHelper(helper);
    return installed ? 0 : 1;
}

int CmdButton(int argc, char** argv) {
    auto show = Export<VexloShowSwitcherWndFn>("ShowSwitcherWnd");
    if (!show) return 1;
    HWND wnd = show(CopyIcon(LoadIcon(nullptr, IDI_APPLICATION)), reinterpret_cast<void*>(&OnSwitchRegister));
    std::printf("ShowSwitcherWnd returned window %p\n", static_cast<void*>(wnd));
    std::fflush(stdout);
    if (!wnd) return 1;
    PumpFor(static_cast<DWORD>(argc > 2 ? std::atoi(argv[2]) : 30) * 1000);
    DestroyWindow(wnd);
    return 0;
}

int CmdSwitchingDemo(int argc, char** argv) {
    const std::string dir = argc > 2 ? argv[2] : ".";
    CreateDirectoryA(dir.c_str(), nullptr);
    auto hook = Export<VexloAltTabHookFn>("AltTabHook");
    auto show = Export<VexloShowSwitcherWndFn>("ShowSwitcherWnd");
    if (!hook || !show) return 1;
    bool ok = true;

    // The switcher over three desktops with windows, its charts run for a few seconds.
    HANDLE helper = nullptr;
    if (!SeedAndFill({"1:Main:4", "2001:Office:6", "2002:Studio:3"}, helper)) return 1;
    PublishMainWindow(OwnHostWindow());
    ok &= (hook(1) & 0xFF) != 0;
    SendAltTab(false);
    HWND switcher = nullptr;
    for (int i = 0; i < 300 && !switcher; ++i) {
        PumpFor(10);
        switcher = FindWindowA("TVexloAltTabWnd", nullptr);
        if (switcher && !IsWindowVisible(switcher)) switcher = nullptr;
    }
    if (switcher) {
        PumpFor(4000);
        const std::string path = dir + "\\switcher.png";
        const bool saved = SaveWindowPng(switcher, path);
        std::printf("%s %s\n", saved ? "saved" : "could not save", path.c_str());
        ok &= saved;
    } else {
        std::printf("the switcher did not show\n");
        ok = false;
    }
    INPUT up{};
    up.type = INPUT_KEYBOARD;
    up.ki.wVk = VK_MENU;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &up, sizeof up);
    PumpFor(300);
    hook(0);
    StopWindowsHelper(helper);

    // The floating button over a window of the host.
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    WNDCLASSA wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "VexloHostDocument";
    RegisterClassA(&wc);
    HWND doc = CreateWindowExA(0, "VexloHostDocument", "Document", WS_OVERLAPPEDWINDOW | WS_VISIBLE, cx - 300, cy - 200,
                               280, 180, nullptr, nullptr, wc.hInstance, nullptr);
    HWND button = show(CopyIcon(LoadIcon(nullptr, IDI_APPLICATION)), reinterpret_cast<void*>(&OnSwitchRegister));
    if (button && doc) {
        PumpFor(700);
        const std::string path = dir + "\\switcher_button.png";
        const bool saved = SaveWindowPng(doc, path);
        std::printf("%s %s\n", saved ? "saved" : "could not save", path.c_str());
        ok &= saved;
    } else {
        ok = false;
    }
    if (button) DestroyWindow(button);
    if (doc) DestroyWindow(doc);
    return ok ? 0 : 1;
}

}  // namespace vexlo::host
