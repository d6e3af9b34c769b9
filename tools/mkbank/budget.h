#pragma once

#include "tools/mkbank/bankmodel.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace telmira::mkbank {

// The size budget of the shipped bank (README.md explains how the builder stays within it).
struct Budget {
    std::size_t maxBankBytes = 4u << 20;    // the whole DLS file
    std::uint32_t maxWaveBytes = 64u << 10; // any one wave's data
    // The median data size of the melodic programs' regions must lie in this range.
    std::uint32_t typicalLow = 2u << 10;
    std::uint32_t typicalHigh = 15u << 10;
    int maxRegions = 10;
};

struct BudgetReport {
    std::size_t bankBytes = 0;
    std::size_t waveBytes = 0; // data of all waves
    std::size_t waves = 0;
    std::vector<int> regionCounts;             // per melodic program 0..127
    std::array<int, 11> programsWithRegions{}; // how many programs have n regions, n = 0..10
    std::uint32_t medianRegionBytes = 0;
    std::uint32_t largestWaveBytes = 0;
    std::string largestWave;
    int drumKeys = 0;
    std::vector<std::string> violations;
};

BudgetReport measureBudget(const Bank& bank, std::size_t bankBytes, const Budget& budget = {});

// The summary mkbank prints: sizes, region counts per program and their distribution.
std::string formatBudget(const BudgetReport& report);

} // namespace telmira::mkbank
