// The stand-in Explorer and the commands around the desktop hooks. The stand-in holds
// what the hooks look for: a top-level "Progman" window, a "SHELLDLL_DefView" where the
// shape puts it (explorer.h) and a real "SysListView32" with icons, and in the newer
// shapes the desktop's shell view (desktop_view.h); other processes drive it with
// WM_COPYDATA.
//
// The shell view is the stand-in's own, not Wine's: Wine 8 has no desktop browser that
// answers WM_USER + 7, and its shell view answers E_NOTIMPL to GetItemPosition and
// SelectAndPositionItems, the calls that matter, so a hosted Wine view would need these
// supplied over the list view anyway. Its own objects also hold the positions as Explorer
// does since 1809 and refuse the marshaled calls that Windows refuses.
#include "host/explorer.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/desktop_view.h"
#include "host/library_name.h"
#include "host/screenshot.h"
#include "host/settings_tool.h"
#include "include/Vexlo.h"
#include "shared/handles.h"

namespace vexlo::host {

namespace {

HWND g_list = nullptr;
HMENU g_openMenu = nullptr;
int g_chosen = -1;
constexpr UINT kOpenMenuNow = WM_APP + 1;
constexpr UINT kInitMenuTwiceNow = WM_APP + 2;
int g_initTwiceCount = -1;  // the item count of the last menu initialised twice

template <typename Fn>
Fn VexloExport(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(VEXLO_HOST_DLL), name)));
}

std::string ItemText(int index) {
    char text[255] = {};
    LVITEMA item{};
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(g_list, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
    return text;
}

POINT ItemPosition(int index) {
    POINT pt{};
    SendMessageA(g_list, LVM_GETITEMPOSITION, index, reinterpret_cast<LPARAM>(&pt));
    return pt;
}

int ItemCount() { return static_cast<int>(SendMessageA(g_list, LVM_GETITEMCOUNT, 0, 0)); }

struct NewItem {
    std::string caption;
    int x, y;
};

// Wine's list view arranges its icons at the first paint after items come into an empty
// list (item metrics not yet computed), which may come at any time after a request: the
// items go in, that paint is forced at once, and only then are they placed.
void AddItems(const std::vector<NewItem>& items) {
    static LPARAM lastId = 0;
    std::vector<std::pair<int, LPARAM>> added;
    for (const NewItem& n : items) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = static_cast<int>(SendMessageA(g_list, LVM_GETITEMCOUNT, 0, 0));
        item.pszText = const_cast<char*>(n.caption.c_str());
        item.iImage = item.iItem % 3;
        item.lParam = ++lastId;  // the item's id in the shell view, as Explorer keeps its PIDL there
        added.emplace_back(static_cast<int>(SendMessageA(g_list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item))),
                           item.lParam);
    }
    RedrawWindow(g_list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    for (std::size_t i = 0; i < added.size(); ++i) {
        const auto [index, id] = added[i];
        SendMessageA(g_list, LVM_SETITEMPOSITION, index, MAKELPARAM(items[i].x, items[i].y));
        AddViewItem(id, index, ItemPosition(index));
    }
}

void SetItems(const std::string& lines) {
    SendMessageA(g_list, LVM_DELETEALLITEMS, 0, 0);
    ClearViewItems();
    std::vector<NewItem> items;
    std::istringstream in(lines);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t a = line.find('\t'), b = line.find('\t', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        items.push_back({line.substr(0, a), std::atoi(line.c_str() + a + 1), std::atoi(line.c_str() + b + 1)});
    }
    AddItems(items);
}

void ReportItems(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    for (int i = 0, count = ItemCount(); i < count; ++i) {
        const POINT pt = ItemPosition(i);
        out << ItemText(i) << '\t' << pt.x << '\t' << pt.y << '\n';
    }
}

