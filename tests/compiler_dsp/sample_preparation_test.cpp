#include "compiler/dsp/instrument_entry.h"
#include "compiler/dsp/sample_preparation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <string>
#include <vector>

namespace {
using namespace telmira::dsp;

const float kFs = 10416.666f;

std::vector<std::uint8_t> pcm16(const std::vector<double>& values) {
    std::vector<std::uint8_t> bytes;
    for (double v : values) {
        const auto s = std::uint16_t(std::int16_t(std::lround(v)));
        bytes.push_back(std::uint8_t(s & 0xFF));
        bytes.push_back(std::uint8_t(s >> 8));
    }
    return bytes;
}

// frames of a sine of the given amplitude and frequency at `rate`.
std::vector<double> sine(double frequency, double rate, std::size_t frames, double amplitude) {
    std::vector<double> v(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        v[i] = amplitude * std::sin(2 * M_PI * frequency * double(i) / rate);
    }
    return v;
}

std::vector<float> floats(const std::vector<double>& v) {
    return {v.begin(), v.end()};
}

// Amplitude of the component at `frequency` in a wave at `rate`, Hann-windowed so that a
// strong tone does not leak into a far bin.
double toneLevel(const std::vector<float>& wave, double frequency, double rate) {
    std::complex<double> sum = 0;
    double windowSum = 0;
    const double n = double(wave.size());
    for (std::size_t j = 0; j < wave.size(); ++j) {
        const double w = 0.5 - 0.5 * std::cos(2 * M_PI * double(j) / (n - 1));
        sum += w * double(wave[j]) * std::polar(1.0, -2 * M_PI * frequency * double(j) / rate);
        windowSum += w;
    }
    return 2 * std::abs(sum) / windowSum;
}

// The filter for a pair of rates, designed once for all tests of this program.
FilterRecord designed(float a, float b) {
    static FilterCache cache;
    auto index = findOrDesignFilter(cache, a, b, nullptr);
    EXPECT_TRUE(index.ok());
    return index.ok() ? cache[index.value()] : FilterRecord{};
}

// Largest difference between out[j] and amplitude x sin(2 pi f j / rate) over [from, to).
double worstDeviation(const std::vector<float>& out, double frequency, double rate,
                      double amplitude, std::size_t from, std::size_t to) {
    double worst = 0;
    for (std::size_t j = from; j < to; ++j) {
        const double ideal = amplitude * std::sin(2 * M_PI * frequency * double(j) / rate);
        worst = std::max(worst, std::abs(double(out[j]) - ideal));
    }
    return worst;
}

// --- pitch decisions ---------------------------------------------------------------------------

TEST(WaveTuning, NoteCorrectionAndExactLoopDecisions) {
    struct Case {
        const char* what;
        int offset;
        std::uint32_t loop;
        unsigned rate;
        double correction;
        bool corrected;
        bool exact;
    };
    const Case cases[] = {
        // Played three semitones below unity, no loop: pre-transposed, and a loop of 0 output
        // samples is a whole number.
        {"three below, no loop", 3, 0, 22050, std::pow(2.0, 3.0 / 12), true, true},
        {"unity key", 0, 0, 22050, 1, false, true},
        {"several keys", kOffsetMixed, 0, 22050, 1, false, false},
        {"several keys, looped", kOffsetMixed, 100, 20833, 1, false, false},
        {"never played", kOffsetNeverPlayed, 0, 22050, 1, false, false},
        // Upwards with a loop of 530.2 output samples: the correction is given up.
        {"up, fractional loop", 2, 1000, 22050, 1, false, false},
        // Downwards it stays, without the exact flag.
        {"down, fractional loop", -2, 1000, 22050, std::pow(2.0, -2.0 / 12), true, false},
        // An octave up, 100 frames at 20833 Hz become 100.0016 samples: 25600 / 256.
        {"octave up, whole loop", 12, 100, 20833, 2, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WaveSource wave;
        wave.sampleRate = c.rate;
        wave.loopLength = c.loop;
        wave.noteOffset = c.offset;
        const WaveTuning t = waveTuning(wave, kFs);
        EXPECT_FLOAT_EQ(t.noteCorrection, float(c.correction));
        EXPECT_EQ(t.corrected, c.corrected);
        EXPECT_EQ(t.exactLoop, c.exact);
        EXPECT_FLOAT_EQ(t.targetRate, float(double(kFs) * c.correction));
        EXPECT_EQ(t.tuningFactor, 1.0f);
    }
}

TEST(WaveTuning, FineTuneScalesTheTargetRate) {
    WaveSource wave;
    wave.sampleRate = 22050;
    wave.fineTune = -1200; // an octave flat: play it twice as fast
    EXPECT_EQ(waveTuning(wave, kFs).tuningFactor, 2.0f);
    EXPECT_EQ(waveTuning(wave, kFs).targetRate, 2 * kFs);
    wave.fineTune = 50;
    EXPECT_FLOAT_EQ(waveTuning(wave, kFs).tuningFactor, float(std::pow(2.0, -50.0 / 1200)));
}

// --- decoding ----------------------------------------------------------------------------------

TEST(DecodeFirstChannel, ReadsEachSampleSizeAndOnlyTheFirstChannel) {
    struct Case {
        unsigned bits;
        unsigned channels;
        std::vector<std::uint8_t> data;
        std::vector<float> expected;
    };
    const Case cases[] = {
        // 8-bit PCM is unsigned around 128.
        {8, 1, {0x80, 0xFF, 0x00, 0x81}, {0, 127, -128, 1}},
        {16, 1, {0x34, 0x12, 0xFF, 0xFF, 0x00, 0x80}, {0x1234, -1, -32768}},
        {24, 1, {0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF}, {0x123456, -8388608, -1}},
        {32, 1, {0x00, 0x00, 0x00, 0x80, 0x01, 0x00, 0x00, 0x00}, {-2147483648.0f, 1}},
        // Stereo: the right channel (0x7FFF) is not heard.
        {16, 2, {0x10, 0x00, 0xFF, 0x7F, 0xF0, 0xFF, 0xFF, 0x7F}, {16, -16}},
        // A cut last frame is dropped.
        {16, 2, {0x10, 0x00, 0xFF, 0x7F, 0x20, 0x00}, {16}},
        {24, 3, {1, 0, 0, 2, 0, 0, 3, 0}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(formatMessage("%u bits, %u channels", c.bits, c.channels));
        WaveSource wave;
        wave.bitsPerSample = c.bits;
        wave.channels = c.channels;
        wave.sampleRate = 22050;
        wave.data = c.data;
        auto x = decodeFirstChannel(wave);
        ASSERT_TRUE(x.ok());
        EXPECT_EQ(x.value(), c.expected);
    }
}

TEST(PrepareWave, RefusesWavesItCannotConvert) {
    const std::vector<std::uint8_t> data(400, 0x11);
    struct Case {
        const char* what;
        unsigned bits;
        unsigned channels;
        unsigned rate;
        std::uint32_t loop;
        float fs;
    };
    const Case cases[] = {
        {"12-bit samples", 12, 1, 22050, 0, kFs},
        {"0-bit samples", 0, 1, 22050, 0, kFs},
        {"64-bit samples", 64, 1, 22050, 0, kFs},
        {"no channels", 16, 0, 22050, 0, kFs},
        {"rate 0", 16, 1, 0, 0, kFs},
        {"FS 0", 16, 1, 22050, 0, 0},
        {"loop longer than the wave", 16, 1, 22050, 201, kFs},
        {"rate too low for a pass band", 16, 1, 300, 0, kFs},
        {"rate beyond the longest filter", 16, 1, 400000, 0, kFs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WaveSource wave;
        wave.data = data;
        wave.bitsPerSample = c.bits;
        wave.channels = c.channels;
        wave.sampleRate = c.rate;
        wave.loopLength = c.loop;
        FilterCache cache;
        std::string printed;
        auto result =
            prepareWave(wave, {c.fs, false}, cache, [&](std::string_view m) { printed += m; });
        ASSERT_FALSE(result.ok());
        EXPECT_FALSE(result.error().message.empty());
        EXPECT_EQ(printed.find("tc="), std::string::npos);
        EXPECT_TRUE(cache.empty());
    }
    WaveSource wave;
    wave.bitsPerSample = 12;
    wave.sampleRate = 22050;
    FilterCache cache;
    EXPECT_EQ(prepareWave(wave, {}, cache, nullptr).error().message,
              "unsupported sample size of 12 bits (8, 16, 24 and 32 bits are supported)");
}

TEST(PrepareWave, RefusesLoopsTheTerminatorCannotHold) {
    // 70000 frames looped at 20833 Hz become a loop of 35000 samples at 10416 Hz; the 24-bit
    // loop value holds 32768.
    const std::vector<std::uint8_t> data(2 * 70000, 0x01);
    WaveSource wave;
    wave.data = data;
    wave.sampleRate = 20833;
    wave.loopLength = 70000;
    FilterCache cache;
    auto result = prepareWave(wave, {}, cache, nullptr);
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error().message.find("loop too long"), std::string::npos);
    wave.loopLength = 65000; // 32500 samples: fine
    wave.data = std::span(data).first(2 * 65000);
    EXPECT_TRUE(prepareWave(wave, {}, cache, nullptr).ok());
}

// --- whole waves ------------------------------------------------------------------------------

TEST(PrepareWave, WavePlayedThreeBelowUnityIsPreTransposed) {
    const auto data = pcm16(sine(440, 22050, 2205, 20000));
    WaveSource wave;
    wave.data = data;
    wave.sampleRate = 22050;
    wave.noteOffset = 3; // every note at unity - 3
    FilterCache cache;
    std::string printed;
    auto result = prepareWave(wave, {}, cache, [&](std::string_view m) { printed += m; });
    ASSERT_TRUE(result.ok());
    const PreparedWave& w = result.value();
    EXPECT_FLOAT_EQ(w.tuning.noteCorrection, float(std::pow(2.0, 3.0 / 12)));
    EXPECT_TRUE(w.tuning.corrected);
    EXPECT_TRUE(w.tuning.exactLoop);
    EXPECT_EQ(w.loopValue, 0);
    EXPECT_FALSE(w.longTerminator);
    EXPECT_EQ(originNote(60, wave.noteOffset, w.tuning.corrected), 57);
    // 2205 frames at 22050 Hz played 2^(3/12) faster at 10416.67 Hz.
    const float target = float(double(kFs) * std::pow(2.0, 3.0 / 12));
    EXPECT_EQ(w.tuning.targetRate, target);
    EXPECT_EQ(w.samples.size(), std::size_t(std::ceil(2205.0 * double(target) / 22050)));
    EXPECT_EQ(printed, formatMessage("      + Generating filter for resampling 22050.00 => %.2f\n"
                                     "        + Filter order is 285\n"
                                     "      + tc=1.0000; nc=1.1892; fx=1; size=%zu; LStrt=0.00\n",
                                     double(target), w.samples.size()));
    ASSERT_EQ(cache.size(), 1u);
    EXPECT_EQ(cache[0].targetRate, target);
    // Short terminator: no loop.
    EXPECT_EQ(sampleTerminator(w.loopValue, w.longTerminator, SampleContainer::Binary, false),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x00}));
}

TEST(PrepareWave, WavePlayedAtTwoKeysKeepsItsPitchAndTheLongTerminator) {
    const auto data = pcm16(sine(441, 22050, 2000, 20000));
    for (std::uint32_t loop : {0u, 1000u}) {
        SCOPED_TRACE(loop);
        WaveSource wave;
        wave.data = data;
        wave.sampleRate = 22050;
        wave.loopLength = loop;
        wave.noteOffset = kOffsetMixed;
        FilterCache cache;
        auto result = prepareWave(wave, {}, cache, nullptr);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.value().tuning.noteCorrection, 1.0f);
        EXPECT_FALSE(result.value().tuning.exactLoop);
        EXPECT_FALSE(result.value().tuning.corrected);
        EXPECT_TRUE(result.value().longTerminator);
        EXPECT_EQ(originNote(60, kOffsetMixed, result.value().tuning.corrected), 60);
    }
}

