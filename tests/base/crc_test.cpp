#include "base/crc.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {
std::span<const std::uint8_t> bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}
} // namespace

TEST(Crc, Crc8MatchesTheMaximCheckValue) {
    // The standard check value of CRC-8/MAXIM ("123456789", initial 0) is 0xA1.
    EXPECT_EQ(telmira::crc8(bytes("123456789"), 0x00), 0xA1);
    EXPECT_EQ(telmira::crc8(bytes(""), 0x5A), 0x5A);
}

TEST(Crc, Crc8IsChainedThroughTheInitialValue) {
    const std::uint8_t a = telmira::crc8(bytes("12345"), 0x5A);
    EXPECT_EQ(telmira::crc8(bytes("6789"), a), telmira::crc8(bytes("123456789"), 0x5A));
}

TEST(Crc, Crc16XmodemMatchesItsCheckValue) {
    EXPECT_EQ(telmira::crc16Xmodem(bytes("123456789")), 0x31C3);
    EXPECT_EQ(telmira::crc16Xmodem(bytes("")), 0x0000);
}
