// VexloHost: the reference main program. It loads Vexlo.dll at run time, calls its
// exports with the Windows calling convention, pumps messages and reports what the
// library sends back. Product developers use it to try the library and to inspect
// and seed settings; the demo shows every window and saves screenshots.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/import_slot.h"
#include "host/library_name.h"
#include "host/explorer.h"
#include "host/screenshot.h"
#include "host/settings_tool.h"
#include "host/shell.h"
#include "host/switching.h"
#include "include/Vexlo.h"
#include "shared/remote_records.h"
#include "shared/handles.h"
#include "shared/shortstr.h"

namespace {

using vexlo::ShortString;

HMODULE g_vexlo = nullptr;
HWND g_notify = nullptr;
HWND g_logon = nullptr;
bool g_quitOnLogonResult = false;

std::string ExeDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

bool LoadVexlo() {
    g_vexlo = LoadLibraryA((ExeDir() + VEXLO_HOST_DLL).c_str());
    if (!g_vexlo) std::fprintf(stderr, "cannot load " VEXLO_HOST_DLL " (error %lu)\n", GetLastError());
    return g_vexlo != nullptr;
}

template <typename Fn>
Fn Export(const char* name) {
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(g_vexlo, name)));
    if (!fn) std::fprintf(stderr, VEXLO_HOST_DLL " has no export %s\n", name);
    return fn;
}

// The main program's window: it receives the library's messages and reports them.
LRESULT CALLBACK NotifyProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case VEXLO_WM_LOGON_ACCEPTED:
    case VEXLO_WM_LOGON_CANCELLED:
        std::printf("received WM_USER+%u wParam=%ld lParam=%ld\n", msg - WM_USER,
                    static_cast<long>(wp), static_cast<long>(lp));
        std::fflush(stdout);
        if (g_quitOnLogonResult && (msg == VEXLO_WM_LOGON_ACCEPTED || msg == VEXLO_WM_LOGON_CANCELLED)) {
            // The main program removes the logon window once it has its answer.
            if (g_logon) DestroyWindow(g_logon);
            PostQuitMessage(0);
        }
        return 0;
    default:
        if (msg >= WM_USER && msg < 0xC000) {
            std::printf("received WM_USER+%u wParam=%ld lParam=%ld\n", msg - WM_USER,
                        static_cast<long>(wp), static_cast<long>(lp));
            std::fflush(stdout);
            return 0;
        }
        return DefWindowProcA(wnd, msg, wp, lp);
    }
}

HWND CreateNotifyWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = NotifyProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VexloHostWnd";
    RegisterClassA(&wc);
    return CreateWindowA("VexloHostWnd", "VexloHost", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                         nullptr, wc.hInstance, nullptr);
}

// --high-contrast: the library in this process sees high contrast on, as the system does
// not let a program turn it on under Wine (SPI_SETHIGHCONTRAST fails there): its one
// question, SPI_GETHIGHCONTRAST, is answered here. While the command runs, a white-on-black
// scheme is in force (SetSysColors, for every program of the session); the colours come
// back after.
using SystemParametersFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT);
SystemParametersFn g_systemParameters = nullptr;

BOOL WINAPI HighContrastOn(UINT action, UINT param, void* data, UINT winIni) {
    if (action == SPI_GETHIGHCONTRAST && data) {
        auto* hc = static_cast<HIGHCONTRASTA*>(data);
        hc->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
        hc->lpszDefaultScheme = nullptr;
        return TRUE;
    }
    return g_systemParameters(action, param, data, winIni);
}

