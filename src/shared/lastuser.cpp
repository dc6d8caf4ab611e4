#include "shared/lastuser.h"

#include "shared/guard.h"
#include "shared/registry.h"

namespace vexlo {

namespace {
constexpr const char* kLastUser = "LastUser";
}

std::string GetLastUser() {
    try {
        const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kProductKey);
        if (!key) return {};
        return key.ReadString(kLastUser);
    } catch (...) {
        VEXLO_LOG_CAUGHT("read the last user");
        return {};
    }
}

void SetLastUser(const std::string& name) {
    const RegKey key = RegKey::OpenOrCreate(HKEY_CURRENT_USER, kProductKey);
    if (!key) return;
    key.WriteString(kLastUser, name);
}

}  // namespace vexlo
