// The bank the build made (work directory zel.dls) against the tables zel builds in, read back
// with libgig as an independent reader, and the builder run again on the same SoundFont.
#include "melodies/instrumentregions.h"
#include "tests/common/testpaths.h"
#include "tools/mkbank/dlscheck.h"

#include <DLS.h>
#include <RIFF.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace telmira::mkbank {
namespace {

using melodies::drumSoundTable;
using melodies::instrumentRegionTable;

const fs::path kBankPath = fs::path(TELMIRA_WORK_DIR) / "zel.dls";

class ShippedBank : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string text = test::readFile(kBankPath);
        bytes_ = new std::vector<std::uint8_t>(text.begin(), text.end());
        contents_ = new DlsContents;
        problems_ = new std::vector<std::string>(checkDls(*bytes_, *contents_));
    }
    static void TearDownTestSuite() {
        delete bytes_;
        delete contents_;
        delete problems_;
    }
    static const DlsContents& bank() { return *contents_; }

    static std::vector<std::uint8_t>* bytes_;
    static DlsContents* contents_;
    static std::vector<std::string>* problems_;
};

std::vector<std::uint8_t>* ShippedBank::bytes_ = nullptr;
DlsContents* ShippedBank::contents_ = nullptr;
std::vector<std::string>* ShippedBank::problems_ = nullptr;

TEST_F(ShippedBank, IsASoundDlsLevel1Bank) {
    for (const std::string& p : *problems_) {
        ADD_FAILURE() << p;
    }
    ASSERT_EQ(bank().instruments.size(), 129u);
    for (std::uint32_t p = 0; p < 128; ++p) {
        const DlsInstrument& ins = bank().instruments[p];
        EXPECT_EQ(ins.program, p);
        EXPECT_EQ(ins.bank, 0u);
        EXPECT_FALSE(ins.drum);
    }
    const DlsInstrument& kit = bank().instruments[128];
    EXPECT_TRUE(kit.drum);
    EXPECT_EQ(kit.bank, 0u);
    EXPECT_EQ(kit.program, 0u);

    std::set<std::string> names;
    for (const DlsWave& w : bank().waves) {
        EXPECT_EQ(w.bitsPerSample, 16) << w.name;
        EXPECT_EQ(w.channels, 1) << w.name;
        // The melody compiler takes a loop that starts at frame 0 for no loop at all.
        EXPECT_TRUE(!w.looped || w.loopStart >= 1) << w.name;
        EXPECT_LE(w.name.size(), 8u);
        EXPECT_TRUE(std::all_of(w.name.begin(), w.name.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        })) << w.name;
        names.insert(w.name);
    }
    EXPECT_EQ(names.size(), bank().waves.size()) << "wave names repeat";
    for (const DlsInstrument& ins : bank().instruments) {
        for (const DlsRegion& r : ins.regions) {
            EXPECT_EQ(r.velocityLow, 0);
            EXPECT_EQ(r.velocityHigh, 127);
            EXPECT_GE(r.unityNote, 0) << ins.name << " region without wsmp";
            EXPECT_GE(r.articulationBlocks, 4) << ins.name << " region without envelope";
        }
    }
}

TEST_F(ShippedBank, EveryProgramResolvesEveryKey) {
    // The lookup the melody compiler makes: the first region of bank 0, program p, melodic,
    // whose key and velocity ranges hold the note.
    for (std::uint32_t p = 0; p < 128; ++p) {
        for (int key = 0; key < 128; ++key) {
            for (int velocity : {1, 64, 127}) {
                const DlsRegion* found = nullptr;
                for (const DlsInstrument& ins : bank().instruments) {
                    if (ins.bank != 0 || ins.program != p || ins.drum) {
                        continue;
                    }
                    for (const DlsRegion& r : ins.regions) {
                        if (key >= r.keyLow && key <= r.keyHigh && velocity >= r.velocityLow &&
                            velocity <= r.velocityHigh) {
                            found = &r;
                            break;
                        }
                    }
                    break;
                }
                ASSERT_NE(found, nullptr) << "program " << p << " key " << key;
                EXPECT_LT(found->waveIndex, bank().waves.size());
            }
        }
    }
}

