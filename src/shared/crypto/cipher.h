#pragma once
// The stored form of enciphered desktop records: Base64 of the CFB-8 cipher text under
// CAST-128, with key = RIPEMD-128(pass phrase) and IV = E_key(eight zero bytes).
// Each call starts from the IV: stored texts decipher independently of one another.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "shared/crypto/cast128.h"
#include "shared/crypto/ripemd128.h"

namespace vexlo::crypto {

// Key schedule and IV derived from a pass phrase; both are wiped when it goes. A reader
// of many stored texts derives it once.
class PassPhraseKey {
public:
    explicit PassPhraseKey(std::string_view passPhrase);
    ~PassPhraseKey();
    PassPhraseKey(const PassPhraseKey&) = delete;
    PassPhraseKey& operator=(const PassPhraseKey&) = delete;

    Cast128 cast;
    std::uint8_t iv[Cast128::kBlockSize] = {};

private:
    explicit PassPhraseKey(Ripemd128::Digest digest);
};

// The first min(maxBytes, size) bytes of what DecipherStored gives under the key's pass
// phrase, with only as much of the text decoded and deciphered as they need.
std::string DecipherStoredPrefix(const PassPhraseKey& key, std::string_view storedBase64,
                                 std::size_t maxBytes);

// Decodes the Base64 text (leniently, see Base64Decode) and deciphers it. A wrong pass
// phrase cannot be detected: it gives wrong bytes of the right length. Only throws
// std::bad_alloc.
std::string DecipherStored(std::string_view passPhrase, std::string_view storedBase64);

// Forms the stored text of `plain`; what the main program writes into the registry.
std::string EncipherToStored(std::string_view passPhrase, std::string_view plain);

}  // namespace vexlo::crypto
