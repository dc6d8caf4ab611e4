// The settings store against a real registry hive and real shared blocks, through the very
// sources the DLL is built from (linked into this program, since the store has no exports),
// and the reference host's seed and list commands as a product developer uses them.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "harness.h"
#include "shared/desktop_summary.h"
#include "shared/blocks.h"
#include "shared/crypto/cipher.h"
#include "shared/display_modes.h"
#include "shared/records.h"
#include "shared/security.h"
#include "shared/settings.h"
#include "shared/settings_rules.h"
#include "shared/startup.h"

namespace {

using namespace vexlo;

constexpr const char* kProduct = "Software\\Brindlecote\\Quillmere";

std::string AppData() {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool IsFolder(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& path) {
    std::string from = path;
    from.push_back('\0');  // the list ends with two zeros
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&op);
}

HKEY CreateKey(const std::string& path) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

void SetValue(const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = CreateKey(path);
    ASSERT_NE(key, nullptr);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void SetText(const std::string& path, const char* name, const std::string& text) {
    SetValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

std::string Bytes(const TDesktopRecord& r) { return std::string(reinterpret_cast<const char*>(&r), sizeof r); }

// The library's start-up in this process; each test reads the profile again when it has
// set up the registry.
class Store : public ::testing::Test {
protected:
    void SetUp() override {
        harness::DeleteProductKey();
        ASSERT_TRUE(startup::Attach());
    }
    void TearDown() override {
        startup::Detach();
        harness::DeleteProductKey();
    }
    // As the main program does: profile in the registry, records enciphered, pass phrase
    // in the cipher block.
    void UseProfile(const std::string& profile, const std::string& pass) {
        SetText(kProduct, "Profile", profile);
        LoadProfile();
        ShortString::From(pass).WriteTo(CryptBlock());
        desktops_ = DesktopsKeyPath(profile);
    }
    void StoreDesktop(int index, const std::string& plain, const std::string& pass) {
        SetText(desktops_, DesktopValueName(index).c_str(), crypto::EncipherToStored(pass, plain));
    }
    void SetCount(std::uint32_t n) { SetValue(desktops_, "DesktopsCount", REG_DWORD, &n, sizeof n); }
    static TDesktopRecord Filled(std::uint8_t byte) {
        TDesktopRecord r;
        std::memset(static_cast<void*>(&r), byte, sizeof r);
        return r;
    }
    std::string desktops_;
};

TEST_F(Store, NoProductKeyMeansTheDefaultProfileAndItsFolders) {
    RemoveTree(AppData() + "\\Brindlecote");
    ASSERT_FALSE(IsFolder(AppData() + "\\Brindlecote"));
    ASSERT_TRUE(LoadProfile());
    const auto* block = static_cast<const std::uint8_t*>(ProfileBlock());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block), 8), "\x07" "Default");
    EXPECT_EQ(ProductFolder(), AppData() + "\\Brindlecote\\Quillmere");
    EXPECT_TRUE(IsFolder(AppData() + "\\Brindlecote"));
    EXPECT_TRUE(IsFolder(ProductFolder()));
    EXPECT_TRUE(IsFolder(ProductFolder() + "\\Default"));
    EXPECT_EQ(ProfileFolder(), ProductFolder() + "\\Default");
    EXPECT_EQ(GetDesktopsCount(), -1);
}

TEST_F(Store, ProfileValueKindsGiveTheirProfiles) {
    // Key without the value: the empty profile, whose folder is the product folder.
    HKEY key = CreateKey(kProduct);
    RegCloseKey(key);
    LoadProfile();
    EXPECT_EQ(ActiveProfileName().Str(), "");
    EXPECT_EQ(ProfileFolder(), ProductFolder());

    // Expandable text is read as it stands.
    SetValue(kProduct, "Profile", REG_EXPAND_SZ, "%HOME%x", 8);
    LoadProfile();
    EXPECT_EQ(ActiveProfileName().Str(), "%HOME%x");

    // Not text: no failure, the empty profile.
    const DWORD number = 3;
    SetValue(kProduct, "Profile", REG_DWORD, &number, sizeof number);
    EXPECT_TRUE(LoadProfile());
    EXPECT_EQ(ActiveProfileName().Str(), "");

    // Longer than a short string: cut to 255.
    SetText(kProduct, "Profile", std::string(300, 'p'));
    LoadProfile();
    EXPECT_EQ(ActiveProfileName().Str(), std::string(255, 'p'));
}

