// The hook helper's pipe under attack and under load: a forger that holds the name first,
// a helper that never answers, a client that floods the pipe, two main programs sharing
// one helper. Explorer is the 64-bit stand-in of the win64 tree, so every install goes
// through the helper; effects are checked in the stand-in, never handles alone.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "harness.h"
#include "include/Vexlo.h"
#include "shared/hook_channel_win.h"
#include "shared/security.h"

namespace {

HHOOK HookExplorer(DWORD install) { return harness::Proc<VexloHookExplorerFn>("HookExplorer")(install); }
int HookContext(DWORD install) { return harness::Proc<VexloHookContextFn>("HookContext")(install) & 0xFF; }

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// Set by the forger once a client has connected to it.
bool ForgerReached() {
    HANDLE reached = OpenEventA(SYNCHRONIZE, FALSE, "VexloForgerReached");
    if (reached) CloseHandle(reached);
    return reached != nullptr;
}

// Processes running the given image file name.
std::vector<DWORD> Running(const char* exe) {
    std::vector<DWORD> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry))
        if (_stricmp(entry.szExeFile, exe) == 0) ids.push_back(entry.th32ProcessID);
    CloseHandle(snap);
    return ids;
}

void End(HANDLE& process) {
    if (!process) return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
    process = nullptr;
}

// The desktop list view among a process's top-level windows, wherever the stand-in keeps
// its shell view.
struct ListSearch {
    DWORD process;
    HWND list;
};
BOOL CALLBACK FindListIn(HWND top, LPARAM lp) {
    auto* s = reinterpret_cast<ListSearch*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(top, &owner);
    if (owner != s->process) return TRUE;
    if (HWND view = FindWindowExA(top, nullptr, "SHELLDLL_DefView", nullptr))
        s->list = FindWindowExA(view, nullptr, "SysListView32", nullptr);
    return s->list == nullptr;
}
HWND ListViewOf(DWORD processId) {
    ListSearch search{processId, nullptr};
    EnumWindows(FindListIn, reinterpret_cast<LPARAM>(&search));
    return search.list;
}

class HelperChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(harness::Vexlo());
        // The profile that the stand-in's library reads, and its folder for the layouts.
        ASSERT_EQ(SHSetValueA(HKEY_CURRENT_USER, "Software\\Brindlecote\\Quillmere", "Profile", REG_SZ, "Channel", 8),
                  static_cast<DWORD>(ERROR_SUCCESS));
        char appData[MAX_PATH] = {};
        SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
        const std::string folder = std::string(appData) + "\\Brindlecote\\Quillmere\\Channel";
        SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
        layoutFile_ = folder + "\\C1.ini";
        // The product folder holds both libraries and the helper next to the tests.
        for (const char* file : {"Vexlo64.dll", "VexloHook64.exe"})
            ASSERT_TRUE(CopyFileA((harness::Win64Bin() + file).c_str(), (harness::ExeDir() + file).c_str(), FALSE))
                << harness::Win64Bin() << file << " (build the win64 tree)";
        explorer_ = harness::StartProgram(Quoted(harness::Win64Bin() + "VexloHost64.exe") + " explorer 0");
        ASSERT_TRUE(explorer_);
        ASSERT_TRUE(
            harness::WaitUntil([&] { return (list_ = ListViewOf(GetProcessId(explorer_))) != nullptr; }, 15000));
        pipe_ = vexlo::hookchannel::PipeNameHere(vexlo::UserOnlySecurity());
    }
    void TearDown() override {
        for (HANDLE* p : {&forger_, &host_}) End(*p);
        HookExplorer(0);
        HookContext(0);
        End(explorer_);
        // Nothing held any more: the helper ends by itself. One that stays is a fault.
        const bool ended = harness::WaitUntil([] { return Running("VexloHook64.exe").empty(); }, 8000);
        for (DWORD id : Running("VexloHook64.exe")) {
            HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
            End(p);
        }
        EXPECT_TRUE(ended) << "a helper outlived its last hook";
    }
    // Starts the forger with the arguments and waits until its pipe is there.
    void StartForger(const std::string& exe, const std::string& args) {
        forger_ = harness::StartProgram(Quoted(exe) + " " + args);
        ASSERT_TRUE(forger_);
        ASSERT_TRUE(harness::WaitUntil([&] { return WaitNamedPipeA(pipe_.c_str(), 100) != FALSE; }, 10000));
    }
    // The stand-in's list view saves a layout when the icon layout hook is in place.
    bool LayoutSaved() const {
        HANDLE map = OpenFileMappingA(FILE_MAP_WRITE, FALSE, "KeyVexloProfile");
        if (!map) return false;
        auto* view = static_cast<BYTE*>(MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0));
        const std::vector<BYTE> p = harness::Short("Channel"), l = harness::Short("C1");
        std::memcpy(view, p.data(), 256);
        std::memcpy(view + 256, l.data(), 256);
        UnmapViewOfFile(view);
        CloseHandle(map);
        DeleteFileA(layoutFile_.c_str());
        DWORD_PTR r = 0;
        SendMessageTimeoutA(list_, RegisterWindowMessageA(VEXLO_ICON_REQUEST_NAME), VEXLO_ICONS_SAVE, 0, SMTO_NORMAL,
                            10000, &r);
        return GetFileAttributesA(layoutFile_.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    HANDLE explorer_ = nullptr, forger_ = nullptr, host_ = nullptr;
    HWND list_ = nullptr;
    std::string pipe_, layoutFile_;
};

