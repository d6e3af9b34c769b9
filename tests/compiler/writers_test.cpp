// The output files: exact bytes and lines for a hand-built collection, the "Writing" lines, the
// failure to create a file, and text mode (CR LF, Windows-1251).
#include "compiler/dsp/instrument_entry.h"
#include "compiler/outputfile.h"
#include "compiler/samples.h"
#include "compiler/writers.h"
#include "tests/compiler/backendfixture.h"
#include "tests/compiler/compilertest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace telmira::compiler {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAreArray;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// Text as the writers save it.
std::string crlf(const std::string& text) {
    return textModeBytes(text);
}

struct Written {
    Outcome outcome = Outcome::next();
    std::string console;
};

using Writer = Outcome (*)(CompilerState&, Console&, const std::string&);

Written run(Writer writer, CompilerState& state, const std::string& path) {
    Written w;
    Console out(w.console);
    w.outcome = writer(state, out, path);
    return w;
}

class Writers : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::string file(const std::string& name) const { return test::readFile(dir_ / name); }

    CompilerState state_ = test::handBuiltCollection();
    test::TempDir dir_;
};

TEST_F(Writers, MelodyBinaryFile) {
    state_.sampleBank = 1;
    const Written w = run(writeSamplesBin, state_, path("song.zmid"));
    ASSERT_TRUE(w.outcome.goesOn());
    EXPECT_EQ(w.console, "Writing samples in binary format '" + path("song.zmid") +
                             "'\n  + Overall samples size = 76\n"
                             "  + Overall melodies size = 11\n  + Done\n");
    std::vector<std::uint8_t> expected = {76, 0, 0, 0};
    const std::uint8_t offsets[] = {43, 54, 0}; // the unplayed wave has no data in the file
    for (std::size_t i = 0; i < 3; ++i) {
        const auto entry = instrumentEntry(state_, i);
        expected.insert(expected.end(), entry.begin(), entry.end());
        expected.insert(expected.end(), {1, offsets[i], 0, 0, 0});
    }
    expected.insert(expected.end(), {65, 66, 67, 68, 69, 70, 71, 72, 0x00, 0xFF, 0xFC});
    expected.insert(expected.end(), {74,   54,   69,   0,    0,    0,    0,    0,    0, 0, 0,
                                     0x10, 0x0F, 0x0E, 0x0D, 0x0C, 0x0B, 0x0A, 0x09, 0, 0, 0});
    expected.insert(expected.end(),
                    {0x00, 0x02, 0x90, 0x01, 0x02, 0x03, 0x10, 0x00, 0x05, 0x20, 0x30});
    const std::string bytes = file("song.zmid");
    EXPECT_THAT(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), ElementsAreArray(expected));
}

TEST_F(Writers, MelodyBinaryFileBeforeCompileHoldsTheAySongsOnly) {
    CompilerState state;
    state.songs.push_back(state_.songs[0]);
    state.songs[0].data.clear(); // a MIDI song not compiled yet
    state.songs.push_back(state_.songs[1]);
    ASSERT_TRUE(run(writeSamplesBin, state, path("m.bin")).outcome.goesOn());
    EXPECT_EQ(file("m.bin"), std::string("\x04\x00\x00\x00\x10\x00\x05\x20\x30", 9));
}

