// The MIDI file reader: hand-made files for timing, running status, SysEx, meta events and broken
// files, and every real file of the shared test data checked against an independent reader.
#include "compiler/midi.h"
#include "compiler/script.h"
#include "tests/common/testpaths.h"
#include "tests/compiler/compilertest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <set>
#include <sstream>

namespace telmira::compiler {
namespace {

using test::be16;
using test::be32;
using test::mtrk;
using test::smf;
using test::vlq;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;

struct Parsed {
    Outcome outcome = Outcome::next();
    Song song;
    std::string output;
};

Parsed parse(const std::string& file, std::uint32_t resolution = 0) {
    Parsed parsed;
    Console console(parsed.output);
    parsed.outcome = parseMidi(test::bytesOf(file), resolution, parsed.song, console);
    return parsed;
}

std::string noteOn(std::uint32_t delta, std::uint8_t key, std::uint8_t velocity = 64) {
    return vlq(delta) + std::string{'\x90', static_cast<char>(key), static_cast<char>(velocity)};
}

const std::string kEndOfTrack = std::string("\x00\xFF\x2F\x00", 4);

std::vector<std::uint32_t> deltas(const Song& song) {
    std::vector<std::uint32_t> result;
    for (const MidiEvent& e : song.events)
        result.push_back(e.delta);
    return result;
}

TEST(MidiReader, PrintsTheHeaderAndKeepsACopy) {
    const std::string file = smf(1, 96, {noteOn(0, 60) + kEndOfTrack});
    const Parsed p = parse(file);
    ASSERT_TRUE(p.outcome.goesOn()) << p.output;
    EXPECT_EQ(p.output, "  + SMF format 1\n"
                        "  + SMF contains 1 tracks\n"
                        "  + SMF timing resolution is 96 PPQN\n"
                        "  + Processing track #0\n"
                        "  + Done\n");
    EXPECT_TRUE(std::equal(p.song.header.begin(), p.song.header.end(), file.begin()));
    EXPECT_EQ(p.song.resolution, 96u);
    ASSERT_EQ(p.song.events.size(), 2u);
    EXPECT_EQ(p.song.events[0].type, 0x90);
    EXPECT_EQ(p.song.events[0].data1, 60);
    EXPECT_EQ(p.song.events[1].status(), 0xFF);
    EXPECT_EQ(p.song.events[1].data1, 0x2F);
}

TEST(MidiReader, SameResolutionKeepsTheFileDeltas) {
    const std::string file =
        smf(0, 480, {noteOn(0, 60) + noteOn(5, 61) + noteOn(300, 62) + noteOn(70000, 63)});
    const Parsed p = parse(file, 480);
    ASSERT_TRUE(p.outcome.goesOn());
    EXPECT_THAT(p.output, ::testing::Not(HasSubstr("ratio")));
    EXPECT_THAT(deltas(p.song), ElementsAre(0, 5, 300, 70000));
    EXPECT_EQ(p.song.events.back().time, 70305u);
    EXPECT_EQ(p.song.events.back().sourceTime, 70305u);
}

TEST(MidiReader, RescalingCarriesTheError) {
    std::string events;
    for (int i = 0; i < 5; ++i)
        events += noteOn(1, 60);
    const Parsed p = parse(smf(0, 480, {events}), 96);
    ASSERT_TRUE(p.outcome.goesOn());
    EXPECT_THAT(p.output, HasSubstr("  + SMF resampling ratio is 0.20\n"));
    EXPECT_THAT(deltas(p.song), ElementsAre(0, 0, 1, 0, 0));
    EXPECT_EQ(p.song.events[4].sourceDelta, 1u);
    EXPECT_EQ(p.song.events[4].sourceTime, 5u);
    EXPECT_EQ(p.song.resolution, 96u);
}

TEST(MidiReader, LongSongsKeepTheirTimeAcrossTheCarryWrap) {
    // 40 quarter notes of 480 ticks at output resolution 96: the exact time passes 8192 several
    // times, the output times stay exact multiples.
    std::string events;
    for (int i = 0; i < 40; ++i)
        events += noteOn(480 * 5, 60);
    const Parsed p = parse(smf(0, 480, {events}), 96);
    ASSERT_TRUE(p.outcome.goesOn());
    for (std::size_t i = 0; i < p.song.events.size(); ++i)
        EXPECT_EQ(p.song.events[i].time, 480u * (i + 1)) << i;
}

TEST(MidiReader, TracksMergeByTimeInTrackOrder) {
    const std::string file =
        smf(1, 96, {noteOn(0, 1) + noteOn(10, 2), noteOn(0, 3) + noteOn(10, 4)});
    const Parsed p = parse(file);
    ASSERT_TRUE(p.outcome.goesOn());
    EXPECT_THAT(p.output, HasSubstr("  + Processing track #1\n  + Resequencing to single track\n"
                                    "  + Done\n"));
    EXPECT_THAT(deltas(p.song), ElementsAre(0, 0, 10, 0));
    std::vector<int> keys;
    for (const MidiEvent& e : p.song.events)
        keys.push_back(e.data1);
    EXPECT_THAT(keys, ElementsAre(1, 3, 2, 4));
    EXPECT_EQ(p.song.events[3].time, 10u);
}

TEST(MidiReader, MergeGivesTheFirstEventOfEachTimeTheGap) {
    const std::string file = smf(1, 96, {noteOn(7, 1) + noteOn(20, 2), noteOn(15, 3)});
    const Parsed p = parse(file);
    EXPECT_THAT(deltas(p.song), ElementsAre(7, 8, 12));
}

TEST(MidiReader, RunningStatusCarriesOverMetaSysExAndTracks) {
    const std::string track0 = noteOn(0, 60) + vlq(1) + "\x3E\x40" + // running status
                               std::string("\x00\xFF\x01\x01x", 5) + vlq(1) + "\x40\x40" +
                               std::string("\x00\xF0\x02\x7E\xF7", 5) + vlq(1) + "\x41\x40";
    const std::string track1 = std::string("\x00\x43\x40", 3); // begins with a data byte
    const Parsed p = parse(smf(1, 96, {track0, track1}));
    ASSERT_TRUE(p.outcome.goesOn()) << p.output;
    std::vector<int> notes;
    for (const MidiEvent& e : p.song.events)
        if (e.type == 0x90)
            notes.push_back(e.data1);
    EXPECT_THAT(notes, ElementsAre(60, 0x43, 0x3E, 0x40, 0x41));
}

TEST(MidiReader, ChannelMessagesAndBend) {
    const std::string events = std::string("\x00\xC3\x05", 3) + std::string("\x00\xD4\x40", 3) +
                               std::string("\x00\xB5\x07\x64", 4) +
                               std::string("\x00\xE6\x7F\x7F", 4) +
                               std::string("\x00\xE6\x00\x40", 4) +
                               std::string("\x00\xF2\x01\x02", 4) + std::string("\x00\xF3\x09", 3);
    const Parsed p = parse(smf(0, 96, {events}));
    ASSERT_TRUE(p.outcome.goesOn());
    const auto& e = p.song.events;
    ASSERT_EQ(e.size(), 7u);
    EXPECT_EQ(e[0].type, 0xC0);
    EXPECT_EQ(e[0].channel, 3);
    EXPECT_EQ(e[0].data1, 5);
    EXPECT_EQ(e[1].data1, 0x40);
    EXPECT_EQ(e[2].data2, 0x64);
    // The 14-bit bend value is data2 * 256 + data1.
    EXPECT_EQ(e[3].data2 * 256 + e[3].data1, 0x3FFF);
    EXPECT_EQ(e[4].data2 * 256 + e[4].data1, 0x2000);
    EXPECT_EQ(e[5].data2 * 256 + e[5].data1, (2 << 7) | 1);
    EXPECT_EQ(e[6].status(), 0xF3);
    EXPECT_EQ(e[6].data1, 9);
}

TEST(MidiReader, SysExUpTo512BytesThe513thStops) {
    const auto sysex = [](std::size_t payload) {
        return std::string("\x00\xF0", 2) + std::string(payload, '\x01') + "\xF7" + noteOn(0, 60);
    };
    const Parsed ok = parse(smf(0, 96, {sysex(512)}));
    ASSERT_TRUE(ok.outcome.goesOn()) << ok.output;
    ASSERT_EQ(ok.song.events.size(), 2u);
    EXPECT_EQ(ok.song.events[0].status(), 0xF0);
    EXPECT_EQ(ok.song.events[0].data.size(), 512u);
    EXPECT_EQ(ok.song.events[1].data1, 60);

    const Parsed tooLong = parse(smf(0, 96, {sysex(513)}));
    EXPECT_EQ(tooLong.outcome.exitCode(), 1);
    EXPECT_THAT(tooLong.output, EndsWith("  + Processing track #0\n  + ERR: SysEx too long\n"));
}

TEST(MidiReader, LongMetaIsReadWhole) {
    const std::string text(200, 't');
    const Parsed p =
        parse(smf(0, 96, {std::string("\x00\xFF\x01", 3) + vlq(200) + text + noteOn(3, 60)}));
    ASSERT_TRUE(p.outcome.goesOn());
    ASSERT_EQ(p.song.events.size(), 2u);
    EXPECT_EQ(vlq(200).size(), 2u);
    EXPECT_EQ(p.song.events[0].data1, 1);
    EXPECT_EQ(p.song.events[0].data2, 200);
    EXPECT_EQ(std::string(p.song.events[0].data.begin(), p.song.events[0].data.end()), text);
    EXPECT_EQ(p.song.events[1].delta, 3u);
}

TEST(MidiReader, SysExEscapeIsSkippedByItsLength) {
    const Parsed p =
        parse(smf(0, 96, {std::string("\x00\xF7\x03\x90\x3C\x40", 6) + noteOn(2, 61)}));
    ASSERT_TRUE(p.outcome.goesOn());
    ASSERT_EQ(p.song.events.size(), 2u);
    EXPECT_EQ(p.song.events[0].status(), 0xF7);
    EXPECT_TRUE(p.song.events[0].data.empty());
    EXPECT_EQ(p.song.events[1].data1, 61);
}

TEST(MidiReader, ADeltaAtTheEndOfTheBodyEndsTheTrack) {
    const Parsed p = parse(smf(0, 96, {noteOn(0, 60) + vlq(5)}));
    ASSERT_TRUE(p.outcome.goesOn());
    EXPECT_EQ(p.song.events.size(), 1u);
}

TEST(MidiReader, NextTrackFollowsTheLastByteRead) {
    // The first track claims 3 bytes but its event takes 4; the second track starts after them.
    const std::string file = "MThd" + be32(6) + be16(1) + be16(2) + be16(96) + "MTrk" + be32(3) +
                             noteOn(0, 60) + mtrk(noteOn(0, 61));
    const Parsed p = parse(file);
    ASSERT_TRUE(p.outcome.goesOn()) << p.output;
    ASSERT_EQ(p.song.events.size(), 2u);
    EXPECT_EQ(p.song.events[1].data1, 61);
}

TEST(MidiReader, OtherChunksBeforeATrackAreSkipped) {
    const std::string file = "MThd" + be32(6) + be16(0) + be16(1) + be16(96) + "Junk" + be32(3) +
                             "abc" + mtrk(noteOn(0, 60));
    const Parsed p = parse(file);
    ASSERT_TRUE(p.outcome.goesOn()) << p.output;
    EXPECT_THAT(p.output, HasSubstr("  + WARN: skipped chunk 'Junk' (3 bytes)\n"));
    EXPECT_EQ(p.song.events.size(), 1u);
}

TEST(MidiReader, LongerHeaderChunkIsPassedOver) {
    const std::string file =
        "MThd" + be32(8) + be16(0) + be16(1) + be16(96) + "xx" + mtrk(noteOn(0, 60));
    const Parsed p = parse(file);
    ASSERT_TRUE(p.outcome.goesOn()) << p.output;
    EXPECT_EQ(p.song.events.size(), 1u);
}

struct BrokenMidi {
    const char* name;
    std::string file;
    std::string message;
};

void PrintTo(const BrokenMidi& c, std::ostream* os) {
    *os << c.name;
}

class BrokenMidiFile : public ::testing::TestWithParam<BrokenMidi> {};

TEST_P(BrokenMidiFile, IsRefusedWithExitCode1) {
    const Parsed p = parse(GetParam().file);
    EXPECT_EQ(p.outcome.exitCode(), 1);
    EXPECT_FALSE(p.outcome.goesOn());
    EXPECT_THAT(p.output, EndsWith(GetParam().message));
}

std::string header(std::uint16_t tracks, std::uint16_t division) {
    return "MThd" + be32(6) + be16(1) + be16(tracks) + be16(division);
}

std::string manyTracks(std::size_t count) {
    return smf(1, 96, std::vector<std::string>(count, noteOn(0, 60)));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenMidiFile,
    ::testing::Values(
        BrokenMidi{"Empty", "", "  + Error - no 'MThd' chunk\n"},
        BrokenMidi{"NotMidi", "RIFF1234RMIDdata", "  + Error - no 'MThd' chunk\n"},
        BrokenMidi{"ShortHeader", "MThd" + be32(6) + be16(0),
                   "  + ERR: 'MThd' chunk is incomplete\n"},
        BrokenMidi{"HeaderLengthTooSmall", "MThd" + be32(4) + be16(0) + be16(1) + be16(96),
                   "  + ERR: 'MThd' chunk is incomplete\n"},
        BrokenMidi{"Smpte", header(1, 0xE728) + mtrk(noteOn(0, 60)),
                   "  + SMF contains 1 tracks\n  + ERR: SMPTE time division is not supported\n"},
        BrokenMidi{"ZeroDivision", header(1, 0) + mtrk(noteOn(0, 60)),
                   "  + ERR: timing resolution 0 is not valid\n"},
        BrokenMidi{"SixtyFiveTracks", manyTracks(65),
                   "  + SMF contains 65 tracks\n  + ERR: more than 64 tracks are not supported\n"},
        BrokenMidi{"MissingTrack", header(2, 96) + mtrk(noteOn(0, 60)),
                   "  + Processing track #1\n  + ERR: expected 'MTrk' chunk, but not found\n"},
        BrokenMidi{"BinaryChunkInsteadOfTrack", header(1, 96) + "\x01\x02\x03\x04" + be32(0),
                   "  + ERR: expected 'MTrk' chunk, but not found\n"},
        BrokenMidi{"MetaPayloadPastTheEnd",
                   header(1, 96) + mtrk(std::string("\x00\xFF\x01\x7F", 4) + "abc"),
                   "  + ERR: track data runs past the end of the file\n"},
        BrokenMidi{"EventPastTheEnd", header(1, 96) + "MTrk" + be32(2) + std::string("\x00\x90", 2),
                   "  + ERR: track data runs past the end of the file\n"},
        BrokenMidi{"UnendedSysEx", header(1, 96) + mtrk(std::string("\x00\xF0\x01\x02", 4)),
                   "  + ERR: track data runs past the end of the file\n"},
        BrokenMidi{"EndlessQuantity", header(1, 96) + mtrk(std::string(10, '\xFF')),
                   "  + ERR: track data runs past the end of the file\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct CutTrack {
    const char* name;
    std::string body;     // what the file holds of the track
    std::size_t events;   // whole events read from it
    std::uint8_t lastKey; // data1 of the last event read
};

void PrintTo(const CutTrack& c, std::ostream* os) {
    *os << c.name;
}

class TrackCutByTheEndOfTheFile : public ::testing::TestWithParam<CutTrack> {};

TEST_P(TrackCutByTheEndOfTheFile, IsReadToTheEndWithAWarning) {
    const CutTrack& c = GetParam();
    const Parsed p = parse(header(1, 96) + "MTrk" + be32(100) + c.body);
    ASSERT_TRUE(p.outcome.goesOn()) << p.output;
    EXPECT_THAT(p.output, HasSubstr("  + Processing track #0\n"
                                    "  + WARN: track length runs past the end of the file (" +
                                    std::to_string(c.body.size()) +
                                    " of 100 bytes present), read to the end\n"));
    EXPECT_THAT(p.output, EndsWith("  + Done\n"));
    ASSERT_EQ(p.song.events.size(), c.events);
    EXPECT_EQ(p.song.events.back().data1, c.lastKey);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TrackCutByTheEndOfTheFile,
    ::testing::Values(CutTrack{"WholeEvents", noteOn(0, 60) + noteOn(4, 61), 2, 61},
                      CutTrack{"CutInsideAnEvent", noteOn(0, 60) + noteOn(4, 61).substr(0, 2), 1,
                               60},
                      CutTrack{"CutInsideADelta", noteOn(0, 60) + std::string("\x81", 1), 1, 60},
                      CutTrack{"CutInsideAMetaPayload",
                               noteOn(0, 60) + std::string("\x00\xFF\x01\x7F", 4) + "abc", 1, 60}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MidiReader, TracksAfterATrackCutByTheEndOfTheFileAreStillMissing) {
    const Parsed p = parse(header(2, 96) + "MTrk" + be32(100) + noteOn(0, 60));
    EXPECT_EQ(p.outcome.exitCode(), 1);
    EXPECT_THAT(p.output, EndsWith("  + WARN: track length runs past the end of the file (4 of "
                                   "100 bytes present), read to the end\n"
                                   "  + Processing track #1\n"
                                   "  + ERR: expected 'MTrk' chunk, but not found\n"));
}

TEST(MidiReader, AbsurdDeltaIsRefusedNotWrapped) {
    // 0x0FFFFFFF ticks at 1 PPQN scaled to 65535 PPQN lies far beyond any real song.
    const Parsed p = parse(smf(0, 1, {noteOn(0x0FFFFFFF, 60)}), 65535);
    EXPECT_EQ(p.outcome.exitCode(), 1);
    EXPECT_THAT(p.output, EndsWith("  + ERR: event time out of range\n"));
}

// ---- the command --------------------------------------------------------------------------------

TEST(ReadMidi, SongTakesThePerSongSettingsAndCopiesTheRest) {
    test::TempDir dir;
    const auto path = (dir / "a.mid").string();
    test::writeFile(path, smf(0, 96, {noteOn(0, 60)}));
    test::ScriptHarness harness;
    harness.state().dls.regions.push_back(DlsRegion{});
    const std::string script = "set_channel_prio 1 5\nset_channel_mask 2 0\n"
                               "set_chn_volume_adjustment 3 4\n"
                               "remap_program * 1 0 0\nset_instr_volume_adjustment 0 1 * 3\n"
                               "set_song_type bell\nset_master_volume 99\nset_song_flags 5\n"
                               "read_midi " +
                               path + "\nset_song_type melody\nread_midi " + path + "\n";
    ASSERT_EQ(harness.run(script), 0) << harness.output;
    EXPECT_THAT(harness.output, HasSubstr("Reading MIDI file " + path + "\n  + " +
                                          std::to_string(test::readFile(path).size()) +
                                          " bytes read\n  + SMF format 0\n"));
    const auto& songs = harness.state().songs;
    ASSERT_EQ(songs.size(), 2u);
    const Song& first = songs[0];
    EXPECT_EQ(first.kind, SongKind::Midi);
    EXPECT_EQ(first.path, path);
    EXPECT_EQ(first.type, SongType::Bell);
    EXPECT_EQ(first.masterVolume, 99);
    EXPECT_EQ(first.flags, 5);
    EXPECT_EQ(first.settings.channelPriority[0], 5);
    EXPECT_EQ(first.settings.channelMask[1], 0);
    ASSERT_EQ(first.settings.channelVolumes.size(), 1u);
    EXPECT_EQ(first.programRemaps.size(), 1u);
    EXPECT_EQ(first.instrumentVolumes.size(), 1u);
    // The per-song settings do not reach the second song; the remaps do.
    const Song& second = songs[1];
    EXPECT_EQ(second.type, SongType::Melody);
    EXPECT_EQ(second.settings.channelPriority[0], 0);
    EXPECT_EQ(second.settings.channelMask[1], 1);
    EXPECT_TRUE(second.settings.channelVolumes.empty());
    EXPECT_EQ(second.programRemaps.size(), 1u);
    EXPECT_EQ(second.instrumentVolumes.size(), 1u);
    EXPECT_TRUE(harness.state().nextSong.channelVolumes.empty());
    EXPECT_EQ(harness.state().programRemaps.size(), 1u);
}

TEST(ReadMidi, MissingFile) {
    test::ScriptHarness harness;
    EXPECT_EQ(harness.run("read_midi /nonexistent/a.mid\n"), 1);
    EXPECT_EQ(harness.output, "Reading MIDI file /nonexistent/a.mid\n"
                              "  + Can't open /nonexistent/a.mid\n");
    EXPECT_TRUE(harness.state().songs.empty());
}

// ---- real files ---------------------------------------------------------------------------------

// The same digest the reference tool computes with python3-mido (tools/midi_reference.py).
std::pair<std::size_t, std::uint64_t> digest(const Song& song) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    const auto add = [&h](std::uint8_t b) {
        h ^= b;
        h *= 0x100000001B3ull;
    };
    std::size_t count = 0;
    for (const MidiEvent& e : song.events) {
        if (e.type < 0x80 || e.type > 0xE0)
            continue;
        ++count;
        for (int shift = 0; shift < 32; shift += 8)
            add(static_cast<std::uint8_t>(e.time >> shift));
        add(e.status());
        add(e.data1);
        if (e.type != 0xC0 && e.type != 0xD0)
            add(e.data2);
    }
    return {count, h};
}

std::map<std::string, std::string> reference() {
    std::ifstream in(std::string(TELMIRA_FIXTURE_DIR) + "/midi_reference.txt");
    std::map<std::string, std::string> lines;
    std::string name;
    std::string rest;
    while (in >> name && std::getline(in, rest))
        lines[name] = rest.substr(1);
    return lines;
}

TEST(RealMidiFiles, MatchAnIndependentReaderOrAreRefused) {
    if (!test::haveTestdata())
        GTEST_SKIP() << "no shared test data";
    const auto expected = reference();
    ASSERT_FALSE(expected.empty());
    const std::set<std::string> refused = {"ail2_SPKRDEMO.xmi", "jazzsoft_test-empty-file.mid",
                                           "jazzsoft_test-not-a-midi-file.mid"};
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::testdataDir() / "mid")) {
        const std::string name = entry.path().filename().string();
        const std::string bytes = test::readFile(entry.path());
        ++files;
        const Parsed p = parse(bytes);
        if (refused.count(name)) {
            EXPECT_EQ(p.outcome.exitCode(), 1) << name;
            EXPECT_THAT(p.output, EndsWith("  + Error - no 'MThd' chunk\n")) << name;
            continue;
        }
        ASSERT_TRUE(p.outcome.goesOn()) << name << "\n" << p.output;
        const auto [count, hash] = digest(p.song);
        std::ostringstream ours;
        ours << count << ' ' << std::hex << std::setw(16) << std::setfill('0') << hash;
        const auto found = expected.find(name);
        ASSERT_NE(found, expected.end()) << name;
        if (found->second != "refused") {
            EXPECT_EQ(ours.str(), found->second) << name;
        }
        // Rescaled to a coarse resolution every file still reads.
        EXPECT_TRUE(parse(bytes, 24).outcome.goesOn()) << name;
    }
    EXPECT_EQ(files, static_cast<int>(expected.size()));
}

} // namespace
} // namespace telmira::compiler
