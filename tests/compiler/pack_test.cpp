// Song packing: the static Huffman trees, the coded stream and its descriptors, checked against
// hand-worked bytes, and the decoder of the packed stream on good and broken songs.
#include "base/zavrastream.h"
#include "compiler/bytecode.h"
#include "compiler/huffman.h"
#include "compiler/pack.h"
#include "tests/compiler/songtest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

namespace telmira::compiler {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

// The symbol a code leads to in the tree.
std::optional<std::uint16_t> walk(const zavra::HuffmanTree& tree, const HuffmanCode& code) {
    std::size_t node = 0;
    for (unsigned i = 0; i < code.length; ++i) {
        const bool right = (code.bits >> i) & 1;
        const bool leaf = right ? tree.rightLeaf[node] : tree.leftLeaf[node];
        const std::uint16_t value = right ? tree.right[node] : tree.left[node];
        if (leaf)
            return i + 1 == code.length ? std::optional<std::uint16_t>(value) : std::nullopt;
        node = value;
    }
    return std::nullopt;
}

TEST(HuffmanTree, SmallestFirstIsTheRightChildAndTheRootBecomesNode0) {
    // (1,2) and (3,1) make node 0; then (4, node 0) and (5,0) make the root, node 1, which
    // trades numbers with node 0.
    const std::vector<std::uint32_t> counts = {5, 3, 1};
    const BuiltTree built = buildHuffmanTree(counts, false);
    EXPECT_THAT(built.tree.right, ElementsAre(1, 2));
    EXPECT_THAT(built.tree.rightLeaf, ElementsAre(0, 1));
    EXPECT_THAT(built.tree.left, ElementsAre(0, 1));
    EXPECT_THAT(built.tree.leftLeaf, ElementsAre(1, 1));
    EXPECT_EQ(built.codes[0].length, 1u);
    EXPECT_EQ(built.codes[0].bits, 0u);
    EXPECT_EQ(built.codes[1].length, 2u);
    EXPECT_EQ(built.codes[1].bits, 0b01u); // right, then left
    EXPECT_EQ(built.codes[2].bits, 0b11u);
}

TEST(HuffmanTree, ALoneSymbolGetsTheLowestUnusedOneAsPartner) {
    std::vector<std::uint32_t> counts(256, 0);
    counts[0] = 7;
    const BuiltTree voice = buildHuffmanTree(counts, false);
    ASSERT_EQ(voice.tree.nodes(), 1u);
    EXPECT_EQ(voice.tree.left[0], 0); // the real symbol is the larger count, taken second
    EXPECT_EQ(voice.tree.right[0], 1);
    EXPECT_EQ(voice.codes[0].length, 1u);

    counts[0] = 0;
    EXPECT_FALSE(buildHuffmanTree(counts, false).tree.present());
}

TEST(HuffmanTree, EqualCountsTakeTheHighestSymbolFirst) {
    const std::vector<std::uint32_t> counts = {1, 1};
    const BuiltTree built = buildHuffmanTree(counts, false);
    EXPECT_EQ(built.tree.left[0], 0);
    EXPECT_EQ(built.tree.right[0], 1);
}

TEST(HuffmanTree, EveryCodeLeadsToItsSymbolAndTheCodesFillTheTree) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::vector<std::uint32_t> counts(4096, 0);
        const int used = 2 + round * 37;
        for (int i = 0; i < used; ++i)
            counts[random() % counts.size()] = 1 + random() % 1000;
        const BuiltTree built = buildHuffmanTree(counts, true);
        double kraft = 0;
        std::size_t coded = 0;
        for (std::size_t s = 0; s < counts.size(); ++s) {
            if (counts[s] == 0) {
                EXPECT_EQ(built.codes[s].length, 0u);
                continue;
            }
            ++coded;
            EXPECT_EQ(walk(built.tree, built.codes[s]), s);
            kraft += std::ldexp(1.0, -static_cast<int>(built.codes[s].length));
        }
        EXPECT_EQ(built.tree.nodes(), coded - 1);
        EXPECT_DOUBLE_EQ(kraft, 1.0);
    }
}

