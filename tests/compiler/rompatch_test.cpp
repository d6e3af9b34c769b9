// ROM patching: the allocation heuristic, and the hand-built collection placed into demo
// firmware images byte for byte, with the checks that refuse to patch.
#include "base/romcontrol.h"
#include "compiler/allocation.h"
#include "compiler/rompatch.h"
#include "compiler/samples.h"
#include "tests/base/demorom.h"
#include "tests/compiler/backendfixture.h"
#include "tests/compiler/compilertest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

namespace telmira::compiler {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST(Allocation, PlacesTheLargestFirstAndFillsExactly) {
    const Allocation a = allocateObjects({20, 20, 10}, {30, 20});
    ASSERT_TRUE(a.areaOf);
    EXPECT_EQ(a.iterations, 1u);
    // Area 0 takes the later of the two 20s, then the 10; area 1 the other 20.
    EXPECT_THAT(*a.areaOf, ElementsAre(1, 0, 0));
}

TEST(Allocation, PenaltiesMoveObjectsUntilEverythingFits) {
    // Iteration 1 puts 3 alone into area 0 and leaves a 2 over; the penalties of the rotations
    // make iteration 3 put two 2s into area 0 and 3 + 2 into area 1.
    const Allocation a = allocateObjects({3, 2, 2, 2}, {4, 5});
    ASSERT_TRUE(a.areaOf);
    EXPECT_EQ(a.iterations, 3u);
    EXPECT_THAT(*a.areaOf, ElementsAre(1, 1, 0, 0));
}

TEST(Allocation, EmptyObjectsTakeNoRoomAndImpossibleSetsFail) {
    const Allocation empty = allocateObjects({0, 5}, {5});
    ASSERT_TRUE(empty.areaOf);
    EXPECT_THAT(*empty.areaOf, ElementsAre(0, 0));
    // 12 bytes in 7 + 5, but no split of 4, 4, 2, 2 fits.
    const Allocation none = allocateObjects({4, 4, 2, 2}, {7, 5}, 1000);
    EXPECT_FALSE(none.areaOf);
    EXPECT_EQ(none.iterations, 1000u);
    // Larger than every area: given up at once.
    EXPECT_EQ(allocateObjects({6}, {5, 5}).iterations, 0u);
}

class RomPatch : public ::testing::Test {
protected:
    void SetUp() override { useImage("korv28-256"); }

    void useImage(const std::string& name, const XteaKey& key = firmware::kDefaultDataKey) {
        image_ = telmira::test::buildDemo(telmira::test::demoSource(name), key);
        store(image_);
    }
    void store(const rom::RomImage& image) {
        test::writeFile(romPath(), std::string(image.bytes().begin(), image.bytes().end()));
    }
    std::string romPath() const { return (dir_ / "set.rom").string(); }
    std::vector<std::uint8_t> patched() const {
        const std::string bytes = test::readFile(romPath());
        return {bytes.begin(), bytes.end()};
    }
    std::string patch() {
        std::string text;
        Console out(text);
        outcome_ = patchZavraRom(state_, out, romPath());
        return text;
    }
    std::vector<std::uint8_t> at(std::uint32_t offset, std::size_t n) const {
        const auto bytes = patched();
        return {bytes.begin() + offset, bytes.begin() + offset + n};
    }

    CompilerState state_ = test::handBuiltCollection();
    rom::RomImage image_;
    Outcome outcome_ = Outcome::next();
    test::TempDir dir_;
};

TEST_F(RomPatch, PlacesTheCollectionIntoTheBank0Area) {
    EXPECT_EQ(patch(), "Applying patch to ROM image\n"
                       "  + Starting heuristic allocation process for 5 objects and 4 regions\n"
                       "  + Sum of regions is 98234 bytes\n"
                       "  + Sum of data is 77 bytes\n"
                       "  + Fit found after 1 iteration\n"
                       "  + Done.\n");
    ASSERT_TRUE(outcome_.goesOn());
    // Song table at 0xA000: two melody songs at 0xA006 and 0xA00C.
    EXPECT_THAT(at(0xA000, 6), ElementsAre(0x00, 0xA0, 0x06, 0x00, 0xA0, 0x0C));
    EXPECT_THAT(at(0xA006, 6), ElementsAre(0x00, 0x02, 0x90, 0x01, 0x02, 0x03));
    // The AY song's relocated word: 0x0005 + 0xA00C.
    EXPECT_THAT(at(0xA00C, 5), ElementsAre(0x10, 0xA0, 0x11, 0x20, 0x30));
    // Samples (the one no song plays is left out), then the instrument table.
    EXPECT_THAT(at(0xA011, 11), ElementsAre(65, 66, 67, 68, 69, 70, 71, 72, 0x00, 0xFF, 0xFC));
    EXPECT_THAT(at(0xA01C, 3), ElementsAre(74, 54, 69));
    std::vector<std::uint8_t> table;
    const std::uint8_t addresses[3][3] = {{0, 0xA0, 0x11}, {0, 0xA0, 0x1C}, {0, 0, 0}};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto entry = instrumentEntry(state_, i);
        table.insert(table.end(), entry.begin(), entry.end());
        table.insert(table.end(), addresses[i], addresses[i] + 3);
    }
    EXPECT_THAT(at(0xA032, 33), ElementsAreArray(table));
    // Patch points 0..6 at 0x6200: table, melody part, 2 melodies, 0 bells, table at 0:A032.
    EXPECT_THAT(at(0x6200, 9), ElementsAre(0xA0, 0x00, 0xA0, 0x00, 2, 0, 0x00, 0xA0, 0x32));

