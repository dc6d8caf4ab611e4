// Windows 11's first-level commands, as its Explorer meets them: the stand-in client
// (menu_client.cpp, both bitnesses) reads the generated manifest, creates each verb's
// class and walks its commands; what it shows must be what the classic menus show for
// the same settings and selection, and invoking a command must do what the classic item does.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#undef _WIN32_IE
#define _WIN32_IE 0x0700
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <functional>
#include <string>
#include <vector>

#include "harness.h"
#include "shared/blocks.h"
#include "shared/module.h"
#include "shared/startup.h"
#include "shell/explorer_hooks.h"

namespace {

const CLSID kIconManagerCommand = {0x73FC55AB, 0x3485, 0x44DD, {0x89, 0x3A, 0xB7, 0xB7, 0xFC, 0x0C, 0xE2, 0xC5}};
const CLSID kDesktopCommand = {0x3A216979, 0xF737, 0x4432, {0xAE, 0x94, 0x5C, 0x5A, 0x0A, 0x98, 0x8A, 0x10}};
const CLSID kClassicIconManager = {0x5603452E, 0x350E, 0x4CF8, {0x96, 0x8D, 0x03, 0xDE, 0xEE, 0x98, 0xBE, 0x04}};

std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    out.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                            static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}
std::string Narrow(const std::wstring& text) {
    char out[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out, sizeof out, nullptr, nullptr);
    return out;
}
std::string Quoted(const std::wstring& path) { return "\"" + Narrow(path) + "\""; }

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    return path;
}
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
void WriteText(const std::wstring& path, const char* text) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(f);
}
void RemoveTree(const std::wstring& path) {
    std::wstring from = path + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    SHFileOperationW(&op);
}

// One classic menu item and everything below it, in the stand-in's format: the text, then
// "[icon]" for the menu bitmap (a checked item with a checked-state bitmap), "[checked]"
// for a plain tick, "[disabled]"; "-" for a separator; two blanks per level.
void Describe(HMENU menu, int pos, int depth, std::string& out) {
    wchar_t text[1024] = {};
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_CHECKMARKS | MIIM_STRING;
    mi.dwTypeData = text;
    mi.cch = 1024;
    ASSERT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(pos), TRUE, &mi));
    out += std::string(static_cast<std::size_t>(depth) * 2, ' ');
    if (mi.fType & MFT_SEPARATOR) {
        out += "-\n";
        return;
    }
    const bool checked = mi.fState & MFS_CHECKED;
    out += Utf8(text) + (checked && mi.hbmpChecked ? " [icon]" : "") + (checked && !mi.hbmpChecked ? " [checked]" : "") +
           (mi.fState & MFS_DISABLED ? " [disabled]" : "") + "\n";
    if (mi.hSubMenu)
        for (int i = 0; i < GetMenuItemCount(mi.hSubMenu); ++i) Describe(mi.hSubMenu, i, depth + 1, out);
}

// The stand-in for Windows 11's Explorer, of either bitness, on the generated manifest.
struct ClientRun {
    std::string menu;  // the lines it showed
    std::string all;
};
ClientRun Client(bool win64, const std::string& args) {
    const std::string bin = win64 ? harness::Win64Bin() : harness::ExeDir();
    std::string manifest = VEXLO_PACKAGE_DIR "/AppxManifest.xml";
    if (manifest[0] == '/') manifest = "Z:" + manifest;
    for (char& c : manifest)
        if (c == '/') c = '\\';
    ClientRun run;
    run.all = harness::RunProgramOutput("\"" + bin + "vexlo_menu_client.exe\" \"" + manifest + "\" \"" + bin +
                                        (win64 ? "Vexlo64.dll" : "Vexlo.dll") + "\" " + args);
    std::size_t start = 0;
    while (start < run.all.size()) {
        const std::size_t end = run.all.find('\n', start);
        std::string line = run.all.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("manifest:", 0) != 0 && line.rfind("unload:", 0) != 0 && line.rfind("invoke ", 0) != 0)
            run.menu += line + "\n";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return run;
}

class ExplorerCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(harness::Vexlo(), nullptr);
        CoInitialize(nullptr);
        // This program's own copy of the desktop menu's code reads the blocks too, and
        // takes the menu bitmap from the library's resources.
        ASSERT_TRUE(vexlo::startup::Attach());
        vexlo::module::SetInstance(harness::Vexlo());
        Seed("1:Main 1001:Work:Work 1002:Hidden:Hidden:noicon 1003:Off:Off:disabled 1004:Games:Games");
        profile_ = ShellFolder(CSIDL_APPDATA) + L"\\Brindlecote\\Quillmere\\Win11";
        for (const wchar_t* folder : {L"\\Work", L"\\Games"}) {
            RemoveTree(profile_ + folder);
            CreateDirectoryW((profile_ + folder).c_str(), nullptr);
        }
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        source_ = std::wstring(temp) + L"vexlo_win11";
        RemoveTree(source_);
        CreateDirectoryW(source_.c_str(), nullptr);
        file_ = source_ + L"\\notes.txt";
        WriteText(file_, "notes");
        folder_ = source_ + L"\\Photos";
        CreateDirectoryW(folder_.c_str(), nullptr);
        WriteText(folder_ + L"\\a.txt", "a");
    }
    void TearDown() override {
        SetMainWindow(nullptr);
        if (tray_) DestroyWindow(tray_);
        RemoveTree(source_);
        vexlo::startup::Detach();
        CoUninitialize();
    }
    void Seed(const std::string& desktops) {
        const std::string seeded = harness::RunHostOutput("seed Win11 pw " + desktops);
        ASSERT_NE(seeded.find("desktop(s)"), std::string::npos) << seeded;
    }
    void StartTray() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VexloTrayIconWnd";
        RegisterClassA(&wc);
        tray_ = CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    }
    static void SetMainWindow(HWND wnd) {
        const auto value = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(wnd));
        CopyMemory(vexlo::ContextBlock(), &value, sizeof value);
    }

    // What the classic Icon Manager adds for these items, through the library's own class.
    std::string ClassicIconManager(const std::vector<std::wstring>& paths) {
        using GetClassFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
        IClassFactory* factory = nullptr;
        harness::Proc<GetClassFn>("DllGetClassObject")(kClassicIconManager, __uuidof(IClassFactory),
                                                          reinterpret_cast<void**>(&factory));
        IShellExtInit* init = nullptr;
        IContextMenu* menu = nullptr;
        factory->CreateInstance(nullptr, __uuidof(IShellExtInit), reinterpret_cast<void**>(&init));
        factory->Release();
        init->QueryInterface(__uuidof(IContextMenu), reinterpret_cast<void**>(&menu));
        IDataObject* data = harness::ShellDataObject(paths);
        std::string out;
        if (init->Initialize(nullptr, data, nullptr) == S_OK) {
            HMENU popup = CreatePopupMenu();
            AppendMenuA(popup, MF_STRING, 1, "Open");
            if (HRESULT_CODE(menu->QueryContextMenu(popup, 0, 100, 0x7FFF, CMF_NORMAL)) > 0) Describe(popup, 0, 0, out);
            DestroyMenu(popup);
        }
        data->Release();
        menu->Release();
        init->Release();
        return out.empty() ? "(hidden)\n" : out;
    }
    // What the desktop menu hook appends, built by the hook's own code, under the one
    // first-level command that Windows 11 shows for it.
    static std::string ClassicDesktopMenu() {
        HMENU popup = CreatePopupMenu();
        vexlo::shell::AppendDesktopMenu(popup);
        std::string out = "Quillmere [icon]\n";
        EXPECT_EQ(GetMenuState(popup, 0, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
        for (int i = 1; i < GetMenuItemCount(popup); ++i) Describe(popup, i, 1, out);
        DestroyMenu(popup);
        return out;
    }

    std::wstring profile_, source_, file_, folder_;
    HWND tray_ = nullptr;
};

TEST_F(ExplorerCommand, ManifestDeclaresEveryVerbAndBothLibrariesServeIt) {
    for (const bool win64 : {false, true}) {
        const std::string out = Client(win64, "--check").all;
        for (const char* line :
             {"manifest: well-formed", "device family Windows.Desktop from 10.0.22000.0", "application mediumIL win32App",
              "class 73FC55AB-3485-44DD-893A-B7B7FC0CE2C5 Vexlo64.dll STA: served",
              "class 3A216979-F737-4432-AE94-5C5A0A988A10 Vexlo64.dll STA: served",
              "verb * IconManager 73FC55AB-3485-44DD-893A-B7B7FC0CE2C5: declared",
              "verb Directory IconManager 73FC55AB-3485-44DD-893A-B7B7FC0CE2C5: declared",
              "verb Directory\\Background DesktopCommands 3A216979-F737-4432-AE94-5C5A0A988A10: declared",
              "unload: allowed"})
            EXPECT_NE(out.find(line), std::string::npos) << line << " (64-bit: " << win64 << ")\n" << out;
        EXPECT_EQ(out.find("not "), std::string::npos) << out;
        EXPECT_EQ(out.find("FAIL"), std::string::npos) << out;
    }
    // The package declares these classes; DllRegisterServer leaves the registry to the
    // classic ones.
    const char* const packaged = "CLSID\\{73FC55AB-3485-44DD-893A-B7B7FC0CE2C5}";
    RegDeleteTreeA(HKEY_CLASSES_ROOT, packaged);
    ASSERT_EQ(harness::Proc<HRESULT(WINAPI*)()>("DllRegisterServer")(), S_OK);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_CLASSES_ROOT, packaged, 0, KEY_READ, &key),
              ERROR_SUCCESS);
    if (key) RegCloseKey(key);
}

