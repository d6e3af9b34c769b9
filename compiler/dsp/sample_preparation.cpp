#include "compiler/dsp/sample_preparation.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace telmira::dsp {
namespace {

std::int32_t readSample(const std::uint8_t* p, unsigned bits) {
    switch (bits) {
    case 8:
        return std::int32_t(p[0]) - 128;
    case 16:
        return std::int16_t(std::uint16_t(p[0] | (p[1] << 8)));
    case 24: {
        const std::uint32_t u =
            std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
        return std::int32_t(u << 8) >> 8;
    }
    default:
        return std::int32_t(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                            (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24));
    }
}

std::string rateText(float sourceRate, float targetRate) {
    return formatMessage("%.2f => %.2f", double(sourceRate), double(targetRate));
}

// The wave followed by `extra` more values: its loop (the last loopLength values) over and
// over, or silence.
std::vector<float> continued(std::span<const float> x, std::uint32_t loopLength,
                             std::size_t extra) {
    const std::size_t inputs = x.size();
    const std::size_t loop = std::min<std::size_t>(loopLength, inputs);
    std::vector<float> fed(inputs + extra, 0.0f);
    std::copy(x.begin(), x.end(), fed.begin());
    if (loop > 0) {
        for (std::size_t t = 0; t < extra; ++t) {
            fed[inputs + t] = x[inputs - loop + t % loop];
        }
    }
    return fed;
}

// y_i = sum c_k v_(i-k), values before the start counting as 0; summed in double precision.
std::vector<float> convolve(std::span<const float> v, std::span<const float> taps) {
    std::vector<float> y(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        double sum = 0;
        const std::size_t count = std::min(i + 1, taps.size());
        for (std::size_t k = 0; k < count; ++k) {
            sum += double(taps[k]) * double(v[i - k]);
        }
        y[i] = float(sum);
    }
    return y;
}

// Catmull-Rom interpolation of y at `count` positions start + j x step; values outside y count
// as 0. Each position is worked out afresh in double precision: a running single-precision
// sum drifts by up to half a unit of its last place per step (1/1024 of a sample from 8192 on,
// 1/128 from 65536 on), which detunes long waves and moves their loops off the loop distance.
std::vector<float> interpolate(std::span<const float> y, double start, double step,
                               std::size_t count) {
    auto at = [&y](long index) {
        return index >= 0 && std::size_t(index) < y.size() ? y[std::size_t(index)] : 0.0f;
    };
    std::vector<float> out(count);
    for (std::size_t j = 0; j < count; ++j) {
        const double position = start + double(j) * step;
        const double whole = std::floor(position);
        const long i = long(whole);
        const float f = float(position - whole);
        const float a = at(i - 1);
        const float b = at(i);
        const float c = at(i + 1);
        const float d = at(i + 2);
        out[j] = b + f * ((c - a) / 2 + f * ((a - 2.5f * b + 2 * c - d / 2) +
                                             f * (1.5f * b - 1.5f * c + d / 2 - a / 2)));
    }
    return out;
}

} // namespace

WaveTuning waveTuning(const WaveSource& wave, float fs) {
    WaveTuning t;
    t.tuningFactor = float(std::pow(2.0, -double(wave.fineTune) / 1200.0));
    float target = fs * t.tuningFactor;
    const int offset = wave.noteOffset;
    if (offset > kOffsetMixed && offset < kOffsetNeverPlayed) {
        double ratio = std::pow(2.0, double(offset) / 12.0);
        t.corrected = offset != 0;
        double loopOut = 0;
        if (wave.loopLength > 0 && wave.sampleRate > 0) {
            loopOut = double(wave.loopLength) * ratio * double(target) / double(wave.sampleRate);
        }
        const double k = std::trunc(loopOut * 256 + 0.5);
        if (std::fmod(k, 256.0) == 0) {
            t.exactLoop = true;
        } else if (ratio > 1) {
            ratio = 1;
            t.corrected = false;
        }
        t.noteCorrection = float(ratio);
        target = float(double(target) * ratio);
    }
    t.targetRate = target;
    return t;
}

bool needsLongTerminator(bool exactLoop, std::int32_t loopValue) {
    return !(exactLoop && (std::uint32_t(loopValue) & 0xFF) == 0);
}

Outcome<std::vector<float>> decodeFirstChannel(const WaveSource& wave) {
    const unsigned bits = wave.bitsPerSample;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return DataError{
            formatMessage(
                "unsupported sample size of %u bits (8, 16, 24 and 32 bits are supported)", bits),
            true};
    }
    if (wave.channels == 0) {
        return DataError{"wave without channels", true};
    }
    if (wave.sampleRate == 0) {
        return DataError{"wave with a sample rate of 0", true};
    }
    const std::size_t sampleBytes = bits / 8;
    const std::size_t frameBytes = sampleBytes * wave.channels;
    const std::size_t frames = wave.data.size() / frameBytes;
    std::vector<float> x(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        x[i] = float(readSample(wave.data.data() + i * frameBytes, bits));
    }
    return x;
}

