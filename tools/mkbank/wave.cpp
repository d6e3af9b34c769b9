#include "tools/mkbank/wave.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace telmira::mkbank {

namespace {

constexpr int kTableSteps = 128; // kernel table points per source frame
constexpr double kZeroCrossings = 8;
constexpr double kPassband = 0.92; // cut-off as a share of the lower Nyquist frequency

double kernelAt(const std::vector<double>& table, double t) {
    const double x = std::abs(t) * kTableSteps;
    const auto i = static_cast<std::size_t>(x);
    if (i + 1 >= table.size()) {
        return 0;
    }
    const double f = x - static_cast<double>(i);
    return table[i] + (table[i + 1] - table[i]) * f;
}

std::int16_t toFrame(double v) {
    return static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

long floorToLong(double v) {
    return static_cast<long>(std::floor(v));
}

} // namespace

const WaveMaker::Kernel& WaveMaker::kernel(std::uint32_t sourceRate, std::uint32_t targetRate) {
    auto key = std::make_pair(sourceRate, targetRate);
    auto found = kernels_.find(key);
    if (found != kernels_.end()) {
        return found->second;
    }
    // Low-pass at the lower of the two Nyquist frequencies: fc in cycles per source frame × 2.
    const double fc = std::min(1.0, static_cast<double>(targetRate) / sourceRate) * kPassband;
    Kernel k;
    k.halfWidth = kZeroCrossings / fc;
    const auto points = static_cast<std::size_t>(std::ceil(k.halfWidth * kTableSteps)) + 2;
    k.table.resize(points);
    for (std::size_t i = 0; i < points; ++i) {
        const double t = static_cast<double>(i) / kTableSteps;
        if (t >= k.halfWidth) {
            k.table[i] = 0;
            continue;
        }
        const double u = std::numbers::pi * fc * t;
        const double sinc = (i == 0) ? 1.0 : std::sin(u) / u;
        const double w = t / k.halfWidth * std::numbers::pi;
        const double blackman = 0.42 + 0.5 * std::cos(w) + 0.08 * std::cos(2 * w);
        k.table[i] = fc * sinc * blackman;
    }
    return kernels_.emplace(key, std::move(k)).first->second;
}

bool WaveMaker::make(const SourceSample& sample, const WaveSource& src, Wave& wave) {
    const std::size_t size = sample.frames.size();
    if (sample.rate == 0 || src.start >= src.end || src.end > size) {
        return false;
    }
    const bool looped = src.looped && src.loopStart >= src.start && src.loopStart < src.loopEnd &&
                        src.loopEnd <= src.end;
    const std::uint32_t rate = std::min(sample.rate, limits_.maxRate);
    const Kernel& k = kernel(sample.rate, rate);
    const double tune = std::exp2(src.centsUp / 1200.0);
    double step = static_cast<double>(sample.rate) / rate * tune; // source frames per frame
    const std::int16_t* x = sample.frames.data();

    auto filter = [&](double position, auto&& read) {
        const long first = static_cast<long>(std::ceil(position - k.halfWidth));
        const long last = floorToLong(position + k.halfWidth);
        double sum = 0;
        for (long i = first; i <= last; ++i) {
            const double v = read(i);
            if (v != 0) {
                sum += v * kernelAt(k.table, position - static_cast<double>(i));
            }
        }
        return sum;
    };

    wave.rate = rate;
    wave.frames.clear();
    if (!looped) {
        const double maxFrames = limits_.maxUnloopedSeconds * sample.rate;
        const std::uint32_t keep = static_cast<std::uint32_t>(
            std::min<double>(src.end - src.start, std::floor(maxFrames)));
        const long begin = src.start;
        const long stop = static_cast<long>(src.start + keep);
        auto read = [&](long i) { return (i >= begin && i < stop) ? double(x[i]) : 0.0; };
        const auto count = static_cast<std::size_t>(std::max(1.0, std::floor(keep / step)));
        wave.frames.resize(count);
        for (std::size_t j = 0; j < count; ++j) {
            wave.frames[j] = toFrame(filter(src.start + static_cast<double>(j) * step, read));
        }
        if (keep < src.end - src.start) {
            const auto fade = std::min<std::size_t>(
                count, static_cast<std::size_t>(std::lround(limits_.fadeSeconds * rate)));
            for (std::size_t j = 0; j < fade; ++j) {
                const double gain = static_cast<double>(j) / fade;
                auto& v = wave.frames[count - 1 - j];
                v = toFrame(v * gain);
            }
        }
        wave.looped = false;
        wave.loopStart = 0;
        wave.loopLength = 0;
        return true;
    }

    // A loop becomes a whole number of frames: take n copies of the source loop so that they
    // fill m frames with a pitch error of at most maxLoopCentsError where that is possible.
    const double length = src.loopEnd - src.loopStart;
    const double exact = length / step;
    long bestM = std::max(1L, std::lround(exact));
    int bestN = 1;
    double bestError = std::abs(1200 * std::log2(exact / static_cast<double>(bestM)));
    for (int n = 2; n <= 64 && bestError > limits_.maxLoopCentsError; ++n) {
        const long m = std::max(1L, std::lround(n * exact));
        if (m > static_cast<long>(limits_.maxLoopFrames)) {
            break;
        }
        const double error = std::abs(1200 * std::log2(n * exact / static_cast<double>(m)));
        if (error < bestError) {
            bestError = error;
            bestM = m;
            bestN = n;
        }
    }
    step = bestN * length / static_cast<double>(bestM);

    const long loopStart = src.loopStart;
    const long loopEnd = src.loopEnd;
    const long loopLength = loopEnd - loopStart;
    auto cyclic = [&](long i) {
        long offset = (i - loopStart) % loopLength;
        if (offset < 0) {
            offset += loopLength;
        }
        return double(x[loopStart + offset]);
    };
    auto linear = [&](long i) {
        if (i < static_cast<long>(src.start)) {
            return 0.0;
        }
        return i < loopEnd ? double(x[i]) : cyclic(i);
    };
    // The part before the loop ends exactly where the loop begins; it is never empty, because a
    // loop that starts at frame 0 reads as "not looped" to the melody compiler.
    const long lead = std::max(1L, std::lround((src.loopStart - src.start) / step));
    wave.frames.resize(static_cast<std::size_t>(lead + bestM));
    for (long j = 0; j < lead; ++j) {
        const double p = src.loopStart - static_cast<double>(lead - j) * step;
        wave.frames[static_cast<std::size_t>(j)] =
            toFrame(p < src.start - 0.5 * step ? filter(p, cyclic) : filter(p, linear));
    }
    for (long j = 0; j < bestM; ++j) {
        const double p = src.loopStart + std::fmod(static_cast<double>(j) * step, length);
        wave.frames[static_cast<std::size_t>(lead + j)] = toFrame(filter(p, cyclic));
    }
    wave.looped = true;
    wave.loopStart = static_cast<std::uint32_t>(lead);
    wave.loopLength = static_cast<std::uint32_t>(bestM);
    return true;
}

} // namespace telmira::mkbank
