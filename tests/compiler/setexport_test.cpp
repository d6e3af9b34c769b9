// midi2zavra run on a set script of the form the desktop application writes for the ROM export:
// real MIDI files and a PT3 module, the filter database, the project's data key and the patch
// of a demo firmware image, in a private copy of the work directory.
#include "base/romcontrol.h"
#include "base/zavrastream.h"
#include "compiler/fileio.h"
#include "compiler/pdb.h"
#include "tests/compiler/compilertest.h"
#include "tests/compiler/runprogram.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>

namespace telmira::compiler {
namespace {

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

const XteaKey kProjectKey = {0x76543210, 0xFEDCBA98, 0x13579BDF, 0x2468ACE0};
const char* const kProjectKeyText = "2468ACE013579BDFFEDCBA9876543210";
const char* const kImage = "RomData/set.rom";
const char* const kSongs[] = {"midly_Clementi.mid", "ail2_SHANTY.mid",
                              "jazzsoft_test-multichannel-chords-3.mid"};
const char* const kBell = "vtir_minimal_roundtrip.pt3";

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class SetExport : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::haveTestdata())
            GTEST_SKIP() << "no shared test data";
        if (!fs::exists(work_ / "zel.dls") || !fs::exists(work_ / "libayvex.so"))
            GTEST_SKIP() << "this build has no zel.dls or libayvex.so";
        // The runs start without a precompiled database, as a new installation does (a work
        // directory that ran the compiler keeps its pdb.dat).
        fs::remove(work_ / "pdb.dat");
        fs::create_directories(work_ / "Media" / "Temp");
        std::string script = "read_dls zel.dls\n"
                             "set_key " +
                             std::string(kProjectKeyText) +
                             "\n"
                             "precompiled_database pdb.dat\n"
                             "set_egtiming 5.85\n"
                             "set_max_drums 2\n"
                             "set_max_melodic 3\n";
        int n = 1;
        for (const char* song : kSongs) {
            const std::string name = "Media/Temp/00" + std::to_string(n++) + ".mid";
            fs::copy_file(test::testdataDir() / "mid" / song, work_ / name);
            script += "set_resolution 25\nset_master_volume 150\nset_channel_prio 10 1\n"
                      "read_midi " +
                      name + "\n";
        }
        fs::copy_file(test::testdataDir() / "pt3" / kBell, work_ / "Media/Temp/100.pt3");
        script += "set_song_type bell\nread_pt3 Media/Temp/100.pt3\n"
                  "compile\n"
                  "write_stat Media/Temp/set.stt\n"
                  "patch_zavra_rom " +
                  std::string(kImage) + "\n";
        test::writeFile(work_ / "Media/Temp/set.tcl", textModeScript(script));
    }

    static std::string textModeScript(const std::string& text) {
        return std::regex_replace(text, std::regex("\n"), "\r\n");
    }

    // A fresh copy of the demo image with its control structure enciphered under the project
    // key, as a project with its own key has it.
    rom::RomImage freshImage() {
        const std::string bytes = test::readFile(work_ / "RomData/korv28-512.rom");
        rom::RomImage image(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        const auto layout = rom::readPatchLayout(image, firmware::kDefaultDataKey).layout;
        EXPECT_TRUE(layout);
        const auto plain = rom::readControlStructureBytes(
            image, layout->structureOffset, layout->structureLength, firmware::kDefaultDataKey);
        EXPECT_TRUE(plain);
        EXPECT_TRUE(
            rom::writeControlStructure(image, layout->structureOffset, *plain, kProjectKey));
        test::writeFile(work_ / kImage, std::string(image.bytes().begin(), image.bytes().end()));
        return image;
    }

    test::ProgramRun compileSet() {
        return test::runProgram(work_ / "midi2zavra", {"Media/Temp/set.tcl"}, work_.dir());
    }

    std::vector<std::uint8_t> patched() const {
        const std::string bytes = test::readFile(work_ / kImage);
        return {bytes.begin(), bytes.end()};
    }

    test::WorkCopy work_;
};

// The song sizes of the statistics file, in song-list order.
std::vector<std::size_t> melodySizes(const std::string& stat) {
    std::vector<std::size_t> sizes;
    const std::regex size("\\(melody size: ([0-9]+)\\)");
    for (auto it = std::sregex_iterator(stat.begin(), stat.end(), size);
         it != std::sregex_iterator(); ++it)
        sizes.push_back(std::stoul((*it)[1]));
    return sizes;
}

