#pragma once
// The stored form of enciphered desktop records: Base64 of the CFB-8 cipher text under
// CAST-128, with key = RIPEMD-128(pass phrase) and IV = E_key(eight zero bytes).
// Each call starts from the IV: stored texts decipher independently of one another.
#include <string>
#include <string_view>

namespace vexlo::crypto {

// Decodes the Base64 text (leniently, see Base64Decode) and deciphers it. A wrong pass
// phrase cannot be detected: it gives wrong bytes of the right length. Only throws
// std::bad_alloc.
std::string DecipherStored(std::string_view passPhrase, std::string_view storedBase64);

// Forms the stored text of `plain`; what the main program writes into the registry.
std::string EncipherToStored(std::string_view passPhrase, std::string_view plain);

}  // namespace vexlo::crypto
