#pragma once
// One registry key opened for one operation. Keys are opened with full access, also
// where only reading follows, because that is how the product's own key is opened
// everywhere; failures raise the library's error with the value name.
#include <windows.h>

#include <cstdint>
#include <string>

#include "shared/handles.h"
#include "shared/product.h"

namespace vexlo {

class RegKey {
public:
    // Opens an existing key; an invalid key when it does not open.
    static RegKey Open(HKEY root, const std::string& path);
    // Opens the key, creating it (and missing parents) when needed.
    static RegKey OpenOrCreate(HKEY root, const std::string& path);

    explicit operator bool() const { return static_cast<bool>(key_); }
    HKEY get() const { return key_.get(); }

    bool ValueExists(const char* name) const;
    // Text as REG_SZ or REG_EXPAND_SZ (not expanded); a missing value reads as empty.
    std::string ReadString(const char* name) const;
    std::int32_t ReadInteger(const char* name) const;
    void WriteString(const char* name, const std::string& value) const;
    void WriteInteger(const char* name, std::int32_t value) const;

private:
    UniqueHkey key_;
};

}  // namespace vexlo
