// The library as a loader and a caller see it: its export table, its imports, its
// calling convention and what loading does to the process.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winternl.h>

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

}  // namespace

// Each export joins this table when its module is built; the names are undecorated and
// nothing else is exported.
TEST(ExportTable, NamesAndOrdinalsExactly) {
    HMODULE dll = harness::Vexlo();
    ASSERT_NE(dll, nullptr);
    std::string moduleName;
    const auto exports = Exports(dll, &moduleName);
    EXPECT_EQ(moduleName, "Vexlo.dll");
    const std::map<std::string, WORD> expected = {
        {"GetNewPassword", 13},
        {"GetNewPasswordThrd", 12},
        {"ShowAbout", 11},
        {"Logon", 10},
        {"GetRDPSettings", 7},
        {"GetRFBSettings", 6},
        {"ShowRunAs", 9},
        {"DllGetClassObject", 4},
        {"DllCanUnloadNow", 3},
        {"DllRegisterServer", 2},
        {"DllUnregisterServer", 1},
        {"AltTabHook", 8},
        {"ShowSwitcherWnd", 5},
        {"HookExplorer", 15},
        {"HookContext", 14},
    };
    EXPECT_EQ(exports, expected);
    for (const auto& [name, ordinal] : expected)
        EXPECT_EQ(GetProcAddress(dll, MAKEINTRESOURCEA(ordinal)), GetProcAddress(dll, name.c_str()))
            << name;
}

TEST(ExportTable, ImportsOnlySystemLibraries) {
    // Self-contained: no compiler runtime DLL has to travel with it.
    const std::set<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL",
                                           "ADVAPI32.DLL", "SHELL32.DLL", "OLE32.DLL",
                                           "MSVCRT.DLL",   "MSIMG32.DLL", "COMCTL32.DLL",
                                           "OLEAUT32.DLL", "NETAPI32.DLL", "PSAPI.DLL"};
    for (const std::string& name : Imports(harness::Vexlo())) EXPECT_TRUE(allowed.count(name)) << name;
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
    // The profile is what other processes read as soon as the library is in a process; the
    // product folder (shell32, and folders made on disk) waits for its first use. Under the
    // loader lock no other DLL may be loaded: with its imports in the process already,
    // loading the library maps the library alone.
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
    EXPECT_EQ(GetFileAttributesA(vendor.c_str()), INVALID_FILE_ATTRIBUTES);
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
