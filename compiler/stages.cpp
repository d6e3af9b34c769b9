#include "compiler/stages.h"

#include "compiler/compile.h"
#include "compiler/pack.h"
#include "compiler/pdb.h"
#include "compiler/rompatch.h"
#include "compiler/writers.h"

namespace telmira::compiler {

Stages buildStages() {
    // The database saves the filter cache within compile, before the songs are packed.
    CompileSteps steps;
    steps.saveFilterCache = savePrecompiledDatabase;
    steps.packSongs = packSongs;
    Stages stages;
    stages.compile = [steps](CompilerState& state, Console& out) {
        return compileCollection(state, out, steps);
    };
    stages.writeLog = writeLog;
    stages.writeSamples = writeSamplesAsm;
    stages.writeBinarySamples = writeBinarySamples;
    stages.writeSongs = writeSongsAsm;
    stages.writePackedSongs = writePackedSongsAsm;
    stages.writeStat = writeStat;
    stages.writeDlsInfo = writeDlsInfo;
    stages.writePackedSongsMultiple = writePackedSongsMultiple;
    stages.writeSamplesBin = writeSamplesBin;
    stages.loadPrecompiledDatabase = loadPrecompiledDatabase;
    stages.patchZavraRom = patchZavraRom;
    return stages;
}

Outcome notAvailable(Console& out, std::string_view command) {
    out.print("ERR: command '%.*s' is not available in this build\n",
              static_cast<int>(command.size()), command.data());
    return Outcome::stop(Outcome::kFileError);
}

} // namespace telmira::compiler
