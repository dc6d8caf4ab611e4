#include "shared/settings_rules.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "shared/product.h"

namespace vexlo {

std::string DesktopsKeyPath(std::string_view profile) {
    std::string path = kProductKey;
    path += '\\';
    path.append(profile.data(), profile.size());
    path += "\\Desktops";
    return path;
}

std::string DesktopValueName(std::int32_t index) { return "Desktop" + std::to_string(index); }

namespace {

bool IsReservedDeviceName(std::string_view name) {
    // The device names are reserved with any extension and trailing spaces too.
    std::string base(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$")
        return true;
    if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
    // COM0 to COM9 and the superscript one, two and three of code page 1252, likewise LPT.
    const auto digit = static_cast<unsigned char>(base[3]);
    return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

}  // namespace

bool IsSafePathComponent(std::string_view name, LeadByteTest isLeadByte) {
    if (name.empty() || name == "." || name == "..") return false;
    bool lastWasSingle = true;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (isLeadByte && isLeadByte(c) && i + 1 < name.size()) {
            ++i;  // the trail byte belongs to the character, whatever its value
            lastWasSingle = false;
            continue;
        }
        lastWasSingle = true;
        if (c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) return false;
    }
    if (lastWasSingle && (name.back() == '.' || name.back() == ' ')) return false;
    return !IsReservedDeviceName(name);
}

bool IsUsableProfileName(std::string_view name, LeadByteTest isLeadByte) {
    return name.empty() || IsSafePathComponent(name, isLeadByte);
}

namespace {

// Days from 1 January 1970 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

std::int64_t DesktopIdFromLocalTime(const LocalDateTime& t) {
    constexpr double kMsPerDay = 86400000.0;
    const std::int64_t days = DaysFromCivil(t.year, t.month, t.day) - DaysFromCivil(1899, 12, 30);
    const double msOfDay =
        ((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0 + t.millisecond;
    // The date and time form one double, as the stored identifiers were always made.
    const double dateTime = static_cast<double>(days) + msOfDay / kMsPerDay;
    return static_cast<std::int64_t>(std::trunc(static_cast<long double>(dateTime) * 100000.0L));
}

void ApplyStoredRecord(TDesktopRecord& record, std::string_view plain) {
    const std::size_t n = std::min(plain.size(), sizeof record);
    std::memcpy(static_cast<void*>(&record), plain.data(), n);
    ApplyPortRule(record);
}

void ApplyPortRule(TDesktopRecord& record) {
    if (record.RDPPort == 0) record.RDPPort = kDefaultRdpPort;
}

void ResetDesktopRecord(TDesktopRecord& record, const DesktopDefaults& defaults) {
    std::memset(static_cast<void*>(&record), 0, sizeof record);
    record.NoIconTarget = 0;
    record.Program1296 = 1;
    record.Id = defaults.id;
    record.Enabled = 1;
    record.DisplayMode = defaults.displayMode;
    record.Program1816 = -1;
    record.Program1820 = 1;
    record.Wallpaper = defaults.wallpaper;
    record.Program2336 = 0;
    ResetRDPSettings(record.RDP);
    record.RDPPort = kDefaultRdpPort;
    ResetRFBSettings(record.RFB);
}

}  // namespace vexlo
