#include "shared/registry.h"

#include <vector>

#include "shared/error.h"

namespace vexlo {

RegKey RegKey::Open(HKEY root, const std::string& path) {
    RegKey k;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, k.key_.put()) != ERROR_SUCCESS)
        k.key_.reset();
    return k;
}

RegKey RegKey::OpenOrCreate(HKEY root, const std::string& path) {
    RegKey k;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, k.key_.put(), nullptr) != ERROR_SUCCESS)
        k.key_.reset();
    return k;
}

bool RegKey::ValueExists(const char* name) const {
    return RegQueryValueExA(key_.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::string RegKey::ReadString(const char* name) const {
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExA(key_.get(), name, nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) return {};
    if (rc != ERROR_SUCCESS) RaiseFormatted(kFailedToGetData, name);
    if (type != REG_SZ && type != REG_EXPAND_SZ) RaiseFormatted(kInvalidDataType, name);
    // The value may change between the two calls; retry with the size the system reports.
    std::vector<char> buf;
    for (int attempt = 0; attempt < 4; ++attempt) {
        buf.assign(size + 1, '\0');
        DWORD got = size;
        rc = RegQueryValueExA(key_.get(), name, nullptr, &type,
                              reinterpret_cast<BYTE*>(buf.data()), &got);
        if (rc == ERROR_MORE_DATA) {
            size = got;
            continue;
        }
        if (rc != ERROR_SUCCESS) RaiseFormatted(kFailedToGetData, name);
        if (type != REG_SZ && type != REG_EXPAND_SZ) RaiseFormatted(kInvalidDataType, name);
        // Stored text need not be terminated; it ends at its first zero or its size.
        std::string s(buf.data(), got);
        const auto nul = s.find('\0');
        if (nul != std::string::npos) s.resize(nul);
        return s;
    }
    RaiseFormatted(kFailedToGetData, name);
}

std::int32_t RegKey::ReadInteger(const char* name) const {
    DWORD type = 0, value = 0, size = sizeof(value);
    const LONG rc = RegQueryValueExA(key_.get(), name, nullptr, &type,
                                     reinterpret_cast<BYTE*>(&value), &size);
    if (rc == ERROR_MORE_DATA) RaiseFormatted(kInvalidDataType, name);
    if (rc != ERROR_SUCCESS) RaiseFormatted(kFailedToGetData, name);
    if (type != REG_DWORD || size != sizeof(value)) RaiseFormatted(kInvalidDataType, name);
    return static_cast<std::int32_t>(value);
}

void RegKey::WriteString(const char* name, const std::string& value) const {
    if (RegSetValueExA(key_.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
        RaiseFormatted(kFailedToSetData, name);
}

void RegKey::WriteInteger(const char* name, std::int32_t value) const {
    const DWORD v = static_cast<DWORD>(value);
    if (RegSetValueExA(key_.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                       sizeof(v)) != ERROR_SUCCESS)
        RaiseFormatted(kFailedToSetData, name);
}

}  // namespace vexlo
