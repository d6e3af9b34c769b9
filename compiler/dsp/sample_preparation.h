#pragma once

#include "compiler/dsp/messages.h"
#include "compiler/dsp/outcome.h"
#include "compiler/dsp/resampling_filter.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace telmira::dsp {

// Note offsets of a wave: unity - key when every note that used it had that one key and no
// pitch change; these two values mean it was never played or played at several pitches.
inline constexpr int kOffsetNeverPlayed = 128;
inline constexpr int kOffsetMixed = -128;

// Peak level of the resampled wave before quantisation.
inline constexpr float kNormalPeak = 16128;

// Longest loop the sample terminators can express: the loop value is a 24-bit two's complement
// 8.8 fixed-point distance.
inline constexpr std::int32_t kMinLoopValue = -0x800000;
// Longest resampled wave the compiler makes (far beyond any phone memory).
inline constexpr std::size_t kMaxOutputSamples = std::size_t{1} << 24;

// A wave of the DLS bank as sample preparation needs it.
struct WaveSource {
    std::span<const std::uint8_t> data; // the `data` chunk: little-endian PCM frames
    unsigned bitsPerSample = 16;
    unsigned sampleRate = 0;      // frames per second
    unsigned channels = 1;        // only the first channel of each frame is used
    std::uint32_t loopLength = 0; // in frames; 0 without loop (the loop ends with the wave)
    int fineTune = 0;             // cents
    int noteOffset = kOffsetNeverPlayed;
};

struct SampleSettings {
    float fs = 10416.666f; // the synthesizer's sampling frequency
    bool r101xp = false;   // quantise to -126..126 instead of -63..63
};

// Pitch decisions of one wave.
struct WaveTuning {
    float tuningFactor = 1;   // 2^(-fine tune / 1200)
    float noteCorrection = 1; // 2^(offset / 12) when the wave is pre-transposed, else 1
    bool corrected = false;   // its instruments' origin note becomes unity - offset
    bool exactLoop = false;   // the loop is a whole number of output samples
    float targetRate = 0;     // FS x tuning factor x note correction
};

// A wave in the phone's sample format.
struct PreparedWave {
    WaveTuning tuning;
    float sourceRate = 0;
    std::vector<std::int8_t> samples; // -63..63 (r101xp: -126..126)
    std::int32_t loopValue = 0;       // 0 without loop, else -(loop length in samples) x 256
    bool longTerminator = true;
};

// Step 1 and 2: tuning factor, note correction, exact-loop and corrected flags, target rate.
WaveTuning waveTuning(const WaveSource& wave, float fs);

// 1 unless the loop is exact and the loop value's low byte is 0.
bool needsLongTerminator(bool exactLoop, std::int32_t loopValue);

// The first channel of every frame as numbers (8-bit data is unsigned PCM centred on 128,
// 16, 24 and 32-bit data signed little-endian). Other sample sizes, no channels and a rate of
// 0 are data errors.
Outcome<std::vector<float>> decodeFirstChannel(const WaveSource& wave);

// Resampling of x from sourceRate to targetRate with a low-pass (taps c_0..c_n-1), giving
// ceil(N x target / source) outputs. The wave goes on past its end with its loop (the last
// loopLength values over and over) or with silence. Catmull-Rom interpolation (positions
// start + j x source / target in double precision) makes the new rate:
//  - downsampling: the FIR runs at the input rate, then the interpolation reads the filtered
//    wave at (n - 1) div 2 + j x source / target;
//  - upsampling: the filter's band edges are fractions of the output rate, so the
//    interpolation at j x source / target comes first and the FIR runs on its result, read
//    (n - 1) div 2 outputs later.
std::vector<float> resample(std::span<const float> x, std::span<const float> taps, float sourceRate,
                            float targetRate, std::uint32_t loopLength);

// Scales the wave so its largest absolute value becomes kNormalPeak (single precision); an
// all-zero wave stays zero.
void normalise(std::vector<float>& wave);

// One normalised value as a stored sample, rounded to the nearest step of 256 (r101xp: 128),
// halves away from zero.
std::int8_t quantise(float value, bool r101xp);

// Loop value for a loop of loopLength input frames: -round(L x target / source x 256), the
// same rounding as the exact-loop decision, so an exact loop has a low byte of 0. A distance
// the terminators cannot hold gives kMinLoopValue - 1.
std::int32_t loopValue(std::uint32_t loopLength, float sourceRate, float targetRate);

// The whole preparation of one wave (steps 1 to 9): tuning, the filter from the cache (designed
// and appended when missing, with its messages), decoding, resampling (a plain copy when the
// two rates are equal), normalisation, quantisation and loop value, then the per-wave line
//   "      + tc=%.4f; nc=%.4f; fx=%u; size=%u; LStrt=%.2f\n".
// The caller prints the wave's headline before. Errors: see decodeFirstChannel and
// resamplingFilterSpec, and a loop longer than the wave or than the terminators can hold.
Outcome<PreparedWave> prepareWave(const WaveSource& wave, const SampleSettings& settings,
                                  FilterCache& cache, const MessageSink& sink);

// The headline of a wave: "    + %s\t(%s, %u/%u)\n" with "DRM" or "MEL".
std::string waveHeadline(const std::string& name, bool drum, unsigned bitsPerSample,
                         unsigned sampleRate);

} // namespace telmira::dsp
