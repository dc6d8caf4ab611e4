// The shell extensions as a real COM client meets them: registration through regsvr32,
// objects created through the registry, the shell's own data objects, real menus, and
// the files the Icon Manager makes.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include <fstream>
#include <thread>
#include <string>
#include <vector>

#include "harness.h"

namespace {

const CLSID kIconManager = {0x5603452E, 0x350E, 0x4CF8, {0x96, 0x8D, 0x03, 0xDE, 0xEE, 0x98, 0xBE, 0x04}};
const CLSID kRunAs = {0x5DE60F2F, 0x4F06, 0x48B4, {0xA0, 0x50, 0xD9, 0x4A, 0x30, 0x59, 0x81, 0xC1}};
const char* const kIconText = "{5603452E-350E-4CF8-968D-03DEEE98BE04}";
const char* const kRunAsText = "{5DE60F2F-4F06-48B4-A050-D94A305981C1}";
const char* const kApproved = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr UINT kFirst = 100;
const CLSID kShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

std::string RegText(HKEY root, const std::string& key, const char* value = nullptr) {
    char data[1024] = {};
    DWORD size = sizeof data;
    if (RegGetValueA(root, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return "(missing)";
    return data;
}
bool KeyExists(const std::string& key) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

// Runs a program of the system to its end; its exit code, -1 when it did not start.
int RunToEnd(const std::string& command) {
    HANDLE p = harness::StartProgram(command);
    if (!p) return -1;
    WaitForSingleObject(p, 30000);
    DWORD code = 1;
    GetExitCodeProcess(p, &code);
    CloseHandle(p);
    return static_cast<int>(code);
}
int Regsvr32(const std::string& args) { return RunToEnd("regsvr32.exe /s " + args); }

std::wstring Wide(const std::string& s) {
    std::wstring w(s.size() + 1, L'\0');
    w.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, w.data(), static_cast<int>(w.size())) - 1));
    return w;
}

std::wstring TempFolder(const wchar_t* leaf) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + leaf;
}

void WriteFileW(const std::wstring& path, const std::string& text) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}
std::string ReadFileW(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "(missing)";
    char buf[256];
    DWORD got = 0;
    ReadFile(f, buf, sizeof buf, &got, nullptr);
    CloseHandle(f);
    return std::string(buf, got);
}
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
void RemoveTree(const std::wstring& path) {
    std::wstring from = path + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    SHFileOperationW(&op);
}

struct Extension {
    IShellExtInit* init = nullptr;
    IContextMenu* menu = nullptr;
    explicit Extension(const CLSID& clsid) {
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellExtInit),
                                   reinterpret_cast<void**>(&init)),
                  S_OK);
        if (init) init->QueryInterface(__uuidof(IContextMenu), reinterpret_cast<void**>(&menu));
    }
    ~Extension() {
        if (menu) menu->Release();
        if (init) init->Release();
    }
    HRESULT Initialize(const std::vector<std::wstring>& paths) {
        IDataObject* data = harness::ShellDataObject(paths);
        EXPECT_NE(data, nullptr);
        const HRESULT hr = init->Initialize(nullptr, data, nullptr);
        if (data) data->Release();
        return hr;
    }
    HRESULT Invoke(UINT_PTR verb) {
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof info;
        info.lpVerb = reinterpret_cast<LPCSTR>(verb);
        return menu->InvokeCommand(&info);
    }
};

std::string ItemText(HMENU menu, int pos) {
    char text[512] = {};
    GetMenuStringA(menu, static_cast<UINT>(pos), text, sizeof text, MF_BYPOSITION);
    return text;
}

class ComClient : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(harness::Vexlo(), nullptr);
        CoInitialize(nullptr);
        ASSERT_EQ(harness::Proc<HRESULT(WINAPI*)()>("DllRegisterServer")(), S_OK);
    }
    void TearDown() override { CoUninitialize(); }
};

