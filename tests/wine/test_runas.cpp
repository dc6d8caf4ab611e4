// Run As: the message dialog, the dialog and its one-at-a-time rule across real
// processes, the launcher through the service it looks up (a recorder here: Wine's own
// starts nothing), and the Run-as extension under the Windows versions Wine can play.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <thread>

#include "dialogs/runas_ids.h"
#include "harness.h"
#include "shared/message_dialog.h"

namespace {

namespace id = vexlo::runas_ids;
using harness::Dialog;

const CLSID kRunAs = {0x5DE60F2F, 0x4F06, 0x48B4, {0xA0, 0x50, 0xD9, 0x4A, 0x30, 0x59, 0x81, 0xC1}};
const char* const kAlreadyOpen = "Run As utility is already runing";

using ShowRunAsFn = void(WINAPI*)(const char*);
void ShowRunAs(const char* app) { harness::Proc<ShowRunAsFn>("ShowRunAs")(app); }

int RunAsFlag() {
    HANDLE m = OpenFileMappingA(FILE_MAP_READ, FALSE, "KeyVexloRA");
    if (!m) return -1;
    auto* view = static_cast<const BYTE*>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0));
    const int flag = view ? view[2054] : -1;
    if (view) UnmapViewOfFile(view);
    CloseHandle(m);
    return flag;
}

// What the launcher handed to the service it looked up.
struct LaunchLog {
    int calls = 0;
    bool fail = false;
    std::wstring user, domain, password, application, commandLine;
    DWORD logonFlags = 0, creationFlags = 0, startupSize = 0, startupFlags = 0, exitCode = 0;
    WORD show = 0;
    bool environment = true, directory = true;
} g_launch;

BOOL WINAPI RecordLaunch(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD logonFlags, LPCWSTR application,
                         LPWSTR commandLine, DWORD creationFlags, LPVOID environment, LPCWSTR directory,
                         LPSTARTUPINFOW si, LPPROCESS_INFORMATION pi) {
    LaunchLog& log = g_launch;
    ++log.calls;
    log.user = user;
    log.domain = domain;
    log.password = password;
    log.application = application;
    log.commandLine = commandLine;
    log.logonFlags = logonFlags;
    log.creationFlags = creationFlags;
    log.environment = environment != nullptr;
    log.directory = directory != nullptr;
    log.startupSize = si->cb;
    log.startupFlags = si->dwFlags;
    log.show = si->wShowWindow;
    if (log.fail) {
        SetLastError(ERROR_LOGON_FAILURE);
        return FALSE;
    }
    STARTUPINFOW plain{};
    plain.cb = sizeof plain;
    if (!CreateProcessW(application, commandLine, nullptr, nullptr, FALSE, creationFlags | DETACHED_PROCESS, nullptr,
                        nullptr, &plain, pi))
        return FALSE;
    WaitForSingleObject(pi->hProcess, 15000);
    GetExitCodeProcess(pi->hProcess, &log.exitCode);
    return TRUE;
}

FARPROC WINAPI LookUpWithRecorder(HMODULE module, LPCSTR name) {
    if (HIWORD(reinterpret_cast<UINT_PTR>(name)) && std::strcmp(name, "CreateProcessWithLogonW") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(RecordLaunch));
    return GetProcAddress(module, name);
}

class RunAs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(harness::Vexlo(), nullptr);
        g_launch = LaunchLog{};
        ASSERT_TRUE(hook_.Installed());
    }
    harness::ImportHook hook_{"KERNEL32.dll", "GetProcAddress", reinterpret_cast<void*>(LookUpWithRecorder)};
};

HWND RunAsWindowOf(DWORD process) {
    HWND found = nullptr;
    harness::WaitUntil([&] {
        for (HWND w = FindWindowA("TformRunAs", nullptr); w; w = FindWindowExA(nullptr, w, "TformRunAs", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == process && IsWindowVisible(w)) found = w;
        }
        return found != nullptr;
    }, 10000);
    return found;
}

TEST(MessageDialog, KindsGiveCaptionsAndOkWinsOverOtherButtons) {
    struct Case {
        std::uint32_t kind, buttons;
        const char* caption;
    } cases[] = {{2, 1u << 2, "Information"}, {1, 1u << 2 | 1u << 3, "Error"}, {7, 1u << 0 | 1u << 1 | 1u << 2, ""},
                 {0, 1u << 5, "Warning"}};
    for (const Case& c : cases) {
        harness::MessageBoxSeen seen;
        const DWORD self = GetCurrentThreadId();
        std::thread answer([&] { seen = harness::AnswerMessageBox(self); });
        // Every case answers IDOK: a box without an OK button would not close.
        EXPECT_EQ(vexlo::ShowMessageDialog("some text", c.kind, c.buttons), IDOK);
        answer.join();
        EXPECT_EQ(seen.title, c.caption) << c.kind;
        EXPECT_EQ(seen.text, "some text");
    }
}