TEST_F(ExplorerCommand, IconManagerShowsWhatTheClassicMenuShows) {
    const std::string file = Quoted(file_), folder = Quoted(folder_);
    const auto expectSame = [&](const std::string& classic, const std::string& args) {
        for (const bool win64 : {false, true}) {
            const ClientRun run = Client(win64, args);
            EXPECT_EQ(run.menu, classic) << args << " (64-bit: " << win64 << ")\n" << run.all;
        }
    };
    // No main program: neither menu offers it.
    expectSame(ClassicIconManager({file_}), "* " + file);
    EXPECT_EQ(ClassicIconManager({file_}), "(hidden)\n");

    StartTray();
    const std::string classicFile = ClassicIconManager({file_});
    EXPECT_NE(classicFile.find("    Games\n"), std::string::npos) << classicFile;
    expectSame(classicFile, "* " + file);
    expectSame(ClassicIconManager({folder_}), "Directory " + folder);
    // Several items: the classic extension refuses them, the command hides.
    const std::wstring other = source_ + L"\\other.txt";
    WriteText(other, "other");
    expectSame(ClassicIconManager({file_, other}), "* " + file + " " + Quoted(other));

    // The same commands do the same work: the classic menu's own code carries them out.
    ClientRun run = Client(true, "* --invoke \"Icon Manager/Copy to/Work\" " + file);
    EXPECT_NE(run.all.find("invoke Work: 0x00000000"), std::string::npos) << run.all;
    EXPECT_TRUE(Exists(profile_ + L"\\Work\\notes.txt"));
    run = Client(false, "* --invoke \"Icon Manager/Create shortcut on/Games\" " + file);
    EXPECT_NE(run.all.find("invoke Games: 0x00000000"), std::string::npos) << run.all;
    EXPECT_TRUE(Exists(profile_ + L"\\Games\\notes.lnk"));
    run = Client(true, "Directory --invoke \"Icon Manager/Copy to/Games\" " + folder);
    EXPECT_TRUE(Exists(profile_ + L"\\Games\\Photos\\a.txt")) << run.all;
    // The path line shows the item and does nothing.
    run = Client(true, "* --invoke \"Icon Manager/" + Narrow(file_) + "\" " + file);
    EXPECT_NE(run.all.find(": 0x80070005"), std::string::npos) << run.all;

    // No desktop may receive items: nothing in either menu.
    Seed("1:Main:Main:noicon 1003:Off:Off:disabled");
    expectSame(ClassicIconManager({file_}), "* " + file);
    EXPECT_EQ(ClassicIconManager({file_}), "(hidden)\n");
}