    const rom::RomImage result(patched());
    EXPECT_TRUE(rom::checksumMatches(result, result.size() - 2));
    // Nothing else changed.
    for (std::uint32_t i = 0; i < result.size() - 2; ++i) {
        const bool patchedArea = (i >= 0xA000 && i < 0xA053) || (i >= 0x6200 && i < 0x6209);
        if (!patchedArea && result.bytes()[i] != image_.bytes()[i])
            FAIL() << "byte " << i << " changed";
    }
}

TEST_F(RomPatch, BellSongsComeFirstWithTheirFlags) {
    state_.songs[1].type = SongType::Bell;
    state_.songs[0].flags = 0x0F;
    ASSERT_EQ(patch().find("  + Done.\n") != std::string::npos, true);
    // The bell (AY, flags 0) first, then the melody with flags 15 in the high nibble.
    EXPECT_THAT(at(0xA000, 6), ElementsAre(0x80, 0xA0, 0x0C, 0xF0, 0xA0, 0x06));
    EXPECT_THAT(at(0x6200, 6), ElementsAre(0xA0, 0x00, 0xA0, 0x03, 1, 1));
}

TEST_F(RomPatch, SpreadsALargeSetOverTheAreasAndBanks) {
    // Four songs of 0x5000 bytes: one per area of the 256 KB image.
    state_.songs.clear();
    for (int i = 0; i < 4; ++i) {
        Song song;
        song.kind = SongKind::Fxm;
        song.data.assign(0x5000, static_cast<std::uint8_t>(i + 1));
        state_.songs.push_back(song);
    }
    const std::string text = patch();
    ASSERT_TRUE(outcome_.goesOn()) << text;
    const auto bytes = patched();
    std::set<unsigned> banks;
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t entry = 0xA000 + 3 * i;
        const unsigned bank = bytes[entry] & 0x07;
        const std::uint32_t address = rom::romOffset(
            bank, static_cast<std::uint16_t>(bytes[entry + 1] << 8 | bytes[entry + 2]));
        banks.insert(bank);
        EXPECT_EQ(bytes[address], i + 1);
        EXPECT_EQ(bytes[address + 0x4FFF], i + 1);
    }
    EXPECT_EQ(banks.size(), 4u);
    const rom::RomImage result(bytes);
    EXPECT_TRUE(rom::checksumMatches(result, result.size() - 2));
}

TEST_F(RomPatch, AnEmptySetIsPlacedAsAZeroLengthTable) {
    state_ = CompilerState{};
    EXPECT_EQ(patch(), "Applying patch to ROM image\n"
                       "  + Starting heuristic allocation process for 1 objects and 4 regions\n"
                       "  + Sum of regions is 98240 bytes\n"
                       "  + Sum of data is 0 bytes\n"
                       "  + Fit found after 1 iteration\n"
                       "  + Done.\n");
    EXPECT_THAT(at(0x6200, 9), ElementsAre(0xA0, 0x00, 0xA0, 0x00, 0, 0, 0x00, 0xA0, 0x00));
}

TEST_F(RomPatch, TheDataKeyOfTheProjectOpensItsImage) {
    const XteaKey key = {0x01234567, 0x89ABCDEF, 0x0F1E2D3C, 0x4B5A6978};
    useImage("korv28v-512", key);
    EXPECT_EQ(patch(), "Applying patch to ROM image\n  + ROM image is broken\n");
    EXPECT_EQ(outcome_.exitCode(), 1);
    state_.dataKey = key;
    EXPECT_THAT(patch(), ::testing::EndsWith("  + Done.\n"));
    const rom::RomImage result(patched());
    EXPECT_TRUE(rom::checksumMatches(result, result.size() - 2));
}

