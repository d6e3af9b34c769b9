#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace ayvex {

// The four prefix-code tables the PT3 coder draws from. Their files ship with the library as
// "pdata0.bin".."pdata3.bin", one per table in this order.
enum class Table : std::uint8_t {
    Value = 0, // T0: bytes of parameters and sample lines
    Class = 1, // T1: command classes; symbols reduced to 5 bits
    Small = 2, // T2: small values; symbols reduced to 4 bits
    Note = 3,  // T3: notes 0..95
};
inline constexpr std::size_t kTableCount = 4;

// How many leading symbols of a table the coder can ever ask for: every one of them needs a code.
std::size_t symbolsInUse(Table table);

// The symbol a value becomes in a table (T1 keeps 5 bits, T2 keeps 4).
std::uint8_t tableSymbol(Table table, std::uint8_t value);

// One table: per symbol its code length in bits (0 = no code) and its code. The code's bit 0 is
// the first bit on the wire, so a code is appended to a bit stream least significant bit first.
struct CodeTable {
    std::array<std::uint8_t, 256> length{};
    std::array<std::uint32_t, 256> code{};
};
using CodeTables = std::array<CodeTable, kTableCount>;

// File layout: 256 code lengths (one byte each), then 256 codes (32-bit little-endian each).
inline constexpr std::size_t kCodeTableFileSize = 1280;
inline constexpr unsigned kMaxCodeLength = 32;

// Checks and decodes one table file's bytes: exactly 1280 bytes, no code longer than 32 bits,
// no code with bits beyond its length, and no code that is the beginning of another.
bool parseCodeTable(std::span<const std::uint8_t> bytes, CodeTable& table, std::string& error);
std::vector<std::uint8_t> serializeCodeTable(const CodeTable& table);

std::string codeTableFileName(std::size_t index);

// Reads pdata0.bin..pdata3.bin from a folder (the library passes the current directory).
bool loadCodeTables(const std::filesystem::path& dir, CodeTables& tables, std::string& error);

} // namespace ayvex
