// VexloHost: the reference main program. It loads Vexlo.dll at run time, calls its
// exports with the Windows calling convention, pumps messages and reports what the
// library sends back. Product developers use it to try the library and to inspect
// and seed settings; the demo shows every window and saves screenshots.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/screenshot.h"
#include "include/Vexlo.h"
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
    g_vexlo = LoadLibraryA((ExeDir() + "Vexlo.dll").c_str());
    if (!g_vexlo) std::fprintf(stderr, "cannot load Vexlo.dll (error %lu)\n", GetLastError());
    return g_vexlo != nullptr;
}

template <typename Fn>
Fn Export(const char* name) {
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(g_vexlo, name)));
    if (!fn) std::fprintf(stderr, "Vexlo.dll has no export %s\n", name);
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

struct Command {
    const char* name;
    int (*run)(int, char**);
    const char* usage;
};

const Command kCommands[] = {
    {"demo", CmdDemo, "demo OUTDIR            show every window and save screenshots"},
    {"logon", CmdLogon, "logon USER PASS [TAG]  show the logon prompt, report its messages"},
};

}  // namespace

int main(int argc, char** argv) {
    const Command* cmd = nullptr;
    for (const Command& c : kCommands)
        if (argc > 1 && std::strcmp(argv[1], c.name) == 0) cmd = &c;
    if (!cmd) {
        std::fprintf(stderr, "usage: VexloHost COMMAND ...\n");
        for (const Command& c : kCommands) std::fprintf(stderr, "  %s\n", c.usage);
        return 2;
    }
    if (!LoadVexlo()) return 1;
    g_notify = CreateNotifyWindow();
    const int rc = cmd->run(argc, argv);
    std::fflush(stdout);
    return rc;
}
