// Speed of the resampling filter design and of preparing one wave. Each filter's measured
// stop-band attenuation and pass-band ripple (float taps, dense frequency grid) are reported
// as counters next to its design time.

#include "compiler/dsp/resampling_filter.h"
#include "compiler/dsp/sample_preparation.h"
#include "filter_response.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {
using namespace telmira::dsp;

const float kFs = 10416.666f;

// Source rate in Hz (state.range(0)) down or up to FS (state.range(1) != 0: FS up to it).
void designFilter(benchmark::State& state) {
    const float rate = float(state.range(0));
    const bool up = state.range(1) != 0;
    const float a = up ? kFs : rate;
    const float b = up ? rate : kFs;
    const auto spec = resamplingFilterSpec(a, b);
    if (!spec) {
        state.SkipWithError(spec.error().message.c_str());
        return;
    }
    FilterRecord record;
    for (auto _ : state) {
        auto designed = designResamplingFilter(a, b, nullptr);
        benchmark::DoNotOptimize(designed);
        record = std::move(designed).value();
    }
    const auto response =
        test::measureLowPass(record.taps, spec.value().passEdge, spec.value().stopEdge);
    state.counters["taps"] = double(record.taps.size());
    state.counters["stop_dB"] = response.stopAttenuationDb;
    state.counters["ripple_dB"] = response.passRippleDb;
}
BENCHMARK(designFilter)
    ->ArgsProduct({{8000, 11025, 16000, 22050, 44100, 48000, 96000}, {0}})
    ->Args({22050, 1})
    ->Unit(benchmark::kMillisecond);

// One second of a 16-bit wave at the source rate, looped, prepared with a cached filter.
void prepareOneSecond(benchmark::State& state) {
    const unsigned rate = unsigned(state.range(0));
    std::vector<std::uint8_t> data;
    for (unsigned i = 0; i < rate; ++i) {
        const auto s = std::int16_t(std::lround(12000 * std::sin(2 * M_PI * 440.0 * i / rate)));
        data.push_back(std::uint8_t(std::uint16_t(s) & 0xFF));
        data.push_back(std::uint8_t(std::uint16_t(s) >> 8));
    }
    WaveSource wave;
    wave.data = data;
    wave.sampleRate = rate;
    wave.loopLength = rate / 10;
    FilterCache cache;
    if (!prepareWave(wave, {}, cache, nullptr)) {
        state.SkipWithError("preparation failed");
        return;
    }
    for (auto _ : state) {
        auto prepared = prepareWave(wave, {}, cache, nullptr);
        benchmark::DoNotOptimize(prepared);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(rate));
}
BENCHMARK(prepareOneSecond)->Arg(8000)->Arg(22050)->Arg(44100)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
