// The bank the build made (work directory zel.dls) read by the melody compiler's own DLS reader,
// as `read_dls zel.dls` reads it, against the region and drum tables zel builds in.
#include "compiler/dls.h"
#include "compiler/state.h"
#include "melodies/instrumentregions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace telmira::compiler {
namespace {

using melodies::drumSoundTable;
using melodies::instrumentRegionTable;

class CompilerReadsTheBank : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        state_ = new CompilerState;
        output_ = new std::string;
        Console console(*output_);
        const Outcome outcome =
            readDls(*state_, console, (fs::path(TELMIRA_WORK_DIR) / "zel.dls").string());
        goesOn_ = outcome.goesOn();
    }
    static void TearDownTestSuite() {
        delete state_;
        delete output_;
    }

    // The regions of each instrument in file order, keyed by (drum, bank, program).
    static std::map<std::tuple<bool, std::uint32_t, std::uint32_t>, std::vector<const DlsRegion*>>
    instruments() {
        std::map<std::tuple<bool, std::uint32_t, std::uint32_t>, std::vector<const DlsRegion*>> out;
        for (const DlsRegion& r : state_->dls.regions)
            out[{r.drum, r.bank, r.program}].push_back(&r);
        return out;
    }
    static const DlsWave* waveOf(const DlsRegion& region) {
        return region.wave ? &state_->dls.waves.at(*region.wave) : nullptr;
    }

    static CompilerState* state_;
    static std::string* output_;
    static bool goesOn_;
};

CompilerState* CompilerReadsTheBank::state_ = nullptr;
std::string* CompilerReadsTheBank::output_ = nullptr;
bool CompilerReadsTheBank::goesOn_ = false;

TEST_F(CompilerReadsTheBank, WithoutWarningsOrErrors) {
    EXPECT_TRUE(goesOn_) << *output_;
    EXPECT_EQ(output_->find("WARN"), std::string::npos) << *output_;
    EXPECT_EQ(output_->find("ERR"), std::string::npos) << *output_;
    EXPECT_NE(output_->find("  + Done\n"), std::string::npos) << *output_;
    for (const DlsRegion& r : state_->dls.regions)
        EXPECT_NE(waveOf(r), nullptr) << r.name << " keys " << r.keyLow << "-" << r.keyHigh;
}

TEST_F(CompilerReadsTheBank, FindsEveryProgramWithTheRegionsOfTheTable) {
    const auto found = instruments();
    ASSERT_EQ(found.size(), 129u); // 128 melodic programs and the drum kit
    for (std::uint32_t p = 0; p < 128; ++p) {
        const melodies::InstrumentProgram& want = instrumentRegionTable()[p];
        const auto it = found.find({false, 0, p});
        ASSERT_NE(it, found.end()) << "program " << p;
        const std::vector<const DlsRegion*>& got = it->second;
        ASSERT_EQ(got.size(), want.regionCount) << want.name;
        for (std::size_t r = 0; r < got.size(); ++r) {
            const melodies::InstrumentRegion& region = want.regions[r];
            const std::string where = std::string(want.name) + " region " + std::to_string(r);
            EXPECT_EQ(got[r]->name, want.name) << where;
            EXPECT_EQ(got[r]->keyLow, region.lowKey) << where;
            EXPECT_EQ(got[r]->keyHigh, region.highKey) << where;
            EXPECT_EQ(got[r]->unityNote, region.rootKey) << where;
            const DlsWave* wave = waveOf(*got[r]);
            ASSERT_NE(wave, nullptr) << where;
            EXPECT_EQ(wave->name, region.sample) << where;
            EXPECT_EQ(wave->data.size(), region.bytes) << where;
            EXPECT_EQ(wave->channels, 1) << where;
            EXPECT_GT(wave->estimatedLength, 0u) << where;
        }
    }
}

TEST_F(CompilerReadsTheBank, FindsTheDrumKitWithTheSoundsOfTheTable) {
    const auto found = instruments();
    const auto kit = found.find({true, 0, 0});
    ASSERT_NE(kit, found.end());
    for (int key = melodies::kFirstDrumKey; key <= melodies::kLastDrumKey; ++key) {
        const melodies::DrumSound& want = drumSoundTable()[key - melodies::kFirstDrumKey];
        const DlsRegion* region = nullptr;
        for (const DlsRegion* r : kit->second)
            if (r->coversKey(key) && r->coversVelocity(100)) {
                region = r;
                break;
            }
        if (want.sample.empty()) {
            EXPECT_EQ(region, nullptr) << "drum key " << key;
            continue;
        }
        ASSERT_NE(region, nullptr) << "drum key " << key << " " << want.name;
        const DlsWave* wave = waveOf(*region);
        ASSERT_NE(wave, nullptr) << "drum key " << key;
        EXPECT_EQ(wave->name, want.sample) << "drum key " << key;
        EXPECT_EQ(region->unityNote, want.rootKey) << "drum key " << key;
        EXPECT_EQ(wave->data.size(), want.bytes) << "drum key " << key;
        EXPECT_TRUE(wave->drum) << "drum key " << key;
    }
}

} // namespace
} // namespace telmira::compiler