TEST_F(Writers, StatisticsFile) {
    const Written w = run(writeStat, state_, path("set.stt"));
    ASSERT_TRUE(w.outcome.goesOn());
    EXPECT_EQ(w.console, "Writing statistics '" + path("set.stt") + "'\n  + Done\n");
    EXPECT_EQ(file("set.stt"),
              crlf("\n--- Usage of instruments for a.mid (melody size: 6)\n\n"
                   "******************* CH #1\n"
                   "MEL OB=    0 OP=  0      [Piano] B=    0 P=  0 K=[  0..127] V=[  0..127] "
                   "(pia)\n"
                   "******************* CH #10\n"
                   "DRM OB=    0 OP=  0      [Kick] B=    0 P=  0 K=[ 35.. 36] V=[  0..127] "
                   "(kick)\n"
                   "DRM OB=    0 OP=  5 key= 36 (Not found in DLS)\n"
                   "   +-------------->      [Kick] B=    0 P=  0 K=[ 35.. 36] V=[  0..127] "
                   "(kick)\n"
                   "\n--- Not a MIDI file b.pt3 (melody size: 5)\n\n"
                   "\n--- Overall usage of instruments\n\n"
                   "[Kick] B=   0 P=   0 K=[ 35.. 36] V=[  0..127] (kick)\tSZ=24\n"
                   "[Piano] B=   0 P=   0 K=[  0..127] V=[  0..127] (pia)\tSZ=11\n"
                   "\n--- Overall usage of samples\n\n"
                   "[kick]\tLS=--------- SZ=    22\n"
                   "[pia]\tLS=-00000400 SZ=    11\n"
                   "--------------------------------------\n"
                   "                                    33\n"));
}

TEST_F(Writers, StatisticsSortNamesAsWindows1251BytesAndKeepTheCodePage) {
    // "ё" sorts before "а" in Windows-1251 (0xB8 < 0xE0) but after it in Unicode.
    state_.dls.regions[0].name = "аккордеон";
    state_.dls.regions[1].name = "ёлка";
    state_.songs[0].path = "мелодия.mid";
    ASSERT_TRUE(run(writeStat, state_, path("s.stt")).outcome.goesOn());
    const std::string text = file("s.stt");
    EXPECT_THAT(text, HasSubstr("for \xEC\xE5\xEB\xEE\xE4\xE8\xFF.mid (melody size: 6)\r\n"));
    EXPECT_LT(text.find("\r\n[\xB8\xEB\xEA\xE0]"), text.find("\r\n[\xE0\xEA"));
}

TEST_F(Writers, DlsListingHasEveryRegionWithItsCurrentSize) {
    state_.usedSamples.pop_back(); // the bass wave not prepared: its estimated length counts
    ASSERT_TRUE(run(writeDlsInfo, state_, path("dls.txt")).outcome.goesOn());
    EXPECT_EQ(file("dls.txt"),
              crlf("\n--- DLS file instrument list\n\n"
                   "[Bass] B=   0 P=  33 K=[  0..127] V=[  0..127] (bass)\tSZ=119\n"
                   "[Kick] B=   0 P=   0 K=[ 35.. 36] V=[  0..127] (kick)\tSZ=24\n"
                   "[Piano] B=   0 P=   0 K=[  0..127] V=[  0..127] (pia)\tSZ=11\n"));
}

