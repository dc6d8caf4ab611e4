// The summary reads of the settings store: the same key, values and failure rules as
// ReadDesktop, with only the summary's bytes deciphered.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "shared/blocks.h"
#include "shared/crypto/secure_wipe.h"
#include "shared/desktop_summary.h"
#include "shared/guard.h"
#include "shared/registry.h"
#include "shared/settings.h"
#include "shared/settings_rules.h"
#include "shared/system_function.h"

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

// Reading a value's start only. RegQueryValueEx leaves a buffer that is too small
// undefined, so a value of megabytes would be read whole for its first bytes; the native
// query fills a short buffer with the value's first bytes and answers STATUS_BUFFER_OVERFLOW
// (ZwQueryValueKey, whose user-mode name is NtQueryValueKey).
struct KeyValuePartialInformation {
    ULONG TitleIndex;
    ULONG Type;
    ULONG DataLength;  // the whole value's
    UCHAR Data[1];
};
struct CountedWideText {
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
};
using NtQueryValueKeyFn = LONG(WINAPI*)(HANDLE key, CountedWideText* name, int infoClass, void* info, ULONG length,
                                        ULONG* resultLength);
constexpr int kKeyValuePartialInformation = 2;
constexpr LONG kStatusBufferOverflow = static_cast<LONG>(0x80000005);
constexpr LONG kStatusObjectNameNotFound = static_cast<LONG>(0xC0000034);

NtQueryValueKeyFn NativeValueQuery() {
    // ntdll is in every process from its start; looking it up needs no load.
    static const auto query = SystemFunction<NtQueryValueKeyFn>("ntdll.dll", "NtQueryValueKey");
    return query;
}

// The first `chars` characters of a text value, in the ANSI code page as RegQueryValueExA
// gives them, through `buf`. A value's Base64 text yields at most one byte a group of four
// characters, so 4 * bytes characters hold every character that deciphering `bytes` reads.
// False on an error, as QueryStored.
bool QueryStoredPrefix(HKEY key, const std::string& name, std::size_t chars, std::vector<char>& buf,
                       std::string_view& text) {
    const NtQueryValueKeyFn query = NativeValueQuery();
    if (!query) return QueryStored(key, name, buf, text);
    std::wstring wideName(name.begin(), name.end());  // value names here are plain ASCII
    CountedWideText counted{static_cast<USHORT>(wideName.size() * sizeof(wchar_t)),
                            static_cast<USHORT>(wideName.size() * sizeof(wchar_t)), wideName.data()};
    std::vector<char> raw(offsetof(KeyValuePartialInformation, Data) + chars * sizeof(wchar_t));
    ULONG got = 0;
    const LONG status = query(key, &counted, kKeyValuePartialInformation, raw.data(), static_cast<ULONG>(raw.size()), &got);
    if (status == kStatusObjectNameNotFound) {
        text = {};
        return true;
    }
    if (status != 0 && status != kStatusBufferOverflow) return false;
    KeyValuePartialInformation info;
    std::memcpy(&info, raw.data(), offsetof(KeyValuePartialInformation, Data));
    if (info.Type != REG_SZ && info.Type != REG_EXPAND_SZ) return false;
    const std::size_t room = raw.size() - offsetof(KeyValuePartialInformation, Data);
    const std::size_t units = std::min<std::size_t>(info.DataLength, room) / sizeof(wchar_t);
    const auto* wide = reinterpret_cast<const wchar_t*>(raw.data() + offsetof(KeyValuePartialInformation, Data));
    buf.assign(units * 2 + 1, '\0');  // a character takes at most two bytes in an ANSI code page
    const int n = units ? WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(units), buf.data(),
                                              static_cast<int>(buf.size()), nullptr, nullptr)
                        : 0;
    if (units && n <= 0) return false;
    text = std::string_view(buf.data(), static_cast<std::size_t>(n));
    text = text.substr(0, text.find('\0')).substr(0, chars);
    return true;
}

void ReadSummaryFrom(HKEY key, std::int32_t index, const crypto::PassPhraseKey& cipher, std::vector<char>& buf,
                     TDesktopSummary& summary, std::size_t bytes = kDesktopSummarySize) noexcept {
    try {
        std::string_view stored;
        if (!QueryStoredPrefix(key, DesktopValueName(index), 4 * std::min(bytes, kDesktopSummarySize), buf, stored)) {
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
