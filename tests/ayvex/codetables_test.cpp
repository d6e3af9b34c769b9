// Code tables: the file format's checks, the shipped tables, and the generator that makes them.
#include "ayvex/codetables.h"
#include "tests/ayvex/song.h"
#include "tests/common/testpaths.h"
#include "tools/ayvextables/tablegen.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

using testing::HasSubstr;

namespace {

std::vector<std::uint8_t>
tableBytes(const std::vector<std::pair<int, std::pair<int, std::uint32_t>>>& codes) {
    ayvex::CodeTable table;
    for (const auto& [symbol, code] : codes) {
        table.length[std::size_t(symbol)] = std::uint8_t(code.first);
        table.code[std::size_t(symbol)] = code.second;
    }
    return ayvex::serializeCodeTable(table);
}

} // namespace

TEST(CodeTableFile, DamagedTablesAreRefusedWithTheReason) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    };
    std::vector<std::uint8_t> longer = tableBytes({{0, {1, 0}}, {1, {1, 1}}});
    longer.push_back(0);
    const std::vector<Case> cases{
        {"short", std::vector<std::uint8_t>(1279), "1279 bytes"},
        {"long", longer, "1281 bytes"},
        {"33 bits", tableBytes({{7, {33, 0}}}), "33 bits"},
        {"code wider than its length", tableBytes({{0, {2, 4}}}), "wider"},
        {"one code begins another", tableBytes({{0, {1, 1}}, {1, {3, 0b101}}}), "begins"},
        {"two equal codes", tableBytes({{0, {2, 1}}, {1, {2, 1}}}), "begins"},
    };
    for (const Case& c : cases) {
        ayvex::CodeTable table;
        std::string error;
        EXPECT_FALSE(ayvex::parseCodeTable(c.bytes, table, error)) << c.what;
        EXPECT_THAT(error, HasSubstr(c.reason)) << c.what;
    }
    ayvex::CodeTable table;
    std::string error;
    EXPECT_TRUE(
        ayvex::parseCodeTable(tableBytes({{0, {1, 0}}, {5, {2, 1}}, {9, {2, 3}}}), table, error))
        << error;
    EXPECT_EQ(table.length[5], 2);
    EXPECT_EQ(table.code[9], 3u);
}

TEST(ShippedCodeTables, EverySymbolTheCoderCanAskForHasACodeOfAtMost32Bits) {
    const ayvex::CodeTables& tables = ayvextest::shippedTables();
    for (std::size_t t = 0; t < ayvex::kTableCount; ++t) {
        const std::size_t inUse = ayvex::symbolsInUse(ayvex::Table(t));
        for (std::size_t s = 0; s < 256; ++s) {
            if (s < inUse) {
                EXPECT_GT(tables[t].length[s], 0) << "table " << t << " symbol " << s;
            }
            EXPECT_LE(tables[t].length[s], 32) << "table " << t << " symbol " << s;
        }
    }
}

TEST(ShippedCodeTables, AreWhatTheGeneratorMakesFromTheRealModules) {
    // The tables were made from the modules data/ayvex/modules.txt names; modules added to the
    // outside folder later do not count until the tables are rebuilt with them.
    const auto source = telmira::test::testdataDir() / "pt3";
    telmira::test::TempDir chosen;
    std::istringstream names(telmira::test::readFile(std::filesystem::path(TELMIRA_SOURCE_DIR) /
                                                     "data/ayvex/modules.txt"));
    for (std::string name; std::getline(names, name);) {
        if (name.empty())
            continue;
        if (!std::filesystem::is_regular_file(source / name))
            GTEST_SKIP() << "real PT3 module " << name << " is not in " << source;
        std::filesystem::copy_file(source / name, chosen / name);
    }
    const auto dir = chosen.dir();
    ayvex::SymbolCounts counts{};
    std::vector<std::string> used;
    std::vector<std::string> skipped;
    std::string error;
    ASSERT_TRUE(ayvextables::countModules(dir, counts, used, skipped, error)) << error;
    EXPECT_EQ(skipped, std::vector<std::string>{});
    const ayvex::CodeTables made = ayvextables::buildCodeTables(counts);
    for (std::size_t t = 0; t < ayvex::kTableCount; ++t)
        EXPECT_EQ(ayvex::serializeCodeTable(made[t]),
                  ayvex::serializeCodeTable(ayvextest::shippedTables()[t]))
            << ayvex::codeTableFileName(t) << ": run ayvextables to rebuild the shipped tables";
}

TEST(TableGenerator, SkewedCountsStayWithin32BitsAndKeepEverySymbol) {
    // Fibonacci counts make the plain Huffman tree as deep as there are symbols.
    std::array<std::uint64_t, 256> counts{};
    std::uint64_t a = 1;
    std::uint64_t b = 1;
    for (std::size_t s = 0; s < 60; ++s) {
        counts[s] = a;
        const std::uint64_t next = a + b;
        a = b;
        b = next;
    }
    const auto lengths = ayvextables::huffmanLengths(counts, 32);
    for (std::size_t s = 0; s < 256; ++s) {
        if (s < 60) {
            EXPECT_GE(lengths[s], 1) << s;
            EXPECT_LE(lengths[s], 32) << s;
        } else {
            EXPECT_EQ(lengths[s], 0) << s;
        }
    }
    const auto unlimited = ayvextables::huffmanLengths(counts, 255);
    EXPECT_GT(*std::max_element(unlimited.begin(), unlimited.end()), 32);
    // The codes are a prefix code the library accepts, and frequent symbols are not longer.
    const ayvex::CodeTable table = ayvextables::canonicalCodes(lengths);
    ayvex::CodeTable parsed;
    std::string error;
    EXPECT_TRUE(ayvex::parseCodeTable(ayvex::serializeCodeTable(table), parsed, error)) << error;
    for (std::size_t s = 1; s < 60; ++s)
        EXPECT_LE(lengths[s], lengths[s - 1]) << s;
}

TEST(TableGenerator, CanonicalCodesPutTheirFirstBitInBitZero) {
    std::array<std::uint8_t, 256> lengths{};
    lengths[10] = 1; // 0
    lengths[11] = 2; // 10
    lengths[12] = 3; // 110
    lengths[13] = 3; // 111
    const ayvex::CodeTable table = ayvextables::canonicalCodes(lengths);
    EXPECT_EQ(table.code[10], 0b0u);
    EXPECT_EQ(table.code[11], 0b01u);
    EXPECT_EQ(table.code[12], 0b011u);
    EXPECT_EQ(table.code[13], 0b111u);
}
