// The DLS bank reader: a bank written by libgig, hand-made banks for the structure's corner
// cases and broken files, and the real bank of the shared test data.
#include "compiler/dls.h"
#include "tests/common/testpaths.h"
#include "tests/compiler/compilertest.h"

#include <DLS.h>
#include <RIFF.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace telmira::compiler {
namespace {

using test::le16;
using test::le32;
using test::riff;
using test::riffChunk;
using test::riffList;
using ::testing::HasSubstr;

constexpr float kFs = 10416.666f;

struct Parsed {
    Outcome outcome = Outcome::next();
    DlsBank bank;
    std::string output;
};

Parsed parse(const std::string& file, float fs = kFs) {
    Parsed parsed;
    Console console(parsed.output);
    parsed.outcome = parseDls(test::bytesOf(file), "bank.dls", fs, parsed.bank, console);
    return parsed;
}

std::uint32_t estimated(std::size_t bytes, float fs, std::uint32_t rate, unsigned bits,
                        unsigned channels) {
    return static_cast<std::uint32_t>(static_cast<double>(bytes) * fs / rate * 8.0 / bits /
                                      channels);
}

// ---- hand-made chunks -------------------------------------------------------------------------

std::string insh(std::uint32_t locale, std::uint32_t program, std::uint32_t regions = 1) {
    return riffChunk("insh", le32(regions) + le32(locale) + le32(program));
}

std::string rgnh(std::uint16_t keyLow, std::uint16_t keyHigh, std::uint16_t velocityLow = 0,
                 std::uint16_t velocityHigh = 127, std::uint16_t options = 0,
                 std::uint16_t keyGroup = 0) {
    return riffChunk("rgnh", le16(keyLow) + le16(keyHigh) + le16(velocityLow) + le16(velocityHigh) +
                                 le16(options) + le16(keyGroup));
}

std::string wlnk(std::uint32_t index) {
    return riffChunk("wlnk", le16(0) + le16(0) + le32(1) + le32(index));
}

std::string wsmp(std::uint16_t unity, std::int16_t fineTune, bool loop = false,
                 std::uint32_t loopStart = 0, std::uint32_t loopLength = 0) {
    std::string body = le32(20) + le16(unity) + le16(static_cast<std::uint16_t>(fineTune)) +
                       le32(0) + le32(0) + le32(loop ? 1 : 0);
    if (loop)
        body += le32(16) + le32(0) + le32(loopStart) + le32(loopLength);
    return riffChunk("wsmp", body);
}

struct Block {
    std::uint16_t source, control, destination;
    std::int32_t scale;
};

std::string art1(std::initializer_list<Block> blocks) {
    std::string body = le32(8) + le32(static_cast<std::uint32_t>(blocks.size()));
    for (const Block& b : blocks)
        body += le16(b.source) + le16(b.control) + le16(b.destination) + le16(0) +
                le32(static_cast<std::uint32_t>(b.scale));
    return riffChunk("art1", body);
}

std::string fmt(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    return riffChunk("fmt ",
                     le16(1) + le16(channels) + le32(rate) + le32(rate * channels * bits / 8) +
                         le16(static_cast<std::uint16_t>(channels * bits / 8)) + le16(bits));
}

std::string inam(const std::string& name) {
    return riffChunk("INAM", name + '\0');
}

std::string wave(const std::string& name, const std::string& data, const std::string& extra = {}) {
    return riffList("wave", fmt(1, 22050, 16) + extra + riffChunk("data", data) +
                                riffList("INFO", inam(name)));
}

std::string dls(const std::string& instruments, const std::string& waves,
                const std::string& before = {}) {
    return riff("DLS ", before + riffList("lins", instruments) + riffList("wvpl", waves));
}

constexpr std::int32_t kOneSecond = 0;              // 2^0 seconds
constexpr std::int32_t kTwoSeconds = 1200 * 65536;  // 2^1 seconds
constexpr std::int32_t kHalfSecond = -1200 * 65536; // 2^-1 seconds

// ---- libgig banks -----------------------------------------------------------------------------

constexpr std::uint32_t fourcc(const char (&id)[5]) {
    return static_cast<std::uint32_t>(id[0]) | static_cast<std::uint32_t>(id[1]) << 8 |
           static_cast<std::uint32_t>(id[2]) << 16 | static_cast<std::uint32_t>(id[3]) << 24;
}

// Appends a LIST 'lart' holding one art1 chunk to `parent` through libgig's RIFF writer.
void addArticulation(RIFF::List* parent, std::initializer_list<Block> blocks) {
    const std::string body = art1(blocks).substr(8);
    RIFF::List* lart = parent->AddSubList(fourcc("lart"));
    RIFF::Chunk* chunk = lart->AddSubChunk(fourcc("art1"), body.size());
    std::memcpy(chunk->LoadChunkData(), body.data(), body.size());
}

struct GigSample {
    const char* name;
    std::uint16_t bits;
    std::uint32_t rate;
    std::vector<std::uint8_t> data;
};

class GigBank : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = (dir_ / "gig.dls").string();
        try {
            write();
        } catch (RIFF::Exception& e) {
            FAIL() << "libgig: " << e.Message;
        }
        file_ = test::readFile(path_);
        parsed_ = parse(file_);
    }

    void write() {
        DLS::File file;
        file.pInfo->Name = "Collection"; // the collection-level INFO names nothing
        if (!file.pVersion)
            file.pVersion = new DLS::version_t;
        *file.pVersion = DLS::version_t{2, 1, 4, 3};
        std::vector<DLS::Sample*> samples;
        for (const GigSample& s : samples_) {
            DLS::Sample* sample = file.AddSample();
            sample->pInfo->Name = s.name;
            sample->Channels = 1;
            sample->BitDepth = s.bits;
            sample->SamplesPerSecond = s.rate;
            sample->FrameSize = s.bits / 8;
            sample->BlockAlign = s.bits / 8;
            sample->AverageBytesPerSecond = s.rate * s.bits / 8;
            sample->Resize(s.data.size() / sample->FrameSize);
            samples.push_back(sample);
        }
        DLS::Instrument* grand = file.AddInstrument();
        grand->pInfo->Name = "Grand";
        grand->MIDIProgram = 5;
        grand->MIDIBankCoarse = 1;
        grand->MIDIBankFine = 2;
        grand->IsDrum = false;
        DLS::Region* low = grand->AddRegion();
        low->SetKeyRange(0, 59);
        low->VelocityRange = {0, 127};
        low->KeyGroup = 3;
        low->SelfNonExclusive = true;
        low->UnityNote = 60;
        low->SetSample(samples[0]);
        DLS::Region* high = grand->AddRegion();
        high->SetKeyRange(60, 127);
        high->VelocityRange = {0, 127};
        high->UnityNote = 72;
        high->SelfNonExclusive = false; // libgig's new regions are non-exclusive
        high->SetSample(samples[1]);

        DLS::Instrument* kit = file.AddInstrument();
        kit->pInfo->Name = "Kit";
        kit->MIDIProgram = 0;
        kit->IsDrum = true;
        DLS::Region* snare = kit->AddRegion();
        snare->SetKeyRange(35, 81);
        snare->VelocityRange = {0, 100};
        snare->UnityNote = 38;
        snare->SetSample(samples[1]);

        file.Save(path_);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            std::vector<std::uint8_t> data = samples_[i].data;
            samples[i]->SetPos(0);
            samples[i]->Write(data.data(), data.size() / samples[i]->FrameSize);
        }
        file.Save();

        RIFF::File riffFile(path_);
        RIFF::List* lins = riffFile.GetSubList(fourcc("lins"));
        RIFF::List* grandList = lins->GetFirstSubList();
        RIFF::List* kitList = lins->GetNextSubList();
        RIFF::List* grandLow = grandList->GetSubList(fourcc("lrgn"))->GetFirstSubList();
        RIFF::List* kitSnare = kitList->GetSubList(fourcc("lrgn"))->GetFirstSubList();
        // Region-level first, then an instrument-level articulation after the regions, which
        // replaces it for every region of the instrument.
        addArticulation(grandLow, {{0, 0, 0x206, kTwoSeconds}});
        addArticulation(
            grandList,
            {{0, 0, 0x207, kHalfSecond}, {0, 0, 0x20A, 500 * 65536}, {3, 0, 0x207, -600 * 65536}});
        addArticulation(kitSnare, {{2, 0, 0x206, 1200 * 65536},
                                   {2, 0, 0x30A, -2400 * 65536},
                                   {0, 0, 0x209, kOneSecond},
                                   {1, 0, 3, 50 * 65536},
                                   {1, 0x81, 3, 30 * 65536},
                                   {5, 0, 3, 100 * 65536},
                                   {0, 0, 0x104, 6900 * 65536},
                                   {0, 0, 0x105, kHalfSecond},
                                   {0, 7, 0x104, 0}}); // another control: ignored
        riffFile.Save();
    }

    std::vector<GigSample> samples_{
        {"Sine", 16, 22050, {0x00, 0x00, 0xFF, 0x3F, 0x00, 0x00, 0x01, 0xC0}},
        {"Saw", 8, 11025, {0x80, 0xA0, 0xC0, 0xE0, 0x00, 0x20}}};
    test::TempDir dir_;
    std::string path_;
    std::string file_;
    Parsed parsed_;
};

