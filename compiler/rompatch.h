#pragma once

#include "compiler/console.h"
#include "compiler/outcome.h"
#include "compiler/state.h"

#include <string>

namespace telmira::compiler {

// `patch_zavra_rom`: places the instrument table, the samples the songs play and every song
// into the melody areas of the ROM image file (read with the data key of `set_key`), builds the
// song table at the start of the bank-0 area (bell songs first), writes the patch points,
// stores the checksum and replaces the file. Exit codes: 2 when the file cannot be read or
// written or a sample or song is not compiled; 1 when the image is broken, the set does not fit
// or no placement was found.
Outcome patchZavraRom(CompilerState& state, Console& out, const std::string& path);

} // namespace telmira::compiler
