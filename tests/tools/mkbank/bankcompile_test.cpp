// Real MIDI files compiled by midi2zavra against the shipped bank, in a copy of the work
// directory as zel runs it: the songs' programs and drums find their regions in zel.dls, and
// the regions the compiler keeps are the ones the built-in region table lists.
#include "melodies/instrumentregions.h"
#include "tests/common/testpaths.h"
#include "tests/compiler/runprogram.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace telmira::melodies {
namespace {

struct UsedRegion {
    std::string instrument;
    int program = 0;
    int lowKey = 0;
    int highKey = 0;
    std::string sample;
};

// The rows of the statistics file's "Overall usage of instruments" part.
std::vector<UsedRegion> overallUsage(const std::string& statistics) {
    std::vector<UsedRegion> rows;
    const std::size_t start = statistics.find("--- Overall usage of instruments");
    const std::size_t end = statistics.find("--- Overall usage of samples");
    if (start == std::string::npos || end == std::string::npos || end < start)
        return rows;
    static const std::regex row(R"(^\[(.+)\] B= *0 P= *(\d+) K=\[ *(\d+)\.\. *(\d+)\] )"
                                R"(V=\[ *\d+\.\. *\d+\] \((\w+)\)\s+SZ=\d+\s*$)");
    std::istringstream lines(statistics.substr(start, end - start));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::smatch m;
        if (std::regex_match(line, m, row))
            rows.push_back({m[1], std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]), m[5]});
        else if (!line.empty() && line[0] == '[')
            ADD_FAILURE() << "unexpected usage line: " << line;
    }
    return rows;
}

struct RealSong {
    const char* file;
    std::size_t leastPrograms; // melodic programs the song plays
    bool drums;
};

TEST(BankCompile, RealSongsCompileThroughMidi2zavraWithTheirPrograms) {
    if (!test::haveTestdata())
        GTEST_SKIP() << "no shared test data";
    const RealSong songs[] = {
        {"tonejs_beethoven_sym7_2_fmt1_single_track.mid", 8, false},
        {"openmsx_modern_motion.mid", 5, true},
        {"sonivox_ants_fmt0.mid", 5, true},
    };
    const std::string kitName = "Standard Drum Kit";
    for (const RealSong& song : songs) {
        SCOPED_TRACE(song.file);
        test::WorkCopy work;
        fs::copy_file(test::testdataDir() / "mid" / song.file, work / "song.mid");
        test::writeFile(work / "song.tcl", "read_dls zel.dls\r\nread_midi song.mid\r\ncompile\r\n"
                                           "write_stat stat.txt\r\n");
        const compiler::test::ProgramRun run =
            compiler::test::runProgram(work / "midi2zavra", {"song.tcl"}, work.dir());
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.output.find("ERR"), std::string::npos) << run.output;

        std::set<int> programs;
        bool drums = false;
        for (const UsedRegion& used : overallUsage(test::readFile(work / "stat.txt"))) {
            const std::string where = used.instrument + " " + used.sample;
            if (used.instrument == kitName) {
                drums = true;
                EXPECT_EQ(used.lowKey, used.highKey) << where;
                ASSERT_GE(used.lowKey, kFirstDrumKey) << where;
                ASSERT_LE(used.lowKey, kLastDrumKey) << where;
                EXPECT_EQ(drumSoundTable()[used.lowKey - kFirstDrumKey].sample, used.sample)
                    << where;
                continue;
            }
            ASSERT_LT(used.program, 128) << where;
            programs.insert(used.program);
            const InstrumentProgram& program = instrumentRegionTable()[used.program];
            EXPECT_EQ(program.name, used.instrument) << where;
            bool listed = false;
            for (int r = 0; r < program.regionCount; ++r) {
                const InstrumentRegion& region = program.regions[r];
                listed = listed || (region.sample == used.sample && region.lowKey == used.lowKey &&
                                    region.highKey == used.highKey);
            }
            EXPECT_TRUE(listed) << where << " keys " << used.lowKey << "-" << used.highKey
                                << " is not a region of the table";
        }
        EXPECT_GE(programs.size(), song.leastPrograms);
        EXPECT_EQ(drums, song.drums);
    }
}

} // namespace
} // namespace telmira::melodies
