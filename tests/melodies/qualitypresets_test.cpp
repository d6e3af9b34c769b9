// The quality presets' choice of regions, the drop flags they set and the key ranges the kept
// regions play, on the shipped region table and on the piano of a ten-region bank.
#include "melodies/qualitypresets.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace telmira::melodies {
namespace {

RegionMask regions(std::initializer_list<int> list) {
    RegionMask mask = 0;
    for (int r : list)
        mask = static_cast<RegionMask>(mask | (1u << r));
    return mask;
}

struct PresetCase {
    int preset;
    int program;
    int regionCount;
    RegionMask kept;
};

TEST(QualityPresets, KeepTheRegionsTheirRulesName) {
    const PresetCase cases[] = {
        {kQualityLow, 5, 1, regions({0})},
        {kQualityNormal, 5, 2, regions({0})},
        {kQualityLow, 8, 3, regions({0})},
        {kQualityLow, 44, 3, regions({1})},
        {kQualityNormal, 44, 3, regions({1, 2})},
        {kQualityNormal, 45, 3, regions({1})},
        {kQualityLow, 61, 4, regions({0})},
        {kQualityNormal, 62, 4, regions({1})},
        {kQualityLow, 70, 5, regions({0, 2})},
        {kQualityNormal, 70, 5, regions({2})},
        {kQualityLow, 11, 5, regions({2})},
        {kQualityNormal, 11, 5, regions({2, 3})},
        {kQualityLow, 39, 5, regions({1})},
        {kQualityNormal, 78, 5, regions({0, 1, 2, 3, 4})},
        {kQualityLow, 71, 6, regions({0, 1, 2, 3, 4, 5})},
        {kQualityNormal, 71, 6, regions({1, 2, 3, 4})},
        {kQualityNormal, 22, 6, regions({0, 1, 2, 3, 4, 5})},
        {kQualityLow, 67, 6, regions({0, 2})},
        {kQualityNormal, 67, 6, regions({1, 2})},
        {kQualityLow, 34, 6, regions({1})},
        {kQualityNormal, 50, 6, regions({2, 3})},
        {kQualityLow, 26, 7, regions({2})},
        {kQualityNormal, 73, 7, regions({1, 2})},
        {kQualityNormal, 50, 7, regions({3, 4})},
        {kQualityLow, 110, 8, regions({0})},
        {kQualityNormal, 110, 8, regions({2, 4})},
        {kQualityLow, 66, 9, regions({2, 4})},
        {kQualityLow, 40, 9, regions({0})},
        {kQualityNormal, 66, 9, regions({0, 2, 4})},
        {kQualityLow, 0, 10, regions({2, 5, 7})},
        {kQualityNormal, 2, 10, regions({1, 4, 5, 7})},
        {kQualityLow, 56, 10, regions({3, 5})},
        {kQualityNormal, 56, 10, regions({1, 4, 5, 6})},
        {kQualityLow, 3, 10, regions({5})},
        // A program keeps its exceptional regions only with the count its rule names.
        {kQualityLow, 0, 9, regions({4})},
        {kQualityNormal, 44, 4, regions({1})},
        {kQualityMaximum, 0, 9, regions({0, 1, 2, 3, 4, 5, 6, 7, 8})},
        {kQualityMaximum, 127, 1, regions({0})},
        // Counts no program can have keep nothing.
        {kQualityLow, 0, 0, 0},
        {kQualityNormal, 0, 11, 0},
        {kQualityMaximum, 0, 11, 0},
    };
    for (const PresetCase& c : cases) {
        const std::optional<RegionMask> kept =
            presetKeptRegions(c.preset, c.program, c.regionCount);
        ASSERT_TRUE(kept.has_value());
        EXPECT_EQ(*kept, c.kept) << "preset " << c.preset << " program " << c.program << " with "
                                 << c.regionCount << " regions";
    }
    for (int notAPreset : {int{kQualityManual}, 4, 255, -1})
        EXPECT_FALSE(presetKeptRegions(notAPreset, 0, 10).has_value()) << notAPreset;
}

// The quality list's captions are the texts the set settings show.
TEST(QualityPresets, CaptionsFollowThePresetValues) {
    EXPECT_EQ(kQualityPresetCaptions[kQualityLow], "Низкое");
    EXPECT_EQ(kQualityPresetCaptions[kQualityNormal], "Нормальное");
    EXPECT_EQ(kQualityPresetCaptions[kQualityMaximum], "Максимальное");
    EXPECT_EQ(kQualityPresetCaptions[kQualityManual], "Ручная настройка инструментов");
}

// Every program of the shipped bank keeps at least one region with every preset, the kept
// regions exist, and they play the whole keyboard.
TEST(QualityPresets, EveryProgramOfTheShippedTableKeepsARegionAndItsKeyboard) {
    int tableTotal = 0;
    for (const InstrumentProgram& program : instrumentRegionTable())
        tableTotal += program.regionCount;
    for (int preset : {kQualityLow, kQualityNormal, kQualityMaximum}) {
        RegionDropFlags flags{};
        ASSERT_TRUE(applyQualityPreset(preset, flags));
        int keptTotal = 0;
        for (int p = 0; p < 128; ++p) {
            const InstrumentProgram& program = instrumentRegionTable()[static_cast<std::size_t>(p)];
            const std::string where = std::string(kQualityPresetCaptions[preset]) + ", program " +
                                      std::to_string(p) + " with " +
                                      std::to_string(program.regionCount) + " regions";
            const RegionMask chosen = presetKeptRegions(preset, p, program.regionCount).value();
            EXPECT_NE(chosen, 0) << where;
            EXPECT_EQ(chosen >> program.regionCount, 0) << where;
            EXPECT_EQ(keptRegions(flags, p, program.regionCount), chosen) << where;
            if (preset == kQualityMaximum) {
                EXPECT_EQ(chosen, (1u << program.regionCount) - 1) << where;
            }

            const auto ranges = deriveKeyRanges(program, chosen);
            int next = 0;
            for (int r = 0; r < kMaxProgramRegions; ++r) {
                const auto& range = ranges[static_cast<std::size_t>(r)];
                EXPECT_EQ(range.has_value(), (chosen & (1u << r)) != 0) << where << " region " << r;
                if (!range)
                    continue;
                ++keptTotal;
                EXPECT_EQ(range->lowKey, next) << where << " region " << r;
                EXPECT_LE(range->lowKey, range->highKey) << where << " region " << r;
                if (preset == kQualityMaximum) {
                    EXPECT_EQ(range->lowKey, program.regions[r].lowKey) << where;
                    EXPECT_EQ(range->highKey, program.regions[r].highKey) << where;
                }
                next = range->highKey + 1;
            }
            EXPECT_EQ(next, 128) << where;
        }
        // Only the maximum keeps every region of the table.
        if (preset == kQualityMaximum) {
            EXPECT_EQ(keptTotal, tableTotal);
        } else {
            EXPECT_LT(keptTotal, tableTotal / 2) << kQualityPresetCaptions[preset];
        }
    }
}

TEST(QualityPresets, DropFlagsLeaveOutAllButTheKeptRegions) {
    RegionDropFlags flags{};
    flags.fill(7);
    ASSERT_TRUE(applyQualityPreset(kQualityMaximum, flags));
    for (std::uint8_t f : flags)
        ASSERT_EQ(f, 0);

    ASSERT_TRUE(applyQualityPreset(kQualityLow, flags));
    for (int p = 0; p < 128; ++p) {
        const int count = instrumentRegionTable()[static_cast<std::size_t>(p)].regionCount;
        const RegionMask kept = presetKeptRegions(kQualityLow, p, count).value();
        for (int r = 0; r < kMaxProgramRegions; ++r)
            EXPECT_EQ(flags[static_cast<std::size_t>(10 * p + r)], (kept & (1u << r)) ? 0 : 1)
                << "program " << p << " region " << r;
    }

    // The manual choice and an unknown preset byte keep the stored flags.
    RegionDropFlags stored = flags;
    stored[5] = 0;
    stored[6] = 1;
    RegionDropFlags manual = stored;
    EXPECT_FALSE(applyQualityPreset(kQualityManual, manual));
    EXPECT_FALSE(applyQualityPreset(200, manual));
    EXPECT_EQ(manual, stored);
}

// The piano of a bank with ten piano regions (0-38, 39-43, 44-50, 51-59, 60-67, 68-74, 75-81,
// 82-88, 89-97, 98-127).
InstrumentProgram tenRegionPiano() {
    InstrumentProgram piano{"Acoustic Grand Piano", 10, {}};
    const int highs[] = {38, 43, 50, 59, 67, 74, 81, 88, 97, 127};
    int low = 0;
    for (int r = 0; r < 10; ++r) {
        piano.regions[static_cast<std::size_t>(r)] = {"PIANO", 60, static_cast<std::uint8_t>(low),
                                                      static_cast<std::uint8_t>(highs[r]), 1000};
        low = highs[r] + 1;
    }
    return piano;
}

std::vector<KeyRange> keptRanges(const InstrumentProgram& program, RegionMask kept) {
    std::vector<KeyRange> out;
    for (const auto& range : deriveKeyRanges(program, kept))
        if (range)
            out.push_back(*range);
    return out;
}

TEST(DerivedKeyRanges, KeptRegionsStretchOverTheDroppedOnesBelowThem) {
    const InstrumentProgram piano = tenRegionPiano();
    const RegionMask low = presetKeptRegions(kQualityLow, 0, 10).value();
    EXPECT_EQ(keptRanges(piano, low), (std::vector<KeyRange>{{0, 50}, {51, 74}, {75, 127}}));
    const RegionMask normal = presetKeptRegions(kQualityNormal, 0, 10).value();
    EXPECT_EQ(keptRanges(piano, normal),
              (std::vector<KeyRange>{{0, 43}, {44, 67}, {68, 74}, {75, 127}}));
    const RegionMask maximum = presetKeptRegions(kQualityMaximum, 0, 10).value();
    const auto all = deriveKeyRanges(piano, maximum);
    for (int r = 0; r < 10; ++r)
        EXPECT_EQ(all[static_cast<std::size_t>(r)],
                  (KeyRange{piano.regions[r].lowKey, piano.regions[r].highKey}));

    EXPECT_EQ(keptRanges(piano, regions({9})), (std::vector<KeyRange>{{0, 127}}));
    EXPECT_EQ(keptRanges(piano, regions({0})), (std::vector<KeyRange>{{0, 127}}));
    EXPECT_TRUE(keptRanges(piano, 0).empty());
    // Bits past the program's regions name nothing.
    EXPECT_EQ(keptRanges(piano, static_cast<RegionMask>(regions({4}) | 0xFC00)),
              (std::vector<KeyRange>{{0, 127}}));
}

} // namespace
} // namespace telmira::melodies
