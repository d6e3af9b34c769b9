#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace telmira {

// CRC-8 of the phone link: reflected polynomial 0x8C (Dallas/Maxim 1-Wire), table-driven as
// crc := T[byte xor crc], no final inversion. The link starts it at 0x5A.
std::uint8_t crc8(std::span<const std::uint8_t> bytes, std::uint8_t initial);

// CRC-16 of ROM images: polynomial 0x1021, initial value 0, no reflection, no final XOR (XMODEM).
std::uint16_t crc16Xmodem(std::span<const std::uint8_t> bytes);

} // namespace telmira
