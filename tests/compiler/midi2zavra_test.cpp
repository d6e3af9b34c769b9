// midi2zavra as a program: runs in a private folder with small scripts, checking its console
// lines and exit codes, and its loading of the AY converter library from its own folder.
#include "tests/common/testpaths.h"
#include "tests/compiler/compilertest.h"
#include "tests/compiler/runprogram.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace telmira::compiler {
namespace {

namespace fs = std::filesystem;
using test::runProgram;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kBanner = "\nMIDI2ZAVRA - music converter for Zavra\nrev 1.0.1.0588 (024c)\n\n";

// A folder holding a copy of midi2zavra and, when asked, a converter library beside it.
class Midi2Zavra : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(fs::path(TELMIRA_WORK_DIR) / "midi2zavra", dir_ / "midi2zavra");
    }

    void putLibrary(const char* folder) {
        fs::copy_file(fs::path(folder) / "libayvex.so", dir_ / "libayvex.so");
    }

    test::ProgramRun run(const std::string& script) {
        test::writeFile(dir_ / "set.tcl", script);
        return runProgram(dir_ / "midi2zavra", {"set.tcl"}, dir_.dir());
    }

    test::TempDir dir_;
};

TEST_F(Midi2Zavra, UsageNeedsExactlyOneArgument) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"a.tcl", "b.tcl"}}) {
        const auto result = runProgram(dir_ / "midi2zavra", args, dir_.dir());
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.output, kBanner + "USAGE: midi2zavra <file.tcl>\n");
    }
}

TEST_F(Midi2Zavra, MissingScript) {
    const auto result = runProgram(dir_ / "midi2zavra", {"none.tcl"}, dir_.dir());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, kBanner + "TCL file not found: none.tcl\n");
}