SongEvent ev(std::uint32_t time, std::uint16_t type, std::uint16_t voice = 0) {
    SongEvent e;
    e.time = time;
    e.type = type;
    e.voice = voice;
    return e;
}

SongEvent setTim(std::uint32_t time, std::uint16_t timing) {
    SongEvent e = ev(time, event::kSetTim);
    e.instrument = timing & 0xFF;
    e.velocity = timing >> 8;
    return e;
}

SongEvent noteOn(std::uint32_t time, int key, int voice, int instrument, int velocity, int volume) {
    SongEvent e = ev(time, static_cast<std::uint16_t>(key), static_cast<std::uint16_t>(voice));
    e.instrument = static_cast<std::uint16_t>(instrument);
    e.velocity = static_cast<std::uint16_t>(velocity);
    e.value = static_cast<std::uint32_t>(volume);
    return e;
}

SongEvent valueEvent(std::uint32_t time, std::uint16_t type, int voice, std::uint32_t value) {
    SongEvent e = ev(time, type, static_cast<std::uint16_t>(voice));
    e.value = value;
    return e;
}

std::vector<std::uint8_t> pack(const std::vector<SongEvent>& events, std::uint8_t volume = 144) {
    const CountResult counted = countSymbols(events);
    EXPECT_TRUE(counted.ok);
    std::array<BuiltTree, zavra::kTreeCount> trees;
    for (unsigned t = 0; t < zavra::kTreeCount; ++t)
        trees[t] = buildHuffmanTree(counted.counts[t], t == zavra::kPitchTree);
    const PackResult packed = packEvents(events, trees, volume);
    EXPECT_TRUE(packed.ok);
    return packed.data;
}

TEST(PackedSong, HandWorkedSongByteForByte) {
    // SetTim 0x30, a note at 0, its release 256 ticks later (the long-delay escape), End.
    const std::vector<SongEvent> events = {setTim(0, 0x30), noteOn(0, 60, 0, 0, 64, 124),
                                           ev(256, event::kNoteOff), ev(256, event::kEnd)};
    const std::vector<std::uint8_t> expected = {
        0x00, 0x02, 0x90,                                           // format, master volume 144
        0x00, 0x26, 0x01, 0x01, 0x00, 0x2A, 0x04, 0x01,             // trees 0, 1
        0x00, 0x34, 0x01, 0x01, 0x00, 0x38, 0x01, 0x01,             // trees 2, 3
        0x00, 0x3C, 0x01, 0x01, 0x00, 0x40, 0x01, 0x01,             // trees 4, 5
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,             // trees 6, 7 absent
        0x00, 0x13, 0x40, 0x56, 0xA0, 0x01,                         // the coded stream
        0x01, 0x01, 0x01, 0x00,                                     // delay tree {0, (1)}
        0x0E, 0x0A, 0x01, 0xF8, 0x3C, 0xFA, 0x02, 0xEF, 0x03, 0xF9, // type tree
        0x01, 0x01, 0x01, 0x00,                                     // voices {0, (1)}
        0x01, 0x01, 0x30, 0x00,                                     // instrument field {0, 0x30}
        0x01, 0x01, 0x40, 0x00,                                     // velocity field {0, 64}
        0x01, 0x01, 0x7C, 0x00};                                    // volume {0, 124}
    EXPECT_THAT(pack(events), ElementsAreArray(expected));
    EXPECT_EQ(songByteCode(events).size(), 12u);
    EXPECT_THAT(songByteCode(events),
                ElementsAre(0xF9, 0x30, 0x01, 0xBC, 0, 0, 64, 124, 0x02, 0x00, 0xFA, 0xF8));
}

