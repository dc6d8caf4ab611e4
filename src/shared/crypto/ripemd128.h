#pragma once
// RIPEMD-128 message digest (Dobbertin, Bosselaers, Preneel), 16-byte result.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vexlo::crypto {

class Ripemd128 {
public:
    static constexpr std::size_t kDigestSize = 16;
    using Digest = std::array<std::uint8_t, kDigestSize>;

    Ripemd128() { Reset(); }
    ~Ripemd128();  // wipes the buffered input and the chaining state
    Ripemd128(const Ripemd128&) = delete;
    Ripemd128& operator=(const Ripemd128&) = delete;

    void Reset();
    void Update(const void* data, std::size_t size);
    void Update(std::string_view data) { Update(data.data(), data.size()); }
    // Completes the digest; the object is then reset and may hash a new message.
    Digest Final();

    static Digest Hash(std::string_view data);

private:
    void Compress(const std::uint8_t block[64]);

    std::uint32_t h_[4];
    std::uint64_t length_;  // bytes hashed so far
    std::uint8_t buffer_[64];
    std::size_t buffered_;
};

}  // namespace vexlo::crypto