void LiteralSave(const char* file, const char* section) {
    WritePrivateProfileStringA(section, nullptr, nullptr, file);
    const int count = ItemCount();
    WritePrivateProfileStringA(section, "Items", std::to_string(count).c_str(), file);
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        const POINT pt = ItemPosition(i);
        WritePrivateProfileStringA(section, ("ItemCaption" + n).c_str(), ItemText(i).c_str(), file);
        WritePrivateProfileStringA(section, ("ItemX" + n).c_str(), std::to_string(pt.x).c_str(), file);
        WritePrivateProfileStringA(section, ("ItemY" + n).c_str(), std::to_string(pt.y).c_str(), file);
    }
}

int ProfileInt(const char* file, const char* section, const std::string& key) {
    char buf[255] = {};
    GetPrivateProfileStringA(section, key.c_str(), "", buf, sizeof buf, file);
    return std::atoi(buf);
}

void LiteralRestore(const char* file, const char* section) {
    const int items = ProfileInt(file, section, "Items");
    for (int n = 0; n < items; ++n) {
        const std::string k = std::to_string(n);
        char caption[255] = {};
        GetPrivateProfileStringA(section, ("ItemCaption" + k).c_str(), "", caption, sizeof caption, file);
        const int count = ItemCount();
        for (int i = 0; i < count; ++i) {
            if (ItemText(i) != caption) continue;
            const int x = ProfileInt(file, section, "ItemX" + k), y = ProfileInt(file, section, "ItemY" + k);
            SendMessageA(g_list, LVM_SETITEMPOSITION, i, MAKELPARAM(x, y));
        }
    }
}

// One line per item: depth, id, state bits, screen rectangle, text.
void ReportMenuItems(std::ostream& out, HMENU menu, int depth) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[260] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING | MIIM_CHECKMARKS;
        info.dwTypeData = text;
        info.cch = sizeof text - 1;
        GetMenuItemInfoA(menu, i, TRUE, &info);
        RECT r{};
        GetMenuItemRect(nullptr, menu, i, &r);
        out << depth << '\t' << info.wID << '\t' << info.fState << '\t' << (info.fType & MFT_SEPARATOR ? 1 : 0) << '\t'
            << (info.hbmpChecked ? 1 : 0) << '\t' << r.left << '\t' << r.top << '\t' << r.right << '\t' << r.bottom
            << '\t' << text << '\n';
        if (info.hSubMenu) ReportMenuItems(out, info.hSubMenu, depth + 1);
    }
}

// Explorer's own items of the desktop menu: one inside the range that the desktop menu
// hook posts (999 .. 19999) and one above it.
HMENU CreateDesktopMenu() {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 5000, "Refresh");
    AppendMenuA(menu, MF_STRING, 30000, "Properties");
    return menu;
}

