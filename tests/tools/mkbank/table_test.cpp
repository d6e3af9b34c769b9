#include "tools/mkbank/budget.h"
#include "tools/mkbank/tablewriter.h"

#include <gtest/gtest.h>

namespace telmira::mkbank {
namespace {

// 128 one-region programs on one wave, and a kit with a sound on key 35 only.
Bank oneWaveBank() {
    Bank bank;
    Wave w;
    w.name = "SINEW60";
    w.frames.assign(1500, 0);
    Wave kick;
    kick.name = "KICK_35";
    kick.frames.assign(10, 0);
    bank.waves = {w, kick};
    for (std::uint32_t p = 0; p < 128; ++p) {
        Instrument ins;
        ins.program = p;
        ins.regions = {Region{0, 127, 60, 0, 0, {}}};
        bank.instruments.push_back(ins);
    }
    Instrument kit;
    kit.drum = true;
    kit.regions = {Region{35, 35, 36, 0, 1, {}}};
    bank.instruments.push_back(kit);
    return bank;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(RegionTable, ListsProgramsRegionsAndDrumKeys) {
    const std::string text = writeRegionTable(oneWaveBank(), 12345, "Test.sf2");
    EXPECT_TRUE(contains(text, "from Test.sf2")) << text;
    EXPECT_TRUE(contains(text, "Bank: 12345 bytes, 129 instruments, 2 waves."));
    EXPECT_TRUE(contains(text, "    {\"Acoustic Grand Piano\", 1, {{\n"
                               "        {\"SINEW60\", 60, 0, 127, 3000},\n"
                               "    }}},\n"));
    EXPECT_TRUE(contains(text, "{\"Gunshot\", 1, {{"));
    EXPECT_TRUE(contains(text, "{\"Kick Drum 2\", \"KICK_35\", 36, 20}, // 35\n"));
    EXPECT_TRUE(contains(text, "{\"High Q\", \"\", 0, 0}, // 27\n"));
    EXPECT_TRUE(contains(text, "{\"Open Surdo\", \"\", 0, 0}, // 87\n"));
    EXPECT_EQ(writeRegionTable(oneWaveBank(), 12345, "Test.sf2"), text);
}

TEST(Budget, ReportsSizesCountsAndWhatIsOver) {
    Bank bank = oneWaveBank();
    BudgetReport r = measureBudget(bank, 1000);
    EXPECT_EQ(r.programsWithRegions[1], 128);
    EXPECT_EQ(r.medianRegionBytes, 3000u);
    EXPECT_EQ(r.drumKeys, 1);
    EXPECT_TRUE(r.violations.empty()) << r.violations.front();
    EXPECT_TRUE(contains(formatBudget(r), "programs by region count: 1:128 2:0"));

    bank.instruments[7].regions.clear();
    bank.waves[0].frames.assign(40000, 0); // 80000 bytes
    r = measureBudget(bank, 5u << 20);
    ASSERT_EQ(r.violations.size(), 4u);
    EXPECT_TRUE(contains(r.violations[0], "the bank has 5242880 bytes"));
    EXPECT_TRUE(contains(r.violations[1], "wave SINEW60 has 80000 bytes"));
    EXPECT_TRUE(contains(r.violations[2], "median region has 80000 bytes"));
    EXPECT_TRUE(contains(r.violations[3], "program 7 has 0 regions"));
}

} // namespace
} // namespace telmira::mkbank