// A profile with three desktops that may receive items (Main, Work, Games, in this order)
// and three that may not (hidden, disabled, a folder name leading outside the profile).
class IconManager : public ComClient {
protected:
    void SetUp() override {
        ComClient::SetUp();
        const std::string seeded = harness::RunHostOutput(
            "seed ShellTest pw 1:Main 1001:Work:Work 1002:Hidden:Hidden:noicon 1003:Off:Off:disabled "
            "\"1005:Evil:..\\Evil\" 1004:Games:Games");
        ASSERT_NE(seeded.find("with 6 desktop(s)"), std::string::npos) << seeded;
        wchar_t appData[MAX_PATH] = {};
        SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
        profile_ = std::wstring(appData) + L"\\Brindlecote\\Quillmere\\ShellTest";
        wchar_t desktop[MAX_PATH] = {};
        SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);
        desktop_ = desktop;
        RemoveTree(profile_ + L"\\Work");
        RemoveTree(profile_ + L"\\Games");
        CreateDirectoryW((profile_ + L"\\Work").c_str(), nullptr);
        CreateDirectoryW((profile_ + L"\\Games").c_str(), nullptr);
        source_ = TempFolder(L"vexlo_icons_source");
        RemoveTree(source_);
        CreateDirectoryW(source_.c_str(), nullptr);
    }
    void TearDown() override {
        if (tray_) DestroyWindow(tray_);
        RemoveTree(source_);
        ComClient::TearDown();
    }
    void StartMainProgram() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VexloTrayIconWnd";
        RegisterClassA(&wc);
        tray_ = CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    }
    std::wstring profile_, desktop_, source_;
    HWND tray_ = nullptr;
};

TEST_F(ComClient, Regsvr32WritesEveryKeyAndUnregisteringLeavesOtherHandlers) {
    const std::string dll = harness::ExeDir() + "Vexlo.dll";
    // This DLL alone: the 64-bit twin, registered in its own view, would keep the shared
    // handler keys.
    for (const char* cls : {kIconText, kRunAsText}) {
        RegDeleteKeyExA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + cls + "\\InprocServer32").c_str(), KEY_WOW64_64KEY, 0);
        RegDeleteKeyExA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + cls).c_str(), KEY_WOW64_64KEY, 0);
    }
    HKEY other;
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\Other", &other), ERROR_SUCCESS);
    RegCloseKey(other);
    ASSERT_EQ(Regsvr32("/u \"" + dll + "\""), 0);
    ASSERT_EQ(Regsvr32("\"" + dll + "\""), 0);

    const std::string icon = std::string("CLSID\\") + kIconText, runAs = std::string("CLSID\\") + kRunAsText;
    EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, icon), "Quillmere Icon Manager");
    EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, runAs), "Quillmere Run as...");
    char path[MAX_PATH] = {};
    GetModuleFileNameA(harness::Vexlo(), path, MAX_PATH);
    for (const std::string& cls : {icon, runAs}) {
        EXPECT_STRCASEEQ(RegText(HKEY_CLASSES_ROOT, cls + "\\InprocServer32").c_str(), path);
        EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, cls + "\\InprocServer32", "ThreadingModel"), "Apartment");
    }
    for (const char* fileClass : {"*", "Directory", "Folder"}) {
        EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, std::string(fileClass) + "\\shellex\\ContextMenuHandlers\\Icon Manager"),
                  kIconText);
        EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, std::string(fileClass) + "\\shellex\\ContextMenuHandlers"), "");
    }
    EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, "exefile\\shellex\\ContextMenuHandlers\\Run as..."), kRunAsText);
    EXPECT_TRUE(KeyExists("*\\shellex\\ContextMenuHandlers\\Other"));

    ASSERT_EQ(Regsvr32("/u \"" + dll + "\""), 0);
    EXPECT_FALSE(KeyExists(icon));
    EXPECT_FALSE(KeyExists(runAs));
    EXPECT_FALSE(KeyExists("*\\shellex\\ContextMenuHandlers\\Icon Manager"));
    EXPECT_TRUE(KeyExists("*\\shellex\\ContextMenuHandlers\\Other"));
    EXPECT_FALSE(KeyExists("exefile\\shellex\\ContextMenuHandlers\\Run as..."));
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kApproved, kIconText), "Quillmere Icon Manager");
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kApproved, kRunAsText), "Quillmere Run as...");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\Other");

    // From a folder with a blank in its path, the server file is the short form.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string spaced = std::string(temp) + "Vexlo Blank";
    CreateDirectoryA(spaced.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(dll.c_str(), (spaced + "\\Vexlo.dll").c_str(), FALSE));
    ASSERT_EQ(Regsvr32("\"" + spaced + "\\Vexlo.dll\""), 0);
    char shortPath[MAX_PATH] = {};
    GetShortPathNameA((spaced + "\\Vexlo.dll").c_str(), shortPath, MAX_PATH);
    const std::string written = RegText(HKEY_CLASSES_ROOT, icon + "\\InprocServer32");
    EXPECT_STRCASEEQ(written.c_str(), shortPath);
    EXPECT_EQ(written.find(' '), std::string::npos) << written;
    Regsvr32("\"" + dll + "\"");
    DeleteFileA((spaced + "\\Vexlo.dll").c_str());
    RemoveDirectoryA(spaced.c_str());
}

