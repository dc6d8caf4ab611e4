// The shared blocks and the open security descriptor: in this process through the store's
// own code, and across real processes that load the DLL, as the main program, Explorer and
// dialog hosts do.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "shared/blocks.h"
#include "shared/crypto/cipher.h"
#include "shared/decipher.h"
#include "shared/security.h"

namespace {

using namespace vexlo;

struct BlockInfo {
    const char* name;
    std::size_t size;
};
const BlockInfo kAll[] = {{"KeyVexloRDP", 1292}, {"KeyVexloRFB", 792},     {"KeyvxCrypt", 256},
                          {"KeyVexloProfile", 512}, {"KeyVexloContext", 4}, {"KeyVexloRA", 2055}};

std::string Hex(const BYTE* p, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::vector<BYTE> Unhex(const std::string& s) {
    std::vector<BYTE> out;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2)
        out.push_back(static_cast<BYTE>(std::stoi(s.substr(i, 2), nullptr, 16)));
    return out;
}

// A view of a block by name, as the main program opens it.
struct NamedView {
    HANDLE mapping = nullptr;
    BYTE* view = nullptr;
    NamedView(const char* name, DWORD access) {
        mapping = OpenFileMappingA(access, FALSE, name);
        if (mapping) view = static_cast<BYTE*>(MapViewOfFile(mapping, access, 0, 0, 0));
    }
    ~NamedView() {
        if (view) UnmapViewOfFile(view);
        if (mapping) CloseHandle(mapping);
    }
};

bool AnyBlockHeld() {
    for (const BlockInfo& b : kAll) {
        HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, b.name);
        if (h) {
            CloseHandle(h);
            return true;
        }
    }
    return false;
}

std::string TempPath(const char* leaf) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + leaf;
}

// Starts this test program again as the child process; the child loads the DLL.
HANDLE StartChild(const std::string& mode, const std::string& out) {
    DeleteFileA(out.c_str());
    DeleteFileA((out + ".release").c_str());
    SetEnvironmentVariableA("VEXLO_CHILD_MODE", mode.c_str());
    SetEnvironmentVariableA("VEXLO_CHILD_OUT", out.c_str());
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string cmd = std::string("\"") + exe + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, 0, nullptr);
    PROCESS_INFORMATION pi{};
    // Detached: no console host process is started to outlive the child holding handles.
    const BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS,
                                   nullptr, nullptr, &si, &pi);
    CloseHandle(si.hStdOutput);
    if (!ok) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// "loaded" and, per block, its bytes as the child saw them right after loading.
struct ChildReport {
    bool loaded = false;
    std::map<std::string, std::vector<BYTE>> blocks;
};

ChildReport ReadReport(const std::string& out) {
    ChildReport r;
    std::ifstream in(out);
    std::string key, value;
    while (in >> key >> value) {
        if (key == "loaded")
            r.loaded = value == "1";
        else if (value != "missing")
            r.blocks[key] = Unhex(value);
    }
    return r;
}

ChildReport DumpInChild() {
    const std::string out = TempPath("vexlo_dump.txt");
    HANDLE child = StartChild("dump", out);
    if (!child) return {};
    WaitForSingleObject(child, 30000);
    CloseHandle(child);
    return ReadReport(out);
}

std::string ShortAt(const std::vector<BYTE>& b, std::size_t offset) {
    if (b.size() < offset + 256) return "<short block>";
    return std::string(reinterpret_cast<const char*>(&b[offset + 1]), b[offset]);
}

