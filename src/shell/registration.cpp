// Writing and removing a shell extension class's registry entries (registration.h).
#include "shell/registration.h"

#include <windows.h>

#include "shared/handles.h"
#include "shared/module.h"

namespace vexlo {

namespace {

HKEY RootKey(RegRoot root) { return root == RegRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE; }

std::string ServerFile() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(module::Instance(), path, MAX_PATH);
    const std::string modulePath(path, n < MAX_PATH ? n : 0);
    char shortPath[MAX_PATH] = {};
    const DWORD m = UsesShortServerPath(modulePath) ? GetShortPathNameA(modulePath.c_str(), shortPath, MAX_PATH) : 0;
    return ServerFileName(modulePath, std::string_view(shortPath, m < MAX_PATH ? m : 0));
}

bool Write(const RegWrite& w) {
    UniqueHkey key;
    if (RegCreateKeyExA(RootKey(w.root), w.key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.get(), w.valueName.empty() ? nullptr : w.valueName.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(w.data.c_str()),
                          static_cast<DWORD>(w.data.size() + 1)) == ERROR_SUCCESS;
}

// One key only, and only without subkeys: Windows 9x's RegDeleteKeyA would take a tree.
void DeleteLeaf(const RegDelete& d) {
    {
        UniqueHkey key;
        if (RegOpenKeyExA(RootKey(d.root), d.key.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return;
        DWORD subkeys = 0;
        if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subkeys != 0)
            return;
    }
    RegDeleteKeyA(RootKey(d.root), d.key.c_str());
}

}  // namespace

bool RegisterShellClass(const ShellClass& cls) {
    // The NT family keeps a list of approved extensions; the 9x family has none.
    const bool ntFamily = (GetVersion() & 0x80000000u) == 0;
    for (const RegWrite& w : RegistrationWrites(cls, ServerFile(), ntFamily))
        if (!Write(w)) return false;
    return true;
}

void UnregisterShellClass(const ShellClass& cls) {
    for (const RegDelete& d : UnregistrationDeletes(cls)) DeleteLeaf(d);
}

}  // namespace vexlo