TEST_F(ComClient, ClassObjectsAndUnloading) {
    auto getClass = harness::Proc<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    auto canUnload = harness::Proc<HRESULT(WINAPI*)()>("DllCanUnloadNow");
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClass(__uuidof(IShellFolder), __uuidof(IClassFactory), &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(getClass(kRunAs, __uuidof(IShellFolder), &object), E_NOINTERFACE);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClass(kIconManager, __uuidof(IClassFactory), reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);  // the client holds the factory
    IContextMenu* menu = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IContextMenu), reinterpret_cast<void**>(&menu)), S_OK);
    factory->Release();
    factory->Release();  // one too many: counts nothing
    EXPECT_EQ(canUnload(), S_FALSE);
    // Unbalanced callers never unload the library under a live object.
    ASSERT_EQ(getClass(kIconManager, __uuidof(IClassFactory), reinterpret_cast<void**>(&factory)), S_OK);
    factory->LockServer(FALSE);
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(canUnload(), S_FALSE);
    factory->LockServer(TRUE);
    menu->Release();
    EXPECT_EQ(canUnload(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(canUnload(), S_OK);
    // No verbs: asking for one fails rather than leaving the buffer as it was.
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IContextMenu), reinterpret_cast<void**>(&menu)), S_OK);
    char verb[16] = "#";
    EXPECT_EQ(menu->GetCommandString(0, GCS_VERBA, nullptr, verb, sizeof verb), E_NOTIMPL);
    EXPECT_EQ(menu->GetCommandString(0, GCS_VERBW, nullptr, verb, sizeof verb / 2), E_NOTIMPL);
    EXPECT_STREQ(verb, "#");
    menu->Release();
    EXPECT_EQ(canUnload(), S_OK);
    // Every COM export removes exactly its arguments.
    EXPECT_EQ(harness::CallStdcall("DllCanUnloadNow", {}).stackDelta, 0);
    EXPECT_EQ(harness::CallStdcall("DllGetClassObject", {0, 0, 0}).stackDelta, 0);
}

