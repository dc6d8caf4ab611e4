#include "shared/settings.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>

#include "shared/blocks.h"
#include "shared/crypto/secure_wipe.h"
#include "shared/decipher.h"
#include "shared/display_modes.h"
#include "shared/guard.h"
#include "shared/handles.h"
#include "shared/once.h"
#include "shared/registry.h"
#include "shared/settings_rules.h"

namespace vexlo {

namespace {

constexpr const char* kProfileValue = "Profile";
constexpr const char* kCountValue = "DesktopsCount";
constexpr const char* kDefaultProfile = "Default";
constexpr const char* kUserShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// Kept from first use to unload; plain arrays so that loading runs no global constructor.
char g_appData[MAX_PATH];
char g_productFolder[MAX_PATH + 32];
RunOnce g_folderOnce;

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

// Nothing is reported for a folder that exists already or cannot be made.
void MakeFolder(const std::string& path) {
    if (!path.empty()) CreateDirectoryA(path.c_str(), nullptr);
}

// The Desktops key of the active profile, opened for reading; invalid when the profile
// name is not usable or the key does not exist.
// A registry key is no path on disk: every profile name as published reads its desktops.
// The folder-name check belongs where a file or folder path is built (ProfileFolder).
RegKey OpenDesktopsKey() {
    const ShortString profile = ActiveProfileName();
    return RegKey::Open(HKEY_CURRENT_USER, DesktopsKeyPath(profile.View()));
}

// {75048700-EF1F-11D0-9888-006097DEACF9} and {F490EB00-1240-11D1-9888-006097DEACF9}.
constexpr CLSID kClsidActiveDesktop = {0x75048700, 0xEF1F, 0x11D0,
                                       {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};
constexpr IID kIidActiveDesktop = {0xF490EB00, 0x1240, 0x11D1,
                                   {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};

// The start of the shell's IActiveDesktop, as far as the wallpaper query needs it (the
// system header declares it only together with the internet headers).
struct ActiveDesktop : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ApplyChanges(DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetWallpaper(PWSTR wallpaper, UINT chars, DWORD flags) = 0;
};

// A short string's worth of the path.
std::string WallpaperText(const char* ansi) noexcept {
    try {
        std::string s(ansi);
        if (s.size() > ShortString::kMaxLength) s.resize(ShortString::kMaxLength);
        return s;
    } catch (...) {
        VEXLO_LOG_CAUGHT("wallpaper path");
        return {};
    }
}

// The active profile's folder inside a known product folder.
std::string ProfileFolderOfBlock() {
    const ShortString profile = ActiveProfileName();
    if (g_productFolder[0] == '\0' || !IsUsableProfileName(profile.View(), IsLeadByte))
        return {};
    if (profile.length == 0) return g_productFolder;
    return std::string(g_productFolder) + "\\" + profile.Str();
}

// The vendor's, the product's and the active profile's folders below application data.
void MakeFolderChain(const std::string& appData) {
    if (appData.empty()) return;
    MakeFolder(appData + "\\" + kVendorFolder);
    const std::string product = appData + "\\" + kProductSubfolder;
    MakeFolder(product);
    const ShortString profile = ActiveProfileName();
    if (profile.length != 0 && IsUsableProfileName(profile.View(), IsLeadByte)) MakeFolder(product + "\\" + profile.Str());
}

void MakeProfileFolders() { MakeFolderChain(g_appData); }

// The application-data folder without shell32, for the folders made at load: the user's
// shell-folder value "AppData" (REG_EXPAND_SZ), else %APPDATA%, expanded. The shell takes
// its answer from the same value, so SHGetFolderPath at first use finds the same path (it
// stays the one that counts, and makes the folders again where this found none). Empty
// when neither gives an absolute path.
std::string AppDataAtLoad() {
    std::string raw;
    try {
        const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kUserShellFoldersKey);
        if (key) raw = key.ReadString("AppData");
    } catch (...) {
        raw.clear();  // a value of another type: the environment's instead
    }
    if (raw.empty()) raw = "%APPDATA%";
    char expanded[MAX_PATH] = {};
    const DWORD n = ExpandEnvironmentStringsA(raw.c_str(), expanded, MAX_PATH);
    // Too long, or unexpanded (no such variable): no path, and no folder made at a guess.
    if (n == 0 || n > MAX_PATH || std::strchr(expanded, '%')) return {};
    std::string path(expanded);
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    const bool absolute = (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || path.rfind("\\\\", 0) == 0;
    return absolute ? path : std::string();
}

// SHGetFolderPath is shell32 and may create a folder: first use, never while loading.
bool FindProductFolder() {
    g_appData[0] = '\0';
    g_productFolder[0] = '\0';
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                   SHGFP_TYPE_CURRENT, g_appData)) &&
        g_appData[0] != '\0') {
        // Without an application data folder the path would start at a drive's root.
        std::strcpy(g_productFolder, g_appData);
        std::strcat(g_productFolder, "\\");
        std::strcat(g_productFolder, kProductSubfolder);
    } else {
        g_appData[0] = '\0';
    }
    MakeProfileFolders();
    return true;
}

}  // namespace

