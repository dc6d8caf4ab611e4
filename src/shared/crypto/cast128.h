#pragma once
// CAST-128 block cipher (RFC 2144): key schedule and encryption. Only encryption is
// needed, because cipher feedback mode runs the block cipher forwards both ways.
#include <cstddef>
#include <cstdint>

namespace vexlo::crypto {

class Cast128 {
public:
    static constexpr std::size_t kBlockSize = 8;
    static constexpr std::size_t kMinKeySize = 5;   // 40 bits
    static constexpr std::size_t kMaxKeySize = 16;  // 128 bits

    // Keys of 5 to 16 bytes; up to 10 bytes (80 bits) the cipher runs 12 rounds,
    // above that 16. Throws vexlo::Error for any other length.
    Cast128(const std::uint8_t* key, std::size_t keySize);
    ~Cast128();  // wipes the key schedule
    Cast128(const Cast128&) = delete;
    Cast128& operator=(const Cast128&) = delete;

    void EncryptBlock(const std::uint8_t in[kBlockSize], std::uint8_t out[kBlockSize]) const;

    // Encrypts N independent blocks in place, each given as its big-endian halves
    // (left[i] = bytes 0..3, right[i] = bytes 4..7). The N blocks go through each round
    // together, so the processor overlaps their dependency chains. Available for N = 1
    // and 4, the widths the cipher mode uses.
    template <std::size_t N>
    void EncryptWords(std::uint32_t (&left)[N], std::uint32_t (&right)[N]) const;

    int Rounds() const { return rounds_; }

private:
    std::uint32_t km_[16];  // masking subkeys
    std::uint32_t kr_[16];  // rotation subkeys, 0..31
    int rounds_;
};

}  // namespace vexlo::crypto