std::vector<float> resample(std::span<const float> x, std::span<const float> taps, float sourceRate,
                            float targetRate, std::uint32_t loopLength) {
    const std::size_t n = taps.size();
    const long delay = n > 0 ? long(n - 1) / 2 : 0;
    const double length = std::ceil(double(x.size()) * double(targetRate) / double(sourceRate));
    const std::size_t outputs = length > 0 ? std::size_t(length) : 0;
    const double step = double(sourceRate) / double(targetRate);
    if (sourceRate > targetRate) {
        // Low-pass at the input rate, then interpolate at the output positions, starting one
        // filter delay in.
        const std::vector<float> y = convolve(continued(x, loopLength, n), taps);
        return interpolate(y, double(delay), step, outputs);
    }
    // Upsampling: the filter's band edges are fractions of the output rate, so it runs there,
    // on the interpolated wave, and takes away the interpolation's images above the input's
    // band. The interpolation reaches one filter delay past the end, into the continuation.
    const std::size_t extra = std::size_t(std::ceil(double(n) * double(step))) + 3;
    const std::vector<float> z =
        interpolate(continued(x, loopLength, extra), 0.0, step, outputs + std::size_t(delay));
    const std::vector<float> filtered = convolve(z, taps);
    return std::vector<float>(filtered.begin() + delay, filtered.begin() + delay + long(outputs));
}

void normalise(std::vector<float>& wave) {
    float peak = 0;
    for (float v : wave) {
        peak = std::max(peak, std::abs(v));
    }
    if (!(peak > 0) || !std::isfinite(peak)) {
        return;
    }
    const float scale = kNormalPeak / peak;
    for (float& v : wave) {
        v *= scale;
    }
}

std::int8_t quantise(float value, bool r101xp) {
    const float step = r101xp ? 128.0f : 256.0f;
    const float limit = r101xp ? 126.0f : 63.0f;
    const float q = value / step;
    float rounded = q < 0 ? -std::trunc(-q + 0.5f) : std::trunc(q + 0.5f);
    if (!(rounded >= -limit)) {
        rounded = std::isnan(rounded) ? 0.0f : -limit;
    }
    rounded = std::min(rounded, limit);
    return std::int8_t(rounded);
}

std::int32_t loopValue(std::uint32_t loopLength, float sourceRate, float targetRate) {
    if (loopLength == 0) {
        return 0;
    }
    const double distance =
        std::trunc(double(loopLength) * double(targetRate) / double(sourceRate) * 256 + 0.5);
    return distance > -double(kMinLoopValue) ? kMinLoopValue - 1 : -std::int32_t(distance);
}

Outcome<PreparedWave> prepareWave(const WaveSource& wave, const SampleSettings& settings,
                                  FilterCache& cache, const MessageSink& sink) {
    PreparedWave result;
    result.tuning = waveTuning(wave, settings.fs);
    result.sourceRate = float(wave.sampleRate);
    const float a = result.sourceRate;
    const float b = result.tuning.targetRate;

    auto decoded = decodeFirstChannel(wave);
    if (!decoded) {
        return decoded.error();
    }
    if (!(std::isfinite(b) && b > 0)) {
        return DataError{"no usable target sample rate (" + rateText(a, b) + ")"};
    }
    const std::vector<float>& x = decoded.value();
    if (wave.loopLength > x.size()) {
        return DataError{formatMessage("loop of %u frames in a wave of %zu frames",
                                       unsigned(wave.loopLength), x.size())};
    }
    result.loopValue = loopValue(wave.loopLength, a, b);
    if (result.loopValue < kMinLoopValue) {
        return DataError{formatMessage("loop too long: %.0f samples after resampling, at most %d",
                                       double(wave.loopLength) * double(b) / double(a),
                                       -kMinLoopValue / 256)};
    }

    std::vector<float> out;
    if (a == b) {
        out = x;
    } else {
        if (std::ceil(double(x.size()) * double(b) / double(a)) > double(kMaxOutputSamples)) {
            return DataError{formatMessage("wave too long after resampling (%zu frames, %s)",
                                           x.size(), rateText(a, b).c_str())};
        }
        auto index = findOrDesignFilter(cache, a, b, sink);
        if (!index) {
            return index.error();
        }
        const std::vector<float>& taps = cache[index.value()].taps;
        if (taps.empty()) {
            return DataError{"the cached filter for " + rateText(a, b) + " has no taps"};
        }
        out = resample(x, taps, a, b, wave.loopLength);
    }
    normalise(out);
    result.samples.reserve(out.size());
    for (float v : out) {
        result.samples.push_back(quantise(v, settings.r101xp));
    }
    result.longTerminator = needsLongTerminator(result.tuning.exactLoop, result.loopValue);

    const std::size_t length = result.samples.size();
    const double loopStart =
        wave.loopLength > 0 ? double(length) - 1 + double(result.loopValue) / 256 : 0.0;
    emit(sink,
         formatMessage("      + tc=%.4f; nc=%.4f; fx=%u; size=%u; LStrt=%.2f\n",
                       double(result.tuning.tuningFactor), double(result.tuning.noteCorrection),
                       unsigned(result.tuning.exactLoop), unsigned(length), loopStart));
    return result;
}

std::string waveHeadline(const std::string& name, bool drum, unsigned bitsPerSample,
                         unsigned sampleRate) {
    return formatMessage("    + %s\t(%s, %u/%u)\n", name.c_str(), drum ? "DRM" : "MEL",
                         bitsPerSample, sampleRate);
}

} // namespace telmira::dsp