void SetProfileValue(DWORD type, const void* data, DWORD size) {
    harness::DeleteProductKey();
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Brindlecote\\Quillmere", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Profile", 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

std::string AppData() {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

}  // namespace

namespace {

// The other process of the cross-process tests: this program started again with
// VEXLO_CHILD_MODE set. It runs before the test framework starts and never reaches it.
void RunAsChild(const char* mode, const char* out) {
    const HMODULE dll = LoadLibraryA((harness::ExeDir() + "Vexlo.dll").c_str());
    std::ostringstream report;
    report << "loaded " << (dll ? 1 : 0) << "\n";
    for (const BlockInfo& b : kAll) {
        NamedView v(b.name, FILE_MAP_READ);
        report << b.name << ' ' << (v.view ? Hex(v.view, b.size) : std::string("missing")) << "\n";
    }
    if (std::strcmp(mode, "hold") == 0) {
        // Plays the main program: writes its fields, then keeps the blocks until released.
        NamedView crypt("KeyvxCrypt", FILE_MAP_WRITE), context("KeyVexloContext", FILE_MAP_WRITE),
            runAs("KeyVexloRA", FILE_MAP_WRITE), profile("KeyVexloProfile", FILE_MAP_WRITE);
        if (crypt.view) std::memcpy(crypt.view, "\x02pp", 3);
        const std::uint32_t wnd = 0x1234;
        if (context.view) std::memcpy(context.view, &wnd, 4);
        if (runAs.view) runAs.view[2054] = 1;
        if (profile.view) {
            std::memcpy(profile.view, "\x06Manual", 7);
            std::memcpy(profile.view + 256, "\x02L1", 3);
        }
    }
    {
        std::ofstream f(out);
        f << report.str();
    }
    if (std::strcmp(mode, "hold") == 0)
        harness::WaitUntil([&] { return FileExists(std::string(out) + ".release"); }, 30000);
    if (dll) FreeLibrary(dll);
}

const bool kRanAsChild = [] {
    char mode[32] = {}, out[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("VEXLO_CHILD_MODE", mode, sizeof mode)) return false;
    GetEnvironmentVariableA("VEXLO_CHILD_OUT", out, sizeof out);
    RunAsChild(mode, out);
    ExitProcess(0);
}();

}  // namespace

TEST(OpenSecurity, GrantsEveryoneEverythingThroughOneEntry) {
    ASSERT_EQ(OpenSecurity(), nullptr);
    ASSERT_TRUE(StartOpenSecurity());
    SECURITY_ATTRIBUTES* sa = OpenSecurity();
    ASSERT_NE(sa, nullptr);
    EXPECT_EQ(sa->nLength, 12u);
    EXPECT_FALSE(sa->bInheritHandle);
    ASSERT_TRUE(IsValidSecurityDescriptor(sa->lpSecurityDescriptor));

    BOOL present = FALSE, defaulted = TRUE;
    PACL acl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(sa->lpSecurityDescriptor, &present, &acl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    ASSERT_NE(acl, nullptr);
    EXPECT_EQ(acl->AclRevision, ACL_REVISION);
    ASSERT_EQ(acl->AceCount, 1);
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(acl, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Mask, static_cast<DWORD>(GENERIC_ALL));
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    EXPECT_TRUE(EqualSid(&ace->SidStart, everyone));
    FreeSid(everyone);

    StopOpenSecurity();
    EXPECT_EQ(OpenSecurity(), nullptr);
}

TEST(SharedBlocks, MissingBlocksReadAsZerosAndAreNeverWritten) {
    // This process's store has opened no block: every reader must cope.
    ASSERT_EQ(ProfileBlock(), nullptr);
    ASSERT_EQ(CryptBlock(), nullptr);
    EXPECT_EQ(ActiveProfileName().length, 0);
    EXPECT_EQ(LayoutName().length, 0);
    EXPECT_EQ(MainProgramWindow(), nullptr);
    EXPECT_FALSE(RunAsOpenFlag());
    SetRunAsOpenFlag(true);
    PublishProfileName(ShortString::From("nowhere"));
    EXPECT_FALSE(RunAsOpenFlag());
    EXPECT_EQ(ActiveProfileName().length, 0);
    // Without the cipher block the pass phrase is the empty one.
    const std::string stored = crypto::EncipherToStored("", "plain bytes");
    EXPECT_EQ(DecipherText(stored), "plain bytes");
}

TEST(SharedBlocks, ABlockSomeoneElseMadeReservedOnlyIsNotAvailable) {
    if (AnyBlockHeld()) GTEST_SKIP() << "this process already holds the blocks; run the case alone";
    // Made first by another party: reserved, never committed. Writing it would fault.
    HANDLE hostile = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_RESERVE, 0, 512,
                                        "KeyVexloProfile");
    ASSERT_NE(hostile, nullptr);
    ASSERT_TRUE(StartOpenSecurity());
    StartProfileBlock();
    EXPECT_EQ(ProfileBlock(), nullptr);
    PublishProfileName(ShortString::From("Work"));  // no fault: nothing is written
    EXPECT_EQ(ActiveProfileName().length, 0);
    StopProfileBlock();
    StopOpenSecurity();
    CloseHandle(hostile);
}

TEST(SharedBlocks, OpenedWithTheirSizesAndClosedAgain) {
    ASSERT_TRUE(StartOpenSecurity());
    StartRemoteBlocks();
    StartCryptBlock();
    StartProfileBlock();
    StartContextBlocks();
    void* views[] = {ProfileBlock(), ContextBlock(), RunAsBlock(), CryptBlock()};
    const std::size_t sizes[] = {512, 4, 2055, 256};
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(views[i], nullptr) << i;
        MEMORY_BASIC_INFORMATION info{};
        ASSERT_TRUE(VirtualQuery(views[i], &info, sizeof info));
        EXPECT_GE(info.RegionSize, sizes[i]) << i;
    }
    // The accessors and the named objects are the same memory.
    {
        NamedView crypt("KeyvxCrypt", FILE_MAP_WRITE), context("KeyVexloContext", FILE_MAP_WRITE),
            profile("KeyVexloProfile", FILE_MAP_WRITE), runAs("KeyVexloRA", FILE_MAP_WRITE);
        ASSERT_TRUE(crypt.view && context.view && profile.view && runAs.view);
        std::memcpy(crypt.view, "\x06secret", 7);
        const std::uint32_t wnd = 0xBEEF;
        std::memcpy(context.view, &wnd, 4);
        std::memcpy(profile.view + 256, "\x06layout", 7);
        EXPECT_EQ(PassPhrase().Str(), "secret");
        EXPECT_EQ(MainProgramWindow(), reinterpret_cast<HWND>(0xBEEF));
        EXPECT_EQ(LayoutName().Str(), "layout");
        SetRunAsOpenFlag(true);
        EXPECT_EQ(runAs.view[2054], 1);
        EXPECT_TRUE(RunAsOpenFlag());
        PublishProfileName(ShortString::From("Work"));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(profile.view), 5), "\x04Work");
        EXPECT_EQ(profile.view[256], 6);  // the layout name is left alone
    }
    StopContextBlocks();
    StopProfileBlock();
    StopCryptBlock();
    StopRemoteBlocks();
    StopOpenSecurity();
    EXPECT_EQ(ProfileBlock(), nullptr);
    EXPECT_EQ(ContextBlock(), nullptr);
    EXPECT_EQ(RunAsBlock(), nullptr);
    EXPECT_EQ(CryptBlock(), nullptr);
}