TEST_F(Writers, SamplesAssemblerText) {
    state_.sampleBank = 1;
    const Written w = run(writeSamplesAsm, state_, path("s.asm"));
    ASSERT_TRUE(w.outcome.goesOn());
    EXPECT_EQ(w.console, "Writing samples in ASM format '" + path("s.asm") +
                             "'\n  + Overall samples size = 66\n  + Done\n");
    const std::string text = file("s.asm");
    EXPECT_THAT(text, StartsWith(crlf("; Samples collection for Zavra\n"
                                      "; Created by Midi2Zavra rev 1.0\n\n"
                                      "; +----------------------+\n"
                                      "; | DLS  section begin   |\n"
                                      "; +----------------------+\n\n"
                                      "\t.RADIX\t16\n\n"
                                      "; --- Instrument table ---\n"
                                      "\nwti_ISDRUM:\t.EQU\t08h\n"
                                      "wti_KD_SIGN:\t.EQU\t20h\n"
                                      "wti_VA_SIGN:\t.EQU\t10h\n\n"
                                      "\t.GLOBAL\twt_INSTRUMENTS\n"
                                      "wt_INSTRUMENTS:\n\n"
                                      ";#00 B=0 P=0 KG=0 K=[0..127 (60)] V=[0..127] Melodic "
                                      "smp=pia name=Piano\n\n"
                                      "\t.DB\t00\n"
                                      "\t.DB\tff\t\t; Sustain 100.00%\n"
                                      "\t.DB\t00\t\t; V->A    0.00 cents\n"
                                      "\t.DB\tff\t\t; Attack  0.0000s\n"
                                      "\t.DB\t00\t\t; K->D    0.00 cents\n"
                                      "\t.DB\tff\t\t; Decay   0.0000s\n"
                                      "\t.DB\tff\t\t; Release 0.0000s\n"
                                      "\t.DB\t3c\t\t; Origin note 60\n"
                                      "\t.DB\t01h\n"
                                      "\t.DW\t$pia\n\n")));
    EXPECT_THAT(text, EndsWith(crlf("\n; ----- WaveTable data  -----\n\n"
                                    "$pia:\n\t.DB\t41,42,43,44h,45h,46,47,48\n"
                                    "\t.DB\t00,ff,fc ; -4.00\n\n"
                                    "$kick:\n\t.DB\t4a,36,45\n"
                                    "\t.DB\t80,80,80,80,80,80,80,80,08,07,06,05,04,03,02,01\n"
                                    "\t.DB\t00,00,00 ; 0.00\n\n"
                                    "$bass: ; !!!! Really not used !!!!\n"
                                    "\n\t.RADIX\t10\n\n")));
    EXPECT_THAT(text, HasSubstr(crlf(";#01 B=0 P=0 KG=0 K=[35..36 (60)] V=[0..127] Drum smp=kick "
                                     "name=Kick\n\n\t.DB\t08\n")));
}

TEST_F(Writers, SamplesAssemblerTextRowsOfSixteen) {
    // The loop of four samples starts at 20 - 1 - 4: the marks straddle the rows.
    state_.usedSamples[0].prepared->samples.assign(20, 1);
    ASSERT_TRUE(run(writeSamplesAsm, state_, path("s.asm")).outcome.goesOn());
    EXPECT_THAT(file("s.asm"),
                HasSubstr(crlf("$pia:\n\t.DB\t41,41,41,41,41,41,41,41,41,41,41,41,41,41,41,41h\n"
                               "\t.DB\t41h,41,41,41\n\t.DB\t00,ff,fc ; -4.00\n\n")));
}

SongEvent at(std::uint32_t time, std::uint32_t delta, std::uint16_t type, std::uint16_t voice = 0,
             std::uint32_t value = 0) {
    SongEvent e;
    e.time = time;
    e.delta = delta;
    e.type = type;
    e.voice = voice;
    e.value = value;
    return e;
}

std::vector<SongEvent> loggedEvents() {
    SongEvent timing = at(0, 0, event::kSetTim);
    timing.instrument = 0x3A;
    timing.velocity = 0x01;
    SongEvent note = at(0, 0, 60, 2, 124);
    note.instrument = 3;
    note.velocity = 120;
    note.drum = true;
    note.midiChannel = 9;
    note.stealMode = 4;
    SongEvent gone = note;
    gone.removed = true;
    SongEvent off = at(200, 200, event::kNoteOff + 2);
    off.forced = true;
    SongEvent killed = at(210, 10, event::kVChKill, 2, 60);
    killed.midiChannel = 9;
    return {timing,
            gone,
            note,
            at(0, 0, event::kDeltaP, 2, 0xF6),
            at(0, 0, event::kSetPch, 2, 0x1234),
            at(0, 0, event::kSetVol, 2, 80),
            at(200, 200, event::kMChKill, 3, 64),
            at(200, 0, event::kNOffLost, 3, 64),
            at(200, 0, event::kNSkip, 4, 65),
            at(200, 0, event::kNOffNone, 5, 66),
            off,
            killed,
            at(210, 0, event::kEnd)};
}