TEST_F(IconManager, OffersItsMenuOnlyWithTheMainProgramAndOneItem) {
    const std::wstring file = source_ + L"\\report.final.doc", other = source_ + L"\\other.txt";
    WriteFileW(file, "x");
    WriteFileW(other, "y");
    Extension ext(kIconManager);
    ASSERT_NE(ext.menu, nullptr);
    EXPECT_EQ(ext.init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(ext.Initialize({file, other}), E_FAIL);
    ASSERT_EQ(ext.Initialize({file}), S_OK);

    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 1, "Open");
    EXPECT_EQ(ext.menu->QueryContextMenu(menu, 0, kFirst, 0x7FFF, CMF_NORMAL), MAKE_HRESULT(0, 0, 0));
    EXPECT_EQ(GetMenuItemCount(menu), 1);

    StartMainProgram();
    ASSERT_EQ(ext.menu->QueryContextMenu(menu, 0, kFirst, 0x7FFF, CMF_NORMAL), MAKE_HRESULT(0, 0, 6));
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    EXPECT_EQ(ItemText(menu, 0), "Icon Manager");
    MENUITEMINFOA mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_STATE | MIIM_CHECKMARKS | MIIM_SUBMENU;
    ASSERT_TRUE(GetMenuItemInfoA(menu, 0, TRUE, &mi));
    EXPECT_TRUE(mi.fState & MFS_CHECKED);
    EXPECT_NE(mi.hbmpChecked, nullptr);
    HMENU popup = mi.hSubMenu;
    ASSERT_EQ(GetMenuItemCount(popup), 4);
    EXPECT_EQ(ItemText(popup, 0), "Create shortcut on");
    EXPECT_EQ(ItemText(popup, 1), "Copy to");
    EXPECT_EQ(GetMenuState(popup, 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(Wide(ItemText(popup, 3)), file);
    EXPECT_TRUE(GetMenuState(popup, 3, MF_BYPOSITION) & MF_GRAYED);
    const char* names[] = {"Main", "Work", "Games"};
    for (int group = 0; group < 2; ++group) {
        HMENU sub = GetSubMenu(popup, group);
        ASSERT_EQ(GetMenuItemCount(sub), 3);
        for (int p = 0; p < 3; ++p) {
            EXPECT_EQ(ItemText(sub, p), names[p]);
            EXPECT_EQ(GetMenuItemID(sub, p), kFirst + 3 * group + 2 - p) << names[p];
        }
    }
    DestroyMenu(menu);

    char help[64];
    EXPECT_EQ(ext.menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, help, sizeof help), S_OK);
    EXPECT_STREQ(help, "Manage Your icons on desktops");
    EXPECT_EQ(ext.menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, help, sizeof help), E_INVALIDARG);
    std::memset(help, '#', sizeof help);
    EXPECT_EQ(ext.menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, help, 8), S_OK);
    EXPECT_STREQ(help, "Manage ");
    EXPECT_EQ(help[8], '#');
    EXPECT_EQ(ext.Invoke(reinterpret_cast<UINT_PTR>("open")), E_FAIL);
    EXPECT_EQ(ext.Invoke(6), E_INVALIDARG);
}

TEST_F(IconManager, EveryOffsetMakesItsShortcutOrCopy) {
    const std::wstring file = source_ + L"\\report.final.doc";
    WriteFileW(file, "new");
    WriteFileW(profile_ + L"\\Work\\report.final.doc", "old");
    Extension ext(kIconManager);
    ASSERT_EQ(ext.Initialize({file}), S_OK);
    const std::wstring folders[] = {desktop_, profile_ + L"\\Work", profile_ + L"\\Games"};
    for (UINT_PTR offset = 0; offset < 6; ++offset) EXPECT_EQ(ext.Invoke(offset), S_OK) << offset;
    for (const auto& folder : folders) {
        EXPECT_TRUE(Exists(folder + L"\\report.final.lnk"));
        EXPECT_EQ(ReadFileW(folder + L"\\report.final.doc"), "new");  // a single file replaces
    }
    DeleteFileW((desktop_ + L"\\report.final.lnk").c_str());
    DeleteFileW((desktop_ + L"\\report.final.doc").c_str());

    // The shortcut, read back through the shell link object.
    IShellLinkW* link = nullptr;
    ASSERT_EQ(CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW),
                               reinterpret_cast<void**>(&link)),
              S_OK);
    IPersistFile* persist = nullptr;
    link->QueryInterface(__uuidof(IPersistFile), reinterpret_cast<void**>(&persist));
    ASSERT_EQ(persist->Load((profile_ + L"\\Work\\report.final.lnk").c_str(), STGM_READ), S_OK);
    wchar_t text[MAX_PATH] = {};
    link->GetPath(text, MAX_PATH, nullptr, 0);
    EXPECT_STREQ(text, file.c_str());
    link->GetWorkingDirectory(text, MAX_PATH);
    EXPECT_STREQ(text, source_.c_str());
    link->GetDescription(text, MAX_PATH);
    EXPECT_STREQ(text, L"report.final");
    int index = -1;
    link->GetIconLocation(text, MAX_PATH, &index);
    EXPECT_STREQ(text, file.c_str());
    EXPECT_EQ(index, 0);
    persist->Release();
    link->Release();
}