class HighContrastScheme {
public:
    HighContrastScheme() {
        for (int i = 0; i < kCount; ++i) saved_[i] = GetSysColor(kElements[i]);
        SetSysColors(kCount, kElements, kScheme);
    }
    ~HighContrastScheme() { SetSysColors(kCount, kElements, saved_); }

private:
    static constexpr int kCount = 14;
    static constexpr INT kElements[kCount] = {COLOR_WINDOW,     COLOR_WINDOWTEXT, COLOR_BTNFACE,     COLOR_BTNTEXT,
                                              COLOR_BTNSHADOW,  COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW, COLOR_3DLIGHT,
                                              COLOR_HIGHLIGHT,  COLOR_HIGHLIGHTTEXT, COLOR_GRAYTEXT,  COLOR_HOTLIGHT,
                                              COLOR_WINDOWFRAME, COLOR_INFOBK};
    static constexpr COLORREF kScheme[kCount] = {RGB(0, 0, 0),       RGB(255, 255, 255), RGB(0, 0, 0),
                                                 RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255),
                                                 RGB(255, 255, 255), RGB(255, 255, 255), RGB(26, 235, 255),
                                                 RGB(0, 0, 0),       RGB(63, 242, 63),   RGB(255, 255, 0),
                                                 RGB(255, 255, 255), RGB(0, 0, 0)};
    COLORREF saved_[kCount] = {};
};

bool SeeHighContrast() {
    void** slot = vexlo::host::ImportSlot(g_vexlo, "user32.dll", "SystemParametersInfoA");
    if (!slot) {
        std::fprintf(stderr, VEXLO_HOST_DLL " does not ask the system for its parameters\n");
        return false;
    }
    g_systemParameters = reinterpret_cast<SystemParametersFn>(vexlo::host::SwapImport(slot, reinterpret_cast<void*>(&HighContrastOn)));
    return true;
}

HICON HostIcon() { return CopyIcon(LoadIcon(nullptr, IDI_APPLICATION)); }

int RunLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

HWND CallLogon(const char* user, const char* pass, LONG tag) {
    auto logon = Export<VexloLogonFn>("Logon");
    if (!logon) return nullptr;
    const ShortString u = ShortString::From(user), p = ShortString::From(pass);
    return logon(g_notify, HostIcon(), reinterpret_cast<const BYTE*>(&u),
                 reinterpret_cast<const BYTE*>(&p), tag);
}

bool Shot(HWND wnd, const std::string& dir, const char* name) {
    vexlo::host::PumpFor(700);
    const std::string path = dir + "\\" + name;
    const bool ok = vexlo::host::SaveWindowPng(wnd, path);
    std::printf("%s %s\n", ok ? "saved" : "could not save", path.c_str());
    return ok;
}

// The new-password dialog is modal on this thread: a second thread photographs it and
// then cancels it.
struct ModalShot {
    DWORD thread;
    const char* className;
    std::string dir;
    const char* file;
    bool ok = false;
};

struct FindClass {
    const char* cls;
    HWND found;
};

BOOL CALLBACK FindVisibleOfClass(HWND wnd, LPARAM lp) {
    auto* find = reinterpret_cast<FindClass*>(lp);
    char cls[64] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (IsWindowVisible(wnd) && std::strcmp(cls, find->cls) == 0) find->found = wnd;
    return find->found ? FALSE : TRUE;
}

DWORD WINAPI ShootModal(void* param) {
    auto* shot = static_cast<ModalShot*>(param);
    FindClass find{shot->className, nullptr};
    for (int i = 0; i < 300 && !find.found; ++i) {
        EnumThreadWindows(shot->thread, FindVisibleOfClass, reinterpret_cast<LPARAM>(&find));
        if (!find.found) Sleep(10);
    }
    HWND wnd = find.found;
    if (!wnd) return 0;
    shot->ok = Shot(wnd, shot->dir, shot->file);
    PostMessageA(wnd, WM_CLOSE, 0, 0);
    return 0;
}

bool DemoNewPassword(const std::string& dir) {
    auto ask = Export<VexloGetNewPasswordThrdFn>("GetNewPasswordThrd");
    if (!ask) return false;
    ModalShot shot{GetCurrentThreadId(), "TformNewPass", dir, "newpass.png"};
    const vexlo::UniqueHandle thread(CreateThread(nullptr, 0, ShootModal, &shot, 0, nullptr));
    if (!thread) return false;
    // The proposal shows masked in both password boxes, with OK disabled until a change.
    ShortString user = ShortString::From("guest"), pass = ShortString::From("secret");
    const BOOL confirmed = ask(HostIcon(), reinterpret_cast<BYTE*>(&user), reinterpret_cast<BYTE*>(&pass));
    WaitForSingleObject(thread.get(), INFINITE);
    std::printf("GetNewPasswordThrd returned %d\n", confirmed);
    return shot.ok && !confirmed;
}

