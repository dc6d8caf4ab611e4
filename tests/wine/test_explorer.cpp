// The desktop hooks in real processes: the reference host plays Explorer (a "Progman"
// window holding a real list view, pumping its messages) and, for seeding, the main
// program; this program calls the exports and sends the requests as the main program does.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "host/explorer.h"
#include "include/Vexlo.h"

namespace {

using vexlo::host::StandInCommand;

std::string Temp(const char* leaf) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + leaf;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The host of the given path (the 32-bit one next to the tests by default).
HANDLE StartHost(const std::string& args, const std::string& exe = harness::ExeDir() + "VexloHost.exe") {
    std::string cmd = "\"" + exe + "\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError =
        CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    PROCESS_INFORMATION pi{};
    const BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr,
                                   &si, &pi);
    CloseHandle(si.hStdOutput);
    if (!ok) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

void RunHost(const std::string& args) {
    HANDLE p = StartHost(args);
    ASSERT_TRUE(p);
    WaitForSingleObject(p, 30000);
    CloseHandle(p);
}

void WriteBlock(const char* name, std::size_t offset, const void* bytes, std::size_t size) {
    HANDLE map = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    ASSERT_TRUE(map) << name;
    void* view = MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0);
    std::memcpy(static_cast<char*>(view) + offset, bytes, size);
    UnmapViewOfFile(view);
    CloseHandle(map);
}

// The names the main program puts into "KeyVexloProfile" before a request.
void NameLayout(const std::string& profile, const std::string& layout) {
    const std::vector<BYTE> p = harness::Short(profile), l = harness::Short(layout);
    WriteBlock("KeyVexloProfile", 0, p.data(), 256);
    WriteBlock("KeyVexloProfile", 256, l.data(), 256);
}

std::string ProfileFolder(const std::string& profile) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    const std::string folder = std::string(path) + "\\Brindlecote\\Quillmere\\" + profile;
    SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
    return folder;
}

struct Icon {
    std::string caption;
    int x, y;
    bool operator==(const Icon& o) const { return caption == o.caption && x == o.x && y == o.y; }
};
std::ostream& operator<<(std::ostream& os, const Icon& i) { return os << i.caption << "@" << i.x << "," << i.y; }

// The stand-in Explorer, driven by WM_COPYDATA; closed with the test.
class StandIn {
public:
    explicit StandIn(int icons = 0, const std::string& host = harness::ExeDir() + "VexloHost.exe",
                     const std::string& shape = "classic") {
        process_ = StartHost("explorer " + std::to_string(icons) + " " + shape, host);
        harness::WaitUntil([&] { return (progman_ = FindWindowA("Progman", "Program Manager")) != nullptr; }, 15000);
    }
    ~StandIn() {
        if (progman_) PostMessageA(progman_, WM_CLOSE, 0, 0);
        if (process_ && WaitForSingleObject(process_, 10000) == WAIT_TIMEOUT) TerminateProcess(process_, 1);
        if (process_) CloseHandle(process_);
    }
    HWND progman() const { return progman_; }
    HANDLE process() const { return process_; }
    HWND list() const { return vexlo::host::FindStandInListView(); }
    LRESULT Command(StandInCommand c, const std::string& data = "") const {
        COPYDATASTRUCT cd{c, static_cast<DWORD>(data.size()), const_cast<char*>(data.data())};
        DWORD_PTR r = 0;
        SendMessageTimeoutA(progman_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cd), SMTO_NORMAL, 10000, &r);
        return static_cast<LRESULT>(r);
    }
    void Set(const std::vector<Icon>& icons) const {
        std::string lines;
        for (const Icon& i : icons) lines += i.caption + "\t" + std::to_string(i.x) + "\t" + std::to_string(i.y) + "\n";
        Command(vexlo::host::kSetItems, lines);
    }
    std::vector<Icon> Icons() const {
        const std::string path = Temp("vexlo_icons.txt");
        Command(vexlo::host::kReportItems, path);
        std::vector<Icon> icons;
        std::istringstream in(ReadFile(path));
        std::string line;
        while (std::getline(in, line)) {
            const std::size_t a = line.find('\t'), b = line.find('\t', a + 1);
            icons.push_back({line.substr(0, a), std::atoi(line.c_str() + a + 1), std::atoi(line.c_str() + b + 1)});
        }
        return icons;
    }
    // Sent, as the main program must: the hook sees only sent messages.
    void Request(WPARAM what, HWND to = nullptr) const {
        DWORD_PTR r = 0;
        SendMessageTimeoutA(to ? to : list(), RegisterWindowMessageA(VEXLO_ICON_REQUEST_NAME), what, 0, SMTO_NORMAL,
                            20000, &r);
    }