TEST_F(GigBank, RegionsFollowTheInstrumentsInFileOrder) {
    ASSERT_TRUE(parsed_.outcome.goesOn()) << parsed_.output;
    const auto& regions = parsed_.bank.regions;
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[0].name, "Grand");
    EXPECT_EQ(regions[0].bank, 130u);
    EXPECT_EQ(regions[0].program, 5u);
    EXPECT_FALSE(regions[0].drum);
    EXPECT_EQ(regions[0].keyLow, 0);
    EXPECT_EQ(regions[0].keyHigh, 59);
    EXPECT_EQ(regions[0].keyGroup, 3);
    EXPECT_TRUE(regions[0].nonExclusive);
    EXPECT_EQ(regions[0].unityNote, 60);
    EXPECT_EQ(regions[1].name, "Grand");
    EXPECT_EQ(regions[1].keyLow, 60);
    EXPECT_EQ(regions[1].unityNote, 72);
    EXPECT_FALSE(regions[1].nonExclusive);
    EXPECT_EQ(regions[2].name, "Kit");
    EXPECT_TRUE(regions[2].drum);
    EXPECT_EQ(regions[2].bank, 0u);
    EXPECT_EQ(regions[2].velocityHigh, 100);
    EXPECT_EQ(regions[2].unityNote, 38);
}

