#include "melodies/qualitypresets.h"

#include <algorithm>
#include <initializer_list>

namespace telmira::melodies {
namespace {

constexpr RegionMask keep(std::initializer_list<int> regions) {
    RegionMask mask = 0;
    for (int r : regions)
        mask = static_cast<RegionMask>(mask | (1u << r));
    return mask;
}

constexpr RegionMask keepSpan(int first, int last) {
    RegionMask mask = 0;
    for (int r = first; r <= last; ++r)
        mask = static_cast<RegionMask>(mask | (1u << r));
    return mask;
}

bool among(int program, std::initializer_list<int> programs) {
    return std::find(programs.begin(), programs.end(), program) != programs.end();
}

// "Низкое": one region for most programs, taken from the middle of the keyboard.
RegionMask lowKeeps(int n, int p) {
    switch (n) {
    case 1:
    case 2:
        return keep({0});
    case 3:
        return among(p, {8, 9, 13, 16, 17}) ? keep({0}) : keep({1});
    case 4:
        return among(p, {31, 36, 38, 61}) ? keep({0}) : keep({1});
    case 5:
        if (among(p, {33, 37}))
            return keep({0});
        if (p == 39)
            return keep({1});
        if (p == 70)
            return keep({0, 2});
        if (p == 78)
            return keepSpan(0, 4);
        return keep({2});
    case 6:
        if (among(p, {22, 71}))
            return keepSpan(0, 5);
        if (among(p, {28, 34, 35, 36, 68}))
            return keep({1});
        if (p == 67)
            return keep({0, 2});
        return keep({2});
    case 7:
        if (p == 26)
            return keep({2});
        if (p == 73)
            return keep({1});
        return keep({3});
    case 8:
        return p == 110 ? keep({0}) : keep({3});
    case 9:
        if (p == 40)
            return keep({0});
        if (p == 66)
            return keep({2, 4});
        return keep({4});
    case 10:
        if (among(p, {0, 1, 2}))
            return keep({2, 5, 7});
        if (p == 56)
            return keep({3, 5});
        return keep({5});
    default:
        return 0;
    }
}

// "Нормальное": about half the regions of the programs with many.
RegionMask normalKeeps(int n, int p) {
    switch (n) {
    case 1:
    case 2:
        return keep({0});
    case 3:
        if (among(p, {8, 9, 13, 16, 17}))
            return keep({0});
        if (p == 44)
            return keep({1, 2});
        return keep({1});
    case 4:
        return among(p, {31, 36, 38, 61}) ? keep({0}) : keep({1});
    case 5:
        if (among(p, {33, 37}))
            return keep({0});
        if (p == 39)
            return keep({1});
        if (p == 11)
            return keep({2, 3});
        if (p == 78)
            return keepSpan(0, 4);
        return keep({2});
    case 6:
        if (p == 22)
            return keepSpan(0, 5);
        if (among(p, {28, 34, 35, 36, 67, 68}))
            return keep({1, 2});
        if (p == 71)
            return keepSpan(1, 4);
        return keep({2, 3});
    case 7:
        return among(p, {26, 73}) ? keep({1, 2}) : keep({3, 4});
    case 8:
        return keep({2, 4});
    case 9:
        return keep({0, 2, 4});
    case 10:
        return among(p, {0, 1, 2}) ? keep({1, 4, 5, 7}) : keep({1, 4, 5, 6});
    default:
        return 0;
    }
}

} // namespace

std::optional<RegionMask> presetKeptRegions(int preset, int program, int regionCount) {
    switch (preset) {
    case kQualityLow:
        return lowKeeps(regionCount, program);
    case kQualityNormal:
        return normalKeeps(regionCount, program);
    case kQualityMaximum:
        return regionCount >= 1 && regionCount <= kMaxProgramRegions ? keepSpan(0, regionCount - 1)
                                                                     : RegionMask{0};
    default:
        return std::nullopt;
    }
}

bool applyQualityPreset(int preset, RegionDropFlags& flags,
                        const std::array<InstrumentProgram, 128>& table) {
    if (preset == kQualityMaximum) {
        flags.fill(0);
        return true;
    }
    if (preset != kQualityLow && preset != kQualityNormal)
        return false;
    flags.fill(1);
    for (int p = 0; p < 128; ++p) {
        const RegionMask kept =
            presetKeptRegions(preset, p, table[static_cast<std::size_t>(p)].regionCount)
                .value_or(0);
        for (int r = 0; r < kMaxProgramRegions; ++r)
            if (kept & (1u << r))
                flags[static_cast<std::size_t>(kMaxProgramRegions * p + r)] = 0;
    }
    return true;
}

RegionMask keptRegions(const RegionDropFlags& flags, int program, int regionCount) {
    RegionMask kept = 0;
    if (program < 0 || program >= 128)
        return kept;
    const int count = std::clamp(regionCount, 0, kMaxProgramRegions);
    for (int r = 0; r < count; ++r)
        if (flags[static_cast<std::size_t>(kMaxProgramRegions * program + r)] == 0)
            kept = static_cast<RegionMask>(kept | (1u << r));
    return kept;
}

std::array<std::optional<KeyRange>, kMaxProgramRegions>
deriveKeyRanges(const InstrumentProgram& program, RegionMask kept) {
    std::array<std::optional<KeyRange>, kMaxProgramRegions> ranges{};
    const int count = std::min<int>(program.regionCount, kMaxProgramRegions);
    int nextLow = 0;
    std::optional<KeyRange>* last = nullptr;
    for (int r = 0; r < count; ++r) {
        if ((kept & (1u << r)) == 0)
            continue;
        const int high = program.regions[static_cast<std::size_t>(r)].highKey;
        std::optional<KeyRange>& range = ranges[static_cast<std::size_t>(r)];
        range = KeyRange{nextLow, std::max(nextLow, high)};
        nextLow = range->highKey + 1;
        last = &range;
    }
    if (last)
        (*last)->highKey = 127;
    return ranges;
}

} // namespace telmira::melodies
