#pragma once

#include "ayvex/codetables.h"
#include "ayvex/encoder.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ayvex {

// Results of PT3Process.
enum Pt3Status : int {
    kPt3Written = 0,
    kPt3TablesUnusable = 1, // a code table is missing, unreadable, of the wrong size or damaged
    kPt3Rejected = 2,       // the module is malformed; nothing was converted
    kPt3CannotWrite = 3,    // out.m could not be written
    kPt3Internal = 4,       // out of memory or another failure inside the library
};

struct Pt3Conversion {
    int status = kPt3Written;
    std::string error;                 // why the module was rejected
    std::vector<std::string> warnings; // in order, each without BEL and line end
    std::vector<int> lines;            // the numbers of out.m, one per line
};

// Converts a PT3 module into the numbers of out.m (header, coded objects, position list, "-1",
// pointers). Nothing outside `module` is read; module offsets are limited to 0..0xFFFF.
Pt3Conversion convertPt3(std::span<const std::uint8_t> module, const CodeTables& tables);

// Runs the same conversion without tables and counts the symbols each table would have to
// code. Returns false (with the reason) for a module the converter rejects.
bool countPt3Symbols(std::span<const std::uint8_t> module, SymbolCounts& counts,
                     std::string& error);

} // namespace ayvex
