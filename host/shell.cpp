// The shell side of the reference host: registers the library as Explorer's extensions
// would be registered, shows Run As as the main program does, and builds a file's context
// menu as Explorer does (the shell's own data object for the file, a real popup menu).
#include "host/shell.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host/library_name.h"
#include "host/screenshot.h"
#include "host/settings_tool.h"
#include "include/Vexlo.h"
#include "shared/handles.h"

namespace vexlo::host {

namespace {

constexpr GUID kIconManager = {0x5603452E, 0x350E, 0x4CF8, {0x96, 0x8D, 0x03, 0xDE, 0xEE, 0x98, 0xBE, 0x04}};
constexpr GUID kRunAs = {0x5DE60F2F, 0x4F06, 0x48B4, {0xA0, 0x50, 0xD9, 0x4A, 0x30, 0x59, 0x81, 0xC1}};
constexpr UINT kFirstId = 100;  // Explorer's own items use the ids below

template <typename Fn>
Fn Export(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(VEXLO_HOST_DLL), name)));
}

int CallServer(const char* name) {
    auto fn = Export<HRESULT(WINAPI*)()>(name);
    const HRESULT hr = fn ? fn() : E_FAIL;
    std::printf("%s returned 0x%08lX\n", name, static_cast<unsigned long>(hr));
    return SUCCEEDED(hr) ? 0 : 1;
}

// The main program's notification-area window, which the Icon Manager looks for.
HWND CreateTrayWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VexloTrayIconWnd";
    RegisterClassA(&wc);
    return CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
}

// What Explorer hands an extension: the shell folder's own data object for the item.
IDataObject* DataObjectFor(const std::string& file) {
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
    LPITEMIDLIST item = nullptr;
    if (FAILED(SHParseDisplayName(wide, nullptr, &item, 0, nullptr))) return nullptr;
    vexlo::ComPtr<IShellFolder> parent;
    LPCITEMIDLIST child = nullptr;
    IDataObject* data = nullptr;
    if (SUCCEEDED(SHBindToParent(item, IID_IShellFolder, parent.put_void(), &child)))
        parent->GetUIObjectOf(nullptr, 1, &child, IID_IDataObject, nullptr, reinterpret_cast<void**>(&data));
    CoTaskMemFree(item);
    return data;
}

void PrintMenu(HMENU menu, int depth) {
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        char text[300] = {};
        MENUITEMINFOA mi{};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_TYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_CHECKMARKS;
        mi.dwTypeData = text;
        mi.cch = sizeof text;
        GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &mi);
        std::printf("%*s%s", depth * 2, "", (mi.fType & MFT_SEPARATOR) ? "----" : text);
        if (!(mi.fType & MFT_SEPARATOR) && !mi.hSubMenu) std::printf(" [id %u]", mi.wID);
        if (mi.fState & MFS_CHECKED) std::printf(" [checked%s]", mi.hbmpChecked ? ", bitmap" : "");
        if (mi.fState & MFS_GRAYED) std::printf(" [greyed]");
        std::printf("\n");
        if (mi.hSubMenu) PrintMenu(mi.hSubMenu, depth + 1);
    }
}

struct MenuShot {
    HWND owner;
    std::string path;
    bool ok = false;
};

// Opens the added item and its first submenu with the keys a person would press, saves
// the screen, and closes the menu.
DWORD WINAPI ShootMenu(void* param) {
    auto* shot = static_cast<MenuShot*>(param);
    for (int i = 0; i < 300 && !FindWindowA("#32768", nullptr); ++i) Sleep(10);
    for (UINT key : {VK_DOWN, VK_RIGHT, VK_RIGHT}) {
        PostMessageA(shot->owner, WM_KEYDOWN, key, 0);
        Sleep(300);
    }
    Sleep(500);
    shot->ok = SaveWindowPng(GetDesktopWindow(), shot->path);
    std::printf("%s %s\n", shot->ok ? "saved" : "could not save", shot->path.c_str());
    for (int i = 0; i < 4; ++i) PostMessageA(shot->owner, WM_KEYDOWN, VK_ESCAPE, 0);
    return 0;
}