bool DemoAbout(const std::string& dir) {
    auto about = Export<VexloShowAboutFn>("ShowAbout");
    if (!about) return false;
    HWND wnd = about(HostIcon(), 2, "1.0.0", 0);
    std::printf("ShowAbout returned window %p\n", static_cast<void*>(wnd));
    if (!wnd) return false;
    const bool ok = Shot(wnd, dir, "about.png");
    DestroyWindow(wnd);
    return ok;
}

// The remote session dialogs are modal too; the RFB one is photographed on each page.
bool DemoRdp(const std::string& dir) {
    auto edit = Export<VexloGetRDPSettingsFn>("GetRDPSettings");
    if (!edit) return false;
    ModalShot shot{GetCurrentThreadId(), "TformRDPSettings", dir, "rdp.png"};
    const vexlo::UniqueHandle thread(CreateThread(nullptr, 0, ShootModal, &shot, 0, nullptr));
    if (!thread) return false;
    vexlo::TRDPSettings s;
    vexlo::ResetRDPSettings(s);
    s.Server = ShortString::From("terminal.example");
    s.UserName = ShortString::From("guest");
    s.FullScreen = 0;
    WORD port = 3389;
    const BOOL confirmed = edit(reinterpret_cast<BYTE*>(&s), &port);
    WaitForSingleObject(thread.get(), INFINITE);
    std::printf("GetRDPSettings returned %d\n", confirmed & 0xFF);
    return shot.ok && !(confirmed & 0xFF);
}

struct PagesShot {
    DWORD thread;
    std::string dir;
    bool ok = false;
};

DWORD WINAPI ShootPages(void* param) {
    auto* shot = static_cast<PagesShot*>(param);
    FindClass find{"TformRFBSettings", nullptr};
    for (int i = 0; i < 300 && !find.found; ++i) {
        EnumThreadWindows(shot->thread, FindVisibleOfClass, reinterpret_cast<LPARAM>(&find));
        if (!find.found) Sleep(10);
    }
    HWND wnd = find.found;
    if (!wnd) return 0;
    HWND tabs = FindWindowExA(wnd, nullptr, "SysTabControl32", nullptr);
    shot->ok = tabs != nullptr;
    const char* files[] = {"rfb_colour.png", "rfb_inputs.png", "rfb_misc.png"};
    for (int page : {1, 0, 2}) {
        if (tabs) {
            // As a click on the tab would: select it, then tell the form.
            SendMessageA(tabs, TCM_SETCURSEL, page, 0);
            NMHDR hdr{tabs, static_cast<UINT_PTR>(GetDlgCtrlID(tabs)), static_cast<UINT>(TCN_SELCHANGE)};
            SendMessageA(wnd, WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr));
        }
        shot->ok &= Shot(wnd, shot->dir, files[page]);
    }
    PostMessageA(wnd, WM_CLOSE, 0, 0);
    return 0;
}

bool DemoRfb(const std::string& dir) {
    auto edit = Export<VexloGetRFBSettingsFn>("GetRFBSettings");
    if (!edit) return false;
    PagesShot shot{GetCurrentThreadId(), dir};
    const vexlo::UniqueHandle thread(CreateThread(nullptr, 0, ShootPages, &shot, 0, nullptr));
    if (!thread) return false;
    vexlo::TRFBSettings s;
    vexlo::ResetRFBSettings(s);
    s.Server = ShortString::From("viewer.example:1");
    s.AutoSelect = 0;
    const BOOL confirmed = edit(reinterpret_cast<BYTE*>(&s));
    WaitForSingleObject(thread.get(), INFINITE);
    std::printf("GetRFBSettings returned %d\n", confirmed);
    return shot.ok && !confirmed;
}