TEST_F(ExplorerCommand, DesktopCommandsShowWhatTheDesktopMenuShows) {
    const std::string desktop = Quoted(ShellFolder(CSIDL_DESKTOPDIRECTORY));
    // The main program does not run: nothing to send a command to.
    EXPECT_EQ(Client(true, "Directory\\Background " + desktop).menu, "(hidden)\n");

    harness::Recorder mainProgram;
    SetMainWindow(mainProgram.hwnd());
    const std::string classic = ClassicDesktopMenu();
    EXPECT_NE(classic.find("    Main [checked] [disabled]\n    Work\n"), std::string::npos) << classic;
    for (const bool win64 : {false, true})
        for (const std::string& items : {desktop, std::string()}) {
            const ClientRun run = Client(win64, "Directory\\Background " + items);
            EXPECT_EQ(run.menu, classic) << items << " (64-bit: " << win64 << ")\n" << run.all;
        }
    // Another folder's background is not the desktop's.
    EXPECT_EQ(Client(true, "Directory\\Background " + Quoted(source_)).menu, "(hidden)\n");

    // Invoking posts what the desktop menu posts: 1000 + the settings index, or 999.
    ClientRun run = Client(true, "Directory\\Background --invoke \"Quillmere/Switch desktop/Games\" " + desktop);
    EXPECT_NE(run.all.find("invoke Games: 0x00000000"), std::string::npos) << run.all;
    run = Client(false, "Directory\\Background --invoke \"Quillmere/Quillmere Settings\" " + desktop);
    // The current desktop cannot be chosen, as in the classic submenu.
    run = Client(true, "Directory\\Background --invoke \"Quillmere/Switch desktop/Main\" " + desktop);
    EXPECT_NE(run.all.find("invoke Main: 0x80070005"), std::string::npos) << run.all;
    harness::Pump(300);
    std::vector<WPARAM> posted;
    for (const auto& m : mainProgram.Messages())
        if (m.msg == WM_USER + 5) posted.push_back(m.wp);
    EXPECT_EQ(posted, (std::vector<WPARAM>{1004, 999}));
}

