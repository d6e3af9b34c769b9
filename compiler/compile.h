#pragma once

#include "compiler/console.h"
#include "compiler/outcome.h"
#include "compiler/stages.h"
#include "compiler/state.h"

namespace telmira::compiler {

// The steps of compile that other modules carry; an empty one is passed over.
struct CompileSteps {
    StateStage saveFilterCache; // into the precompiled database, when the script names one
    StateStage packSongs;
};

// `compile`: compiles every MIDI song of the song list in order (AY songs are passed over),
// prepares the samples the songs use, saves the filter cache, packs the songs and prints
// "  + Done". Compiling again recompiles every song; the wave usage counts are then counted
// afresh over all of them.
Outcome compileCollection(CompilerState& state, Console& out, const CompileSteps& steps = {});

} // namespace telmira::compiler