TEST_F(Midi2Zavra, CommentsOnlyEndWithCode0) {
    const auto result = run("; nothing to do\r\n\r\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, kBanner);
}

TEST_F(Midi2Zavra, ScriptErrorIsTheLastLine) {
    const auto result = run("set_fs 8000\nset_master_volume 300\nset_song_flags 16\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, kBanner + "FS is set to 8000.00 Hz\n"
                                       "Master volume multiplier is set to 255\n"
                                       "\aTCL file error at line #3\n");
}

TEST_F(Midi2Zavra, CompiledSongReachesTheStatisticsFile) {
    test::writeFile(dir_ / "a.mid", test::smf(0, 96, {std::string("\x00\x90\x3C\x40", 4)}));
    const auto result = run("read_midi a.mid\ncompile\nwrite_stat s.txt\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(result.output, EndsWith("  + Done\nWriting statistics 's.txt'\n  + Done\n"));
    EXPECT_THAT(test::readFile(dir_ / "s.txt"),
                StartsWith("\r\n--- Usage of instruments for a.mid (melody size: "));
}

TEST_F(Midi2Zavra, CompilesAgainstTheShippedBank) {
    fs::copy_file(fs::path(TELMIRA_WORK_DIR) / "zel.dls", dir_ / "zel.dls");
    // Program 0, a C and an E held together, then the C again after a quarter.
    const std::string notes("\x00\xC0\x00\x00\x90\x3C\x50\x00\x40\x50\x60\x80\x3C\x40"
                            "\x00\x40\x40\x00\x90\x3C\x60\x60\x3C\x00",
                            24);
    test::writeFile(dir_ / "a.mid", test::smf(0, 96, {notes}));
    const auto result = run("read_dls zel.dls\nread_midi a.mid\ncompile\n");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_THAT(result.output,
                HasSubstr("Compiling MIDI song set for Zavra-5 synthesizer\n"
                          "  + INFO: using default sampling frequency 10416.67 Hz\n"));
    EXPECT_THAT(result.output, HasSubstr("  + compiling 'a.mid'\n"
                                         "    + minimum timestep = 96\n"
                                         "    + analysing GCD of timestep; GCD=96\n"
                                         "    + Volume adjustment coefficient: +"));
    EXPECT_THAT(result.output, HasSubstr("  + Resampling wavetable\n    + "));
    EXPECT_THAT(result.output, HasSubstr("        + Filter order is "));
    EXPECT_THAT(result.output, HasSubstr("  + Regions needed for this collection:  "));
    // Sample preparation's statistics, then the packing of the songs, then the end of compile.
    EXPECT_THAT(result.output, HasSubstr(" bytes)\n  + Calculating statistic for packing\n"));
    EXPECT_THAT(result.output, EndsWith("  + Done\n"));
}

TEST_F(Midi2Zavra, BrokenBankEndsWithCode2) {
    std::string bank = test::riffChunk("junk", "x");
    for (int i = 0; i < 8; ++i)
        bank = test::riffList("nest", bank);
    test::writeFile(dir_ / "deep.dls", test::riff("DLS ", bank));
    const auto result = run("read_dls deep.dls\n");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_THAT(result.output,
                EndsWith("  + ERR: LIST nesting deeper than eight levels at offset 96\n"));
}

TEST_F(Midi2Zavra, RealBankAndSongs) {
    if (!test::haveTestdata())
        GTEST_SKIP() << "no shared test data";
    const fs::path data = test::testdataDir();
    const auto result =
        run("read_dls " + (data / "dls" / "openjdk_gervill_ding.dls").string() + "\n" +
            "remap_region ding drum * * * * * * 0 0 60 100\n"
            "set_resolution 48\n"
            "read_midi " +
            (data / "mid" / "jazzsoft_test-2-tracks-type-1.mid").string() + "\n" + "read_midi " +
            (data / "mid" / "jazzsoft_test-empty-file.mid").string() + "\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output, HasSubstr("Target instrument not found for remap at 2\n"));

    const auto ok =
        run("read_dls " + (data / "dls" / "openjdk_gervill_ding.dls").string() + "\n" +
            "remap_region ding mel * 1 * * * * 0 0 60 100\n"
            "set_resolution 48\n"
            "read_midi " +
            (data / "mid" / "jazzsoft_test-2-tracks-type-1.mid").string() + "\n" + "read_midi " +
            (data / "mid" / "jazzsoft_test-empty-file.mid").string() + "\n");
    EXPECT_EQ(ok.exitCode, 1);
    EXPECT_THAT(ok.output, HasSubstr("Added remap 'ding' B=Any P=1 K=Any V=Any => Ding "
                                     "Instrument [0..127] [0..127]\n"));
    EXPECT_THAT(ok.output, HasSubstr("  + SMF resampling ratio is 0.50\n"));
    EXPECT_THAT(ok.output, EndsWith("  + 0 bytes read\n  + Error - no 'MThd' chunk\n"));
}

TEST_F(Midi2Zavra, Pt3ThroughTheLibraryBesideTheProgram) {
    putLibrary(FAKE_AYVEX_DIR);
    const std::string module = "OUT:\n0\n1\n2\n3\n4\n5\n6\n7\n0\n0\n0\n9\n-1\n";
    test::writeFile(dir_ / "song.pt3", module);
    const auto result = run("read_pt3 song.pt3\n");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    // The converter's warning comes between the compiler's lines, in order.
    char efficiency[64];
    std::snprintf(efficiency, sizeof efficiency, "  + Packing efficiency %.2f%% (%zu=>13)\n",
                  100.0 * (static_cast<double>(module.size()) - 13) / module.size(), module.size());
    EXPECT_EQ(result.output,
              kBanner + "Reading PT3 file song.pt3\n  + " + std::to_string(module.size()) +
                  " bytes read\n\a  + WARN: converter note\n" + efficiency + "  + Done\n");
    EXPECT_FALSE(fs::exists(dir_ / "out.m"));
}

TEST_F(Midi2Zavra, FxmResultCodeLeavesNoOutput) {
    putLibrary(FAKE_AYVEX_DIR);
    test::writeFile(dir_ / "song.fxm", "RC=3\nFXSM");
    const auto result = run("read_fxm song.fxm\n");
    // rc * 256 + 2; a process exit status keeps its low eight bits.
    EXPECT_EQ(result.exitCode, (3 * 256 + 2) & 0xFF);
    EXPECT_THAT(result.output, EndsWith("  + 9 bytes read\n  + Failed with rc=3\n"));
    EXPECT_FALSE(fs::exists(dir_ / "out.m"));
}

TEST_F(Midi2Zavra, MissingLibrary) {
    test::writeFile(dir_ / "song.fxm", "FXSM");
    const auto result = run("read_fxm song.fxm\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output,
                EndsWith("  + 4 bytes read\n  + ayvex support library loading error\n"));
}

TEST_F(Midi2Zavra, LibraryWithoutTheExport) {
    putLibrary(FAKE_AYVEX_NOEXPORTS_DIR);
    test::writeFile(dir_ / "song.pt3", "x");
    const auto result = run("read_pt3 song.pt3\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output,
                EndsWith("  + ayvex support library does'nt contains desired function\n"));
}

// With the converter of the work directory (when this build has it) a real module converts.
TEST(Midi2ZavraWork, RealPt3LeavesNoOutputBehind) {
    if (!fs::exists(fs::path(TELMIRA_WORK_DIR) / "libayvex.so"))
        GTEST_SKIP() << "this build has no libayvex.so";
    if (!test::haveTestdata())
        GTEST_SKIP() << "no shared test data";
    test::WorkCopy work;
    for (const auto& entry : fs::directory_iterator(test::testdataDir() / "pt3")) {
        test::writeFile(work / "set.tcl", "read_pt3 " + entry.path().string() + "\n");
        const auto result = runProgram(work / "midi2zavra", {"set.tcl"}, work.dir());
        EXPECT_EQ(result.exitCode, 0) << entry.path() << "\n" << result.output;
        EXPECT_THAT(result.output, HasSubstr("  + Packing efficiency ")) << entry.path();
        EXPECT_THAT(result.output, EndsWith("  + Done\n")) << entry.path();
        EXPECT_FALSE(fs::exists(work / "out.m")) << entry.path();
    }
}

} // namespace
} // namespace telmira::compiler
