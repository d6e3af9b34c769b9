#include "tools/mkbank/dlscheck.h"
#include "tools/mkbank/dlswriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string_view>

namespace telmira::mkbank {
namespace {

Bank smallBank() {
    Bank bank;
    bank.name = "Test bank";
    Wave loop;
    loop.name = "LOOPW60";
    loop.rate = 16000;
    loop.unityNote = 60;
    loop.frames.assign(100, 1000);
    loop.looped = true;
    loop.loopStart = 10;
    loop.loopLength = 80;
    Wave shot;
    shot.name = "SHOT_48";
    shot.rate = 11025;
    shot.unityNote = 48;
    shot.frames.assign(51, -1000);
    bank.waves = {loop, shot};

    Instrument piano;
    piano.name = "Pian"; // odd length with its NUL: needs a pad byte
    piano.bank = 129;    // bank select 1, 1
    piano.program = 5;
    Region low{0, 59, 60, 0, 0, {}};
    Region high{60, 127, 72, 0, 0, {}};
    high.articulation.lfoToPitch = 20;
    high.articulation.modulationToPitch = -100;
    piano.regions = {low, high};
    Instrument kit;
    kit.name = "Kit";
    kit.drum = true;
    kit.regions = {Region{38, 38, 48, 2, 1, {}}, Region{40, 40, 50, 0, 1, {}}};
    bank.instruments = {piano, kit};
    return bank;
}

TEST(DlsWriter, WritesWhatTheCheckReadsBack) {
    const Bank bank = smallBank();
    const std::vector<std::uint8_t> bytes = writeDls(bank);
    EXPECT_EQ(writeDls(bank), bytes); // same bank, same bytes
    DlsContents c;
    const std::vector<std::string> problems = checkDls(bytes, c);
    EXPECT_TRUE(problems.empty()) << problems.front();

    EXPECT_EQ(c.declaredInstruments, 2u);
    ASSERT_EQ(c.instruments.size(), 2u);
    const DlsInstrument& piano = c.instruments[0];
    EXPECT_EQ(piano.name, "Pian");
    EXPECT_EQ(piano.bank, 129u);
    EXPECT_EQ(piano.program, 5u);
    EXPECT_FALSE(piano.drum);
    ASSERT_EQ(piano.regions.size(), 2u);
    EXPECT_EQ(piano.regions[1].keyLow, 60);
    EXPECT_EQ(piano.regions[1].keyHigh, 127);
    EXPECT_EQ(piano.regions[1].velocityLow, 0);
    EXPECT_EQ(piano.regions[1].velocityHigh, 127);
    EXPECT_EQ(piano.regions[1].unityNote, 72);
    EXPECT_EQ(piano.regions[0].articulationBlocks, 4);  // volume envelope
    EXPECT_EQ(piano.regions[1].articulationBlocks, 12); // + vibrato + pitch envelope
    const DlsInstrument& kit = c.instruments[1];
    EXPECT_TRUE(kit.drum);
    EXPECT_EQ(kit.bank, 0u);
    EXPECT_EQ(kit.regions[0].keyGroup, 2);
    EXPECT_EQ(kit.regions[0].waveIndex, 1u);

    ASSERT_EQ(c.waves.size(), 2u);
    EXPECT_EQ(c.waves[0].name, "LOOPW60");
    EXPECT_EQ(c.waves[0].rate, 16000u);
    EXPECT_EQ(c.waves[0].bitsPerSample, 16);
    EXPECT_EQ(c.waves[0].dataBytes, 200u);
    EXPECT_TRUE(c.waves[0].looped);
    EXPECT_EQ(c.waves[0].loopStart, 10u);
    EXPECT_EQ(c.waves[0].loopLength, 80u);
    EXPECT_EQ(c.waves[0].offset, 0u);
    EXPECT_FALSE(c.waves[1].looped);
    EXPECT_EQ(c.waves[1].dataBytes, 102u);
    EXPECT_EQ(c.poolTable, (std::vector<std::uint32_t>{0, c.waves[1].offset}));
}

TEST(DlsWriter, ScalesFollowTheDlsUnits) {
    EXPECT_EQ(dls::timeScale(1.0), 0);
    EXPECT_EQ(dls::timeScale(2.0), 1200 * 65536);
    EXPECT_EQ(dls::timeScale(0.0), std::int32_t(0x80000000u)); // no time at all
    EXPECT_EQ(dls::percentScale(100), 1000 * 65536);           // percent = raw / 655360
    EXPECT_EQ(dls::centsScale(-50), -50 * 65536);
    for (double hz : {0.5, 5.0, 8.176}) {
        const double raw = dls::frequencyScale(hz);
        EXPECT_NEAR(440 * std::exp2((raw / 65536 - 6900) / 1200), hz, 1e-4) << hz;
    }
}

// Position of the first `id` at or after `from`.
std::size_t find(const std::vector<std::uint8_t>& b, std::string_view id, std::size_t from = 0) {
    for (std::size_t i = from; i + 4 <= b.size(); ++i) {
        if (std::string_view(reinterpret_cast<const char*>(&b[i]), 4) == id) {
            return i;
        }
    }
    ADD_FAILURE() << "no " << id;
    return 0;
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(DlsCheck, FindsEveryKindOfDamage) {
    using Bytes = std::vector<std::uint8_t>;
    struct Case {
        const char* damage;
        std::function<void(Bytes&)> apply;
        const char* reported;
    };
    const Case cases[] = {
        {"RIFF size one short", [](Bytes& b) { put32(b, 4, get32(b, 4) - 1); }, "RIFF size"},
        {"cut in half", [](Bytes& b) { b.resize(b.size() / 2); }, "runs past"},
        {"colh count", [](Bytes& b) { put32(b, find(b, "colh") + 8, 3); }, "colh declares"},
        {"insh region count", [](Bytes& b) { put32(b, find(b, "insh") + 8, 3); },
         "declares 3 regions"},
        {"wave index", [](Bytes& b) { put32(b, find(b, "wlnk") + 16, 7); }, "links to wave 7"},
        {"pool offset", [](Bytes& b) { put32(b, find(b, "ptbl") + 20, 4); }, "ptbl offset 1"},
        {"pool count", [](Bytes& b) { put32(b, find(b, "ptbl") + 12, 1); }, "ptbl lists 1"},
        {"stereo", [](Bytes& b) { b[find(b, "fmt ") + 10] = 2; }, "not PCM mono"},
        {"data size", [](Bytes& b) { put32(b, find(b, "data") + 4, 0x7FFFFFF0); }, "runs past"},
        {"loop", [](Bytes& b) { put32(b, find(b, "wsmp", find(b, "wvpl")) + 8 + 32, 500); },
         "loops outside"},
        {"form type", [](Bytes& b) { b[8] = 'X'; }, "not DLS"},
    };
    const Bytes good = writeDls(smallBank());
    for (const Case& c : cases) {
        Bytes bytes = good;
        c.apply(bytes);
        DlsContents contents;
        const std::vector<std::string> problems = checkDls(bytes, contents);
        bool found = false;
        for (const std::string& p : problems) {
            found = found || p.find(c.reported) != std::string::npos;
        }
        EXPECT_TRUE(found) << c.damage << ": "
                           << (problems.empty() ? "no problem reported" : problems.front());
    }
}

TEST(DlsCheck, SurvivesEveryTruncation) {
    const std::vector<std::uint8_t> good = writeDls(smallBank());
    for (std::size_t size = 0; size < good.size(); size += 7) {
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<long>(size));
        DlsContents contents;
        EXPECT_FALSE(checkDls(cut, contents).empty()) << size;
    }
}

} // namespace
} // namespace telmira::mkbank
