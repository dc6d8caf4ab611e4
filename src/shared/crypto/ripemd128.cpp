#include "shared/crypto/ripemd128.h"

#include <cstring>

#include "shared/crypto/secure_wipe.h"

namespace vexlo::crypto {
namespace {

inline std::uint32_t Rotl(std::uint32_t v, unsigned r) { return (v << r) | (v >> (32 - r)); }

inline std::uint32_t LoadLe32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// Boolean functions by round; the left line uses them in order 0..3, the right line in
// reverse order.
inline std::uint32_t Fn(int round, std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    switch (round) {
        case 0: return x ^ y ^ z;
        case 1: return (x & y) | (~x & z);
        case 2: return (x | ~y) ^ z;
        default: return (x & z) | (y & ~z);
    }
}

constexpr std::uint32_t kLeftK[4] = {0x00000000, 0x5a827999, 0x6ed9eba1, 0x8f1bbcdc};
constexpr std::uint32_t kRightK[4] = {0x50a28be6, 0x5c4dd124, 0x6d703ef3, 0x00000000};

// Message word selection and rotation amounts of the 64 steps of each line.
constexpr std::uint8_t kLeftR[64] = {
    0, 1, 2,  3,  4,  5,  6,  7,  8, 9, 10, 11, 12, 13, 14, 15,
    7, 4, 13, 1,  10, 6,  15, 3,  12, 0, 9,  5,  2,  14, 11, 8,
    3, 10, 14, 4, 9,  15, 8,  1,  2, 7, 0,  6,  13, 11, 5,  12,
    1, 9, 11, 10, 0,  8,  12, 4,  13, 3, 7,  15, 14, 5,  6,  2};
constexpr std::uint8_t kRightR[64] = {
    5,  14, 7,  0, 9, 2,  11, 4,  13, 6,  15, 8,  1,  10, 3, 12,
    6,  11, 3,  7, 0, 13, 5,  10, 14, 15, 8,  12, 4,  9,  1, 2,
    15, 5,  1,  3, 7, 14, 6,  9,  11, 8,  12, 2,  10, 0,  4, 13,
    8,  6,  4,  1, 3, 11, 15, 0,  5,  12, 2,  13, 9,  7,  10, 14};
constexpr std::uint8_t kLeftS[64] = {
    11, 14, 15, 12, 5,  8,  7,  9,  11, 13, 14, 15, 6,  7,  9,  8,
    7,  6,  8,  13, 11, 9,  7,  15, 7,  12, 15, 9,  11, 7,  13, 12,
    11, 13, 6,  7,  14, 9,  13, 15, 14, 8,  13, 6,  5,  12, 7,  5,
    11, 12, 14, 15, 14, 15, 9,  8,  9,  14, 5,  6,  8,  6,  5,  12};
constexpr std::uint8_t kRightS[64] = {
    8,  9,  9,  11, 13, 15, 15, 5,  7,  7,  8,  11, 14, 14, 12, 6,
    9,  13, 15, 7,  12, 8,  9,  11, 7,  7,  12, 7,  6,  15, 13, 11,
    9,  7,  15, 11, 8,  6,  6,  14, 12, 13, 5,  14, 13, 13, 7,  5,
    15, 5,  8,  11, 14, 14, 6,  14, 6,  9,  12, 9,  12, 5,  15, 8};

}  // namespace

Ripemd128::~Ripemd128() {
    SecureWipe(h_, sizeof h_);
    SecureWipe(buffer_, sizeof buffer_);
}

void Ripemd128::Reset() {
    h_[0] = 0x67452301;
    h_[1] = 0xefcdab89;
    h_[2] = 0x98badcfe;
    h_[3] = 0x10325476;
    length_ = 0;
    buffered_ = 0;
}

// Pass phrases are short, so the compression is written from the step tables rather
// than unrolled: clarity over speed here.
void Ripemd128::Compress(const std::uint8_t block[64]) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLe32(block + 4 * i);

    std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3];
    std::uint32_t ar = a, br = b, cr = c, dr = d;
    for (int j = 0; j < 64; ++j) {
        const int round = j / 16;
        std::uint32_t t = Rotl(a + Fn(round, b, c, d) + x[kLeftR[j]] + kLeftK[round], kLeftS[j]);
        a = d;
        d = c;
        c = b;
        b = t;
        t = Rotl(ar + Fn(3 - round, br, cr, dr) + x[kRightR[j]] + kRightK[round], kRightS[j]);
        ar = dr;
        dr = cr;
        cr = br;
        br = t;
    }
    const std::uint32_t t = h_[1] + c + dr;
    h_[1] = h_[2] + d + ar;
    h_[2] = h_[3] + a + br;
    h_[3] = h_[0] + b + cr;
    h_[0] = t;
    SecureWipe(x, sizeof x);
}

void Ripemd128::Update(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    length_ += size;
    if (buffered_ > 0) {
        const std::size_t take = size < 64 - buffered_ ? size : 64 - buffered_;
        std::memcpy(buffer_ + buffered_, p, take);
        buffered_ += take;
        p += take;
        size -= take;
        if (buffered_ < 64) return;
        Compress(buffer_);
        buffered_ = 0;
    }
    for (; size >= 64; p += 64, size -= 64) Compress(p);
    if (size > 0) std::memcpy(buffer_, p, size);
    buffered_ = size;
}

Ripemd128::Digest Ripemd128::Final() {
    // MD4-style padding: 0x80, zeros up to 56 mod 64, then the bit length little-endian.
    const std::uint64_t bits = length_ * 8;
    std::uint8_t tail[72] = {0x80};
    const std::size_t padLength = (buffered_ < 56 ? 56 : 120) - buffered_;
    for (int i = 0; i < 8; ++i) tail[padLength + i] = std::uint8_t(bits >> (8 * i));
    Update(tail, padLength + 8);

    Digest digest;
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k) digest[4 * i + k] = std::uint8_t(h_[i] >> (8 * k));
    SecureWipe(buffer_, sizeof buffer_);
    Reset();
    return digest;
}

Ripemd128::Digest Ripemd128::Hash(std::string_view data) {
    Ripemd128 hash;
    hash.Update(data);
    return hash.Final();
}

}  // namespace vexlo::crypto
