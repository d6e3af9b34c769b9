#include "reference_designs.h"

#include <bit>
#include <cstdint>
#include <fstream>
#include <sstream>

namespace telmira::dsp::test {

std::vector<ReferenceDesign> loadReferenceDesigns() {
    std::ifstream in(std::string(TELMIRA_FIXTURE_DIR) + "/fixtures/remez_reference.txt");
    std::vector<ReferenceDesign> designs;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        if (line.rfind("design ", 0) == 0) {
            std::string word;
            std::uint32_t source = 0;
            std::uint32_t target = 0;
            ReferenceDesign design;
            fields >> word >> std::hex >> source >> target >> std::dec >> design.numTaps >>
                design.passEdge >> design.stopEdge >> design.stopWeight;
            if (!fields) {
                return {};
            }
            design.sourceRate = std::bit_cast<float>(source);
            design.targetRate = std::bit_cast<float>(target);
            designs.push_back(design);
            continue;
        }
        double tap = 0;
        if (!(fields >> tap) || designs.empty()) {
            return {};
        }
        designs.back().taps.push_back(tap);
    }
    return designs;
}

} // namespace telmira::dsp::test
