#include "tests/base/demorom.h"

#include "base/rompresets.h"

#include <gtest/gtest.h>

using namespace telmira;
using namespace telmira::rom;

namespace {

struct Demo {
    RomImage image;
    RomDescription rom;
};

Demo demo(const std::string& name) {
    Demo d{test::buildDemo(test::demoSource(name)), {}};
    auto result = readControlStructure(d.image, *controlStructureOffset(d.image),
                                       firmware::kDefaultDataKey, 1);
    EXPECT_TRUE(result.description);
    d.rom = result.description.value_or(RomDescription{});
    return d;
}

} // namespace

TEST(RomPresets, LooksUpEveryKindOfDefaultsEntry) {
    const Demo d = demo("korv28v-256");
    struct Case {
        std::uint32_t address;
        int value, minimum, maximum;
        std::uint32_t position;
    };
    const Case cases[] = {
        {0x80000000, 0x07, 0, 255, 0x6001}, {0x80000003, 0x04, 0, 255, 0x6007},
        {0x40000000, 5, 1, 8, 0x6040},   // value, limit, minimum
        {0x40000001, 3, 0, 9, 0x6043},   // value, limit with bit 7: no minimum byte
        {0x40000004, 8, 0, 255, 0x604A}, // 0xFE form
        {0x40000006, 0, 0, 1, 0x604D},      {0x20000000, 10, 1, 200, 0x6080},
        {0x20000002, 150, 20, 254, 0x6086}, // value bit 7 in bit 6 of the extra byte
    };
    for (const Case& c : cases) {
        const auto found = lookupDefaultsEntry(d.image, d.rom, c.address);
        ASSERT_TRUE(found.entry) << std::hex << c.address << ": " << found.error.text;
        EXPECT_EQ(found.entry->value, c.value) << std::hex << c.address;
        EXPECT_EQ(found.entry->minimum, c.minimum) << std::hex << c.address;
        EXPECT_EQ(found.entry->maximum, c.maximum) << std::hex << c.address;
        EXPECT_EQ(found.entry->position, c.position) << std::hex << c.address;
    }
}

TEST(RomPresets, LookupErrorsNameTheVariable) {
    Demo d = demo("korv28-256");
    struct Case {
        std::uint32_t address;
        int number;
        std::string text;
    };
    const Case cases[] = {
        {0x80000008, 37, "ZELSplitToROM: Illegal defaults bits ID# 80000008"},
        {0x40000006, 35, "ZELSplitToROM:  Illegal defaults val99 ID# 40000006"},
        {0x20000003, 35, "ZELSplitToROM:  Illegal defaults valFF ID# 20000003"},
    };
    for (const Case& c : cases) {
        const auto found = lookupDefaultsEntry(d.image, d.rom, c.address);
        EXPECT_FALSE(found.entry);
        EXPECT_EQ(found.error.number, c.number);
        EXPECT_EQ(found.error.text, c.text);
    }
    // Broken tables: the bits marker, a val99 entry starting 0xFF, a valFF entry starting 0xFE.
    d.image.putByte(0x6000, 0x00);
    d.image.putByte(0x6040 + 3, 0xFF);
    d.image.putByte(0x6080 + 3, 0xFE);
    EXPECT_EQ(lookupDefaultsEntry(d.image, d.rom, 0x80000000).error.number, 36);
    EXPECT_TRUE(lookupDefaultsEntry(d.image, d.rom, 0x40000000).entry);
    EXPECT_EQ(lookupDefaultsEntry(d.image, d.rom, 0x40000001).error.text,
              "ZELSplitToROM: Структура ПЗУ нарушена");
    EXPECT_EQ(lookupDefaultsEntry(d.image, d.rom, 0x20000001).error.text,
              "ZELSplitToROM:  Структура ПЗУ нарушена");
}

TEST(RomPresets, TablesNearTheEndOfTheImageAreNotOverrun) {
    RomImage image(std::vector<std::uint8_t>(kSmallImageSize, 0x01));
    RomDescription rom;
    // Tables that start at the last byte of bank 0: in an image that ends right after it the
    // entries' further bytes are out of reach and the lookup says the structure is broken.
    rom.presetTables = PresetTables{{0xFFFF, 255}, {0xFFFF, 255}, {0xFFFF, 255}};
    RomImage tiny(std::vector<std::uint8_t>(0x10001, 0x01));
    EXPECT_EQ(lookupDefaultsEntry(tiny, rom, 0x40000000).error.number, 36);
    EXPECT_EQ(lookupDefaultsEntry(tiny, rom, 0x20000000).error.number, 36);
    EXPECT_EQ(lookupDefaultsEntry(tiny, rom, 0x80000000).error.number, 36);
    EXPECT_TRUE(lookupDefaultsEntry(image, rom, 0x40000000).entry);
}

TEST(RomUserData, CursorRunsThroughTheFreeRunsAndReportsOverflowOnce) {
    RomDescription rom;
    rom.freeRuns[1] = {0x1FFFE, 0x20000};
    rom.freeRuns[3] = {0x30000, 0x30001};
    rom.writeCursor = 0x1FFFE;
    RomImage image(std::vector<std::uint8_t>(kSmallImageSize, 0));
    UserDataCursor cursor(rom);
    ExportReport report;
    for (std::uint8_t b : {0x11, 0x22, 0x33})
        EXPECT_TRUE(cursor.put(image, b, report));
    // Exactly full is no overflow.
    EXPECT_FALSE(report.failed());
    EXPECT_EQ(image.bytes()[0x1FFFE], 0x11);
    EXPECT_EQ(image.bytes()[0x1FFFF], 0x22);
    EXPECT_EQ(image.bytes()[0x30000], 0x33);
    EXPECT_FALSE(cursor.put(image, 0x44, report));
    EXPECT_FALSE(cursor.put(image, 0x55, report));
    EXPECT_EQ(report.lines(),
              std::vector<std::string>{"! Error436: ZELSplitToROM: Overflow in user data bytes, "
                                       "try to decrease defaults in project"});
    EXPECT_EQ(image.bytes()[0x30001], 0);

    UserDataCursor none{RomDescription{}};
    EXPECT_FALSE(none.available());
}