TEST(PrepareWave, ExactLoopGetsTheShortTerminator) {
    // 100 frames at 20833 Hz an octave up: 100.0016 output samples, a loop value of -25600.
    const auto data = pcm16(sine(208.33, 20833, 1000, 20000));
    WaveSource wave;
    wave.data = data;
    wave.sampleRate = 20833;
    wave.loopLength = 100;
    wave.noteOffset = 12;
    FilterCache cache;
    std::string printed;
    auto result = prepareWave(wave, {}, cache, [&](std::string_view m) { printed += m; });
    ASSERT_TRUE(result.ok());
    const PreparedWave& w = result.value();
    EXPECT_TRUE(w.tuning.exactLoop);
    EXPECT_EQ(w.loopValue, -25600);
    EXPECT_FALSE(w.longTerminator);
    EXPECT_EQ(sampleTerminator(w.loopValue, w.longTerminator, SampleContainer::Binary, false),
              (std::vector<std::uint8_t>{0x00, 0xFF, 0x9C})); // back 100 samples
    EXPECT_NE(printed.find(formatMessage("fx=1; size=%zu; LStrt=%.2f\n", w.samples.size(),
                                         double(w.samples.size()) - 1 - 100)),
              std::string::npos);
}

TEST(PrepareWave, AllZeroWaveStaysZero) {
    const std::vector<std::uint8_t> data(3000, 0x00);
    for (unsigned rate : {22050u, 8000u, 10000u}) {
        SCOPED_TRACE(rate);
        WaveSource wave;
        wave.data = data;
        wave.sampleRate = rate;
        FilterCache cache;
        auto result = prepareWave(wave, {10000, false}, cache, nullptr);
        ASSERT_TRUE(result.ok());
        ASSERT_FALSE(result.value().samples.empty());
        for (std::int8_t s : result.value().samples) {
            ASSERT_EQ(s, 0);
        }
        EXPECT_EQ(writtenSampleCount(result.value().samples, 0), 0u);
    }
}

