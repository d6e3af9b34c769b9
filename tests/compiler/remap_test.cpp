// Remaps and volume adjustments: their forms, their checks against the DLS region list and their
// reports.
#include "tests/compiler/compilertest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace telmira::compiler {
namespace {

using test::ScriptHarness;
using ::testing::EndsWith;

DlsRegion region(const char* name, std::uint32_t bank, std::uint32_t program, bool drum,
                 std::uint16_t keyLow, std::uint16_t keyHigh, std::uint16_t velocityLow = 0,
                 std::uint16_t velocityHigh = 127) {
    DlsRegion r;
    r.name = name;
    r.bank = bank;
    r.program = program;
    r.drum = drum;
    r.keyLow = keyLow;
    r.keyHigh = keyHigh;
    r.velocityLow = velocityLow;
    r.velocityHigh = velocityHigh;
    return r;
}

class Remaps : public ::testing::Test {
protected:
    Remaps() {
        auto& regions = harness.state().dls.regions;
        regions.push_back(region("Piano Low", 0, 0, false, 0, 59));
        regions.push_back(region("Piano High", 0, 0, false, 60, 127));
        regions.push_back(region("Kit", 0, 0, true, 35, 81, 0, 63));
        regions.push_back(region("Kit Loud", 0, 0, true, 35, 81, 64, 127));
        regions.push_back(region("Strings", 130, 48, false, 0, 127));
    }
    ScriptHarness harness;
};

TEST_F(Remaps, RegionRemapFindsTheFirstRegionCoveringTheTarget) {
    EXPECT_EQ(harness.run("remap_region loud drum * * 36 40 * * 0 0 38 100 40\n"), 0);
    EXPECT_EQ(harness.output,
              "Added remap 'loud' B=Any P=Any K=[36..40] V=Any => Kit Loud [35..81] [64..127]\n");
    ASSERT_EQ(harness.state().regionRemaps.size(), 1u);
    const RegionRemap& remap = harness.state().regionRemaps[0];
    EXPECT_EQ(remap.target, 3u);
    EXPECT_TRUE(remap.drum);
    EXPECT_EQ(remap.originKey, 40);
    EXPECT_EQ(remap.keyLow, 36);
    EXPECT_EQ(remap.velocityLow, kAny);
}

TEST_F(Remaps, OneWildcardBoundMakesTheRangeAny) {
    EXPECT_EQ(harness.run("remap_region s mel 130 48 10 * 5 9 0 0 70 1\n"), 0);
    EXPECT_EQ(harness.output,
              "Added remap 's' B=130 P=48 K=Any V=[5..9] => Piano High [60..127] [0..127]\n");
    EXPECT_EQ(harness.state().regionRemaps[0].originKey, kAny);
}

TEST_F(Remaps, MelodicRemapNeedsASourceProgram) {
    EXPECT_EQ(harness.run("remap_region a mel 0 * * * * * 0 0 60 100\n"), 1);
    EXPECT_EQ(harness.output, "\aTCL file error at line #1\n");
    harness.output.clear();
    EXPECT_EQ(harness.run("remap_region a drum 0 * * * * * 0 0 60 10\n"), 0);
    EXPECT_THAT(harness.output, ::testing::StartsWith("Added remap 'a' B=0 P=Any"));
}

struct BadRemap {
    const char* name;
    const char* line;
};

class BadRegionRemap : public Remaps, public ::testing::WithParamInterface<BadRemap> {};

TEST_P(BadRegionRemap, IsAScriptError) {
    EXPECT_EQ(harness.run(GetParam().line), 1);
    EXPECT_EQ(harness.output, "\aTCL file error at line #1\n");
    EXPECT_TRUE(harness.state().regionRemaps.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Forms, BadRegionRemap,
    ::testing::Values(BadRemap{"NineValues", "remap_region a mel 0 0 * * * * 0 0 60"},
                      BadRemap{"TwelveValues", "remap_region a mel 0 0 * * * * 0 0 60 1 2 3"},
                      BadRemap{"TargetBankAny", "remap_region a mel 0 0 * * * * * 0 60 1"},
                      BadRemap{"TargetProgramAny", "remap_region a mel 0 0 * * * * 0 * 60 1"},
                      BadRemap{"TargetKeyAny", "remap_region a mel 0 0 * * * * 0 0 * 1"},
                      BadRemap{"TargetVelocityAny", "remap_region a mel 0 0 * * * * 0 0 60 *"},
                      BadRemap{"SignedValue", "remap_region a mel 0 -1 * * * * 0 0 60 1"},
                      BadRemap{"OtherKind", "remap_region a melodic 0 0 * * * * 0 0 60 1"},
                      BadRemap{"NoKind", "remap_region a"},
                      BadRemap{"DeleteWithMore", "remap_region a delete now"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Remaps, MissingTargetNamesTheScriptLine) {
    EXPECT_EQ(harness.run("; first\nremap_region a mel 0 0 * * * * 0 0 60 1\n"
                          "remap_region b mel 0 0 * * * * 0 5 60 1\n"),
              1);
    EXPECT_THAT(harness.output, EndsWith("Target instrument not found for remap at 3\n"));
    // A drum rule looks among drum regions only.
    harness.output.clear();
    EXPECT_EQ(harness.run("remap_region c drum 0 0 * * * * 130 48 60 1\n"), 1);
    EXPECT_EQ(harness.output, "Target instrument not found for remap at 1\n");
}

TEST_F(Remaps, SameNameUpdatesInPlace) {
    ASSERT_EQ(harness.run("remap_region A mel 0 1 * * * * 0 0 10 1\n"
                          "remap_region B mel 0 2 * * * * 0 0 10 1\n"
                          "remap_region a mel 0 3 * * * * 0 0 100 1\n"),
              0);
    EXPECT_THAT(harness.output,
                EndsWith("Updated remap 'a' B=0 P=3 K=Any V=Any => Piano High [60..127] "
                         "[0..127]\n"));
    const auto& remaps = harness.state().regionRemaps;
    ASSERT_EQ(remaps.size(), 2u);
    EXPECT_EQ(remaps[0].program, 3);
    EXPECT_EQ(remaps[0].target, 1u);
    EXPECT_EQ(remaps[1].name, "B");
}

TEST_F(Remaps, DeleteRemovesByNameIgnoringCase) {
    ASSERT_EQ(harness.run("remap_region One mel 0 1 * * * * 0 0 10 1\n"
                          "remap_region Two mel 0 2 * * * * 0 0 10 1\n"
                          "remap_region ONE DELETE\n"),
              0);
    EXPECT_THAT(harness.output, EndsWith("Remap 'ONE' deleted\n"));
    ASSERT_EQ(harness.state().regionRemaps.size(), 1u);
    EXPECT_EQ(harness.state().regionRemaps[0].name, "Two");
    harness.output.clear();
    EXPECT_EQ(harness.run("remap_region One delete\n"), 1);
    EXPECT_EQ(harness.output, "Remap 'One' not found for delete!\n");
}

TEST_F(Remaps, ProgramRemapTargetsAMelodicRegion) {
    ASSERT_EQ(harness.run("remap_program * 5 130 48\nremap_program 0 5 0 0\n"
                          "remap_program * 5 0 0\n"),
              0);
    EXPECT_EQ(harness.output, "Added remap: B=Any P=5 => Strings\n"
                              "Added remap: B=0 P=5 => Piano Low\n"
                              "Added remap: B=Any P=5 => Piano Low\n");
    const auto& remaps = harness.state().programRemaps;
    ASSERT_EQ(remaps.size(), 2u);
    EXPECT_EQ(remaps[0].bank, kAny);
    EXPECT_EQ(remaps[0].targetBank, 0);
    EXPECT_EQ(remaps[0].targetProgram, 0);
    EXPECT_EQ(remaps[1].bank, 0);
}

TEST_F(Remaps, ProgramRemapWildcardsOnlyForTheSourceBank) {
    for (const char* line : {"remap_program * * 0 0", "remap_program 0 1 * 0",
                             "remap_program 0 1 0 *", "remap_program 0 1 0"}) {
        harness.output.clear();
        EXPECT_EQ(harness.run(line), 1) << line;
        EXPECT_EQ(harness.output, "\aTCL file error at line #1\n") << line;
    }
    harness.output.clear();
    EXPECT_EQ(harness.run("remap_program 0 1 1 0"), 1);
    EXPECT_EQ(harness.output, "Target instrument not found for remap at 1\n");
}

TEST_F(Remaps, InstrumentVolumeKeepsItsKeyWhenChanged) {
    ASSERT_EQ(harness.run("set_instr_volume_adjustment * 3 * -5\n"
                          "set_instr_volume_adjustment 0 3 40 2\n"
                          "set_instr_volume_adjustment * 3 42 6\n"),
              0);
    EXPECT_EQ(harness.output, "Added volume adjustment: B=Any K=Any P=3 V=-5\n"
                              "Added volume adjustment: B=0 K=40 P=3 V=+2\n"
                              "Changed volume adjustment: B=Any K=Any P=3 V=+6\n");
    const auto& adjustments = harness.state().instrumentVolumes;
    ASSERT_EQ(adjustments.size(), 2u);
    EXPECT_EQ(adjustments[0].key, kAny);
    EXPECT_EQ(adjustments[0].change, 6);
    harness.output.clear();
    EXPECT_EQ(harness.run("set_instr_volume_adjustment * * 1 1\n"), 1);
    EXPECT_EQ(harness.output, "\aTCL file error at line #1\n");
}

} // namespace
} // namespace telmira::compiler
