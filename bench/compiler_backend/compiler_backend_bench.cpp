// The later stages of midi2zavra on a real set (six MIDI files of the shared test data against
// the shipped bank zel.dls):
//  - compileSet/cold: compile with an empty filter cache, every resampling filter designed;
//  - compileSet/warm: the second run, the filters loaded from the precompiled database;
//    the difference is the gain the database brings (counter "filters" = filters designed);
//  - packSongs, unpackSongs: the Huffman packing of the compiled songs and its decoder;
//  - allocate/fail: the placement heuristic on a set that fits the free bytes in total but
//    in no placement, run to its iteration bound.

#include "base/zavrastream.h"
#include "compiler/allocation.h"
#include "compiler/compile.h"
#include "compiler/dls.h"
#include "compiler/midi.h"
#include "compiler/pack.h"
#include "compiler/pdb.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace telmira::compiler;
namespace fs = std::filesystem;

const char* const kSongs[] = {"ail2_SHANTY.mid",
                              "midly_Clementi.mid",
                              "openmsx_5432gone_redfarn.mid",
                              "openmsx_modern_motion.mid",
                              "planetblupi_music003.mid",
                              "tonejs_beethoven_sym7_2_fmt1_single_track.mid"};

struct SetInputs {
    CompilerState state; // bank and songs read, nothing compiled
    std::string error;
};

const SetInputs& inputs() {
    static const SetInputs loaded = [] {
        SetInputs in;
        std::string log;
        Console out(log);
        const fs::path bank = fs::path(TELMIRA_WORK_DIR) / "zel.dls";
        if (!readDls(in.state, out, bank.string()).goesOn()) {
            in.error = "cannot read " + bank.string() + " (build the target zel_dls)";
            return in;
        }
        for (const char* song : kSongs) {
            const fs::path file = fs::path(TELMIRA_TESTDATA_DIR) / "mid" / song;
            if (!readMidi(in.state, out, file.string()).goesOn()) {
                in.error = "cannot read " + file.string();
                return in;
            }
        }
        return in;
    }();
    return loaded;
}

const fs::path& databasePath() {
    static const fs::path path = fs::temp_directory_path() / "telmira-bench-pdb.dat";
    return path;
}

CompileSteps steps() {
    CompileSteps s;
    s.saveFilterCache = savePrecompiledDatabase;
    s.packSongs = packSongs;
    return s;
}

void compileSet(benchmark::State& st) {
    const bool warm = st.range(0) != 0;
    if (!inputs().error.empty()) {
        st.SkipWithError(inputs().error.c_str());
        return;
    }
    std::string log;
    Console out(log);
    if (warm) { // the first run leaves the database behind
        CompilerState first = inputs().state;
        first.precompiledDatabase = databasePath().string();
        compileCollection(first, out, steps());
    }
    std::size_t designed = 0;
    for (auto _ : st) {
        st.PauseTiming();
        CompilerState state = inputs().state;
        state.precompiledDatabase = databasePath().string();
        if (!warm)
            fs::remove(databasePath());
        log.clear();
        st.ResumeTiming();
        loadPrecompiledDatabase(state, out, databasePath().string());
        const Outcome done = compileCollection(state, out, steps());
        if (!done.goesOn()) {
            st.SkipWithError("the set does not compile");
            return;
        }
        designed = state.filtersDesigned;
    }
    st.counters["filters"] = static_cast<double>(designed);
    fs::remove(databasePath());
}
BENCHMARK(compileSet)->ArgName("warm")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The set compiled once, for the packing benchmarks.
const CompilerState& compiledSet() {
    static const CompilerState compiled = [] {
        CompilerState state = inputs().state;
        std::string log;
        Console out(log);
        if (inputs().error.empty())
            compileCollection(state, out, steps());
        return state;
    }();
    return compiled;
}

void packAll(benchmark::State& st) {
    if (!inputs().error.empty()) {
        st.SkipWithError(inputs().error.c_str());
        return;
    }
    CompilerState state = compiledSet();
    std::string log;
    Console out(log);
    std::size_t events = 0;
    for (const Song& song : state.songs)
        events += song.compiled.events.size();
    for (auto _ : st) {
        log.clear();
        benchmark::DoNotOptimize(packSongs(state, out));
    }
    st.counters["events"] = benchmark::Counter(static_cast<double>(events) * st.iterations(),
                                               benchmark::Counter::kIsRate);
}
BENCHMARK(packAll)->Unit(benchmark::kMillisecond);

void unpackAll(benchmark::State& st) {
    if (!inputs().error.empty()) {
        st.SkipWithError(inputs().error.c_str());
        return;
    }
    const CompilerState& state = compiledSet();
    std::size_t bytes = 0;
    for (auto _ : st)
        for (const Song& song : state.songs) {
            const auto unpacked = telmira::zavra::unpackSong(song.data);
            benchmark::DoNotOptimize(unpacked);
            bytes += song.data.size();
        }
    st.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(unpackAll)->Unit(benchmark::kMillisecond);

// A set that fits the free bytes but no placement: the heuristic runs to its bound.
void allocateFail(benchmark::State& st) {
    for (auto _ : st) {
        const Allocation a = allocateObjects({4, 4, 2, 2}, {7, 5});
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(allocateFail)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