TEST_F(GigBank, RegionsLinkToTheWavesLibgigAssigned) {
    // libgig reads its own bank back: each region's sample name must match our link.
    RIFF::File riffFile(path_);
    DLS::File file(&riffFile);
    std::vector<std::string> expected;
    for (DLS::Instrument* ins = file.GetFirstInstrument(); ins; ins = file.GetNextInstrument())
        for (DLS::Region* r = ins->GetFirstRegion(); r; r = ins->GetNextRegion())
            expected.push_back(r->GetSample()->pInfo->Name);
    const auto& bank = parsed_.bank;
    ASSERT_EQ(bank.regions.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_TRUE(bank.regions[i].wave.has_value()) << i;
        EXPECT_EQ(bank.waves[*bank.regions[i].wave].name, expected[i]) << i;
    }
    // A wave linked from a drum region is a drum wave.
    EXPECT_FALSE(bank.waves[*bank.regions[0].wave].drum);
    EXPECT_TRUE(bank.waves[*bank.regions[2].wave].drum);
}

TEST_F(GigBank, WavesCarryFormatDataAndEstimatedLength) {
    const auto& waves = parsed_.bank.waves;
    ASSERT_EQ(waves.size(), samples_.size());
    for (std::size_t i = 0; i < waves.size(); ++i) {
        const GigSample& s = samples_[i];
        EXPECT_EQ(waves[i].tableIndex, i);
        EXPECT_EQ(waves[i].name, s.name);
        EXPECT_EQ(waves[i].bitsPerSample, s.bits);
        EXPECT_EQ(waves[i].sampleRate, s.rate);
        EXPECT_EQ(waves[i].channels, 1);
        EXPECT_EQ(waves[i].data, s.data);
        EXPECT_EQ(waves[i].noteOffset, 128);
        EXPECT_EQ(waves[i].estimatedLength, estimated(s.data.size(), kFs, s.rate, s.bits, 1));
        EXPECT_EQ(waves[i].loopLength, 0u);
    }
}

