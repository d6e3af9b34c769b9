#include "tests/base/demorom.h"

#include "base/romcontrol.h"

#include <gtest/gtest.h>

#include <functional>

using namespace telmira;
using namespace telmira::rom;

TEST(RomPatchLayout, DemoImagesGiveAreasPatchPointsAndChecksumPosition) {
    for (const char* name : test::kDemoImages) {
        const mkrom::RomSource source = test::demoSource(name);
        const RomImage image = test::buildDemo(source);
        const auto result = readPatchLayout(image, firmware::kDefaultDataKey);
        ASSERT_TRUE(result.layout) << name << ": " << result.problem;
        const PatchLayout& layout = *result.layout;
        EXPECT_EQ(layout.checksumPosition, image.size() - 2) << name;
        ASSERT_EQ(layout.patchPoints.size(), 7u);
        for (std::uint8_t type = 0; type < 7; ++type)
            EXPECT_EQ(layout.patchPoints[type].type, type);
        EXPECT_EQ(layout.patchPoints[5], (PatchPoint{5, 0x6207}));
        for (unsigned bank = 0; bank < 8; ++bank)
            EXPECT_EQ(layout.melodyAreas[bank].used(), bank < image.bankCount()) << name;
        EXPECT_EQ(layout.melodyAreas[0], (MelodyArea{0xA000, 0xFFF0}));
        // The two readers agree on where the checksum goes.
        const auto rom =
            readControlStructure(image, layout.structureOffset, firmware::kDefaultDataKey, 1);
        EXPECT_EQ(rom.description->checksum->end(), layout.checksumPosition);
    }
}

TEST(RomPatchLayout, BrokenImages) {
    const mkrom::RomSource source = test::demoSource("korv28-256");
    const RomImage good = test::buildDemo(source);
    struct Case {
        const char* what;
        std::function<void(std::vector<ControlRecord>&)> records;
        std::function<void(std::vector<std::uint8_t>&)> plain;
    };
    const auto removeAll = [](auto tag) {
        return [](std::vector<ControlRecord>& r) {
            std::erase_if(
                r, [](const ControlRecord& x) { return std::holds_alternative<decltype(tag)>(x); });
        };
    };
    const Case cases[] = {
        {"bank-0 melody area unused",
         [](auto& r) {
             for (auto& x : r)
                 if (auto* m = std::get_if<MelodyAreasRecord>(&x))
                     m->areas[0] = {};
         },
         nullptr},
        {"no patch points", removeAll(SkippedRecord{}), nullptr},
        {"no checksum record", removeAll(ChecksumRecord{}), nullptr},
        {"no melody areas", removeAll(MelodyAreasRecord{}), nullptr},
        {"record of length 0", nullptr, [](auto& p) { p[2] = 0; }},
        {"walk not ending at the total length", nullptr, [](auto& p) { p[1] -= 1; }},
        {"melody area beyond the image",
         [](auto& r) {
             for (auto& x : r)
                 if (auto* m = std::get_if<MelodyAreasRecord>(&x))
                     m->areas[6] = {0x0000, 0x1000};
         },
         nullptr},
    };
    for (const Case& c : cases) {
        std::vector<ControlRecord> records = source.records;
        if (c.records)
            c.records(records);
        auto plain = encodeControlStructure(records);
        ASSERT_TRUE(plain);
        if (c.plain)
            c.plain(*plain);
        RomImage image = good;
        ASSERT_TRUE(writeControlStructure(image, *source.structureOffset, *plain,
                                          firmware::kDefaultDataKey));
        const auto result = readPatchLayout(image, firmware::kDefaultDataKey);
        EXPECT_FALSE(result.layout) << c.what;
        EXPECT_FALSE(result.problem.empty()) << c.what;
    }
    RomImage wrongSize(std::vector<std::uint8_t>(300000, 0));
    EXPECT_FALSE(readPatchLayout(wrongSize, firmware::kDefaultDataKey).layout);
}

TEST(RomPatchLayout, StructureIsReencipheredUnchanged) {
    const mkrom::RomSource source = test::demoSource("korv28v-256");
    RomImage image = test::buildDemo(source);
    const RomImage before = image;
    const auto layout = readPatchLayout(image, firmware::kDefaultDataKey).layout;
    ASSERT_TRUE(layout);
    const auto plain = readControlStructureBytes(
        image, layout->structureOffset, layout->structureLength, firmware::kDefaultDataKey);
    ASSERT_TRUE(plain);
    ASSERT_TRUE(
        writeControlStructure(image, layout->structureOffset, *plain, firmware::kDefaultDataKey));
    EXPECT_TRUE(std::equal(image.bytes().begin(), image.bytes().end(), before.bytes().begin()));
}