private:
    HANDLE process_ = nullptr;
    HWND progman_ = nullptr;
};

// Windows of Explorer's classes in a process of anybody's (host/explorer.h, CmdDecoy).
class Decoy {
public:
    Decoy() {
        process_ = StartHost("decoy");
        harness::WaitUntil([&] { return (progman_ = FindWindowA("Progman", "Decoy")) != nullptr; }, 15000);
    }
    ~Decoy() {
        if (progman_) PostMessageA(progman_, WM_CLOSE, 0, 0);
        if (process_ && WaitForSingleObject(process_, 10000) == WAIT_TIMEOUT) TerminateProcess(process_, 1);
        if (process_) CloseHandle(process_);
    }
    bool Ready() const { return progman_ != nullptr; }
    // Every list view of the decoy is asked for a save, as the main program asks Explorer's;
    // then whether the library reached the decoy.
    bool LibraryCameAfterRequests() const {
        for (HWND top : {progman_, FindWindowExA(nullptr, nullptr, "WorkerW", nullptr)}) {
            HWND view = FindWindowExA(top, nullptr, "SHELLDLL_DefView", nullptr);
            HWND list = view ? FindWindowExA(view, nullptr, "SysListView32", nullptr) : nullptr;
            DWORD_PTR r = 0;
            if (list)
                SendMessageTimeoutA(list, RegisterWindowMessageA(VEXLO_ICON_REQUEST_NAME), VEXLO_ICONS_SAVE, 0,
                                    SMTO_NORMAL, 5000, &r);
            SendMessageTimeoutA(top, WM_INITMENU, 0, 0, SMTO_NORMAL, 5000, &r);
        }
        DWORD_PTR loaded = 0;
        SendMessageTimeoutA(progman_, vexlo::host::kDecoyHasLibrary, 0, 0, SMTO_NORMAL, 5000, &loaded);
        return loaded != 0;
    }

private:
    HANDLE process_ = nullptr;
    HWND progman_ = nullptr;
};

HHOOK HookExplorer(DWORD install) { return harness::Proc<VexloHookExplorerFn>("HookExplorer")(install); }
int HookContext(DWORD install) { return harness::Proc<VexloHookContextFn>("HookContext")(install) & 0xFF; }

std::string Saved(const std::vector<Icon>& icons, const char* section) {
    std::string text = std::string("[") + section + "]\r\nItems=" + std::to_string(icons.size()) + "\r\n";
    for (std::size_t n = 0; n < icons.size(); ++n) {
        const std::string i = std::to_string(n);
        text += "ItemCaption" + i + "=" + icons[n].caption + "\r\nItemX" + i + "=" + std::to_string(icons[n].x) +
                "\r\nItemY" + i + "=" + std::to_string(icons[n].y) + "\r\n";
    }
    return text;
}

class ExplorerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(harness::Vexlo());
        // The library publishes the registry's profile wherever it loads, Explorer included.
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Brindlecote\\Quillmere", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "Profile", 0, REG_SZ, reinterpret_cast<const BYTE*>("Hooks"), 6);
        RegCloseKey(key);
        folder_ = ProfileFolder("Hooks");
        DeleteFileA(File("L1").c_str());
    }
    void TearDown() override {
        HookExplorer(0);
        HookContext(0);
    }
    std::string File(const char* layout) const { return folder_ + "\\" + layout + ".ini"; }
    std::string folder_;
};

