// PT3 conversion: layout of the converted song, the codes of samples and channel streams,
// renumbering, warnings, and the modules that are refused.
#include "ayvex/pt3.h"
#include "ayvex/pt3rows.h"
#include "tests/ayvex/song.h"
#include "tests/ayvex/writers.h"
#include "tests/common/testpaths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace ayvextest;
using ayvex::convertPt3;
using ayvex::Pt3Conversion;
using testing::Contains;
using testing::HasSubstr;

namespace {

// A converted module read back as the melody compiler reads it.
struct Converted {
    Pt3Conversion result;
    Song song;
    int samples = 0;   // S
    int ornaments = 0; // O
    int streams = 0;   // P

    std::uint16_t samplePointer(int n) const { return song.word(12 + 2 * std::size_t(n)); }
    std::uint16_t ornamentPointer(int n) const {
        return song.word(12 + 2 * std::size_t(samples + n));
    }
    std::uint16_t streamPointer(int slot) const {
        return song.word(12 + 2 * std::size_t(samples + ornaments + slot));
    }
    std::span<const std::uint8_t> at(std::uint16_t offset) const {
        return std::span<const std::uint8_t>(song.data).subspan(offset, song.length - offset);
    }
};

Converted convert(const std::vector<std::uint8_t>& module,
                  const ayvex::CodeTables& tables = shippedTables()) {
    Converted c;
    c.result = convertPt3(module, tables);
    EXPECT_EQ(c.result.status, ayvex::kPt3Written) << c.result.error;
    if (c.result.status != ayvex::kPt3Written)
        return c;
    c.song = assembleLikeCompiler(c.result.lines, module.size());
    EXPECT_EQ(c.song.error, "");
    c.samples = c.song.data[8] / 2;
    c.ornaments = c.song.data[9] / 2;
    c.streams = c.result.lines.at(10) / 2;
    return c;
}

std::vector<Sym> decodeAt(const Converted& c, std::uint16_t offset,
                          const std::vector<Sym>& expected) {
    return decodeLike(c.at(offset), shippedTables(), expected);
}

std::vector<Sym> repeat(const std::vector<Sym>& part, int times) {
    std::vector<Sym> all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<Sym> operator+(std::vector<Sym> a, const std::vector<Sym>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Pt3Pattern pattern(std::vector<std::uint8_t> a, std::vector<std::uint8_t> b,
                   std::vector<std::uint8_t> c) {
    Pt3Pattern p;
    p.channels = {std::move(a), std::move(b), std::move(c)};
    return p;
}

// One pattern: channel A as given, B and C one empty row each.
Pt3Spec oneChannel(std::vector<std::uint8_t> a) {
    Pt3Spec spec;
    spec.samples[1] = plainSample();
    spec.ornaments[0] = plainOrnament();
    spec.patterns.push_back(pattern(std::move(a), {0xD0, 0x00}, {0xD0, 0x00}));
    return spec;
}

std::vector<std::uint8_t> repeatBytes(const std::vector<std::uint8_t>& part, int times) {
    std::vector<std::uint8_t> all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<std::uint8_t> cat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(Pt3Layout, HeaderPointersAndPositionListSitWhereTheCompilerPutsThem) {
    Pt3Spec spec;
    spec.toneTable = 2;
    spec.delay = 5;
    spec.positions = {1, 0, 1};
    spec.loop = 2;
    spec.samples[1] = plainSample();
    spec.ornaments[0] = plainOrnament();
    spec.patterns.push_back(pattern({0xD1, 0x60, 0x00}, {0xD0, 0x00}, {0xC0, 0x00}));
    spec.patterns.push_back(pattern({0xC5, 0x61, 0x00}, {0xD0, 0xD0, 0x00}, {0xC0, 0xC0, 0x00}));
    const Pt3Module m = writePt3(spec);
    const Converted c = convert(m.bytes);
    ASSERT_EQ(c.result.status, 0);

    const auto& d = c.song.data;
    EXPECT_EQ(std::vector<int>(d.begin(), d.begin() + 6), (std::vector<int>{0, 1, 2, 5, 3, 2}));
    EXPECT_EQ(c.samples, 1);
    EXPECT_EQ(c.ornaments, 1);
    EXPECT_EQ(c.streams, 6); // highest position value 3, plus its three channels

    // The pointer area follows byte 9; every pointer is a relocated word.
    std::vector<std::size_t> expectedRelocations;
    for (int i = 0; i <= c.samples + c.ornaments + c.streams; ++i)
        expectedRelocations.push_back(10 + 2 * std::size_t(i));
    EXPECT_EQ(c.song.relocations, expectedRelocations);

    const std::uint16_t positions = c.song.word(10);
    EXPECT_EQ(std::vector<int>(d.begin() + positions, d.begin() + positions + 4),
              (std::vector<int>{3, 0, 3, 255}));
    EXPECT_EQ(c.song.length, positions + 4u);

    // Objects follow the pointer area in module order: pattern 0's streams, then pattern 1's,
    // then the sample, then the ornament.
    const std::uint16_t first = std::uint16_t(12 + 2 * (c.samples + c.ornaments + c.streams));
    EXPECT_EQ(c.streamPointer(0), first);
    for (int slot = 1; slot < 6; ++slot)
        EXPECT_GT(c.streamPointer(slot), c.streamPointer(slot - 1));
    EXPECT_GT(c.samplePointer(0), c.streamPointer(5));
    EXPECT_GT(c.ornamentPointer(0), c.samplePointer(0));
    EXPECT_EQ(decodeAt(c, c.streamPointer(3), {T1(1), T1(~0xC5 & 0x0F), T1(0), T3(0x11), T1(10)}),
              (std::vector<Sym>{T1(1), T1(~0xC5 & 0x0F), T1(0), T3(0x11), T1(10)}));
    // Ornaments are copied as they are.
    const std::uint16_t orn = c.ornamentPointer(0);
    EXPECT_EQ(std::vector<int>(d.begin() + orn, d.begin() + orn + 3), (std::vector<int>{0, 1, 0}));
}

TEST(Pt3Layout, SlotsOfPatternsNoPositionPlaysPointAtTheStart) {
    Pt3Spec spec = oneChannel({0xD0, 0x00});
    spec.patterns.push_back(spec.patterns[0]);
    spec.patterns.push_back(pattern({0xC0, 0x00}, {0xC0, 0x00}, {0xC0, 0x00}));
    spec.positions = {2};
    const Converted c = convert(writePt3(spec).bytes);
    ASSERT_EQ(c.streams, 9);
    for (int slot = 0; slot < 6; ++slot)
        EXPECT_EQ(c.streamPointer(slot), 0) << slot;
    EXPECT_EQ(decodeAt(c, c.streamPointer(6), {T1(12), T1(10)}),
              (std::vector<Sym>{T1(12), T1(10)}));
}

TEST(Pt3Renumbering, OnlySampleFiveUsedInEveryRowBecomesNumberZero) {
    Pt3Spec spec = oneChannel(cat(repeatBytes({0xD5, 0x60}, 4), {0x00}));
    spec.samples[5] = Pt3Sample{1, {{0x00, 0x8F, 0x00, 0x00}, {0x01, 0x8E, 0x02, 0x00}}};
    const Converted c = convert(writePt3(spec).bytes);
    ASSERT_EQ(c.result.status, 0);
    EXPECT_EQ(c.song.data[6], 1); // sample 0 follows sample 5
    EXPECT_EQ(c.samples, 1);      // sample 0 does not exist: the table ends there
    const std::vector<Sym> stream =
        repeat({T1(3), T1(0), T1(0), T3(0x10)}, 4) + std::vector<Sym>{T1(10)};
    EXPECT_EQ(decodeAt(c, c.streamPointer(0), stream), stream);

    const std::vector<Sym> line0{T2(0), T0((0x8F - 76) ^ 7)};
    const std::vector<Sym> line1{T2(3), T0((0x8E - 76) ^ 7), T0((1 ^ 0x66) - 32),
                                 T0((2 ^ 0x79) - 64)};
    const std::uint32_t loop = codedBits(shippedTables(), line0);
    const std::vector<Sym> sample =
        line0 + line1 + std::vector<Sym>{T2(6), T2(int(loop & 7)), T0(int(loop / 8 - 71) ^ 0xFE)};
    EXPECT_EQ(decodeAt(c, c.samplePointer(0), sample), sample);
}

TEST(Pt3Renumbering, MostUsedFirstAndEqualCountsKeepModuleOrder) {
    // Samples 1, 2, 3 are called 1, 3 and 1 times; ornaments 1 and 2 twice and once.
    Pt3Spec spec = oneChannel(
        {0xD1, 0x41, 0x60, 0xD2, 0x41, 0x60, 0xD2, 0x42, 0x60, 0xD2, 0x60, 0xD3, 0x60, 0x00});
    for (int s = 1; s <= 3; ++s)
        spec.samples[s] = Pt3Sample{0, {{std::uint8_t(s), 0x8F, 0x00, 0x00}}};
    for (int o = 0; o <= 2; ++o)
        spec.ornaments[o] = Pt3Ornament{0, {std::uint8_t(10 * o + 1)}};
    const Pt3Module m = writePt3(spec);
    const Converted c = convert(m.bytes);
    ASSERT_EQ(c.result.status, 0);
    EXPECT_EQ(c.song.data[6], 3); // samples 2, 1, 3, then 0
    EXPECT_EQ(c.song.data[7], 2); // ornaments 1, 2, then 0
    EXPECT_EQ(c.samples, 3);
    EXPECT_EQ(c.ornaments, 3);
    // Sample objects lie in module order (1, 2, 3); the table lists them in new order.
    EXPECT_LT(c.samplePointer(1), c.samplePointer(0));
    EXPECT_LT(c.samplePointer(0), c.samplePointer(2));
    for (int n = 0; n < 3; ++n) {
        const int module = std::array{1, 2, 0}[std::size_t(n)];
        EXPECT_EQ(c.song.data[c.ornamentPointer(n) + 2u], 10 * module + 1) << n;
    }
    const std::vector<Sym> stream{T1(3), T1(1), T1(8), T2(0),    T1(0), T3(0x10), //
                                  T1(3), T1(0), T1(8), T2(0),    T1(0), T3(0x10), //
                                  T1(3), T1(0), T1(8), T2(1),    T1(0), T3(0x10), //
                                  T1(3), T1(0), T1(0), T3(0x10),                  //
                                  T1(3), T1(2), T1(0), T3(0x10), T1(10)};
    EXPECT_EQ(decodeAt(c, c.streamPointer(0), stream), stream);
}

TEST(Pt3Renumbering, UndefinedOrnamentSilentlyTakesOrnamentZero) {
    Pt3Spec spec = oneChannel({0x40, 0x60, 0x40, 0x60, 0x45, 0x60, 0x00});
    const Converted c = convert(writePt3(spec).bytes);
    ASSERT_EQ(c.result.status, 0);
    EXPECT_EQ(c.ornaments, 2);
    EXPECT_EQ(c.ornamentPointer(1), c.ornamentPointer(0));
    EXPECT_EQ(c.result.warnings, std::vector<std::string>{});
}

TEST(Pt3Renumbering, UndefinedSampleWarnsAndStandsInForADefinedOne) {
    // Sample 4 does not exist but is called most; sample 1 stands in for it.
    Pt3Spec spec = oneChannel({0xD4, 0x60, 0xD4, 0x60, 0xD1, 0x60, 0x00});
    const Converted c = convert(writePt3(spec).bytes);
    ASSERT_EQ(c.result.status, 0);
    EXPECT_THAT(c.result.warnings,
                Contains("  + WARN: PT3 Err at Sample: Call to undefined object"));
    EXPECT_EQ(c.samples, 2);
    EXPECT_EQ(c.samplePointer(0), c.samplePointer(1));
}

TEST(Pt3Streams, RowsOfOnlyD0CodeAsT1SixEach) {
    const Converted c = convert(writePt3(oneChannel(cat(repeatBytes({0xD0}, 5), {0x00}))).bytes);
    const std::vector<Sym> stream = repeat({T1(6)}, 5) + std::vector<Sym>{T1(10)};
    EXPECT_EQ(decodeAt(c, c.streamPointer(0), stream), stream);
}

TEST(Pt3Streams, StreamWithoutEndIsCutAfter64RowsAndStillEnds) {
    const Pt3Module m = writePt3(oneChannel(repeatBytes({0xD0}, 70)));
    const Converted c = convert(m.bytes);
    const std::vector<Sym> stream = repeat({T1(6)}, 64) + std::vector<Sym>{T1(10)};
    EXPECT_EQ(decodeAt(c, c.streamPointer(0), stream), stream);
    // Six rows of the module are not part of the object, which the address check reports.
    EXPECT_THAT(c.result.warnings, Contains("  + WARN: Address error at: " +
                                            ayvex::hex4(m.streamAt[0][0]) + " size : 0040"));
}

TEST(Pt3Streams, FullPatternKeepsItsOwnEnd) {
    const Converted c = convert(writePt3(oneChannel(cat(repeatBytes({0xD0}, 64), {0x00}))).bytes);
    const std::vector<Sym> stream = repeat({T1(6)}, 64) + std::vector<Sym>{T1(10)};
    EXPECT_EQ(decodeAt(c, c.streamPointer(0), stream), stream);
    EXPECT_EQ(c.result.warnings, std::vector<std::string>{});
}

TEST(Pt3Streams, RowLengthSetBySkipCountsTowardsTheCut) {
    // With rows four long, sixteen rows fill the pattern.
    const Converted c =
        convert(writePt3(oneChannel(cat({0xB1, 0x04}, repeatBytes({0xD0}, 20)))).bytes);
    const std::vector<Sym> stream = std::vector<Sym>{T1(2), T0((4 - 66) ^ 0x87)} +
                                    repeat({T1(6)}, 16) + std::vector<Sym>{T1(10)};
    EXPECT_EQ(decodeAt(c, c.streamPointer(0), stream), stream);
}

struct CommandCase {
    std::vector<std::uint8_t> row; // the channel's bytes before its 0x00
    std::vector<Sym> codes;        // the stream's codes before T1(10)
};

void PrintTo(const CommandCase& c, std::ostream* out) {
    for (std::uint8_t b : c.row)
        *out << ayvex::hex2(b) << ' ';
}

class Pt3Commands : public testing::TestWithParam<CommandCase> {};

TEST_P(Pt3Commands, CodeAsTheirClasses) {
    // Every sample and ornament a row calls is its only use, so it becomes number 0.
    Pt3Spec spec = oneChannel(cat(GetParam().row, {0x00}));
    for (int o = 0; o <= 3; ++o)
        spec.ornaments[o] = plainOrnament();
    const Converted c = convert(writePt3(spec).bytes);
    const std::vector<Sym> stream = GetParam().codes + std::vector<Sym>{T1(10)};
    EXPECT_EQ(decodeAt(c, c.streamPointer(0), stream), stream);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Pt3Commands,
    testing::Values(
        CommandCase{{0x10, 0x02, 0xD0}, {T1(17), T1(0), T1(6)}},
        CommandCase{
            {0x1E, 0x01, 0x20, 0x02, 0xD0},
            {T1(22), T0((1 - 66) ^ 0xF8), T0((0x20 ^ 0x70) - 41), T2((14 ^ 13) - 1), T1(0), T1(6)}},
        CommandCase{{0x18, 0x00, 0x40, 0x02, 0xD0},
                    {T1(9), T0(0x40), T2((8 ^ 13) - 1), T1(0), T1(6)}},
        CommandCase{{0x25, 0xD0}, {T1(11), T1((5 ^ 7) - 7), T1(6)}},
        CommandCase{{0x3F, 0xD0}, {T1(11), T1((0x1F ^ 7) - 7), T1(6)}},
        CommandCase{{0x43, 0xD0}, {T1(8), T2(0), T1(6)}}, CommandCase{{0xAF}, {T1(0), T3(0x5F)}},
        CommandCase{{0xB0, 0xD0}, {T1(13), T1(6)}},
        CommandCase{{0xB1, 0x02, 0xD0}, {T1(2), T0((2 - 66) ^ 0x87), T1(6)}},
        CommandCase{{0xB2, 0x00, 0x10, 0xD0}, {T1(5), T0(0x10), T2((1 ^ 13) - 1), T1(6)}},
        CommandCase{{0xBF, 0x02, 0x00, 0xD0},
                    {T1(21), T0((2 - 66) ^ 0xF8), T0((0 ^ 0x70) - 41), T2((14 ^ 13) - 1), T1(6)}},
        CommandCase{{0xC0}, {T1(12)}}, CommandCase{{0xC1, 0xD0}, {T1(1), T1(0x0E), T1(6)}},
        CommandCase{{0xCF, 0xD0}, {T1(1), T1(0x00), T1(6)}},
        CommandCase{{0xD1, 0xD0}, {T1(3), T1(0), T1(6)}},
        CommandCase{{0xF2, 0x02, 0xD0}, {T1(4), T2(0), T1(0), T1(6)}},
        // Effects: the symbol in the command's place, the parameters after the row's end.
        CommandCase{{0x01, 0x60, 1, 0xFD, 0xFF}, {T1(14), T1(0), T3(0x10), T0((0xFD - 70) ^ 0x84)}},
        CommandCase{{0x01, 0x60, 2, 0xFD, 0xFF},
                    {T1(19), T1(0), T3(0x10), T0((2 - 71) ^ 0x86), T0((0xFD ^ 0x6B) - 35),
                     T0((0xFF ^ 0x87) - 64)}},
        CommandCase{{0x01, 0x60, 1, 0x2C, 0x01},
                    {T1(19), T1(0), T3(0x10), T0((1 - 71) ^ 0x86), T0((0x2C ^ 0x6B) - 35),
                     T0((0x01 ^ 0x87) - 64)}},
        CommandCase{{0x02, 0x60, 1, 9, 9, 0x80, 0xFF},
                    {T1(15), T1(0), T3(0x10), T0((0x80 - 70) ^ 0x84)}},
        CommandCase{{0x02, 0x60, 1, 9, 9, 0x7F, 0xFF},
                    {T1(25), T1(0), T3(0x10), T0((1 - 71) ^ 0x86), T0((0x7F ^ 0x6B) - 35),
                     T0((0xFF ^ 0x87) - 64)}},
        CommandCase{{0x08, 0xD0, 1, 0x10, 0x00}, {T1(20), T1(6), T0((0x10 - 70) ^ 0x84)}},
        CommandCase{
            {0x08, 0xD0, 3, 0x10, 0x00},
            {T1(24), T1(6), T0((3 - 71) ^ 0x86), T0((0x10 ^ 0x6B) - 35), T0((0 ^ 0x87) - 64)}},
        CommandCase{{0x03, 0xD0, 0x05}, {T1(23), T1(6), T0((5 - 66) ^ 0xF8)}},
        CommandCase{{0x04, 0xD0, 0x07}, {T1(16), T1(6), T0((7 - 66) ^ 0xF8)}},
        CommandCase{{0x05, 0xD0, 2, 3}, {T1(18), T1(6), T2((2 ^ 1) - 1), T2((3 ^ 1) - 1)}},
        CommandCase{{0x09, 0xD0, 6}, {T1(7), T1(6), T0((6 - 68) ^ 0x87)}},
        // Commands of a row keep their order; the effect's symbol stays in its place.
        CommandCase{{0xC5, 0x09, 0x25, 0x60, 6},
                    {T1(1), T1(~0xC5 & 0x0F), T1(7), T1(11), T1((5 ^ 7) - 7), T1(0), T3(0x10),
                     T0((6 - 68) ^ 0x87)}}));

TEST(Pt3Streams, SecondEffectOfARowIsDroppedAndTheFirstKeepsItsParameters) {
    // Parameters follow the row last effect first: the tempo's byte, then the glide's three.
    const Converted c =
        convert(writePt3(oneChannel({0x01, 0x09, 0x60, 6, 1, 0xFD, 0xFF, 0xD0, 0x00})).bytes);
    const std::vector<Sym> stream{T1(14), T1(0), T3(0x10), T0((0xFD - 70) ^ 0x84), T1(6), T1(10)};
    EXPECT_EQ(decodeAt(c, c.streamPointer(0), stream), stream);
    EXPECT_EQ(c.result.warnings, std::vector<std::string>{"  + WARN: PT3 too many AddCmds"});
}

TEST(Pt3Samples, LinesCodeTheirFlagsAndTheLoopPlace) {
    Pt3Spec spec = oneChannel({0xD1, 0x60, 0x00});
    spec.samples[1] = Pt3Sample{2,
                                {{0x00, 0x0F, 0x00, 0x00},   // nothing but b1
                                 {0x02, 0x0C, 0x05, 0x00},   // b0 and a small tone
                                 {0x00, 0x0A, 0x00, 0x01},   // tone 256
                                 {0x81, 0x0B, 0x80, 0xFF},   // tone -128 is still small
                                 {0x00, 0x0B, 0x7F, 0xFF}}}; // tone -129 is not
    const Converted c = convert(writePt3(spec).bytes);
    const std::vector<Sym> lines01{T2(0),
                                   T0((0x0F - 76) ^ 7), //
                                   T2(3),
                                   T0((0x0C - 76) ^ 7),
                                   T0((2 ^ 0x66) - 32), //
                                   T0((5 ^ 0x79) - 64)};
    const std::vector<Sym> lines234{T2(4),
                                    T0((0x0A - 76) ^ 7),
                                    T0((0 - 65) ^ 0xF8),
                                    T0((1 - 66) ^ 0x87), //
                                    T2(3),
                                    T0((0x0B - 76) ^ 7),
                                    T0((0x81 ^ 0x66) - 32), //
                                    T0((0x80 ^ 0x79) - 64), //
                                    T2(4),
                                    T0((0x0B - 76) ^ 7),
                                    T0((0x7F - 65) ^ 0xF8),
                                    T0((0xFF - 66) ^ 0x87)};
    const std::uint32_t loop = codedBits(shippedTables(), lines01);
    const std::vector<Sym> sample =
        lines01 + lines234 +
        std::vector<Sym>{T2(6), T2(int(loop & 7)), T0(int(loop / 8 - 71) ^ 0xFE)};
    EXPECT_EQ(decodeAt(c, c.samplePointer(0), sample), sample);
}

TEST(Pt3Samples, SampleWithoutLinesWarnsAndCodesItsEnd) {
    Pt3Spec spec = oneChannel({0xD1, 0x60, 0x00});
    spec.samples[1] = Pt3Sample{0, {}};
    const Pt3Module m = writePt3(spec);
    const Converted c = convert(m.bytes);
    const std::vector<Sym> sample{T2(6), T2(0), T0((0 - 71) ^ 0xFE)};
    EXPECT_EQ(decodeAt(c, c.samplePointer(0), sample), sample);
    EXPECT_THAT(c.result.warnings, Contains("  + WARN: PT3 samplelen=0 error, Addr=" +
                                            ayvex::hex4(m.sampleAt.at(1)) + "h"));
}

struct WarningCase {
    std::vector<std::uint8_t> channel;
    std::string text; // "@" stands for the hexadecimal stream offset plus `offset`
    std::uint32_t offset;
};

void PrintTo(const WarningCase& c, std::ostream* out) {
    *out << c.text;
}

class Pt3Warnings : public testing::TestWithParam<WarningCase> {};

TEST_P(Pt3Warnings, NameTheirPlaceAndDoNotStopTheConversion) {
    const Pt3Module m = writePt3(oneChannel(GetParam().channel));
    const Converted c = convert(m.bytes);
    std::string text = GetParam().text;
    const auto at = text.find('@');
    if (at != std::string::npos)
        text.replace(at, 1, ayvex::hex4(m.streamAt[0][0] + GetParam().offset));
    EXPECT_EQ(c.result.warnings, std::vector<std::string>{text});
}

INSTANTIATE_TEST_SUITE_P(
    Table, Pt3Warnings,
    testing::Values(
        WarningCase{{0x06, 0xD0, 0x00}, "  + WARN: PT3 command error, Addr=@h data=06h", 0},
        WarningCase{
            {0x10, 0x03, 0xD0, 0x00}, "  + WARN: PT3 Smp not even or >31, Addr=@h data=03h", 1},
        WarningCase{
            {0x10, 0x42, 0xD0, 0x00}, "  + WARN: PT3 Smp not even or >31, Addr=@h data=42h", 1},
        WarningCase{{0xC1, 0x00}, "  + WARN: PT3 - badly 0x00 cmd", 0},
        WarningCase{{0x01, 0x60, 0, 5, 0, 0x00}, "  + WARN: PT3 delay=0??, Addr=@h", 2},
        WarningCase{{0x05, 0x60, 16, 1, 0x00}, "  + WARN: PT3 VolTime>15, Addr=@h", 2}));

TEST(Pt3Refusals, MalformedModulesAreRefusedWithAReason) {
    const Pt3Module good = writePt3(oneChannel({0xD1, 0x60, 0x00}));
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto mutate = [&](const char* what, auto change) {
        std::vector<std::uint8_t> b = good.bytes;
        change(b);
        cases.push_back({what, b});
    };
    auto setWord = [](std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
        b[at] = std::uint8_t(v);
        b[at + 1] = std::uint8_t(v >> 8);
    };
    cases.push_back({"empty", {}});
    mutate("header cut", [](auto& b) { b.resize(200); });
    mutate("position list cut", [](auto& b) { b.resize(201); });
    mutate("no positions", [](auto& b) { b[101] = 0; });
    mutate("loop past the positions", [](auto& b) { b[102] = 1; });
    mutate("pattern table past the end", [&](auto& b) { setWord(b, 103, 0xFFF0); });
    mutate("stream past the end",
           [&](auto& b) { setWord(b, good.streamAt[0][0] - 6u, std::uint16_t(b.size())); });
    mutate("stream without end at the module's end", [&](auto& b) {
        b.back() = 0xD0; // the ornament's step becomes a row, and nothing follows
        setWord(b, good.streamAt[0][0] - 6u, std::uint16_t(b.size() - 1));
    });
    mutate("sample past the end",
           [&](auto& b) { setWord(b, 105 + 2, std::uint16_t(b.size() - 3)); });
    mutate("ornament past the end", [&](auto& b) { setWord(b, 169, std::uint16_t(b.size() - 1)); });
    mutate("sample loop beyond its lines", [&](auto& b) { b[good.sampleAt.at(1)] = 2; });
    mutate("calls samples but has none", [&](auto& b) { setWord(b, 105 + 2, 0); });
    for (const Case& c : cases) {
        const Pt3Conversion result = convertPt3(c.bytes, shippedTables());
        EXPECT_EQ(result.status, ayvex::kPt3Rejected) << c.what;
        EXPECT_NE(result.error, "") << c.what;
        EXPECT_EQ(result.lines, std::vector<int>{}) << c.what;
    }
}

TEST(Pt3Refusals, OffsetsBeyond64KAreNeverRead) {
    // The stream runs on from 0xFFF0 into bytes past 64 KB that the caller did hand over.
    Pt3Module m = writePt3(oneChannel({0xD0, 0x00}));
    m.bytes.resize(0x10000 + 64, 0xD0);
    m.bytes[m.streamAt[0][0] - 6u] = 0xF0;
    m.bytes[m.streamAt[0][0] - 5u] = 0xFF;
    const Pt3Conversion result = convertPt3(m.bytes, shippedTables());
    EXPECT_EQ(result.status, ayvex::kPt3Rejected);
    EXPECT_THAT(result.error, HasSubstr("past the end"));
}

TEST(Pt3Refusals, SongThatWouldOverflowTheCompilersBufferIsRefused) {
    // Codes of 32 bits for every symbol make each one-byte note eight bytes long.
    ayvex::CodeTables wide;
    for (auto& table : wide)
        for (std::size_t s = 0; s < 256; ++s) {
            table.length[s] = 32;
            table.code[s] = std::uint32_t(s);
        }
    const std::vector<std::uint8_t> notes = cat(repeatBytes({0x60}, 64), {0x00});
    Pt3Spec spec = oneChannel(notes);
    spec.patterns[0].channels = {notes, notes, notes};
    const Pt3Conversion result = convertPt3(writePt3(spec).bytes, wide);
    EXPECT_EQ(result.status, ayvex::kPt3Rejected);
    EXPECT_THAT(result.error, HasSubstr("twice the module"));
}

TEST(Pt3Refusals, SymbolWithoutACodeIsATableFault) {
    ayvex::CodeTables tables = shippedTables();
    tables[3].length[0x10] = 0;
    const Pt3Conversion result = convertPt3(writePt3(oneChannel({0x60, 0x00})).bytes, tables);
    EXPECT_EQ(result.status, ayvex::kPt3TablesUnusable);
    EXPECT_THAT(result.error, HasSubstr("pdata3.bin"));
}

TEST(Pt3RealModules, EveryModuleConvertsIntoASongTheCompilerCanPlace) {
    const auto dir = telmira::test::testdataDir() / "pt3";
    if (!std::filesystem::is_directory(dir))
        GTEST_SKIP() << "no real PT3 modules in " << dir;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        SCOPED_TRACE(entry.path().filename().string());
        const std::string text = telmira::test::readFile(entry.path());
        const std::vector<std::uint8_t> module(text.begin(), text.end());
        const Converted c = convert(module);
        if (c.result.status != 0)
            continue;
        ++count;
        EXPECT_EQ(std::vector<int>(c.song.data.begin() + 2, c.song.data.begin() + 6),
                  std::vector<int>(module.begin() + 99, module.begin() + 103));
        EXPECT_LT(c.song.length, module.size());
        for (std::size_t at : c.song.relocations)
            EXPECT_LT(c.song.word(at), c.song.length);
        const std::uint16_t positions = c.song.word(10);
        EXPECT_TRUE(std::equal(module.begin() + 201, module.begin() + 201 + module[101],
                               c.song.data.begin() + positions));
        EXPECT_EQ(c.song.data[positions + module[101]], 255);
        // Every channel stream decodes up to its end code (each starts a row).
        for (int slot = 0; slot < c.streams; ++slot) {
            if (c.streamPointer(slot) != 0) {
                EXPECT_NE(decodeAt(c, c.streamPointer(slot), {T1(0)}).at(0).value, -1);
            }
        }
    }
    EXPECT_GT(count, 0);
}
