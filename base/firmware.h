#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// Constants of the phone firmware family. Every tool that reads or writes ROM images, and the
// compiler's filter database, takes them from here.
namespace telmira::firmware {

// The control-structure pointer is stored disguised: XOR with the 8-bit mask, offset by 16 bits.
inline constexpr std::uint8_t kControlPointerMask = 0xA7;
inline constexpr std::uint16_t kControlPointerOffset = 0x3C5E;

// Built-in data key K0..K3, used when a project carries no key of its own.
inline constexpr std::array<std::uint32_t, 4> kDefaultDataKey = {0x6B1F2C3D, 0x0A4E5F60, 0x91827364,
                                                                 0x55AA33CC};

// Seed of the splash-text chaining.
inline constexpr std::uint8_t kSplashSeed = 0x5D;

// Triple DES key (24 bytes) of the compiler's precompiled filter database.
inline constexpr std::string_view kPrecompiledDatabaseKey = "Telmira-PDB-key-2026-v01";
static_assert(kPrecompiledDatabaseKey.size() == 24);

} // namespace telmira::firmware
