#pragma once

#include <span>

namespace telmira::dsp::test {

// Pass-band ripple and stop-band attenuation of a symmetric low-pass, measured from its
// frequency response on a dense grid (pointsPerBin points per 1/numTaps of frequency).
struct LowPassResponse {
    double passRippleDb = 0;      // max - min of the gain over [0, passEdge], in dB
    double stopAttenuationDb = 0; // -(largest gain over [stopEdge, 0.5]), in dB
    double passDeviation = 0;     // largest |gain - 1| over the pass band
    double stopPeak = 0;          // largest |gain| over the stop band
};

LowPassResponse measureLowPass(std::span<const float> taps, double passEdge, double stopEdge,
                               int pointsPerBin = 32);

// Gain of the filter at frequency f (fraction of its sampling rate).
double gainAt(std::span<const float> taps, double f);

} // namespace telmira::dsp::test