TEST_F(GigBank, InstrumentArticulationReplacesTheRegionsOwn) {
    const auto& regions = parsed_.bank.regions;
    for (int i : {0, 1}) {
        const Articulation& art = regions[static_cast<std::size_t>(i)].articulation;
        EXPECT_EQ(art.eg1.attackRaw, kDlsNoTime) << i; // the region's 2 s attack is gone
        EXPECT_EQ(art.eg1.attackSeconds, 0.0);
        EXPECT_EQ(art.eg1.decayRaw, kHalfSecond);
        EXPECT_DOUBLE_EQ(art.eg1.decaySeconds, 0.5);
        EXPECT_EQ(art.eg1.sustainRaw, 500 * 65536);
        EXPECT_DOUBLE_EQ(art.eg1.sustainPercent, 50.0);
        EXPECT_EQ(art.eg1.keyToDecayRaw, -600 * 65536);
        EXPECT_EQ(art.eg1.releaseRaw, kDlsNoTime);
    }
}

TEST_F(GigBank, RegionArticulationFields) {
    const Articulation& art = parsed_.bank.regions[2].articulation;
    EXPECT_EQ(art.eg1.velocityToAttackRaw, 1200 * 65536);
    EXPECT_EQ(art.eg2.velocityToAttackRaw, -2400 * 65536);
    EXPECT_EQ(art.eg1.attackRaw, kDlsNoTime);
    EXPECT_DOUBLE_EQ(art.eg1.releaseSeconds, 1.0);
    EXPECT_EQ(art.eg1.sustainRaw, 0x3E80000);
    EXPECT_DOUBLE_EQ(art.eg1.sustainPercent, 100.0);
    EXPECT_DOUBLE_EQ(art.lfoToPitchCents, 50.0);
    EXPECT_DOUBLE_EQ(art.lfoToPitchByModWheelCents, 30.0);
    EXPECT_DOUBLE_EQ(art.eg2ToPitchCents, 100.0);
    EXPECT_DOUBLE_EQ(art.lfoFrequencyHz, 440.0);
    EXPECT_DOUBLE_EQ(art.lfoStartDelaySeconds, 0.5);
    EXPECT_EQ(art.eg2.attackRaw, kDlsNoTime);
}

TEST_F(GigBank, PrintsTheBankSummary) {
    const std::string& out = parsed_.output;
    EXPECT_THAT(out, HasSubstr("  + Count of instruments: 2\n"));
    EXPECT_THAT(out, HasSubstr("  + DLS version: 1.2.3.4\n"));
    EXPECT_THAT(out, HasSubstr("  + Linking regions & samples\n"
                               "  + Regions: 3; Samples: 2\n"
                               "  + Absolute Key-To-Decay  : 0x02580000<KD<0x02580000\n"
                               "  + Absolute Vel-To-Attack : 0x04b00000<VA<0x09600000\n"
                               "  + Done\n"));
    EXPECT_THAT(out, ::testing::Not(HasSubstr("WARN")));
}

// ---- hand-made banks ------------------------------------------------------------------------

std::string oneInstrument(const std::string& regionExtra, const std::string& instrumentExtra = {},
                          std::uint32_t locale = 0, std::uint32_t program = 0) {
    return riffList("ins ",
                    insh(locale, program) +
                        riffList("lrgn", riffList("rgn ", rgnh(0, 127) + regionExtra + wlnk(0))) +
                        instrumentExtra);
}

