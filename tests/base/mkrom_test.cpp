#include "tests/base/demorom.h"
#include "tests/common/testpaths.h"

#include <gtest/gtest.h>

using namespace telmira;
using namespace telmira::mkrom;

namespace {

const std::string kMinimal = "size 256\n"
                             "structure 0:0x1000\n"
                             "checksum kind=2 length=0xFFFE\n";

} // namespace

TEST(MkromSource, TableEntriesAreEncodedAsTheFirmwareReadsThem) {
    const auto parsed =
        parseRomSourceText(kMinimal + "bits 0x07 0x80\n"
                                      "val99 5 max=8 min=1\n"
                                      "val99 3 max=9\n"
                                      "val99 200 wide\n"
                                      "valff 150 max=254 min=20\n"
                                      "valff 10 max=99\n"
                                      "presets bits=0x100 valff=0x200 val99=0x300\n",
                           ".");
    ASSERT_TRUE(parsed.source) << parsed.error;
    const RomSource& s = *parsed.source;
    EXPECT_EQ(bitsTableBytes(s), (std::vector<std::uint8_t>{0xFE, 0x07, 0, 0x80, 0}));
    EXPECT_EQ(val99TableBytes(s), (std::vector<std::uint8_t>{5, 9, 1, 3, 0x8A, 0xFE, 200}));
    EXPECT_EQ(valFFTableBytes(s), (std::vector<std::uint8_t>{0x16, 0x7F, 0xD4, 10, 100, 0}));
    // The preset record's lengths follow the tables.
    const auto& presets = std::get<rom::PresetTablesRecord>(s.records.back());
    EXPECT_EQ(presets.bits, (rom::TableRef{0x100, 5}));
    EXPECT_EQ(presets.valFF, (rom::TableRef{0x200, 6}));
    EXPECT_EQ(presets.val99, (rom::TableRef{0x300, 7}));
}

TEST(MkromSource, ErrorsNameFileAndLine) {
    test::TempDir dir;
    test::writeFile(dir / "inner.txt", "seed 1\nmelody 0:0x100\n");
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"size 128\n", "demo:1: the size must be 256 or 512"},
        {"size 256\nfrobnicate\n", "demo:2: unknown directive \"frobnicate\""},
        {"size 256\nchecksum kind=2\n", "demo:2: missing length="},
        {"size 256\nuserdata first=1 start=0x1G end=2\n", "demo:2: bad start \"0x1G\""},
        {"size 256\nval99 254 max=5\n", "demo:2: bad value \"254\""},
        {"size 256\nstructure 9:0x100\n", "demo:2: bad bank \"9\""},
        {"size 256\n# only a comment\n", "demo: no structure position given"},
        {"include inner.txt\n", "inner.txt:2: expected bank:start-end, got \"0:0x100\""},
        {"include missing.txt\n", "demo:1: cannot read " + (dir / "missing.txt").string()},
    };
    for (const Case& c : cases) {
        const auto parsed = parseRomSourceText(c.text, dir.dir(), "demo");
        EXPECT_FALSE(parsed.source) << c.text;
        EXPECT_EQ(parsed.error, c.error);
    }
}

TEST(MkromBuilder, RefusesOverlappingOrOutsideRegions) {
    struct Case {
        std::string extra;
        std::string error;
    };
    const Case cases[] = {
        {"calculator calc=0x8000 keys=0x8040\n", "calculator table overlaps key table"},
        {"melody 0:0x0F00-0x1100\n", "melody area 0 overlaps control structure"},
        {"melody 0:0x0000-0x0100\n", "melody area 0 overlaps pointer"},
        {"keyboard old bank=3 function=0xFFF0 rows=15 return=0x100 drive=0x200 scan=0x300 "
         "output=0x400\n",
         "function table lies outside the image"},
        {"melody 5:0x1000-0x2000\n", "melody area 5 lies outside the image"},
    };
    for (const Case& c : cases) {
        const auto parsed = parseRomSourceText(kMinimal + c.extra, ".");
        ASSERT_TRUE(parsed.source) << parsed.error;
        const auto built = buildRom(*parsed.source, firmware::kDefaultDataKey);
        EXPECT_FALSE(built.image) << c.extra;
        EXPECT_EQ(built.error, c.error);
    }
}

TEST(MkromBuilder, BrokenVariants) {
    const RomSource small = test::demoSource("korv28-256");
    const RomSource large = test::demoSource("korv28-512");
    EXPECT_FALSE(buildBrokenRom(large, Breakage::BadBank, firmware::kDefaultDataKey).image);
    const auto badSize = buildBrokenRom(small, Breakage::BadSize, firmware::kDefaultDataKey);
    ASSERT_TRUE(badSize.image);
    EXPECT_EQ(badSize.image->size(), 300000u);
    EXPECT_FALSE(breakageByName("bent"));
    EXPECT_EQ(breakageByName("zero-length"), Breakage::ZeroLength);
}
