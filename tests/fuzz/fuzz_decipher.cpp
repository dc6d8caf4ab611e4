// Deciphering stored text must never fail, whatever the registry holds, and the lenient
// decoder must keep its promises. Input: one length byte for the pass phrase (as in the
// shared block's short string), the pass phrase, then the stored text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shared/crypto/base64.h"
#include "shared/crypto/cipher.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool OnlyAlphabet(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '+' || c == '/';
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexlo::crypto;
    if (size == 0) return 0;
    const std::size_t passLength = std::min<std::size_t>(data[0], size - 1);
    const std::string_view passPhrase(reinterpret_cast<const char*>(data + 1), passLength);
    const std::string_view stored(reinterpret_cast<const char*>(data + 1 + passLength),
                                  size - 1 - passLength);

    const std::string cipherText = Base64Decode(stored);
    Check(cipherText.size() <= stored.size() / 4 * 3);

    // Text of alphabet characters only, cut to whole groups, is canonical: it comes back.
    const std::string_view wholeGroups = stored.substr(0, stored.size() / 4 * 4);
    if (OnlyAlphabet(wholeGroups)) Check(Base64Encode(cipherText) == wholeGroups);
    Check(Base64Decode(Base64Encode(cipherText)) == cipherText);

    const std::string plain = DecipherStored(passPhrase, stored);
    Check(plain.size() == cipherText.size());
    // Enciphering what was deciphered must give back the same cipher bytes.
    Check(Base64Decode(EncipherToStored(passPhrase, plain)) == cipherText);
    return 0;
}
