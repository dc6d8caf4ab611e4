#include "shared/crypto/base64.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace vexlo::crypto {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Six-bit value of every byte; characters outside the alphabet map to 0.
constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 64; ++i) table[static_cast<std::uint8_t>(kAlphabet[i])] = std::uint8_t(i);
    return table;
}
constexpr std::array<std::uint8_t, 256> kDecode = MakeDecodeTable();

}  // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t n = bytes.size();
    for (; n >= 3; p += 3, n -= 3) {
        const std::uint32_t v = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (n > 0) {
        const std::uint32_t v = std::uint32_t(p[0]) << 16 | (n == 2 ? std::uint32_t(p[1]) << 8 : 0);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += n == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string Base64Decode(std::string_view text) { return Base64DecodePrefix(text, text.size() / 4 * 3); }

std::string Base64DecodePrefix(std::string_view text, std::size_t maxBytes) {
    const std::size_t room = text.size() / 4 * 3;
    if (maxBytes > room) maxBytes = room;
    // A group gives at most three bytes: two spare ones let the last group write whole.
    std::string out(maxBytes + 2, '\0');
    char* o = out.data();
    const char* const end = o + maxBytes;
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    for (std::size_t groups = text.size() / 4; groups > 0 && o < end; --groups, p += 4) {
        const std::uint32_t v = std::uint32_t(kDecode[p[0]]) << 18 |
                                std::uint32_t(kDecode[p[1]]) << 12 |
                                std::uint32_t(kDecode[p[2]]) << 6 | kDecode[p[3]];
        *o++ = static_cast<char>(v >> 16);
        if (p[2] == '=') continue;
        *o++ = static_cast<char>(v >> 8);
        if (p[3] == '=') continue;
        *o++ = static_cast<char>(v);
    }
    out.resize(std::min(static_cast<std::size_t>(o - out.data()), maxBytes));
    return out;
}

}  // namespace vexlo::crypto
