#pragma once
// 8-bit cipher feedback (CFB-8) over CAST-128: each byte is XORed with the first byte of
// the encryption of an 8-byte shift register, which then takes in that cipher byte.
#include <cstddef>
#include <cstdint>

#include "shared/crypto/cast128.h"

namespace vexlo::crypto {

// Both functions process n bytes from `in` to `out`; the buffers must not overlap.
// `iv` is the first register content.
void Cfb8Encrypt(const Cast128& cipher, const std::uint8_t iv[Cast128::kBlockSize],
                 const std::uint8_t* in, std::size_t n, std::uint8_t* out);
void Cfb8Decrypt(const Cast128& cipher, const std::uint8_t iv[Cast128::kBlockSize],
                 const std::uint8_t* in, std::size_t n, std::uint8_t* out);

}  // namespace vexlo::crypto