int ShowMenu(const char* kind, const std::string& file, bool show, const std::string& shot) {
    const GUID& clsid = std::strcmp(kind, "runas") == 0 ? kRunAs : kIconManager;
    HWND tray = CreateTrayWindow();
    const vexlo::ComPtr<IDataObject> data(DataObjectFor(file));
    if (!data) {
        std::fprintf(stderr, "no data object for %s\n", file.c_str());
        return 1;
    }
    vexlo::ComPtr<IShellExtInit> init;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.put_void());
    std::printf("CoCreateInstance returned 0x%08lX\n", static_cast<unsigned long>(hr));
    int rc = 1;
    if (SUCCEEDED(hr)) {
        hr = init->Initialize(nullptr, data.get(), nullptr);
        std::printf("Initialize returned 0x%08lX\n", static_cast<unsigned long>(hr));
        vexlo::ComPtr<IContextMenu> cm;
        init->QueryInterface(IID_IContextMenu, cm.put_void());
        HMENU menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, 1, "&Open");
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING, 2, "P&roperties");
        if (SUCCEEDED(hr) && cm) {
            hr = cm->QueryContextMenu(menu, 0, kFirstId, 0x7FFF, CMF_NORMAL);
            std::printf("QueryContextMenu returned 0x%08lX (%u ids)\n", static_cast<unsigned long>(hr),
                        static_cast<unsigned>(HRESULT_CODE(hr)));
        }
        PrintMenu(menu, 0);
        rc = 0;
        if (show || !shot.empty()) {
            HWND owner = CreateWindowA("STATIC", "VexloHost", WS_POPUP | WS_VISIBLE, 200, 150, 1, 1, nullptr,
                                       nullptr, nullptr, nullptr);
            SetForegroundWindow(owner);
            MenuShot ms{owner, shot};
            const vexlo::UniqueHandle thread(shot.empty() ? nullptr
                                                          : CreateThread(nullptr, 0, ShootMenu, &ms, 0, nullptr));
            const UINT cmd = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN, 200, 150, 0, owner, nullptr);
            if (thread) {
                WaitForSingleObject(thread.get(), INFINITE);
                rc = ms.ok ? 0 : 1;
            }
            if (cm && cmd >= kFirstId) {
                CMINVOKECOMMANDINFO info{};
                info.cbSize = sizeof info;
                info.hwnd = owner;
                info.lpVerb = MAKEINTRESOURCEA(cmd - kFirstId);
                info.nShow = SW_SHOWNORMAL;
                hr = cm->InvokeCommand(&info);
                std::printf("InvokeCommand(%u) returned 0x%08lX\n", cmd - kFirstId, static_cast<unsigned long>(hr));
            }
            DestroyWindow(owner);
        }
        DestroyMenu(menu);
    }
    DestroyWindow(tray);
    return rc;
}

struct DialogShot {
    DWORD thread;
    std::string path;
    bool ok = false;
};

DWORD WINAPI ShootRunAs(void* param) {
    auto* shot = static_cast<DialogShot*>(param);
    HWND wnd = nullptr;
    for (int i = 0; i < 500 && !(wnd = FindWindowA("TformRunAs", nullptr)); ++i) Sleep(10);
    if (!wnd) return 0;
    Sleep(700);
    shot->ok = SaveWindowPng(wnd, shot->path);
    std::printf("%s %s\n", shot->ok ? "saved" : "could not save", shot->path.c_str());
    PostMessageA(wnd, WM_CLOSE, 0, 0);
    return 0;
}

int ShowRunAs(const char* path, const std::string& shot) {
    auto show = Export<VexloShowRunAsFn>("ShowRunAs");
    if (!show) return 1;
    DialogShot ds{GetCurrentThreadId(), shot};
    const vexlo::UniqueHandle thread(shot.empty() ? nullptr : CreateThread(nullptr, 0, ShootRunAs, &ds, 0, nullptr));
    std::printf("ShowRunAs opened\n");
    std::fflush(stdout);
    show(path);
    std::printf("ShowRunAs returned\n");
    if (!thread) return 0;
    WaitForSingleObject(thread.get(), INFINITE);
    return ds.ok ? 0 : 1;
}

// Seeds a profile whose desktops can receive items, registers the extensions and
// photographs the Run As dialog and the Icon Manager's menu.
int Demo(const std::string& dir) {
    char seedCmd[] = "seed", profile[] = "Demo", pass[] = "demo-pass", a[] = "1:Main", b[] = "1001:Work:Work",
         c[] = "1002:Games:Games";
    char* seedArgs[] = {seedCmd, seedCmd, profile, pass, a, b, c};
    if (CmdSeed(7, seedArgs) != 0) return 1;
    if (CallServer("DllRegisterServer") != 0) return 1;
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    int rc = ShowRunAs(exe, dir + "\\runas.png");
    rc |= ShowMenu("icons", exe, true, dir + "\\icon_manager.png");
    return rc;
}

}  // namespace

int CmdShell(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string sub = argv[2];
    CoInitialize(nullptr);
    int rc = 2;
    if (sub == "register") rc = CallServer("DllRegisterServer");
    else if (sub == "unregister") rc = CallServer("DllUnregisterServer");
    else if (sub == "runas") rc = ShowRunAs(argc > 3 ? argv[3] : nullptr, "");
    else if (sub == "demo" && argc > 3) rc = Demo(argv[3]);
    else if (sub == "menu" && argc > 4) {
        bool show = false;
        std::string shot;
        for (int i = 5; i < argc; ++i) {
            if (std::strcmp(argv[i], "--show") == 0) show = true;
            else if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc) shot = argv[++i];
        }
        rc = ShowMenu(argv[3], argv[4], show, shot);
    }
    std::fflush(stdout);
    CoUninitialize();
    return rc;
}

}  // namespace vexlo::host
