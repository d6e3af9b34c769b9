#pragma once

#include "ayvex/codetables.h"

#include <array>
#include <cstdint>
#include <vector>

namespace ayvex {

// How often each symbol of each table was coded (what the table generator measures).
using SymbolCounts = std::array<std::array<std::uint64_t, 256>, kTableCount>;

// Appends table codes to a bit stream, least significant bit first; a completed byte goes to
// the output at once, and finishing an object pads its last byte with zero bits.
//
// Without tables the encoder only counts symbols (every code then counts as 8 bits), which is
// how the table generator measures real modules with the converter's own coding rules.
class Encoder {
public:
    explicit Encoder(const CodeTables* tables, SymbolCounts* counts = nullptr)
        : tables_(tables), counts_(counts) {}

    void put(Table table, std::uint8_t value);

    // True for the counting encoder that has no tables.
    bool measuresOnly() const { return tables_ == nullptr; }

    // Bits appended since the last finish().
    std::uint32_t bitCount() const { return bits_; }

    // Pads and moves out the object's bytes; the encoder starts the next object empty.
    std::vector<std::uint8_t> finish();

    // Set once a symbol without a code was asked for: the output cannot be decoded then.
    bool missingCode() const { return missing_; }
    Table missingTable() const { return missingTable_; }
    std::uint8_t missingSymbol() const { return missingSymbol_; }

private:
    void appendBits(std::uint32_t code, unsigned length);

    const CodeTables* tables_;
    SymbolCounts* counts_;
    std::vector<std::uint8_t> bytes_;
    std::uint32_t pending_ = 0; // bits not yet forming a whole byte
    unsigned pendingCount_ = 0;
    std::uint32_t bits_ = 0;
    bool missing_ = false;
    Table missingTable_ = Table::Value;
    std::uint8_t missingSymbol_ = 0;
};

} // namespace ayvex
