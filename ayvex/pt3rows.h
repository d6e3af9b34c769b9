#pragma once

#include "ayvex/bytes.h"
#include "ayvex/encoder.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ayvex {

// One command of a PT3 channel stream with the operand bytes that follow it inline.
struct Pt3Command {
    std::uint8_t code = 0;
    std::uint32_t at = 0; // module offset of the command byte
    std::array<std::uint8_t, 3> arg{};
    std::uint32_t argAt = 0;
};

// An effect command (0x01..0x05, 0x08, 0x09) with its parameters, which follow the row.
struct Pt3Effect {
    std::uint8_t code = 0;
    std::array<std::uint8_t, 5> param{};
    std::uint32_t paramAt = 0;
};

// One row: its commands in stream order (the ending note, 0xC0 or 0xD0 last), the effect
// commands among them in the same order, and how the row ended.
struct Pt3Row {
    std::vector<Pt3Command> commands;
    std::vector<Pt3Effect> effects;
    bool endsStream = false; // a 0x00 ended the channel stream in this row
    bool badEnd = false;     // ... after other commands of the row
};

// Reads the row at `pos` and moves `pos` past it and its effect parameters. The parameters
// follow the row in reverse order: those of the row's last effect command come first. `skip`
// is the channel's row length set by 0xB1 (0 stands for 256); it lasts beyond the row.
// Returns false, with the reason, when the row runs past the readable bytes.
bool readPt3Row(const Bytes& bytes, std::uint32_t& pos, std::uint32_t& skip, Pt3Row& row,
                std::string& error);

// Sample and ornament numbers as the converted song calls them.
struct Pt3Numbering {
    std::array<std::uint8_t, 32> sample{};
    std::array<std::uint8_t, 16> ornament{};
};

// Sample and ornament references of a row, counted by their module numbers.
struct Pt3Usage {
    std::array<std::uint32_t, 32> sample{};
    std::array<std::uint32_t, 16> ornament{};
};

// First pass over a row: counts the references and collects the warnings.
void notePt3Row(const Pt3Row& row, Pt3Usage& usage, std::vector<std::string>& warnings);

// Second pass: the row's codes. Only the row's first effect is coded: its symbol in the
// command's place, its parameter codes after the row's ending command.
void codePt3Row(const Pt3Row& row, const Pt3Numbering& numbering, Encoder& encoder);

// Warning texts, without the leading BEL and the line end.
std::string hex4(std::uint32_t value);
std::string hex2(std::uint32_t value);

} // namespace ayvex
