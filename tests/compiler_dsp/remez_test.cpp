#include "compiler/dsp/remez.h"
#include "compiler/dsp/resampling_filter.h"
#include "filter_response.h"
#include "reference_designs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {
using namespace telmira::dsp;
using telmira::dsp::test::loadReferenceDesigns;
using telmira::dsp::test::measureLowPass;

std::string rates(float a, float b) {
    return formatMessage("%.2f => %.2f", double(a), double(b));
}

// The committed designs of scipy.signal.remez (fixtures/make_remez_reference.py) for DLS rates
// against FS, down and up, fine-tuned and pre-transposed, each designed here once for the tests
// of this suite.
class RemezReference : public ::testing::Test {
protected:
    struct Case {
        telmira::dsp::test::ReferenceDesign reference;
        ResamplingFilterSpec spec;
        RemezDesign design;
    };

    static void SetUpTestSuite() {
        cases_ = new std::vector<Case>;
        for (const auto& ref : loadReferenceDesigns()) {
            auto spec = resamplingFilterSpec(ref.sourceRate, ref.targetRate);
            ASSERT_TRUE(spec.ok()) << rates(ref.sourceRate, ref.targetRate);
            auto design = designEquiripple(spec.value().numTaps, resamplingBands(spec.value()),
                                           kGridDensity, kMaxIterations);
            ASSERT_TRUE(design.ok()) << rates(ref.sourceRate, ref.targetRate);
            cases_->push_back({ref, spec.value(), design.value()});
        }
    }
    static void TearDownTestSuite() {
        delete cases_;
        cases_ = nullptr;
    }

    static std::vector<Case>* cases_;
};

std::vector<RemezReference::Case>* RemezReference::cases_ = nullptr;

// Both programs find the best filter on the same grid, so the taps agree up to rounding:
// measured differences are about 1e-12. The tolerance of 1e-10 is a hundred times that and
// still far below the resolution of the 32-bit float taps the compiler keeps (about 1.5e-8 at
// the largest tap, 0.2), so a wrong grid, band edge, weight or length, or an exchange stopped
// short of the optimum, fails it.
TEST_F(RemezReference, TapsMatchScipyDesigns) {
    ASSERT_EQ(cases_->size(), 8u) << "fixtures/remez_reference.txt missing or malformed";
    for (const auto& [ref, spec, design] : *cases_) {
        SCOPED_TRACE(rates(ref.sourceRate, ref.targetRate));
        EXPECT_EQ(spec.numTaps, ref.numTaps);
        EXPECT_DOUBLE_EQ(spec.passEdge, ref.passEdge);
        EXPECT_DOUBLE_EQ(spec.stopEdge, ref.stopEdge);
        EXPECT_DOUBLE_EQ(spec.passRipple / spec.stopRipple, ref.stopWeight);
        EXPECT_TRUE(design.converged);
        ASSERT_EQ(design.taps.size(), ref.taps.size());
        for (std::size_t i = 0; i < ref.taps.size(); ++i) {
            ASSERT_NEAR(design.taps[i], ref.taps[i], 1e-10) << "tap " << i;
        }
    }
}

// The same filters with their taps rounded to 32-bit floats, as the compiler stores them,
// measured on a grid 32 times finer than the tap spacing. Herrmann's estimate comes out a few
// taps short for most of these bands, so the equiripple error settles up to 4 % above the
// ripples asked for: the worst reach 0.52 dB of pass-band ripple and 95.6 dB of attenuation
// instead of 0.5 dB and 96 dB. The bounds allow that and nothing more; the measured peaks must also
// be the design's own deviation (divided by the stop-band weight in the stop band): an equiripple
// filter, within what the finite grid and the float rounding of the taps explain.
TEST_F(RemezReference, FiltersMeetRippleAndAttenuation) {
    ASSERT_FALSE(cases_->empty());
    for (const auto& [ref, spec, design] : *cases_) {
        SCOPED_TRACE(rates(ref.sourceRate, ref.targetRate));
        const std::vector<float> taps(design.taps.begin(), design.taps.end());
        const auto r = measureLowPass(taps, spec.passEdge, spec.stopEdge);
        EXPECT_LE(r.passRippleDb, 0.53);
        EXPECT_GE(r.stopAttenuationDb, 95.5);
        const double weight = spec.passRipple / spec.stopRipple;
        EXPECT_NEAR(r.stopPeak, design.deviation / weight, 0.03 * design.deviation / weight);
        EXPECT_NEAR(r.passDeviation, design.deviation, 0.03 * design.deviation);
    }
}