// An item array as Explorer may hand one over: empty, or one item with a long path.
class Items final : public IShellItemArray, public IShellItem {
public:
    explicit Items(std::wstring path, DWORD count) : path_(std::move(path)), count_(count) {}
    STDMETHODIMP QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP BindToHandler(IBindCtx*, REFGUID, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetPropertyStore(GETPROPERTYSTOREFLAGS, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetPropertyDescriptionList(REFPROPERTYKEY, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetAttributes(SIATTRIBFLAGS, SFGAOF, SFGAOF*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCount(DWORD* count) override {
        *count = count_;
        return S_OK;
    }
    STDMETHODIMP GetItemAt(DWORD index, IShellItem** item) override {
        if (index >= count_) return E_INVALIDARG;
        *item = this;
        return S_OK;
    }
    STDMETHODIMP EnumItems(IEnumShellItems**) override { return E_NOTIMPL; }
    // IShellItem (BindToHandler above serves both)
    STDMETHODIMP GetParent(IShellItem**) override { return E_NOTIMPL; }
    STDMETHODIMP GetDisplayName(SIGDN, LPWSTR* name) override {
        const std::size_t bytes = (path_.size() + 1) * sizeof(wchar_t);
        *name = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        CopyMemory(*name, path_.c_str(), bytes);
        return S_OK;
    }
    STDMETHODIMP GetAttributes(SFGAOF, SFGAOF*) override { return E_NOTIMPL; }
    STDMETHODIMP Compare(IShellItem*, SICHINTF, int*) override { return E_NOTIMPL; }

private:
    std::wstring path_;
    DWORD count_;
};

TEST_F(ExplorerCommand, EveryMethodSurvivesNullEmptyAndLongItems) {
    // One target, in the profile: invoking with a path that does not exist makes at most
    // a dangling shortcut there.
    Seed("1:Main:Main:noicon 1001:Work:Work");
    StartTray();
    harness::Recorder mainProgram;
    SetMainWindow(mainProgram.hwnd());
    Items empty(L"", 0);
    Items longPath(L"C:\\" + std::wstring(300, L'x'), 1);
    using GetClassFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    for (const CLSID* clsid : {&kIconManagerCommand, &kDesktopCommand}) {
        IClassFactory* factory = nullptr;
        ASSERT_EQ(harness::Proc<GetClassFn>("DllGetClassObject")(*clsid, __uuidof(IClassFactory),
                                                                   reinterpret_cast<void**>(&factory)),
                  S_OK);
        IExplorerCommand* root = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IExplorerCommand), reinterpret_cast<void**>(&root)), S_OK);
        factory->Release();
        // Walks a command and everything below it with every item array, and with null
        // out-parameters.
        const std::function<void(IExplorerCommand*)> walk = [&](IExplorerCommand* command) {
            for (IShellItemArray* items : {static_cast<IShellItemArray*>(nullptr), static_cast<IShellItemArray*>(&empty),
                                           static_cast<IShellItemArray*>(&longPath)}) {
                EXPCMDSTATE state = 0;
                EXPECT_EQ(command->GetState(items, FALSE, &state), S_OK);
                EXPECT_EQ(command->GetState(items, TRUE, nullptr), E_POINTER);
                LPWSTR text = nullptr;
                for (auto method : {&IExplorerCommand::GetTitle, &IExplorerCommand::GetIcon, &IExplorerCommand::GetToolTip}) {
                    if (SUCCEEDED((command->*method)(items, &text))) {
                        EXPECT_NE(text, nullptr);
                        CoTaskMemFree(text);
                    }
                    text = nullptr;
                    EXPECT_TRUE(FAILED((command->*method)(items, nullptr)));
                }
                command->Invoke(items, nullptr);
            }
            GUID name;
            command->GetCanonicalName(&name);
            EXPECT_EQ(command->GetCanonicalName(nullptr), E_POINTER);
            EXPECT_EQ(command->GetFlags(nullptr), E_POINTER);
            EXPCMDFLAGS flags = 0;
            ASSERT_EQ(command->GetFlags(&flags), S_OK);
            if (!(flags & ECF_HASSUBCOMMANDS)) return;
            EXPECT_EQ(command->EnumSubCommands(nullptr), E_POINTER);
            IEnumExplorerCommand* list = nullptr;
            ASSERT_EQ(command->EnumSubCommands(&list), S_OK);
            IExplorerCommand* subs[8] = {};
            EXPECT_EQ(list->Next(2, subs, nullptr), E_INVALIDARG);  // a count of more than one needs its answer
            ULONG fetched = 0;
            list->Next(8, subs, &fetched);
            list->Release();
            for (ULONG i = 0; i < fetched; ++i) {
                walk(subs[i]);
                subs[i]->Release();
            }
        };
        walk(root);
        GUID name{};
        EXPECT_EQ(root->GetCanonicalName(&name), S_OK);
        EXPECT_TRUE(IsEqualGUID(name, *clsid));
        root->Release();
    }
    EXPECT_EQ(harness::Proc<HRESULT(WINAPI*)()>("DllCanUnloadNow")(), S_OK);
}

}  // namespace
