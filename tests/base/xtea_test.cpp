#include "base/xtea.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using telmira::XteaBlock;
using telmira::XteaKey;

std::uint32_t word(const std::string& hex, std::size_t index) {
    return static_cast<std::uint32_t>(std::stoul(hex.substr(index * 8, 8), nullptr, 16));
}

// The published XTEA vectors give key and blocks as byte strings; the words are big-endian.
struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
};

const Vector kVectors[] = {
    {"000102030405060708090a0b0c0d0e0f", "4142434445464748", "497df3d072612cb5"},
    {"000102030405060708090a0b0c0d0e0f", "4141414141414141", "e78f2d13744341d8"},
    {"000102030405060708090a0b0c0d0e0f", "5a5b6e278948d77f", "4141414141414141"},
    {"00000000000000000000000000000000", "4142434445464748", "a0390589f8b8efa5"},
    {"00000000000000000000000000000000", "4141414141414141", "ed23375a821a8c2d"},
    {"00000000000000000000000000000000", "70e1225d6e4e7655", "4141414141414141"},
};

} // namespace

TEST(Xtea, MatchesThePublishedVectorsBothWays) {
    for (const Vector& v : kVectors) {
        const XteaKey key = {word(v.key, 0), word(v.key, 1), word(v.key, 2), word(v.key, 3)};
        const XteaBlock plain = {word(v.plain, 0), word(v.plain, 1)};
        const XteaBlock cipher = {word(v.cipher, 0), word(v.cipher, 1)};
        EXPECT_EQ(telmira::xteaEncipher(plain, key), cipher) << v.key << " " << v.plain;
        EXPECT_EQ(telmira::xteaDecipher(cipher, key), plain) << v.key << " " << v.cipher;
    }
}
