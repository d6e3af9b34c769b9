#pragma once

#include "compiler/console.h"
#include "compiler/huffman.h"
#include "compiler/outcome.h"
#include "compiler/state.h"

#include <array>
#include <cstdint>
#include <vector>

namespace telmira::compiler {

// How many times each symbol of each tree occurs in a song's data.
using SymbolCounts = std::array<std::vector<std::uint32_t>, zavra::kTreeCount>;

// Sizes of the eight symbol tables.
inline constexpr std::array<std::size_t, zavra::kTreeCount> kAlphabetSizes = {4096, 256, 256,  256,
                                                                              256,  256, 4096, 256};

// The delays a delay of `ticks` is coded as: itself up to 4095, beyond that a run of 4095-tick
// delays and the rest.
std::vector<std::uint32_t> codedDelays(std::uint32_t ticks);

// Counts the symbols of the written events of a song. Fails (with the reason) on a value the
// trees cannot carry: a SetPch pitch above 4095 or an instrument number above 255.
struct CountResult {
    SymbolCounts counts;
    bool ok = true;
    const char* problem = nullptr; // the console line of the failure
};
CountResult countSymbols(const std::vector<SongEvent>& events);

// The packed form of a song: header, coded stream, trees. Fails when a tree does not fit its
// descriptor (more than 255 nodes, data beyond a 16-bit offset).
struct PackResult {
    std::vector<std::uint8_t> data;
    std::size_t unpackedSize = 0;
    bool ok = true;
    unsigned badTree = 0;
};
PackResult packEvents(const std::vector<SongEvent>& events,
                      const std::array<BuiltTree, zavra::kTreeCount>& trees,
                      std::uint8_t masterVolume);

// The packing step of `compile`: every MIDI song's events become its data, with the messages
// "  + Calculating statistic for packing", per song "    + Analyzing %s" and its node counts,
// then per song "  + Packing %s" and its efficiency, and the overall efficiency. A value the
// trees cannot carry, or a tree that does not fit its descriptor, is a data error (exit 2).
Outcome packSongs(CompilerState& state, Console& out);

} // namespace telmira::compiler