TEST(PackedSong, DecodesBackToItsEvents) {
    std::vector<SongEvent> events = {setTim(0, 0x1234), noteOn(0, 60, 0, 3, 120, 124),
                                     noteOn(0, 64, 1, 4, 64, 80)};
    SongEvent superseded = noteOn(0, 67, 2, 5, 8, 12);
    superseded.removed = true;
    events.push_back(superseded);
    events.push_back(valueEvent(0, event::kMChKill, 3, 40)); // log only
    events.push_back(valueEvent(1, event::kDeltaP, 0, 0xF6));
    events.push_back(valueEvent(128, event::kSetPch, 1, 4095));
    events.push_back(valueEvent(4095, event::kSetVol, 0, 60));
    events.push_back(ev(4096, event::kNoteOff + 1));
    events.push_back(setTim(20000, 0xFFFF)); // beyond what a SetTim can carry
    events.push_back(ev(20000 + 3 * 4095, event::kNoteOff));
    events.push_back(ev(20000 + 3 * 4095 + 4096, event::kEnd));
    const auto bytes = pack(events, 200);

    const zavra::UnpackResult unpacked = zavra::unpackSong(bytes);
    ASSERT_TRUE(unpacked.events) << unpacked.error;
    EXPECT_EQ(unpacked.masterVolume, 200);
    EXPECT_EQ(*unpacked.events, test::writtenStream(events));
    EXPECT_EQ(unpacked.events->at(7).event.timing, zavra::kMaxTiming);
    EXPECT_EQ(unpacked.events->at(7).delay, 20000u - 4096u);
}

TEST(PackedSong, LongDelaysAreRunsOfEscapes) {
    EXPECT_THAT(codedDelays(0), ElementsAre());
    EXPECT_THAT(codedDelays(4095), ElementsAre(4095));
    EXPECT_THAT(codedDelays(4096), ElementsAre(4095, 1));
    EXPECT_THAT(codedDelays(12000), ElementsAre(4095, 4095, 3810));
    // Byte-code delays beyond 14 bits are runs too.
    std::vector<std::uint8_t> bytes;
    appendByteCodeDelay(bytes, 200);
    EXPECT_THAT(bytes, ElementsAre(0x01, 0x48));
    bytes.clear();
    appendByteCodeDelay(bytes, 0x3FFF + 5);
    EXPECT_THAT(bytes, ElementsAre(0x7F, 0x7F, 0x05));
}

TEST(PackedSong, AllEventsAtTimeZeroCodeEachDelayAsOneBit) {
    const std::vector<SongEvent> events = {setTim(0, 100), ev(0, event::kEnd)};
    const auto bytes = pack(events);
    const auto song = zavra::readPackedSong(bytes);
    ASSERT_TRUE(song.song) << song.error;
    EXPECT_FALSE(song.song->trees[zavra::kDelayTree].present());
    // 0, SetTim's code, 16 bits, 0, End's code: one bit each for the two types.
    EXPECT_EQ(song.song->stream.size(), 3u);
    EXPECT_EQ(song.song->stream[0] & 1, 0);
}

struct StageRun {
    Outcome outcome = Outcome::next();
    std::string output;
};

StageRun packStage(CompilerState& state) {
    StageRun run;
    Console out(run.output);
    run.outcome = packSongs(state, out);
    return run;
}

Song compiledSong(std::vector<SongEvent> events) {
    Song song;
    song.path = "a.mid";
    song.masterVolume = 144;
    song.compiled.compiled = true;
    song.compiled.events = std::move(events);
    return song;
}

TEST(PackSongs, ReportsEachSongAndSetsItsData) {
    CompilerState state;
    state.songs.push_back(compiledSong({setTim(0, 0x30), noteOn(0, 60, 0, 0, 64, 124),
                                        ev(256, event::kNoteOff), ev(256, event::kEnd)}));
    Song ay;
    ay.kind = SongKind::Pt3;
    ay.data = {1, 2, 3};
    ay.relocations = {0};
    state.songs.push_back(ay);
    const StageRun run = packStage(state);
    EXPECT_TRUE(run.outcome.goesOn());
    EXPECT_EQ(run.output, "  + Calculating statistic for packing\n"
                          "    + Analyzing a.mid\n"
                          "      + CN = {1, 4, 1, 1, 1, 1, 0, 0}\n"
                          "  + Packing a.mid\n"
                          "    + Efficiency: -491.67%, 12->71 bytes\n"
                          "  + Overall: -491.67%, 12->71 bytes\n");
    EXPECT_EQ(state.songs[0].data.size(), 71u);
    EXPECT_THAT(state.songs[1].data, ElementsAre(1, 2, 3)); // AY songs keep their data
    EXPECT_THAT(state.songs[1].relocations, ElementsAre(0));
}

