#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace telmira::dsp {

// Bits of an instrument entry's flags byte.
inline constexpr std::uint8_t kFlagLongTerminator = 0x08;       // wti_ISDRUM
inline constexpr std::uint8_t kFlagVelocityToAttackSign = 0x10; // wti_VA_SIGN
inline constexpr std::uint8_t kFlagKeyToDecaySign = 0x20;       // wti_KD_SIGN

// A DLS time of "no time" (absolute timecents x 65536).
inline constexpr std::int32_t kNoTime = std::numeric_limits<std::int32_t>::min();

// Rate byte of a time in raw DLS units: sixteenths of an octave of the per-step envelope
// increment 65.536 x timestep / time, 0..255 (longer times give smaller bytes).
std::uint8_t rateByte(std::int32_t raw, float egTimestepMs);

// Sensitivity byte of a raw DLS value: 64 per octave of time scaling, at most 255. The sign
// goes into the flags.
std::uint8_t sensitivityByte(std::int32_t raw);

// Sustain byte: trunc(percent x 2.56) with 2.56 as a single-precision constant (2.5599999...),
// so 100 % gives 255 and 50 % 127; levels outside 0..100 % are held to 0..255.
std::uint8_t sustainByte(float percent);

// Origin note of an entry: the region's unity note, or unity - offset when its wave was
// pre-transposed (low 8 bits).
std::uint8_t originNote(int unityNote, int noteOffset, bool corrected);

// EG1 of a region's articulation, in raw DLS units (sustain in percent).
struct Envelope {
    std::int32_t attack = kNoTime;
    std::int32_t velocityToAttack = 0;
    std::int32_t decay = kNoTime;
    std::int32_t keyToDecay = 0;
    std::int32_t release = kNoTime;
    float sustainPercent = 100;
};

// The eight bytes every container writes for an instrument entry: flags, sustain, V->A,
// attack, K->D, decay, release, origin note. The sample reference follows in a form that
// depends on the container.
std::array<std::uint8_t, 8> instrumentEntryBytes(const Envelope& eg1, bool longTerminator,
                                                 std::uint8_t origin, float egTimestepMs);

// Where a sample is written: the binary file and the ROM image share one form.
enum class SampleContainer { Binary, AssemblerText };

// The terminator written after a sample's bytes: 3 bytes (0, bits 16..23 and 8..15 of the loop
// value) or 19 (16 marker bytes and the loop value as 24-bit little-endian). The assembler text
// always uses the long form in r101xp mode, with the loop value less 2560.
std::vector<std::uint8_t> sampleTerminator(std::int32_t loopValue, bool longTerminator,
                                           SampleContainer container, bool r101xp);

// Number of samples written: all of them, except that without a loop the trailing zeros are
// dropped.
std::size_t writtenSampleCount(std::span<const std::int8_t> samples, std::int32_t loopValue);

// A sample as it stands in a container: the written samples plus 64 (assembler text in r101xp
// mode: plus 0) as 8-bit values, then the terminator.
std::vector<std::uint8_t> sampleImage(std::span<const std::int8_t> samples, std::int32_t loopValue,
                                      bool longTerminator, SampleContainer container, bool r101xp);

} // namespace telmira::dsp
