#pragma once

#include "tools/mkbank/bankmodel.h"

#include <cstdint>
#include <vector>

namespace telmira::mkbank {

// Writes a bank as a DLS Level 1 file: colh, vers, lins (each instrument with insh, its regions
// with rgnh, wsmp, wlnk and a region-level art1, and its INAM), ptbl, wvpl (each wave with fmt,
// wsmp, data and INAM) and the collection's INFO. Waves are 16-bit mono PCM. The same bank gives
// the same bytes.
std::vector<std::uint8_t> writeDls(const Bank& bank);

// DLS Level 1 connection-block values the writer uses (and the checks read back).
namespace dls {
inline constexpr std::uint16_t kSrcNone = 0x0000;
inline constexpr std::uint16_t kSrcLfo = 0x0001;
inline constexpr std::uint16_t kSrcEg2 = 0x0005;
inline constexpr std::uint16_t kDstPitch = 0x0003;
inline constexpr std::uint16_t kDstLfoFrequency = 0x0104;
inline constexpr std::uint16_t kDstLfoStartDelay = 0x0105;
inline constexpr std::uint16_t kDstEg1Attack = 0x0206;
inline constexpr std::uint16_t kDstEg1Decay = 0x0207;
inline constexpr std::uint16_t kDstEg1Release = 0x0209;
inline constexpr std::uint16_t kDstEg1Sustain = 0x020A;
inline constexpr std::uint16_t kDstEg2Attack = 0x030A;
inline constexpr std::uint16_t kDstEg2Decay = 0x030B;
inline constexpr std::uint16_t kDstEg2Release = 0x030D;
inline constexpr std::uint16_t kDstEg2Sustain = 0x030E;
inline constexpr std::uint32_t kDrumBankFlag = 0x80000000u;

// Time in seconds as absolute timecents × 65536; 0 s (and anything under 1 ms) is "no time".
std::int32_t timeScale(double seconds);
// Level in percent as 0.1 % × 65536.
std::int32_t percentScale(double percent);
// Frequency in Hz as absolute pitch cents × 65536.
std::int32_t frequencyScale(double hz);
// Pitch depth in cents × 65536.
std::int32_t centsScale(double cents);
} // namespace dls

} // namespace telmira::mkbank
