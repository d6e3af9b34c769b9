#pragma once

#include "compiler/console.h"
#include "compiler/outcome.h"
#include "compiler/song.h"
#include "compiler/state.h"

#include <cstdint>
#include <span>
#include <string>

namespace telmira::compiler {

inline constexpr std::size_t kMaxMidiTracks = 64;
inline constexpr std::size_t kMaxSysExPayload = 512;

// `read_midi`: reads a Standard MIDI File into a new MIDI song at the end of the song list; the
// song takes over the per-song settings and copies the remaps and volume adjustments.
Outcome readMidi(CompilerState& state, Console& out, const std::string& path);

// Reads a Standard MIDI File held in memory: the header copy, the output resolution (the file's
// when `outputResolution` is 0) and the merged, time-ordered event list go into `song`. Prints
// everything after the "bytes read" line.
Outcome parseMidi(std::span<const std::uint8_t> file, std::uint32_t outputResolution, Song& song,
                  Console& out);

} // namespace telmira::compiler
