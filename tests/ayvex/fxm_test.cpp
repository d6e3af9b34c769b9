// FXM conversion: the channel walks, the marked final jump, the return-point table, and the
// programs that are refused.
#include "ayvex/fxm.h"
#include "tests/ayvex/writers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

using namespace ayvextest;
using ayvex::convertFxm;
using ayvex::FxmConversion;
using testing::HasSubstr;

namespace {

std::uint16_t bigEndian(const std::vector<std::uint8_t>& file, std::size_t at) {
    return std::uint16_t(file.at(at) << 8 | file.at(at + 1));
}

// Channels B and C each play a note and jump back to their start.
void plainChannelsBC(FxmWriter& w) {
    for (int channel = 1; channel < 3; ++channel) {
        const std::uint16_t start = w.here();
        w.start(channel, start);
        w.note().jump(start);
    }
}

} // namespace

TEST(FxmConvert, ChannelsLoopingToTheirStartGiveAnEmptyTableAndAMarkedJump) {
    FxmWriter w(0x8000);
    const std::uint16_t a = w.here();
    w.start(0, a);
    w.note().bytes({0x84, 0x05, 0x86, 0x00, 0x90, 0x8A}).jump(a);
    const std::uint16_t jumpA = std::uint16_t(w.here() - 3);
    plainChannelsBC(w);
    const std::vector<std::uint8_t> module = w.module();
    const FxmConversion out = convertFxm(module);
    ASSERT_EQ(out.status, ayvex::kFxmWritten) << out.error;

    const auto& file = out.file;
    ASSERT_EQ(file.size(), module.size() + 2);
    EXPECT_EQ(bigEndian(file, 0), 0);
    EXPECT_EQ(bigEndian(file, 2), module.size() + 2);
    EXPECT_EQ(file[4], 0); // depth of A
    EXPECT_EQ(file[5], 0); // depth of B
    EXPECT_EQ(bigEndian(file, 6), 0x8000);
    std::vector<std::uint8_t> marked(module.begin() + 6, module.end());
    marked[w.offsetOf(jumpA) - 6] = 0x8F;
    // Only A's final jump is marked: B's and C's stay as they are.
    EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 8, file.end()), marked);
}

TEST(FxmConvert, NegatedLoadAddressIsBigEndian) {
    for (std::uint16_t load : {0x0000, 0x4000, 0xC123}) {
        const FxmConversion out = convertFxm(simpleFxm(load));
        ASSERT_EQ(out.status, ayvex::kFxmWritten) << out.error;
        EXPECT_EQ(bigEndian(out.file, 6), std::uint16_t(0x10000 - load)) << load;
    }
}

TEST(FxmConvert, CallInsideALoopRecordsItsReturnPointOnce) {
    FxmWriter w(0x6000);
    const std::uint16_t a = w.here();
    w.start(0, a);
    w.loop(3);
    const std::uint16_t afterLoop = w.here();
    w.call(0); // patched below
    const std::uint16_t afterCall = w.here();
    w.loopEnd().jump(a);
    const std::uint16_t sub = w.here();
    w.patchWord(std::uint16_t(afterCall - 2), sub);
    w.note().ret();
    // B calls the same routine: its return point is new, the routine's code is not.
    const std::uint16_t b = w.here();
    w.start(1, b);
    w.call(sub);
    const std::uint16_t afterCallB = w.here();
    w.jump(b);
    const std::uint16_t c = w.here();
    w.start(2, c);
    w.note().jump(c);
    const std::vector<std::uint8_t> module = w.module();

    const FxmConversion out = convertFxm(module);
    ASSERT_EQ(out.status, ayvex::kFxmWritten) << out.error;
    EXPECT_EQ(out.returnPoints, (std::vector<std::uint16_t>{afterLoop, afterCall, afterCallB}));
    EXPECT_EQ(out.file[4], 3); // a loop (two entries) and a call
    EXPECT_EQ(out.file[5], 1);
    const std::size_t table = bigEndian(out.file, 2);
    ASSERT_EQ(table, module.size() + 2);
    ASSERT_EQ(out.file.size(), table + 6);
    EXPECT_EQ(bigEndian(out.file, table), afterLoop);
    EXPECT_EQ(bigEndian(out.file, table + 2), afterCall);
    EXPECT_EQ(bigEndian(out.file, table + 4), afterCallB);
}

