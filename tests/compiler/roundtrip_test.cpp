// Packing and unpacking every real MIDI file of the shared test data, compiled against the
// shipped bank zel.dls: the unpacked stream is the song's event list, event for event.
#include "base/zavrastream.h"
#include "compiler/bytecode.h"
#include "compiler/dls.h"
#include "compiler/midi.h"
#include "compiler/pack.h"
#include "compiler/songcompiler.h"
#include "tests/compiler/compilertest.h"
#include "tests/compiler/songtest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace telmira::compiler {
namespace {

namespace fs = std::filesystem;

TEST(PackingRoundTrip, EveryRealSongUnpacksToItsEventList) {
    const fs::path bank = fs::path(TELMIRA_WORK_DIR) / "zel.dls";
    if (!test::haveTestdata() || !fs::exists(bank))
        GTEST_SKIP() << "no shared test data or no zel.dls";
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(test::testdataDir() / "mid"))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());

    std::string log;
    Console out(log);
    CompilerState state;
    ASSERT_TRUE(readDls(state, out, bank.string()).goesOn()) << log;
    for (const fs::path& file : files) {
        // The corrupt and non-MIDI files of the suite end the reading: they are left out.
        CompilerState probe;
        std::string ignored;
        Console quiet(ignored);
        if (readMidi(probe, quiet, file.string()).goesOn()) {
            ASSERT_TRUE(readMidi(state, out, file.string()).goesOn());
        }
    }
    ASSERT_GE(state.songs.size(), 20u);

    CollectionRun run;
    for (Song& song : state.songs)
        ASSERT_TRUE(compileSong(state, song, out, run).goesOn()) << song.path;
    ASSERT_TRUE(packSongs(state, out).goesOn()) << log;

    std::size_t events = 0;
    for (const Song& song : state.songs) {
        SCOPED_TRACE(song.path);
        const zavra::UnpackResult unpacked = zavra::unpackSong(song.data);
        ASSERT_TRUE(unpacked.events) << unpacked.error;
        EXPECT_EQ(unpacked.masterVolume, song.masterVolume);
        const auto expected = test::writtenStream(song.compiled.events);
        ASSERT_EQ(unpacked.events->size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(unpacked.events->at(i), expected[i]) << "event " << i;
        events += expected.size();
    }
    // The set is a real one: thousands of events, pitch changes and long songs among them.
    EXPECT_GT(events, 10000u);
}

} // namespace
} // namespace telmira::compiler
