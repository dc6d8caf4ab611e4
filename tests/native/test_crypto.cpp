// Password cipher: CAST-128, RIPEMD-128, Base64 and the stored form of records.
// Needs Crypto++ (libcrypto++-dev) as an independent oracle; the link is set up by
// tests/native/crypto_oracle.cmake. Crypto++ is test-only and never part of the DLL.
#include <gtest/gtest.h>

#include <cryptopp/algparam.h>
#include <cryptopp/argnames.h>
#include <cryptopp/cast.h>
#include <cryptopp/modes.h>
#include <cryptopp/ripemd.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "shared/crypto/base64.h"
#include "shared/crypto/cast128.h"
#include "shared/crypto/cfb8.h"
#include "shared/crypto/cipher.h"
#include "shared/crypto/ripemd128.h"
#include "shared/error.h"

namespace {

using namespace vexlo::crypto;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kRecordSize = 4168;

Bytes FromHex(const char* hex) {
    Bytes out;
    for (std::size_t i = 0; hex[i] && hex[i + 1]; i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    return out;
}

std::string ToHex(const std::uint8_t* p, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

Bytes RandomBytes(std::mt19937& rng, std::size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

std::string AsText(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::string Repeat(const std::string& s, int times) {
    std::string out;
    while (times-- > 0) out += s;
    return out;
}

// ---- CAST-128 ----------------------------------------------------------------------

TEST(Cast128, Rfc2144SingleBlockVectors) {
    const Bytes key = FromHex("0123456712345678234567893456789a");
    const Bytes plain = FromHex("0123456789abcdef");
    const struct { std::size_t keySize; int rounds; const char* cipher; } cases[] = {
        {16, 16, "238b4fe5847e44b2"},  // 128-bit key
        {10, 12, "eb6a711a2c02271b"},  // 80-bit key
        {5, 12, "7ac816d16e9b302e"},   // 40-bit key
    };
    for (const auto& c : cases) {
        const Cast128 cast(key.data(), c.keySize);
        std::uint8_t out[8];
        cast.EncryptBlock(plain.data(), out);
        EXPECT_EQ(ToHex(out, 8), c.cipher) << c.keySize << "-byte key";
        EXPECT_EQ(cast.Rounds(), c.rounds) << c.keySize << "-byte key";
    }
}

// RFC 2144 B.2: a million rounds of each half keying the other; every subkey and
// S-box entry feeds into the result.
TEST(Cast128, Rfc2144MaintenanceTest) {
    Bytes a = FromHex("0123456712345678234567893456789a");
    Bytes b = a;
    for (int i = 0; i < 1000000; ++i) {
        const Cast128 byB(b.data(), 16);
        byB.EncryptBlock(&a[0], &a[0]);
        byB.EncryptBlock(&a[8], &a[8]);
        const Cast128 byA(a.data(), 16);
        byA.EncryptBlock(&b[0], &b[0]);
        byA.EncryptBlock(&b[8], &b[8]);
    }
    EXPECT_EQ(ToHex(a.data(), 16), "eea9d0a249fd3ba6b3436fb89d6dca92");
    EXPECT_EQ(ToHex(b.data(), 16), "b2c95eb00c31ad7180ac05b8e83d696e");
}

TEST(Cast128, EveryKeyLengthMatchesOracleAndOthersAreRejected) {
    std::mt19937 rng(2144);
    for (std::size_t keySize = 5; keySize <= 16; ++keySize) {
        for (int trial = 0; trial < 20; ++trial) {
            const Bytes key = RandomBytes(rng, keySize);
            const Bytes block = RandomBytes(rng, 8);
            std::uint8_t ours[8], theirs[8];
            Cast128(key.data(), keySize).EncryptBlock(block.data(), ours);
            CryptoPP::CAST128::Encryption(key.data(), keySize).ProcessBlock(block.data(), theirs);
            ASSERT_EQ(ToHex(ours, 8), ToHex(theirs, 8)) << keySize << "-byte key";
        }
    }
    const std::uint8_t key[17] = {};
    EXPECT_THROW(Cast128(key, 4), vexlo::Error);
    EXPECT_THROW(Cast128(key, 17), vexlo::Error);
}

// Interleaved lanes must not leak into one another.
TEST(Cast128, InterleavedLanesEqualSingleBlocks) {
    std::mt19937 rng(8);
    const Bytes key = RandomBytes(rng, 16);
    const Cast128 cast(key.data(), key.size());
    std::uint32_t l[4], r[4], l1[4], r1[4];
    for (int j = 0; j < 4; ++j) {
        l1[j] = l[j] = static_cast<std::uint32_t>(rng());
        r1[j] = r[j] = static_cast<std::uint32_t>(rng());
    }
    cast.EncryptWords(l, r);
    for (int j = 0; j < 4; ++j) {
        std::uint32_t one[1] = {l1[j]}, two[1] = {r1[j]};
        cast.EncryptWords(one, two);
        EXPECT_EQ(l[j], one[0]) << "lane " << j;
        EXPECT_EQ(r[j], two[0]) << "lane " << j;
    }
}

// ---- RIPEMD-128 --------------------------------------------------------------------

TEST(Ripemd128, PublishedVectors) {
    const struct { std::string message; const char* digest; } cases[] = {
        {"", "cdf26213a150dc3ecb610f18f6b38b46"},
        {"a", "86be7afa339d0fc7cfc785e72f578d33"},
        {"abc", "c14a12199c66e4ba84636b0f69144c77"},
        {"message digest", "9e327b3d6e523062afc1132d7df9d1b8"},
        {"abcdefghijklmnopqrstuvwxyz", "fd2aa607f71dc8f510714922b371834e"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "a1aa0689d0fafa2ddc22e88b49133a06"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d1e959eb179c911faea4624c60c5c702"},
        {Repeat("1234567890", 8), "3f45ef194732c2dbb2c4a2c769795fa3"},
        {Repeat("a", 1000000), "4a7f5723f954eba1216c9d8f6320431f"},
    };
    for (const auto& c : cases) {
        const auto d = Ripemd128::Hash(c.message);
        EXPECT_EQ(ToHex(d.data(), d.size()), c.digest) << "length " << c.message.size();
    }
}

// Lengths around the 55/56/64-byte padding edges, fed in uneven pieces.
TEST(Ripemd128, StreamingMatchesOracleAcrossPaddingEdges) {
    std::mt19937 rng(128);
    Ripemd128 hash;  // reused: Final must leave it ready for the next message
    for (std::size_t n = 0; n <= 200; ++n) {
        const Bytes msg = RandomBytes(rng, n);
        std::size_t pos = 0;
        while (pos < n) {
            const std::size_t piece = std::min<std::size_t>(n - pos, rng() % 70);
            hash.Update(msg.data() + pos, piece);
            pos += piece;
        }
        const auto ours = hash.Final();
        std::uint8_t theirs[16];
        CryptoPP::RIPEMD128().CalculateDigest(theirs, msg.data(), n);
        ASSERT_EQ(ToHex(ours.data(), 16), ToHex(theirs, 16)) << "length " << n;
    }
}

// ---- Base64 ------------------------------------------------------------------------

TEST(Base64, Rfc4648Vectors) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},     {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(Base64Encode(plain), encoded);
        EXPECT_EQ(Base64Decode(encoded), plain);
    }
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(Base64Decode(Base64Encode(all)), all);
    EXPECT_EQ(Base64Encode("\xfb\xff\xbf").substr(0, 4), "+/+/");
}

TEST(Base64, DecoderCountsWholeGroupsOnly) {
    EXPECT_EQ(Base64Decode(""), "");
    EXPECT_EQ(Base64Decode("Zm"), "");
    EXPECT_EQ(Base64Decode("Zm9"), "");
    EXPECT_EQ(Base64Decode("Zm9vY"), "foo");
    EXPECT_EQ(Base64Decode("Zm9vYm"), "foo");
    EXPECT_EQ(Base64Decode("Zm9vYmF"), "foo");
    EXPECT_EQ(Base64Decode("Zm9vYmFy="), "foobar");
}

TEST(Base64, DecoderPaddingRules) {
    // A padded group does not end the text: the next group's bytes follow.
    EXPECT_EQ(Base64Decode("Zg==Zm8=Zm9v"), "ffofoo");
    // The third character decides "one byte", whatever the fourth is.
    EXPECT_EQ(Base64Decode("Zg=v"), "f");
    EXPECT_EQ(Base64Decode("Zm8="), "fo");
    // "=" in the first two places is no padding marker, just an outside character.
    EXPECT_EQ(Base64Decode("=A=="), Base64Decode("AA=="));
}

TEST(Base64, DecoderTreatsOutsideCharactersAsZero) {
    EXPECT_EQ(Base64Decode("Z!9v"), Base64Decode("ZA9v"));
    EXPECT_EQ(Base64Decode(std::string("\x00\xff\n-", 4)), std::string(3, '\0'));
    EXPECT_EQ(Base64Decode(std::string(8, '\x80')).size(), 6u);
}

// ---- CFB-8 and the stored form -----------------------------------------------------

struct Oracle {
    std::uint8_t key[16];
    std::uint8_t iv[8] = {};

    explicit Oracle(const std::string& passPhrase) {
        CryptoPP::RIPEMD128().CalculateDigest(
            key, reinterpret_cast<const std::uint8_t*>(passPhrase.data()), passPhrase.size());
        CryptoPP::CAST128::Encryption(key, sizeof key).ProcessBlock(iv);
    }

    template <typename Mode>
    static Bytes Run(const Bytes& key, const std::uint8_t* iv, const Bytes& in) {
        Mode mode;
        mode.SetKey(key.data(), key.size(),
                    CryptoPP::MakeParameters(CryptoPP::Name::IV(),
                                             CryptoPP::ConstByteArrayParameter(iv, 8, false))(
                        CryptoPP::Name::FeedbackSize(), 1));
        Bytes out(in.size());
        if (!in.empty()) mode.ProcessData(out.data(), in.data(), in.size());
        return out;
    }
};

using OracleEncryption = CryptoPP::CFB_Mode<CryptoPP::CAST128>::Encryption;
using OracleDecryption = CryptoPP::CFB_Mode<CryptoPP::CAST128>::Decryption;

// Lengths below, at and above the 8-byte head and around the interleaved groups.
TEST(Cfb8, MatchesOracleForAnyKeyIvAndLength) {
    std::mt19937 rng(1994);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 40; ++n) lengths.push_back(n);
    lengths.push_back(kRecordSize);
    for (std::size_t n : lengths) {
        const Bytes key = RandomBytes(rng, 5 + rng() % 12);
        const Bytes iv = RandomBytes(rng, 8);
        const Bytes plain = RandomBytes(rng, n);
        const Cast128 cast(key.data(), key.size());

        Bytes cipher(n), back(n);
        Cfb8Encrypt(cast, iv.data(), plain.data(), n, cipher.data());
        ASSERT_EQ(cipher, Oracle::Run<OracleEncryption>(key, iv.data(), plain)) << "length " << n;
        Cfb8Decrypt(cast, iv.data(), cipher.data(), n, back.data());
        ASSERT_EQ(back, plain) << "length " << n;

        const Bytes noise = RandomBytes(rng, n);  // decryption of arbitrary bytes too
        Cfb8Decrypt(cast, iv.data(), noise.data(), n, back.data());
        ASSERT_EQ(back, Oracle::Run<OracleDecryption>(key, iv.data(), noise)) << "length " << n;
    }
}

TEST(StoredText, KnownAnswers) {
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(EncipherToStored("Vexlo", fox),
              "ZkMWHYjGi/moImTeD/amAWi/DF+jLGncggvta+dAG8Mlh0d2PqZp++qz3w==");
    EXPECT_EQ(EncipherToStored("", fox),
              "QAK6uY++WsMUajKV5eet4ifPDiV9ykcEPLUczkdD7cUMkFbRgzVQOe7cWg==");
    EXPECT_EQ(DecipherStored("Vexlo", "ZkMWHYjGi/moImTeD/amAWi/DF+jLGncggvta+dAG8Mlh0d2PqZp++qz3w=="),
              fox);
    EXPECT_EQ(EncipherToStored("pass phrase", "A"), "ag==");
    EXPECT_EQ(EncipherToStored("pass phrase", "AB"), "amA=");
    EXPECT_EQ(EncipherToStored("pass phrase", ""), "");
}

TEST(StoredText, WholeRecordsRoundTripAndMatchOracle) {
    std::mt19937 rng(4168);
    const std::string passPhrases[] = {"", "x", "correct horse battery staple",
                                       std::string(255, '\xe9')};  // empty is a valid pass phrase
    for (const std::string& passPhrase : passPhrases) {
        const Bytes record = RandomBytes(rng, kRecordSize);
        const std::string stored = EncipherToStored(passPhrase, AsText(record));
        EXPECT_EQ(stored.size(), (kRecordSize + 2) / 3 * 4);
        EXPECT_EQ(DecipherStored(passPhrase, stored), AsText(record));

        const Oracle oracle(passPhrase);
        const Bytes key(oracle.key, oracle.key + 16);
        const Bytes cipher = Oracle::Run<OracleEncryption>(key, oracle.iv, record);
        EXPECT_EQ(Base64Decode(stored), AsText(cipher)) << "pass phrase length " << passPhrase.size();
    }
}

TEST(StoredText, DecipheringIsLenientAndNeverFails) {
    const std::string stored = EncipherToStored("pw", "0123456789");
    EXPECT_EQ(DecipherStored("pw", ""), "");
    EXPECT_EQ(DecipherStored("pw", "ag"), "");
    EXPECT_EQ(DecipherStored("pw", stored + "xyz"), "0123456789");  // trailing chars ignored
    // A wrong pass phrase cannot be noticed: wrong bytes, right length.
    const std::string wrong = DecipherStored("pW", stored);
    EXPECT_EQ(wrong.size(), 10u);
    EXPECT_NE(wrong, "0123456789");
    // No state carries over between calls.
    EXPECT_EQ(DecipherStored("pw", stored), DecipherStored("pw", stored));
}

}  // namespace
