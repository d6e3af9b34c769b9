#pragma once

#include <string>
#include <vector>

namespace telmira::dsp::test {

// One scipy.signal.remez design of the committed reference file.
struct ReferenceDesign {
    float sourceRate = 0;
    float targetRate = 0;
    int numTaps = 0;
    double passEdge = 0;
    double stopEdge = 0;
    double stopWeight = 0;
    std::vector<double> taps;
};

// Reads fixtures/remez_reference.txt (made by fixtures/make_remez_reference.py); empty when the
// file is missing or malformed.
std::vector<ReferenceDesign> loadReferenceDesigns();

} // namespace telmira::dsp::test