TEST(ResamplingFilter, StoresTheDesignAsFloats) {
    std::vector<std::string> messages;
    auto record = designResamplingFilter(11025, 10416.666f,
                                         [&](std::string_view m) { messages.emplace_back(m); });
    ASSERT_TRUE(record.ok());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(record.value().sourceRate, 11025.0f);
    EXPECT_EQ(record.value().targetRate, 10416.666f);
    auto spec = resamplingFilterSpec(11025, 10416.666f);
    auto design = designEquiripple(spec.value().numTaps, resamplingBands(spec.value()),
                                   kGridDensity, kMaxIterations);
    ASSERT_EQ(record.value().taps.size(), design.value().taps.size());
    for (std::size_t i = 0; i < record.value().taps.size(); ++i) {
        EXPECT_EQ(record.value().taps[i], float(design.value().taps[i]));
    }
}

TEST(RemezDesign, StopsAtTheIterationLimitWithTheLastResult) {
    const std::vector<RemezBand> bands = {{0, 0.2, 1, 1}, {0.25, 0.5, 0, 10}};
    auto limited = designEquiripple(61, bands, 16, 2);
    ASSERT_TRUE(limited.ok());
    EXPECT_FALSE(limited.value().converged);
    EXPECT_EQ(limited.value().iterations, 2);
    EXPECT_EQ(limited.value().taps.size(), 61u);

    auto full = designEquiripple(61, bands, 16, 40);
    ASSERT_TRUE(full.ok());
    EXPECT_TRUE(full.value().converged);
    EXPECT_LT(full.value().iterations, 40);
    // Each exchange raises the levelled error towards the optimum.
    EXPECT_LT(limited.value().deviation, full.value().deviation);
    // Symmetric taps: linear phase.
    for (std::size_t i = 0; i < 61; ++i) {
        EXPECT_EQ(full.value().taps[i], full.value().taps[60 - i]);
    }
}

TEST(RemezDesign, ReportsNonConvergenceThroughTheSink) {
    std::string printed;
    auto record = designResamplingFilter(
        22050, 10416.666f, [&](std::string_view m) { printed += m; }, 3);
    ASSERT_TRUE(record.ok());
    EXPECT_EQ(printed, "Reached maximum iteration count.\nResults may be bad.\n");
    EXPECT_EQ(record.value().taps.size(), 285u);
}

TEST(RemezDesign, RejectsBadArguments) {
    const std::vector<RemezBand> good = {{0, 0.2, 1, 1}, {0.25, 0.5, 0, 10}};
    EXPECT_FALSE(designEquiripple(60, good, 16, 40).ok()); // even length
    EXPECT_FALSE(designEquiripple(1, good, 16, 40).ok());  // too short
    EXPECT_FALSE(designEquiripple(61, good, 0, 40).ok());  // no grid
    EXPECT_FALSE(designEquiripple(61, good, 16, 0).ok());  // no iteration
    EXPECT_FALSE(designEquiripple(61, {}, 16, 40).ok());   // no band
    const std::vector<std::vector<RemezBand>> bad = {
        {{0, 0.3, 1, 1}, {0.25, 0.5, 0, 10}},  // overlapping
        {{0, 0.25, 1, 1}, {0.25, 0.5, 0, 10}}, // touching
        {{0.3, 0.2, 1, 1}},                    // reversed
        {{0, 0.6, 1, 1}},                      // beyond half the rate
        {{0, 0.2, 1, 0}},                      // zero weight
        {{0, 0.2, 1, std::numeric_limits<double>::quiet_NaN()}},
    };
    for (const auto& bands : bad) {
        EXPECT_FALSE(designEquiripple(61, bands, 16, 40).ok());
    }
    // More extremal frequencies than grid points.
    EXPECT_FALSE(designEquiripple(61, std::vector<RemezBand>{{0, 0.001, 1, 1}}, 1, 40).ok());
}

