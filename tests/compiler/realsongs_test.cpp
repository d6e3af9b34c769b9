// Every real MIDI file of the shared test data that the reader accepts compiles against the
// shipped bank zel.dls, and its event list keeps the voice allocation's promises.
#include "compiler/compile.h"
#include "compiler/dls.h"
#include "compiler/midi.h"
#include "compiler/samples.h"
#include "compiler/songcompiler.h"
#include "tests/common/testpaths.h"
#include "tests/compiler/voicewalk.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

namespace telmira::compiler {
namespace {

namespace fs = std::filesystem;

// The shipped bank and every MIDI file the reader takes, read once for the whole program.
class RealSongs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!telmira::test::haveTestdata())
            return;
        std::string log;
        Console console(log);
        base_ = new CompilerState;
        if (!readDls(*base_, console, std::string(TELMIRA_WORK_DIR) + "/zel.dls").goesOn()) {
            bankProblem_ = log;
            return;
        }
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(telmira::test::testdataDir() / "mid"))
            files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files)
            readMidi(*base_, console, file.string()); // refused files add no song
    }
    static void TearDownTestSuite() {
        delete base_;
        base_ = nullptr;
    }
    void SetUp() override {
        if (!telmira::test::haveTestdata())
            GTEST_SKIP() << "no shared test data";
        ASSERT_TRUE(bankProblem_.empty()) << bankProblem_;
        ASSERT_GE(base_->songs.size(), 30u) << "the reader takes most of the real files";
    }

    static CompilerState* base_;
    static std::string bankProblem_;
};

CompilerState* RealSongs::base_ = nullptr;
std::string RealSongs::bankProblem_;

TEST_F(RealSongs, CompileWithTheShippedBankAndKeepSixVoices) {
    CompilerState state = *base_;
    std::string log;
    Console console(log);
    const Outcome outcome = compileCollection(state, console);
    ASSERT_TRUE(outcome.goesOn()) << log.substr(log.size() > 4000 ? log.size() - 4000 : 0);
    EXPECT_THAT(log, ::testing::EndsWith("  + Done\n"));

    std::map<std::size_t, std::uint32_t> plays; // wave: non-removed note-ons
    for (const Song& song : state.songs) {
        SCOPED_TRACE(song.path);
        ASSERT_TRUE(song.compiled.compiled);
        const auto& events = song.compiled.events;
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events.front().type, event::kSetTim);
        EXPECT_EQ(events.back().type, event::kEnd);
        std::uint32_t time = 0;
        for (const SongEvent& e : events) {
            ASSERT_EQ(e.time - time, e.delta);
            time = e.time;
            if (!event::isNoteOn(e.type))
                continue;
            ASSERT_LT(e.instrument, state.instruments.size());
            const DlsRegion& region = state.dls.regions[state.instruments[e.instrument].region];
            ASSERT_EQ(region.wave, static_cast<std::size_t>(e.wave));
            EXPECT_LE(e.value, 124u);
            if (!e.removed)
                ++plays[static_cast<std::size_t>(e.wave)];
        }
        for (const std::string& problem : test::walkVoices(song.compiled, {}))
            ADD_FAILURE() << problem;
    }
    // Every used wave is prepared and counts its plays; every instrument has its sample.
    for (const UsedSample& sample : state.usedSamples) {
        ASSERT_TRUE(sample.prepared.has_value());
        EXPECT_FALSE(sample.prepared->samples.empty());
        EXPECT_EQ(state.dls.waves[sample.wave].usageCount, plays[sample.wave]);
    }
    for (std::size_t i = 0; i < state.instruments.size(); ++i)
        EXPECT_NE(usedSampleOf(state, *state.dls.regions[state.instruments[i].region].wave),
                  nullptr);
    EXPECT_GT(state.instruments.size(), 50u);
}

TEST_F(RealSongs, TightLimitsAndPrioritiesAreHonoured) {
    CompilerState state = *base_;
    state.maxMelodicVoices = 2;
    state.maxDrumVoices = 1;
    test::VoiceRules rules;
    rules.maxMelodic = 2;
    rules.maxDrums = 1;
    for (int ch = 0; ch < kMidiChannels; ++ch)
        rules.priority[static_cast<std::size_t>(ch)] = (ch * 7) % 5;
    std::set<int> modes;
    std::uint32_t skipped = 0;
    for (Song& song : state.songs) {
        SCOPED_TRACE(song.path);
        song.settings.channelPriority = rules.priority;
        std::string log;
        Console console(log);
        CollectionRun run;
        ASSERT_TRUE(compileSong(state, song, console, run).goesOn()) << log;
        for (const std::string& problem : test::walkVoices(song.compiled, rules))
            ADD_FAILURE() << problem;
        for (const SongEvent& e : song.compiled.events)
            if (event::isNoteOn(e.type))
                modes.insert(e.stealMode);
        skipped += song.compiled.notesSkipped;
    }
    EXPECT_EQ(modes, (std::set<int>{0, 1, 2, 3, 4})) << "the songs exercise every steal";
    EXPECT_GT(skipped, 0u) << "and drop notes for priority";
}

} // namespace
} // namespace telmira::compiler