TEST(FxmConvert, NestedLoopsRunTheirCountsAndLeaveAnEmptyStack) {
    FxmWriter w(0x6000);
    const std::uint16_t a = w.here();
    w.start(0, a);
    w.loop(2).loop(255).note().loopEnd().note().loopEnd().jump(a);
    plainChannelsBC(w);
    const FxmConversion out = convertFxm(w.module());
    ASSERT_EQ(out.status, ayvex::kFxmWritten) << out.error;
    EXPECT_EQ(out.depth[0], 4);
    EXPECT_EQ(out.returnPoints.size(), 2u);
}

struct RefusalCase {
    const char* what;
    int status;
    std::function<std::vector<std::uint8_t>()> module;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.what;
}

class FxmRefusals : public testing::TestWithParam<RefusalCase> {};

TEST_P(FxmRefusals, EndWithTheirCodeAndNoOutput) {
    const FxmConversion out = convertFxm(GetParam().module());
    EXPECT_EQ(out.status, GetParam().status) << out.error;
    EXPECT_NE(out.error, "");
}

// Channel A from `program` (given its start address), B and C plain.
std::vector<std::uint8_t>
withChannelA(const std::function<void(FxmWriter&, std::uint16_t)>& program) {
    FxmWriter w(0x7000);
    const std::uint16_t a = w.here();
    w.start(0, a);
    program(w, a);
    plainChannelsBC(w);
    return w.module();
}

// A chain of `depth` nested calls on channel `channel`, the others plain.
std::vector<std::uint8_t> callChains(int depthA, int depthB) {
    FxmWriter w(0x7000);
    for (int channel = 0; channel < 3; ++channel) {
        const int depth = channel == 0 ? depthA : channel == 1 ? depthB : 0;
        const std::uint16_t start = w.here();
        w.start(channel, start);
        for (int level = 0; level < depth; ++level) {
            const std::uint16_t here = w.here();
            w.call(std::uint16_t(here + 3 + (level == 0 ? 3 : 1)));
            if (level == 0)
                w.jump(start);
            else
                w.ret();
        }
        w.note();
        if (depth > 0)
            w.ret();
        else
            w.jump(start);
    }
    return w.module();
}

