#include "shell/icon_layout.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <utility>

namespace vexlo::shell {

namespace {

// The characters that Wine's profile code drops at both ends of a value (checked on Wine 8
// for every byte of code page 1252: nothing above 0x7F counts).
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// The n of a key: decimal as std::to_string writes it (no sign, no leading zero), since
// the literal reads look the key up by that exact text.
std::optional<std::int32_t> CanonicalIndex(std::string_view digits) {
    if (digits.empty() || digits.size() > 10 || (digits[0] == '0' && digits.size() > 1)) return {};
    std::int64_t n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return {};
        n = n * 10 + (c - '0');
    }
    if (n > std::numeric_limits<std::int32_t>::max()) return {};
    return static_cast<std::int32_t>(n);
}

enum class KeyKind { None, Items, Caption, X, Y };

struct KeyRef {
    KeyKind kind = KeyKind::None;
    std::int32_t index = 0;
};

KeyRef Classify(std::string_view name) {
    if (EqualsNoCase(name, kItemsKey)) return {KeyKind::Items, 0};
    const std::pair<std::string_view, KeyKind> prefixes[] = {
        {kCaptionKey, KeyKind::Caption}, {kXKey, KeyKind::X}, {kYKey, KeyKind::Y}};
    for (const auto& [prefix, kind] : prefixes) {
        if (name.size() > prefix.size() && EqualsNoCase(name.substr(0, prefix.size()), prefix)) {
            if (const auto n = CanonicalIndex(name.substr(prefix.size()))) return {kind, *n};
            return {};
        }
    }
    return {};
}

// The first key of a name decides what a literal read gives, even when it has no "=".
struct FirstValue {
    bool seen = false;
    std::optional<std::string_view> value;

    void Offer(std::optional<std::string_view> v) {
        if (!seen) {
            seen = true;
            value = v;
        }
    }
};

struct Slot {
    FirstValue caption, x, y;
};

std::optional<std::int32_t> ReadInteger(const FirstValue& key) {
    if (!key.value) return {};
    return ParseIniInteger(ReadProfileString(*key.value));
}

}  // namespace

std::vector<IniValue> SaveValues(const std::vector<LayoutIcon>& icons) {
    std::vector<IniValue> values;
    values.reserve(1 + 3 * icons.size());
    values.push_back({std::string(kItemsKey), std::to_string(icons.size())});
    for (std::size_t n = 0; n < icons.size(); ++n) {
        const std::string number = std::to_string(n);
        // The per-value write takes a C string: a caption ends at its first zero byte.
        const std::string& caption = icons[n].caption;
        values.push_back({std::string(kCaptionKey) + number, caption.substr(0, caption.find('\0'))});
        values.push_back({std::string(kXKey) + number, std::to_string(icons[n].position.x)});
        values.push_back({std::string(kYKey) + number, std::to_string(icons[n].position.y)});
    }
    return values;
}

std::size_t SectionWritablePrefix(const std::vector<IniValue>& values) {
    // Wine's loader ends a line at CR as well as at LF; at the ends of a value both are
    // blanks that the file drops anyway.
    const auto first = std::find_if(values.begin(), values.end(), [](const IniValue& v) {
        return StoredValue(v.value).find_first_of("\r\n") != std::string_view::npos ||
               v.key.find_first_of("\r\n") != std::string::npos;
    });
    return static_cast<std::size_t>(first - values.begin());
}

std::string_view StoredValue(std::string_view value) { return TrimBlanks(value); }

std::string SectionBlock(const std::vector<IniValue>& values, std::size_t count) {
    count = std::min(count, values.size());
    std::size_t size = 1;
    for (std::size_t i = 0; i < count; ++i) size += values[i].key.size() + values[i].value.size() + 2;
    std::string block;
    block.reserve(size);
    for (std::size_t i = 0; i < count; ++i) {
        block += values[i].key;
        block += '=';
        block += StoredValue(values[i].value);
        block += '\0';
    }
    block += '\0';
    return block;
}

std::string LayoutFileText(std::string_view section, const std::vector<IniValue>& values) {
    std::string text = "[";
    text += section;
    text += "]\r\n";
    for (const auto& v : values) {
        text += v.key;
        text += '=';
        text += StoredValue(v.value);
        text += "\r\n";
    }
    return text;
}