TEST(PrepareWave, EqualRatesCopyTheWave) {
    // A wave at exactly FS needs no filter: it is only scaled and quantised.
    const std::vector<double> values = {0, 1000, -2000, 4000, -4000, 3000, 0, 0};
    const auto data = pcm16(values);
    WaveSource wave;
    wave.data = data;
    wave.sampleRate = 22050;
    wave.loopLength = 3;
    wave.noteOffset = 0;
    FilterCache cache;
    std::string printed;
    auto result =
        prepareWave(wave, {22050, false}, cache, [&](std::string_view m) { printed += m; });
    ASSERT_TRUE(result.ok());
    EXPECT_TRUE(cache.empty());
    // Peak 4000 becomes 16128, i.e. 63 steps of 256.
    EXPECT_EQ(result.value().samples, (std::vector<std::int8_t>{0, 16, -32, 63, -63, 47, 0, 0}));
    EXPECT_EQ(result.value().loopValue, -3 * 256);
    EXPECT_TRUE(result.value().tuning.exactLoop);
    EXPECT_FALSE(result.value().longTerminator);
    EXPECT_EQ(printed, "      + tc=1.0000; nc=1.0000; fx=1; size=8; LStrt=4.00\n");
}

TEST(PrepareWave, R101xpModeQuantisesInHalfSteps) {
    const auto data = pcm16({0, 1000, -2000, 4000, -4000});
    WaveSource wave;
    wave.data = data;
    wave.sampleRate = 22050;
    FilterCache cache;
    auto result = prepareWave(wave, {22050, true}, cache, nullptr);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value().samples, (std::vector<std::int8_t>{0, 32, -63, 126, -126}));
}