TEST_F(IconManager, FolderTreesMergeAndNamesOutsideTheCodePageSurvive) {
    // "Фото" with "日本.txt" inside, and a file "Отчёт.txt": no Western code page spells them.
    const std::wstring photos = source_ + L"\\\x0424\x043E\x0442\x043E";
    const std::wstring japanese = L"\\\x65E5\x672C.txt";
    const std::wstring report = source_ + L"\\\x041E\x0442\x0447\x0451\x0442.txt";
    CreateDirectoryW(photos.c_str(), nullptr);
    CreateDirectoryW((photos + L"\\sub").c_str(), nullptr);
    WriteFileW(photos + japanese, "jp");
    WriteFileW(photos + L"\\sub\\deep.txt", "deep");
    WriteFileW(photos + L"\\kept.txt", "source");
    WriteFileW(report, "r");
    const std::wstring target = profile_ + L"\\Work\\\x0424\x043E\x0442\x043E";
    CreateDirectoryW(target.c_str(), nullptr);
    WriteFileW(target + L"\\kept.txt", "target");

    Extension tree(kIconManager);
    ASSERT_EQ(tree.Initialize({photos}), S_OK);
    EXPECT_EQ(tree.Invoke(4), S_OK);  // "Copy to" Work
    EXPECT_EQ(ReadFileW(target + japanese), "jp");
    EXPECT_EQ(ReadFileW(target + L"\\sub\\deep.txt"), "deep");
    EXPECT_EQ(ReadFileW(target + L"\\kept.txt"), "target");  // files in a tree never replace
    EXPECT_EQ(tree.Invoke(0), S_OK);                          // "Create shortcut on" Games
    EXPECT_TRUE(Exists(profile_ + L"\\Games\\\x0424\x043E\x0442\x043E.lnk"));

    Extension file(kIconManager);
    ASSERT_EQ(file.Initialize({report}), S_OK);
    EXPECT_EQ(file.Invoke(0), S_OK);
    EXPECT_TRUE(Exists(profile_ + L"\\Games\\\x041E\x0442\x0447\x0451\x0442.lnk"));
    EXPECT_EQ(file.Invoke(3), S_OK);  // "Copy to" Games
    EXPECT_EQ(ReadFileW(profile_ + L"\\Games\\\x041E\x0442\x0447\x0451\x0442.txt"), "r");
}

}  // namespace

