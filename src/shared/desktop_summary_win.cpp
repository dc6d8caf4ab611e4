// The summary reads of the settings store: the same key, values and failure rules as
// ReadDesktop, with only the summary's bytes deciphered.
#include <windows.h>

#include <vector>

#include <algorithm>

#include "shared/blocks.h"
#include "shared/crypto/secure_wipe.h"
#include "shared/desktop_summary.h"
#include "shared/guard.h"
#include "shared/registry.h"
#include "shared/settings.h"
#include "shared/settings_rules.h"

namespace vexlo {

namespace {

// As ReadDesktop: a registry key is no path on disk, every profile name reads its desktops.
RegKey OpenDesktopsKeyForSummary() {
    const ShortString profile = ActiveProfileName();
    return RegKey::Open(HKEY_CURRENT_USER, DesktopsKeyPath(profile.View()));
}

// The pass phrase's key, derived from the block as it reads now; the copy is wiped.
struct CurrentKey {
    ShortString pass = PassPhrase();
    crypto::PassPhraseKey key{pass.View()};
    ~CurrentKey() { crypto::SecureWipe(&pass, sizeof pass); }
};

void ResetSummaryNow(TDesktopSummary& summary) noexcept {
    SYSTEMTIME now;
    GetLocalTime(&now);
    ResetDesktopSummary(summary, DesktopIdFromLocalTime({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                                                         now.wSecond, now.wMilliseconds}));
}

// One value read as RegKey::ReadString reads it (missing: empty; another type or a failed
// read: an error), in one query while the buffer is large enough. False on an error.
bool QueryStored(HKEY key, const std::string& name, std::vector<char>& buf, std::string_view& text) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, got = static_cast<DWORD>(buf.size());
        const LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got);
        if (rc == ERROR_FILE_NOT_FOUND) {
            text = {};
            return true;
        }
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return false;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
        if (rc == ERROR_MORE_DATA) {
            buf.resize(got + 1);
            continue;
        }
        // Stored text need not be terminated; it ends at its first zero or its size.
        text = std::string_view(buf.data(), got);
        text = text.substr(0, text.find('\0'));
        return true;
    }
    return false;
}

void ReadSummaryFrom(HKEY key, std::int32_t index, const crypto::PassPhraseKey& cipher, std::vector<char>& buf,
                     TDesktopSummary& summary, std::size_t bytes = kDesktopSummarySize) noexcept {
    try {
        std::string_view stored;
        if (!QueryStored(key, DesktopValueName(index), buf, stored)) {
            ResetSummaryNow(summary);
            return;
        }
        std::string plain = DecipherSummary(cipher, stored, bytes);
        ApplyStoredSummary(summary, plain);
        crypto::SecureWipe(plain.data(), plain.size());
    } catch (...) {
        VEXLO_LOG_CAUGHT("read a desktop summary");
        ResetSummaryNow(summary);
    }
}

// A stored record of 4168 bytes takes 5560 characters.
constexpr std::size_t kStoredRecordChars = 5600;

}  // namespace

void ReadDesktopSummary(std::int32_t index, TDesktopSummary& summary) noexcept {
    try {
        const RegKey key = OpenDesktopsKeyForSummary();
        if (!key) return;
        const CurrentKey cipher;
        std::vector<char> buf(kStoredRecordChars);
        ReadSummaryFrom(key.get(), index, cipher.key, buf, summary);
    } catch (...) {
        VEXLO_LOG_CAUGHT("read a desktop summary");
        ResetSummaryNow(summary);
    }
}

std::vector<TDesktopSummary> ReadDesktopSummaries(std::int32_t most, std::size_t bytes) {
    std::vector<TDesktopSummary> list;
    const std::int32_t count = std::min(GetDesktopsCount(), most);
    if (count <= 0) return list;
    list.resize(static_cast<std::size_t>(count), TDesktopSummary{});
    const RegKey key = OpenDesktopsKeyForSummary();
    if (!key) return list;
    const CurrentKey cipher;
    std::vector<char> buf(kStoredRecordChars);
    for (std::int32_t i = 0; i < count; ++i)
        ReadSummaryFrom(key.get(), i, cipher.key, buf, list[static_cast<std::size_t>(i)], bytes);
    return list;
}

}  // namespace vexlo