TEST(SharedBlocks, SecondProcessSeesTheFirstAndOnlyTheProfileIsRewritten) {
    if (AnyBlockHeld()) GTEST_SKIP() << "this process already holds the blocks; run the case alone";
    SetProfileValue(REG_SZ, "Work", 5);
    const std::string held = TempPath("vexlo_hold.txt");
    HANDLE first = StartChild("hold", held);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(harness::WaitUntil([&] { return FileExists(held); }, 30000));
    Sleep(100);  // let the report be closed

    // The first process found fresh blocks: all zero but for the profile it wrote.
    const ChildReport firstSaw = ReadReport(held);
    EXPECT_TRUE(firstSaw.loaded);
    ASSERT_EQ(firstSaw.blocks.size(), 6u);
    for (const BlockInfo& b : kAll) {
        const std::vector<BYTE>& bytes = firstSaw.blocks.at(b.name);
        ASSERT_EQ(bytes.size(), b.size) << b.name;
        const std::size_t from = std::string(b.name) == "KeyVexloProfile" ? 5 : 0;
        for (std::size_t i = from; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << b.name << " " << i;
    }
    EXPECT_EQ(ShortAt(firstSaw.blocks.at("KeyVexloProfile"), 0), "Work");

    // The second load sees what the first one's main program wrote, with the profile name
    // taken from the registry again.
    const ChildReport second = DumpInChild();
    EXPECT_TRUE(second.loaded);
    ASSERT_EQ(second.blocks.size(), 6u);
    EXPECT_EQ(ShortAt(second.blocks.at("KeyvxCrypt"), 0), "pp");
    EXPECT_EQ(ShortAt(second.blocks.at("KeyVexloProfile"), 0), "Work");
    EXPECT_EQ(ShortAt(second.blocks.at("KeyVexloProfile"), 256), "L1");
    EXPECT_EQ(second.blocks.at("KeyVexloContext"), (std::vector<BYTE>{0x34, 0x12, 0, 0}));
    EXPECT_EQ(second.blocks.at("KeyVexloRA")[2054], 1);

    std::ofstream(held + ".release") << "go";
    EXPECT_EQ(WaitForSingleObject(first, 30000), WAIT_OBJECT_0);
    CloseHandle(first);

    // Nobody holds the blocks any more: the next load starts from zeros again.
    const ChildReport fresh = DumpInChild();
    EXPECT_TRUE(fresh.loaded);
    EXPECT_EQ(ShortAt(fresh.blocks.at("KeyvxCrypt"), 0), "");
    EXPECT_EQ(ShortAt(fresh.blocks.at("KeyVexloProfile"), 256), "");
    EXPECT_EQ(fresh.blocks.at("KeyVexloContext"), (std::vector<BYTE>{0, 0, 0, 0}));
    EXPECT_EQ(fresh.blocks.at("KeyVexloRA")[2054], 0);
    EXPECT_EQ(ShortAt(fresh.blocks.at("KeyVexloProfile"), 0), "Work");
    harness::DeleteProductKey();
}

// A "Profile" of a non-text type must not keep Explorer and the main program from loading
// the library; the profile is then the empty one.
TEST(DllLoad, NonTextProfileStillLoadsWithTheEmptyProfile) {
    const DWORD number = 7;
    SetProfileValue(REG_DWORD, &number, sizeof number);
    const ChildReport r = DumpInChild();
    EXPECT_TRUE(r.loaded);
    ASSERT_EQ(r.blocks.count("KeyVexloProfile"), 1u);
    EXPECT_EQ(r.blocks.at("KeyVexloProfile")[0], 0);
    EXPECT_TRUE(FileExists(AppData() + "\\Brindlecote\\Quillmere"));
    harness::DeleteProductKey();
}

TEST(DllLoad, ProfileNameLeadingOutsideCreatesNoFolder) {
    const std::string outside = AppData() + "\\vexlo_escape";
    RemoveDirectoryA(outside.c_str());
    const char name[] = "..\\..\\vexlo_escape";
    SetProfileValue(REG_SZ, name, sizeof name);
    const ChildReport r = DumpInChild();
    EXPECT_TRUE(r.loaded);
    EXPECT_FALSE(FileExists(outside));
    // The name is published as the main program wrote it; readers refuse it as a path.
    EXPECT_EQ(ShortAt(r.blocks.at("KeyVexloProfile"), 0), name);
    harness::DeleteProductKey();
}