TEST_F(Store, ProfileNamesThatLeadElsewhereGetNoFolderYetTheirDesktopsAreRead) {
    const std::string outside = AppData() + "\\vexlo_escape";
    RemoveDirectoryA(outside.c_str());
    for (const char* name : {"..\\..\\vexlo_escape", "..", "a\\b", "C:\\vexlo_escape", "CON", "Sales/EU",
                             "Q&A: team", "Mr. X.", "Night shift ", "COM1", "a*b"}) {
        SetText(kProduct, "Profile", name);
        LoadProfile();
        EXPECT_EQ(ActiveProfileName().Str(), name);
        EXPECT_EQ(ProfileFolder(), "") << name;
        // The registry key is no path on disk: the profile's desktops are read all the same.
        const DWORD two = 2;
        SetValue(DesktopsKeyPath(name), "DesktopsCount", REG_DWORD, &two, sizeof two);
        EXPECT_EQ(GetDesktopsCount(), 2) << name;
        EXPECT_EQ(ReadDesktopSummaries().size(), 2u) << name;  // the menus' read as well
    }
    EXPECT_FALSE(IsFolder(outside));
    EXPECT_FALSE(IsFolder("C:\\vexlo_escape"));
    EXPECT_FALSE(IsFolder(AppData() + "\\Brindlecote\\Quillmere\\Q&A: team"));
}

TEST_F(Store, DesktopsCountOnlyFromAnInteger) {
    UseProfile("Work", "pp");
    EXPECT_EQ(GetDesktopsCount(), -1);  // no key
    HKEY key = CreateKey(desktops_);
    RegCloseKey(key);
    EXPECT_EQ(GetDesktopsCount(), -1);  // no value
    SetCount(3);
    EXPECT_EQ(GetDesktopsCount(), 3);
    SetText(desktops_, "DesktopsCount", "3");
    EXPECT_EQ(GetDesktopsCount(), -1);
    SetValue(desktops_, "DesktopsCount", REG_BINARY, "\x03\0\0\0", 4);
    EXPECT_EQ(GetDesktopsCount(), -1);

    // The profile is taken from the block at every call: the main program may switch it.
    SetValue(DesktopsKeyPath("Other"), "DesktopsCount", REG_DWORD, "\x05\0\0\0", 4);
    PublishProfileName(ShortString::From("Other"));
    EXPECT_EQ(GetDesktopsCount(), 5);
}

TEST_F(Store, ReadDesktopCopiesWhatWasStoredOverTheCallersRecord) {
    UseProfile("Work", "s3cret");
    TDesktopRecord full = Filled(0);
    full.Id = 42;
    full.Name = ShortString::From("Main");
    full.Enabled = 1;
    full.FolderName = ShortString::From("MainDir");
    full.RDPPort = 3390;
    StoreDesktop(0, Bytes(full), "s3cret");
    StoreDesktop(1, std::string(100, '\x01'), "s3cret");
    StoreDesktop(2, Bytes(full) + std::string(2000, '\x7f'), "s3cret");
    StoreDesktop(4, Bytes(full), "s3cret");  // 3 is missing
    SetCount(5);

    TDesktopRecord r = Filled(0xee);
    ReadDesktop(0, r);
    EXPECT_EQ(Bytes(r), Bytes(full));

    // 100 bytes: only they change; the port was 0xeeee and stays.
    r = Filled(0xee);
    ReadDesktop(1, r);
    const std::string got = Bytes(r);
    EXPECT_EQ(got.substr(0, 100), std::string(100, '\x01'));
    EXPECT_EQ(got.substr(100), std::string(sizeof r - 100, '\xee'));

    // ... and a port of 0 reads as 3389.
    r = Filled(0);
    ReadDesktop(1, r);
    EXPECT_EQ(r.RDPPort, 3389);

    // Longer than a record: one record's worth, nothing written beyond it.
    struct {
        TDesktopRecord record;
        char guard[32];
    } g;
    std::memset(static_cast<void*>(&g), 0, sizeof g);
    ReadDesktop(2, g.record);
    EXPECT_EQ(Bytes(g.record), Bytes(full));
    EXPECT_EQ(std::string(g.guard, sizeof g.guard), std::string(sizeof g.guard, '\0'));

    // A missing value between existing ones changes nothing but the port rule.
    r = Filled(0x44);
    r.RDPPort = 0;
    ReadDesktop(3, r);
    TDesktopRecord want = Filled(0x44);
    want.RDPPort = 3389;
    EXPECT_EQ(Bytes(r), Bytes(want));
    ReadDesktop(4, r);
    EXPECT_EQ(r.Name.Str(), "Main");
}

TEST_F(Store, ReadDesktopWithBadStoredTextNeverFails) {
    UseProfile("Work", "right");
    TDesktopRecord rec = Filled(0);
    rec.Name = ShortString::From("Secret desk");
    const std::string plain = Bytes(rec);
    StoreDesktop(0, plain, "right");
    SetText(desktops_, "Desktop1", "QU");           // two characters: no bytes
    SetText(desktops_, "Desktop2", "!!!!@@@@****");  // not Base64 at all
    const DWORD number = 9;
    SetValue(desktops_, "Desktop3", REG_DWORD, &number, sizeof number);

    // A wrong pass phrase cannot be noticed: wrong bytes of the right length.
    ShortString::From("wrong").WriteTo(CryptBlock());
    TDesktopRecord r = Filled(0);
    ReadDesktop(0, r);
    EXPECT_NE(r.Name.Str(), "Secret desk");
    EXPECT_NE(Bytes(r), plain);

    ShortString::From("right").WriteTo(CryptBlock());
    r = Filled(0x55);
    ReadDesktop(1, r);
    EXPECT_EQ(r.Name.length, 0x55);

    // Characters outside the alphabet count as zero: twelve characters give nine bytes.
    r = Filled(0x55);
    ReadDesktop(2, r);
    EXPECT_NE(std::string(reinterpret_cast<char*>(&r), 9), std::string(9, '\x55'));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&r) + 9, 20), std::string(20, '\x55'));

    // A value of another type resets the record.
    r = Filled(0x55);
    ReadDesktop(3, r);
    EXPECT_EQ(r.Enabled, 1);
    EXPECT_EQ(r.Name.length, 0);
    EXPECT_EQ(r.Program1816, -1);
    EXPECT_EQ(r.RDPPort, 3389);
    EXPECT_EQ(r.RDP.ColorDepth, 2);
}