TEST(ResamplingFilterSpec, EdgesFollowTheSlowerRate) {
    // Downsampling 44100 -> 22050: stop at 11025 Hz, pass to 10775 Hz, both of 44100.
    auto down = resamplingFilterSpec(44100, 22050);
    ASSERT_TRUE(down.ok());
    EXPECT_DOUBLE_EQ(down.value().stopEdge, 0.25);
    EXPECT_DOUBLE_EQ(down.value().passEdge, 10775.0 / 44100);
    EXPECT_EQ(down.value().numTaps % 2, 1);
    // Upsampling uses the same two numbers the other way round.
    auto up = resamplingFilterSpec(22050, 44100);
    ASSERT_TRUE(up.ok());
    EXPECT_EQ(up.value().numTaps, down.value().numTaps);
    EXPECT_DOUBLE_EQ(up.value().stopEdge, 0.25);
    // Ripples of 0.5 dB and 96 dB.
    EXPECT_NEAR(20 * std::log10((1 + down.value().passRipple) / (1 - down.value().passRipple)), 0.5,
                1e-12);
    EXPECT_NEAR(20 * std::log10(down.value().stopRipple), -96, 1e-12);
}

TEST(ResamplingFilterSpec, RefusesRatesItCannotServe) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::pair<float, float>> cases = {
        {22050, 22050},  // equal: copied, no filter
        {0, 10416.666f}, // no rate
        {22050, 0},      // FS of 0 (an unreadable set_fs)
        {-8000, 10416.666f},  {nan, 10416.666f},
        {22050, inf},         {400, 10416.666f}, // the slower rate leaves no pass band
        {192000, 10416.666f},                    // beyond the longest filter
    };
    for (const auto& [a, b] : cases) {
        auto spec = resamplingFilterSpec(a, b);
        EXPECT_FALSE(spec.ok()) << rates(a, b);
        if (!spec.ok()) {
            EXPECT_FALSE(spec.error().message.empty());
        }
    }
}

TEST(FilterCache, DesignsOnceAndLooksUpByExactRates) {
    FilterCache cache;
    std::string printed;
    auto sink = [&](std::string_view m) { printed += m; };
    auto first = findOrDesignFilter(cache, 16000, 10416.666f, sink);
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first.value(), 0u);
    ASSERT_EQ(cache.size(), 1u);
    EXPECT_EQ(printed, "      + Generating filter for resampling 16000.00 => 10416.67\n"
                       "        + Filter order is 207\n");

    printed.clear();
    auto again = findOrDesignFilter(cache, 16000, 10416.666f, sink);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value(), 0u);
    EXPECT_EQ(cache.size(), 1u);
    EXPECT_TRUE(printed.empty());

    // The key is the float pair itself: the next float up is another filter, and so is the
    // reverse direction.
    EXPECT_EQ(findFilter(cache, 16000, std::nextafter(10416.666f, 2e4f)), nullptr);
    EXPECT_EQ(findFilter(cache, 10416.666f, 16000), nullptr);
    EXPECT_EQ(findFilter(cache, 16000, 10416.666f), &cache[0]);

    // A refused design leaves the cache alone.
    auto refused = findOrDesignFilter(cache, 300, 10416.666f, sink);
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(cache.size(), 1u);
}

} // namespace
