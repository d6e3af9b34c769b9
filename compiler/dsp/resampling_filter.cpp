#include "compiler/dsp/resampling_filter.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace telmira::dsp {

int herrmannLength(double deltaP, double deltaS, double transition) {
    const double lp = std::log10(deltaP);
    const double ls = std::log10(deltaS);
    const double d = (0.005309 * lp * lp + 0.07114 * lp - 0.4761) * ls -
                     (0.00266 * lp * lp + 0.5941 * lp + 0.4278);
    const double f = 11.01217 + 0.51244 * (lp - ls);
    const double n = d / transition - f * transition + 1;
    // Clamped so that absurd widths cannot overflow the conversion; the caller refuses the
    // result long before.
    return int(std::trunc(std::fmin(std::fmax(n, 0.0), 1e9)));
}

Outcome<ResamplingFilterSpec> resamplingFilterSpec(float sourceRate, float targetRate) {
    const auto rates = formatMessage("%.2f => %.2f", double(sourceRate), double(targetRate));
    if (!(std::isfinite(sourceRate) && std::isfinite(targetRate) && sourceRate > 0 &&
          targetRate > 0)) {
        return DataError{"no resampling filter for the sample rates " + rates};
    }
    if (sourceRate == targetRate) {
        return DataError{"equal sample rates need no resampling filter (" + rates + ")"};
    }
    // The slower rate's Nyquist frequency is the stop edge, in fractions of the faster rate.
    const double edge = double(std::fmin(sourceRate, targetRate)) / 2;
    const double base = double(std::fmax(sourceRate, targetRate));
    ResamplingFilterSpec spec;
    spec.stopEdge = edge / base;
    spec.passEdge = (edge - kTransitionHz) / base;
    if (!(spec.passEdge > 0)) {
        return DataError{"sample rate too low to resample (" + rates + ")"};
    }
    const double passGain = std::pow(10.0, kPassRippleDb / 20);
    spec.passRipple = (passGain - 1) / (passGain + 1);
    spec.stopRipple = std::pow(10.0, -kStopAttenuationDb / 20);
    int n =
        herrmannLength(spec.passRipple, spec.stopRipple, std::abs(spec.stopEdge - spec.passEdge));
    if (n % 2 == 0) {
        ++n;
    }
    if (n > kMaxResamplingTaps) {
        return DataError{"resampling filter too long for the sample rates " + rates + " (" +
                             std::to_string(n) + " taps, at most " +
                             std::to_string(kMaxResamplingTaps) + ")",
                         true};
    }
    spec.numTaps = std::max(n, 3);
    return spec;
}

std::vector<RemezBand> resamplingBands(const ResamplingFilterSpec& spec) {
    return {
        {0.0, spec.passEdge, 1.0, 1.0},
        {spec.stopEdge, 0.5, 0.0, spec.passRipple / spec.stopRipple},
    };
}

Outcome<FilterRecord> designResamplingFilter(float sourceRate, float targetRate,
                                             const MessageSink& sink, int maxIterations) {
    auto spec = resamplingFilterSpec(sourceRate, targetRate);
    if (!spec) {
        return spec.error();
    }
    const std::vector<RemezBand> bands = resamplingBands(spec.value());
    auto design = designEquiripple(spec.value().numTaps, bands, kGridDensity, maxIterations);
    if (!design) {
        return design.error();
    }
    if (!design.value().converged) {
        emit(sink, kNotConvergedMessage);
    }
    FilterRecord record{sourceRate, targetRate, {}};
    record.taps.reserve(design.value().taps.size());
    for (double tap : design.value().taps) {
        record.taps.push_back(float(tap));
    }
    return record;
}

const FilterRecord* findFilter(const FilterCache& cache, float sourceRate, float targetRate) {
    for (const FilterRecord& record : cache) {
        if (record.sourceRate == sourceRate && record.targetRate == targetRate) {
            return &record;
        }
    }
    return nullptr;
}

Outcome<std::size_t> findOrDesignFilter(FilterCache& cache, float sourceRate, float targetRate,
                                        const MessageSink& sink) {
    if (const FilterRecord* found = findFilter(cache, sourceRate, targetRate)) {
        return std::size_t(found - cache.data());
    }
    emit(sink, formatMessage("      + Generating filter for resampling %.2f => %.2f\n",
                             double(sourceRate), double(targetRate)));
    auto record = designResamplingFilter(sourceRate, targetRate, sink);
    if (!record) {
        return record.error();
    }
    emit(sink,
         formatMessage("        + Filter order is %u\n", unsigned(record.value().taps.size())));
    cache.push_back(std::move(record).value());
    return cache.size() - 1;
}

} // namespace telmira::dsp