TEST(DlsReader, BankWithoutArticulationGivesDefaults) {
    const Parsed p = parse(dls(oneInstrument(""), wave("w", "ab")));
    ASSERT_TRUE(p.outcome.goesOn()) << p.output;
    const Articulation& art = p.bank.regions.at(0).articulation;
    EXPECT_EQ(art.eg1.attackSeconds, 0.0);
    EXPECT_EQ(art.eg1.decaySeconds, 0.0);
    EXPECT_EQ(art.eg1.releaseSeconds, 0.0);
    EXPECT_EQ(art.eg1.sustainPercent, 100.0);
    EXPECT_EQ(art.eg2.sustainRaw, 0x3E80000);
    EXPECT_EQ(art.lfoFrequencyHz, 5.0);
    EXPECT_EQ(art.lfoStartDelaySeconds, 0.01);
    EXPECT_EQ(p.bank.regions[0].unityNote, 0); // no wsmp in the region
    EXPECT_EQ(p.bank.regions[0].name, "");
    EXPECT_THAT(p.output, HasSubstr("  + Absolute Key-To-Decay  : 0x7fffffff<KD<0x00000000\n"
                                    "  + Absolute Vel-To-Attack : 0x7fffffff<VA<0x00000000\n"));
}

TEST(DlsReader, LaterRegionArticulationOverridesEarlier) {
    const std::string lart = riffList("lart", art1({{0, 0, 0x206, kTwoSeconds}})) +
                             riffList("lart", art1({{0, 0, 0x207, kTwoSeconds}}));
    const Parsed p = parse(dls(oneInstrument(lart), wave("w", "ab")));
    const Articulation& art = p.bank.regions.at(0).articulation;
    EXPECT_EQ(art.eg1.attackRaw, kDlsNoTime);
    EXPECT_DOUBLE_EQ(art.eg1.decaySeconds, 2.0);
}

TEST(DlsReader, ArticulationOnAnotherLevelIsWarnedAndIgnored) {
    const std::string bank =
        dls(riffList("ins ", insh(0, 0) + art1({{0, 0, 0x206, kTwoSeconds}}) +
                                 riffList("lrgn", riffList("rgn ", rgnh(0, 127) + wlnk(0)))),
            wave("w", "ab"));
    const Parsed p = parse(bank);
    ASSERT_TRUE(p.outcome.goesOn());
    EXPECT_THAT(p.output, HasSubstr("\n  + WARN: Articulation data on incorrect level\n"));
    EXPECT_EQ(p.bank.regions.at(0).articulation.eg1.attackRaw, kDlsNoTime);
}

TEST(DlsReader, WaveLoopAndFineTuneOnlyWithALoop) {
    const Parsed p =
        parse(dls(oneInstrument(wsmp(64, 5)), wave("looped", "abcd", wsmp(60, -7, true, 10, 20)) +
                                                  wave("plain", "abcd", wsmp(60, 9))));
    const auto& waves = p.bank.waves;
    ASSERT_EQ(waves.size(), 2u);
    EXPECT_EQ(waves[0].loopStart, 10u);
    EXPECT_EQ(waves[0].loopLength, 20u);
    EXPECT_EQ(waves[0].fineTune, -7);
    EXPECT_EQ(waves[1].loopLength, 0u);
    EXPECT_EQ(waves[1].fineTune, 0);
    EXPECT_EQ(waves[1].tableIndex, 1u);
    // The region's own wsmp gives its unity note; the wave's does not.
    EXPECT_EQ(p.bank.regions.at(0).unityNote, 64);
}

TEST(DlsReader, CollectionInfoNamesNothing) {
    const std::string bank =
        riff("DLS ", riffList("lins", oneInstrument("")) + riffList("wvpl", wave("w", "ab")) +
                         riffList("INFO", inam("Collection")));
    const Parsed p = parse(bank);
    ASSERT_TRUE(p.outcome.goesOn());
    EXPECT_EQ(p.bank.regions.at(0).name, "");
    EXPECT_EQ(p.bank.waves.at(0).name, "w");
}

