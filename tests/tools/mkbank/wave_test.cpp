#include "tools/mkbank/wave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace telmira::mkbank {
namespace {

constexpr double kAmplitude = 10000;

// A sine of `period` frames at `rate`, `frames` long.
SourceSample sine(std::uint32_t rate, int period, int frames) {
    SourceSample s;
    s.name = "sine";
    s.rate = rate;
    for (int i = 0; i < frames; ++i) {
        s.frames.push_back(static_cast<std::int16_t>(
            std::lround(kAmplitude * std::sin(2 * std::numbers::pi * i / period))));
    }
    return s;
}

WaveSource looped(std::uint32_t start, std::uint32_t end, std::uint32_t loopStart,
                  std::uint32_t loopEnd, double centsUp = 0) {
    return {start, end, true, loopStart, loopEnd, centsUp};
}

std::int16_t at(const Wave& w, std::size_t i) {
    return w.frames.at(i);
}

// Frequency of the sine in the wave's loop, played at the wave's rate, from the upward zero
// crossings around the loop (the loop read as a cycle).
double loopFrequency(const Wave& w) {
    int cycles = 0;
    for (std::uint32_t i = 0; i < w.loopLength; ++i) {
        const std::size_t prev = w.loopStart + (i + w.loopLength - 1) % w.loopLength;
        if (at(w, prev) < 0 && at(w, w.loopStart + i) >= 0) {
            ++cycles;
        }
    }
    return static_cast<double>(cycles) * w.rate / w.loopLength;
}

double cents(double got, double want) {
    return 1200 * std::log2(got / want);
}

TEST(WaveMaker, ResampledLoopKeepsPitchAndLevel) {
    // 441 Hz at 44.1 kHz, a ten-period loop; the wave comes out at the 16 kHz limit.
    WaveMaker maker(WaveLimits{});
    Wave w;
    ASSERT_TRUE(maker.make(sine(44100, 100, 20000), looped(0, 20000, 5000, 6000), w));
    EXPECT_EQ(w.rate, 16000u);
    ASSERT_TRUE(w.looped);
    EXPECT_NEAR(cents(loopFrequency(w), 441), 0, 1.0);
    double power = 0;
    for (std::uint32_t i = 0; i < w.loopLength; ++i) {
        power += std::pow(at(w, w.loopStart + i), 2);
    }
    EXPECT_NEAR(std::sqrt(power / w.loopLength), kAmplitude / std::sqrt(2.0), kAmplitude * 0.03);
}

TEST(WaveMaker, BakesTheTuningIntoTheFrames) {
    for (double up : {100.0, -37.0, 50.0}) {
        WaveMaker maker(WaveLimits{});
        Wave w;
        ASSERT_TRUE(maker.make(sine(22050, 50, 8000), looped(0, 8000, 2000, 3000, up), w));
        EXPECT_NEAR(cents(loopFrequency(w), 441), up, 1.0) << up;
    }
}

TEST(WaveMaker, KeepsRatesUnderTheLimit) {
    WaveMaker maker(WaveLimits{});
    Wave w;
    ASSERT_TRUE(maker.make(sine(11025, 25, 4000), looped(0, 4000, 1000, 2000), w));
    EXPECT_EQ(w.rate, 11025u);
    EXPECT_EQ(w.loopStart, 1000u);
    EXPECT_EQ(w.loopLength, 1000u);
}

TEST(WaveMaker, DropsTheTailAndNeverStartsALoopAtFrameZero) {
    // The loop starts at the first frame played; the melody compiler would read a loop start of
    // 0 as "not looped", so the wave gets a lead-in taken from the loop's end.
    WaveMaker maker(WaveLimits{});
    Wave w;
    ASSERT_TRUE(maker.make(sine(16000, 40, 10000), looped(400, 10000, 400, 800), w));
    EXPECT_GE(w.loopStart, 1u);
    EXPECT_EQ(w.frames.size(), std::size_t{w.loopStart} + w.loopLength); // nothing after it
    EXPECT_LT(w.frames.size(), 1000u);
}

TEST(WaveMaker, LoopJoinsWithoutAClick) {
    WaveMaker maker(WaveLimits{});
    Wave w;
    ASSERT_TRUE(maker.make(sine(44100, 90, 20000), looped(0, 20000, 9000, 9900), w));
    int largest = 0;
    for (std::uint32_t i = 0; i + 1 < w.loopLength; ++i) {
        largest = std::max(largest, std::abs(at(w, w.loopStart + i + 1) - at(w, w.loopStart + i)));
    }
    const int wrap = std::abs(at(w, w.loopStart) - at(w, w.loopStart + w.loopLength - 1));
    EXPECT_LE(wrap, largest * 1.05 + 2);
}

TEST(WaveMaker, CutsLongOneShotsWithAFadeOut) {
    WaveLimits limits;
    limits.maxUnloopedSeconds = 1.5;
    limits.fadeSeconds = 0.15;
    WaveMaker maker(limits);
    Wave w;
    ASSERT_TRUE(maker.make(sine(16000, 80, 48000), {0, 48000, false, 0, 0, 0}, w));
    EXPECT_FALSE(w.looped);
    ASSERT_EQ(w.frames.size(), 24000u);
    int peakBeforeFade = 0;
    for (std::size_t i = 20000; i < 21000; ++i) {
        peakBeforeFade = std::max(peakBeforeFade, std::abs(int{at(w, i)}));
    }
    EXPECT_GT(peakBeforeFade, kAmplitude * 0.95);
    int peakAtEnd = 0;
    for (std::size_t i = 23980; i < 24000; ++i) {
        peakAtEnd = std::max(peakAtEnd, std::abs(int{at(w, i)}));
    }
    EXPECT_LT(peakAtEnd, kAmplitude * 0.01);

    ASSERT_TRUE(maker.make(sine(16000, 80, 8000), {0, 8000, false, 0, 0, 0}, w));
    EXPECT_EQ(w.frames.size(), 8000u); // short sounds keep their length
}

TEST(WaveMaker, RefusesEmptyParts) {
    WaveMaker maker(WaveLimits{});
    Wave w;
    const SourceSample s = sine(16000, 80, 1000);
    EXPECT_FALSE(maker.make(s, {500, 500, false, 0, 0, 0}, w));
    EXPECT_FALSE(maker.make(s, {0, 1001, false, 0, 0, 0}, w));
    SourceSample noRate = s;
    noRate.rate = 0;
    EXPECT_FALSE(maker.make(noRate, {0, 1000, false, 0, 0, 0}, w));
}

} // namespace
} // namespace telmira::mkbank