INSTANTIATE_TEST_SUITE_P(
    Table, FxmRefusals,
    testing::Values(
        RefusalCase{"not FXSM", ayvex::kFxmNotFxm,
                    [] {
                        auto m = simpleFxm(0x8000);
                        m[3] = 'X';
                        return m;
                    }},
        RefusalCase{"empty", ayvex::kFxmNotFxm, [] { return std::vector<std::uint8_t>{}; }},
        RefusalCase{"header cut", ayvex::kFxmOutsideModule,
                    [] {
                        auto m = simpleFxm(0x8000);
                        m.resize(10);
                        return m;
                    }},
        RefusalCase{"0x8C", ayvex::kFxmInvalidCommand,
                    [] {
                        return withChannelA([](FxmWriter& w, std::uint16_t a) {
                            w.bytes({0x8C, 0, 0}).jump(a);
                        });
                    }},
        RefusalCase{"note 0x55", ayvex::kFxmInvalidCommand,
                    [] {
                        return withChannelA(
                            [](FxmWriter& w, std::uint16_t a) { w.note(0x55).jump(a); });
                    }},
        RefusalCase{"0x8F in the source", ayvex::kFxmInvalidCommand,
                    [] {
                        return withChannelA(
                            [](FxmWriter& w, std::uint16_t a) { w.bytes({0x8F}).jump(a); });
                    }},
        RefusalCase{"loop count 0", ayvex::kFxmLoopCountZero,
                    [] {
                        return withChannelA([](FxmWriter& w, std::uint16_t a) {
                            w.loop(0).note().loopEnd().jump(a);
                        });
                    }},
        RefusalCase{
            "endless recursion", ayvex::kFxmStackOverflow,
            [] { return withChannelA([](FxmWriter& w, std::uint16_t a) { w.call(a).jump(a); }); }},
        RefusalCase{"257 return points", ayvex::kFxmTooManyReturns,
                    [] {
                        return withChannelA([](FxmWriter& w, std::uint16_t a) {
                            const std::uint16_t sub = std::uint16_t(a + 3 * 257 + 3);
                            for (int i = 0; i < 257; ++i)
                                w.call(sub);
                            w.jump(a).ret();
                        });
                    }},
        RefusalCase{"jump back to the loop point after an intro", ayvex::kFxmNoLoopToStart,
                    [] {
                        return withChannelA([](FxmWriter& w, std::uint16_t) {
                            w.note(0x10);
                            const std::uint16_t loopPoint = w.here();
                            w.note(0x20).jump(loopPoint);
                        });
                    }},
        RefusalCase{"endless loop inside a call", ayvex::kFxmNoLoopToStart,
                    [] {
                        return withChannelA([](FxmWriter& w, std::uint16_t) {
                            const std::uint16_t sub = std::uint16_t(w.here() + 3);
                            w.call(sub).note().jump(sub);
                        });
                    }},
        RefusalCase{
            "loops far longer than any song", ayvex::kFxmNoLoopToStart,
            [] {
                return withChannelA([](FxmWriter& w, std::uint16_t a) {
                    w.loop(255).loop(255).loop(255).note().loopEnd().loopEnd().loopEnd().jump(a);
                });
            }},
        RefusalCase{"jump to the start inside a loop", ayvex::kFxmStackNotEmpty,
                    [] {
                        return withChannelA(
                            [](FxmWriter& w, std::uint16_t a) { w.loop(2).note().jump(a); });
                    }},
        RefusalCase{"depths adding up to 25", ayvex::kFxmTooDeep,
                    [] { return callChains(13, 12); }},
        RefusalCase{"return without a call", ayvex::kFxmStackMismatch,
                    [] {
                        return withChannelA(
                            [](FxmWriter& w, std::uint16_t a) { w.note().ret().jump(a); });
                    }},
        RefusalCase{"loop end without a loop start", ayvex::kFxmStackMismatch,
                    [] {
                        return withChannelA(
                            [](FxmWriter& w, std::uint16_t a) { w.note().loopEnd().jump(a); });
                    }},
        RefusalCase{"return inside a loop", ayvex::kFxmStackMismatch,
                    [] {
                        return withChannelA([](FxmWriter& w, std::uint16_t a) {
                            const std::uint16_t sub = std::uint16_t(a + 6);
                            w.call(sub).jump(a).loop(2).ret();
                        });
                    }},
        RefusalCase{
            "jump below the load address", ayvex::kFxmOutsideModule,
            [] { return withChannelA([](FxmWriter& w, std::uint16_t) { w.jump(0x6FFF); }); }},
        RefusalCase{"program runs off the end", ayvex::kFxmOutsideModule,
                    [] {
                        auto m =
                            withChannelA([](FxmWriter& w, std::uint16_t a) { w.note().jump(a); });
                        m.resize(m.size() - 1);
                        return m;
                    }},
        RefusalCase{"a bad command wins over a stack left over", ayvex::kFxmInvalidCommand,
                    [] {
                        FxmWriter w(0x7000);
                        const std::uint16_t a = w.here();
                        w.start(0, a);
                        w.loop(2).jump(a);
                        const std::uint16_t b = w.here();
                        w.start(1, b);
                        w.start(2, b);
                        w.bytes({0x8C});
                        return w.module();
                    }}),
    [](const testing::TestParamInfo<RefusalCase>& info) {
        std::string name = info.param.what;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(FxmConvert, DepthsUpToTwentyFourAreAccepted) {
    const FxmConversion out = convertFxm(callChains(12, 12));
    ASSERT_EQ(out.status, ayvex::kFxmWritten) << out.error;
    EXPECT_EQ(out.file[4], 12);
    EXPECT_EQ(out.file[5], 12);
}