TEST_F(ExplorerTest, RequestsThatChangeNothing) {
    StandIn explorer;
    explorer.Set({{"Mail", 10, 10}, {"Notes", 100, 10}});
    ASSERT_TRUE(HookExplorer(1));
    // Not a save or restore; another window of the thread; posted; names that would lead
    // outside the product folder.
    NameLayout("Hooks", "L1");
    explorer.Request(3);
    explorer.Request(VEXLO_ICONS_SAVE, explorer.progman());
    // A posted request, under a name that would be saved: a move posted after it shows
    // when the list's thread has dispatched both.
    PostMessageA(explorer.list(), RegisterWindowMessageA(VEXLO_ICON_REQUEST_NAME), VEXLO_ICONS_SAVE, 0);
    PostMessageA(explorer.list(), LVM_SETITEMPOSITION, 1, MAKELPARAM(321, 45));
    ASSERT_TRUE(harness::WaitUntil([&] { return explorer.Icons()[1] == (Icon{"Notes", 321, 45}); }));
    EXPECT_EQ(GetFileAttributesA(File("L1").c_str()), INVALID_FILE_ATTRIBUTES);
    for (const char* name : {"..\\L1", "x\\..\\..\\L1", "C:L1", ".."}) {
        NameLayout("Hooks", name);
        explorer.Request(VEXLO_ICONS_SAVE);
    }
    NameLayout("..\\Hooks", "L1");
    explorer.Request(VEXLO_ICONS_SAVE);
    EXPECT_EQ(GetFileAttributesA(File("L1").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((folder_ + "\\..\\L1.ini").c_str()), INVALID_FILE_ATTRIBUTES);

    // A restore without a file moves nothing.
    const std::vector<Icon> before = explorer.Icons();
    NameLayout("Hooks", "Missing");
    explorer.Request(VEXLO_ICONS_RESTORE);
    EXPECT_EQ(explorer.Icons(), before);
}

// A file edited by hand: counts beyond the entries, missing and non-numeric coordinates,
// positions the list view cannot carry, a caption of 1000 characters.
TEST_F(ExplorerTest, BadlyEditedFileMovesOnlyToPositionsItHolds) {
    StandIn explorer;
    const std::string longCaption(1000, 'w');
    explorer.Set({{"A", 10, 10}, {"B", 100, 10}, {"C", 190, 10}, {"D", 280, 10}, {longCaption.substr(0, 200), 10, 200}});
    const std::vector<Icon> before = explorer.Icons();
    {
        std::ofstream f(File("L1"), std::ios::binary);
        f << "[L1]\r\nItems=999999999\r\nItemCaption0=A\r\nItemX0=abc\r\nItemY0=5\r\nItemCaption1=B\r\nItemX1=300\r\n"
          << "ItemCaption2=C\r\nItemX2=70000\r\nItemY2=20\r\nItemCaption3=" << longCaption << "\r\nItemX3=1\r\n"
          << "ItemY3=1\r\nItemCaption7=D\r\nItemX7=$40\r\nItemY7=0x30\r\n";
    }
    ASSERT_TRUE(HookExplorer(1));
    NameLayout("Hooks", "L1");
    explorer.Request(VEXLO_ICONS_RESTORE);
    const std::vector<Icon> after = explorer.Icons();
    ASSERT_EQ(after.size(), 5u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(after[i], before[i]);
    EXPECT_EQ(after[3], (Icon{"D", 64, 48}));
    EXPECT_EQ(after[4], before[4]);
}

// A section far beyond what a save writes is not read into Explorer without bound: the
// restore moves nothing, and the next request is served as usual.
TEST_F(ExplorerTest, OversizedSectionIsNotRead) {
    StandIn explorer;
    explorer.Set({{"A", 10, 10}});
    const std::vector<Icon> before = explorer.Icons();
    const std::string entry = "Items=1\r\nItemCaption0=A\r\nItemX0=300\r\nItemY0=200\r\n";
    std::ofstream(File("L1"), std::ios::binary) << "[L1]\r\nPad=" << std::string(9 << 20, 'p') << "\r\n" << entry;
    ASSERT_TRUE(HookExplorer(1));
    NameLayout("Hooks", "L1");
    explorer.Request(VEXLO_ICONS_RESTORE);
    EXPECT_EQ(explorer.Icons(), before);
    std::ofstream(File("L1"), std::ios::binary) << "[L1]\r\n" << entry;
    explorer.Request(VEXLO_ICONS_RESTORE);
    EXPECT_EQ(explorer.Icons(), (std::vector<Icon>{{"A", 300, 200}}));
}

TEST_F(ExplorerTest, InstallAndRemoveResults) {
    // Without Explorer's desktop nothing is installed.
    EXPECT_EQ(HookExplorer(1), nullptr);
    EXPECT_EQ(HookContext(1), 0);
    StandIn explorer;
    explorer.Set({{"A", 10, 10}});
    const HHOOK first = HookExplorer(0x101);  // only the low byte counts
    ASSERT_NE(first, nullptr);
    EXPECT_NE(HookExplorer(1), nullptr);  // replaces the first
    EXPECT_EQ(HookContext(0xFF01), 1);
    EXPECT_EQ(HookContext(1), 1);
    EXPECT_EQ(HookExplorer(0), nullptr);
    EXPECT_EQ(HookContext(0), 1);
    EXPECT_EQ(HookContext(0), 0);  // nothing left to remove
    // Removed for good: a request does nothing, and the handle is not given out again.
    NameLayout("Hooks", "L1");
    explorer.Request(VEXLO_ICONS_SAVE);
    EXPECT_EQ(GetFileAttributesA(File("L1").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(harness::CallStdcall("HookExplorer", {0}).stackDelta, 0);
    EXPECT_EQ(harness::CallStdcall("HookContext", {0}).stackDelta, 0);
}

// Class names are anybody's: windows of Explorer's classes in another process, made before
// the hooks or after them, take neither hook and never get the library; the desktop of
// the shell window keeps being served.
TEST_F(ExplorerTest, WindowsOfExplorersClassesElsewhereTakeNothingFromTheShellWindow) {
    StandIn explorer;
    explorer.Set({{"Mail", 10, 10}});
    NameLayout("Hooks", "L1");
    {
        const Decoy before;
        ASSERT_TRUE(before.Ready());
        ASSERT_TRUE(HookExplorer(1));
        ASSERT_EQ(HookContext(1), 1);
        EXPECT_FALSE(before.LibraryCameAfterRequests());
        explorer.Request(VEXLO_ICONS_SAVE);
        EXPECT_EQ(ReadFile(File("L1")), Saved(explorer.Icons(), "L1"));
    }
    DeleteFileA(File("L1").c_str());
    const Decoy after;
    ASSERT_TRUE(after.Ready());
    explorer.Request(VEXLO_ICONS_SAVE);
    EXPECT_EQ(ReadFile(File("L1")), Saved(explorer.Icons(), "L1"));
    EXPECT_FALSE(after.LibraryCameAfterRequests());
}

// A view may give a name as an offset into the item with no end in sight: the save reads
// no more than the list view's 255-byte buffer holds.
TEST_F(ExplorerTest, UnterminatedNamesAreReadNoFurtherThanTheListViewsBuffer) {
    StandIn explorer(0, harness::ExeDir() + "VexloHost.exe", "1809");
    explorer.Set({{"Mail", 10, 10}});
    ASSERT_EQ(explorer.Command(vexlo::host::kBadNames, "1"), 1);
    ASSERT_TRUE(HookExplorer(1));
    NameLayout("Hooks", "L1");
    explorer.Request(VEXLO_ICONS_SAVE);
    explorer.Command(vexlo::host::kBadNames, "0");
    const std::vector<Icon> icons = explorer.Icons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(ReadFile(File("L1")), Saved({{std::string(254, 'N'), icons[0].x, icons[0].y}}, "L1"));
}

// ---- Desktop menus ----

struct MenuLine {
    int depth = 0;
    unsigned id = 0, state = 0;
    bool separator = false, bitmap = false;
    RECT rect{};
    std::string text;
};

struct MenuReport {
    int chosen = -1;
    std::vector<MenuLine> items;
    const MenuLine* Find(const std::string& text) const {
        for (const MenuLine& m : items)
            if (m.text == text) return &m;
        return nullptr;
    }
};

MenuReport ReadMenu(const StandIn& explorer) {
    const std::string path = Temp("vexlo_menu.txt");
    explorer.Command(vexlo::host::kReportMenu, path);
    MenuReport r;
    std::istringstream in(ReadFile(path));
    std::string line, word;
    std::getline(in, line);
    r.chosen = std::atoi(line.c_str() + 7);
    while (std::getline(in, line)) {
        std::istringstream f(line);
        MenuLine m;
        int sep = 0, bmp = 0;
        f >> m.depth >> m.id >> m.state >> sep >> bmp >> m.rect.left >> m.rect.top >> m.rect.right >> m.rect.bottom;
        f.get();
        std::getline(f, m.text);
        m.separator = sep != 0;
        m.bitmap = bmp != 0;
        r.items.push_back(m);
    }
    return r;
}

void ClickAt(const RECT& r) {
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    INPUT in[3] = {};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
        i.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
        i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    in[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(1, &in[0], sizeof(INPUT));
    Sleep(150);
    SendInput(2, &in[1], sizeof(INPUT));
    Sleep(300);
}

class DesktopMenuTest : public ExplorerTest {
protected:
    void SetUp() override {
        ExplorerTest::SetUp();
        // Seeded while this process holds the blocks, so the pass phrase stays for the
        // stand-in's copy of the library. The disabled desktop leaves a gap at 1001.
        RunHost("seed Hooks s3cret 1:Main 222:Second:Second:disabled 333:Third 444:Fourth:Fourth:noicon");
        const auto wnd = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(recorder_.hwnd()));
        WriteBlock("KeyVexloContext", 0, &wnd, sizeof wnd);
    }
    // Opens the stand-in's desktop menu and waits until it shows.
    MenuReport Open(const StandIn& explorer) {
        explorer.Command(vexlo::host::kOpenMenu);
        MenuReport r;
        harness::WaitUntil([&] { return !(r = ReadMenu(explorer)).items.empty(); });
        return r;
    }
    // From a driver thread: a left click on "Switch desktop" opens it, one on "Third"
    // chooses it; waits for the command to reach the main program's window.
    void ClickThird(const StandIn& explorer) {
        MenuReport menu = Open(explorer);
        ASSERT_TRUE(menu.Find("Switch desktop"));
        ClickAt(menu.Find("Switch desktop")->rect);
        menu = ReadMenu(explorer);
        ASSERT_TRUE(menu.Find("Third"));
        ClickAt(menu.Find("Third")->rect);
        EXPECT_TRUE(recorder_.WaitFor(VEXLO_WM_DESKTOP_COMMAND));
    }
    // The layout round on one stand-in, whatever its shape: save, move, restore and the
    // desktop's refresh, which undoes positions the view does not hold (1809 and later).
    void ExpectLayoutKept(const StandIn& explorer) {
        // The list view arranges its icons once, when it first shows: set them until they stay.
        const std::vector<Icon> before{{"Mail", 10, 10}, {"Twin", 100, 10}, {"Notes", 190, 10}, {"Twin", 280, 10}};
        ASSERT_TRUE(harness::WaitUntil([&] {
            explorer.Set(before);
            Sleep(100);
            return explorer.Icons() == before;
        }));
        DeleteFileA(File("L1").c_str());
        ASSERT_TRUE(HookExplorer(1));
        NameLayout("Hooks", "L1");
        // Set on the list view alone: the save keeps what the desktop shows after a refresh.
        SendMessageA(explorer.list(), LVM_SETITEMPOSITION, 0, MAKELPARAM(600, 400));
        explorer.Request(VEXLO_ICONS_SAVE);
        explorer.Command(vexlo::host::kRefresh);
        const std::vector<Icon> kept = explorer.Icons();
        ASSERT_EQ(kept.size(), 4u);
        EXPECT_EQ(ReadFile(File("L1")), Saved(kept, "L1"));

        // Moved, one renamed, one added: captions decide, and both twins end at the last entry.
        explorer.Set({{"Notes", 300, 300}, {"Twin", 400, 300}, {"Mail", 500, 300}, {"Twin", 20, 400},
                      {"Renamed", 120, 400}, {"Added", 220, 400}});
        const std::vector<Icon> moved = explorer.Icons();
        ASSERT_EQ(moved.size(), 6u);
        explorer.Request(VEXLO_ICONS_RESTORE);
        explorer.Command(vexlo::host::kRefresh);
        const Icon twin{"Twin", kept[3].x, kept[3].y};
        EXPECT_EQ(explorer.Icons(), (std::vector<Icon>{{"Notes", kept[2].x, kept[2].y}, twin,
                                                       {"Mail", kept[0].x, kept[0].y}, twin, moved[4], moved[5]}));

        // An empty desktop saves "Items" alone, and nothing of the save before stays.
        explorer.Set({});
        explorer.Request(VEXLO_ICONS_SAVE);
        EXPECT_EQ(ReadFile(File("L1")), "[L1]\r\nItems=0\r\n");
    }
    // Installs the menu hooks and checks that the stand-in's desktop menu carries the items.
    void ExpectMenuItems(const StandIn& explorer) {
        ASSERT_EQ(HookContext(1), 1);
        const MenuReport menu = Open(explorer);
        explorer.Command(vexlo::host::kCloseMenu);
        EXPECT_TRUE(menu.Find("Quillmere Settings"));
        EXPECT_TRUE(menu.Find("Switch desktop"));
        EXPECT_TRUE(menu.Find("Third"));
    }
    harness::Recorder recorder_;
};

TEST_F(DesktopMenuTest, ItemsStatesAndIdentifiers) {
    StandIn explorer;
    ASSERT_EQ(HookContext(1), 1);
    const MenuReport menu = Open(explorer);
    explorer.Command(vexlo::host::kCloseMenu);
    // Appended after Explorer's own items.
    ASSERT_EQ(menu.items.size(), 8u);
    EXPECT_EQ(menu.items[1].text, "Properties");
    EXPECT_TRUE(menu.items[2].separator);
    const MenuLine& settings = menu.items[3];
    EXPECT_EQ(settings.text, "Quillmere Settings");
    EXPECT_EQ(settings.id, 999u);
    EXPECT_EQ(settings.state, static_cast<unsigned>(MFS_CHECKED));  // enabled on "Default"
    EXPECT_TRUE(settings.bitmap);
    EXPECT_EQ(menu.items[4].text, "Switch desktop");
    EXPECT_TRUE(menu.items[4].bitmap);
    const unsigned ids[] = {1000, 1002, 1003};
    const char* names[] = {"Main", "Third", "Fourth"};
    for (int i = 0; i < 3; ++i) {
        const MenuLine& entry = menu.items[5 + i];
        EXPECT_EQ(entry.depth, 1);
        EXPECT_EQ(entry.text, names[i]);
        EXPECT_EQ(entry.id, ids[i]);
        // The current desktop ("Default", identifier 1) is ticked and greyed.
        EXPECT_EQ(entry.state, i == 0 ? static_cast<unsigned>(MFS_CHECKED | MFS_GRAYED) : 0u) << names[i];
    }
}

// WM_INITMENU from any process names any menu: only Explorer's own thread's opening
// counts, and a menu initialised twice holds one set of items.
TEST_F(DesktopMenuTest, ForgedOrRepeatedInitMenuAppendsNothingMore) {
    StandIn explorer;
    ASSERT_EQ(HookContext(1), 1);
    HMENU mine = CreatePopupMenu();
    AppendMenuA(mine, MF_STRING, 1, "Own");
    for (int i = 0; i < 3; ++i) {
        DWORD_PTR r = 0;
        SendMessageTimeoutA(explorer.progman(), WM_INITMENU, reinterpret_cast<WPARAM>(mine), 0, SMTO_NORMAL, 5000, &r);
    }
    EXPECT_EQ(GetMenuItemCount(mine), 1);
    DestroyMenu(mine);
    // Explorer's two items, the separator, the settings item and the switch submenu.
    explorer.Command(vexlo::host::kInitMenuTwice);
    LRESULT count = -1;
    harness::WaitUntil([&] { return (count = explorer.Command(vexlo::host::kInitMenuTwice)) != -1; });
    EXPECT_EQ(count, 5);
}

TEST_F(DesktopMenuTest, LeftClickPostsTheChoiceAndKeyboardDoesNot) {
    StandIn explorer;
    ASSERT_EQ(HookContext(1), 1);
    ASSERT_TRUE(harness::Drive([&] {
        // The keyboard: up twice from nothing reaches "Quillmere Settings"; Enter chooses it.
        Open(explorer);
        const DWORD thread = GetWindowThreadProcessId(explorer.progman(), nullptr);
        for (UINT vk : {VK_UP, VK_UP, VK_RETURN}) {
            PostThreadMessageA(thread, WM_KEYDOWN, vk, 1);
            Sleep(150);
        }
        harness::WaitUntil([&] { return ReadMenu(explorer).chosen != -1; });
        EXPECT_EQ(ReadMenu(explorer).chosen, 999);
        Sleep(300);
        EXPECT_EQ(recorder_.Count(VEXLO_WM_DESKTOP_COMMAND), 0u);

        // The mouse chooses "Third", 1002.
        ClickThird(explorer);
        EXPECT_EQ(ReadMenu(explorer).chosen, 1002);
    }));
    const auto messages = recorder_.Messages();
    ASSERT_EQ(recorder_.Count(VEXLO_WM_DESKTOP_COMMAND), 1u);
    for (const auto& m : messages) {
        if (m.msg != VEXLO_WM_DESKTOP_COMMAND) continue;
        EXPECT_EQ(m.wp, 1002u);
        EXPECT_EQ(m.lp, 0);
    }
}

// ---- Explorer's desktop as each Windows keeps it (explorer.h lists the shapes) ----

TEST_F(DesktopMenuTest, LayoutAndMenuInEveryShape) {
    for (const char* shape : vexlo::host::kStandInShapes) {
        SCOPED_TRACE(shape);
        StandIn explorer(0, harness::ExeDir() + "VexloHost.exe", shape);
        ASSERT_TRUE(explorer.list());
        ExpectLayoutKept(explorer);
        ExpectMenuItems(explorer);
        HookExplorer(0);
        HookContext(0);
    }
}

// ---- A 64-bit Explorer, reached through the hook helper ----
// A 32-bit DLL cannot be hooked into a 64-bit thread (Wine accepts the hook and never runs
// it), so every check here is an effect in the 64-bit stand-in, never a handle.

// The helper processes that a given process started.
std::vector<DWORD> HelpersOf(DWORD parent) {
    std::vector<DWORD> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry))
        if (_stricmp(entry.szExeFile, "VexloHook64.exe") == 0 && entry.th32ParentProcessID == parent)
            ids.push_back(entry.th32ProcessID);
    CloseHandle(snap);
    return ids;
}

bool Is64Bit(HANDLE process) {
    BOOL wow = TRUE;
    return IsWow64Process(process, &wow) && !wow;
}

class Explorer64Test : public DesktopMenuTest {
protected:
    void SetUp() override {
        DesktopMenuTest::SetUp();
        // The product folder holds both libraries and the helper: put the 64-bit ones next
        // to the Vexlo.dll under test. A missing one fails the test.
        for (const char* file : {"Vexlo64.dll", "VexloHook64.exe"})
            ASSERT_TRUE(CopyFileA((harness::Win64Bin() + file).c_str(), (harness::ExeDir() + file).c_str(), FALSE))
                << harness::Win64Bin() << file << " (build the win64 tree)";
        ASSERT_NE(GetFileAttributesA(host64_.c_str()), INVALID_FILE_ATTRIBUTES) << host64_;
    }
    void TearDown() override {
        DesktopMenuTest::TearDown();
        // Nothing held any more: the helper ends by itself. One that stays is a fault, and
        // is ended here so it cannot outlive the test.
        const bool ended = harness::WaitUntil([] { return HelpersOf(GetCurrentProcessId()).empty(); }, 5000);
        for (DWORD id : HelpersOf(GetCurrentProcessId())) KillProcess(id);
        EXPECT_TRUE(ended) << "the helper did not end with its last hook";
    }
    static void KillProcess(DWORD id) {
        if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
            TerminateProcess(p, 1);
            WaitForSingleObject(p, 5000);
            CloseHandle(p);
        }
    }
    std::string host64_ = harness::Win64Bin() + "VexloHost64.exe";
};

TEST_F(Explorer64Test, LayoutAndMenuThroughOneHelper) {
    StandIn explorer(0, host64_);
    ASSERT_TRUE(explorer.progman());
    ASSERT_TRUE(Is64Bit(explorer.process()));
    ExpectLayoutKept(explorer);
    ExpectMenuItems(explorer);
    // One helper serves the desktop, and the click's command reaches the main program.
    EXPECT_EQ(HelpersOf(GetCurrentProcessId()).size(), 1u);
    ASSERT_TRUE(harness::Drive([&] { ClickThird(explorer); }));
    ASSERT_EQ(recorder_.Count(VEXLO_WM_DESKTOP_COMMAND), 1u);
    for (const auto& m : recorder_.Messages()) {
        if (m.msg == VEXLO_WM_DESKTOP_COMMAND) {
            EXPECT_EQ(m.wp, 1002u);
        }
    }
    // Removed: the answers of today; the helper then ends (checked on tear-down).
    EXPECT_EQ(HookExplorer(0), nullptr);
    EXPECT_EQ(HookContext(0), 1);
    EXPECT_EQ(HookContext(0), 0);
}

TEST_F(Explorer64Test, LayoutAndMenuInEveryShape) {
    for (const char* shape : vexlo::host::kStandInShapes) {
        SCOPED_TRACE(shape);
        StandIn explorer(0, host64_, shape);
        ASSERT_TRUE(explorer.list());
        ASSERT_TRUE(Is64Bit(explorer.process()));
        ExpectLayoutKept(explorer);
        ExpectMenuItems(explorer);
        HookExplorer(0);
        HookContext(0);
    }
}

TEST_F(Explorer64Test, HelperDeathAndExplorerRestart) {
    {
        StandIn explorer(0, host64_);
        ASSERT_TRUE(explorer.progman());
        ASSERT_TRUE(HookExplorer(1));
        // A helper that died is started again by the next install.
        const std::vector<DWORD> helpers = HelpersOf(GetCurrentProcessId());
        ASSERT_EQ(helpers.size(), 1u);
        KillProcess(helpers[0]);
        SCOPED_TRACE("after the helper's death");
        ExpectLayoutKept(explorer);
    }
    // Explorer restarted: its hooks went with it, and installing again works at once.
    StandIn explorer(0, host64_);
    ASSERT_TRUE(explorer.progman());
    SCOPED_TRACE("after Explorer's restart");
    ExpectLayoutKept(explorer);
    ExpectMenuItems(explorer);

    // The helper that a main program started ends with that program, hooks held or not.
    HookExplorer(0);
    HookContext(0);
    HANDLE main = StartHost("desktophooks 60");
    ASSERT_TRUE(main);
    std::vector<DWORD> started;
    harness::WaitUntil([&] { return !(started = HelpersOf(GetProcessId(main))).empty(); }, 10000);
    ASSERT_EQ(started.size(), 1u);
    HANDLE helper = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, started[0]);
    ASSERT_TRUE(helper);
    TerminateProcess(main, 1);
    CloseHandle(main);
    const bool ended = WaitForSingleObject(helper, 5000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(helper, 1);
    CloseHandle(helper);
    EXPECT_TRUE(ended) << "the helper outlived its main program";
}

}  // namespace
