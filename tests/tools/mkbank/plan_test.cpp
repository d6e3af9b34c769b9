#include "tools/mkbank/plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace telmira::mkbank {
namespace {

SourceZone zone(int low, int high, int sample, int pitchCents) {
    SourceZone z;
    z.keyLow = low;
    z.keyHigh = high;
    z.sample = sample;
    z.pitchCents = pitchCents;
    z.end = 1000;
    return z;
}

SourcePreset preset(std::vector<std::vector<SourceZone>> layers) {
    SourcePreset p;
    for (auto& zones : layers) {
        p.layers.push_back({"layer", std::move(zones)});
    }
    return p;
}

struct Span {
    int low, high, sample;
    bool operator==(const Span&) const = default;
};

std::vector<Span> spans(const std::vector<KeySpan>& in) {
    std::vector<Span> out;
    for (const KeySpan& s : in) {
        out.push_back({s.low, s.high, s.zone->sample});
    }
    return out;
}

void PrintTo(const Span& s, std::ostream* os) {
    *os << s.low << "-" << s.high << ":" << s.sample;
}

TEST(MelodicSpans, CoverEveryKeyAndSplitGapsAtTheNearestZone) {
    // Below the first and above the last zone the outer regions stretch; keys inside a gap go
    // to the nearer zone, the lower one on a tie (55 is 5 keys from both).
    const SourcePreset p =
        preset({{zone(36, 50, 0, 4300), zone(60, 96, 1, 7200), zone(97, 100, 2, 9800)}});
    EXPECT_EQ(spans(melodicSpans(p, 100, 10)),
              (std::vector<Span>{{0, 55, 0}, {56, 96, 1}, {97, 127, 2}}));
}

TEST(MelodicSpans, NeighbouringZonesWithTheSameSoundShareOneRegion) {
    // Same sample and tuning, different envelopes: one region, with the envelope of the zone
    // that holds the region's unity key (clamped into the region).
    struct Case {
        int pitchCents;
        double attack;
    };
    for (const Case c : {Case{3000, 0.1}, Case{5500, 0.2}, Case{9000, 0.2}}) {
        SourceZone a = zone(0, 40, 0, c.pitchCents);
        SourceZone b = zone(41, 60, 0, c.pitchCents);
        a.articulation.volume.attack = 0.1;
        b.articulation.volume.attack = 0.2;
        const SourcePreset p = preset({{a, b, zone(61, 127, 1, 7200)}});
        const std::vector<KeySpan> got = melodicSpans(p, 100, 10);
        ASSERT_EQ(spans(got), (std::vector<Span>{{0, 60, 0}, {61, 127, 1}}));
        EXPECT_EQ(got[0].zone->articulation.volume.attack, c.attack) << c.pitchCents;
    }
}

TEST(MelodicSpans, TooManyRegionsMergeTheNarrowestIntoTheNeighbourWithTheNearerRoot) {
    // The narrow middle region (51-53, middle 52) goes to the lower region when its root (30)
    // is nearer than the upper one's, otherwise to the upper.
    EXPECT_EQ(spans(melodicSpans(
                  preset({{zone(0, 50, 0, 3000), zone(51, 53, 1, 5200), zone(54, 127, 2, 8000)}}),
                  100, 2)),
              (std::vector<Span>{{0, 53, 0}, {54, 127, 2}}));
    EXPECT_EQ(spans(melodicSpans(
                  preset({{zone(0, 50, 0, 3000), zone(51, 53, 1, 5200), zone(54, 127, 2, 6000)}}),
                  100, 2)),
              (std::vector<Span>{{0, 50, 0}, {51, 127, 2}}));
    // A narrow first region can only go up.
    EXPECT_EQ(spans(melodicSpans(preset({{zone(0, 2, 0, 100), zone(3, 127, 1, 6000)}}), 100, 1)),
              (std::vector<Span>{{0, 127, 1}}));
}

TEST(MelodicSpans, FourteenSoundsBecomeTenContiguousRegions) {
    std::vector<SourceZone> zones;
    for (int i = 0; i < 14; ++i) {
        zones.push_back(zone(20 + 6 * i, 25 + 6 * i + (i % 3), i, (22 + 6 * i) * 100));
    }
    const std::vector<KeySpan> got = melodicSpans(preset({zones}), 100, 10);
    ASSERT_EQ(got.size(), 10u);
    int next = 0;
    for (const KeySpan& s : got) {
        EXPECT_EQ(s.low, next);
        EXPECT_LE(s.low, s.high);
        next = s.high + 1;
    }
    EXPECT_EQ(next, 128);
}

TEST(MelodicSpans, ZonesOutsideTheVelocityDoNotSound) {
    SourceZone soft = zone(0, 127, 0, 6000);
    soft.velocityHigh = 63;
    EXPECT_TRUE(melodicSpans(preset({{soft}}), 100, 10).empty());
    SourceZone loud = zone(0, 127, 1, 6000);
    loud.velocityLow = 64;
    EXPECT_EQ(spans(melodicSpans(preset({{soft, loud}}), 100, 10)),
              (std::vector<Span>{{0, 127, 1}}));
}

TEST(ChooseLayer, PrefersCoverageOfThePianoRangeThenDistinctSounds) {
    // Layer 0 has more sounds but covers only 21..60; layer 1 covers everything.
    EXPECT_EQ(chooseLayer(preset({{zone(21, 30, 0, 0), zone(31, 40, 1, 0), zone(41, 60, 2, 0)},
                                  {zone(0, 127, 3, 0)}}),
                          100),
              1);
    // Both cover everything: the one with three sounds wins; equal layers keep the first.
    EXPECT_EQ(chooseLayer(preset({{zone(0, 127, 0, 0)},
                                  {zone(0, 40, 1, 0), zone(41, 80, 2, 0), zone(81, 127, 3, 0)}}),
                          100),
              1);
    EXPECT_EQ(chooseLayer(preset({{zone(0, 127, 0, 0)}, {zone(0, 127, 1, 0)}}), 100), 0);
    EXPECT_EQ(chooseLayer(preset({}), 100), -1);
}

TEST(DrumSpans, OneRegionPerKeyFromThePreferredLayerFirst) {
    const SourcePreset kit = preset({{zone(35, 35, 0, 0), zone(36, 36, 1, 0), zone(38, 38, 2, 0)},
                                     {zone(36, 36, 3, 0), zone(40, 40, 4, 0)}});
    EXPECT_EQ(spans(drumSpans(kit, 100)),
              (std::vector<Span>{{35, 35, 0}, {36, 36, 1}, {38, 38, 2}, {40, 40, 4}}));
}

// A SoundFont with one looped sine sample, a program for each of 0..127 and a two-key kit.
SourceBank tinySoundFont() {
    SourceBank bank;
    SourceSample sine;
    sine.name = "Sine wave";
    sine.rate = 22050;
    for (int i = 0; i < 2205; ++i) {
        sine.frames.push_back(
            static_cast<std::int16_t>(8000 * std::sin(i * 2 * std::numbers::pi / 50.0)));
    }
    bank.samples.push_back(sine);
    SourceZone z = zone(0, 127, 0, 6030); // in tune at 60 once lowered by 30 cents
    z.end = 2205;
    z.looped = true;
    z.loopStart = 1000;
    z.loopEnd = 2200;
    for (int p = 0; p < 128; ++p) {
        SourcePreset preset;
        preset.program = p;
        preset.layers.push_back({"sine", {z}});
        bank.presets.push_back(preset);
    }
    SourcePreset kit;
    kit.bank = 128;
    SourceZone kick = zone(35, 35, 0, 4800);
    kick.end = 2205;
    SourceZone snare = zone(38, 38, 0, 4800);
    snare.end = 2205;
    snare.exclusiveClass = 1;
    kit.layers.push_back({"kit", {kick, snare}});
    bank.presets.push_back(kit);
    return bank;
}

TEST(PlanBank, BuildsEveryProgramAndTheKitWithSharedWaves) {
    Bank bank;
    std::string error;
    ASSERT_TRUE(planBank(tinySoundFont(), PlanOptions{}, bank, error)) << error;
    ASSERT_EQ(bank.instruments.size(), 129u);
    EXPECT_EQ(bank.instruments[0].name, "Acoustic Grand Piano");
    EXPECT_EQ(bank.instruments[127].name, "Gunshot");
    for (std::uint32_t p = 0; p < 128; ++p) {
        const Instrument& ins = bank.instruments[p];
        EXPECT_EQ(ins.program, p);
        EXPECT_FALSE(ins.drum);
        ASSERT_EQ(ins.regions.size(), 1u);
        EXPECT_EQ(ins.regions[0].unityNote, 60);
        EXPECT_EQ(ins.regions[0].wave, 0u); // all programs share the melodic wave
    }
    const Instrument& kit = bank.instruments[128];
    EXPECT_TRUE(kit.drum);
    ASSERT_EQ(kit.regions.size(), 2u);
    EXPECT_EQ(kit.regions[0].keyLow, 35);
    EXPECT_EQ(kit.regions[1].keyGroup, 1);
    EXPECT_EQ(kit.regions[0].unityNote, 48);
    // The kit plays the sample one-shot and in tune, the programs looped and lowered: two waves.
    ASSERT_EQ(bank.waves.size(), 2u);
    EXPECT_EQ(kit.regions[0].wave, 1u);
    EXPECT_EQ(kit.regions[1].wave, 1u);
    EXPECT_EQ(bank.waves[0].name, "SINEW60");
    EXPECT_EQ(bank.waves[1].name, "SINEW48");
    EXPECT_TRUE(bank.waves[0].looped);
    EXPECT_FALSE(bank.waves[1].looped);
}

TEST(PlanBank, NamesWhatTheSoundFontLacks) {
    SourceBank source = tinySoundFont();
    source.presets.erase(source.presets.begin() + 5);
    Bank bank;
    std::string error;
    EXPECT_FALSE(planBank(source, PlanOptions{}, bank, error));
    EXPECT_NE(error.find("program 5"), std::string::npos) << error;

    source = tinySoundFont();
    source.presets.pop_back();
    error.clear();
    EXPECT_FALSE(planBank(source, PlanOptions{}, bank, error));
    EXPECT_NE(error.find("drum kit"), std::string::npos) << error;
}

} // namespace
} // namespace telmira::mkbank
