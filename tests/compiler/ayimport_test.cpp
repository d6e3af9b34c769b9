// Import of AY modules: the converter's PT3 text output turned into song data and relocations,
// and read_pt3 / read_fxm driving a stand-in converter library in process.
#include "compiler/ayimport.h"
#include "tests/common/testpaths.h"
#include "tests/compiler/compilertest.h"

#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace telmira::compiler {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::string lines(std::initializer_list<long> values, const char* end = "\n") {
    std::string text;
    for (const long v : values)
        text += std::to_string(v) + end;
    return text;
}

// Header 0 1 99..102, sample 0 and ornament 0 numbers, 2S=4 2O=2 2P=6, five object bytes, the
// position list 0 3 and 255, the end mark, then the 1+2+1+3 pointers.
const std::string kOutput = lines({0,  1,  3, 4, 5,   6,  7,  8,  4,  2,  6,  10, 11, 12,
                                   13, 14, 0, 3, 255, -1, 29, 24, 26, 28, 24, 25, 27});

TEST(Pt3Output, BytesThenPointerWordsWithRelocations) {
    const auto song = decodePt3Output(kOutput, 100);
    ASSERT_TRUE(song.has_value());
    const std::vector<std::uint8_t> expected = {
        0,  1,  3,  4,  5,  6,  7, 8,  4, 2,                // header
        0,  29, 0,  24, 0,  26, 0, 28, 0, 24, 0, 25, 0, 27, // pointers, big-endian
        10, 11, 12, 13, 14, 0,  3, 255};                    // objects and position list
    EXPECT_THAT(song->data, ElementsAreArray(expected));
    EXPECT_THAT(song->relocations, ElementsAre(10, 12, 14, 16, 18, 20, 22));
}

TEST(Pt3Output, UnfilledPointersStayZeroAndCrLfIsRead) {
    const auto song =
        decodePt3Output(lines({0, 1, 3, 4, 5, 6, 7, 8, 4, 2, 6, 10, 11, -1, 300}, "\r\n"), 100);
    ASSERT_TRUE(song.has_value());
    ASSERT_EQ(song->data.size(), 26u);
    EXPECT_EQ(song->data[10], 1); // 300 as a big-endian word
    EXPECT_EQ(song->data[11], 44);
    for (std::size_t i = 12; i < 24; ++i)
        EXPECT_EQ(song->data[i], 0) << i;
    EXPECT_EQ(song->data[24], 10);
    EXPECT_THAT(song->relocations, ElementsAre(10));
}

TEST(Pt3Output, PointerAreaCountsAreSignedBytes) {
    // 254 at offset 8 reads as -2: the skip is 4 - 2 + 0 + 2 from offset 10.
    const auto song = decodePt3Output(lines({0, 1, 0, 0, 0, 0, 0, 0, 254, 0, 4, 9, -1}), 100);
    ASSERT_TRUE(song.has_value());
    ASSERT_EQ(song->data.size(), 15u);
    EXPECT_EQ(song->data[14], 9);
}

TEST(Pt3Output, MalformedOutputIsRefused) {
    EXPECT_FALSE(decodePt3Output("", 100)) << "no end mark";
    EXPECT_FALSE(decodePt3Output(lines({0, 1, 2}), 100)) << "no end mark";
    EXPECT_FALSE(decodePt3Output(lines({0, 1, -1, 5, -1}), 100)) << "two end marks";
    EXPECT_FALSE(decodePt3Output("0\n1\nabc\n-1\n", 100)) << "not a number";
    EXPECT_FALSE(decodePt3Output("0\n1x\n-1\n", 100)) << "not a number";
    EXPECT_FALSE(decodePt3Output(lines({1, 2, 3, 4, 5, -1}), 2)) << "past twice the module";
    EXPECT_FALSE(decodePt3Output(lines({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 100, -1}), 20))
        << "pointer area past the buffer";
    EXPECT_FALSE(decodePt3Output(lines({0, 1, 2, 3, 4, 5, 6, 7, 0, 0, 0, -1, 5, 6}), 100))
        << "pointer past the data";
    EXPECT_FALSE(decodePt3Output("0\n99999999999999999999999\n-1\n", 100)) << "out of range";
}

