#include "filter_response.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace telmira::dsp::test {

double gainAt(std::span<const float> taps, double f) {
    // |H(f)| straight from the definition, no symmetry assumed; the phasor turns by e^(-i w).
    std::complex<double> sum = 0;
    const std::complex<double> turn = std::polar(1.0, -2 * M_PI * f);
    std::complex<double> phasor = 1;
    for (float tap : taps) {
        sum += double(tap) * phasor;
        phasor *= turn;
    }
    return std::abs(sum);
}

LowPassResponse measureLowPass(std::span<const float> taps, double passEdge, double stopEdge,
                               int pointsPerBin) {
    const double step = 1.0 / (double(taps.size()) * pointsPerBin);
    double passMin = 1e300;
    double passMax = 0;
    LowPassResponse r;
    auto visit = [&](double f) {
        const double g = gainAt(taps, f);
        if (f <= passEdge) {
            passMin = std::min(passMin, g);
            passMax = std::max(passMax, g);
            r.passDeviation = std::max(r.passDeviation, std::abs(g - 1));
        } else if (f >= stopEdge) {
            r.stopPeak = std::max(r.stopPeak, g);
        }
    };
    for (double f = 0; f < 0.5; f += step) {
        visit(f);
    }
    visit(passEdge);
    visit(stopEdge);
    visit(0.5);
    r.passRippleDb = 20 * std::log10(passMax / passMin);
    r.stopAttenuationDb = -20 * std::log10(r.stopPeak);
    return r;
}

} // namespace telmira::dsp::test