TEST(DlsReader, InstrumentNameReachesRegionsBeforeAndAfterIt) {
    const std::string ins =
        riffList("ins ", insh(0x80000000u | (3 << 8) | 4, 7) +
                             riffList("lrgn", riffList("rgn ", rgnh(0, 10) + wlnk(0))) +
                             riffList("INFO", inam("Drums")) +
                             riffList("lrgn", riffList("rgn ", rgnh(11, 20) + wlnk(0))));
    const Parsed p = parse(dls(ins + oneInstrument(""), wave("w", "ab")));
    const auto& regions = p.bank.regions;
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[0].name, "Drums");
    EXPECT_EQ(regions[1].name, "Drums");
    EXPECT_EQ(regions[0].bank, 3u * 128 + 4);
    EXPECT_EQ(regions[0].program, 7u);
    EXPECT_TRUE(regions[0].drum);
    EXPECT_EQ(regions[2].name, ""); // the next instrument has no name
    EXPECT_FALSE(regions[2].drum);
    EXPECT_TRUE(p.bank.waves[0].drum);
}

TEST(DlsReader, InstrumentArticulationCoversOnlyTheRegionsReadBeforeIt) {
    const auto region = [](std::uint16_t low, const std::string& own) {
        return riffList("lrgn", riffList("rgn ", rgnh(low, low) + wlnk(0) + own));
    };
    const std::string ins = riffList(
        "ins ", insh(0, 1) + region(1, riffList("lart", art1({{0, 0, 0x207, kTwoSeconds}}))) +
                    riffList("lart", art1({{0, 0, 0x206, kTwoSeconds}})) +
                    region(2, riffList("lart", art1({{0, 0, 0x209, kTwoSeconds}}))) +
                    region(3, ""));
    const Parsed p = parse(dls(ins + oneInstrument(""), wave("w", "ab")));
    ASSERT_TRUE(p.outcome.goesOn()) << p.output;
    const auto& regions = p.bank.regions;
    ASSERT_EQ(regions.size(), 4u);
    // The instrument's art1 replaces the first region's own, read before it.
    EXPECT_DOUBLE_EQ(regions[0].articulation.eg1.attackSeconds, 2.0);
    EXPECT_EQ(regions[0].articulation.eg1.decayRaw, kDlsNoTime);
    // Regions after it keep their own articulation or the defaults.
    EXPECT_EQ(regions[1].articulation.eg1.attackRaw, kDlsNoTime);
    EXPECT_DOUBLE_EQ(regions[1].articulation.eg1.releaseSeconds, 2.0);
    EXPECT_EQ(regions[2].articulation.eg1.attackRaw, kDlsNoTime);
    EXPECT_EQ(regions[2].program, 1u);
    EXPECT_EQ(regions[3].articulation.eg1.attackRaw, kDlsNoTime);
    EXPECT_EQ(regions[3].program, 0u);
}

