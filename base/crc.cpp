#include "base/crc.h"

#include <array>

namespace telmira {
namespace {

constexpr std::array<std::uint8_t, 256> makeCrc8Table() {
    std::array<std::uint8_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0x8C : crc >> 1;
        t[i] = static_cast<std::uint8_t>(crc);
    }
    return t;
}

constexpr std::array<std::uint16_t, 256> makeCrc16Table() {
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
        t[i] = static_cast<std::uint16_t>(crc);
    }
    return t;
}

constexpr auto kCrc8 = makeCrc8Table();
constexpr auto kCrc16 = makeCrc16Table();

} // namespace

std::uint8_t crc8(std::span<const std::uint8_t> bytes, std::uint8_t initial) {
    std::uint8_t crc = initial;
    for (std::uint8_t b : bytes)
        crc = kCrc8[b ^ crc];
    return crc;
}

std::uint16_t crc16Xmodem(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0;
    for (std::uint8_t b : bytes)
        crc = static_cast<std::uint16_t>((crc << 8) ^ kCrc16[((crc >> 8) ^ b) & 0xFF]);
    return crc;
}

} // namespace telmira