LRESULT CALLBACK ProgmanProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        const std::string text(static_cast<const char*>(data->lpData), data->cbData);
        switch (data->dwData) {
        case kSetItems:
            SetItems(text);
            return SendMessageA(g_list, LVM_GETITEMCOUNT, 0, 0);
        case kReportItems:
            ReportItems(text);
            return 1;
        case kOpenMenu:
            g_chosen = -1;
            PostMessageA(wnd, kOpenMenuNow, 0, 0);
            return 1;
        case kReportMenu: {
            std::ofstream out(text, std::ios::binary);
            out << "chosen\t" << g_chosen << '\n';
            if (g_openMenu) ReportMenuItems(out, g_openMenu, 0);
            return g_openMenu ? 1 : 0;
        }
        case kCloseMenu:
            EndMenu();
            return 1;
        case kLiteralSave:
        case kLiteralRestore: {
            const std::size_t cut = text.find('\n');
            const std::string file = text.substr(0, cut), section = text.substr(cut + 1);
            if (data->dwData == kLiteralSave)
                LiteralSave(file.c_str(), section.c_str());
            else
                LiteralRestore(file.c_str(), section.c_str());
            return 1;
        }
        case kRefresh:
            RefreshDesktopView();
            return 1;
        case kViewFloor:
            return ViewFloor() ? 1 : 0;
        case kInitMenuTwice:
            // Not inside this message, which another process sent: Explorer opens its menus
            // from its own input.
            PostMessageA(wnd, kInitMenuTwiceNow, 0, 0);
            return g_initTwiceCount;
        case kBadNames:
            SetUnterminatedNames(text == "1");
            return 1;
        case kSetEveryPosition:
            for (int i = 0, count = ItemCount(); i < count; ++i) {
                const POINT pt = ItemPosition(i);
                SendMessageA(g_list, LVM_SETITEMPOSITION, i, MAKELPARAM(pt.x, pt.y));
            }
            return 1;
        }
        return 0;
    }
    case kInitMenuTwiceNow: {
        // As a menu that is initialised again before it closes.
        HMENU menu = CreateDesktopMenu();
        SendMessageA(wnd, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
        SendMessageA(wnd, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
        g_initTwiceCount = GetMenuItemCount(menu);
        DestroyMenu(menu);
        return 0;
    }
    case kOpenMenuNow: {
        // As Explorer does on a right click on the desktop: the menu is modal on this thread.
        HMENU menu = CreateDesktopMenu();
        g_openMenu = menu;
        SetForegroundWindow(wnd);
        RECT r;
        GetWindowRect(g_list, &r);
        g_chosen = static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTBUTTON, r.left + 300, r.top + 200, 0,
                                                   wnd, nullptr));
        g_openMenu = nullptr;
        DestroyMenu(menu);
        return 0;
    }
    case WM_USER + 7:  // CWM_GETISHELLBROWSER: the browser, no reference added, as Explorer answers
        return reinterpret_cast<LRESULT>(DesktopBrowser());
    case WM_SIZE:
        if (HWND view = FindWindowExA(wnd, nullptr, "SHELLDLL_DefView", nullptr))
            MoveWindow(view, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

LRESULT CALLBACK DefViewProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SIZE && g_list) MoveWindow(g_list, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
    return DefWindowProcA(wnd, msg, wp, lp);
}

// A top-level "WorkerW": the holder of the moved view, or the empty one beside it.
LRESULT CALLBACK WorkerProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SIZE) {
        if (HWND view = FindWindowExA(wnd, nullptr, "SHELLDLL_DefView", nullptr))
            MoveWindow(view, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

LRESULT Command(HWND progman, StandInCommand command, const std::string& data) {
    COPYDATASTRUCT cd{command, static_cast<DWORD>(data.size()), const_cast<char*>(data.data())};
    DWORD_PTR result = 0;
    SendMessageTimeoutA(progman, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cd), SMTO_NORMAL, 10000, &result);
    return static_cast<LRESULT>(result);
}

// The shared blocks that the library opened in this process.
void WriteBlock(const char* name, std::size_t offset, const void* bytes, std::size_t size) {
    const vexlo::UniqueHandle map(OpenFileMappingA(FILE_MAP_WRITE, FALSE, name));
    if (!map) return;
    if (const vexlo::UniqueView view{MapViewOfFile(map.get(), FILE_MAP_WRITE, 0, 0, 0)})
        std::memcpy(static_cast<char*>(view.get()) + offset, bytes, size);
}

void WriteShort(const char* block, std::size_t offset, const std::string& text) {
    unsigned char buf[256] = {};
    buf[0] = static_cast<unsigned char>(text.size() > 255 ? 255 : text.size());
    std::memcpy(buf + 1, text.data(), buf[0]);
    WriteBlock(block, offset, buf, sizeof buf);
}

}  // namespace

