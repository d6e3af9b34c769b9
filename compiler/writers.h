#pragma once

#include "compiler/console.h"
#include "compiler/outcome.h"
#include "compiler/state.h"

#include <string>

// The output files of the script commands (the ROM image and the filter database aside). Each
// writer prints its "Writing" line first; a file that cannot be created prints
// "  + Can't create file: %s" and ends the run with exit code 1 (the raw test samples excepted,
// which skip such a file). Text files are Windows-1251 with CR LF line ends.
namespace telmira::compiler {

// `write_samples_bin`: the melody binary file the desktop application loads (instrument entries,
// samples, songs).
Outcome writeSamplesBin(CompilerState& state, Console& out, const std::string& path);
// `write_binary_samples`: each used sample's stored values as a raw file in the folder.
Outcome writeBinarySamples(CompilerState& state, Console& out, const std::string& folder);
// `write_stat`: the statistics file the desktop application parses.
Outcome writeStat(CompilerState& state, Console& out, const std::string& path);
// `write_dls_info`: every region of the DLS bank.
Outcome writeDlsInfo(CompilerState& state, Console& out, const std::string& path);
// `write_log`: every compiled event, superseded ones marked.
Outcome writeLog(CompilerState& state, Console& out, const std::string& path);
// `write_samples`: instrument table and samples as assembler text.
Outcome writeSamplesAsm(CompilerState& state, Console& out, const std::string& path);
// `write_songs`: the songs' unpacked byte-code as assembler text.
Outcome writeSongsAsm(CompilerState& state, Console& out, const std::string& path);
// `write_packed_songs`: the packed songs as one assembler file.
Outcome writePackedSongsAsm(CompilerState& state, Console& out, const std::string& path);
// `write_packed_songs_multiple`: each packed song as its own assembler file in the folder.
Outcome writePackedSongsMultiple(CompilerState& state, Console& out, const std::string& folder);

// Pieces the writers and the ROM patcher share.

// The wave a region plays, or null when it has none.
const DlsWave* regionWave(const CompilerState& state, const DlsRegion& region);
// The used sample of a wave the compiled songs play (usage count not 0) once prepared; null
// otherwise.
const UsedSample* playedSample(const CompilerState& state, std::size_t wave);
// Bytes of a prepared sample's terminator in the listings: 19 for the long form or in r101xp
// mode, else 3.
std::size_t listedTerminatorSize(const CompilerState& state, const dsp::PreparedWave& prepared);

} // namespace telmira::compiler
