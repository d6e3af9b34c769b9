#include "compiler/dsp/remez.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

// The Remez exchange after McClellan, Parks and Rabiner. For an odd number of taps N and a
// symmetric impulse response the amplitude response is a cosine sum of r = (N + 1) / 2 terms,
// that is a polynomial of degree r - 1 in x = cos(2 pi f). The design works on a dense grid of
// frequencies inside the bands and keeps a reference set of r + 1 grid points (the extremal
// frequencies). Each exchange
//  1. finds the polynomial whose weighted error has equal size |delta| and alternating sign on
//     the reference set (barycentric Lagrange interpolation in x),
//  2. evaluates the weighted error on the whole grid,
//  3. takes as the new reference the alternating local extrema of that error that reach at
//     least |delta|.
// It ends when the reference no longer changes: the error then alternates r + 1 times with
// equal size and nowhere on the grid exceeds it, which is the best filter on that grid. The
// taps follow from the amplitude response sampled at N equally spaced frequencies by an
// inverse discrete Fourier transform.

namespace telmira::dsp {
namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Largest problem the design accepts; far beyond any resampling filter, it only keeps absurd
// arguments from exhausting memory.
constexpr int kMaxTaps = 65535;
constexpr std::size_t kMaxGridPoints = std::size_t{1} << 24;

struct Grid {
    std::vector<double> x;        // cos(2 pi f) of every grid frequency, decreasing
    std::vector<double> desired;  // wanted amplitude at each point
    std::vector<double> weight;   // error weight at each point
    std::vector<std::size_t> end; // one past the last point of each band
};

// Grid points start at each band's lower edge and step by 0.5 / (density * r); the last point
// of a band is moved onto its upper edge, so both edges are on the grid.
Grid makeGrid(int r, std::span<const RemezBand> bands, int density) {
    Grid grid;
    const double step = 0.5 / (double(density) * double(r));
    for (const RemezBand& band : bands) {
        double f = band.low;
        std::vector<double> freq;
        for (;;) {
            freq.push_back(f);
            const double next = f + step;
            if (next > band.high) {
                break;
            }
            f = next;
        }
        freq.back() = band.high;
        for (double point : freq) {
            grid.x.push_back(std::cos(kTwoPi * point));
            grid.desired.push_back(band.desired);
            grid.weight.push_back(band.weight);
        }
        grid.end.push_back(grid.x.size());
    }
    return grid;
}

// The polynomial through the reference points in barycentric form.
struct Interpolant {
    std::vector<double> x;      // reference abscissas
    std::vector<double> y;      // values there
    std::vector<double> factor; // barycentric weights
    double deviation = 0;       // signed delta

