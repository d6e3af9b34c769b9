#pragma once

// The quality presets of a melody set and the key ranges derived from the regions a set keeps.
// A preset decides which regions of each General MIDI program a set keeps (the set settings
// record stores the choice as drop flags, one byte per program and region); the regions left
// out are played by the kept ones next to them, whose key ranges stretch over them.

#include "melodies/instrumentregions.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace telmira::melodies {

// The values of the preset byte of the set settings record.
enum QualityPreset : int {
    kQualityLow = 0,
    kQualityNormal = 1,
    kQualityMaximum = 2,
    kQualityManual = 3, // the regions were chosen by hand: the stored drop flags stand
};

// The captions of the quality list, indexed by preset (UTF-8).
inline constexpr std::array<std::string_view, 4> kQualityPresetCaptions = {
    "Низкое", "Нормальное", "Максимальное", "Ручная настройка инструментов"};

// A set of regions of one program: bit r stands for region r (0-based).
using RegionMask = std::uint16_t;

// The regions of a program with `regionCount` regions (1 to kMaxProgramRegions) that `preset`
// keeps; `program` is the General MIDI program number 0..127, as some programs keep other
// regions than the rest with the same count. No value for the manual choice and for any preset
// value that is not a preset (a damaged record), whose drop flags stay as stored; an empty mask
// for a region count outside 1..kMaxProgramRegions.
std::optional<RegionMask> presetKeptRegions(int preset, int program, int regionCount);

// The drop flags of the set settings record: byte 10·p + r is 1 when region r of program p is
// left out, 0 when it is kept.
inline constexpr int kRegionDropFlagCount = 128 * kMaxProgramRegions;
using RegionDropFlags = std::array<std::uint8_t, kRegionDropFlagCount>;

// Sets the drop flags the way `preset` chooses them for the region counts of `table`: for
// "Максимальное" every flag 0, for "Низкое" and "Нормальное" every flag 1 except the kept
// regions. Returns false and leaves the flags alone when `preset` chooses nothing (manual or
// not a preset).
bool applyQualityPreset(int preset, RegionDropFlags& flags,
                        const std::array<InstrumentProgram, 128>& table = instrumentRegionTable());

// The kept regions of program `program` (0..127) according to `flags`, among the program's
// `regionCount` regions.
RegionMask keptRegions(const RegionDropFlags& flags, int program, int regionCount);

struct KeyRange {
    int lowKey = 0;
    int highKey = 0;
    friend bool operator==(const KeyRange&, const KeyRange&) = default;
};

// The keys each kept region of `program` plays: a kept region starts at the key after the
// previous kept region's highest key (0 for the first) and ends at its own highest key; the
// last kept region ends at 127. Regions left out (and entries past the region count) have no
// range; with no region kept the program plays nothing.
std::array<std::optional<KeyRange>, kMaxProgramRegions>
deriveKeyRanges(const InstrumentProgram& program, RegionMask kept);

} // namespace telmira::melodies