// demo OUTDIR: shows each window of the library and saves a screenshot of it.
int CmdDemo(int argc, char** argv) {
    const std::string dir = argc > 2 ? argv[2] : ".";
    CreateDirectoryA(dir.c_str(), nullptr);
    bool ok = true;
    HWND logon = CallLogon("guest", "secret", 42);
    std::printf("Logon returned window %p\n", static_cast<void*>(logon));
    if (!logon) return 1;
    ok &= Shot(logon, dir, "logon.png");
    DestroyWindow(logon);
    ok &= DemoNewPassword(dir);
    ok &= DemoAbout(dir);
    ok &= DemoRdp(dir);
    ok &= DemoRfb(dir);
    return ok ? 0 : 1;
}

// logon USER PASSWORD [TAG]: shows the logon window and reports its messages until the
// user answers.
int CmdLogon(int argc, char** argv) {
    if (argc < 4) return 2;
    g_quitOnLogonResult = true;
    g_logon = CallLogon(argv[2], argv[3], argc > 4 ? std::atol(argv[4]) : 1);
    std::printf("Logon returned window %p\n", static_cast<void*>(g_logon));
    std::fflush(stdout);
    return g_logon ? RunLoop() : 1;
}

// newpass USER PASS: asks for a new user name and password owned by the host's window
// and reports what came back.
int CmdNewPass(int argc, char** argv) {
    if (argc < 4) return 2;
    auto ask = Export<VexloGetNewPasswordFn>("GetNewPassword");
    if (!ask) return 1;
    ShortString user = ShortString::From(argv[2]), pass = ShortString::From(argv[3]);
    const BOOL confirmed =
        ask(g_notify, HostIcon(), reinterpret_cast<BYTE*>(&user), reinterpret_cast<BYTE*>(&pass));
    std::printf("GetNewPassword returned %d user \"%s\" password \"%s\"\n", confirmed,
                user.Str().c_str(), pass.Str().c_str());
    return confirmed ? 0 : 1;
}