TEST_F(ShippedBank, StaysWithinTheBudget) {
    EXPECT_LE(bytes_->size(), std::size_t{4} << 20);
    std::vector<std::uint32_t> sizes;
    for (std::size_t p = 0; p < 128; ++p) {
        for (const DlsRegion& r : bank().instruments[p].regions) {
            sizes.push_back(bank().waves.at(r.waveIndex).dataBytes);
        }
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_GE(sizes[sizes.size() / 2], 2u << 10);
    EXPECT_LE(sizes[sizes.size() / 2], 15u << 10);
    for (const DlsWave& w : bank().waves) {
        EXPECT_LE(w.dataBytes, 64u << 10) << w.name;
    }
}

TEST_F(ShippedBank, LoopsAreInTuneAtTheirUnityNotes) {
    // A sustained loop holds a whole number of periods, so at its unity note it plays k × rate /
    // loop length Hz for some k. Wrong tuning signs or rates would push the typical wave tens
    // of cents off; a few sources (accordion beats, guitar harmonics) loop unevenly anyway.
    std::vector<double> deviations;
    for (const DlsWave& w : bank().waves) {
        if (!w.looped || w.loopLength < 16) {
            continue;
        }
        const double hz = 440 * std::exp2((w.unityNote - 69) / 12.0);
        const double periods = std::round(hz * w.loopLength / w.rate);
        if (periods >= 1) {
            deviations.push_back(std::abs(1200 * std::log2(periods * w.rate / w.loopLength / hz)));
        }
    }
    ASSERT_GT(deviations.size(), 300u);
    std::sort(deviations.begin(), deviations.end());
    EXPECT_LT(deviations[deviations.size() / 2], 5.0);
    EXPECT_LT(deviations[deviations.size() * 3 / 4], 10.0);
}

// libgig reads the bank on its own terms: instruments, regions, the pool table and the waves.
TEST(ShippedBankTables, AgreeWithTheBankAsLibgigReadsIt) {
    RIFF::File riff(kBankPath.string());
    DLS::File dls(&riff);
    std::map<std::uint32_t, DLS::Instrument*> programs;
    DLS::Instrument* kit = nullptr;
    for (DLS::Instrument* ins = dls.GetFirstInstrument(); ins != nullptr;
         ins = dls.GetNextInstrument()) {
        if (ins->IsDrum) {
            kit = ins;
        } else if (ins->MIDIBank == 0) {
            programs[ins->MIDIProgram] = ins;
        }
    }
    ASSERT_EQ(programs.size(), 128u);
    ASSERT_NE(kit, nullptr);

    auto bytesOf = [](DLS::Sample* s) { return static_cast<std::uint32_t>(s->GetSize() * 2); };
    for (std::uint32_t p = 0; p < 128; ++p) {
        const melodies::InstrumentProgram& want = instrumentRegionTable()[p];
        DLS::Instrument* ins = programs.at(p);
        EXPECT_EQ(ins->pInfo->Name, want.name) << p;
        ASSERT_EQ(ins->Regions, want.regionCount) << want.name;
        int r = 0;
        for (DLS::Region* got = ins->GetFirstRegion(); got != nullptr;
             got = ins->GetNextRegion(), ++r) {
            const melodies::InstrumentRegion& region = want.regions[static_cast<std::size_t>(r)];
            DLS::Sample* sample = got->GetSample();
            ASSERT_NE(sample, nullptr) << want.name << " region " << r;
            EXPECT_EQ(sample->pInfo->Name, region.sample) << want.name << " region " << r;
            EXPECT_EQ(sample->BitDepth, 16);
            EXPECT_EQ(got->KeyRange.low, region.lowKey) << want.name << " region " << r;
            EXPECT_EQ(got->KeyRange.high, region.highKey) << want.name << " region " << r;
            EXPECT_EQ(got->UnityNote, region.rootKey) << want.name << " region " << r;
            EXPECT_EQ(bytesOf(sample), region.bytes) << want.name << " region " << r;
        }
    }

    for (int key = melodies::kFirstDrumKey; key <= melodies::kLastDrumKey; ++key) {
        const melodies::DrumSound& want = drumSoundTable()[key - melodies::kFirstDrumKey];
        DLS::Region* found = nullptr;
        for (DLS::Region* r = kit->GetFirstRegion(); r != nullptr; r = kit->GetNextRegion()) {
            if (key >= r->KeyRange.low && key <= r->KeyRange.high) {
                found = r;
                break;
            }
        }
        if (want.sample.empty()) {
            EXPECT_EQ(found, nullptr) << key;
            continue;
        }
        ASSERT_NE(found, nullptr) << key;
        ASSERT_NE(found->GetSample(), nullptr) << key;
        EXPECT_EQ(found->GetSample()->pInfo->Name, want.sample) << key;
        EXPECT_EQ(found->UnityNote, want.rootKey) << key;
        EXPECT_EQ(bytesOf(found->GetSample()), want.bytes) << key;
    }
}

TEST(BuiltInTables, DescribeWholeKeyboardsWithConsistentSamples) {
    std::map<std::string_view, std::uint32_t> sizes; // one size per sample name
    auto sameSize = [&](std::string_view sample, std::uint32_t bytes) {
        auto [it, added] = sizes.emplace(sample, bytes);
        EXPECT_EQ(it->second, bytes) << sample;
        EXPECT_GT(bytes, 0u) << sample;
        EXPECT_LE(sample.size(), 8u) << sample;
    };
    for (const melodies::InstrumentProgram& program : instrumentRegionTable()) {
        EXPECT_FALSE(program.name.empty());
        ASSERT_GE(program.regionCount, 1) << program.name;
        ASSERT_LE(program.regionCount, melodies::kMaxProgramRegions) << program.name;
        int next = 0;
        for (int r = 0; r < program.regionCount; ++r) {
            const melodies::InstrumentRegion& region = program.regions[r];
            EXPECT_EQ(region.lowKey, next) << program.name << " region " << r;
            EXPECT_LE(region.lowKey, region.highKey) << program.name << " region " << r;
            EXPECT_LE(region.rootKey, 127) << program.name;
            next = region.highKey + 1;
            sameSize(region.sample, region.bytes);
        }
        EXPECT_EQ(next, 128) << program.name;
        for (int r = program.regionCount; r < melodies::kMaxProgramRegions; ++r) {
            EXPECT_TRUE(program.regions[r].sample.empty()) << program.name;
        }
    }
    EXPECT_EQ(instrumentRegionTable()[0].name, "Acoustic Grand Piano");
    EXPECT_EQ(instrumentRegionTable()[127].name, "Gunshot");
    for (const melodies::DrumSound& drum : drumSoundTable()) {
        EXPECT_FALSE(drum.name.empty());
        if (!drum.sample.empty()) {
            sameSize(drum.sample, drum.bytes);
        }
    }
    EXPECT_EQ(drumSoundTable()[35 - melodies::kFirstDrumKey].name, "Kick Drum 2");
    EXPECT_EQ(drumSoundTable()[87 - melodies::kFirstDrumKey].name, "Open Surdo");
}

TEST(BuiltInTables, CommittedTableIsTheOneTheBuildMakes) {
    const fs::path committed = fs::path(TELMIRA_SOURCE_DIR) / "melodies/instrumentregions.cpp";
    EXPECT_TRUE(test::readFile(committed) == test::readFile(TELMIRA_FRESH_TABLE))
        << committed.string() << " is stale: copy " << TELMIRA_FRESH_TABLE << " over it";
}

int runMkbank(const std::string& arguments, const std::string& errors = "/dev/null") {
    const std::string command =
        std::string("'") + TELMIRA_MKBANK + "' " + arguments + " >/dev/null 2>'" + errors + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Mkbank, SameSoundFontGivesTheSameBytes) {
    test::TempDir dir;
    ASSERT_EQ(runMkbank(std::string("'") + TELMIRA_SOUNDFONT + "' '" + (dir / "a.dls").string() +
                        "' '" + (dir / "a.cpp").string() + "'"),
              0);
    EXPECT_TRUE(test::readFile(dir / "a.dls") == test::readFile(kBankPath));
    EXPECT_TRUE(test::readFile(dir / "a.cpp") == test::readFile(TELMIRA_FRESH_TABLE));
}

TEST(Mkbank, RefusesWhatIsNotASoundFontAndWritesNothing) {
    test::TempDir dir;
    test::writeFile(dir / "junk.sf2", std::string("RIFF\x0c\0\0\0sfbkjunkjunk", 20));
    const std::string out =
        " '" + (dir / "out.dls").string() + "' '" + (dir / "out.cpp").string() + "'";
    EXPECT_EQ(runMkbank(std::string("'") + (dir / "missing.sf2").string() + "'" + out), 1);
    // Said so, not crashed: a crash under the sanitizers exits with 1 as well.
    const std::string errors = (dir / "errors.txt").string();
    EXPECT_EQ(runMkbank(std::string("'") + (dir / "junk.sf2").string() + "'" + out, errors), 1);
    EXPECT_NE(test::readFile(errors).find("not a SoundFont 2 file (no INFO part)"),
              std::string::npos);
    EXPECT_EQ(runMkbank("only-one-argument"), 1);
    EXPECT_FALSE(fs::exists(dir / "out.dls"));
    EXPECT_FALSE(fs::exists(dir / "out.cpp"));
}

} // namespace
} // namespace telmira::mkbank
