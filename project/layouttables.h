#pragma once

#include "base/romreport.h"
#include "frame/settings.h"

#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

// Keyboard layouts into the firmware's keyboard tables. The phone drives one scan line of its
// I/O lines KBD0..KBD15 at a time and reads the return lines; a pressed key joins one scan line
// with one return line. The parser reads a project's layouts against the description's key and
// line lists ("ZELParse error: ..."); the builder turns them into the staging tables the export
// copies into the image ("ZELMakeTable: ...").
namespace telmira::layout {

inline constexpr unsigned kLayouts = 8;
inline constexpr int kMaxCells = 16;    // X and Y run 1..16
inline constexpr int kUnwiredLine = 64; // a line never driven or read
inline constexpr int kAllLinesVscl = 32;
inline constexpr int kAllLines = 33;

struct FixedLine {
    int line = -1;
    int code = -1;
};

// One layout, as the parser leaves it; every number -1 while absent.
struct LayoutRecord {
    LayoutRecord();

    bool present = false;
    int type = -1; // 0 normal matrix, 1 packed
    int columns = -1;
    int rows = -1;
    std::array<std::array<int, kMaxCells + 1>, kMaxCells + 1> keys; // [X][Y], -1: no key
    std::array<int, kMaxCells + 1> columnLines;                     // [X], from 1
    std::array<int, kMaxCells + 1> rowLines;                        // [Y], from 1
    std::vector<FixedLine> fixedLines;                              // in file order
    bool usesCalculator = false;
    int scanCount = -1;
    int returnCount = -1;
};

struct ParsedLayouts {
    ParsedLayouts();

    std::array<LayoutRecord, kLayouts> layouts;
    // Per layout, indexed by a calculator key's code; 0x60..0x6B form the calculator row.
    std::array<std::array<std::uint8_t, 256>, kLayouts> calculator;
    bool calculatorUsed = false;
};

// Reads the sections "Layout0".."Layout7" and their ".FixedLines" sections. `keys` and `lines`
// are the description's key and line lists. The first error is reported and stops the parse.
bool ParseLayouts(const SettingsFile& project, const QStringList& keys, const QStringList& lines,
                  ParsedLayouts& parsed, rom::ExportReport& report);

// The function-table rows the layouts need: the highest function code not above 14 among the
// fixed lines, plus one (at least 1).
unsigned RowsNeeded(const ParsedLayouts& parsed);

// The keyboard tables in their ROM form, before they go into the image. All 16-bit masks are
// high byte first; bit n stands for KBDn.
struct KeyboardStaging {
    KeyboardStaging(bool newStyle, std::uint8_t driveBase);

    bool newStyle = false;
    std::uint8_t driveBase = 0;
    std::array<std::uint8_t, 16 * 16> functionTable{}; // 16-byte rows
    std::array<std::uint8_t, 16> outputMasks{};
    std::array<std::uint8_t, 16> scanMasks{};
    std::array<std::uint8_t, 192> returnMasks{};
    std::vector<std::uint8_t> drive;         // old style 192 bytes, new style 96
    std::array<std::uint8_t, 192> offsets{}; // new style only
    std::array<std::uint8_t, 512> keyTables;
};

// Builds the tables of every layout present in the project (an absent layout keeps its slots at
// their initial contents). Out-of-range lines are reported and the build goes on; any other
// error stops it. True when nothing was reported.
bool BuildTables(ParsedLayouts& parsed, KeyboardStaging& staging, rom::ExportReport& report);

} // namespace telmira::layout