    double operator()(double at) const {
        double num = 0;
        double den = 0;
        for (std::size_t k = 0; k < x.size(); ++k) {
            const double diff = at - x[k];
            if (diff == 0) {
                return y[k];
            }
            const double c = factor[k] / diff;
            num += c * y[k];
            den += c;
        }
        return num / den;
    }
};

// Barycentric weights 1 / prod_{j != k} 2 (x_k - x_j). The products of hundreds of factors
// are carried as mantissa and exponent, then scaled together so the largest weight is near 1;
// a common scale cancels in every use.
std::vector<double> barycentricWeights(const std::vector<double>& x) {
    const std::size_t n = x.size();
    std::vector<double> mantissa(n);
    std::vector<long> exponent(n);
    long largest = 0;
    for (std::size_t k = 0; k < n; ++k) {
        double m = 1;
        long e = 0;
        for (std::size_t j = 0; j < n; ++j) {
            if (j == k) {
                continue;
            }
            int step = 0;
            m = std::frexp(m * 2 * (x[k] - x[j]), &step);
            e += step;
        }
        mantissa[k] = m;
        exponent[k] = -e;
        largest = k == 0 ? -e : std::max(largest, -e);
    }
    std::vector<double> weights(n);
    for (std::size_t k = 0; k < n; ++k) {
        weights[k] = std::ldexp(1 / mantissa[k], int(exponent[k] - largest));
    }
    return weights;
}

Interpolant interpolate(const Grid& grid, const std::vector<std::size_t>& reference) {
    Interpolant p;
    for (std::size_t index : reference) {
        p.x.push_back(grid.x[index]);
    }
    p.factor = barycentricWeights(p.x);
    double num = 0;
    double den = 0;
    double sign = 1;
    for (std::size_t k = 0; k < reference.size(); ++k) {
        const std::size_t i = reference[k];
        num += p.factor[k] * grid.desired[i];
        den += sign * p.factor[k] / grid.weight[i];
        sign = -sign;
    }
    p.deviation = num / den;
    sign = 1;
    for (std::size_t k = 0; k < reference.size(); ++k) {
        const std::size_t i = reference[k];
        p.y.push_back(grid.desired[i] - sign * p.deviation / grid.weight[i]);
        sign = -sign;
    }
    return p;
}

struct Extremum {
    std::size_t index;
    double error;
};

// The new reference: in every band, each run of grid points whose weighted error keeps one
// sign gives its largest point; runs that stay below |delta| drop out; neighbours of the same
// sign keep the larger one; while there are too many, the smaller of the two ends goes.
// At the reference points the error is +-delta by construction, but computing it as
// W (A - D) loses up to a few units of rounding of W D, so the threshold leaves that much room.
// Returns fewer than `count` points only when rounding has broken the alternation.
std::vector<std::size_t> exchange(const Grid& grid, const std::vector<double>& error,
                                  double deviation, std::size_t count) {
    double scale = 0;
    for (std::size_t i = 0; i < error.size(); ++i) {
        scale = std::max(scale, grid.weight[i] * std::abs(grid.desired[i]));
    }
    const double floor = std::abs(deviation) * (1 - 1e-9) - 1e-13 * scale;
    std::vector<Extremum> found;
    std::size_t start = 0;
    for (std::size_t bandEnd : grid.end) {
        std::size_t i = start;
        while (i < bandEnd) {
            const bool positive = error[i] >= 0;
            std::size_t best = i;
            for (; i < bandEnd && (error[i] >= 0) == positive; ++i) {
                if (std::abs(error[i]) > std::abs(error[best])) {
                    best = i;
                }
            }
            if (std::abs(error[best]) < floor) {
                continue;
            }
            if (!found.empty() && (found.back().error >= 0) == positive) {
                if (std::abs(error[best]) > std::abs(found.back().error)) {
                    found.back() = {best, error[best]};
                }
                continue;
            }
            found.push_back({best, error[best]});
        }
        start = bandEnd;
    }
    std::size_t first = 0;
    std::size_t last = found.size();
    while (last - first > count) {
        if (std::abs(found[first].error) <= std::abs(found[last - 1].error)) {
            ++first;
        } else {
            --last;
        }
    }
    std::vector<std::size_t> reference;
    for (std::size_t k = first; k < last; ++k) {
        reference.push_back(found[k].index);
    }
    return reference;
}

// Taps from the amplitude response A sampled at f = j / N, j = 0 .. r - 1 (A is even and the
// remaining samples mirror these). A sample closer than 1e-6 in x to a reference point takes
// that point's value, as in the published program, which keeps the division clear of zero.
std::vector<double> tapsFromResponse(const Interpolant& p, int numTaps) {
    const int r = (numTaps + 1) / 2;
    std::vector<double> amplitude(std::size_t(r), 0.0);
    for (int j = 0; j < r; ++j) {
        const double x = std::cos(kTwoPi * double(j) / double(numTaps));
        std::size_t nearest = 0;
        for (std::size_t k = 1; k < p.x.size(); ++k) {
            if (std::abs(x - p.x[k]) < std::abs(x - p.x[nearest])) {
                nearest = k;
            }
        }
        amplitude[std::size_t(j)] = std::abs(x - p.x[nearest]) < 1e-6 ? p.y[nearest] : p(x);
    }
    std::vector<double> taps(std::size_t(numTaps), 0.0);
    const int middle = r - 1;
    for (int k = 0; k < r; ++k) {
        double sum = amplitude[0];
        for (int j = 1; j < r; ++j) {
            const long phase = (long(j) * k) % numTaps;
            sum += 2 * amplitude[std::size_t(j)] * std::cos(kTwoPi * double(phase) / numTaps);
        }
        const double tap = sum / numTaps;
        taps[std::size_t(middle + k)] = tap;
        taps[std::size_t(middle - k)] = tap;
    }
    return taps;
}

std::string checkArguments(int numTaps, std::span<const RemezBand> bands, int gridDensity,
                           int maxIterations) {
    if (numTaps < 3 || numTaps > kMaxTaps || numTaps % 2 == 0) {
        return "filter length must be odd and between 3 and " + std::to_string(kMaxTaps) +
               ", got " + std::to_string(numTaps);
    }
    if (gridDensity < 1 || maxIterations < 1) {
        return "grid density and iteration limit must be positive";
    }
    if (bands.empty()) {
        return "no bands given";
    }
    double previous = -1;
    for (const RemezBand& band : bands) {
        if (!(band.low > previous && band.low <= band.high && band.low >= 0 && band.high <= 0.5)) {
            return "band edges must rise within 0..0.5 and bands must not touch";
        }
        if (!(band.weight > 0) || !std::isfinite(band.weight) || !std::isfinite(band.desired)) {
            return "band weights must be positive and band values finite";
        }
        previous = band.high;
    }
    return {};
}

} // namespace

Outcome<RemezDesign> designEquiripple(int numTaps, std::span<const RemezBand> bands,
                                      int gridDensity, int maxIterations) {
    if (std::string problem = checkArguments(numTaps, bands, gridDensity, maxIterations);
        !problem.empty()) {
        return DataError{std::move(problem)};
    }
    const int r = (numTaps + 1) / 2;
    const std::size_t count = std::size_t(r) + 1;
    double span = 0;
    for (const RemezBand& band : bands) {
        span += band.high - band.low;
    }
    if (span * 2 * gridDensity * r + double(bands.size()) > double(kMaxGridPoints)) {
        return DataError{"frequency grid too large"};
    }
    const Grid grid = makeGrid(r, bands, gridDensity);
    const std::size_t points = grid.x.size();
    if (points < count) {
        return DataError{"bands too narrow for " + std::to_string(numTaps) + " taps"};
    }

    // Initial reference spread evenly over the grid.
    std::vector<std::size_t> reference(count);
    const double spacing = double(points - 1) / double(r);
    for (std::size_t k = 0; k < count - 1; ++k) {
        reference[k] = std::size_t(double(k) * spacing);
    }
    reference[count - 1] = points - 1;

    RemezDesign design;
    Interpolant p;
    std::vector<double> error(points);
    while (design.iterations < maxIterations) {
        ++design.iterations;
        p = interpolate(grid, reference);
        for (std::size_t i = 0; i < points; ++i) {
            error[i] = grid.weight[i] * (p(grid.x[i]) - grid.desired[i]);
        }
        std::vector<std::size_t> next = exchange(grid, error, p.deviation, count);
        if (next == reference) {
            design.converged = true;
            break;
        }
        if (next.size() != count) {
            break; // rounding broke the alternation: keep the last polynomial
        }
        reference = std::move(next);
    }
    design.deviation = std::abs(p.deviation);
    design.taps = tapsFromResponse(p, numTaps);
    return design;
}

} // namespace telmira::dsp