TEST(PackSongs, ValuesTheTreesCannotCarryAreDataErrors) {
    struct Case {
        SongEvent event;
        const char* line;
    };
    for (const Case& c : {Case{valueEvent(0, event::kSetPch, 0, 4096), "pitch exceeds 4095"},
                          Case{noteOn(0, 60, 0, 256, 64, 100), "instrument exceeds 255"}}) {
        CompilerState state;
        state.songs.push_back(compiledSong({setTim(0, 1), c.event, ev(0, event::kEnd)}));
        const StageRun run = packStage(state);
        EXPECT_EQ(run.outcome.exitCode(), Outcome::kDataError);
        EXPECT_THAT(run.output, HasSubstr(std::string("      + Error - ") + c.line + "\n"));
        EXPECT_TRUE(state.songs[0].data.empty());
    }
}

TEST(PackSongs, APitchTreeBeyond255NodesIsADataError) {
    std::vector<SongEvent> events = {setTim(0, 1)};
    for (std::uint32_t p = 0; p < 300; ++p)
        events.push_back(valueEvent(p, event::kSetPch, 0, 1000 + p));
    events.push_back(ev(300, event::kEnd));
    CompilerState state;
    state.songs.push_back(compiledSong(events));
    const StageRun run = packStage(state);
    EXPECT_EQ(run.outcome.exitCode(), Outcome::kDataError);
    EXPECT_THAT(run.output, HasSubstr("      + CN = {1, 2, 1, 1, 1, 1, 299, 0}\n"
                                      "      + Error - tree 6 has more than 255 nodes\n"));
}

// ---- Reading packed songs ------------------------------------------------------------------

std::vector<std::uint8_t> goodSong() {
    return pack({setTim(0, 0x30), noteOn(0, 60, 0, 0, 64, 124), ev(256, event::kNoteOff),
                 ev(256, event::kEnd)});
}

TEST(PackedSongReader, RefusesBrokenSongsWithAReason) {
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"ShortHeader", [](auto& b) { b.resize(20); }, "shorter than the packed song header"},
        {"TreeOutside", [](auto& b) { b.resize(b.size() - 1); }, "outside the song"},
        {"TreeInHeader", [](auto& b) { b[4] = 0x01; }, "overlaps the header"},
        {"BitmapTooShort", [](auto& b) { b[10] = 0x00; }, "too short"},
        {"NodeOutOfRange", [](auto& b) { b[0x2A + 3 + 2] = 0x09; }, "names a node"},
        {"TreeLoops", [](auto& b) { b[0x2A + 3 + 6] = 0x00; }, "has a loop"},
        {"StreamCut", [](auto& b) { b[35 + 5] = 0; }, "ends"},
        {"MissingTree", [](auto& b) { b[3 + 4 * 5 + 1] = 0; }, "lacks"},
    };
    for (const Case& c : cases) {
        auto bytes = goodSong();
        c.damage(bytes);
        const zavra::UnpackResult result = zavra::unpackSong(bytes);
        EXPECT_FALSE(result.events) << c.name;
        EXPECT_THAT(result.error, HasSubstr(c.error)) << c.name;
    }
}

TEST(PackedSongReader, StepsAsThePhoneDoesAndRestarts) {
    const auto bytes = goodSong();
    const auto song = zavra::readPackedSong(bytes);
    ASSERT_TRUE(song.song);
    zavra::StreamDecoder decoder(*song.song);
    std::vector<std::string> steps;
    for (int round = 0; round < 2; ++round) {
        for (;;) {
            const auto step = decoder.next();
            ASSERT_TRUE(step) << decoder.error();
            steps.push_back(step->isDelay ? "d" + std::to_string(step->delay)
                                          : std::to_string(step->event.type));
            if (!step->isDelay && step->event.type == zavra::type::kEnd)
                break;
        }
        decoder.restart();
    }
    EXPECT_THAT(steps,
                ElementsAre("249", "60", "d256", "250", "248", "249", "60", "d256", "250", "248"));
}

} // namespace
} // namespace telmira::compiler