// A program that holds the helper's name first is asked, and not believed.
TEST_F(HelperChannelTest, ForgedHelperIsNotBelieved) {
    StartForger(harness::ExeDir() + "vexlo_pipe_forger.exe", "serve 0x0badf00d");
    HHOOK hook = reinterpret_cast<HHOOK>(1);
    int menus = -1;
    ASSERT_TRUE(harness::Drive([&] {
        hook = HookExplorer(1);
        menus = HookContext(1);
    }, 15000));
    EXPECT_EQ(hook, nullptr);
    EXPECT_EQ(menus, 0);
    EXPECT_TRUE(ForgerReached()) << "the forger was never reached";
}

// A server in the helper's place, of the helper's file and our user, is still not believed
// when its pipe belongs to someone else: its process id may be a reused one. (The helper's
// integrity level is checked too; Wine accepts a lowered level and keeps reporting the old
// one, so only Windows can show that check.)
TEST_F(HelperChannelTest, HelperInItsPlaceIsNotBelievedWhenItsPipeHasAnotherOwner) {
    const std::string helper = harness::ExeDir() + "VexloHook64.exe";
    ASSERT_TRUE(CopyFileA((harness::ExeDir() + "vexlo_pipe_forger.exe").c_str(), helper.c_str(), FALSE));
    StartForger(helper, "serve 0x0badf00d admins");
    HHOOK hook = reinterpret_cast<HHOOK>(1);
    ASSERT_TRUE(harness::Drive([&] { hook = HookExplorer(1); }, 15000));
    EXPECT_EQ(hook, nullptr);
    EXPECT_TRUE(ForgerReached()) << "the forger was never reached";
}

// Our own helper that takes a request and never answers costs the caller a few seconds.
TEST_F(HelperChannelTest, HelperThatNeverAnswersTimesOut) {
    // The hung helper is the forger under the helper's own name, in the helper's place.
    const std::string helper = harness::ExeDir() + "VexloHook64.exe";
    ASSERT_TRUE(CopyFileA((harness::ExeDir() + "vexlo_pipe_forger.exe").c_str(), helper.c_str(), FALSE));
    StartForger(helper, "silent");
    int menus = -1;
    EXPECT_TRUE(harness::Drive([&] { menus = HookContext(1); }, 15000)) << "HookContext(1) did not return";
    EXPECT_EQ(menus, 0);
    EXPECT_TRUE(ForgerReached()) << "the hung helper was never reached";
}

// A client that floods the pipe from outside the product folder holds nobody up: the
// remove gets through and the helper, holding nothing more, ends with its hooks.
TEST_F(HelperChannelTest, FloodingClientHoldsNobodyUp) {
    ASSERT_EQ(HookContext(1), 1);
    ASSERT_TRUE(HookExplorer(1));
    ASSERT_TRUE(LayoutSaved());
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "vexlo_flood";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string flooder = folder + "\\vexlo_pipe_forger.exe";
    ASSERT_TRUE(CopyFileA((harness::ExeDir() + "vexlo_pipe_forger.exe").c_str(), flooder.c_str(), FALSE));
    forger_ = harness::StartProgram(Quoted(flooder) + " spam");
    ASSERT_TRUE(forger_);
    Sleep(500);
    ASSERT_EQ(WaitForSingleObject(forger_, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the flooder is not running";
    int menus = -1;
    HHOOK layout = reinterpret_cast<HHOOK>(1);
    EXPECT_TRUE(harness::Drive([&] {
        menus = HookContext(0);
        layout = HookExplorer(0);
    }, 15000)) << "the removes did not return";
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(layout, nullptr);
    EXPECT_TRUE(harness::WaitUntil([] { return Running("VexloHook64.exe").empty(); }, 8000))
        << "the helper still holds hooks";
}

// The helper serves every main program of the desktop: the one that started it ends, and
// the hooks of the other stay and work.
TEST_F(HelperChannelTest, HooksOutliveTheProgramThatStartedTheHelper) {
    host_ = harness::StartProgram(Quoted(harness::ExeDir() + "VexloHost.exe") + " desktophooks 60");
    ASSERT_TRUE(host_);
    // The host's install started the helper once its pipe is there.
    ASSERT_TRUE(harness::WaitUntil([&] { return WaitNamedPipeA(pipe_.c_str(), 100) != FALSE; }, 15000));
    ASSERT_TRUE(HookExplorer(1));
    ASSERT_EQ(Running("VexloHook64.exe").size(), 1u);
    End(host_);
    Sleep(500);  // time for the helper to see its starter end
    EXPECT_EQ(Running("VexloHook64.exe").size(), 1u);
    EXPECT_TRUE(LayoutSaved()) << "the icon layout hook went with the other program";
}

// Once Explorer has ended, an install finds no list view and gives the stored handle, as
// the library's own hook does.
TEST_F(HelperChannelTest, InstallWithoutExplorerGivesTheStoredHandle) {
    const HHOOK stored = HookExplorer(1);
    ASSERT_NE(stored, nullptr);
    ASSERT_TRUE(LayoutSaved());
    PostMessageA(GetAncestor(list_, GA_ROOT), WM_CLOSE, 0, 0);
    ASSERT_TRUE(harness::WaitUntil([&] { return !IsWindow(list_) && !FindWindowA("Progman", nullptr); }, 10000));
    EXPECT_EQ(HookExplorer(1), stored);
    EXPECT_EQ(HookExplorer(0), nullptr);
    EXPECT_EQ(HookExplorer(1), nullptr);  // removed: nothing stored any more
}

}  // namespace
