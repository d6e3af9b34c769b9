// compile as a whole: the songs, then the samples they use, the instrument table and the
// collection's statistics. FS is kept low here so that the few filters designed are short.
#include "compiler/compile.h"
#include "compiler/samples.h"
#include "tests/compiler/songtest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace telmira::compiler {
namespace {

using namespace test;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr float kLowFs = 2000;

// One unlooped melodic wave at FS, one looped, one drum wave; unity notes 60.
CompilerState bank() {
    CompilerState state = stateWithBank(
        {testRegion("Lead", 0, 0), testRegion("Pad", 1, 1), testRegion("Kit", 0, 2, true)},
        {testWave("PLAIN", 2000, 400), testWave("LOOP", 2000, 400, 80),
         testWave("DRUM", 2000, 300)},
        kLowFs);
    state.fsGiven = state.timeBaseGiven = state.egTimestepGiven = true;
    return state;
}

struct Collected {
    Outcome outcome = Outcome::next();
    std::string output;
};

Collected compileAll(CompilerState& state) {
    Collected run;
    Console console(run.output);
    run.outcome = compileCollection(state, console);
    return run;
}

TEST(CompileSamples, WavePlayedAtOneKeyBelowItsUnityIsPreTransposed) {
    CompilerState state = bank();
    state.songs.push_back(midiSong({noteOn(0, 0, 57), noteOff(20, 0, 57), noteOn(0, 0, 57)}));
    const Collected run = compileAll(state);
    ASSERT_TRUE(run.outcome.goesOn()) << run.output;
    ASSERT_EQ(state.usedSamples.size(), 1u);
    const dsp::PreparedWave& wave = *state.usedSamples[0].prepared;
    EXPECT_NEAR(wave.tuning.noteCorrection, std::exp2(3.0 / 12), 1e-6);
    EXPECT_TRUE(wave.tuning.corrected);
    EXPECT_FALSE(wave.longTerminator) << "no loop: exact, so the short terminator";
    EXPECT_THAT(run.output, HasSubstr("    + PLAIN\t(MEL, 16/2000)\n"
                                      "      + Generating filter for resampling 2000.00 => "
                                      "2378.41\n"));
    EXPECT_THAT(run.output,
                HasSubstr("      + tc=1.0000; nc=1.1892; fx=1; size=476; LStrt=0.00\n"));
    const auto entry = instrumentEntry(state, 0);
    EXPECT_EQ(entry[7], 57) << "origin note: unity - 3, the key it was always played at";
    EXPECT_EQ(entry[0] & 0x08, 0);
    EXPECT_EQ(state.filtersDesigned, 1u);
    EXPECT_EQ(state.filterCache.size(), 1u);
}

TEST(CompileSamples, WavePlayedAtTwoKeysKeepsItsPitchAndEqualRatesAreCopied) {
    CompilerState state = bank();
    state.songs.push_back(midiSong({programChange(0, 0, 1), noteOn(0, 0, 60), noteOn(5, 0, 62),
                                    noteOn(5, 9, 60), noteOn(5, 0, 109)}));
    const Collected run = compileAll(state);
    ASSERT_TRUE(run.outcome.goesOn()) << run.output;
    EXPECT_THAT(run.output, Not(HasSubstr("Generating filter")));
    ASSERT_EQ(state.usedSamples.size(), 2u);
    const dsp::PreparedWave& loop = *state.usedSamples[0].prepared;
    EXPECT_EQ(loop.tuning.noteCorrection, 1.0f);
    EXPECT_FALSE(loop.tuning.exactLoop);
    EXPECT_TRUE(loop.longTerminator);
    EXPECT_EQ(loop.samples.size(), 400u) << "same rate: one sample per frame";
    EXPECT_EQ(loop.samples[0], 63);
    EXPECT_EQ(loop.samples[8], -63);
    EXPECT_EQ(loop.loopValue, -80 * 256);
    const auto entry = instrumentEntry(state, 0);
    EXPECT_EQ(entry[0], 0x08);
    EXPECT_EQ(entry[1], 255) << "sustain 100 %";
    EXPECT_EQ(entry[7], 60);
    const dsp::PreparedWave& drum = *state.usedSamples[1].prepared;
    EXPECT_FALSE(drum.tuning.corrected) << "played at its unity note";
    EXPECT_FALSE(drum.longTerminator);
    EXPECT_THAT(run.output, HasSubstr("  + Notes skipped due to high frequency: 1\n"
                                      "  + Regions needed for this collection:  2 (overall 22 "
                                      "bytes)\n"
                                      "  + Samples needed for this collection:  2 (1 drums, "
                                      "overall "));
    EXPECT_THAT(run.output, HasSubstr("overall 722 bytes)\n  + Done\n")) << "400 + 19 + 300 + 3";
}

struct UnsupportedWave {
    const char* name;
    std::function<void(DlsWave&)> spoil;
    const char* message;
};

void PrintTo(const UnsupportedWave& c, std::ostream* os) {
    *os << c.name;
}

class CompileUnsupportedWave : public ::testing::TestWithParam<UnsupportedWave> {};

TEST_P(CompileUnsupportedWave, IsSkippedWithAWarningAndTheRestCompiles) {
    CompilerState state = bank();
    GetParam().spoil(state.dls.waves[0]);
    state.songs.push_back(midiSong({noteOn(0, 0, 60), programChange(0, 1, 1), noteOn(0, 1, 60)}));
    const Collected run = compileAll(state);
    ASSERT_TRUE(run.outcome.goesOn()) << run.output;
    EXPECT_THAT(run.output, HasSubstr(std::string("      + WARN: wave 'PLAIN' skipped: ") +
                                      GetParam().message));
    ASSERT_EQ(state.usedSamples.size(), 2u);
    EXPECT_FALSE(state.usedSamples[0].prepared.has_value());
    EXPECT_EQ(state.dls.waves[0].usageCount, 0u) << "no output may hold the skipped wave";
    EXPECT_TRUE(state.usedSamples[1].prepared.has_value());
    EXPECT_EQ(usedSampleOf(state, 0), nullptr);
    EXPECT_EQ(instrumentEntry(state, 0)[0] & 0x08, 0x08) << "no sample: the long terminator";
    EXPECT_THAT(run.output, HasSubstr("  + Samples needed for this collection:  1 (0 drums, "
                                      "overall 403 bytes)\n  + Done\n"))
        << "LOOP alone, its loop exact: 400 + 3";
}

INSTANTIATE_TEST_SUITE_P(
    Waves, CompileUnsupportedWave,
    ::testing::Values(UnsupportedWave{"TwelveBits", [](DlsWave& w) { w.bitsPerSample = 12; },
                                      "unsupported sample size of 12 bits"},
                      UnsupportedWave{"NoChannels", [](DlsWave& w) { w.channels = 0; },
                                      "wave without channels"},
                      UnsupportedWave{"RateZero", [](DlsWave& w) { w.sampleRate = 0; },
                                      "wave with a sample rate of 0"},
                      // 192 kHz down to about 2 kHz needs a filter of some 3800 taps.
                      UnsupportedWave{"FilterTooLong", [](DlsWave& w) { w.sampleRate = 192000; },
                                      "resampling filter too long for the sample rates"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CompileSamples, LoopLongerThanItsWaveStopsWithADataError) {
    CompilerState state = bank();
    state.dls.waves[1].loopLength = 5000;
    state.songs.push_back(midiSong({programChange(0, 0, 1), noteOn(0, 0, 60)}));
    const Collected run = compileAll(state);
    EXPECT_EQ(run.outcome.exitCode(), Outcome::kDataError);
    EXPECT_THAT(run.output, HasSubstr("      + ERR: wave 'LOOP' cannot be converted: loop of "
                                      "5000 frames in a wave of 400 frames\n"));
    EXPECT_THAT(run.output, Not(HasSubstr("  + Done")));
}

TEST(CompileSamples, CompilingAgainCountsUsageAfreshAndReusesFilters) {
    CompilerState state = bank();
    state.songs.push_back(midiSong({noteOn(0, 0, 57), noteOn(5, 0, 57)}));
    Song ay;
    ay.kind = SongKind::Pt3;
    ay.path = "tune.pt3";
    state.songs.push_back(ay);
    Collected run = compileAll(state);
    ASSERT_TRUE(run.outcome.goesOn()) << run.output;
    EXPECT_THAT(run.output, Not(HasSubstr("tune.pt3")));
    EXPECT_FALSE(state.songs[1].compiled.compiled);
    EXPECT_EQ(state.dls.waves[0].usageCount, 2u);

    run = compileAll(state);
    ASSERT_TRUE(run.outcome.goesOn()) << run.output;
    EXPECT_EQ(state.dls.waves[0].usageCount, 2u);
    EXPECT_THAT(run.output, Not(HasSubstr("Generating filter")));
    EXPECT_EQ(state.filtersDesigned, 1u);
    EXPECT_EQ(state.instruments.size(), 1u);
}

} // namespace
} // namespace telmira::compiler