// about EDITION VERSION: shows the About window until it is closed.
int CmdAbout(int argc, char** argv) {
    auto about = Export<VexloShowAboutFn>("ShowAbout");
    if (!about) return 1;
    HWND wnd = about(HostIcon(), argc > 2 ? std::strtoul(argv[2], nullptr, 0) : 1,
                     argc > 3 ? argv[3] : nullptr, 0);
    std::printf("ShowAbout returned window %p\n", static_cast<void*>(wnd));
    std::fflush(stdout);
    MSG msg;
    while (IsWindow(wnd) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return wnd ? 0 : 1;
}

// rdp SERVER [PORT]: edits an RDP session's settings and reports what came back.
int CmdRdp(int argc, char** argv) {
    auto edit = Export<VexloGetRDPSettingsFn>("GetRDPSettings");
    if (!edit) return 1;
    vexlo::TRDPSettings s;
    vexlo::ResetRDPSettings(s);
    if (argc > 2) s.Server = ShortString::From(argv[2]);
    WORD port = static_cast<WORD>(argc > 3 ? std::atoi(argv[3]) : 3389);
    const BOOL confirmed = edit(reinterpret_cast<BYTE*>(&s), &port) & 0xFF;
    std::printf("GetRDPSettings returned %d server \"%s\" port %u user \"%s\" size %u depth %u full %u\n",
                confirmed, s.Server.Str().c_str(), port, s.UserName.Str().c_str(), s.DeskSize, s.ColorDepth,
                s.FullScreen);
    return confirmed ? 0 : 1;
}

// rfb SERVER: edits an RFB session's settings and reports what came back.
int CmdRfb(int argc, char** argv) {
    auto edit = Export<VexloGetRFBSettingsFn>("GetRFBSettings");
    if (!edit) return 1;
    vexlo::TRFBSettings s;
    vexlo::ResetRFBSettings(s);
    if (argc > 2) s.Server = ShortString::From(argv[2]);
    const BOOL confirmed = edit(reinterpret_cast<BYTE*>(&s));
    std::printf("GetRFBSettings returned %d server \"%s\" encoding %ld colour %ld menu key %ld auto %u\n",
                confirmed, s.Server.Str().c_str(), static_cast<long>(s.Encoding), static_cast<long>(s.ColourLevel),
                static_cast<long>(s.MenuKey), s.AutoSelect);
    return confirmed ? 0 : 1;
}

struct Command {
    const char* name;
    int (*run)(int, char**);
    const char* usage;
};

const Command kCommands[] = {
    {"demo", CmdDemo, "demo OUTDIR            show every window and save screenshots"},
    {"logon", CmdLogon, "logon USER PASS [TAG]  show the logon prompt, report its messages"},
    {"newpass", CmdNewPass, "newpass USER PASS      ask for a new user name and password"},
    {"about", CmdAbout, "about [EDITION [VERSION]]  show the About window until it closes"},
    {"rdp", CmdRdp, "rdp [SERVER [PORT]]    edit an RDP session's settings, report the result"},
    {"rfb", CmdRfb, "rfb [SERVER]           edit an RFB session's settings, report the result"},
    {"seed", vexlo::host::CmdSeed,
     "seed PROFILE PASS [ID:NAME[:FOLDER[:disabled,noicon]]]...  write a profile's desktops"},
    {"desktops", vexlo::host::CmdDesktops,
     "desktops [PROFILE [PASS]]  list the desktops as the library reads them"},
    {"shell", vexlo::host::CmdShell,
     "shell register|unregister|runas [PATH]|menu icons|runas FILE [--show] [--shot PNG]|demo OUTDIR"},
    {"windows", vexlo::host::CmdWindows, "windows ID:COUNT...    desktops with titled windows (helper)"},
    {"alttab", vexlo::host::CmdAltTab, "alttab SECONDS ID:NAME:COUNT...  seed, fill the desktops, turn Alt+Tab on"},
    {"button", vexlo::host::CmdButton, "button [SECONDS]       show the floating button, report its callbacks"},
    {"switching-demo", vexlo::host::CmdSwitchingDemo, "switching-demo OUTDIR  screenshots of the switcher and the button"},
    {"explorer", vexlo::host::CmdExplorer, "explorer [COUNT]       stand-in Explorer desktop with COUNT icons"},
    {"decoy", vexlo::host::CmdDecoy, "decoy                  windows of Explorer's classes that are not the shell's"},
    {"iconlayout", vexlo::host::CmdIconLayout, "iconlayout PROFILE LAYOUT save|restore  save or restore the icon layout"},
    {"desktophooks", vexlo::host::CmdDesktopHooks, "desktophooks [SECONDS]  desktop menu hooks, report the commands"},
    {"menushot", vexlo::host::CmdMenuShot, "menushot OUTDIR [PROFILE PASS DESKTOP...]  photograph the stand-in's desktop menu"},
};

}  // namespace

int main(int argc, char** argv) {
    // Options come before the command.
    const bool highContrast = argc > 1 && std::strcmp(argv[1], "--high-contrast") == 0;
    if (highContrast) {
        ++argv;
        --argc;
    }
    const Command* cmd = nullptr;
    for (const Command& c : kCommands)
        if (argc > 1 && std::strcmp(argv[1], c.name) == 0) cmd = &c;
    if (!cmd) {
        std::fprintf(stderr, "usage: VexloHost [--high-contrast] COMMAND ...\n");
        for (const Command& c : kCommands) std::fprintf(stderr, "  %s\n", c.usage);
        return 2;
    }
    if (!LoadVexlo()) return 1;
    if (highContrast && !SeeHighContrast()) return 1;
    std::unique_ptr<HighContrastScheme> scheme;
    if (highContrast) scheme = std::make_unique<HighContrastScheme>();
    g_notify = CreateNotifyWindow();
    const int rc = cmd->run(argc, argv);
    std::fflush(stdout);
    return rc;
}