int CmdExplorer(int argc, char** argv) {
    // Like Explorer, the stand-in gets the library only through the hooks.
    if (HMODULE vexlo = GetModuleHandleA(VEXLO_HOST_DLL)) FreeLibrary(vexlo);
    const int count = argc > 2 ? std::atoi(argv[2]) : 12;
    const std::string shape = argc > 3 ? argv[3] : "classic";
    // Explorer's desktop thread is a single-threaded apartment.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpfnWndProc = ProgmanProc;
    wc.lpszClassName = "Progman";
    RegisterClassA(&wc);
    wc.lpfnWndProc = DefViewProc;
    wc.lpszClassName = "SHELLDLL_DefView";
    RegisterClassA(&wc);
    wc.lpfnWndProc = WorkerProc;
    wc.lpszClassName = "WorkerW";
    RegisterClassA(&wc);
    HWND progman = CreateWindowA("Progman", "", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                                 nullptr, instance, nullptr);
    // As Explorer does: the hooks find the desktop from the shell window alone.
    if (!RegisterShellWindow(progman)) std::printf("SetShellWindow failed\n");
    // The view's holder; the empty WorkerW comes after, so a search meets it first.
    HWND holder = progman;
    if (shape == "workerw")
        holder = CreateWindowA("WorkerW", "", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr, instance, nullptr);
    HWND view = CreateWindowA("SHELLDLL_DefView", "", WS_CHILD | WS_VISIBLE, 0, 0, 800, 600, holder, nullptr,
                              instance, nullptr);
    if (shape == "workerw")
        CreateWindowA("WorkerW", "", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, instance, nullptr);
    // 24H2: a WorkerW child of Progman, put first among its children so that only a search
    // by class finds the view.
    if (shape == "24h2") {
        HWND worker = CreateWindowA("WorkerW", "", WS_CHILD, 0, 0, 800, 600, progman, nullptr, instance, nullptr);
        SetWindowPos(worker, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    g_list = CreateWindowExA(0, WC_LISTVIEWA, "FolderView", WS_CHILD | WS_VISIBLE | LVS_ICON | LVS_SHOWSELALWAYS, 0,
                             0, 800, 600, view, nullptr, instance, nullptr);
    if (shape != "classic") CreateDesktopView(progman, view, g_list);
    HIMAGELIST images = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 3, 0);
    for (LPCSTR icon : {IDI_APPLICATION, IDI_INFORMATION, IDI_WARNING})
        ImageList_AddIcon(images, LoadIcon(nullptr, icon));
    SendMessageA(g_list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    SendMessageA(g_list, LVM_SETBKCOLOR, 0, RGB(58, 110, 165));
    SendMessageA(g_list, LVM_SETTEXTBKCOLOR, 0, CLR_NONE);
    SendMessageA(g_list, LVM_SETTEXTCOLOR, 0, RGB(255, 255, 255));
    // The list view arranges its icons once when it first shows: positions set before
    // that would not stay. The title tells drivers that the stand-in is ready.
    UpdateWindow(progman);
    PumpFor(200);
    std::vector<NewItem> icons;
    for (int i = 0; i < count; ++i) icons.push_back({"Icon " + std::to_string(i), 20 + (i / 6) * 90, 10 + (i % 6) * 90});
    AddItems(icons);
    SetWindowTextA(progman, "Program Manager");
    std::printf("stand-in Explorer ready: list view %p\n", static_cast<void*>(g_list));
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

namespace {

LRESULT CALLBACK DecoyProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kDecoyHasLibrary) return GetModuleHandleA(VEXLO_HOST_DLL) ? 1 : 0;
    if (msg == WM_DESTROY && GetParent(wnd) == nullptr) PostQuitMessage(0);
    return DefWindowProcA(wnd, msg, wp, lp);
}

}  // namespace

int CmdDecoy(int, char**) {
    if (HMODULE vexlo = GetModuleHandleA(VEXLO_HOST_DLL)) FreeLibrary(vexlo);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.hInstance = instance;
    wc.lpfnWndProc = DecoyProc;
    for (const char* name : {"Progman", "SHELLDLL_DefView", "WorkerW"}) {
        wc.lpszClassName = name;
        RegisterClassA(&wc);
    }
    // Made after Explorer's, so a search by class meets them first.
    for (const char* top : {"WorkerW", "Progman"}) {
        HWND holder = CreateWindowA(top, std::strcmp(top, "Progman") == 0 ? "Decoy" : "", WS_POPUP | WS_VISIBLE, 0, 0,
                                    200, 200, nullptr, nullptr, instance, nullptr);
        HWND view = CreateWindowA("SHELLDLL_DefView", "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 200, holder, nullptr,
                                  instance, nullptr);
        CreateWindowExA(0, WC_LISTVIEWA, "FolderView", WS_CHILD | WS_VISIBLE | LVS_ICON, 0, 0, 200, 200, view, nullptr,
                        instance, nullptr);
    }
    std::printf("decoy ready\n");
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

int CmdIconLayout(int argc, char** argv) {
    if (argc < 5) return 2;
    const WPARAM request = std::strcmp(argv[4], "save") == 0      ? VEXLO_ICONS_SAVE
                           : std::strcmp(argv[4], "restore") == 0 ? VEXLO_ICONS_RESTORE
                                                                  : 0;
    auto hook = VexloExport<VexloHookExplorerFn>("HookExplorer");
    HWND list = FindStandInListView();
    if (!hook || !request || !list) {
        std::fprintf(stderr, "needs save or restore, and Explorer's desktop\n");
        return 2;
    }
    // As the main program does: names first, then the request, sent.
    WriteShort("KeyVexloProfile", 0, argv[2]);
    WriteShort("KeyVexloProfile", 256, argv[3]);
    HHOOK installed = hook(1);
    std::printf("HookExplorer(1) returned %p\n", static_cast<void*>(installed));
    DWORD_PTR result = 0;
    const bool sent = SendMessageTimeoutA(list, RegisterWindowMessageA(VEXLO_ICON_REQUEST_NAME), request, 0,
                                          SMTO_NORMAL, 60000, &result) != 0;
    std::printf("%s %s\n", argv[4], sent ? "done" : "timed out");
    std::printf("HookExplorer(0) returned %p\n", static_cast<void*>(hook(0)));
    return installed && sent ? 0 : 1;
}

namespace {

int InstallMenus(HWND notify) {
    auto hook = VexloExport<VexloHookContextFn>("HookContext");
    if (!hook) return 0;
    const auto wnd = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(notify));
    WriteBlock("KeyVexloContext", 0, &wnd, sizeof wnd);
    const int ok = hook(1) & 0xFF;
    std::printf("HookContext(1) returned %d\n", ok);
    std::fflush(stdout);
    return ok;
}

void RemoveMenus() {
    if (auto hook = VexloExport<VexloHookContextFn>("HookContext"))
        std::printf("HookContext(0) returned %d\n", hook(0) & 0xFF);
}

}  // namespace

int CmdDesktopHooks(int argc, char** argv) {
    HWND notify = OwnHostWindow();
    if (!InstallMenus(notify)) return 1;
    const DWORD until = GetTickCount() + 1000u * static_cast<DWORD>(argc > 2 ? std::atoi(argv[2]) : 30);
    while (static_cast<LONG>(until - GetTickCount()) > 0) PumpFor(50);
    RemoveMenus();
    return 0;
}

int CmdMenuShot(int argc, char** argv) {
    const std::string dir = argc > 2 ? argv[2] : ".";
    // Seeded here, while this process holds the shared blocks that keep the pass phrase.
    if (argc > 4) {
        std::vector<char*> seed = {argv[0], const_cast<char*>("seed")};
        seed.insert(seed.end(), argv + 3, argv + argc);
        if (CmdSeed(static_cast<int>(seed.size()), seed.data()) != 0) return 1;
    }
    HWND progman = FindWindowA("Progman", "Program Manager");
    if (!progman || !InstallMenus(OwnHostWindow())) return 1;
    Command(progman, kOpenMenu, "");
    PumpFor(500);
    // The keyboard walks to the last item, "Switch desktop", and opens its submenu.
    DWORD thread = GetWindowThreadProcessId(progman, nullptr);
    for (UINT vk : {VK_UP, VK_RIGHT}) {
        PostThreadMessageA(thread, WM_KEYDOWN, vk, 1);
        PumpFor(300);
    }
    PumpFor(400);
    const std::string path = dir + "\\desktop_menu.png";
    const bool ok = SaveWindowPng(progman, path);
    std::printf("%s %s\n", ok ? "saved" : "could not save", path.c_str());
    Command(progman, kCloseMenu, "");
    RemoveMenus();
    return ok ? 0 : 1;
}

}  // namespace vexlo::host
