#include "compiler/dsp/instrument_entry.h"

#include <cmath>
#include <cstdlib>

namespace telmira::dsp {
namespace {

// Raw DLS units per octave: timecents x 65536, 1200 cents to the octave.
constexpr double kRawPerOctave = 65536.0 * 1200.0;

constexpr std::array<std::uint8_t, 16> kBinaryMarker = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x0F, 0x0E, 0x0D, 0x0C, 0x0B, 0x0A, 0x09};
constexpr std::array<std::uint8_t, 16> kAssemblerMarker = {
    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};

// In r101xp mode the assembler text holds the loop value less ten samples.
constexpr std::int32_t kR101xpLoopShift = 2560;

} // namespace

std::uint8_t rateByte(std::int32_t raw, float egTimestepMs) {
    const float e = std::log2(egTimestepMs * 65.536f);
    const float b = 16.0f * (e - float(raw) / float(kRawPerOctave));
    if (!(b >= 0)) {
        return 0;
    }
    if (b >= 255) {
        return 255;
    }
    return std::uint8_t(std::fmin(std::trunc(b + 0.5f), 255.0f));
}

std::uint8_t sensitivityByte(std::int32_t raw) {
    const double x = double(std::llabs(raw)) * 64 / kRawPerOctave;
    return std::uint8_t(std::fmin(255.0, std::trunc(x + 0.5)));
}

std::uint8_t sustainByte(float percent) {
    // The single-precision constant 2.5599999..., multiplied in double precision: a float
    // product would round 50 % x 2.5599999 = 127.9999971 up to 128.
    const double level = std::trunc(double(percent) * double(2.56f));
    if (!(level > 0)) {
        return 0;
    }
    return std::uint8_t(std::fmin(level, 255.0));
}

std::uint8_t originNote(int unityNote, int noteOffset, bool corrected) {
    return std::uint8_t((corrected ? unityNote - noteOffset : unityNote) & 0xFF);
}

std::array<std::uint8_t, 8> instrumentEntryBytes(const Envelope& eg1, bool longTerminator,
                                                 std::uint8_t origin, float egTimestepMs) {
    std::uint8_t flags = 0;
    if (longTerminator) {
        flags |= kFlagLongTerminator;
    }
    if (eg1.velocityToAttack < 0) {
        flags |= kFlagVelocityToAttackSign;
    }
    if (eg1.keyToDecay < 0) {
        flags |= kFlagKeyToDecaySign;
    }
    return {flags,
            sustainByte(eg1.sustainPercent),
            sensitivityByte(eg1.velocityToAttack),
            rateByte(eg1.attack, egTimestepMs),
            sensitivityByte(eg1.keyToDecay),
            rateByte(eg1.decay, egTimestepMs),
            rateByte(eg1.release, egTimestepMs),
            origin};
}

std::vector<std::uint8_t> sampleTerminator(std::int32_t loopValue, bool longTerminator,
                                           SampleContainer container, bool r101xp) {
    const bool text = container == SampleContainer::AssemblerText;
    if (!longTerminator && !(text && r101xp)) {
        const std::uint32_t bits = std::uint32_t(loopValue);
        return {0x00, std::uint8_t(bits >> 16), std::uint8_t(bits >> 8)};
    }
    const auto& marker = text ? kAssemblerMarker : kBinaryMarker;
    std::vector<std::uint8_t> bytes(marker.begin(), marker.end());
    const std::uint32_t bits =
        std::uint32_t(text && r101xp ? std::int64_t(loopValue) - kR101xpLoopShift : loopValue);
    bytes.push_back(std::uint8_t(bits));
    bytes.push_back(std::uint8_t(bits >> 8));
    bytes.push_back(std::uint8_t(bits >> 16));
    return bytes;
}

std::size_t writtenSampleCount(std::span<const std::int8_t> samples, std::int32_t loopValue) {
    std::size_t count = samples.size();
    if (loopValue == 0) {
        while (count > 0 && samples[count - 1] == 0) {
            --count;
        }
    }
    return count;
}

std::vector<std::uint8_t> sampleImage(std::span<const std::int8_t> samples, std::int32_t loopValue,
                                      bool longTerminator, SampleContainer container, bool r101xp) {
    const int offset = container == SampleContainer::AssemblerText && r101xp ? 0 : 64;
    const std::size_t count = writtenSampleCount(samples, loopValue);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(count + 19);
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(std::uint8_t(samples[i] + offset));
    }
    const auto terminator = sampleTerminator(loopValue, longTerminator, container, r101xp);
    bytes.insert(bytes.end(), terminator.begin(), terminator.end());
    return bytes;
}

} // namespace telmira::dsp
