// The library as a loader and a caller see it: its export table, its imports, its
// calling convention and what loading does to the process.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winternl.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"
#include "vexlo_version.h"

namespace {

const BYTE* Rva(HMODULE m, DWORD rva) { return reinterpret_cast<const BYTE*>(m) + rva; }

const IMAGE_NT_HEADERS* Headers(HMODULE m) {
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(m);
    return reinterpret_cast<const IMAGE_NT_HEADERS*>(Rva(m, dos->e_lfanew));
}

// Name -> ordinal of every export by name, and the module name recorded in the table.
std::map<std::string, WORD> Exports(HMODULE m, std::string* moduleName) {
    const auto& dir = Headers(m)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(Rva(m, dir.VirtualAddress));
    *moduleName = reinterpret_cast<const char*>(Rva(m, exp->Name));
    auto names = reinterpret_cast<const DWORD*>(Rva(m, exp->AddressOfNames));
    auto ords = reinterpret_cast<const WORD*>(Rva(m, exp->AddressOfNameOrdinals));
    std::map<std::string, WORD> out;
    for (DWORD i = 0; i < exp->NumberOfNames; ++i)
        out[reinterpret_cast<const char*>(Rva(m, names[i]))] = static_cast<WORD>(exp->Base + ords[i]);
    return out;
}

std::set<std::string> Imports(HMODULE m) {
    const auto& dir = Headers(m)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::set<std::string> out;
    for (auto d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(Rva(m, dir.VirtualAddress));
         d->Name; ++d) {
        std::string name = reinterpret_cast<const char*>(Rva(m, d->Name));
        for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        out.insert(name);
    }
    return out;
}

// A module file of either bitness read from disk (a 32-bit process cannot load a 64-bit
// DLL): its export names with their ordinals, and the libraries it imports.
struct PeFile {
    bool is64 = false;
    std::string moduleName;
    std::map<std::string, WORD> exports;
    std::set<std::string> imports;