TEST_F(RunAs, CancelStartsNothingAndClearsTheFlag) {
    harness::RunModalDialog("TformRunAs", [] { ShowRunAs("C:\\Program Files\\Some App\\app.exe"); return 0u; },
                            [](Dialog d) {
                                EXPECT_EQ(harness::Text(d), "Run as...");
                                const RECT client = harness::ClientRect(d);
                                EXPECT_EQ(client.right, 347);
                                EXPECT_EQ(client.bottom, 248);
                                EXPECT_EQ(d.Text(id::eApp), "C:\\Program Files\\Some App\\app.exe");
                                EXPECT_EQ(d.Send(id::eCmd, EM_GETPASSWORDCHAR), '*');
                                EXPECT_EQ(d.Send(id::ePass1, EM_GETPASSWORDCHAR), '*');
                                harness::ExpectTabOrder(d, {id::eApp, id::sbStart, id::eCmd, id::cbServer, id::cbUser, id::ePass1,
                                                            id::btRun, id::btCancel});
                                EXPECT_EQ(RunAsFlag(), 1);
                                d.Key(id::eApp, VK_ESCAPE);
                            });
    EXPECT_EQ(g_launch.calls, 0);
    EXPECT_EQ(RunAsFlag(), 0);
}

std::string HostCopy() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "vexlo run as";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string copy = folder + "\\Host Copy.exe";
    CopyFileA((harness::ExeDir() + "VexloHost.exe").c_str(), copy.c_str(), FALSE);
    return copy;
}

void FillAndRun(Dialog d, const std::string& app) {
    d.Set(id::eApp, app);
    d.Set(id::eCmd, "--flag x");
    d.Set(id::cbServer, "WORKGROUP");
    d.Set(id::cbUser, "guest");
    d.Set(id::ePass1, "secret");
    d.Press(id::btRun);
}

TEST_F(RunAs, LaunchesTheQuotedPathThroughTheLookedUpServiceAndShowsItsRefusal) {
    const std::string app = HostCopy();
    harness::RunModalDialog("TformRunAs", [] { ShowRunAs(nullptr); return 0u; },
                            [&](Dialog d) { FillAndRun(d, app); });
    ASSERT_EQ(g_launch.calls, 1);
    std::wstring wideApp(app.begin(), app.end());
    EXPECT_EQ(g_launch.application, wideApp);
    EXPECT_EQ(g_launch.commandLine, L"\"" + wideApp + L"\" --flag x");
    EXPECT_EQ(g_launch.user, L"guest");
    EXPECT_EQ(g_launch.password, L"secret");
    EXPECT_EQ(g_launch.domain, L"WORKGROUP");
    EXPECT_EQ(g_launch.logonFlags, 1u);
    EXPECT_EQ(g_launch.creationFlags, 0x20u);
    EXPECT_FALSE(g_launch.environment);
    EXPECT_FALSE(g_launch.directory);
    EXPECT_EQ(g_launch.startupSize, 68u);
    EXPECT_EQ(g_launch.startupFlags, 0x41u);
    EXPECT_EQ(g_launch.show, SW_SHOW);
    EXPECT_EQ(g_launch.exitCode, 2u);  // the host started, found no command and said so
    EXPECT_EQ(RunAsFlag(), 0);

    // Refused: the system's text, without its full stop and line break, in a plain box.
    g_launch = LaunchLog{};
    g_launch.fail = true;
    harness::MessageBoxSeen seen;
    const DWORD ui = GetCurrentThreadId();
    harness::RunModalDialog("TformRunAs", [] { ShowRunAs("x.exe"); return 0u; }, [&](Dialog d) {
        FillAndRun(d, "x.exe");
        d.WaitGone();
        seen = harness::AnswerMessageBox(ui);
    });
    EXPECT_EQ(g_launch.calls, 1);
    ASSERT_TRUE(seen.shown);
    char system[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_LOGON_FAILURE, 0,
                   system, sizeof system, nullptr);
    ASSERT_FALSE(seen.text.empty());
    EXPECT_EQ(std::string(system).rfind(seen.text, 0), 0u) << seen.text;
    EXPECT_EQ(std::strchr(".\r\n ", seen.text.back()), nullptr) << seen.text;
    EXPECT_EQ(RunAsFlag(), 0);
}