void ReleaseProductFolder() noexcept {
    g_appData[0] = '\0';
    g_productFolder[0] = '\0';
    g_folderOnce.Reset();
}

std::string ProductFolder() {
    g_folderOnce.Run(FindProductFolder);
    return g_productFolder;
}

bool IsSafeName(std::string_view name) { return IsSafePathComponent(name, IsLeadByte); }

std::string ProfileFolder() {
    g_folderOnce.Run(FindProductFolder);
    return ProfileFolderOfBlock();
}

bool LoadProfile() {
    std::string profile;
    try {
        const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kProductKey);
        profile = key ? key.ReadString(kProfileValue) : kDefaultProfile;
    } catch (...) {
        // A "Profile" of another type must not cost Explorer and the main program every
        // feature of the library: it counts as the empty profile.
        VEXLO_LOG_CAUGHT("read the active profile");
        profile.clear();
    }
    PublishProfileName(ShortString::From(profile));
    if (g_folderOnce.Done()) {
        MakeProfileFolders();
        return true;
    }
    // The main program may rely on the folders once the library has loaded; this runs
    // under the loader lock, so only kernel32 and advapi32 find and make them.
    try {
        const std::string appData = AppDataAtLoad();
        MakeFolder(appData);  // as the shell's CSIDL_FLAG_CREATE would
        MakeFolderChain(appData);
    } catch (...) {
        VEXLO_LOG_CAUGHT("make the product folders");
    }
    return true;
}

std::int32_t GetDesktopsCount() noexcept {
    try {
        const RegKey key = OpenDesktopsKey();
        if (!key || !key.ValueExists(kCountValue)) return -1;
        return key.ReadInteger(kCountValue);
    } catch (...) {
        VEXLO_LOG_CAUGHT("read the desktop count");
        return -1;
    }
}

void ReadDesktop(std::int32_t index, TDesktopRecord& record) noexcept {
    try {
        const RegKey key = OpenDesktopsKey();
        if (!key) return;
        const std::string stored = key.ReadString(DesktopValueName(index).c_str());
        std::string plain = DecipherText(stored);
        ApplyStoredRecord(record, plain);
        // The record holds remote-session passwords in plain text.
        crypto::SecureWipe(plain.data(), plain.size());
    } catch (...) {
        VEXLO_LOG_CAUGHT("read a desktop record");
        ResetDesktop(record);
    }
}

void ResetDesktop(TDesktopRecord& record) noexcept {
    DesktopDefaults defaults;
    SYSTEMTIME now;
    GetLocalTime(&now);
    defaults.id = DesktopIdFromLocalTime({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                                          now.wSecond, now.wMilliseconds});
    defaults.displayMode = CurrentDisplayModeIndex();
    defaults.wallpaper = ShortString::From(CurrentWallpaper());
    ResetDesktopRecord(record, defaults);
}

namespace {

// Wine's shell answers the active-desktop class with a factory that jumps to address 0
// (seen with Wine 8.0), so there the wallpaper comes from the system parameter instead.
bool ActiveDesktopCrashes() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

std::string CurrentWallpaper() noexcept {
    char ansi[MAX_PATH * 2] = {};
    if (ActiveDesktopCrashes()) {
        SystemParametersInfoA(SPI_GETDESKWALLPAPER, MAX_PATH, ansi, 0);
        ansi[MAX_PATH - 1] = '\0';
        return WallpaperText(ansi);
    }
    // The calling thread may not have COM yet; balance only what this call started.
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComPtr<ActiveDesktop> desktop;
        if (SUCCEEDED(CoCreateInstance(kClsidActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, kIidActiveDesktop,
                                       desktop.put_void()))) {
            WCHAR wide[MAX_PATH] = {};
            if (SUCCEEDED(desktop->GetWallpaper(wide, MAX_PATH, 0))) {
                wide[MAX_PATH - 1] = L'\0';
                WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi - 1, nullptr, nullptr);
            }
        }  // released before COM is uninitialised
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return WallpaperText(ansi);
}

}  // namespace vexlo
