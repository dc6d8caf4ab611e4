#pragma once
// Base64 with the RFC 4648 alphabet, as used for enciphered records in the registry.
#include <cstddef>
#include <string>
#include <string_view>

namespace vexlo::crypto {

// Standard encoding with "=" padding and no line breaks.
std::string Base64Encode(std::string_view bytes);

// The stored records' decoder, deliberately lenient so that it never fails:
// - only whole groups of four characters count; 1 to 3 trailing characters are ignored;
// - a group gives one byte when its third character is "=", two when only its fourth is
//   "=", else three; such a short group does not end decoding, the next group follows;
// - any other character outside the alphabet (including "=" in the first two places)
//   counts as value 0.
// The result has at most (text.size() / 4) * 3 bytes.
std::string Base64Decode(std::string_view text);
// The first min(maxBytes, size) bytes of Base64Decode(text), decoding no further groups.
std::string Base64DecodePrefix(std::string_view text, std::size_t maxBytes);

}  // namespace vexlo::crypto