    explicit PeFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        image_.assign(std::istreambuf_iterator<char>(in), {});
        if (image_.size() < sizeof(IMAGE_DOS_HEADER)) return;
        const auto* dos = At<IMAGE_DOS_HEADER>(0);
        const auto* nt = At<IMAGE_NT_HEADERS32>(static_cast<DWORD>(dos->e_lfanew));
        is64 = nt->FileHeader.Machine == IMAGE_FILE_MACHINE_AMD64;
        sections_ = reinterpret_cast<const IMAGE_SECTION_HEADER*>(reinterpret_cast<const BYTE*>(&nt->OptionalHeader) +
                                                                   nt->FileHeader.SizeOfOptionalHeader);
        sectionCount_ = nt->FileHeader.NumberOfSections;
        const IMAGE_DATA_DIRECTORY* dirs =
            is64 ? At<IMAGE_NT_HEADERS64>(static_cast<DWORD>(dos->e_lfanew))->OptionalHeader.DataDirectory
                 : nt->OptionalHeader.DataDirectory;
        const auto* exp = AtRva<IMAGE_EXPORT_DIRECTORY>(dirs[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
        moduleName = AtRva<char>(exp->Name);
        for (DWORD i = 0; i < exp->NumberOfNames; ++i)
            exports[AtRva<char>(AtRva<DWORD>(exp->AddressOfNames)[i])] =
                static_cast<WORD>(exp->Base + AtRva<WORD>(exp->AddressOfNameOrdinals)[i]);
        for (auto d = AtRva<IMAGE_IMPORT_DESCRIPTOR>(dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress); d->Name; ++d) {
            std::string name = AtRva<char>(d->Name);
            for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
            imports.insert(name);
        }
    }

private:
    template <typename T>
    const T* At(DWORD offset) const {
        return reinterpret_cast<const T*>(image_.data() + offset);
    }
    template <typename T>
    const T* AtRva(DWORD rva) const {
        for (WORD i = 0; i < sectionCount_; ++i) {
            const IMAGE_SECTION_HEADER& s = sections_[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return At<T>(rva - s.VirtualAddress + s.PointerToRawData);
        }
        return At<T>(rva);
    }
    std::vector<char> image_;
    const IMAGE_SECTION_HEADER* sections_ = nullptr;
    WORD sectionCount_ = 0;
};

// Each export joins this table when its module is built; the names are undecorated and
// nothing else is exported. The 64-bit twin has the same table.
const std::map<std::string, WORD> kExpectedExports = {
    {"GetNewPassword", 13},    {"GetNewPasswordThrd", 12}, {"ShowAbout", 11},      {"Logon", 10},
    {"GetRDPSettings", 7},     {"GetRFBSettings", 6},      {"ShowRunAs", 9},       {"DllGetClassObject", 4},
    {"DllCanUnloadNow", 3},    {"DllRegisterServer", 2},   {"DllUnregisterServer", 1},
    {"AltTabHook", 8},         {"ShowSwitcherWnd", 5},     {"HookExplorer", 15},   {"HookContext", 14},
};

// Self-contained: no compiler runtime DLL has to travel with it.
const std::set<std::string> kSystemLibraries = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL",   "ADVAPI32.DLL",
                                                "SHELL32.DLL",  "OLE32.DLL",  "MSVCRT.DLL",  "MSIMG32.DLL",
                                                "COMCTL32.DLL", "OLEAUT32.DLL", "NETAPI32.DLL", "PSAPI.DLL"};

}  // namespace

TEST(ExportTable, NamesAndOrdinalsExactly) {
    HMODULE dll = harness::Vexlo();
    ASSERT_NE(dll, nullptr);
    std::string moduleName;
    const auto exports = Exports(dll, &moduleName);
    EXPECT_EQ(moduleName, "Vexlo.dll");
    const std::map<std::string, WORD>& expected = kExpectedExports;
    EXPECT_EQ(exports, expected);
    for (const auto& [name, ordinal] : expected)
        EXPECT_EQ(GetProcAddress(dll, MAKEINTRESOURCEA(ordinal)), GetProcAddress(dll, name.c_str()))
            << name;
}

TEST(ExportTable, ImportsOnlySystemLibraries) {
    for (const std::string& name : Imports(harness::Vexlo())) EXPECT_TRUE(kSystemLibraries.count(name)) << name;
}

// The 64-bit twin: its own name, the same exports and ordinals, system imports only.
TEST(ExportTable, The64BitTwinMatches) {
    const PeFile twin(harness::Win64Bin() + "Vexlo64.dll");
    ASSERT_TRUE(twin.is64) << "no 64-bit Vexlo64.dll in " << harness::Win64Bin();
    EXPECT_EQ(twin.moduleName, "Vexlo64.dll");
    EXPECT_EQ(twin.exports, kExpectedExports);
    ASSERT_FALSE(twin.imports.empty());
    for (const std::string& name : twin.imports) EXPECT_TRUE(kSystemLibraries.count(name)) << name;
}

namespace {
// The lowest free thread-local storage slot: it moves up when slots are taken for good.
DWORD LowestFreeTlsSlot() {
    const DWORD slot = TlsAlloc();
    TlsFree(slot);
    return slot;
}
}  // namespace

TEST(Loading, UnloadGivesBackItsThreadSlots) {
    // A process has 1088 slots; a DLL that kept one per load would exhaust them in a host
    // that loads and unloads it again and again, as Explorer does with shell extensions.
    const std::string path = harness::ExeDir() + "Vexlo.dll";
    const DWORD before = LowestFreeTlsSlot();
    for (int round = 0; round < 20; ++round) {
        HMODULE m = LoadLibraryA(path.c_str());
        ASSERT_NE(m, nullptr) << "round " << round;
        EXPECT_TRUE(FreeLibrary(m));
    }
    EXPECT_EQ(LowestFreeTlsSlot(), before);
}

namespace {

// The loader's notification of each DLL it maps (ntdll, Windows Vista and later).
struct DllNotification {
    ULONG flags;
    const UNICODE_STRING* fullName;
    const UNICODE_STRING* baseName;
    void* base;
    ULONG size;
};
using DllNotificationFn = VOID(CALLBACK*)(ULONG reason, const DllNotification* data, void* context);
using RegisterDllNotificationFn = LONG(NTAPI*)(ULONG flags, DllNotificationFn callback, void* context, void** cookie);
using UnregisterDllNotificationFn = LONG(NTAPI*)(void* cookie);

VOID CALLBACK RecordLoad(ULONG reason, const DllNotification* data, void* context) {
    if (reason == 1 /* loaded */ && data && data->baseName)
        static_cast<std::vector<std::wstring>*>(context)->emplace_back(data->baseName->Buffer,
                                                                       data->baseName->Length / sizeof(wchar_t));
}

}  // namespace

TEST(Loading, PublishesTheProfileAtOnceAndLeavesTheRestToFirstUse) {
    // The profile is what other processes read as soon as the library is in a process, and
    // the folders down to the profile's are there too; the shell's answer for the product
    // folder waits for its first use. Under the loader lock no other DLL may be loaded: with
    // its imports in the process already, loading the library maps the library alone.
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto registerLoads = reinterpret_cast<RegisterDllNotificationFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrRegisterDllNotification")));
    const auto unregisterLoads = reinterpret_cast<UnregisterDllNotificationFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnregisterDllNotification")));
    for (const char* dll : {"user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll", "msimg32.dll",
                            "comctl32.dll", "psapi.dll"})
        LoadLibraryA(dll);
    char appData[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)));
    const std::string vendor = std::string(appData) + "\\Brindlecote";
    std::string tree = vendor + '\0';  // a list of one, ending with two zeros
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = tree.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&op);
    ASSERT_EQ(GetFileAttributesA(vendor.c_str()), INVALID_FILE_ATTRIBUTES);
    harness::DeleteProductKey();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Brindlecote\\Quillmere", &key), ERROR_SUCCESS);
    RegSetValueExA(key, "Profile", 0, REG_SZ, reinterpret_cast<const BYTE*>("Load"), 5);
    RegCloseKey(key);

    ASSERT_TRUE(registerLoads && unregisterLoads);
    std::vector<std::wstring> loaded;
    void* cookie = nullptr;
    ASSERT_GE(registerLoads(0, RecordLoad, &loaded, &cookie), 0);
    HMODULE m = LoadLibraryA((harness::ExeDir() + "Vexlo.dll").c_str());
    unregisterLoads(cookie);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(loaded, std::vector<std::wstring>{L"Vexlo.dll"});
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, "KeyVexloProfile");
    ASSERT_NE(mapping, nullptr);
    const auto* block = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(block, 5), "\x04Load");
    const DWORD profileFolder = GetFileAttributesA((vendor + "\\Quillmere\\Load").c_str());
    EXPECT_TRUE(profileFolder != INVALID_FILE_ATTRIBUTES && (profileFolder & FILE_ATTRIBUTE_DIRECTORY));
    UnmapViewOfFile(block);
    CloseHandle(mapping);
    EXPECT_TRUE(FreeLibrary(m));
    harness::DeleteProductKey();
}