std::string ReadProfileString(std::string_view stored, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    const std::string_view value = TrimBlanks(stored);
    const std::size_t room = bufferSize - 1;  // the terminating zero takes one byte
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        // Wine: skip the opening quote, copy what fits, and drop the last byte copied when
        // the rest (closing quote included) was not longer than the buffer.
        const std::string_view rest = value.substr(1);
        std::string out(rest.substr(0, std::min(rest.size(), room)));
        if (bufferSize >= rest.size() && !out.empty()) out.pop_back();
        return out;
    }
    return std::string(value.substr(0, std::min(value.size(), room)));
}

std::optional<std::int32_t> ParseIniInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size()) return {};
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return {};
        }
        magnitude = magnitude * (hex ? 16 : 10) + digit;
        if (magnitude > 0xFFFFFFFFull) return {};
    }
    if (hex) {
        std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }
    const std::int64_t value = negative ? -static_cast<std::int64_t>(magnitude)
                                        : static_cast<std::int64_t>(magnitude);
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        return {};
    }
    return static_cast<std::int32_t>(value);
}

bool IsSettablePosition(IconPosition p) {
    const auto fits = [](std::int32_t v) {
        return v >= std::numeric_limits<std::int16_t>::min() && v <= std::numeric_limits<std::int16_t>::max();
    };
    return fits(p.x) && fits(p.y) && !(p.x == -1 && p.y == -1);
}

std::uint32_t PackItemPosition(IconPosition p) {
    return (static_cast<std::uint32_t>(p.x) & 0xFFFFu) | ((static_cast<std::uint32_t>(p.y) & 0xFFFFu) << 16);
}

SavedLayout ParseLayoutSection(std::string_view section) {
    FirstValue items;
    std::unordered_map<std::int32_t, Slot> slots;
    while (!section.empty()) {
        const std::size_t end = std::min(section.find('\0'), section.size());
        const std::string_view line = section.substr(0, end);
        section.remove_prefix(std::min(end + 1, section.size()));
        if (line.empty()) break;  // the list's closing zero

        const std::size_t eq = line.find('=');
        const std::string_view name = TrimBlanks(line.substr(0, eq));
        std::optional<std::string_view> value;
        if (eq != std::string_view::npos) value = TrimBlanks(line.substr(eq + 1));

        const KeyRef key = Classify(name);
        switch (key.kind) {
            case KeyKind::None: break;
            case KeyKind::Items: items.Offer(value); break;
            case KeyKind::Caption: slots[key.index].caption.Offer(value); break;
            case KeyKind::X: slots[key.index].x.Offer(value); break;
            case KeyKind::Y: slots[key.index].y.Offer(value); break;
        }
    }

    SavedLayout layout;
    layout.items = std::max<std::int32_t>(0, ReadInteger(items).value_or(0));
    for (const auto& [index, slot] : slots) {
        if (index >= layout.items) continue;
        SavedEntry entry;
        entry.index = index;
        if (slot.caption.value) entry.caption = ReadProfileString(*slot.caption.value);
        const auto x = ReadInteger(slot.x);
        const auto y = ReadInteger(slot.y);
        if (x && y && IsSettablePosition({*x, *y})) entry.position = IconPosition{*x, *y};
        layout.entries.push_back(std::move(entry));
    }
    std::sort(layout.entries.begin(), layout.entries.end(),
              [](const SavedEntry& a, const SavedEntry& b) { return a.index < b.index; });
    return layout;
}

std::vector<std::optional<IconPosition>> RestoredPositions(const SavedLayout& layout,
                                                           const std::vector<std::string>& captions) {
    // Each entry with a caption moves every icon of that caption, so an icon ends at the
    // last (highest n) such entry that has a position.
    struct Last {
        std::int32_t index;
        IconPosition position;
    };
    std::unordered_map<std::string_view, Last> last;
    last.reserve(layout.entries.size());
    for (const auto& entry : layout.entries) {
        if (!entry.position) continue;
        const auto [it, added] = last.try_emplace(entry.caption, Last{entry.index, *entry.position});
        if (!added && entry.index > it->second.index) it->second = {entry.index, *entry.position};
    }
    std::vector<std::optional<IconPosition>> targets(captions.size());
    for (std::size_t i = 0; i < captions.size(); ++i) {
        if (const auto it = last.find(captions[i]); it != last.end()) targets[i] = it->second.position;
    }
    return targets;
}

}  // namespace vexlo::shell
