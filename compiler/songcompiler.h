#pragma once

#include "compiler/console.h"
#include "compiler/outcome.h"
#include "compiler/state.h"

#include <cstddef>
#include <cstdint>

namespace telmira::compiler {

// Keys above this one are dropped (counted as "skipped due to high frequency").
inline constexpr int kHighestKey = 108;
// Note records a channel may hold; a note-on beyond them reuses the oldest released one.
inline constexpr std::size_t kMaxNoteRecords = 65;
// Bounds of one compiled song: the phone could not hold a longer one, and they keep a broken
// or hostile file from running for hours or filling the memory.
inline constexpr std::uint32_t kMaxSongTicks = 1u << 24;
inline constexpr std::size_t kMaxSongEvents = std::size_t{1} << 21;

// State that lives through one compile command, across its songs.
struct CollectionRun {
    bool nrpn = false; // an NRPN was selected: data entry changes no bend range
};

// Compiles one MIDI song: simulates the six-voice synthesizer tick by tick over the song's MIDI
// events and fills song.compiled (event list, regions, usage records). Regions and waves the
// notes need are marked used and join the instrument table and the used-sample list of the
// state. Prints the song's lines. Ends with a data error (exit code 2) when the bank holds a
// negative sustain or the song is too long to compile.
Outcome compileSong(CompilerState& state, Song& song, Console& out, CollectionRun& run);

} // namespace telmira::compiler
