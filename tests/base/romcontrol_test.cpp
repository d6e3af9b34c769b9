#include "tests/base/demorom.h"

#include "base/crc.h"
#include "base/romcontrol.h"

#include <gtest/gtest.h>

#include <functional>

using namespace telmira;
using namespace telmira::rom;
using telmira::test::buildDemo;
using telmira::test::demoSource;

namespace {

const XteaKey kProjectKey = {0x44556677, 0x00112233, 0x8899AABB, 0xCCDDEEFF};
const char* const kProjectKeyText = "CCDDEEFF8899aabb0011223344556677";

ControlStructureResult walk(const RomImage& image, const XteaKey& key = firmware::kDefaultDataKey,
                            unsigned rowsNeeded = 1) {
    return readControlStructure(image, *controlStructureOffset(image), key, rowsNeeded);
}

} // namespace

TEST(RomKey, ProjectKeyIsReadAsOneHexadecimalNumberMostSignificantGroupFirst) {
    struct Case {
        std::string text;
        std::optional<XteaKey> key;
    };
    const Case cases[] = {
        {kProjectKeyText, kProjectKey},
        {"  CCDDEEFF8899AABB0011223344556677 \t", kProjectKey},
        // A group that is not hexadecimal gives 0; the others keep their value.
        {"CCDDEEFF8899AABBxx11223344556677", XteaKey{0x44556677, 0, 0x8899AABB, 0xCCDDEEFF}},
        {"CCDDEEFF8899AABB 0011223344556677", std::nullopt}, // 33 characters
        {"CCDDEEFF8899AABB001122334455667", std::nullopt},   // 31 characters
        {"", std::nullopt},
        // Characters, not bytes, are counted: eight Cyrillic letters make one zero group.
        {"ЖЖЖЖЖЖЖЖ8899AABB0011223344556677", XteaKey{0x44556677, 0x00112233, 0x8899AABB, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseProjectKey(c.text), c.key) << c.text;

    EXPECT_FALSE(chooseDataKey("1234").fromProject);
    EXPECT_EQ(chooseDataKey("1234").words, firmware::kDefaultDataKey);
    EXPECT_TRUE(chooseDataKey(kProjectKeyText).fromProject);
}

TEST(RomImageTest, DisguisedPointerRoundTripsAndUsesTheFamilyConstants) {
    // Bank 1 XOR 0xA7 = 0xA6; 0x7800 + 0x3C5E = 0xB45E.
    EXPECT_EQ(disguisedPointer(0x17800), (std::array<std::uint8_t, 3>{0xA6, 0xB4, 0x5E}));
    // The 16-bit offset wraps: address 0xC400 is stored as 0x005E.
    EXPECT_EQ(disguisedPointer(0x0C400), (std::array<std::uint8_t, 3>{0xA7, 0x00, 0x5E}));
    RomImage image(std::vector<std::uint8_t>(kSmallImageSize, 0));
    for (std::uint32_t offset : {0x00000u, 0x17800u, 0x3FFFFu, 0x0C400u}) {
        image.write(kPointerPosition, disguisedPointer(offset));
        EXPECT_EQ(controlStructureOffset(image), offset);
    }
    EXPECT_FALSE(controlStructureOffset(RomImage(std::vector<std::uint8_t>(0x22, 0))));
}

TEST(RomImageTest, AccessOutsideTheImageIsRefused) {
    RomImage image(std::vector<std::uint8_t>(16, 0));
    const std::uint8_t two[2] = {1, 2};
    EXPECT_TRUE(image.write(14, two));
    EXPECT_FALSE(image.write(15, two));
    EXPECT_FALSE(image.write(~0ull - 1, two));
    EXPECT_EQ(image.wordAt(14), 0x0102);
    EXPECT_FALSE(image.wordAt(15));
    EXPECT_FALSE(image.byteAt(16));
}

TEST(RomChecksum, PlacementAndStoredValue) {
    struct Case {
        std::uint8_t kind;
        std::uint16_t length;
        std::optional<std::uint32_t> end;
    };
    const Case cases[] = {{0, 0x1234, 0x1234},  {1, 0x1234, 0x11234}, {2, 0xFFFE, 0x3FFFE},
                          {3, 0xFFFE, 0x7FFFE}, {4, 0x1234, 0x1234},  {2, 0, std::nullopt}};
    for (const Case& c : cases)
        EXPECT_EQ((ChecksumPlacement{c.kind, c.length}.end()), c.end) << int(c.kind);

    std::vector<std::uint8_t> bytes(kSmallImageSize);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    RomImage image(bytes);
    ASSERT_TRUE(storeChecksum(image, 0x3FFFE));
    const std::uint16_t crc = crc16Xmodem(std::span(bytes).first(0x3FFFE));
    EXPECT_EQ(image.bytes()[0x3FFFE], crc & 0xFF);
    EXPECT_EQ(image.bytes()[0x3FFFF], crc >> 8);
    EXPECT_TRUE(checksumMatches(image, 0x3FFFE));
    EXPECT_FALSE(storeChecksum(image, 0x3FFFF)); // the high byte would fall outside
}

TEST(RomControlStructure, DemoImagesReadBackIntoTheRecordsTheyWereBuiltFrom) {
    for (const char* name : test::kDemoImages) {
        const mkrom::RomSource source = demoSource(name);
        for (const XteaKey& key : {firmware::kDefaultDataKey, kProjectKey}) {
            const RomImage image = buildDemo(source, key);
            const auto result = walk(image, key, 10);
            ASSERT_TRUE(result.description) << name << ": " << result.error.text;
            EXPECT_EQ(result.description->records, source.records) << name;
            EXPECT_EQ(result.description->structureOffset, *source.structureOffset);
            // Under the other key the structure is noise.
            const XteaKey other = key == kProjectKey ? firmware::kDefaultDataKey : kProjectKey;
            EXPECT_FALSE(walk(image, other).description) << name;
        }
    }
}

TEST(RomControlStructure, OldStyleDemoImageDescription) {
    const RomImage image = buildDemo(demoSource("korv28-256"));
    const auto result = walk(image);
    ASSERT_TRUE(result.description);
    const RomDescription& rom = *result.description;

    EXPECT_EQ(rom.writeCursor, 0x19000u);
    EXPECT_EQ(rom.freeRuns[0], FreeRun{});
    EXPECT_EQ(rom.freeRuns[1], (FreeRun{0x19000, 0x1A000}));
    EXPECT_EQ(rom.freeRuns[2], (FreeRun{0x20000, 0x2A000}));
    EXPECT_EQ(rom.freeRuns[3], (FreeRun{0x30000, 0x3A000}));
    EXPECT_EQ(rom.freeRuns[4], FreeRun{});
    EXPECT_EQ(rom.melodyCapacity(), 4u * (0xFFF0 - 0xA000));
    EXPECT_EQ(rom.splash, (SplashFields{0, 0x60C0, 0x6100, 64, 2}));
    ASSERT_TRUE(rom.presetTables);
    EXPECT_EQ(rom.presetTables->bits, (TableRef{0x6000, 17}));
    EXPECT_EQ(rom.presetTables->val99, (TableRef{0x6040, 13}));
    EXPECT_EQ(rom.presetTables->valFF, (TableRef{0x6080, 9}));
    EXPECT_EQ(rom.checksum->end(), 0x3FFFEu);
    EXPECT_TRUE(checksumMatches(image, 0x3FFFE));
    EXPECT_EQ(rom.calculator, (CalculatorTables{0x18400, 0x18480, 12}));
    ASSERT_TRUE(rom.keyboard);
    EXPECT_FALSE(rom.keyboard->newStyle);
    EXPECT_EQ(rom.keyboard->rows, 10u);
    EXPECT_EQ(rom.keyboard->functionTable, 0x18000u);
    EXPECT_EQ(rom.keyboard->scanMaskTable, 0x18300u);
}

TEST(RomControlStructure, NewStyleDemoImageDescription) {
    const RomImage image = buildDemo(demoSource("korv28v-512"));
    const auto result = walk(image);
    ASSERT_TRUE(result.description);
    const RomDescription& rom = *result.description;
    ASSERT_TRUE(rom.keyboard);
    EXPECT_TRUE(rom.keyboard->newStyle);
    EXPECT_EQ(rom.keyboard->offsetTable, 0x181C0u);
    EXPECT_EQ(rom.keyboard->driveTable, 0x18280u);
    // The drive base value sits at the scan-mask address, the masks one byte later.
    EXPECT_EQ(rom.keyboard->driveBase, 0x40);
    EXPECT_EQ(rom.keyboard->scanMaskTable, 0x18301u);
    EXPECT_EQ(rom.splash, (SplashFields{1, 0x60C0, 0, 0, 0}));
    EXPECT_EQ(rom.freeRuns[7], (FreeRun{0x70000, 0x7A000}));
    EXPECT_EQ(rom.checksum->end(), 0x7FFFEu);
    EXPECT_TRUE(checksumMatches(image, 0x7FFFE));
    EXPECT_EQ(rom.melodyCapacity(), 8u * (0xFFF0 - 0xA000));
}

TEST(RomControlStructure, ReportCarriesTheProjectKeyLineAndErrors) {
    const mkrom::RomSource source = demoSource("korv28-256");
    const RomImage keyed = buildDemo(source, kProjectKey);
    ExportReport report;
    EXPECT_TRUE(readControlStructure(keyed, *source.structureOffset, kProjectKeyText, 1, report));
    EXPECT_EQ(report.lines(),
              std::vector<std::string>{
                  "- Использован индивидуальный ключ проекта для кодирования данных"});

    // A key of 31 characters is no project key: the built-in key is used and fails here.
    ExportReport second;
    EXPECT_FALSE(readControlStructure(keyed, *source.structureOffset,
                                      std::string(kProjectKeyText).substr(1), 1, second));
    ASSERT_EQ(second.entries().size(), 1u);
    EXPECT_TRUE(second.failed());
    EXPECT_EQ(second.lines()[0].rfind("! Error", 0), 0u);
}

namespace {

// One corruption of the korv28 256 KB image: a change of its records or of the plain
// structure bytes, the rows the layouts need, and the report line it must produce.
struct Corruption {
    const char* what;
    std::function<void(std::vector<ControlRecord>&)> records;
    std::function<void(std::vector<std::uint8_t>&)> plain;
    int number;
    const char* text;
    unsigned rowsNeeded = 1;
};

template <typename T> void change(std::vector<ControlRecord>& records, std::function<void(T&)> f) {
    for (ControlRecord& r : records)
        if (auto* typed = std::get_if<T>(&r))
            f(*typed);
}

const char* const kBroken = "ZELSplitToROM: Нарушена структура ПЗУ";
const char* const kBadSize = "ZELSplitToROM: Неверный размер в структуре ПЗУ";

} // namespace

TEST(RomControlStructure, CorruptedStructuresYieldTheirNumberedErrors) {
    const mkrom::RomSource source = demoSource("korv28-256");
    const RomImage good = buildDemo(source);
    const std::vector<Corruption> corruptions = {
        {"zero total length", nullptr, [](auto& p) { p[0] = p[1] = 0; }, 30, kBroken},
        {"total length 1", nullptr, [](auto& p) { p[0] = 0, p[1] = 1; }, 30, kBroken},
        {"record of length 0", nullptr, [](auto& p) { p[2] = 0; }, 33, kBroken},
        {"records longer than the total", nullptr,
         [](auto& p) { p[1] = static_cast<std::uint8_t>(p[1] - 1); }, 33, kBroken},
        {"bank beyond the image",
         [](auto& r) { change<KeyboardRecord>(r, [](auto& k) { k.bankField = 4; }); }, nullptr, 34,
         kBadSize},
        {"user data bank field not 1",
         [](auto& r) { change<UserDataRecord>(r, [](auto& u) { u.bankField = 2; }); }, nullptr, 342,
         "ZELSplitToROM: Can't locate ub_FreeSpace table, try latest ROM Verison"},
        {"first free bank beyond the image",
         [](auto& r) { change<UserDataRecord>(r, [](auto& u) { u.firstBank = 4; }); }, nullptr, 343,
         "ZELSplitToROM: Bad ub_FreeSpace table"},
        {"free run start not below its end",
         [](auto& r) { change<UserDataRecord>(r, [](auto& u) { u.start = u.end; }); }, nullptr, 343,
         "ZELSplitToROM: Bad ub_FreeSpace table"},
        {"melody area in a bank beyond the image",
         [](auto& r) {
             change<MelodyAreasRecord>(r, [](auto& m) { m.areas[5] = {0x1000, 0x2000}; });
         },
         nullptr, 34, kBadSize},
        {"splash lead-in below the image",
         [](auto& r) { change<SplashRecord>(r, [](auto& s) { s.areaStart = 1; }); }, nullptr, 34,
         kBadSize},
        {"defaults revision 1",
         [](auto& r) { change<PresetTablesRecord>(r, [](auto& p) { p.revision = 1; }); }, nullptr,
         34, "ZELSplitToROM:  Illegal defaults revision, try new version ZELPACK.EXE"},
        {"checksum beyond the image",
         [](auto& r) { change<ChecksumRecord>(r, [](auto& c) { c.kind = 3; }); }, nullptr, 34,
         kBadSize},
        {"calculator bank field not 1",
         [](auto& r) { change<CalculatorRecord>(r, [](auto& c) { c.bankField = 0; }); }, nullptr,
         340,
         "ZELSplitToROM: Невозможно вычислить размер таблицы калькулятора, попробуйте последнюю "
         "версию ПЗУ программы Корвел"},
        {"function table format with a low nibble",
         [](auto& r) { change<KeyboardRecord>(r, [](auto& k) { k.format = 0xA1; }); }, nullptr, 31,
         kBroken},
        {"keyboard table crossing the end of the image",
         [](auto& r) {
             change<KeyboardRecord>(r, [](auto& k) {
                 k.bankField = 3;
                 k.returnMaskTable = 0xFF80;
             });
         },
         nullptr, 34, kBadSize},
        {"unknown record type",
         [](auto& r) {
             r.insert(r.begin(), OtherRecord{0x31, {1, 2}});
         },
         nullptr, 32, "ZELSplitToROM: Invalid control structure in ROM, try latest ROM build"},
        {"fewer function rows than the layouts need", nullptr, nullptr, 33,
         "ZELSplitToROM: Неверный размер таблицы функций", 11},
    };
    for (const Corruption& c : corruptions) {
        std::vector<ControlRecord> records = source.records;
        if (c.records)
            c.records(records);
        auto plain = encodeControlStructure(records);
        ASSERT_TRUE(plain) << c.what;
        if (c.plain)
            c.plain(*plain);
        RomImage image = good;
        ASSERT_TRUE(writeControlStructure(image, *source.structureOffset, *plain,
                                          firmware::kDefaultDataKey));
        ExportReport report;
        EXPECT_FALSE(readControlStructure(image, *source.structureOffset, "", c.rowsNeeded, report))
            << c.what;
        EXPECT_EQ(report.lines(), std::vector<std::string>{ExportReport::format(c.number, c.text)})
            << c.what;
    }
}

TEST(RomControlStructure, StructureAtTheVeryEndOfTheImageIsReadWithoutOverrun) {
    struct Case {
        std::vector<std::uint8_t> plain;
        int number;
    };
    const Case cases[] = {
        // The total length reaches past the end of the image.
        {{0, 0x40, 6, 0xF1, 0x80, 0x00, 0xA0, 0x81}, 30},
        // A keyboard record whose fields run past the end of the image.
        {{0, 8, 6, 0xF1, 0x80, 0x00, 0xA0, 0x81}, 33},
    };
    const std::uint32_t offset = kSmallImageSize - 8;
    for (const Case& c : cases) {
        RomImage image(std::vector<std::uint8_t>(kSmallImageSize, 0));
        ASSERT_TRUE(writeControlStructure(image, offset, c.plain, firmware::kDefaultDataKey));
        image.write(kPointerPosition, disguisedPointer(offset));
        const auto result = walk(image);
        EXPECT_FALSE(result.description);
        EXPECT_EQ(result.error.number, c.number);
    }
}

TEST(RomControlStructure, SkippedRecordIsPassedByItsLengthAndShortRecordsDerail) {
    // A splash record of style 2 carries no fields: its declared bytes become the next record.
    const std::vector<std::uint8_t> plain = {0, 10, 4, 0xA2, 0xC0, 0xDE, 4, 0xC0, 0xAA, 0xBB};
    RomImage image(std::vector<std::uint8_t>(kSmallImageSize, 0));
    ASSERT_TRUE(writeControlStructure(image, 0x100, plain, firmware::kDefaultDataKey));
    image.write(kPointerPosition, disguisedPointer(0x100));
    const auto result = walk(image);
    EXPECT_FALSE(result.description);
    // The walk reads C0 DE as a record of 0xC0 bytes, more than the structure holds.
    EXPECT_EQ(result.error.number, 33);

    const std::vector<std::uint8_t> skipped = {0, 10, 4, 0xC1, 0xC0, 0xDE, 4, 0xC0, 0xAA, 0xBB};
    ASSERT_TRUE(writeControlStructure(image, 0x100, skipped, firmware::kDefaultDataKey));
    const auto ok = walk(image);
    ASSERT_TRUE(ok.description) << ok.error.text;
    EXPECT_EQ(ok.description->records,
              (std::vector<ControlRecord>{SkippedRecord{1, {0xC0, 0xDE}},
                                          SkippedRecord{0, {0xAA, 0xBB}}}));
}

TEST(RomSummaryTest, CapacityAndByteSum) {
    const RomImage image = buildDemo(demoSource("korv28-256"));
    const RomSummary summary = summarizeRom(image, "");
    EXPECT_TRUE(summary.structureRead);
    EXPECT_EQ(summary.melodyCapacity, 4u * (0xFFF0 - 0xA000));
    std::uint32_t sum = 0;
    for (std::uint8_t b : image.bytes())
        sum += b;
    EXPECT_EQ(summary.byteSum, sum & 0xFFFF);
    EXPECT_EQ(summarizeRom(image, kProjectKeyText).melodyCapacity, 0u);
}

TEST(RomControlStructure, UserDataAreaStartsInItsFirstFreeBank) {
    const mkrom::RomSource source = demoSource("korv28-256");
    for (std::uint8_t first : {1, 3}) {
        std::vector<ControlRecord> records = source.records;
        for (ControlRecord& r : records)
            if (auto* u = std::get_if<UserDataRecord>(&r))
                u->firstBank = first;
        RomImage image = buildDemo(source);
        ASSERT_TRUE(writeControlStructure(image, *source.structureOffset,
                                          *encodeControlStructure(records),
                                          firmware::kDefaultDataKey));
        const auto result = walk(image);
        ASSERT_TRUE(result.description);
        const RomDescription& rom = *result.description;
        // The cursor and the first run lie in the first free bank; later banks follow whole up
        // to the end address, and a first free bank that is the last one has no runs after it.
        EXPECT_EQ(rom.writeCursor, romOffset(first, 0x9000));
        EXPECT_EQ(rom.freeRuns[first],
                  (FreeRun{romOffset(first, 0x9000), romOffset(first, 0xA000)}));
        for (unsigned bank = 0; bank < 8; ++bank) {
            const FreeRun expected = bank > first && bank <= 3
                                         ? FreeRun{romOffset(bank, 0), romOffset(bank, 0xA000)}
                                     : bank == first ? rom.freeRuns[first]
                                                     : FreeRun{};
            EXPECT_EQ(rom.freeRuns[bank], expected) << int(first) << " " << bank;
        }
    }
}
