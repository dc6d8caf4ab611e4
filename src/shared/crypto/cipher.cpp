#include "shared/crypto/cipher.h"

#include <cstdint>

#include "shared/crypto/base64.h"
#include "shared/crypto/cast128.h"
#include "shared/crypto/cfb8.h"
#include "shared/crypto/ripemd128.h"
#include "shared/crypto/secure_wipe.h"

namespace vexlo::crypto {
namespace {

std::uint8_t* Bytes(std::string& s) { return reinterpret_cast<std::uint8_t*>(s.data()); }

}  // namespace

PassPhraseKey::PassPhraseKey(std::string_view passPhrase) : PassPhraseKey(Ripemd128::Hash(passPhrase)) {}

PassPhraseKey::PassPhraseKey(Ripemd128::Digest digest) : cast(digest.data(), digest.size()) {
    SecureWipe(digest.data(), digest.size());
    cast.EncryptBlock(iv, iv);  // the IV is the encryption of eight zero bytes
}

PassPhraseKey::~PassPhraseKey() { SecureWipe(iv, sizeof iv); }

std::string DecipherStoredPrefix(const PassPhraseKey& key, std::string_view storedBase64,
                                 std::size_t maxBytes) {
    // CFB-8 deciphers each byte from the cipher bytes before it only, so a prefix of the
    // cipher text gives exactly the same prefix of the plain text.
    std::string cipherText = Base64DecodePrefix(storedBase64, maxBytes);
    std::string plain(cipherText.size(), '\0');
    if (cipherText.empty()) return plain;
    Cfb8Decrypt(key.cast, key.iv, Bytes(cipherText), cipherText.size(), Bytes(plain));
    return plain;
}

std::string DecipherStored(std::string_view passPhrase, std::string_view storedBase64) {
    const PassPhraseKey key(passPhrase);
    return DecipherStoredPrefix(key, storedBase64, storedBase64.size());
}

std::string EncipherToStored(std::string_view passPhrase, std::string_view plain) {
    std::string cipherText(plain.size(), '\0');
    if (!plain.empty()) {
        const PassPhraseKey key(passPhrase);
        Cfb8Encrypt(key.cast, key.iv, reinterpret_cast<const std::uint8_t*>(plain.data()),
                    plain.size(), Bytes(cipherText));
    }
    return Base64Encode(cipherText);
}

}  // namespace vexlo::crypto