TEST_F(Writers, EventLogListsEveryEventRemovedOnesMarked) {
    state_.timeBase = 10416.666f;
    state_.songs[0].compiled.events = loggedEvents();
    const Written w = run(writeLog, state_, path("a.log"));
    ASSERT_TRUE(w.outcome.goesOn());
    EXPECT_EQ(w.console, "Writing MIDI log '" + path("a.log") + "'\n  + Done\n");
    EXPECT_EQ(file("a.log"),
              crlf("-------- a.mid -----------\n"
                   "+ 00000000 : 0000 :   : SetTim  : 314 : 33.17 Hz\n"
                   "- 00000000 : 0000 : 2 : NoteOn  : 3c : 03 : 78 : 7c : Drm : mch=09 : md=4\n"
                   "+ 00000000 : 0000 : 2 : NoteOn  : 3c : 03 : 78 : 7c : Drm : mch=09 : md=4\n"
                   "+ 00000000 : 0000 : 2 : DeltaP  : -10\n"
                   "+ 00000000 : 0000 : 2 : SetPch  : 1234\n"
                   "+ 00000000 : 0000 : 2 : SetVol  : 50\n"
                   "+ 000000c8 : 0200 :   : MChKill : mch=03/40 : By vol==0, non-playing note\n"
                   "+ 000000c8 : 0000 :   : NOffSkp : mch=03/40 : By priority or LRU\n"
                   "+ 000000c8 : 0000 :   : NSkip   : mch=04/41 : By priority\n"
                   "+ 000000c8 : 0000 :   : NOffSkp : mch=05/42 : By fExclusive or vol==0\n"
                   "+ 000000c8 : 0200 : 2 : NoteOff : Forced\n"
                   "+ 000000d2 : 0010 : 2 : VChKill : mch=09/3c : By vol==0\n"
                   "+ 000000d2 : 0000 :   : End\n"
                   "-------- b.pt3 -----------\n"));
}

TEST_F(Writers, SongsByteCodeText) {
    state_.timeBase = 10416.666f;
    state_.songs[0].compiled.events = loggedEvents();
    ASSERT_TRUE(run(writeSongsAsm, state_, path("songs.asm")).outcome.goesOn());
    const std::string legend =
        "; +----------------------+\n"
        "; | MIDI section begin   |\n"
        "; +----------------------+\n\n"
        "; 0F7h <chn#> <vol>                    - set volume on channel\n"
        "; 0F8h                                 - End of song\n"
        "; 0F9h <timing_byte>                   - Set timing resolution in 1/10416.67 s\n"
        "; 0FAh..0FFh                           - Release note on channel 0..5\n"
        "; 080h..0F6h <chn#> <smp#> <vel> <vol> - Play note\n"
        "; 000h..07Fh                           - Delay\n\n"
        "\t.RADIX\t16\n\n"
        "; --- Songs table ---\n\n"
        "wt_SONGS:\n\n"
        "\t.DW\t$S0000\t; a.mid\n\n"
        "\t.DW\t$S0001\t; b.pt3\n\n"
        "\n; ----- Song data  -----\n";
    // The delay of 200 ticks is the two bytes 01 48.
    EXPECT_EQ(file("songs.asm"),
              crlf("; Song collection for Zavra\n; Created by Midi2Zavra rev 1.0\n\n" + legend +
                   "\n$S0000:\t; a.mid\n"
                   "\n\t.DB\t0f9,03a,002,0bc,002,003,078,07c,0f0,002,0f6,0f6,002,034,012,0f7"
                   "\n\t.DB\t002,050,001,048,0fc,00a,0f8"
                   "\n$S0001:\t; b.pt3\n"
                   "\n\n\t.RADIX\t10\n\n"));

    // The packed form: a song without data keeps its number.
    state_.songs[0].data.clear();
    ASSERT_TRUE(run(writePackedSongsAsm, state_, path("packed.asm")).outcome.goesOn());
    EXPECT_EQ(file("packed.asm"), crlf("; Packed Song collection for Zavra\n"
                                       "; Created by Midi2Zavra rev 1.0\n\n" +
                                       legend +
                                       "\n$S0001:\n\t.DB\t10h,00h,05h,20h,30h\n"
                                       "\n\t.RADIX\t10\n\n"));
}

