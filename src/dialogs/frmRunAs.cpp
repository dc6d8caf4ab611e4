#include "dialogs/frmRunAs.h"

#include <commdlg.h>
#include <lm.h>

#include <atomic>
#include <memory>

#include "dialogs/runas_ids.h"
#include "shared/blocks.h"
#include "shared/guard.h"
#include "shared/message_dialog.h"
#include "shared/message_rules.h"
#include "shared/module.h"
#include "shared/secret.h"
#include "shared/security.h"
#include "shared/system_function.h"
#include "shared/wide_text.h"

namespace vexlo {

namespace {

using namespace ui;
namespace id = runas_ids;

constexpr ControlDef kControls[] = {
    {.kind = Kind::Label, .id = id::lApp, .name = "lApp", .at = {8, 8, 0, 0}, .text = "Application"},
    {.kind = Kind::Edit, .id = id::eApp, .name = "eApp", .at = {8, 24, 297, 21}, .tab = 0},
    // The text is the picture button's name for screen readers; the picture hides it.
    {.kind = Kind::Button, .id = id::sbStart, .name = "sbStart", .at = {312, 24, 23, 22}, .text = "Browse...", .tab = 1},
    {.kind = Kind::Label, .id = id::lCmd, .name = "lCmd", .at = {7, 48, 0, 0}, .text = "Parameters string"},
    {.kind = Kind::Edit, .id = id::eCmd, .name = "eCmd", .at = {7, 64, 330, 21}, .tab = 2, .flags = kPassword,
     .textLimit = 255},
    {.kind = Kind::Label, .id = id::Label1, .name = "Label1", .at = {8, 88, 0, 0}, .text = "Domain or Hostname"},
    {.kind = Kind::ComboEdit, .id = id::cbServer, .name = "cbServer", .at = {8, 104, 329, 21}, .tab = 3},
    {.kind = Kind::Label, .id = id::Label2, .name = "Label2", .at = {8, 128, 0, 0}, .text = "User"},
    {.kind = Kind::ComboEdit, .id = id::cbUser, .name = "cbUser", .at = {8, 144, 329, 21}, .tab = 4},
    {.kind = Kind::Label, .id = id::lPass, .name = "lPass", .at = {7, 168, 0, 0}, .text = "Password"},
    {.kind = Kind::Edit, .id = id::ePass1, .name = "ePass1", .at = {7, 184, 330, 21}, .tab = 5, .flags = kPassword,
     .textLimit = 255},
    {.kind = Kind::Button, .id = id::btRun, .name = "btRun", .at = {184, 216, 75, 25}, .text = "Run", .tab = 6,
     .flags = kDefault},
    {.kind = Kind::Button, .id = id::btCancel, .name = "btCancel", .at = {264, 216, 75, 25}, .text = "Cancel",
     .tab = 7, .flags = kCancel},
};

constexpr FormDef kForm = {
    .className = "TformRunAs",
    .caption = "Run as...",
    .clientWidth = 347,
    .clientHeight = 248,
    .systemMenu = false,
    .controls = kControls,
    .options = kToolWindow,
};

// The network calls live in netapi32, which only this dialog needs: it is loaded when
// the dialog asks, not with the library into every process.
using NetServerEnumFn = NET_API_STATUS(WINAPI*)(LPCWSTR, DWORD, LPBYTE*, DWORD, LPDWORD, LPDWORD, DWORD, LPCWSTR,
                                                LPDWORD);
using NetUserEnumFn = NET_API_STATUS(WINAPI*)(LPCWSTR, DWORD, DWORD, LPBYTE*, DWORD, LPDWORD, LPDWORD, LPDWORD);
using NetApiBufferFreeFn = NET_API_STATUS(WINAPI*)(LPVOID);

// Names from one enumeration, in the order received; empty unless the call succeeded.
template <typename Info, typename Call>
std::vector<std::string> EnumNames(HMODULE netapi, Call&& call, LPWSTR Info::*name) {
    std::vector<std::string> names;
    UniqueNetApiBuffer buffer(SystemFunction<NetApiBufferFreeFn>(netapi, "NetApiBufferFree"));
    DWORD read = 0, total = 0;
    const NET_API_STATUS status = call(buffer.put(), &read, &total);
    if (status == NERR_Success && buffer.get()) {
        const Info* entries = reinterpret_cast<const Info*>(buffer.get());
        for (DWORD i = 0; i < read; ++i)
            names.push_back(WideToAnsi(entries[i].*name ? entries[i].*name : L""));
    }
    return names;
}

// The dialog open in this process, by its thread: a second ShowRunAs re-entered from
// that dialog's own message loop must be told apart from another process's call.
std::atomic<DWORD> g_dialogThread{0};

// One Run As dialog at a time across all processes: a named mutex owned while the dialog
// is open, with the flag byte of "KeyVexloRA" kept in step for every other reader.
class RunAsGateHold {
public:
    RunAsGateHold() = default;
    RunAsGateHold(const RunAsGateHold&) = delete;
    RunAsGateHold& operator=(const RunAsGateHold&) = delete;
    ~RunAsGateHold() {
        if (flagSet_) {
            SetRunAsOpenFlag(false);
            g_dialogThread = 0;
        }
        // The flag goes back first: a set flag whose mutex is free counts as stale.
        if (ownsMutex_) ReleaseMutex(mutex_.get());
    }

