#pragma once

#include "ayvex/codetables.h"
#include "ayvex/encoder.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ayvextables {

// Huffman code lengths for the given symbol counts, none longer than maxLength bits. Symbols
// with count 0 get no code. When the plain Huffman tree is too deep, the counts are halved
// (keeping every used symbol at 1 or more) until it fits.
std::array<std::uint8_t, 256> huffmanLengths(const std::array<std::uint64_t, 256>& counts,
                                             unsigned maxLength);

// Canonical codes for the lengths: shorter codes first, equal lengths in symbol order. Each
// code is stored bit-reversed, so that the coder's least-significant-bit-first output puts the
// code's first bit on the wire first.
ayvex::CodeTable canonicalCodes(const std::array<std::uint8_t, 256>& lengths);

// The four tables: each symbol a table can ever be asked for counts at least once, so every
// one of them gets a code.
ayvex::CodeTables buildCodeTables(const ayvex::SymbolCounts& counts);

// Counts the symbols of every *.pt3 module of a folder (in name order). Modules the converter
// refuses are skipped and named in `skipped`. False when the folder cannot be read.
bool countModules(const std::filesystem::path& dir, ayvex::SymbolCounts& counts,
                  std::vector<std::string>& used, std::vector<std::string>& skipped,
                  std::string& error);

} // namespace ayvextables
