#pragma once

#include "compiler/dsp/outcome.h"

#include <span>
#include <vector>

namespace telmira::dsp {

// One band of an equiripple design. Frequencies are fractions of the sampling rate
// (0 <= low <= high <= 0.5); across the band the amplitude should be `desired`, and the error
// there counts `weight` times.
struct RemezBand {
    double low = 0;
    double high = 0;
    double desired = 0;
    double weight = 1;
};

struct RemezDesign {
    std::vector<double> taps; // numTaps taps, symmetric about the middle one
    double deviation = 0;     // the weighted ripple of the last exchange
    int iterations = 0;       // exchanges done
    bool converged = false;   // false: the iteration limit ended the search
};

// Parks-McClellan (Remez exchange) design of a linear-phase FIR filter with an odd number of
// taps and symmetric impulse response: the filter whose largest weighted error on a dense
// frequency grid (gridDensity points per extremal frequency) is smallest. The search stops
// when the extremal set no longer changes, or after maxIterations exchanges, in which case the
// design holds the last result and `converged` is false. Bad arguments (an even or too small
// number of taps, bands out of order or outside [0, 0.5], a non-positive weight) give an
// error.
Outcome<RemezDesign> designEquiripple(int numTaps, std::span<const RemezBand> bands,
                                      int gridDensity, int maxIterations);

} // namespace telmira::dsp