TEST_F(Store, ResetDesktopTakesTheClockTheScreenAndTheWallpaper) {
    auto idNow = [] {
        SYSTEMTIME t;
        GetLocalTime(&t);
        return DesktopIdFromLocalTime({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                                       t.wMilliseconds});
    };
    TDesktopRecord r = Filled(0x77);
    const std::int64_t before = idNow();
    ResetDesktop(r);
    const std::int64_t after = idNow();
    EXPECT_GE(r.Id, before);
    EXPECT_LE(r.Id, after);
    EXPECT_EQ(r.DisplayMode, CurrentDisplayModeIndex());
    EXPECT_GE(r.DisplayMode, 0) << "the virtual desktop's mode is among the listed ones";
    EXPECT_EQ(r.Wallpaper.Str(), CurrentWallpaper());
    EXPECT_EQ(r.Enabled, 1);
    EXPECT_EQ(r.RDPPort, 3389);
    EXPECT_EQ(r.RFB.MenuKey, 7);
}

// The host seeds a profile as the main program writes it and lists what the library reads.
std::string RunHost(const std::string& args) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return {};
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = writeEnd;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + harness::ExeDir() + "VexloHost.exe\" " + args;
    // Detached: a console of its own would come with a console host process that keeps a
    // copy of the pipe open after the host has exited.
    const BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr,
                                   nullptr, &si, &pi);
    CloseHandle(writeEnd);
    std::string out;
    if (ok) {
        // Read while the host runs and stop when it has exited: a process it started (the
        // desktop's shell, say) may hold a copy of the pipe, so its end never comes.
        const auto drain = [&] {
            char buf[4096];
            DWORD avail = 0, got = 0;
            while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &avail, nullptr) && avail > 0 &&
                   ReadFile(readEnd, buf, avail < sizeof buf ? avail : sizeof buf, &got, nullptr) && got > 0)
                out.append(buf, got);
        };
        const DWORD start = GetTickCount();
        while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT && GetTickCount() - start < 30000) drain();
        drain();
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(readEnd);
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    return out;
}

TEST(ReferenceHost, SeedsAProfileAndListsItAsTheLibraryReadsIt) {
    harness::DeleteProductKey();
    const std::string seeded =
        RunHost("seed Work s3cret 1:Main \"1234567:Second desk:Second:noicon\" -5:Off:Off:disabled");
    EXPECT_NE(seeded.find("seeded profile Work with 3 desktop(s)"), std::string::npos) << seeded;

    const std::string listed = RunHost("desktops Work s3cret");
    EXPECT_NE(listed.find("profile: \"Work\"\ncount: 3\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find("0: id=1 name=\"Main\" folder=\"\" enabled=1 noicon=0 object=Default port=3389"),
              std::string::npos) << listed;
    EXPECT_NE(listed.find("1: id=1234567 name=\"Second desk\" folder=\"Second\" enabled=1 noicon=1 "
                          "object=Vexlo_1234567 port=3389"),
              std::string::npos) << listed;
    EXPECT_NE(listed.find("2: id=-5 name=\"Off\" folder=\"Off\" enabled=0 noicon=0 object=Vexlo_-5"),
              std::string::npos) << listed;

    // Stored as the cipher defines: this process deciphers what the host wrote.
    char stored[8192] = {};
    DWORD size = sizeof stored;
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, "Software\\Brindlecote\\Quillmere\\Work\\Desktops", "Desktop1",
                           RRF_RT_REG_SZ, nullptr, stored, &size),
              ERROR_SUCCESS);
    const std::string plain = crypto::DecipherStored("s3cret", stored);
    ASSERT_EQ(plain.size(), sizeof(TDesktopRecord));
    TDesktopRecord r;
    std::memcpy(static_cast<void*>(&r), plain.data(), sizeof r);
    EXPECT_EQ(r.Id, 1234567);
    EXPECT_EQ(r.NoIconTarget, 1);

    // An unusable profile name is refused before anything is written.
    EXPECT_NE(RunHost("seed ..\\x pp 1:A").find("not a usable profile name"), std::string::npos);
    harness::DeleteProductKey();
}

}  // namespace
