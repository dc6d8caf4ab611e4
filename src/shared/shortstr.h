#pragma once
// Short strings: a length byte followed by up to 255 bytes of ANSI text, 256 bytes in all.
// They cross the exported interface, the shared blocks and the stored records.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexlo {

struct ShortString {
    static constexpr std::size_t kMaxLength = 255;

    std::uint8_t length = 0;
    std::array<char, kMaxLength> text{};

    // Text longer than 255 bytes is cut, as every writer of a short string must do.
    static ShortString From(std::string_view s);
    // Reads a caller's buffer; null reads as the empty string.
    static ShortString Read(const void* raw);

    std::string_view View() const { return {text.data(), length}; }
    std::string Str() const { return std::string(View()); }
    // Writes length byte and text (at most 256 bytes) into a caller's buffer.
    void WriteTo(void* raw) const;
};
static_assert(sizeof(ShortString) == 256, "a short string occupies exactly 256 bytes");
static_assert(alignof(ShortString) == 1, "short strings are embedded in packed records");

}  // namespace vexlo