TEST_F(RunAs, OneDialogAcrossProcessesEvenAfterOneWasKilled) {
    const std::string host = "\"" + harness::ExeDir() + "VexloHost.exe\" shell runas";
    HANDLE first = harness::StartProgram(host);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(RunAsWindowOf(GetProcessId(first)), nullptr);

    harness::MessageBoxSeen seen;
    const DWORD ui = GetCurrentThreadId();
    std::thread answer([&] { seen = harness::AnswerMessageBox(ui); });
    ShowRunAs("x.exe");
    answer.join();
    EXPECT_EQ(seen.title, "Information");
    EXPECT_EQ(seen.text, kAlreadyOpen);

    // Killed with its dialog open: the flag stays set, but Run As is not locked.
    TerminateProcess(first, 1);
    WaitForSingleObject(first, 10000);
    CloseHandle(first);
    EXPECT_EQ(RunAsFlag(), 1);
    bool opened = false;
    harness::RunModalDialog("TformRunAs", [] { ShowRunAs("x.exe"); return 0u; }, [&](Dialog d) {
        opened = true;
        d.Press(id::btCancel);
    });
    EXPECT_TRUE(opened);
    EXPECT_EQ(RunAsFlag(), 0);

    // Two at the same instant: exactly one dialog, the other process is told.
    HANDLE both[2] = {harness::StartProgram(host), harness::StartProgram(host)};
    ASSERT_TRUE(both[0] && both[1]);
    HWND dialog = nullptr, box = nullptr;
    int dialogs = 0;
    harness::WaitUntil([&] {
        dialogs = 0;
        for (HWND w = FindWindowA("TformRunAs", nullptr); w; w = FindWindowExA(nullptr, w, "TformRunAs", nullptr))
            if (IsWindowVisible(w)) ++dialogs, dialog = w;
        box = FindWindowA("#32770", "Information");
        return dialog && box;
    }, 15000);
    EXPECT_EQ(dialogs, 1);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(harness::Text(GetDlgItem(box, 0xFFFF)), kAlreadyOpen);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    if (dialog) PostMessageA(dialog, WM_CLOSE, 0, 0);
    for (HANDLE p : both) {
        EXPECT_EQ(WaitForSingleObject(p, 15000), WAIT_OBJECT_0);
        CloseHandle(p);
    }
}

TEST(RunAsExtension, OfferedBeforeXpOnlyAndOpensTheDialogWithTheProgram) {
    ASSERT_NE(harness::Vexlo(), nullptr);
    ASSERT_EQ(harness::Proc<HRESULT(WINAPI*)()>("DllRegisterServer")(), S_OK);
    const std::string exe = harness::ExeDir() + "VexloHost.exe";
    const char* key = "Software\\Wine\\AppDefaults\\VexloHost.exe";
    for (const char* version : {"win2k", "winxp", "win2003"}) {
        HKEY k = nullptr;
        RegCreateKeyA(HKEY_CURRENT_USER, key, &k);
        RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       static_cast<DWORD>(std::strlen(version) + 1));
        RegCloseKey(k);
        const std::string out = harness::RunHostOutput("shell menu runas \"" + exe + "\"");
        const bool offered = std::strcmp(version, "win2k") == 0;
        EXPECT_NE(out.find(offered ? "(1 ids)" : "(0 ids)"), std::string::npos) << version << out;
        // At the top of the menu, checked with the menu bitmap.
        const std::size_t item = out.find("Run as... [id 100] [checked, bitmap]");
        EXPECT_EQ(item != std::string::npos && item < out.find("&Open"), offered) << out;
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, key);

    CoInitialize(nullptr);
    IShellExtInit* init = nullptr;
    ASSERT_EQ(CoCreateInstance(kRunAs, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellExtInit),
                               reinterpret_cast<void**>(&init)),
              S_OK);
    IDataObject* data = harness::ShellDataObject({std::wstring(exe.begin(), exe.end())});
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(init->Initialize(nullptr, data, nullptr), S_OK);
    data->Release();
    IContextMenu* menu = nullptr;
    init->QueryInterface(__uuidof(IContextMenu), reinterpret_cast<void**>(&menu));
    ASSERT_NE(menu, nullptr);
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(1);
    EXPECT_EQ(menu->InvokeCommand(&info), E_INVALIDARG);
    info.lpVerb = "runas";
    EXPECT_EQ(menu->InvokeCommand(&info), E_FAIL);
    char help[64] = {};
    EXPECT_EQ(menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, help, sizeof help), S_OK);
    EXPECT_STREQ(help, "Run this application as another user");
    info.lpVerb = MAKEINTRESOURCEA(0);
    std::string shown;
    harness::RunModalDialog("TformRunAs", [&] { return static_cast<std::uint32_t>(menu->InvokeCommand(&info)); },
                            [&](Dialog d) {
                                shown = d.Text(id::eApp);
                                d.Press(id::btCancel);
                            });
    EXPECT_STRCASEEQ(shown.c_str(), exe.c_str());
    menu->Release();
    init->Release();
    CoUninitialize();
}

}  // namespace