namespace {

// The count and the records come from the user's own registry, which anyone may have
// damaged: a count in the billions and a record of megabytes leave the menu as it was,
// read through a bounded list and the start of each record only.
std::size_t g_largestRead = 0;
LONG WINAPI RecordValueRead(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (data && size) g_largestRead = std::max<std::size_t>(g_largestRead, *size);
    return RegQueryValueExA(key, name, reserved, type, data, size);
}

TEST_F(IconManager, HugeCountsAndRecordsAreReadWithinBounds) {
    const std::string key = "Software\\Brindlecote\\Quillmere\\ShellTest\\Desktops";
    HKEY desktops = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_ALL_ACCESS, &desktops), ERROR_SUCCESS);
    char stored[8192] = {};
    DWORD size = sizeof stored;
    ASSERT_EQ(RegQueryValueExA(desktops, "Desktop1", nullptr, nullptr, reinterpret_cast<BYTE*>(stored), &size),
              ERROR_SUCCESS);
    const std::string work(stored);
    std::string huge = work + std::string(8 << 20, 'A');
    ASSERT_EQ(RegSetValueExA(desktops, "Desktop1", 0, REG_SZ, reinterpret_cast<const BYTE*>(huge.c_str()),
                             static_cast<DWORD>(huge.size() + 1)),
              ERROR_SUCCESS);
    std::string().swap(huge);
    const DWORD count = 0x7FFFFFFF;
    RegSetValueExA(desktops, "DesktopsCount", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);

    const std::wstring file = source_ + L"\\a.txt";
    WriteFileW(file, "x");
    StartMainProgram();
    Extension ext(kIconManager);
    ASSERT_EQ(ext.Initialize({file}), S_OK);
    HMENU menu = CreatePopupMenu();
    {
        harness::ImportHook hook("advapi32.dll", "RegQueryValueExA", reinterpret_cast<void*>(&RecordValueRead));
        // Returns at all: before the bound, Explorer's thread read two billion records.
        EXPECT_EQ(ext.menu->QueryContextMenu(menu, 0, kFirst, 0x7FFF, CMF_NORMAL), MAKE_HRESULT(0, 0, 6));
    }
    MENUITEMINFOA mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_SUBMENU;
    ASSERT_TRUE(GetMenuItemInfoA(menu, 0, TRUE, &mi));
    EXPECT_EQ(ItemText(GetSubMenu(mi.hSubMenu, 0), 1), "Work");  // the huge record's start still reads
    EXPECT_LT(g_largestRead, 64u << 10);  // no whole record of megabytes read
    DestroyMenu(menu);

    RegSetValueExA(desktops, "Desktop1", 0, REG_SZ, reinterpret_cast<const BYTE*>(work.c_str()),
                   static_cast<DWORD>(work.size() + 1));
    RegCloseKey(desktops);
}

// "Copy to" with a folder that links to itself (made on the Unix side of the prefix by
// the test's fixture: Wine makes no link of its own), and a tree deeper than the copy goes.
TEST_F(IconManager, CopyToSkipsLinksAndStopsAtItsBounds) {
    const std::wstring tree = L"C:\\vexlo_link_tree\\loops";
    const DWORD link = GetFileAttributesW((tree + L"\\self").c_str());
    ASSERT_NE(link, INVALID_FILE_ATTRIBUTES) << "the fixture made no link";
    ASSERT_TRUE(link & FILE_ATTRIBUTE_REPARSE_POINT);
    StartMainProgram();
    Extension loops(kIconManager);
    ASSERT_EQ(loops.Initialize({tree}), S_OK);
    EXPECT_EQ(loops.Invoke(4), S_OK);  // "Copy to" Work
    const std::wstring copy = profile_ + L"\\Work\\loops";
    EXPECT_EQ(ReadFileW(copy + L"\\file.txt"), "top");
    EXPECT_EQ(ReadFileW(copy + L"\\sub\\deep.txt"), "deep");
    EXPECT_FALSE(Exists(copy + L"\\self"));  // a link is not copied as its target's contents
    EXPECT_FALSE(Exists(copy + L"\\parent"));

    // 66 levels: the copy stops at 64 and says so.
    std::wstring deep = source_ + L"\\deep";
    CreateDirectoryW(deep.c_str(), nullptr);
    for (int level = 0; level < 66; ++level) CreateDirectoryW((deep += L"\\d").c_str(), nullptr);
    Extension deepTree(kIconManager);
    ASSERT_EQ(deepTree.Initialize({source_ + L"\\deep"}), S_OK);
    harness::MessageBoxSeen seen;
    const DWORD ui = GetCurrentThreadId();
    std::thread answer([&] { seen = harness::AnswerMessageBox(ui, 10000); });
    EXPECT_EQ(deepTree.Invoke(4), S_OK);
    answer.join();
    EXPECT_TRUE(seen.shown);
    EXPECT_NE(seen.text.find("64 levels"), std::string::npos) << seen.text;
    std::wstring reached = profile_ + L"\\Work\\deep";
    for (int level = 0; level < 64; ++level) reached += L"\\d";
    EXPECT_TRUE(Exists(reached));
    EXPECT_FALSE(Exists(reached + L"\\d"));
}

}  // namespace