TEST_F(RomPatch, RefusalsLeaveTheImageAsItWas) {
    struct Case {
        const char* name;
        std::function<void(CompilerState&)> change;
        std::string last;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {"SongNotCompiled", [](CompilerState& s) { s.songs[0].data.clear(); },
         "  + Error: not compiled song found!\n", 2},
        {"SampleNotCompiled", [](CompilerState& s) { s.usedSamples[1].prepared.reset(); },
         "  + Error: not compiled sample found!\n", 2},
        {"TooLarge", [](CompilerState& s) { s.songs[1].data.assign(100000, 1); },
         "  + Total size of data larger than free memory (100078/98240)\n", 1},
        {"TooManySongs",
         [](CompilerState& s) {
             Song song;
             song.kind = SongKind::Fxm;
             song.data = {1};
             s.songs.assign(300, song);
         },
         "  + Number of songs too big to fit song's table in bank #0\n", 1},
        {"NoFit",
         [](CompilerState& s) {
             // Five songs larger than half of every area: one fits an area each, and there
             // are four areas.
             s.songs.clear();
             for (int i = 0; i < 5; ++i) {
                 Song song;
                 song.kind = SongKind::Fxm;
                 song.data.assign(0x3100, 1);
                 s.songs.push_back(song);
             }
         },
         "  + Failed\n", 1},
    };
    for (const Case& c : cases) {
        state_ = test::handBuiltCollection();
        c.change(state_);
        const std::string text = patch();
        EXPECT_THAT(text, ::testing::EndsWith(c.last)) << c.name;
        EXPECT_EQ(outcome_.exitCode(), c.exitCode) << c.name;
        EXPECT_EQ(patched(),
                  std::vector<std::uint8_t>(image_.bytes().begin(), image_.bytes().end()))
            << c.name;
    }
}

TEST_F(RomPatch, FilesThatAreNoImage) {
    const std::string missing = (dir_ / "none.rom").string();
    std::string text;
    Console out(text);
    EXPECT_EQ(patchZavraRom(state_, out, missing).exitCode(), 2);
    EXPECT_EQ(text, "Can't open file '" + missing + "'\n");
    for (const std::size_t size : {std::size_t{300000}, std::size_t{0x80000 + 1}}) {
        std::vector<std::uint8_t> bytes(image_.bytes().begin(), image_.bytes().end());
        bytes.resize(size, 0xFF);
        store(rom::RomImage(bytes));
        EXPECT_EQ(patch(), "Applying patch to ROM image\n  + ROM image is broken\n") << size;
        EXPECT_EQ(outcome_.exitCode(), 1);
        EXPECT_EQ(patched(), bytes);
    }
}

// The demo image with its control structure records changed.
rom::RomImage withRecords(const std::function<void(std::vector<rom::ControlRecord>&)>& change) {
    const mkrom::RomSource source = telmira::test::demoSource("korv28-256");
    rom::RomImage image = telmira::test::buildDemo(source);
    auto records = source.records;
    change(records);
    const auto plain = rom::encodeControlStructure(records);
    EXPECT_TRUE(plain);
    EXPECT_TRUE(rom::writeControlStructure(image, *source.structureOffset, *plain,
                                           firmware::kDefaultDataKey));
    return image;
}

TEST_F(RomPatch, MissingPatchPointsAreWarnedAbout) {
    store(withRecords([](auto& records) {
        for (auto& r : records)
            if (auto* points = std::get_if<rom::SkippedRecord>(&r))
                points->payload.erase(points->payload.begin() + 15, points->payload.begin() + 18);
    }));
    const auto before = patched();
    EXPECT_THAT(patch(), ::testing::EndsWith("  + Fit found after 1 iteration\n"
                                             "  + WARN: Not all patch-points found in ROM image\n"
                                             "  + Done.\n"));
    // Type 5 (0x6207) keeps its byte; the others are written.
    EXPECT_EQ(at(0x6207, 1)[0], before[0x6207]);
    EXPECT_THAT(at(0x6200, 7), ElementsAre(0xA0, 0x00, 0xA0, 0x00, 2, 0, 0x00));
}

TEST_F(RomPatch, AnAreaOverTheControlStructureMakesTheImageBroken) {
    store(withRecords([](auto& records) {
        for (auto& r : records)
            if (auto* areas = std::get_if<rom::MelodyAreasRecord>(&r))
                areas->areas[1] = {0x7000, 0x9000}; // the structure lies at 1:7800
    }));
    const auto before = patched();
    EXPECT_EQ(patch(), "Applying patch to ROM image\n  + ROM image is broken\n");
    EXPECT_EQ(patched(), before);
}

} // namespace
} // namespace telmira::compiler
