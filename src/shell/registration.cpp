// Writing and removing a shell extension class's registry entries (registration.h).
#include "shell/registration.h"

#include <windows.h>

#include "shared/handles.h"
#include "shared/module.h"
#include "shared/system_function.h"

namespace vexlo {

namespace {

HKEY RootKey(RegRoot root) { return root == RegRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE; }

// On 64-bit Windows each bitness has its own view of HKCR\CLSID and HKLM\Software: each
// DLL registers in its own, where the Explorer of its bitness looks. The flags are named
// only where there are two views: systems before them may refuse them.
#if !defined(_WIN64)
bool RunsUnderWow64() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 = SystemFunction<IsWow64ProcessFn>("kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}
#endif

REGSAM OwnView() {
#if defined(_WIN64)
    return KEY_WOW64_64KEY;
#else
    return RunsUnderWow64() ? KEY_WOW64_32KEY : 0;
#endif
}

// The view of the DLL of the other bitness; 0 where there is none.
REGSAM OtherView() {
#if defined(_WIN64)
    return KEY_WOW64_32KEY;
#else
    return RunsUnderWow64() ? KEY_WOW64_64KEY : 0;
#endif
}

std::string ServerFile() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(module::Instance(), path, MAX_PATH);
    const std::string modulePath(path, n < MAX_PATH ? n : 0);
    char shortPath[MAX_PATH] = {};
    const DWORD m = UsesShortServerPath(modulePath) ? GetShortPathNameA(modulePath.c_str(), shortPath, MAX_PATH) : 0;
    return ServerFileName(modulePath, std::string_view(shortPath, m < MAX_PATH ? m : 0));
}

bool Write(const RegWrite& w, REGSAM view) {
    UniqueHkey key;
    if (RegCreateKeyExA(RootKey(w.root), w.key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.get(), w.valueName.empty() ? nullptr : w.valueName.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(w.data.c_str()),
                          static_cast<DWORD>(w.data.size() + 1)) == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::string& path, REGSAM view) {
    UniqueHkey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) == ERROR_SUCCESS;
}

// One key only, and only without subkeys: Windows 9x's RegDeleteKeyA would take a tree.
void DeleteLeaf(const RegDelete& d, REGSAM view) {
    {
        UniqueHkey key;
        if (RegOpenKeyExA(RootKey(d.root), d.key.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS)
            return;
        DWORD subkeys = 0;
        if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subkeys != 0)
            return;
    }
    if (view == 0) {
        RegDeleteKeyA(RootKey(d.root), d.key.c_str());
        return;
    }
    // RegDeleteKeyEx names the view; it exists wherever there are two.
    using RegDeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    if (const auto deleteIn = SystemFunction<RegDeleteKeyExFn>("advapi32.dll", "RegDeleteKeyExA"))
        deleteIn(RootKey(d.root), d.key.c_str(), view, 0);
}

}  // namespace

bool RegisterShellClass(const ShellClass& cls) {
    // The NT family keeps a list of approved extensions; the 9x family has none.
    const bool ntFamily = (GetVersion() & 0x80000000u) == 0;
    const REGSAM view = OwnView();
    for (const RegWrite& w : RegistrationWrites(cls, ServerFile(), ntFamily))
        if (!Write(w, view)) return false;
    return true;
}

void UnregisterShellClass(const ShellClass& cls) {
    const REGSAM view = OwnView(), other = OtherView();
    // The handler keys are one for both views since Windows 7: they stay while the DLL of
    // the other bitness still registers the class in its view.
    const bool otherNeedsHandlers =
        other != 0 && KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + std::string(cls.clsidText) + "\\InprocServer32", other);
    for (const RegDelete& d : UnregistrationDeletes(cls))
        if (!(d.sharedHandlerKey && otherNeedsHandlers)) DeleteLeaf(d, view);
}

}  // namespace vexlo