TEST_F(SetExport, PatchesTheImageAndTheSongTableFindsEverySong) {
    const rom::RomImage original = freshImage();
    const auto run = compileSet();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("  + Writing precompiled data\n"));
    EXPECT_THAT(run.output, HasSubstr("Generating filter for resampling"));
    EXPECT_THAT(run.output, EndsWith("  + Fit found after 1 iteration\n  + Done.\n"));

    const rom::RomImage image(patched());
    const auto layout = rom::readPatchLayout(image, kProjectKey).layout;
    ASSERT_TRUE(layout);
    EXPECT_TRUE(rom::checksumMatches(image, layout->checksumPosition));
    EXPECT_FALSE(rom::checksumMatches(original, layout->checksumPosition) &&
                 std::equal(image.bytes().begin(), image.bytes().end(), original.bytes().begin()));

    // Patch points: song table, its melody part, the counts and the instrument table.
    std::map<unsigned, std::uint16_t> point;
    for (const rom::PatchPoint& p : layout->patchPoints)
        point[p.type] = p.address;
    const std::uint16_t table = *image.wordAt(point[0]);
    EXPECT_EQ(table, layout->melodyAreas[0].start);
    EXPECT_EQ(*image.wordAt(point[1]), table + 3);
    EXPECT_EQ(*image.byteAt(point[2]), 3);
    EXPECT_EQ(*image.byteAt(point[3]), 1);
    const unsigned instrumentBank = *image.byteAt(point[4]);
    const std::uint16_t instrumentAt =
        static_cast<std::uint16_t>(*image.byteAt(point[5]) << 8 | *image.byteAt(point[6]));
    const rom::MelodyArea& area = layout->melodyAreas.at(instrumentBank);
    EXPECT_TRUE(area.used() && instrumentAt >= area.start && instrumentAt < area.end);

    // The song table: the bell (the PT3 module) first, then the MIDI songs in script order;
    // every entry leads to its song.
    const auto sizes = melodySizes(test::readFile(work_ / "Media/Temp/set.stt"));
    ASSERT_EQ(sizes.size(), 4u);
    const std::size_t order[] = {3, 0, 1, 2};
    for (std::size_t k = 0; k < 4; ++k) {
        const std::uint8_t head = *image.byteAt(table + 3 * k);
        const std::uint32_t at = rom::romOffset(
            head & 0x0F, static_cast<std::uint16_t>(*image.byteAt(table + 3 * k + 1) << 8 |
                                                    *image.byteAt(table + 3 * k + 2)));
        const rom::MelodyArea& songArea = layout->melodyAreas.at(head & 0x0F);
        EXPECT_TRUE(songArea.used() && (at & 0xFFFF) >= songArea.start &&
                    (at & 0xFFFF) + sizes[order[k]] <= songArea.end);
        if (k == 0) {
            EXPECT_EQ(head & 0x80, 0x80) << "the bell song";
            continue;
        }
        EXPECT_EQ(head & 0x80, 0) << "song " << k;
        const auto song = image.bytes().subspan(at, sizes[order[k]]);
        const zavra::UnpackResult unpacked = zavra::unpackSong(song);
        ASSERT_TRUE(unpacked.events) << "song " << k << ": " << unpacked.error;
        EXPECT_EQ(unpacked.masterVolume, 150);
        EXPECT_GT(unpacked.events->size(), 10u);
    }
}

TEST_F(SetExport, TheSecondRunDesignsNoFilterAndACorruptDatabaseIsRebuilt) {
    freshImage();
    const auto first = compileSet();
    ASSERT_EQ(first.exitCode, 0) << first.output;
    const auto firstImage = patched();
    const auto database = readWholeFile((work_ / "pdb.dat").string());
    ASSERT_TRUE(database);
    const auto filters = decodeDatabase(*database).filters;
    ASSERT_TRUE(filters);
    ASSERT_GT(filters->size(), 0u);
    EXPECT_EQ(count(first.output, "Generating filter"), static_cast<int>(filters->size()));

    freshImage();
    const auto second = compileSet();
    ASSERT_EQ(second.exitCode, 0) << second.output;
    EXPECT_THAT(second.output, HasSubstr("Reading precompiled database 'pdb.dat'\n  + Done\n"));
    EXPECT_THAT(second.output, Not(HasSubstr("Generating filter")));
    EXPECT_EQ(patched(), firstImage);

    auto broken = *database;
    broken[broken.size() / 2] ^= 0x40;
    test::writeFile(work_ / "pdb.dat", std::string(broken.begin(), broken.end()));
    freshImage();
    const auto third = compileSet();
    ASSERT_EQ(third.exitCode, 0) << third.output;
    EXPECT_THAT(third.output, HasSubstr("  + WARN: Precompiled database integrity check fail"));
    EXPECT_EQ(count(third.output, "Generating filter"), static_cast<int>(filters->size()));
    EXPECT_EQ(patched(), firstImage);
    const auto rebuilt = readWholeFile((work_ / "pdb.dat").string());
    ASSERT_TRUE(rebuilt);
    EXPECT_THAT(decodeDatabase(*rebuilt).filters,
                ::testing::Optional(::testing::SizeIs(filters->size())));
}

} // namespace
} // namespace telmira::compiler
