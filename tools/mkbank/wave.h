#pragma once

#include "tools/mkbank/bankmodel.h"

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace telmira::mkbank {

// The part of a SoundFont sample one DLS wave is made of.
struct WaveSource {
    std::uint32_t start = 0; // frames of the sample that are played: [start, end)
    std::uint32_t end = 0;
    bool looped = false;
    std::uint32_t loopStart = 0; // loopEnd exclusive, both inside [start, end]
    std::uint32_t loopEnd = 0;
    // Raises the pitch of the written frames by this many cents, so that the wave plays in
    // tune at a whole unity note without a fine tune.
    double centsUp = 0;
};

// How far the builder may shrink a sample. See README.md for the budget these give.
struct WaveLimits {
    std::uint32_t maxRate = 16000;      // higher source rates are resampled down to this
    double maxUnloopedSeconds = 1.5;    // longer one-shot sounds are cut, with a fade-out
    double fadeSeconds = 0.15;          // length of that fade-out
    double maxLoopCentsError = 1.0;     // pitch error a resampled loop may have ...
    std::uint32_t maxLoopFrames = 4096; // ... unless reaching it needs a longer loop than this
};

// Resamples part of a sample into `wave` (rate, frames and loop; the name and unity note are
// left to the caller). Drops what follows the loop, cuts long one-shot sounds, and makes every
// loop start at frame 1 or later. The windowed-sinc kernels are cached per pair of rates.
class WaveMaker {
public:
    explicit WaveMaker(WaveLimits limits) : limits_(limits) {}

    // Returns false when the source part is empty or the sample has no rate.
    bool make(const SourceSample& sample, const WaveSource& source, Wave& wave);

private:
    struct Kernel {
        double halfWidth = 0;      // in source frames
        std::vector<double> table; // kernel at t = i / kTableSteps, i >= 0
    };
    const Kernel& kernel(std::uint32_t sourceRate, std::uint32_t targetRate);

    WaveLimits limits_;
    std::map<std::pair<std::uint32_t, std::uint32_t>, Kernel> kernels_;
};

} // namespace telmira::mkbank
