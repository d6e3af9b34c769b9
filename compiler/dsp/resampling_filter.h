#pragma once

#include "compiler/dsp/messages.h"
#include "compiler/dsp/outcome.h"
#include "compiler/dsp/remez.h"

#include <cstddef>
#include <vector>

namespace telmira::dsp {

// A resampling filter: a low-pass for one pair of sample rates. The two rates, compared as
// 32-bit floats, are the key of the filter cache (which the precompiled database saves).
struct FilterRecord {
    float sourceRate = 0;
    float targetRate = 0;
    std::vector<float> taps;
};

// The compiler's filter cache: the records loaded from the database in file order, then the
// filters designed since.
using FilterCache = std::vector<FilterRecord>;

// Design parameters of every resampling filter.
inline constexpr double kTransitionHz = 250;     // width of the transition band
inline constexpr double kPassRippleDb = 0.5;     // pass-band ripple, peak to peak
inline constexpr double kStopAttenuationDb = 96; // stop-band attenuation
inline constexpr int kGridDensity = 32;
inline constexpr int kMaxIterations = 40;
// Longest filter the compiler designs (about 160 kHz for the faster of the two rates); longer
// ones would take minutes to design and are refused as a data error.
inline constexpr int kMaxResamplingTaps = 2047;

inline constexpr char kNotConvergedMessage[] =
    "Reached maximum iteration count.\nResults may be bad.\n";

// The low-pass a pair of rates needs, in fractions of the faster rate.
struct ResamplingFilterSpec {
    double passEdge = 0;   // f_p: end of the pass band
    double stopEdge = 0;   // f_s: start of the stop band (half the slower rate)
    double passRipple = 0; // delta_p
    double stopRipple = 0; // delta_s
    int numTaps = 0;       // odd
};

// Herrmann's estimate of the length of an equiripple low-pass with ripples deltaP and deltaS
// and a transition band of width `transition` (fraction of the sampling rate), before it is
// made odd: trunc(D / transition - F * transition + 1).
int herrmannLength(double deltaP, double deltaS, double transition);

// The filter parameters for resampling from sourceRate to targetRate. Equal rates, rates that
// are not positive and finite, a slower rate of 500 Hz or less (no pass band left) and filters
// longer than kMaxResamplingTaps give an error.
Outcome<ResamplingFilterSpec> resamplingFilterSpec(float sourceRate, float targetRate);

// The two bands of the equiripple design: [0, f_p] wanting 1 with weight 1, [f_s, 0.5] wanting 0
// with weight delta_p / delta_s.
std::vector<RemezBand> resamplingBands(const ResamplingFilterSpec& spec);

// Designs the filter for a pair of rates (taps rounded to 32-bit floats). When the exchange does
// not converge within maxIterations, the non-convergence message goes to the sink and the last
// result is used.
Outcome<FilterRecord> designResamplingFilter(float sourceRate, float targetRate,
                                             const MessageSink& sink,
                                             int maxIterations = kMaxIterations);

// The cache record for exactly these two rates, or null.
const FilterRecord* findFilter(const FilterCache& cache, float sourceRate, float targetRate);

// The cached filter for the two rates; when there is none it is designed, with the messages
//   "      + Generating filter for resampling %.2f => %.2f\n"
//   "        + Filter order is %u\n"
// and appended to the cache. Gives the record's position in the cache.
Outcome<std::size_t> findOrDesignFilter(FilterCache& cache, float sourceRate, float targetRate,
                                        const MessageSink& sink);

} // namespace telmira::dsp
