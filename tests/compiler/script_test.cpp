// The script language of midi2zavra: lines, tokens, arguments, and the commands' checks and
// messages, run in process against a console that collects the lines.
#include "compiler/commands.h"
#include "compiler/script.h"
#include "tests/compiler/compilertest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace telmira::compiler {
namespace {

using test::ScriptHarness;

const std::string kError1 = "\aTCL file error at line #1\n";

struct ScriptCase {
    const char* name;
    std::string script;
    int exitCode;
    std::string output;
};

void PrintTo(const ScriptCase& c, std::ostream* os) {
    *os << c.name;
}

class ScriptGrammar : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptGrammar, GivesTheExitCodeAndLines) {
    const ScriptCase& c = GetParam();
    ScriptHarness harness;
    EXPECT_EQ(harness.run(c.script), c.exitCode);
    EXPECT_EQ(harness.output, c.output);
}

std::string line(std::size_t length, const char* end = "\n") {
    // A comment line of `length` characters (at least the ";") before its line end. Built by
    // appending: GCC 12 warns falsely (-Wrestrict) on a literal + a temporary string.
    std::string text(1, ';');
    text.append(length > 1 ? length - 1 : 0, 'x');
    return text.append(end);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ScriptGrammar,
    ::testing::Values(
        ScriptCase{"CommentsAndEmptyLinesOnly", "; a comment\n\n   \t\n;another\r\n", 0, ""},
        ScriptCase{"EmptyScript", "", 0, ""},
        ScriptCase{"CapitalsNameTheSameCommand", "SET_FS 8000\nSet_Fs 9000", 0,
                   "FS is set to 8000.00 Hz\nFS is set to 9000.00 Hz\n"},
        ScriptCase{"TabsAndCrSeparate", "\t set_fs\t8000\r\n", 0, "FS is set to 8000.00 Hz\n"},
        ScriptCase{"CommentAfterArgumentIsAnError", "set_fs 8000 ; comment\n", 1, kError1},
        ScriptCase{"FloatThatIsNotANumberGivesZero", "set_fs abc\n", 0, "FS is set to 0.00 Hz\n"},
        ScriptCase{"FloatReadsItsNumericPrefix", "set_fs 1.5e3Hz\n", 0,
                   "FS is set to 1500.00 Hz\n"},
        ScriptCase{"FloatBeyondSinglePrecisionIsAnError", "set_fs 1e39\n", 1, kError1},
        ScriptCase{"MissingArgument", "set_fs\n", 1, kError1},
        ScriptCase{"UnknownCommand", "set_sf 1\n", 1, kError1},
        ScriptCase{"ComposedNameIsNotACommand", "set_fs;x 1\n", 1, kError1},
        ScriptCase{"LinesAreCountedWithEmptyAndCommentLines", "\n; c\n\nbogus\n", 1,
                   "\aTCL file error at line #4\n"},
        ScriptCase{"EarlierCommandsStandBeforeAnError", "set_fs 8000\nset_fs\n", 1,
                   "FS is set to 8000.00 Hz\n\aTCL file error at line #2\n"},
        ScriptCase{"NulByteIsAnError", std::string("set_fs 1\0", 9) + "\n", 1, kError1},
        ScriptCase{"NulByteInACommentIsNoError", std::string("; a\0b", 5) + "\n", 0, ""},
        ScriptCase{"LineOf200IsAccepted", line(199) + "set_fs 1\n", 0, "FS is set to 1.00 Hz\n"},
        ScriptCase{"LineOf201IsCorrupt", "set_fs 1\n" + line(200), 1,
                   "FS is set to 1.00 Hz\nTCL file corrupt: test.tcl\n"},
        ScriptCase{"CrLfCountsAsOneLineEnd", line(199, "\r\n"), 0, ""},
        ScriptCase{"LastLineWithoutEndMayHave200", line(200, ""), 0, ""},
        ScriptCase{"LastLineWithoutEndOf201IsCorrupt", line(201, ""), 1,
                   "TCL file corrupt: test.tcl\n"},
        ScriptCase{"VeryLongLineIsCorrupt", line(5000), 1, "TCL file corrupt: test.tcl\n"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Settings, ScriptGrammar,
    ::testing::Values(
        ScriptCase{"Timebase", "set_timebase 8000.25", 0, "TimeBase is set to 8000.25 Hz\n"},
        ScriptCase{"EgTiming", "set_egtiming 5.5", 0, "EG timing is set to 5.50 ms\n"},
        ScriptCase{"ChannelPriority", "set_channel_prio 16 3", 0,
                   "Priority of midi channel #16 is set to 3\n"},
        ScriptCase{"ChannelPriority17", "set_channel_prio 17 3", 1, kError1},
        ScriptCase{"ChannelPriority0", "set_channel_prio 0 3", 1, kError1},
        ScriptCase{"ChannelMask", "set_channel_mask 1 0", 0,
                   "Midi mask of midi channel #1 is set to 0\n"},
        ScriptCase{"ChannelMask17", "set_channel_mask 17 0", 1, kError1},
        ScriptCase{"MaxDrums", "set_max_drums 4", 0, "Maximum of simulateonus drums is set to 4\n"},
        ScriptCase{"MaxDrumsKeptIn16Bits", "set_max_drums 70000", 0,
                   "Maximum of simulateonus drums is set to 65535\n"},
        ScriptCase{"MaxMelodic", "set_max_melodic 2", 0,
                   "Maximum of simulateonus melodic instruments is set to 2\n"},
        ScriptCase{"UnsignedWithSign", "set_max_melodic -1", 1, kError1},
        ScriptCase{"UnsignedWithPlus", "set_max_melodic +1", 1, kError1},
        ScriptCase{"UnsignedWithLetters", "set_max_melodic 3x", 1, kError1},
        ScriptCase{"UnsignedWildcard", "set_max_melodic *", 1, kError1},
        ScriptCase{"UnsignedBeyond31Bits", "set_max_melodic 2147483648", 1, kError1},
        ScriptCase{"ResetPriority", "reset_priority", 0,
                   "\aWARN: 'reset_priority' is obsolete command\n"},
        ScriptCase{"Resolution", "set_resolution 96", 0, "Output resolution is set to 96 PPQN\n"},
        ScriptCase{"ResolutionZero", "set_resolution 0", 0,
                   "Output resolution defaulted to MIDI file settings\n"},
        ScriptCase{"MasterVolume300Becomes255", "set_master_volume 300", 0,
                   "Master volume multiplier is set to 255\n"},
        ScriptCase{"SongFlags15", "set_song_flags 15", 0, "Song flags is set to 15\n"},
        ScriptCase{"SongFlags16", "set_song_flags 16", 1, kError1},
        ScriptCase{"SongTypeKeywordsIgnoreCase", "set_song_type BELL\nset_song_type Melody", 0, ""},
        ScriptCase{"SongTypeOtherWord", "set_song_type tune", 1, kError1},
        ScriptCase{"R101xpTakesNoArgument", "use_r101xp 1", 1, kError1},
        ScriptCase{"ChannelVolume", "set_chn_volume_adjustment 10 -5", 0,
                   "Added volume adjustment: C=9 V=-5\n"},
        ScriptCase{"ChannelVolumeChanged",
                   "set_chn_volume_adjustment 10 -5\nset_chn_volume_adjustment 10 7", 0,
                   "Added volume adjustment: C=9 V=-5\nChanged volume adjustment: C=9 V=+7\n"},
        ScriptCase{"ChannelVolumeBeyond16", "set_chn_volume_adjustment 20 0", 0,
                   "Added volume adjustment: C=19 V=+0\n"},
        ScriptCase{"ChannelVolume0", "set_chn_volume_adjustment 0 1", 1, kError1},
        ScriptCase{"ChannelVolumeSignedOnlyMinus", "set_chn_volume_adjustment 1 +1", 1, kError1},
        ScriptCase{"SetKeyNotHex", "set_key 12g4", 1, kError1},
        ScriptCase{"SetKeyMissing", "set_key", 1, kError1},
        ScriptCase{"RemapWithoutBank", "remap_region r mel 0 0 * * * * 0 0 60 100", 1,
                   "Can't accept remap while no DLS file loaded\n"},
        ScriptCase{"RemapWithoutBankWhateverItsForm", "remap_region", 1,
                   "Can't accept remap while no DLS file loaded\n"},
        ScriptCase{"RemapProgramWithoutBank", "remap_program * 0 0 0", 1,
                   "Target instrument not found for remap at 1\n"}),
    [](const auto& info) { return std::string(info.param.name); });

const std::string kNotAvailable = " is not available in this build\n";

INSTANTIATE_TEST_SUITE_P(
    Compile, ScriptGrammar,
    ::testing::Values(ScriptCase{
        "CompileNothing", "compile", 0,
        "Compiling MIDI song set for Zavra-5 synthesizer\n"
        "  + INFO: using default sampling frequency 10416.67 Hz\n"
        "  + INFO: using default MIDI clock source 10416.67 Hz\n"
        "  + INFO: using default EG1 timestep 5.86 ms\n"
        "  + Resampling wavetable\n"
        "  + Notes skipped due to high frequency: 0\n"
        "  + Regions needed for this collection:  0 (overall 0 bytes)\n"
        "  + Samples needed for this collection:  0 (0 drums, overall 0 bytes)\n"
        "  + Calculating statistic for packing\n"
        "  + Overall: 0.00%, 0->0 bytes\n"
        "  + Done\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// The interpreter with no stage at all: it still checks the arguments of the commands that
// need one, and then refuses them clearly.
class WithoutStages : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(WithoutStages, GivesTheExitCodeAndLines) {
    const ScriptCase& c = GetParam();
    ScriptHarness harness{Stages{}};
    EXPECT_EQ(harness.run(c.script), c.exitCode);
    EXPECT_EQ(harness.output, c.output);
}

INSTANTIATE_TEST_SUITE_P(
    LaterStages, WithoutStages,
    ::testing::Values(
        ScriptCase{"Compile", "compile", 1, "ERR: command 'compile'" + kNotAvailable},
        ScriptCase{"CompileTakesNoArgument", "compile now", 1, kError1},
        ScriptCase{"WriteLog", "write_log a.log", 1, "ERR: command 'write_log'" + kNotAvailable},
        ScriptCase{"WriteLogNeedsPath", "write_log", 1, kError1},
        ScriptCase{"WriteLogOnePath", "write_log a b", 1, kError1},
        ScriptCase{"WriteSamples", "write_samples 1 s.asm", 1,
                   "ERR: command 'write_samples'" + kNotAvailable},
        ScriptCase{"WriteSamplesBankIsAByte", "write_samples 256 s.asm", 1, kError1},
        ScriptCase{"WriteSamplesNeedsPath", "write_samples 1", 1, kError1},
        ScriptCase{"WriteBinarySamples", "write_binary_samples dir", 1,
                   "ERR: command 'write_binary_samples'" + kNotAvailable},
        ScriptCase{"WriteSongs", "write_songs s.asm", 1,
                   "ERR: command 'write_songs'" + kNotAvailable},
        ScriptCase{"WritePackedSongs", "write_packed_songs s.asm", 1,
                   "ERR: command 'write_packed_songs'" + kNotAvailable},
        ScriptCase{"WriteStat", "write_stat s.txt", 1, "ERR: command 'write_stat'" + kNotAvailable},
        ScriptCase{"WriteDlsInfo", "write_dls_info d.txt", 1,
                   "ERR: command 'write_dls_info'" + kNotAvailable},
        ScriptCase{"WritePackedSongsMultiple", "write_packed_songs_multiple dir", 1,
                   "ERR: command 'write_packed_songs_multiple'" + kNotAvailable},
        ScriptCase{"WriteSamplesBin", "write_samples_bin 0 m.bin", 1,
                   "ERR: command 'write_samples_bin'" + kNotAvailable},
        ScriptCase{"WriteSamplesBinNeedsBank", "write_samples_bin m.bin", 1, kError1},
        ScriptCase{"PrecompiledDatabase", "precompiled_database pdb.dat", 1,
                   "ERR: command 'precompiled_database'" + kNotAvailable},
        ScriptCase{"PatchRom", "patch_zavra_rom a.rom", 1,
                   "ERR: command 'patch_zavra_rom'" + kNotAvailable},
        ScriptCase{"PatchRomOnePath", "patch_zavra_rom a.rom b", 1, kError1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandTable, HoldsThe34CommandsInLookupOrder) {
    const auto table = commandTable();
    ASSERT_EQ(table.size(), 34u);
    EXPECT_EQ(table[0].name, "set_fs");
    EXPECT_EQ(table[16].name, "remap_region");
    EXPECT_EQ(table[23].name, "precompiled_database");
    EXPECT_EQ(table[33].name, "set_key");
    for (const Command& command : table) {
        std::string upper(command.name);
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(findCommand(upper), &command) << upper;
    }
    EXPECT_EQ(findCommand("set_fsx"), nullptr);
}

TEST(ScriptState, SettingsLandInTheCompilerState) {
    ScriptHarness harness;
    ASSERT_EQ(harness.run("set_fs 8000\nset_timebase 9000\nset_egtiming 4\n"
                          "set_max_drums 5\nset_max_melodic 6\nset_song_type bell\n"
                          "set_master_volume 77\nset_song_flags 9\nuse_r101xp\n"
                          "set_resolution 120\n"),
              0);
    const CompilerState& s = harness.state();
    EXPECT_FLOAT_EQ(s.fs, 8000.0f);
    EXPECT_TRUE(s.fsGiven);
    EXPECT_FLOAT_EQ(s.timeBase, 9000.0f);
    EXPECT_TRUE(s.timeBaseGiven);
    EXPECT_FLOAT_EQ(s.egTimestep, 4.0f);
    EXPECT_TRUE(s.egTimestepGiven);
    EXPECT_EQ(s.maxDrumVoices, 5);
    EXPECT_EQ(s.maxMelodicVoices, 6);
    EXPECT_EQ(s.songType, SongType::Bell);
    EXPECT_EQ(s.masterVolume, 77);
    EXPECT_EQ(s.songFlags, 9);
    EXPECT_TRUE(s.r101xp);
    EXPECT_EQ(s.outputResolution, 120u);
}

TEST(ScriptState, StartValues) {
    const CompilerState s;
    EXPECT_EQ(s.fs, 10416.666f);
    EXPECT_EQ(s.timeBase, 10416.666f);
    EXPECT_EQ(s.egTimestep, 5.86f);
    EXPECT_FALSE(s.fsGiven || s.timeBaseGiven || s.egTimestepGiven);
    EXPECT_EQ(s.maxMelodicVoices, 3);
    EXPECT_EQ(s.maxDrumVoices, 3);
    EXPECT_EQ(s.masterVolume, 144);
    EXPECT_EQ(s.songType, SongType::Melody);
    for (int c = 0; c < kMidiChannels; ++c) {
        EXPECT_EQ(s.nextSong.channelPriority[static_cast<std::size_t>(c)], 0);
        EXPECT_EQ(s.nextSong.channelMask[static_cast<std::size_t>(c)], 1);
    }
}

TEST(ScriptState, ChannelSettingsGoToTheNextSong) {
    ScriptHarness harness;
    ASSERT_EQ(harness.run("set_channel_prio 3 7\nset_channel_mask 4 0\n"
                          "set_chn_volume_adjustment 10 -5\n"),
              0);
    const PerSongSettings& next = harness.state().nextSong;
    EXPECT_EQ(next.channelPriority[2], 7);
    EXPECT_EQ(next.channelMask[3], 0);
    ASSERT_EQ(next.channelVolumes.size(), 1u);
    EXPECT_EQ(next.channelVolumes[0].channel, 9);
    EXPECT_EQ(next.channelVolumes[0].change, -5);
}

struct KeyCase {
    const char* text;
    std::array<std::uint32_t, 4> words;
};

class SetKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(SetKey, ReadsOneHexadecimalNumberWithWord0Lowest) {
    ScriptHarness harness;
    ASSERT_EQ(harness.run(std::string("set_key ") + GetParam().text), 0);
    EXPECT_EQ(harness.output, "");
    EXPECT_EQ(harness.state().dataKey, GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SetKey,
    ::testing::Values(KeyCase{"1", {1, 0, 0, 0}},
                      KeyCase{"0123456789abcdefFEDCBA9876543210",
                              {0x76543210, 0xFEDCBA98, 0x89ABCDEF, 0x01234567}},
                      // Digits beyond 32 fall off at the top.
                      KeyCase{"F0123456789abcdefFEDCBA9876543210",
                              {0x76543210, 0xFEDCBA98, 0x89ABCDEF, 0x01234567}},
                      KeyCase{"123456789", {0x23456789, 1, 0, 0}}));

TEST(SetKey, DefaultIsTheFirmwareKey) {
    EXPECT_EQ(CompilerState().dataKey, firmware::kDefaultDataKey);
}

// A stage that records its calls, standing in for a later Part's work.
TEST(Stages, ArgumentsReachTheStageOnlyWhenValid) {
    std::vector<std::string> calls;
    Stages stages;
    stages.writeSamplesBin = [&](CompilerState& state, Console& out, const std::string& path) {
        calls.push_back(path + "@" + std::to_string(state.sampleBank));
        out.print("written\n");
        return Outcome::next();
    };
    stages.compile = [&](CompilerState&, Console&) {
        calls.push_back("compile");
        return Outcome::stop(Outcome::kDataError);
    };
    ScriptHarness harness(stages);
    EXPECT_EQ(harness.run("write_samples_bin 7 m.bin\nwrite_samples_bin 8\n"), 1);
    EXPECT_THAT(calls, ::testing::ElementsAre("m.bin@7"));
    EXPECT_EQ(harness.output, "written\n\aTCL file error at line #2\n");
    calls.clear();
    EXPECT_EQ(harness.run("compile\nset_fs 1\n"), 2);
    EXPECT_THAT(calls, ::testing::ElementsAre("compile"));
}

TEST(Stages, PrecompiledDatabaseIsAcceptedOnce) {
    int loads = 0;
    Stages stages;
    stages.loadPrecompiledDatabase = [&](CompilerState&, Console&, const std::string&) {
        ++loads;
        return Outcome::next();
    };
    ScriptHarness harness(stages);
    EXPECT_EQ(harness.run("precompiled_database a.dat\nprecompiled_database b.dat\n"), 1);
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(harness.output, "Only one precompiled_database allowed\n");
    EXPECT_EQ(harness.state().precompiledDatabase, "a.dat");
}

TEST(ScriptText, PathsAreReadAsWindows1251) {
    ScriptHarness harness;
    // A Cyrillic file name written in Windows-1251 is named in UTF-8 in the messages.
    EXPECT_EQ(harness.run("read_midi \xCC\xE5\xEB.mid\n"), 1);
    EXPECT_THAT(harness.output,
                ::testing::StartsWith("Reading MIDI file \xD0\x9C\xD0\xB5\xD0\xBB.mid\n"));
}

TEST(Program, BannerUsageAndMissingScript) {
    std::string output;
    Console console(output);
    Session session(console);
    const char* none[] = {"midi2zavra"};
    EXPECT_EQ(midi2zavraMain(1, none, session), 1);
    EXPECT_EQ(output, "\nMIDI2ZAVRA - music converter for Zavra\nrev 1.0.1.0588 (024c)\n\n"
                      "USAGE: midi2zavra <file.tcl>\n");
    output.clear();
    const char* two[] = {"midi2zavra", "a.tcl", "b.tcl"};
    EXPECT_EQ(midi2zavraMain(3, two, session), 1);
    EXPECT_THAT(output, ::testing::EndsWith("USAGE: midi2zavra <file.tcl>\n"));
    output.clear();
    const char* missing[] = {"midi2zavra", "/nonexistent/x.tcl"};
    EXPECT_EQ(midi2zavraMain(2, missing, session), 1);
    EXPECT_THAT(output, ::testing::EndsWith("TCL file not found: /nonexistent/x.tcl\n"));
    output.clear();
    const char* folder[] = {"midi2zavra", "/tmp"};
    EXPECT_EQ(midi2zavraMain(2, folder, session), 1);
    EXPECT_THAT(output, ::testing::EndsWith("TCL file not found: /tmp\n"));
}

} // namespace
} // namespace telmira::compiler
