#pragma once
// The restore as literally stated, for comparison with the linear one: per saved
// entry, one key lookup per value (each a scan of the section, as GetPrivateProfileStringA
// does) and one pass over every icon. Same mend as the library: an entry whose position is
// missing, not a number or not settable moves nothing.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/icon_layout.h"

namespace vexlo::shell::literal {

inline bool SameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto low = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (low(a[i]) != low(b[i])) return false;
    }
    return true;
}

// The first key of that name decides; a key without "=" reads as missing.
inline std::optional<std::string_view> Lookup(std::string_view section, std::string_view key) {
    while (!section.empty()) {
        const std::size_t end = std::min(section.find('\0'), section.size());
        const std::string_view line = section.substr(0, end);
        section.remove_prefix(std::min(end + 1, section.size()));
        if (line.empty()) break;
        const std::size_t eq = line.find('=');
        if (!SameKey(StoredValue(line.substr(0, eq)), key)) continue;
        if (eq == std::string_view::npos) return std::nullopt;
        return StoredValue(line.substr(eq + 1));
    }
    return std::nullopt;
}

inline std::optional<std::int32_t> ReadInteger(std::string_view section, const std::string& key) {
    const auto v = Lookup(section, key);
    if (!v) return std::nullopt;
    return ParseIniInteger(ReadProfileString(*v));
}

inline std::vector<std::optional<IconPosition>> Restore(std::string_view section,
                                                        const std::vector<std::string>& captions) {
    std::vector<std::optional<IconPosition>> moved(captions.size());
    const std::int32_t items = ReadInteger(section, "Items").value_or(0);
    for (std::int32_t n = 0; n < items; ++n) {
        const std::string number = std::to_string(n);
        const std::string caption = ReadProfileString(Lookup(section, "ItemCaption" + number).value_or(""));
        for (std::size_t i = 0; i < captions.size(); ++i) {
            if (captions[i] != caption) continue;
            const auto x = ReadInteger(section, "ItemX" + number);
            const auto y = ReadInteger(section, "ItemY" + number);
            if (x && y && IsSettablePosition({*x, *y})) moved[i] = IconPosition{*x, *y};
        }
    }
    return moved;
}

}  // namespace vexlo::shell::literal
