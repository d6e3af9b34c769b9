#include "compiler/dsp/instrument_entry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {
using namespace telmira::dsp;

// A time in raw DLS units: absolute timecents x 65536.
std::int32_t rawTime(double seconds) {
    return std::int32_t(std::lround(1200 * std::log2(seconds) * 65536));
}

std::int32_t rawCents(double cents) {
    return std::int32_t(std::lround(cents * 65536));
}

TEST(EntryBytes, SustainIsTruncatedTimesSinglePrecision256ths) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::pair<float, int>> cases = {
        {100, 255}, {50, 127}, {0, 0}, {1, 2}, {99.9f, 255}, {-5, 0}, {150, 255}, {nan, 0}};
    for (const auto& [percent, expected] : cases) {
        EXPECT_EQ(sustainByte(percent), expected) << percent << " %";
    }
}

TEST(EntryBytes, RateCountsSixteenthsOfAnOctave) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        std::int32_t raw;
        float timestep;
        int expected;
    };
    const Case cases[] = {
        {kNoTime, 5.86f, 255},         // no time at all
        {rawTime(1), 5.86f, 137},      // trunc(16 log2(384.04) + 0.5)
        {rawTime(1), 5.85f, 137},      // 16 log2(383.39) = 137.3
        {rawTime(2), 5.86f, 121},      // an octave longer: 16 less
        {rawTime(10), 5.86f, 84},      // 137.36 - 16 log2(10) = 84.2
        {rawTime(0.001), 5.86f, 255},  // 296.8 is held to 255
        {rawTime(0.0014), 5.86f, 255}, // 289 still above
        {rawTime(1000), 5.86f, 0},     // below 0
        {rawTime(1), 0.0f, 0},         // no timestep: minus infinity
        {rawTime(1), nan, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rateByte(c.raw, c.timestep), c.expected) << c.raw << " at " << c.timestep;
    }
}

TEST(EntryBytes, SensitivityIs64PerOctave) {
    const std::vector<std::pair<std::int32_t, int>> cases = {
        {rawCents(-1200), 64}, {rawCents(1200), 64}, {rawCents(600), 32},   {0, 0},
        {rawCents(10), 1},     {rawCents(9), 0},     {rawCents(4800), 255}, {kNoTime, 255},
    };
    for (const auto& [raw, expected] : cases) {
        EXPECT_EQ(sensitivityByte(raw), expected) << raw;
    }
}

TEST(EntryBytes, OriginNoteFollowsTheCorrection) {
    EXPECT_EQ(originNote(60, 3, true), 57);
    EXPECT_EQ(originNote(60, 3, false), 60);
    EXPECT_EQ(originNote(60, -128, false), 60);
    EXPECT_EQ(originNote(2, 5, true), 253); // low 8 bits
}

TEST(EntryBytes, EightCommonBytes) {
    Envelope eg1;
    eg1.attack = rawTime(1);
    eg1.velocityToAttack = rawCents(-1200);
    eg1.decay = kNoTime;
    eg1.keyToDecay = rawCents(-600);
    eg1.release = rawTime(2);
    eg1.sustainPercent = 50;
    EXPECT_EQ(instrumentEntryBytes(eg1, true, 57, 5.86f),
              (std::array<std::uint8_t, 8>{0x08 | 0x10 | 0x20, 127, 64, 137, 32, 255, 121, 57}));
    // The DLS defaults: no times, full sustain, no sensitivities, short terminator.
    EXPECT_EQ(instrumentEntryBytes(Envelope{}, false, 60, 5.86f),
              (std::array<std::uint8_t, 8>{0x00, 255, 0, 255, 0, 255, 255, 60}));
    // Positive sensitivities set no sign bit.
    eg1.velocityToAttack = rawCents(1200);
    eg1.keyToDecay = rawCents(600);
    EXPECT_EQ(instrumentEntryBytes(eg1, false, 57, 5.86f)[0], 0x00);
}

const std::vector<std::uint8_t> kBinaryMarker = {0,    0,    0,    0,    0,    0,    0,    0,
                                                 0x10, 0x0F, 0x0E, 0x0D, 0x0C, 0x0B, 0x0A, 0x09};
const std::vector<std::uint8_t> kTextMarker = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                               0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};

std::vector<std::uint8_t> join(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(SampleTerminator, ThreeForms) {
    struct Case {
        const char* what;
        std::int32_t loopValue;
        bool longTerminator;
        SampleContainer container;
        bool r101xp;
        std::vector<std::uint8_t> expected;
    };
    const auto binary = SampleContainer::Binary;
    const auto text = SampleContainer::AssemblerText;
    // -25600 = 0xFF9C00 (back 100 samples); -120937 = 0xFE2797.
    const Case cases[] = {
        {"short, looped", -25600, false, binary, false, {0x00, 0xFF, 0x9C}},
        {"short, no loop", 0, false, binary, false, {0x00, 0x00, 0x00}},
        {"short in text", -25600, false, text, false, {0x00, 0xFF, 0x9C}},
        {"short, r101xp not looked at in binary", -25600, false, binary, true, {0x00, 0xFF, 0x9C}},
        {"long binary", -120937, true, binary, false, join(kBinaryMarker, {0x97, 0x27, 0xFE})},
        {"long binary, no loop", 0, true, binary, false, join(kBinaryMarker, {0, 0, 0})},
        {"long text", -120937, true, text, false, join(kTextMarker, {0x97, 0x27, 0xFE})},
        // r101xp text is always long, loop value less 2560: -28160 = 0xFF9200.
        {"r101xp text", -25600, false, text, true, join(kTextMarker, {0x00, 0x92, 0xFF})},
        {"r101xp text, no loop", 0, true, text, true, join(kTextMarker, {0x00, 0xF6, 0xFF})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sampleTerminator(c.loopValue, c.longTerminator, c.container, c.r101xp),
                  c.expected)
            << c.what;
    }
}

TEST(SampleImage, OffsetsSamplesAndDropsTrailingSilenceOfUnloopedWaves) {
    const std::vector<std::int8_t> samples = {1, -1, 63, -63, 0, 2, 0, 0};
    // No loop: the two trailing zeros go, the inner one stays.
    EXPECT_EQ(writtenSampleCount(samples, 0), 6u);
    EXPECT_EQ(sampleImage(samples, 0, false, SampleContainer::Binary, false),
              (std::vector<std::uint8_t>{65, 63, 127, 1, 64, 66, 0, 0, 0}));
    // Looped: every sample is written.
    EXPECT_EQ(writtenSampleCount(samples, -512), 8u);
    EXPECT_EQ(sampleImage(samples, -512, false, SampleContainer::AssemblerText, false),
              (std::vector<std::uint8_t>{65, 63, 127, 1, 64, 66, 64, 64, 0x00, 0xFF, 0xFE}));
    // r101xp text: the samples as they are, two's complement.
    const std::vector<std::int8_t> wide = {126, -126, 0};
    EXPECT_EQ(sampleImage(wide, 0, true, SampleContainer::AssemblerText, true),
              join({126, 130}, join(kTextMarker, {0x00, 0xF6, 0xFF})));
    // An all-zero unlooped wave leaves only its terminator.
    const std::vector<std::int8_t> silent(10, 0);
    EXPECT_EQ(sampleImage(silent, 0, false, SampleContainer::Binary, false),
              (std::vector<std::uint8_t>{0, 0, 0}));
}

} // namespace
