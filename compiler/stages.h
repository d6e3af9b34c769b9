#pragma once

#include "compiler/console.h"
#include "compiler/outcome.h"
#include "compiler/state.h"

#include <functional>
#include <string>
#include <string_view>

namespace telmira::compiler {

// The work of the commands that compile, write and patch. The script interpreter parses and
// checks each command's arguments itself and then hands over to the stage; a stage this build
// does not carry is left empty, and its command ends the run saying so.
using StateStage = std::function<Outcome(CompilerState&, Console&)>;
using PathStage = std::function<Outcome(CompilerState&, Console&, const std::string& path)>;

struct Stages {
    StateStage compile;
    PathStage writeLog;
    PathStage writeSamples;
    PathStage writeBinarySamples;
    PathStage writeSongs;
    PathStage writePackedSongs;
    PathStage writeStat;
    PathStage writeDlsInfo;
    PathStage writePackedSongsMultiple;
    PathStage writeSamplesBin;
    PathStage loadPrecompiledDatabase;
    PathStage patchZavraRom;
};

// The stages this build carries.
Stages buildStages();

// Ends the run for a command whose stage is missing from this build (exit code 1).
Outcome notAvailable(Console& out, std::string_view command);

} // namespace telmira::compiler
