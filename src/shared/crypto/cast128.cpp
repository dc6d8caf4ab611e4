#include "shared/crypto/cast128.h"

#include <utility>

#include "shared/crypto/endian.h"
#include "shared/crypto/secure_wipe.h"
#include "shared/error.h"

#if defined(__GNUC__) || defined(__clang__)
// The DLL is built for size; the round code must still be inlined into the unrolled
// rounds, or every round would become a call.
#define VEXLO_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define VEXLO_ALWAYS_INLINE inline
#endif

namespace vexlo::crypto {
namespace {

#include "shared/crypto/cast128_sboxes.inc"

constexpr const std::uint32_t* S1 = kSBox[0];
constexpr const std::uint32_t* S2 = kSBox[1];
constexpr const std::uint32_t* S3 = kSBox[2];
constexpr const std::uint32_t* S4 = kSBox[3];
constexpr const std::uint32_t* S5 = kSBox[4];
constexpr const std::uint32_t* S6 = kSBox[5];
constexpr const std::uint32_t* S7 = kSBox[6];
constexpr const std::uint32_t* S8 = kSBox[7];

VEXLO_ALWAYS_INLINE std::uint32_t Rotl(std::uint32_t v, unsigned r) {
    return (v << r) | (v >> ((32 - r) & 31));  // no undefined shift by 32 when r == 0
}

// The three round function types; I_a is the most significant byte of I.
template <int Type>
VEXLO_ALWAYS_INLINE std::uint32_t F(std::uint32_t d, std::uint32_t km, unsigned kr) {
    if constexpr (Type == 1) {
        const std::uint32_t i = Rotl(km + d, kr);
        return ((S1[i >> 24] ^ S2[(i >> 16) & 0xff]) - S3[(i >> 8) & 0xff]) + S4[i & 0xff];
    } else if constexpr (Type == 2) {
        const std::uint32_t i = Rotl(km ^ d, kr);
        return ((S1[i >> 24] - S2[(i >> 16) & 0xff]) + S3[(i >> 8) & 0xff]) ^ S4[i & 0xff];
    } else {
        const std::uint32_t i = Rotl(km - d, kr);
        return ((S1[i >> 24] + S2[(i >> 16) & 0xff]) ^ S3[(i >> 8) & 0xff]) - S4[i & 0xff];
    }
}

// One round over all N blocks: dst ^= f(src). Rounds alternate the roles of the halves
// instead of swapping them.
template <int Type, std::size_t N, std::size_t... J>
VEXLO_ALWAYS_INLINE void Round(std::uint32_t (&dst)[N], const std::uint32_t (&src)[N],
                               std::uint32_t km, unsigned kr, std::index_sequence<J...>) {
    ((dst[J] ^= F<Type>(src[J], km, kr)), ...);
}

}  // namespace

Cast128::Cast128(const std::uint8_t* key, std::size_t keySize) {
    if (keySize < kMinKeySize || keySize > kMaxKeySize)
        throw Error("CAST-128 key must be 5 to 16 bytes");
    rounds_ = keySize <= 10 ? 12 : 16;

    // Shorter keys are padded on the right with zero bytes to 128 bits.
    std::uint8_t padded[16] = {};
    for (std::size_t i = 0; i < keySize; ++i) padded[i] = key[i];
    std::uint32_t x[4], z[4];
    for (int i = 0; i < 4; ++i) x[i] = LoadBe32(padded + 4 * i);

    // Byte n of the 16-byte values x0..xF and z0..zF, as the key schedule names them.
    auto X = [&x](int n) { return std::uint8_t(x[n >> 2] >> (24 - 8 * (n & 3))); };
    auto Z = [&z](int n) { return std::uint8_t(z[n >> 2] >> (24 - 8 * (n & 3))); };

    // The schedule yields 32 subkeys in two identical passes: the first 16 mask,
    // the last 16 rotate (their low five bits).
    std::uint32_t k[32];
    for (int pass = 0; pass < 2; ++pass) {
        std::uint32_t* K = k + 16 * pass;
        z[0] = x[0] ^ S5[X(0xD)] ^ S6[X(0xF)] ^ S7[X(0xC)] ^ S8[X(0xE)] ^ S7[X(0x8)];
        z[1] = x[2] ^ S5[Z(0x0)] ^ S6[Z(0x2)] ^ S7[Z(0x1)] ^ S8[Z(0x3)] ^ S8[X(0xA)];
        z[2] = x[3] ^ S5[Z(0x7)] ^ S6[Z(0x6)] ^ S7[Z(0x5)] ^ S8[Z(0x4)] ^ S5[X(0x9)];
        z[3] = x[1] ^ S5[Z(0xA)] ^ S6[Z(0x9)] ^ S7[Z(0xB)] ^ S8[Z(0x8)] ^ S6[X(0xB)];
        K[0] = S5[Z(0x8)] ^ S6[Z(0x9)] ^ S7[Z(0x7)] ^ S8[Z(0x6)] ^ S5[Z(0x2)];
        K[1] = S5[Z(0xA)] ^ S6[Z(0xB)] ^ S7[Z(0x5)] ^ S8[Z(0x4)] ^ S6[Z(0x6)];
        K[2] = S5[Z(0xC)] ^ S6[Z(0xD)] ^ S7[Z(0x3)] ^ S8[Z(0x2)] ^ S7[Z(0x9)];
        K[3] = S5[Z(0xE)] ^ S6[Z(0xF)] ^ S7[Z(0x1)] ^ S8[Z(0x0)] ^ S8[Z(0xC)];
        x[0] = z[2] ^ S5[Z(0x5)] ^ S6[Z(0x7)] ^ S7[Z(0x4)] ^ S8[Z(0x6)] ^ S7[Z(0x0)];
        x[1] = z[0] ^ S5[X(0x0)] ^ S6[X(0x2)] ^ S7[X(0x1)] ^ S8[X(0x3)] ^ S8[Z(0x2)];
        x[2] = z[1] ^ S5[X(0x7)] ^ S6[X(0x6)] ^ S7[X(0x5)] ^ S8[X(0x4)] ^ S5[Z(0x1)];
        x[3] = z[3] ^ S5[X(0xA)] ^ S6[X(0x9)] ^ S7[X(0xB)] ^ S8[X(0x8)] ^ S6[Z(0x3)];
        K[4] = S5[X(0x3)] ^ S6[X(0x2)] ^ S7[X(0xC)] ^ S8[X(0xD)] ^ S5[X(0x8)];
        K[5] = S5[X(0x1)] ^ S6[X(0x0)] ^ S7[X(0xE)] ^ S8[X(0xF)] ^ S6[X(0xD)];
        K[6] = S5[X(0x7)] ^ S6[X(0x6)] ^ S7[X(0x8)] ^ S8[X(0x9)] ^ S7[X(0x3)];
        K[7] = S5[X(0x5)] ^ S6[X(0x4)] ^ S7[X(0xA)] ^ S8[X(0xB)] ^ S8[X(0x7)];
        z[0] = x[0] ^ S5[X(0xD)] ^ S6[X(0xF)] ^ S7[X(0xC)] ^ S8[X(0xE)] ^ S7[X(0x8)];
        z[1] = x[2] ^ S5[Z(0x0)] ^ S6[Z(0x2)] ^ S7[Z(0x1)] ^ S8[Z(0x3)] ^ S8[X(0xA)];
        z[2] = x[3] ^ S5[Z(0x7)] ^ S6[Z(0x6)] ^ S7[Z(0x5)] ^ S8[Z(0x4)] ^ S5[X(0x9)];
        z[3] = x[1] ^ S5[Z(0xA)] ^ S6[Z(0x9)] ^ S7[Z(0xB)] ^ S8[Z(0x8)] ^ S6[X(0xB)];
        K[8] = S5[Z(0x3)] ^ S6[Z(0x2)] ^ S7[Z(0xC)] ^ S8[Z(0xD)] ^ S5[Z(0x9)];
        K[9] = S5[Z(0x1)] ^ S6[Z(0x0)] ^ S7[Z(0xE)] ^ S8[Z(0xF)] ^ S6[Z(0xC)];
        K[10] = S5[Z(0x7)] ^ S6[Z(0x6)] ^ S7[Z(0x8)] ^ S8[Z(0x9)] ^ S7[Z(0x2)];
        K[11] = S5[Z(0x5)] ^ S6[Z(0x4)] ^ S7[Z(0xA)] ^ S8[Z(0xB)] ^ S8[Z(0x6)];
        x[0] = z[2] ^ S5[Z(0x5)] ^ S6[Z(0x7)] ^ S7[Z(0x4)] ^ S8[Z(0x6)] ^ S7[Z(0x0)];
        x[1] = z[0] ^ S5[X(0x0)] ^ S6[X(0x2)] ^ S7[X(0x1)] ^ S8[X(0x3)] ^ S8[Z(0x2)];
        x[2] = z[1] ^ S5[X(0x7)] ^ S6[X(0x6)] ^ S7[X(0x5)] ^ S8[X(0x4)] ^ S5[Z(0x1)];
        x[3] = z[3] ^ S5[X(0xA)] ^ S6[X(0x9)] ^ S7[X(0xB)] ^ S8[X(0x8)] ^ S6[Z(0x3)];
        K[12] = S5[X(0x8)] ^ S6[X(0x9)] ^ S7[X(0x7)] ^ S8[X(0x6)] ^ S5[X(0x3)];
        K[13] = S5[X(0xA)] ^ S6[X(0xB)] ^ S7[X(0x5)] ^ S8[X(0x4)] ^ S6[X(0x7)];
        K[14] = S5[X(0xC)] ^ S6[X(0xD)] ^ S7[X(0x3)] ^ S8[X(0x2)] ^ S7[X(0x8)];
        K[15] = S5[X(0xE)] ^ S6[X(0xF)] ^ S7[X(0x1)] ^ S8[X(0x0)] ^ S8[X(0xD)];
    }
    for (int i = 0; i < 16; ++i) {
        km_[i] = k[i];
        kr_[i] = k[16 + i] & 31;
    }
    SecureWipe(padded, sizeof padded);
    SecureWipe(x, sizeof x);
    SecureWipe(z, sizeof z);
    SecureWipe(k, sizeof k);
}

Cast128::~Cast128() {
    SecureWipe(km_, sizeof km_);
    SecureWipe(kr_, sizeof kr_);
}

template <std::size_t N>
void Cast128::EncryptWords(std::uint32_t (&left)[N], std::uint32_t (&right)[N]) const {
    constexpr auto lanes = std::make_index_sequence<N>{};
    std::uint32_t l[N], r[N];
    for (std::size_t j = 0; j < N; ++j) {
        l[j] = left[j];
        r[j] = right[j];
    }
    Round<1>(l, r, km_[0], kr_[0], lanes);
    Round<2>(r, l, km_[1], kr_[1], lanes);
    Round<3>(l, r, km_[2], kr_[2], lanes);
    Round<1>(r, l, km_[3], kr_[3], lanes);
    Round<2>(l, r, km_[4], kr_[4], lanes);
    Round<3>(r, l, km_[5], kr_[5], lanes);
    Round<1>(l, r, km_[6], kr_[6], lanes);
    Round<2>(r, l, km_[7], kr_[7], lanes);
    Round<3>(l, r, km_[8], kr_[8], lanes);
    Round<1>(r, l, km_[9], kr_[9], lanes);
    Round<2>(l, r, km_[10], kr_[10], lanes);
    Round<3>(r, l, km_[11], kr_[11], lanes);
    if (rounds_ == 16) {
        Round<1>(l, r, km_[12], kr_[12], lanes);
        Round<2>(r, l, km_[13], kr_[13], lanes);
        Round<3>(l, r, km_[14], kr_[14], lanes);
        Round<1>(r, l, km_[15], kr_[15], lanes);
    }
    // After an even number of rounds l and r hold L and R; the cipher text is (R, L).
    for (std::size_t j = 0; j < N; ++j) {
        left[j] = r[j];
        right[j] = l[j];
    }
}

// Only the widths in use: the linker keeps every explicit instantiation in the DLL.
template void Cast128::EncryptWords<1>(std::uint32_t (&)[1], std::uint32_t (&)[1]) const;
template void Cast128::EncryptWords<4>(std::uint32_t (&)[4], std::uint32_t (&)[4]) const;

void Cast128::EncryptBlock(const std::uint8_t in[kBlockSize], std::uint8_t out[kBlockSize]) const {
    std::uint32_t l[1] = {LoadBe32(in)};
    std::uint32_t r[1] = {LoadBe32(in + 4)};
    EncryptWords(l, r);
    StoreBe32(out, l[0]);
    StoreBe32(out + 4, r[0]);
}

}  // namespace vexlo::crypto