    bool Enter() {
        // The gate belongs to the user: its name carries the user's SID and only the user
        // may open it, so another account of the session cannot hold it first. A gate of
        // that name that the user cannot open is not the user's: it counts as no gate.
        try {
            UserOnlySecurity security;
            const std::string name = std::string(kRunAsMutexName) + "-" + security.UserSid();
            mutex_.reset(CreateMutexA(security.Attributes(), FALSE, name.c_str()));
        } catch (const Error& e) {
            ReportCaught("Run As gate", e.what());
        }
        RunAsMutexWait wait = RunAsMutexWait::Unavailable;
        if (mutex_) {
            switch (WaitForSingleObject(mutex_.get(), 0)) {
            case WAIT_OBJECT_0: wait = RunAsMutexWait::Acquired; break;
            case WAIT_ABANDONED: wait = RunAsMutexWait::Abandoned; break;
            case WAIT_TIMEOUT: wait = RunAsMutexWait::HeldElsewhere; break;
            default: break;
            }
        }
        const DWORD self = GetCurrentThreadId();
        switch (DecideRunAsGate(wait, g_dialogThread == self)) {
        case RunAsGate::Open:
            ownsMutex_ = true;
            SetRunAsOpenFlag(true);
            break;
        case RunAsGate::OpenIfFlagClaimed:
            if (!ClaimFlag()) return false;
            break;
        case RunAsGate::RefuseAndRelease:
            ReleaseMutex(mutex_.get());
            return false;
        case RunAsGate::Refuse:
            return false;
        }
        flagSet_ = true;
        g_dialogThread = self;
        return true;
    }

private:
    // Test and set in one step; without the block the flag has no storage and is clear.
    static bool ClaimFlag() {
        auto* block = static_cast<std::uint8_t*>(RunAsBlock());
        return !block || __sync_bool_compare_and_swap(block + kRunAsFlagOffset, 0, 1);
    }

    UniqueHandle mutex_;
    bool ownsMutex_ = false;
    bool flagSet_ = false;
};

}  // namespace

const Command TformRunAs::kCommands[] = {
    On<&TformRunAs::cbServerChange>(id::cbServer, CBN_SELCHANGE),
    On<&TformRunAs::sbStartClick>(id::sbStart, BN_CLICKED),
    On<&TformRunAs::btRunClick>(id::btRun, BN_CLICKED),
    On<&TformRunAs::CancelModal>(id::btCancel, BN_CLICKED),
};

TformRunAs::TformRunAs() : Form(kForm, kCommands) {}

TformRunAs::~TformRunAs() { Wipe(confirmed_.password); }

bool TformRunAs::OnCreate() {
    startPicture_.reset(static_cast<HBITMAP>(
        LoadImageA(module::Instance(), "RUNAS_OPEN", IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS)));
    if (HWND start = Item(id::sbStart); start && startPicture_) {
        SetWindowLongPtrA(start, GWL_STYLE, GetWindowLongPtrA(start, GWL_STYLE) | BS_BITMAP | BS_FLAT);
        SendMessageA(start, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(startPicture_.get()));
    }
    SetItems(id::cbServer, {});
    const UniqueHmodule netapi(LoadLibraryA("netapi32.dll"));
    auto serverEnum = SystemFunction<NetServerEnumFn>(netapi.get(), "NetServerEnum");
    if (!serverEnum) return true;
    SetItems(id::cbServer, EnumNames<SERVER_INFO_100>(
                               netapi.get(),
                               [&](LPBYTE* buffer, DWORD* read, DWORD* total) {
                                   return serverEnum(nullptr, 100, buffer, MAX_PREFERRED_LENGTH, read, total,
                                                     SV_TYPE_ALL, nullptr, nullptr);
                               },
                               &SERVER_INFO_100::sv100_name));
    return true;
}

void TformRunAs::btRunClick() {
    // Read now: the window and its texts are gone once the modal loop has ended.
    Wipe(confirmed_.password);
    confirmed_ = {Text(id::eApp), Text(id::eCmd), Text(id::cbServer), Text(id::cbUser), Text(id::ePass1)};
    SetModalResult(mrOk);
}

void TformRunAs::cbServerChange() {
    // Only a server chosen from the list refills the users; typing a name does not.
    const int chosen = ItemIndex(id::cbServer);
    if (chosen < 0) return;
    HWND servers = Item(id::cbServer);
    const LRESULT length = SendMessageA(servers, CB_GETLBTEXTLEN, static_cast<WPARAM>(chosen), 0);
    std::string server(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0)
        SendMessageA(servers, CB_GETLBTEXT, static_cast<WPARAM>(chosen), reinterpret_cast<LPARAM>(server.data()));
    SetItems(id::cbUser, {});
    const UniqueHmodule netapi(LoadLibraryA("netapi32.dll"));
    if (auto userEnum = SystemFunction<NetUserEnumFn>(netapi.get(), "NetUserEnum")) {
        const std::wstring wideServer = AnsiToWide(server);
        SetItems(id::cbUser, EnumNames<USER_INFO_0>(
                                 netapi.get(),
                                 [&](LPBYTE* buffer, DWORD* read, DWORD* total) {
                                     return userEnum(wideServer.c_str(), 0, FILTER_NORMAL_ACCOUNT, buffer,
                                                     MAX_PREFERRED_LENGTH, read, total, nullptr);
                                 },
                                 &USER_INFO_0::usri0_name));
    }
    SetText(id::cbUser, "");
}

void TformRunAs::sbStartClick() {
    using OpenFn = BOOL(WINAPI*)(OPENFILENAMEA*);
    const UniqueHmodule dialogs(LoadLibraryA("comdlg32.dll"));
    auto open = SystemFunction<OpenFn>(dialogs.get(), "GetOpenFileNameA");
    if (!open) return;
    char file[MAX_PATH] = {};
    OPENFILENAMEA od{};
    od.lStructSize = sizeof od;
    od.hwndOwner = Hwnd();
    od.lpstrFilter = "Applications (*.exe)\0*.exe\0";
    od.lpstrFile = file;
    od.nMaxFile = MAX_PATH;
    // The extension alone: the system appends up to three characters after the dot.
    od.lpstrDefExt = "exe";
    od.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING;
    if (open(&od)) SetText(id::eApp, file);
}

UniqueHandle LaunchAsUser(const LaunchRequest& request) {
    using CreateProcessWithLogonFn = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPCWSTR, LPWSTR, DWORD,
                                                   LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);
    STARTUPINFOW si{};
    // The structure's own size: 68 bytes in a 32-bit process, 104 in a 64-bit one.
    static_assert(sizeof(void*) != 4 || sizeof si == launch::kStartupInfoSize, "the 32-bit start-up information");
    si.cb = sizeof si;
    si.dwFlags = launch::kStartupFlags;
    si.wShowWindow = launch::kShowWindow;

