// Speed and memory of midi2zavra's compile: every real MIDI file of the shared test data that the
// reader accepts, compiled against the shipped bank zel.dls with an empty filter cache, one
// song at a time and all of them as one collection. Each benchmark reports the share of its
// time that went into designing resampling filters; the program ends with the largest memory
// it held (getrusage), which must stay under 200 MB.
//
// Paths: the bank from TELMIRA_BANK (default: the build's work directory), the MIDI files from
// TELMIRA_MIDI_DIR (default: the shared test data).

#include "compiler/compile.h"
#include "compiler/dls.h"
#include "compiler/dsp/resampling_filter.h"
#include "compiler/midi.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace telmira::compiler;
namespace fs = std::filesystem;
namespace dsp = telmira::dsp;

// CPU seconds of this thread: the machine may be shared, so wall time would count other work.
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

constexpr double kMemoryLimitMb = 200;

std::string setting(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

// The bank and the accepted songs, read once.
struct Inputs {
    CompilerState bank;
    std::vector<Song> songs;
    std::string problem;
};

Inputs readInputs() {
    Inputs inputs;
    std::string log;
    Console console(log);
    const std::string bank = setting("TELMIRA_BANK", TELMIRA_BANK);
    if (!readDls(inputs.bank, console, bank).goesOn()) {
        inputs.problem = "cannot read the bank " + bank;
        return inputs;
    }
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry :
         fs::directory_iterator(setting("TELMIRA_MIDI_DIR", TELMIRA_MIDI_DIR), error))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        CompilerState reader;
        if (readMidi(reader, console, file.string()).goesOn())
            inputs.songs.push_back(std::move(reader.songs.front()));
    }
    if (inputs.songs.empty())
        inputs.problem = "no MIDI files read";
    return inputs;
}

const Inputs& inputs() {
    static const Inputs read = readInputs();
    return read;
}

// CPU seconds it takes to design the filters of the cache again, the best of three tries.
double designSeconds(const dsp::FilterCache& cache) {
    double best = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const double start = cpuSeconds();
        for (const dsp::FilterRecord& record : cache) {
            auto designed =
                dsp::designResamplingFilter(record.sourceRate, record.targetRate, nullptr);
            benchmark::DoNotOptimize(designed);
        }
        const double seconds = cpuSeconds() - start;
        best = attempt == 0 ? seconds : std::min(best, seconds);
    }
    return best;
}

// Compiles `songs` (indices into the inputs, all of them when empty) with an empty filter
// cache on every iteration, so every filter the songs need is designed each time.
void compileSongs(benchmark::State& state, std::vector<std::size_t> songs) {
    if (!inputs().problem.empty()) {
        state.SkipWithError(inputs().problem.c_str());
        return;
    }
    CompilerState base = inputs().bank;
    for (std::size_t i = 0; i < inputs().songs.size(); ++i)
        if (songs.empty() || std::find(songs.begin(), songs.end(), i) != songs.end())
            base.songs.push_back(inputs().songs[i]);

    double fastest = 0; // seconds of the fastest compile: the least disturbed one
    CompilerState last;
    for (auto _ : state) {
        state.PauseTiming();
        CompilerState work = base;
        std::string log;
        Console console(log);
        state.ResumeTiming();
        const double start = cpuSeconds();
        const Outcome outcome = compileCollection(work, console);
        const double seconds = cpuSeconds() - start;
        fastest = fastest == 0 ? seconds : std::min(fastest, seconds);
        if (!outcome.goesOn()) {
            state.SkipWithError(log.c_str());
            return;
        }
        state.PauseTiming();
        last = std::move(work);
        state.ResumeTiming();
    }
    std::size_t events = 0;
    for (const Song& song : last.songs)
        events += song.compiled.events.size();
    state.counters["songs"] = static_cast<double>(last.songs.size());
    state.counters["events"] = static_cast<double>(events);
    state.counters["samples"] = static_cast<double>(last.usedSamples.size());
    state.counters["filters"] = static_cast<double>(last.filtersDesigned);
    // Filter design against the fastest compile, both from their least disturbed runs.
    const bool designed = fastest > 0 && !last.filterCache.empty();
    state.counters["design_share"] = designed ? designSeconds(last.filterCache) / fastest : 0;
}

double maxResidentMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const Inputs& read = inputs();
    benchmark::RegisterBenchmark("compile/all_songs", compileSongs, std::vector<std::size_t>{})
        ->Unit(benchmark::kMillisecond);
    for (std::size_t i = 0; i < read.songs.size(); ++i)
        benchmark::RegisterBenchmark(
            ("compile/" + fs::path(read.songs[i].path).filename().string()).c_str(), compileSongs,
            std::vector<std::size_t>{i})
            ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double peak = maxResidentMb();
    std::printf("Largest memory held (max RSS): %.1f MB, limit %.0f MB: %s\n", peak, kMemoryLimitMb,
                peak < kMemoryLimitMb ? "within" : "EXCEEDED");
    return peak < kMemoryLimitMb ? 0 : 1;
}
