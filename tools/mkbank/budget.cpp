#include "tools/mkbank/budget.h"

#include <algorithm>
#include <cstdio>

namespace telmira::mkbank {

BudgetReport measureBudget(const Bank& bank, std::size_t bankBytes, const Budget& budget) {
    BudgetReport r;
    r.bankBytes = bankBytes;
    r.waves = bank.waves.size();
    for (const Wave& w : bank.waves) {
        r.waveBytes += w.dataBytes();
        if (w.dataBytes() > r.largestWaveBytes) {
            r.largestWaveBytes = w.dataBytes();
            r.largestWave = w.name;
        }
    }
    r.regionCounts.assign(128, 0);
    std::vector<std::uint32_t> sizes;
    for (const Instrument& ins : bank.instruments) {
        if (ins.drum) {
            r.drumKeys += static_cast<int>(ins.regions.size());
            continue;
        }
        if (ins.bank == 0 && ins.program < 128) {
            r.regionCounts[ins.program] = static_cast<int>(ins.regions.size());
        }
        for (const Region& region : ins.regions) {
            if (region.wave < bank.waves.size()) {
                sizes.push_back(bank.waves[region.wave].dataBytes());
            }
        }
    }
    for (int count : r.regionCounts) {
        r.programsWithRegions[static_cast<std::size_t>(std::clamp(count, 0, 10))] += 1;
    }
    if (!sizes.empty()) {
        std::sort(sizes.begin(), sizes.end());
        r.medianRegionBytes = sizes[sizes.size() / 2];
    }

    if (bankBytes > budget.maxBankBytes) {
        r.violations.push_back("the bank has " + std::to_string(bankBytes) + " bytes, the budget " +
                               std::to_string(budget.maxBankBytes));
    }
    if (r.largestWaveBytes > budget.maxWaveBytes) {
        r.violations.push_back("wave " + r.largestWave + " has " +
                               std::to_string(r.largestWaveBytes) + " bytes, the budget " +
                               std::to_string(budget.maxWaveBytes));
    }
    if (r.medianRegionBytes < budget.typicalLow || r.medianRegionBytes > budget.typicalHigh) {
        r.violations.push_back("the median region has " + std::to_string(r.medianRegionBytes) +
                               " bytes, outside " + std::to_string(budget.typicalLow) + ".." +
                               std::to_string(budget.typicalHigh));
    }
    for (std::size_t p = 0; p < r.regionCounts.size(); ++p) {
        if (r.regionCounts[p] < 1 || r.regionCounts[p] > budget.maxRegions) {
            r.violations.push_back("program " + std::to_string(p) + " has " +
                                   std::to_string(r.regionCounts[p]) + " regions");
        }
    }
    return r;
}

std::string formatBudget(const BudgetReport& r) {
    std::string out;
    char line[160];
    std::snprintf(line, sizeof line,
                  "zel.dls: %zu bytes, %zu waves with %zu bytes of data, %d drum keys\n",
                  r.bankBytes, r.waves, r.waveBytes, r.drumKeys);
    out += line;
    std::snprintf(line, sizeof line,
                  "median melodic region %u bytes, largest wave %s with %u bytes\n",
                  r.medianRegionBytes, r.largestWave.c_str(), r.largestWaveBytes);
    out += line;
    out += "regions per program:";
    for (std::size_t p = 0; p < r.regionCounts.size(); ++p) {
        if (p % 16 == 0) {
            std::snprintf(line, sizeof line, "\n  %3zu:", p);
            out += line;
        }
        std::snprintf(line, sizeof line, " %2d", r.regionCounts[p]);
        out += line;
    }
    out += "\nprograms by region count:";
    for (std::size_t n = 1; n < r.programsWithRegions.size(); ++n) {
        std::snprintf(line, sizeof line, " %zu:%d", n, r.programsWithRegions[n]);
        out += line;
    }
    out += "\n";
    return out;
}

} // namespace telmira::mkbank