TEST(Loading, ThreadsFirstUsingTheLibraryAtOnceEachGetTheirWindow) {
    // The window classes, the fonts and the thread records are made by whichever thread
    // comes first; the others wait for them.
    const std::string path = harness::ExeDir() + "Vexlo.dll";
    HMODULE m = LoadLibraryA(path.c_str());
    ASSERT_NE(m, nullptr);
    auto logon = reinterpret_cast<HWND(WINAPI*)(HWND, HICON, const BYTE*, const BYTE*, LONG)>(
        reinterpret_cast<void*>(GetProcAddress(m, "Logon")));
    ASSERT_NE(logon, nullptr);
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::thread> threads;
    std::vector<int> made(6, 0);
    for (std::size_t i = 0; i < made.size(); ++i)
        threads.emplace_back([&, i] {
            WaitForSingleObject(go, INFINITE);
            const auto u = harness::Short("a"), p = harness::Short("b");
            HWND wnd = logon(nullptr, nullptr, u.data(), p.data(), static_cast<LONG>(i));
            made[i] = wnd != nullptr && GetWindow(wnd, GW_CHILD) != nullptr;  // its controls too
            DestroyWindow(wnd);
        });
    SetEvent(go);
    for (std::thread& t : threads) t.join();
    CloseHandle(go);
    EXPECT_EQ(made, std::vector<int>(6, 1));
    EXPECT_TRUE(FreeLibrary(m));
}

TEST(Loading, LoadsUnloadsAndLoadsAgain) {
    // A second load after a full unload must start cleanly (window classes, font).
    const std::string path = harness::ExeDir() + "Vexlo.dll";
    for (int round = 0; round < 3; ++round) {
        HMODULE m = LoadLibraryA(path.c_str());
        ASSERT_NE(m, nullptr) << "round " << round;
        auto logon = reinterpret_cast<HWND(WINAPI*)(HWND, HICON, const BYTE*, const BYTE*, LONG)>(
            reinterpret_cast<void*>(GetProcAddress(m, "Logon")));
        ASSERT_NE(logon, nullptr);
        const auto u = harness::Short("a"), p = harness::Short("b");
        HWND wnd = logon(nullptr, nullptr, u.data(), p.data(), 1);
        EXPECT_NE(wnd, nullptr) << "round " << round;
        DestroyWindow(wnd);
        harness::Pump(20);
        EXPECT_TRUE(FreeLibrary(m));
    }
}

namespace {

std::string VersionString(const std::vector<char>& info, const char* name) {
    char* value = nullptr;
    UINT size = 0;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &size) || !value) return {};
    return value;
}

TEST(VersionResource, WhatInstallersAndPropertiesRead) {
    const std::string path = harness::ExeDir() + "Vexlo.dll";
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(VEXLO_VERSION_MINOR, VEXLO_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, VEXLO_VERSION_PATCH)));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(VersionString(info, "ProductName"), "Quillmere");
    EXPECT_EQ(VersionString(info, "CompanyName"), "Brindlecote");
    EXPECT_EQ(VersionString(info, "OriginalFilename"), "Vexlo.dll");
    EXPECT_EQ(VersionString(info, "InternalName"), "Vexlo");
    EXPECT_EQ(VersionString(info, "FileVersion"), VEXLO_VERSION_TEXT);
    EXPECT_FALSE(VersionString(info, "FileDescription").empty());
}

}  // namespace
