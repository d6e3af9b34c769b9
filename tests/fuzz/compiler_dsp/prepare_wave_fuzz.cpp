// Sample preparation of a wave from a DLS bank: format fields, loop, tuning and data all come
// from the file. Input layout: bits (1), channels (1), rate (2, little-endian), loop length (2),
// fine tune (2, signed), note offset (1, signed), r101xp (1), then the data chunk.

#include "compiler/dsp/instrument_entry.h"
#include "compiler/dsp/sample_preparation.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telmira::dsp;
    if (size < 10) {
        return 0;
    }
    WaveSource wave;
    wave.bitsPerSample = data[0];
    wave.channels = data[1];
    wave.sampleRate = unsigned(data[2] | (data[3] << 8));
    wave.loopLength = std::uint32_t(data[4] | (data[5] << 8));
    wave.fineTune = std::int16_t(std::uint16_t(data[6] | (data[7] << 8)));
    wave.noteOffset = std::int8_t(data[8]);
    const bool r101xp = (data[9] & 1) != 0;
    wave.data = {data + 10, size - 10};

    FilterCache cache;
    auto prepared = prepareWave(wave, {10416.666f, r101xp}, cache, nullptr);
    if (!prepared) {
        return 0;
    }
    const PreparedWave& w = prepared.value();
    const int limit = r101xp ? 126 : 63;
    for (std::int8_t s : w.samples) {
        if (s > limit || s < -limit) {
            __builtin_trap();
        }
    }
    if (w.loopValue < kMinLoopValue || (wave.loopLength > 0) != (w.loopValue < 0)) {
        __builtin_trap();
    }
    for (auto container : {SampleContainer::Binary, SampleContainer::AssemblerText}) {
        const auto image = sampleImage(w.samples, w.loopValue, w.longTerminator, container, r101xp);
        if (image.size() > w.samples.size() + 19) {
            __builtin_trap();
        }
    }
    return 0;
}
