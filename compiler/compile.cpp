#include "compiler/compile.h"

#include "compiler/samples.h"
#include "compiler/songcompiler.h"

namespace telmira::compiler {

Outcome compileCollection(CompilerState& state, Console& out, const CompileSteps& steps) {
    out.print("Compiling MIDI song set for Zavra-5 synthesizer\n");
    if (!state.fsGiven)
        out.print("  + INFO: using default sampling frequency %.2f Hz\n",
                  static_cast<double>(state.fs));
    if (!state.timeBaseGiven)
        out.print("  + INFO: using default MIDI clock source %.2f Hz\n",
                  static_cast<double>(state.timeBase));
    if (!state.egTimestepGiven)
        out.print("  + INFO: using default EG1 timestep %.2f ms\n",
                  static_cast<double>(state.egTimestep));

    for (DlsWave& wave : state.dls.waves)
        wave.usageCount = 0;
    state.highNotesSkipped = 0;
    CollectionRun run;
    for (Song& song : state.songs) {
        if (song.kind != SongKind::Midi)
            continue;
        const Outcome compiled = compileSong(state, song, out, run);
        if (!compiled.goesOn())
            return compiled;
    }

    const Outcome prepared = prepareSamples(state, out);
    if (!prepared.goesOn())
        return prepared;
    if (state.precompiledDatabase && steps.saveFilterCache) {
        const Outcome saved = steps.saveFilterCache(state, out);
        if (!saved.goesOn())
            return saved;
    }
    if (steps.packSongs) {
        const Outcome packed = steps.packSongs(state, out);
        if (!packed.goesOn())
            return packed;
    }
    out.print("  + Done\n");
    return Outcome::next();
}

} // namespace telmira::compiler