TEST(DlsReader, BankWithHundredsOfThousandsOfRegionsIsLinkedInOnePass) {
    // One instrument whose every region is followed by an instrument-level art1 and a new
    // header: a few MB that a reader revisiting the instrument's regions, or searching the
    // wave pool for each region, would take many minutes over.
    constexpr std::uint32_t kCount = 100000;
    std::string regions;
    std::string waves;
    for (std::uint32_t i = 0; i < kCount; ++i) {
        regions += riffList("lrgn", riffList("rgn ", rgnh(0, 127) + wlnk(i)));
        regions += riffList("lart", art1({{0, 0, 0x206, static_cast<std::int32_t>(i)}}));
        regions += insh(0, i % 128);
        waves += riffList("wave", "");
    }
    const std::string second = riffList("wvpl", riffList("wave", "") + riffList("wave", ""));
    const std::string bank =
        riff("DLS ", riffList("lins", riffList("ins ", regions + riffList("INFO", inam("Many")))) +
                         riffList("wvpl", waves) + second);
    ASSERT_GT(bank.size(), 5'000'000u);
    const Parsed p = parse(bank);
    ASSERT_TRUE(p.outcome.goesOn()) << p.output.substr(0, 1000);
    ASSERT_EQ(p.bank.regions.size(), kCount);
    ASSERT_EQ(p.bank.waves.size(), kCount + 2);
    std::uint32_t wrong = 0;
    for (std::uint32_t i = 0; i < kCount; ++i) {
        const DlsRegion& r = p.bank.regions[i];
        // The second pool numbers its waves 0 and 1 again; the first pool's waves win.
        wrong += r.wave != std::optional<std::size_t>(i) ||
                 r.articulation.eg1.attackRaw != static_cast<std::int32_t>(kCount - 1) ||
                 r.program != (kCount - 1) % 128 || r.name != "Many";
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_THAT(p.output, ::testing::Not(HasSubstr("WARN")));
}

TEST(DlsReader, RegionWithoutItsWaveIsKeptAndWarned) {
    const std::string ins = riffList(
        "ins ", insh((1 << 8) | 2, 5) +
                    riffList("lrgn", riffList("rgn ", rgnh(0, 59, 0, 127, 0, 3) + wlnk(5))));
    const Parsed p = parse(dls(ins, wave("w", "ab")));
    ASSERT_TRUE(p.outcome.goesOn());
    EXPECT_THAT(p.output, HasSubstr("  + WARN: Could'nt find sample #5 for instrument 130:5:3 "
                                    "(0..59 / 0..127)\n"));
    ASSERT_EQ(p.bank.regions.size(), 1u);
    EXPECT_FALSE(p.bank.regions[0].wave.has_value());
}

TEST(DlsReader, EstimatedLengthFollowsFs) {
    const std::string data(2000, '\0');
    const Parsed p = parse(dls(oneInstrument(""), wave("w", data)), 8000.0f);
    EXPECT_EQ(p.bank.waves.at(0).estimatedLength, estimated(2000, 8000.0f, 22050, 16, 1));
    EXPECT_EQ(p.bank.waves.at(0).estimatedLength, 362u);
}

std::string nested(int depth) {
    std::string inner = riffChunk("junk", "x");
    for (int i = 0; i < depth; ++i)
        inner = riffList("nest", inner);
    return inner;
}

struct BrokenBank {
    const char* name;
    std::string file;
    int exitCode;
    std::string message;
};

void PrintTo(const BrokenBank& c, std::ostream* os) {
    *os << c.name;
}

class BrokenDls : public ::testing::TestWithParam<BrokenBank> {};

TEST_P(BrokenDls, IsRefusedWithItsMessage) {
    const Parsed p = parse(GetParam().file);
    EXPECT_FALSE(p.outcome.goesOn());
    EXPECT_EQ(p.outcome.exitCode(), GetParam().exitCode);
    EXPECT_THAT(p.output, ::testing::EndsWith(GetParam().message));
}

std::string withSize(std::string file, std::uint32_t size) {
    file.replace(4, 4, le32(size));
    return file;
}

const std::string kGood = dls(oneInstrument(""), wave("w", "ab"));

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenDls,
    ::testing::Values(
        BrokenBank{"Empty", "", 1, "  + Not a RIFF file: bank.dls\n"},
        BrokenBank{"NotRiff", "RIFX" + kGood.substr(4), 1, "  + Not a RIFF file: bank.dls\n"},
        BrokenBank{"SizeOneShort", withSize(kGood, static_cast<std::uint32_t>(kGood.size() - 9)), 1,
                   "  + Size violation: bank.dls (" + std::to_string(kGood.size() - 9) + "/" +
                       std::to_string(kGood.size() - 8) + ")\n"},
        BrokenBank{"NotDls", riff("WAVE", riffChunk("fmt ", "")), 1,
                   "  + Not a DLS file: bank.dls\n"},
        BrokenBank{"ChunkPastTheEnd",
                   riff("DLS ", riffChunk("colh", le32(1)) + "data" + le32(1000) + "abcd"), 2,
                   "  + ERR: Chunk 'data' at offset 24 runs past the end of the file\n"},
        BrokenBank{"ListPastItsParentAndTheFile",
                   riff("DLS ", "LIST" + le32(100) + "lins" + riffChunk("colh", le32(1))), 2,
                   "  + ERR: Chunk 'LIST' at offset 12 runs past the end of the file\n"},
        BrokenBank{"TrailingBytes", riff("DLS ", riffChunk("colh", le32(1)) + "abcd"), 2,
                   "  + ERR: Chunk header at offset 24 runs past the end of the file\n"},
        BrokenBank{"ListWithoutType", riff("DLS ", "LIST" + le32(2) + "ab"), 2,
                   "  + ERR: LIST chunk at offset 12 is too short\n"},
        BrokenBank{"NineLevels", riff("DLS ", nested(8)), 2,
                   "  + ERR: LIST nesting deeper than eight levels at offset 96\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DlsReader, EightLevelsAreRead) {
    const Parsed p = parse(riff("DLS ", nested(7)));
    EXPECT_TRUE(p.outcome.goesOn()) << p.output;
    EXPECT_THAT(p.output, ::testing::EndsWith("  + Done\n"));
}

// ---- the command ------------------------------------------------------------------------------

TEST(ReadDls, MissingFileAndSecondBankEndWithCode2) {
    test::TempDir dir;
    CompilerState state;
    std::string output;
    Console console(output);
    const std::string missing = (dir / "missing.dls").string();
    Outcome outcome = readDls(state, console, missing);
    EXPECT_EQ(outcome.exitCode(), 2);
    EXPECT_EQ(output,
              "Reading DLS file " + missing + "\n  + DLS file not found: " + missing + "\n");

    CompilerState fresh;
    const std::string path = (dir / "bank.dls").string();
    test::writeFile(path, kGood);
    output.clear();
    ASSERT_TRUE(readDls(fresh, console, path).goesOn()) << output;
    EXPECT_THAT(output, ::testing::StartsWith("Reading DLS file " + path + "\n  + " +
                                              std::to_string(kGood.size()) + " bytes read\n"));
    output.clear();
    outcome = readDls(fresh, console, path);
    EXPECT_EQ(outcome.exitCode(), 2);
    EXPECT_EQ(output,
              "Reading DLS file " + path + "\n  + ERR: Only one DLS file can be read in a run\n");
    EXPECT_EQ(fresh.dls.regions.size(), 1u); // the first bank stays as it was
}

TEST(ReadDls, RealGervillBank) {
    if (!test::haveTestdata())
        GTEST_SKIP() << "no shared test data";
    const auto path = test::testdataDir() / "dls" / "openjdk_gervill_ding.dls";
    CompilerState state;
    std::string output;
    Console console(output);
    ASSERT_TRUE(readDls(state, console, path.string()).goesOn()) << output;
    EXPECT_EQ(output, "Reading DLS file " + path.string() +
                          "\n"
                          "  + 72554 bytes read\n"
                          "  + Count of instruments: 1\n"
                          "  + Linking regions & samples\n"
                          "  + Regions: 1; Samples: 1\n"
                          "  + Absolute Key-To-Decay  : 0x7fffffff<KD<0x00000000\n"
                          "  + Absolute Vel-To-Attack : 0x7fffffff<VA<0x00000000\n"
                          "  + Done\n");
    const DlsRegion& region = state.dls.regions.at(0);
    EXPECT_EQ(region.name, "Ding Instrument");
    EXPECT_EQ(region.unityNote, 75);
    EXPECT_EQ(region.keyHigh, 127);
    ASSERT_TRUE(region.wave.has_value());
    const DlsWave& wave = state.dls.waves.at(*region.wave);
    EXPECT_EQ(wave.name, "Ding Sample");
    EXPECT_EQ(wave.sampleRate, 22050u);
    EXPECT_EQ(wave.bitsPerSample, 16);
    EXPECT_EQ(wave.data.size(), 72112u);
    EXPECT_EQ(wave.estimatedLength, estimated(72112, state.fs, 22050, 16, 1));
    // The instrument's articulation: an LFO frequency and a release time.
    EXPECT_NEAR(region.articulation.lfoFrequencyHz,
                440.0 * std::exp2((2790.0 / 65536 - 6900) / 1200), 1e-9);
    EXPECT_EQ(region.articulation.eg1.releaseRaw, 0x14425050);
}

} // namespace
} // namespace telmira::compiler
