#include "shared/decipher.h"

#include "shared/blocks.h"
#include "shared/crypto/cipher.h"
#include "shared/crypto/secure_wipe.h"

namespace vexlo {

namespace {
// The copy of the pass phrase is wiped however the call ends.
struct PassPhraseCopy {
    ShortString value = PassPhrase();
    ~PassPhraseCopy() { crypto::SecureWipe(&value, sizeof value); }
};
}  // namespace

std::string DecipherText(std::string_view stored) {
    const PassPhraseCopy pass;
    return crypto::DecipherStored(pass.value.View(), stored);
}

}  // namespace vexlo
