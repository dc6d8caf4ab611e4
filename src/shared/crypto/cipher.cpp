#include "shared/crypto/cipher.h"

#include <cstdint>

#include "shared/crypto/base64.h"
#include "shared/crypto/cast128.h"
#include "shared/crypto/cfb8.h"
#include "shared/crypto/ripemd128.h"
#include "shared/crypto/secure_wipe.h"

namespace vexlo::crypto {
namespace {

// Key schedule and IV derived from a pass phrase; both are wiped when it goes.
class PassPhraseKey {
public:
    explicit PassPhraseKey(std::string_view passPhrase)
        : PassPhraseKey(Ripemd128::Hash(passPhrase)) {}
    ~PassPhraseKey() { SecureWipe(iv, sizeof iv); }
    PassPhraseKey(const PassPhraseKey&) = delete;
    PassPhraseKey& operator=(const PassPhraseKey&) = delete;

    Cast128 cast;
    std::uint8_t iv[Cast128::kBlockSize] = {};

private:
    explicit PassPhraseKey(Ripemd128::Digest digest) : cast(digest.data(), digest.size()) {
        SecureWipe(digest.data(), digest.size());
        cast.EncryptBlock(iv, iv);  // the IV is the encryption of eight zero bytes
    }
};

std::uint8_t* Bytes(std::string& s) { return reinterpret_cast<std::uint8_t*>(s.data()); }

}  // namespace

std::string DecipherStored(std::string_view passPhrase, std::string_view storedBase64) {
    std::string cipherText = Base64Decode(storedBase64);
    std::string plain(cipherText.size(), '\0');
    if (cipherText.empty()) return plain;
    const PassPhraseKey key(passPhrase);
    Cfb8Decrypt(key.cast, key.iv, Bytes(cipherText), cipherText.size(), Bytes(plain));
    return plain;
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