TEST(Quantise, RoundsHalfStepsAwayFromZero) {
    struct Case {
        float value;
        bool r101xp;
        int expected;
    };
    const Case cases[] = {
        {16128, false, 63}, {-16128, false, -63}, {128, false, 1}, {-128, false, -1},
        {127.9f, false, 0}, {-127.9f, false, 0},  {383, false, 1}, {-385, false, -2},
        {16128, true, 126}, {-16128, true, -126}, {64, true, 1},   {-63.9f, true, 0},
        {1e9f, false, 63},  {-1e9f, true, -126},  {0, false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(quantise(c.value, c.r101xp), c.expected) << c.value << " r101xp " << c.r101xp;
    }
}

TEST(LoopValue, IsTheNegatedRoundedOutputLength) {
    struct Case {
        std::uint32_t loop;
        float source;
        float target;
        std::int32_t expected;
    };
    const Case cases[] = {
        {0, 22050, kFs, 0},
        {3, 22050, 22050, -768},
        // 1000 x 10416.666 / 22050 = 472.4111 samples: x 256 = 120937.24.
        {1000, 22050, kFs, -120937},
        // 1000 x 10416.666 / 8000 = 1302.0833: x 256 = 333333.3.
        {1000, 8000, kFs, -333333},
        // 7 x 3 / 2 = 10.5 samples: 2688 exactly.
        {7, 2, 3, -2688},
        // 3 x 2 / 7 x 256 = 219.43 rounds down, 5 x 2 / 7 x 256 = 365.71 up.
        {3, 7, 2, -219},
        {5, 7, 2, -366},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(loopValue(c.loop, c.source, c.target), c.expected)
            << c.loop << " frames " << c.source << " => " << c.target;
    }
}

// --- resampling of sines ----------------------------------------------------------------------
// The output starts one filter delay in, so out[j] is the input at time j / target: a sine stays
// the same sine, phase included. The first and last half filter length of output is left out
// where the wave starts from and falls back to silence. The pass band leaves the gain within
// 3 % of 1.

// Outputs spanned by half the filter, plus the interpolator's reach.
std::size_t halfFilter(std::size_t taps, float a, float b) {
    return std::size_t(std::ceil(double(taps / 2) * std::min(1.0, double(b) / double(a)))) + 4;
}

TEST(ResampleSine, FrequencyAndPhaseSurviveBothWays) {
    struct Case {
        float source;
        float target;
        double frequency;
    };
    const Case cases[] = {
        {22050, kFs, 1000}, {44100, kFs, 3000}, {8000, kFs, 500}, {11025, kFs * 1.5f, 2000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(formatMessage("%.0f Hz, %.2f => %.2f", c.frequency, c.source, c.target));
        const FilterRecord filter = designed(c.source, c.target);
        // Half a second: long enough that a position summed in single precision would drift
        // off the phase.
        const std::size_t frames = std::size_t(c.source) / 2;
        const auto x = floats(sine(c.frequency, c.source, frames, 1000));
        const auto out = resample(x, filter.taps, c.source, c.target, 0);
        ASSERT_EQ(out.size(),
                  std::size_t(std::ceil(double(frames) * double(c.target) / double(c.source))));
        const std::size_t skip = halfFilter(filter.taps.size(), c.source, c.target);
        EXPECT_LT(worstDeviation(out, c.frequency, c.target, 1000, skip, out.size() - skip), 35);
    }
}

TEST(ResampleSine, NothingAboveTheNewBandFoldsBack) {
    // 1000 Hz and 7000 Hz at 22050 Hz. FS / 2 is 5208 Hz, so 7000 Hz would fold to
    // 10416.67 - 7000 = 3416.67 Hz; the 96 dB stop band keeps it below -80 dB.
    const FilterRecord filter = designed(22050, kFs);
    const auto low = sine(1000, 22050, 22050, 1000);
    const auto high = sine(7000, 22050, 22050, 1000);
    std::vector<float> x(low.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = float(low[i] + high[i]);
    }
    const auto out = resample(x, filter.taps, 22050, kFs, 0);
    const double wanted = toneLevel(out, 1000, kFs);
    EXPECT_NEAR(wanted, 1000, 35);
    EXPECT_LT(toneLevel(out, double(kFs) - 7000, kFs), 1e-4 * wanted);
}

TEST(ResampleSine, UpsamplingKeepsTheTopOfTheBandAndDropsImages) {
    // 3500 Hz at 8000 Hz is inside the input's band and must be heard at 10416.67 Hz; the
    // interpolation's image at 8000 - 3500 = 4500 Hz lies below the new Nyquist frequency and
    // must be filtered away.
    const FilterRecord filter = designed(8000, kFs);
    const auto x = floats(sine(3500, 8000, 8000, 1000));
    const auto out = resample(x, filter.taps, 8000, kFs, 0);
    const double tone = toneLevel(out, 3500, kFs);
    EXPECT_GT(tone, 500); // Catmull-Rom droops near the top of the band, but the tone stays
    EXPECT_LT(toneLevel(out, 4500, kFs), 1e-4 * tone);
}

TEST(ResampleSine, LoopedWaveEndsAsIfItWentOn) {
    // A sine whose period divides the loop. Past the end the filter is fed with the loop, which
    // here is exactly how the sine goes on: the resampled wave must equal, to rounding, the
    // first outputs of the same sine made longer, even where the loop is shorter than the
    // filter's reach. The wave stops a quarter period after a whole number of periods, near a
    // crest, where cutting it off shows most.
    struct Case {
        float source;
        float target;
        std::size_t period; // frames
        std::uint32_t loop;
    };
    const Case cases[] = {{22050, kFs, 49, 49},  // 450 Hz, 285 taps
                          {22050, kFs, 49, 980}, // twenty periods
                          {8000, kFs, 16, 16},   // upsampling, 500 Hz, 135 taps
                          {44100, kFs, 49, 49}}; // 900 Hz, 571 taps
    for (const Case& c : cases) {
        SCOPED_TRACE(formatMessage("loop %u, %.2f => %.2f", c.loop, c.source, c.target));
        const FilterRecord filter = designed(c.source, c.target);
        const double frequency = double(c.source) / double(c.period);
        const std::size_t frames = 100 * c.period + c.period / 4;
        const auto x = floats(sine(frequency, c.source, frames, 1000));
        const auto longer = floats(sine(frequency, c.source, frames + 2000, 1000));
        const auto looped = resample(x, filter.taps, c.source, c.target, c.loop);
        const auto reference = resample(longer, filter.taps, c.source, c.target, 0);
        double worst = 0;
        for (std::size_t j = 0; j < looped.size(); ++j) {
            worst = std::max(worst, std::abs(double(looped[j]) - double(reference[j])));
        }
        EXPECT_LT(worst, 0.01);
        // Fed with silence instead, the end strays from the sine.
        const auto plain = resample(x, filter.taps, c.source, c.target, 0);
        const std::size_t skip = halfFilter(filter.taps.size(), c.source, c.target);
        EXPECT_GT(
            worstDeviation(plain, frequency, c.target, 1000, plain.size() - skip, plain.size()),
            100);
    }
}

TEST(PrepareWave, SineComesOutAtFullScale) {
    // 1000 Hz at 22050 Hz, 16-bit, looped over 441 frames (20 periods): normalised to 16128
    // and quantised, the samples are round(63 sin) give or take the ripple and rounding, and
    // the loop goes back 441 x 10416.67 / 22050 = 208.33 samples.
    const auto data = pcm16(sine(1000, 22050, 22050, 12000));
    WaveSource wave;
    wave.data = data;
    wave.sampleRate = 22050;
    wave.loopLength = 441;
    wave.noteOffset = kOffsetMixed;
    FilterCache cache;
    auto result = prepareWave(wave, {}, cache, nullptr);
    ASSERT_TRUE(result.ok());
    const auto& samples = result.value().samples;
    ASSERT_EQ(samples.size(), 10417u);
    int low = 0;
    int high = 0;
    for (std::size_t j = 0; j < samples.size(); ++j) {
        low = std::min<int>(low, samples[j]);
        high = std::max<int>(high, samples[j]);
        if (j > 80) {
            const double ideal = 63 * std::sin(2 * M_PI * 1000 * double(j) / double(kFs));
            ASSERT_LE(std::abs(samples[j] - ideal), 2.6) << "sample " << j;
        }
    }
    EXPECT_EQ(high, 63);
    EXPECT_GE(low, -63);
    EXPECT_LE(low, -61);
    EXPECT_EQ(result.value().loopValue, -53333); // 208.33 x 256
    EXPECT_TRUE(result.value().longTerminator);
}

} // namespace