namespace {

// Both DLLs registered by the regsvr32 of their own bitness, each in its own registry view;
// a 64-bit client (the 64-bit reference host, building a file's menu as Explorer does)
// creates the extensions; unregistering one DLL leaves the other's menu working.
std::string ServerIn(REGSAM view) {
    HKEY key = nullptr;
    const std::string path = std::string("CLSID\\") + kIconText + "\\InprocServer32";
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return "(missing)";
    char data[MAX_PATH] = {};
    DWORD size = sizeof data;
    RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return data;
}

TEST_F(IconManager, BothBitnessesRegisterInTheirOwnViewsAndStandAlone) {
    const std::string dll32 = harness::ExeDir() + "Vexlo.dll", dll64 = harness::Win64Bin() + "Vexlo64.dll";
    ASSERT_NE(GetFileAttributesA(dll64.c_str()), INVALID_FILE_ATTRIBUTES) << dll64;
    // From a 32-bit process, system32 is the 32-bit folder; sysnative is the 64-bit one.
    const std::string regsvr32 = "C:\\windows\\syswow64\\regsvr32.exe", regsvr64 = "C:\\windows\\sysnative\\regsvr32.exe";
    const auto run = RunToEnd;
    ASSERT_EQ(run(regsvr32 + " /s \"" + dll32 + "\""), 0);
    ASSERT_EQ(run(regsvr64 + " /s \"" + dll64 + "\""), 0);
    EXPECT_NE(ServerIn(KEY_WOW64_32KEY).find("Vexlo.dll"), std::string::npos) << ServerIn(KEY_WOW64_32KEY);
    EXPECT_NE(ServerIn(KEY_WOW64_64KEY).find("Vexlo64.dll"), std::string::npos) << ServerIn(KEY_WOW64_64KEY);

    const std::wstring file = source_ + L"\\both.txt";
    WriteFileW(file, "x");
    StartMainProgram();
    char narrow[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, file.c_str(), -1, narrow, MAX_PATH, nullptr, nullptr);
    const std::string client = "\"" + harness::Win64Bin() + "VexloHost64.exe\" shell menu ";
    const auto menu = [&](const char* which) { return harness::RunProgramOutput(client + which + " \"" + narrow + "\""); };
    std::string icons = menu("icons");
    EXPECT_NE(icons.find("CoCreateInstance returned 0x00000000"), std::string::npos) << icons;
    EXPECT_NE(icons.find("Icon Manager"), std::string::npos) << icons;
    const std::string runas = menu("runas");
    EXPECT_NE(runas.find("CoCreateInstance returned 0x00000000"), std::string::npos) << runas;

    ASSERT_EQ(run(regsvr32 + " /u /s \"" + dll32 + "\""), 0);
    EXPECT_EQ(ServerIn(KEY_WOW64_32KEY), "(missing)");
    icons = menu("icons");
    EXPECT_NE(icons.find("Icon Manager"), std::string::npos) << icons;  // the 64-bit one still works

    ASSERT_EQ(run(regsvr64 + " /u /s \"" + dll64 + "\""), 0);
    EXPECT_EQ(ServerIn(KEY_WOW64_64KEY), "(missing)");
    EXPECT_FALSE(KeyExists("*\\shellex\\ContextMenuHandlers\\Icon Manager"));
}

}  // namespace