// Runs the commands in a private current folder, where the converter writes out.m.
class AyImport : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.dir());
        harness_.session.ayvexLibrary = std::string(FAKE_AYVEX_DIR) + "/libayvex.so";
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    int run(const std::string& command, const std::string& module) {
        test::writeFile(dir_ / "module", module);
        return harness_.run(command + " module\n");
    }

    test::TempDir dir_;
    std::filesystem::path previous_;
    test::ScriptHarness harness_;
};

TEST_F(AyImport, Pt3SongFromTheConverterOutput) {
    const std::string module = "OUT:\n" + kOutput;
    harness_.state().songType = SongType::Bell;
    ASSERT_EQ(run("read_pt3", module), 0) << harness_.output;
    const double efficiency = 100.0 * (static_cast<double>(module.size()) - 32) / module.size();
    char line[64];
    std::snprintf(line, sizeof line, "  + Packing efficiency %.2f%% (%zu=>32)\n", efficiency,
                  module.size());
    EXPECT_EQ(harness_.output, "Reading PT3 file module\n  + " + std::to_string(module.size()) +
                                   " bytes read\n" + line + "  + Done\n");
    ASSERT_EQ(harness_.state().songs.size(), 1u);
    const Song& song = harness_.state().songs[0];
    EXPECT_EQ(song.kind, SongKind::Pt3);
    EXPECT_EQ(song.path, "module");
    EXPECT_EQ(song.type, SongType::Bell);
    EXPECT_EQ(song.data, decodePt3Output(kOutput, module.size())->data);
    EXPECT_THAT(song.relocations, ElementsAre(10, 12, 14, 16, 18, 20, 22));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.m"));
}

TEST_F(AyImport, Pt3WithoutOutputFailsAndIgnoresAStaleFile) {
    test::writeFile(dir_ / "out.m", kOutput); // left over from an earlier run
    EXPECT_EQ(run("read_pt3", "not a converter request"), 1);
    EXPECT_THAT(harness_.output, ::testing::EndsWith(" bytes read\n  + Failed\n"));
    EXPECT_TRUE(harness_.state().songs.empty());
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.m"));
}

TEST_F(AyImport, Pt3MalformedOutputFails) {
    EXPECT_EQ(run("read_pt3", "OUT:\n1\n2\n3\n"), 1);
    EXPECT_THAT(harness_.output, ::testing::EndsWith("  + Failed - converted data is malformed\n"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.m"));
}

TEST_F(AyImport, FxmSongIsTheWholeOutputWithOneRelocation) {
    const std::string module = "FXSM\x01\x80 the rest";
    ASSERT_EQ(run("read_fxm", module), 0) << harness_.output;
    EXPECT_EQ(harness_.output, "Reading FXM file module\n  + 15 bytes read\n"
                               "  + Size: orig/processed 15/15\n  + Done\n");
    const Song& song = harness_.state().songs.at(0);
    EXPECT_EQ(song.kind, SongKind::Fxm);
    EXPECT_EQ(std::string(song.data.begin(), song.data.end()), module);
    EXPECT_THAT(song.relocations, ElementsAre(2));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.m"));
}

TEST_F(AyImport, FxmResultEndsTheRunWithItsCode) {
    EXPECT_EQ(run("read_fxm", "RC=41\npartial output"), 41 * 256 + 2);
    EXPECT_THAT(harness_.output, ::testing::EndsWith("  + Failed with rc=41\n"));
    EXPECT_TRUE(harness_.state().songs.empty());
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.m"));
}

TEST_F(AyImport, FxmWithoutOutput) {
    EXPECT_EQ(run("read_fxm", "RC=0\n"), 1);
    // The stand-in wrote an empty out.m: too short to hold the relocated word.
    EXPECT_THAT(harness_.output, ::testing::EndsWith("  + Failed - out data too short\n"));
}

TEST_F(AyImport, MissingModuleAndLibrary) {
    EXPECT_EQ(harness_.run("read_pt3 nothing.pt3\n"), 1);
    EXPECT_EQ(harness_.output, "Reading PT3 file nothing.pt3\n  + Can't open nothing.pt3\n");
    harness_.output.clear();
    harness_.session.ayvexLibrary = (dir_ / "libayvex.so").string();
    EXPECT_EQ(run("read_fxm", "FXSM"), 1);
    EXPECT_THAT(harness_.output, ::testing::EndsWith("  + ayvex support library loading error\n"));
}

} // namespace
} // namespace telmira::compiler