TEST_F(Writers, PackedSongsOneFilePerSong) {
    state_.songs[0].data.assign(17, 0xAB);
    fs::create_directory(dir_ / "multi");
    const Written w = run(writePackedSongsMultiple, state_, path("multi"));
    ASSERT_TRUE(w.outcome.goesOn());
    EXPECT_EQ(w.console, "Writing packed songs in ASM multi-file format to '" + path("multi") +
                             "'\n  + Done\n");
    EXPECT_EQ(file("multi/S0000.AM"),
              crlf("\t.RADIX\t16\n\n\nPT3M_S0000:\t; a.mid\n\n$S0000:\n"
                   "\t.DB\tabh,abh,abh,abh,abh,abh,abh,abh,abh,abh,abh,abh,abh,abh,abh,abh\n"
                   "\t.DB\tabh\n\n\t.RADIX\t10\n\n"));
    EXPECT_TRUE(fs::exists(dir_ / "multi" / "S0001.AM"));
}

TEST_F(Writers, RawTestSamplesStayInTheirFolder) {
    state_.dls.waves[1].name = "../kick";
    fs::create_directory(dir_ / "pcm");
    ASSERT_TRUE(run(writeBinarySamples, state_, path("pcm") + "/").outcome.goesOn());
    EXPECT_EQ(test::readFile(dir_ / "pcm" / "pia.pcm"), std::string("\1\2\3\4\5\6\7\x08"));
    EXPECT_EQ(test::readFile(dir_ / "pcm" / ".._kick.pcm"), std::string("\x0A\xF6\x05\0\0", 5));
    EXPECT_FALSE(fs::exists(dir_ / "kick.pcm"));
    // A folder that does not exist: the files are passed over without a message.
    const Written w = run(writeBinarySamples, state_, path("none"));
    EXPECT_TRUE(w.outcome.goesOn());
    EXPECT_EQ(w.console, "Writing test samples to directory '" + path("none") + "'\n  + Done\n");
}

TEST_F(Writers, AFileThatCannotBeCreatedEndsTheRun) {
    struct Case {
        const char* name;
        Writer writer;
        const char* headline;
    };
    const Case cases[] = {
        {"write_samples_bin", writeSamplesBin, "Writing samples in binary format '"},
        {"write_stat", writeStat, "Writing statistics '"},
        {"write_dls_info", writeDlsInfo, "Writing DLS info '"},
        {"write_log", writeLog, "Writing MIDI log '"},
        {"write_samples", writeSamplesAsm, "Writing samples in ASM format '"},
        {"write_songs", writeSongsAsm, "Writing songs in ASM format '"},
        {"write_packed_songs", writePackedSongsAsm, "Writing packed songs in ASM format '"},
        {"write_packed_songs_multiple", writePackedSongsMultiple,
         "Writing packed songs in ASM multi-file format to '"},
    };
    // A long path (past any 256-byte buffer) in a folder that does not exist.
    const std::string missing = path(std::string(300, 'd') + "/x");
    for (const Case& c : cases) {
        const Written w = run(c.writer, state_, missing);
        EXPECT_EQ(w.outcome.exitCode(), 1) << c.name;
        EXPECT_EQ(w.console, c.headline + missing + "'\n  + Can't create file: " + missing + "\n")
            << c.name;
    }
}

TEST_F(Writers, LongPathsAreWritten) {
    fs::path deep = dir_.dir();
    for (int i = 0; i < 6; ++i)
        deep /= std::string(100, static_cast<char>('a' + i));
    fs::create_directories(deep);
    const std::string target = (deep / "set.stt").string();
    ASSERT_GT(target.size(), 600u);
    ASSERT_TRUE(run(writeStat, state_, target).outcome.goesOn());
    EXPECT_TRUE(fs::exists(target));
}

} // namespace
} // namespace telmira::compiler