    // Systems without the service start nothing and say nothing.
    const UniqueHmodule advapi(LoadLibraryA(launch::kLibrary));
    auto create = SystemFunction<CreateProcessWithLogonFn>(advapi.get(), launch::kFunction);
    if (!create) return {};

    const std::wstring application = AnsiToWide(request.application), user = AnsiToWide(request.user),
                       domain = AnsiToWide(request.domain);
    std::wstring password = AnsiToWide(request.password);
    struct WipeWide {
        std::wstring& text;
        ~WipeWide() { crypto::SecureWipe(text.data(), text.capacity() * sizeof(wchar_t)); }
    } wipePassword{password};
    std::wstring commandLine = AnsiToWide(request.commandLine);  // the callee may write into it
    PROCESS_INFORMATION pi{};
    if (create(user.c_str(), domain.c_str(), password.c_str(), launch::kLogonFlags, application.c_str(),
               commandLine.data(), launch::kCreationFlags, nullptr, nullptr, &si, &pi)) {
        const UniqueHandle thread(pi.hThread);
        return UniqueHandle(pi.hProcess);
    }
    const DWORD error = GetLastError();
    UniqueLocalMemory message;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<char*>(message.put()), 0, nullptr);
    const std::string text = TrimSystemMessage(message ? static_cast<const char*>(message.get()) : "");
    if (InHookProcedure()) ReportCaught("Run As", text.c_str());
    else MessageBoxA(nullptr, text.c_str(), nullptr, launch::kFailureBoxStyle);
    return {};
}

void ShowRunAsDialog(const char* application) {
    RunAsGateHold gate;
    if (!gate.Enter()) {
        ShowMessageDialog(kRunAsAlreadyOpenText, static_cast<std::uint32_t>(MessageKind::Information), msgbtn::kOk);
        return;
    }
    RunAsFields fields;
    struct WipeFields {
        RunAsFields& f;
        ~WipeFields() { Wipe(f.password); }
    } wipeFields{fields};
    {
        auto form = ui::MakeOwned<TformRunAs>();
        form->Handle();
        form->SetText(id::eApp, application ? application : "");
        if (form->ShowModal() != mrOk) return;
        fields = form->Confirmed();
    }
    // The dialog is gone before the launch, so a refusal is shown on its own.
    LaunchRequest request = MakeLaunchRequest(fields);
    LaunchAsUser(request);
    Wipe(request.password);
}

}  // namespace vexlo
