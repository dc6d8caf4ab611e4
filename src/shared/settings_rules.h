#pragma once
// The settings store's rules that need no Win32: registry names, the check on names that
// become parts of paths, desktop identifiers from the clock, and how a deciphered or reset
// record is formed.
#include <cstdint>
#include <string>
#include <string_view>

#include "shared/records.h"
#include "shared/shortstr.h"

namespace vexlo {

// Registry key of a profile's desktops, relative to HKEY_CURRENT_USER.
std::string DesktopsKeyPath(std::string_view profile);
// "Desktop" followed by the 0-based index in decimal.
std::string DesktopValueName(std::int32_t index);

// True for a byte that starts a two-byte character in the ANSI code page; its second byte
// may look like a path separator without being one.
using LeadByteTest = bool (*)(unsigned char);

// A name that may be one folder or file name inside another folder: not empty, not "." or
// "..", no separators, drive colons, wildcards, quotes, pipes or control characters, no
// trailing dot or space (the system strips them) and no device name such as "CON" or
// "LPT1". Text from the registry or a shared block never leads outside the product
// folder when it passes.
bool IsSafePathComponent(std::string_view name, LeadByteTest isLeadByte = nullptr);
// The active profile may also be empty: its folder is then the product folder itself.
bool IsUsableProfileName(std::string_view name, LeadByteTest isLeadByte = nullptr);

// A local date and time as the system clock gives it.
struct LocalDateTime {
    int year, month, day, hour, minute, second, millisecond;
};
// Days since 30 December 1899 with the time of day as the fraction, times 100000,
// truncated: the identifier a new desktop gets.
std::int64_t DesktopIdFromLocalTime(const LocalDateTime& t);

// Copies the first min(plain.size(), record size) bytes over the start of the record and
// leaves the rest as it was; then applies the port rule.
void ApplyStoredRecord(TDesktopRecord& record, std::string_view plain);
// A port of 0 means the RDP default.
void ApplyPortRule(TDesktopRecord& record);

// What a reset record takes from the running system.
struct DesktopDefaults {
    std::int64_t id = 0;
    std::int32_t displayMode = -1;
    ShortString wallpaper;
};
// Zero-fills the record and sets every non-zero default.
void ResetDesktopRecord(TDesktopRecord& record, const DesktopDefaults& defaults);

}  // namespace vexlo
