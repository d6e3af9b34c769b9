#pragma once

// Reading the converter's output the way its users do: the numbers of out.m assembled into song
// data as the melody compiler does it, and coded objects decoded symbol by symbol.

#include "ayvex/codetables.h"

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace ayvextest {

struct Song {
    std::vector<std::uint8_t> data; // twice the module size, zero-filled like the compiler's
    std::size_t length = 0;
    std::vector<std::size_t> relocations;
    std::string error; // set when the numbers would make the compiler write out of its buffer

    std::uint16_t word(std::size_t at) const {
        return std::uint16_t(data.at(at) << 8 | data.at(at + 1));
    }
};

// The compiler's reading of out.m: line 10 reserves the pointer area, bytes until the first
// negative number, then big-endian words from offset 10, each recorded for relocation.
Song assembleLikeCompiler(const std::vector<int>& lines, std::size_t moduleSize);

// The numbers of an out.m text file; a line that is not a number fails the test.
std::vector<int> readOutLines(const std::filesystem::path& file);

struct Sym {
    ayvex::Table table;
    int value;
    bool operator==(const Sym& other) const = default;
};
std::ostream& operator<<(std::ostream& out, const Sym& sym);

// Symbols as the coder takes them (T1 values reduced to 5 bits, T2 to 4).
inline Sym T0(int v) {
    return {ayvex::Table::Value, v & 0xFF};
}
inline Sym T1(int v) {
    return {ayvex::Table::Class, v & 0x1F};
}
inline Sym T2(int v) {
    return {ayvex::Table::Small, v & 0x0F};
}
inline Sym T3(int v) {
    return {ayvex::Table::Note, v & 0xFF};
}

// Decodes from `bytes` one symbol per expected entry, each with that entry's table, reading
// bits from bit 0 of each byte. A position where no code matches decodes as value -1.
std::vector<Sym> decodeLike(std::span<const std::uint8_t> bytes, const ayvex::CodeTables& tables,
                            const std::vector<Sym>& expected);

// Bits the codes of `symbols` take.
std::uint32_t codedBits(const ayvex::CodeTables& tables, const std::vector<Sym>& symbols);

// The committed code tables from the source tree.
const ayvex::CodeTables& shippedTables();

} // namespace ayvextest
