#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ayvex {

// Results of FXMProcess. The first group is the converter's established set; the second names
// the modules that would make the walk run away, each refused with its own code.
enum FxmStatus : int {
    kFxmWritten = 0,
    kFxmNotFxm = 81,         // the module does not start with "FXSM"
    kFxmCannotName = 20,     // kept for the melody compiler's table; not produced here
    kFxmCannotCreate = 21,   // out.m cannot be created
    kFxmInvalidCommand = 41, // a channel program holds a command the player does not know
    kFxmStackNotEmpty = 12,  // a channel's walk ended inside a call or a loop
    kFxmTooDeep = 3,         // the largest depths of the three channels add up to more than 24
    kFxmHeaderWrite = 7,
    kFxmDataWrite = 5,
    kFxmTableWrite = 8,

    kFxmLoopCountZero = 42,  // a loop start with the count 0
    kFxmStackOverflow = 43,  // more than 101 stack entries
    kFxmTooManyReturns = 44, // more than 256 return points
    kFxmNoLoopToStart = 45,  // a channel program never jumps back to its start
    kFxmStackMismatch = 46,  // a return or loop end without its call or loop start
    kFxmOutsideModule = 47,  // a program leads outside the module's bytes, or a short header
    kFxmTooLarge = 48,       // the module is too large for the 16-bit table offset
    kFxmInternal = 49,       // out of memory or another failure inside the library
};

struct FxmConversion {
    int status = kFxmWritten;
    std::string error;                       // why the module was refused
    std::array<std::uint8_t, 3> depth{};     // largest stack depth per channel
    std::vector<std::uint16_t> returnPoints; // in order of discovery
    std::vector<std::uint8_t> file;          // the bytes of out.m
};

inline constexpr std::size_t kFxmMaxStack = 101;
inline constexpr std::size_t kFxmMaxReturnPoints = 256;
inline constexpr unsigned kFxmMaxDepthSum = 24;
// A single pass of a channel longer than this many commands is taken for a program that never
// comes back to its start (a real song's pass runs a few thousand).
inline constexpr std::uint32_t kFxmMaxWalkSteps = 1u << 22;

bool hasFxmMagic(std::span<const std::uint8_t> module);

// Walks the three channel programs and builds out.m: header, the module bytes with channel A's
// final jump marked, the return-point table. Nothing outside `module` is read.
FxmConversion convertFxm(std::span<const std::uint8_t> module);

} // namespace ayvex
