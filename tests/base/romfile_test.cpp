#include "tests/base/demorom.h"
#include "tests/common/testpaths.h"

#include "base/romcontrol.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace telmira;
using namespace telmira::rom;
using telmira::test::readFile;
using telmira::test::TempDir;
using telmira::test::writeFile;

namespace {

std::filesystem::path brokenImage(const std::string& kind) {
    return std::filesystem::path(TELMIRA_BROKEN_ROM_DIR) / (kind + ".rom");
}

std::string bytesOf(const RomImage& image) {
    return std::string(image.bytes().begin(), image.bytes().end());
}

} // namespace

TEST(RomFile, BuildLaysOutTheDemoImagesReadableByTheExport) {
    for (const char* name : test::kDemoImages) {
        const auto path = test::demoImagePath(name);
        // The files are what the builder makes from the committed sources.
        EXPECT_EQ(readFile(path), bytesOf(test::buildDemo(test::demoSource(name)))) << name;

        ExportReport report;
        const auto loaded = readRomImage(path, report);
        ASSERT_TRUE(loaded) << name;
        EXPECT_EQ(loaded->structureOffset, 0x17800u);
        EXPECT_EQ(report.lines(),
                  std::vector<std::string>{"- Успешно прочитано из файла ПЗУ... (" +
                                           std::to_string(loaded->image.size()) + " байт)"});
        EXPECT_TRUE(readControlStructure(loaded->image, loaded->structureOffset, "", 10, report));
        EXPECT_FALSE(report.failed()) << name;
    }
}

TEST(RomFile, BrokenImagesYieldTheirNumberedErrorAndAreNotWritten) {
    struct Case {
        std::string kind;
        int number;
        std::string text; // "%" stands for the path
    };
    const Case cases[] = {
        {"bad-size", 3, "Недопустимый размер файла ПЗУ %"},
        {"pointer-past-end", 5, "Ошибка в файле ПЗУ %"},
        {"zero-length", 30, "ZELSplitToROM: Нарушена структура ПЗУ"},
        {"bad-bank", 34, "ZELSplitToROM: Неверный размер в структуре ПЗУ"},
        {"unknown-type", 32,
         "ZELSplitToROM: Invalid control structure in ROM, try latest ROM build"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const auto path = dir / "phone.rom";
        std::filesystem::copy_file(brokenImage(c.kind), path);
        const std::string before = readFile(path);

        ExportReport report;
        std::optional<RomImage> image;
        if (auto loaded = readRomImage(path, report)) {
            readControlStructure(loaded->image, loaded->structureOffset, "", 1, report);
            image = std::move(loaded->image);
        }
        std::string text = c.text;
        if (const auto at = text.find('%'); at != std::string::npos)
            text.replace(at, 1, path.string());
        ASSERT_EQ(report.entries().size(), 2u) << c.kind;
        EXPECT_EQ(report.entries()[0].number, 0) << c.kind;
        EXPECT_EQ(report.lines()[1], ExportReport::format(c.number, text)) << c.kind;

        // The export writes nothing once an error is reported.
        EXPECT_FALSE(writeRomImage(path, image.value_or(RomImage{}), report));
        EXPECT_EQ(report.entries().size(), 2u);
        EXPECT_EQ(readFile(path), before) << c.kind;
    }
}

TEST(RomFile, ReadFailuresBeforeTheImageIsThere) {
    TempDir dir;
    writeFile(dir / "big.rom", std::string(600000, '\0'));
    writeFile(dir / "odd.rom", std::string(300000, '\0'));
    struct Case {
        std::filesystem::path path;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {"! Error1: Ошибка открытия файла ПЗУ "}},
        {dir / "missing.rom",
         {"! Error2: Ошибка открытия файла ПЗУ " + (dir / "missing.rom").string()}},
        {dir.dir(), {"! Error2: Ошибка открытия файла ПЗУ " + dir.dir().string()}},
        {dir / "odd.rom",
         {"- Успешно прочитано из файла ПЗУ... (300000 байт)",
          "! Error3: Недопустимый размер файла ПЗУ " + (dir / "odd.rom").string()}},
        // Never more than 512 KB is read.
        {dir / "big.rom",
         {"- Успешно прочитано из файла ПЗУ... (524288 байт)",
          "! Error3: Недопустимый размер файла ПЗУ " + (dir / "big.rom").string()}},
    };
    for (const Case& c : cases) {
        ExportReport report;
        EXPECT_FALSE(readRomImage(c.path, report)) << c.path;
        EXPECT_EQ(report.lines(), c.lines);
        EXPECT_TRUE(report.failed());
    }
}

TEST(RomFile, WritingBackReplacesTheFileWhole) {
    TempDir dir;
    const auto path = dir / "phone.rom";
    writeFile(path, "old contents");
    std::vector<std::uint8_t> bytes(kSmallImageSize, 0x5A);
    ExportReport report;
    EXPECT_TRUE(writeRomImage(path, RomImage(bytes), report));
    EXPECT_EQ(readFile(path), std::string(kSmallImageSize, 0x5A));
    EXPECT_EQ(report.lines(),
              std::vector<std::string>{"- Предустановленные переменные экспортированы в код ПЗУ"});
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir()), {}), 1);

    ExportReport failed;
    const auto nowhere = dir / "no-such-folder" / "phone.rom";
    EXPECT_FALSE(writeRomImage(nowhere, RomImage(bytes), failed));
    EXPECT_EQ(failed.lines(),
              std::vector<std::string>{"! Error7: ! Ошибка записи в файл ПЗУ " + nowhere.string()});
}

TEST(RomFile, BuilderProgramEnciphersWithAGivenProjectKey) {
    TempDir dir;
    const auto out = dir / "keyed.rom";
    const std::string key = "00112233445566778899AABBCCDDEEFF";
    const std::string command = std::string(TELMIRA_MKROM) + " image " +
                                test::demoSourcePath("korv28v-512").string() + " " + out.string() +
                                " --key " + key;
    ASSERT_EQ(std::system(command.c_str()), 0);

    ExportReport report;
    const auto loaded = readRomImage(out, report);
    ASSERT_TRUE(loaded);
    const auto rom = readControlStructure(loaded->image, loaded->structureOffset, key, 1, report);
    ASSERT_TRUE(rom) << report.lines().back();
    EXPECT_EQ(rom->records, test::demoSource("korv28v-512").records);
    EXPECT_EQ(report.lines()[1],
              "- Использован индивидуальный ключ проекта для кодирования данных");

    // A key that is not 32 hexadecimal digits is refused and nothing is written.
    const std::string bad = std::string(TELMIRA_MKROM) + " image " +
                            test::demoSourcePath("korv28v-512").string() + " " +
                            (dir / "bad.rom").string() + " --key 0011 2>/dev/null";
    EXPECT_NE(std::system(bad.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.rom"));
}
