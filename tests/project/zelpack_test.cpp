#include "project/zelpack.h"

#include "base/displaycodec.h"
#include "base/firmware.h"
#include "tests/base/demorom.h"
#include "tests/common/testpaths.h"
#include "tests/project/exportfixtures.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace telmira;
using namespace telmira::test;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<TMyMemIniFile> demoProject() {
    return iniFromText(readFile(fs::path(TELMIRA_SOURCE_DIR) / "data/demo/demo.zel.txt"),
                       "demo.zel");
}

// The demo project made for the old-style phone: its description, and the packed layout
// (which old tables cannot hold) replaced by an empty one.
std::unique_ptr<TMyMemIniFile> oldStyleProject() {
    auto project = demoProject();
    project->WriteString("Project", "DefFile", "korv28.def");
    project->WriteString("Project", "DefName", "Корвел 28 Талви");
    project->ReplaceSection("Layout1", {"Name=Раскладка 1", "Type=0", "ColCount=1", "RowCount=1"});
    project->ReplaceSection("Layout1.FixedLines", {});
    return project;
}

QString str(const fs::path& path) {
    return QString::fromStdString(path.string());
}

struct Export {
    TempDir dir;
    fs::path rom;
    rom::ExportReport report;
    ZelPackResult result;
    std::string before;

    Export(const SettingsFile& project, const std::string& description, const rom::RomImage& image,
           const std::string& romName = "image.rom") {
        rom = dir / romName;
        writeFile(rom, std::string(image.bytes().begin(), image.bytes().end()));
        before = readFile(rom);
        run(project, description);
    }
    void run(const SettingsFile& project, const std::string& description) {
        PhoneDescription empty;
        empty.Adopt(nullptr, "none.def", "none");
        result = ZelPack(project, "demo.zel",
                         description.empty() ? std::move(empty) : demoDescription(description),
                         str(rom), report);
    }
    rom::RomImage image() const { return readImage(rom); }
    bool untouched() const { return readFile(rom) == before; }
    std::string lines() const {
        std::string out;
        for (const std::string& line : report.lines())
            out += line + "\n";
        return out;
    }
};

// The tables of layouts 0 and 1 (the demo's) and of the empty layouts 2..7, read back through
// the control structure of the exported image.
void expectDemoKeyboard(const rom::RomImage& image, bool newStyle) {
    const rom::RomDescription rom = readDescription(image, 9);
    ASSERT_TRUE(rom.keyboard && rom.calculator);
    const rom::KeyboardTables& k = *rom.keyboard;
    EXPECT_EQ(k.newStyle, newStyle);
    const auto at = [&](std::uint32_t offset, std::size_t n) { return bytesAt(image, offset, n); };

    // Function table, 9 rows: layout 0's lines in column 0, layout 1's (new style) in column 1.
    Bytes function(9 * 16, 0);
    for (unsigned q = 0; q < 8; ++q)
        function[2 * q] = 0xFE;
    const auto put = [&](unsigned row, unsigned q, unsigned mask) {
        function[row * 16 + 2 * q] = static_cast<std::uint8_t>(mask >> 8);
        function[row * 16 + 2 * q + 1] = static_cast<std::uint8_t>(mask);
    };
    put(1, 0, 0x0010);
    put(2, 0, 0x0020);
    put(3, 0, 0x0040);
    put(4, 0, 0x0080);
    put(5, 0, 0x6000);
    put(8, 0, 0x8000);
    if (newStyle) {
        put(0, 1, 0xFE83);
        put(1, 1, 0xFEFF);
        put(2, 1, 0x0020);
        put(3, 1, 0xFFFF);
        put(6, 1, 0x0040);
    }
    EXPECT_EQ(at(k.functionTable, 9 * 16), function);

    Bytes scan(16, 0), output(16, 0);
    scan[0] = 0x1F;
    output[0] = 0x7F;
    output[1] = 0xD0;
    if (newStyle) {
        scan[3] = 0x1E;
        output[3] = 0x5E;
    }
    EXPECT_EQ(at(k.scanMaskTable, 16), scan);
    EXPECT_EQ(at(k.outputMaskTable, 16), output);

    Bytes keys(512, 0xFF);
    const Bytes layout0 = {0x01, 0x02, 0x03, 0x10, 0x04, 0x05, 0x06, 0x11, 0x07, 0x08,
                           0x09, 0x12, 0x0A, 0x00, 0x0B, 0x13, 0x14, 0x15, 0x16, 0x17};
    std::copy(layout0.begin(), layout0.end(), keys.begin());
    if (newStyle) {
        const Bytes layout1 = {0x1C, 0x1D, 0x1E, 0x18, 0x19, 0x1A, 0x1B, 0x16, 0x17, 0x00};
        std::copy(layout1.begin(), layout1.end(), keys.begin() + 64);
    }
    EXPECT_EQ(at(rom.calculator->keyTable, 512), keys);
    // Layout 0's calculator row; the other layouts use no calculator key.
    EXPECT_EQ(at(rom.calculator->calculatorTable, 24),
              (Bytes{0x10, 0x11, 0x0A, 0xFF, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));

    if (newStyle) {
        // Return masks (2 bytes by slot); offsets with the return counts (2 bytes by slot).
        const Bytes returns0 = {0, 0, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0, 0x0F,
                                0, 0, 0, 0,    0, 0,    0, 0,    0, 0,    0, 0};
        const Bytes returns1 = {0, 0, 0, 0x01, 0, 0x03, 0, 0x07, 0, 0x0F, 0, 0,
                                0, 0, 0, 0,    0, 0,    0, 0,    0, 0,    0, 0};
        EXPECT_EQ(at(k.returnMaskTable, 24), returns0);
        EXPECT_EQ(at(k.returnMaskTable + 24, 24), returns1);
        const Bytes offsets0 = {0x10, 0, 0,    0, 4,    0, 8,    0, 12,   0, 0x90, 0,
                                0x10, 0, 0x10, 0, 0x10, 0, 0x10, 0, 0x10, 0, 0x10, 0};
        const Bytes offsets1 = {6, 0, 0, 0, 1, 0, 3, 0, 0x86, 0, 6, 0,
                                6, 0, 6, 0, 6, 0, 6, 0, 6,    0, 6, 0};
        EXPECT_EQ(at(k.offsetTable, 24), offsets0);
        EXPECT_EQ(at(k.offsetTable + 24, 24), offsets1);
        // An empty layout: one scan row, the end mark at slot 1.
        Bytes offsetsEmpty(24, 0);
        offsetsEmpty[2] = 0x80;
        EXPECT_EQ(at(k.offsetTable + 24 * 5, 24), offsetsEmpty);
        Bytes drive(96, 0x60);
        const Bytes drive0 = {0x50, 0x52, 0x54, 0x56, 0x58};
        const Bytes drive1 = {0x42, 0x44, 0x46, 0x48};
        std::copy(drive0.begin(), drive0.end(), drive.begin());
        std::copy(drive1.begin(), drive1.end(), drive.begin() + 12);
        EXPECT_EQ(at(k.driveTable, 96), drive);
        EXPECT_EQ(image.byteAt(k.scanMaskTable - 1), 0x40); // the drive base stays
    } else {
        const Bytes returns0 = {0, 0,    0, 0, 0x0F, 0, 0, 0x0F, 0, 0, 0x0F, 0,
                                0, 0x0F, 0, 0, 0x0F, 0, 0, 0,    0, 0, 0,    0};
        EXPECT_EQ(at(k.returnMaskTable, 24), returns0);
        // Patterns by scan row, offsets by slot (slot 0: scan row 8).
        const Bytes drive0 = {0xFE, 0xFF, 0x10, 0xFD, 0xFF, 0,    0xFB, 0xFF,
                              4,    0xF7, 0xFF, 8,    0xEF, 0xFF, 12,   0xFF,
                              0xFF, 0x10, 0xFF, 0xFF, 0x10, 0xFF, 0xFF, 0x10};
        EXPECT_EQ(at(k.driveTable, 24), drive0);
        const Bytes driveEmpty = {0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0,
                                  0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0};
        EXPECT_EQ(at(k.driveTable + 24 * 7, 24), driveEmpty);
    }
}

// Every variable class of the demo project.
void expectDemoVariables(const rom::RomImage& image, bool splashInUserData) {
    const auto at = [&](std::uint32_t offset, std::size_t n) { return bytesAt(image, offset, n); };
    // Bits: byte 0 = click 1, caller ID 1, 24 hours 0, speaker 1; byte 1 = pulse 0,
    // backlight 1; byte 2 bit 5 (after the first ring) 1; byte 3 bit 2 (second language) 1.
    const std::uint8_t language = splashInUserData ? 0x04 : 0x00;
    EXPECT_EQ(at(0x6001, 8), (Bytes{0x0B, 0, 0x10, 0, 0x20, 0, language, 0}));
    // val99: volume 6, rings 0 stored as 10, alarm 06:45, contrast 10, melody 2; language 1
    // (the korv28 table has no language entry, and its description no such variable).
    Bytes val99 = {6, 9, 1, 10, 0x8A, 6, 0x98, 45, 0xBC, 0xFE, 10, 2, 0xE4};
    if (splashInUserData)
        val99.insert(val99.end(), {1, 0x82});
    EXPECT_EQ(at(0x6040, val99.size()), val99);
    EXPECT_EQ(at(0x6080, 9), (Bytes{12, 0x49, 0x81, 45, 0x7B, 0x85, 100, 0x7F, 0x94}));
    EXPECT_EQ(image.byteAt(0x60C0), 5);

    const Bytes splash = display::chainSplashCodes(
        display::splitSplashText("&Привет#Корвел 28.").items, firmware::kSplashSeed);
    Bytes user = {0x80, 3, 0x01, 0x11, 0xB2, 0x81, 4, 0x02, 2, 5, 0xB8, 0x80, 3, 0x03, 0x94, 0xB5};
    if (splashInUserData) {
        user.insert(user.end(), {0x61, static_cast<std::uint8_t>(splash.size() + 2)});
        user.insert(user.end(), splash.begin(), splash.end());
        user.insert(user.end(), {0xDB, 0x00});
    } else {
        // The lead-in text starts two bytes before the fixed area, without its opening pair.
        Bytes fixed = splash;
        fixed.insert(fixed.end(), {0xDB, 0x00});
        EXPECT_EQ(at(0x60FE, fixed.size()), fixed);
    }
    user.push_back(0x00);
    EXPECT_EQ(at(0x19000, user.size()), user);
}

} // namespace

TEST(ZelPack, DemoProjectIntoBothTableStyles) {
    struct Case {
        const char* image;
        bool newStyle;
    };
    for (const Case c : {Case{"korv28v-256", true}, Case{"korv28v-512", true},
                         Case{"korv28-256", false}, Case{"korv28-512", false}}) {
        SCOPED_TRACE(c.image);
        const auto project = c.newStyle ? demoProject() : oldStyleProject();
        const Export e(*project, c.newStyle ? "korv28v" : "korv28", demoImage(c.image));
        ASSERT_TRUE(e.result.ok) << e.lines();
        const rom::RomImage image = e.image();
        EXPECT_EQ(e.result.melodyCapacity, readDescription(image, 9).melodyCapacity());
        EXPECT_EQ(
            e.report.lines(),
            (std::vector<std::string>{
                "- Проект \"demo.zel\"\r\n  файл ПЗУ \"" + e.rom.string() + "\"",
                "- Успешно прочитано из файла ПЗУ... (" + std::to_string(image.size()) + " байт)",
                "- Предустановленные переменные экспортированы в код ПЗУ"}));
        const auto checksum = readDescription(image, 9).checksum;
        ASSERT_TRUE(checksum && checksum->end());
        EXPECT_TRUE(rom::checksumMatches(image, *checksum->end()));
        expectDemoKeyboard(image, c.newStyle);
        expectDemoVariables(image, c.newStyle);
    }
}

TEST(ZelPack, ProjectKeyDeciphersTheStructure) {
    const std::string hex = "00112233445566778899AABBCCDDEEFF";
    const auto key = rom::parseProjectKey(hex);
    ASSERT_TRUE(key);
    const rom::RomImage image = buildDemo(demoSource("korv28v-256"), *key);
    auto project = demoProject();
    project->WriteString("Project", "Key", QString::fromStdString(" " + hex + " "));
    const Export withKey(*project, "korv28v", image);
    ASSERT_TRUE(withKey.result.ok) << withKey.lines();
    EXPECT_EQ(withKey.report.entries()[2].text,
              "Использован индивидуальный ключ проекта для кодирования данных");

    // A key one digit short is no project key: the built-in key cannot read this structure.
    project->WriteString("Project", "Key", QString::fromStdString(hex.substr(1)));
    const Export shortKey(*project, "korv28v", image);
    EXPECT_FALSE(shortKey.result.ok);
    EXPECT_TRUE(shortKey.untouched());
}

TEST(ZelPack, EveryFailureLeavesTheImageUntouched) {
    using Records = std::vector<rom::ControlRecord>;
    const auto edit = [](std::function<void(Records&)> change) {
        return [change](rom::RomImage image) { return withRecords(std::move(image), change); };
    };
    const auto keyboard = [](Records& records) -> rom::KeyboardRecord& {
        for (auto& r : records)
            if (auto* k = std::get_if<rom::KeyboardRecord>(&r))
                return *k;
        throw std::logic_error("no keyboard record");
    };
    const auto forEach = [](Records& records, auto change) {
        for (auto& r : records)
            std::visit(change, r);
    };
    const auto broken = [](mkrom::Breakage kind) {
        return [kind](rom::RomImage) {
            return mkrom::buildBrokenRom(demoSource("korv28v-256"), kind, firmware::kDefaultDataKey)
                .image.value_or(rom::RomImage{});
        };
    };
    struct Case {
        const char* name;
        std::function<rom::RomImage(rom::RomImage)> change;
        int number;
        std::string text;
    };
    const std::string brokenText = "ZELSplitToROM: Нарушена структура ПЗУ";
    const Case cases[] = {
        {"300000 bytes", broken(mkrom::Breakage::BadSize), 3, "Недопустимый размер файла ПЗУ "},
        {"pointer past the end", broken(mkrom::Breakage::PointerPastEnd), 5, "Ошибка в файле ПЗУ "},
        {"structure length 0", broken(mkrom::Breakage::ZeroLength), 30, brokenText},
        {"format with a low nibble", edit([&](Records& r) { keyboard(r).format = 0xA1; }), 31,
         brokenText},
        {"unknown record type", broken(mkrom::Breakage::UnknownType), 32,
         "ZELSplitToROM: Invalid control structure in ROM, try latest ROM build"},
        {"too few function rows", edit([&](Records& r) { keyboard(r).format = 0x80; }), 33,
         "ZELSplitToROM: Неверный размер таблицы функций"},
        {"bank beyond the image", broken(mkrom::Breakage::BadBank), 34,
         "ZELSplitToROM: Неверный размер в структуре ПЗУ"},
        {"defaults revision 1", edit([&](Records& r) {
             forEach(r, [](auto& x) {
                 if constexpr (std::is_same_v<std::decay_t<decltype(x)>, rom::PresetTablesRecord>)
                     x.revision = 1;
             });
         }),
         34, "ZELSplitToROM:  Illegal defaults revision, try new version ZELPACK.EXE"},
        {"calculator record in bank 2", edit([&](Records& r) {
             forEach(r, [](auto& x) {
                 if constexpr (std::is_same_v<std::decay_t<decltype(x)>, rom::CalculatorRecord>)
                     x.bankField = 2;
             });
         }),
         340,
         "ZELSplitToROM: Невозможно вычислить размер таблицы калькулятора, попробуйте последнюю "
         "версию ПЗУ программы Корвел"},
        {"no calculator record", edit([](Records& r) {
             std::erase_if(
                 r, [](auto& x) { return std::holds_alternative<rom::CalculatorRecord>(x); });
         }),
         341,
         "ZELSplitToROM:  Illegal Calc_Tab Size, используйте последнюю версию ПЗУ программы "
         "Корвел"},
        {"user data record in bank 2", edit([&](Records& r) {
             forEach(r, [](auto& x) {
                 if constexpr (std::is_same_v<std::decay_t<decltype(x)>, rom::UserDataRecord>)
                     x.bankField = 2;
             });
         }),
         342, "ZELSplitToROM: Can't locate ub_FreeSpace table, try latest ROM Verison"},
        {"user data beyond the last bank", edit([&](Records& r) {
             forEach(r, [](auto& x) {
                 if constexpr (std::is_same_v<std::decay_t<decltype(x)>, rom::UserDataRecord>)
                     x.firstBank = 4;
             });
         }),
         343, "ZELSplitToROM: Bad ub_FreeSpace table"},
        {"no keyboard record", edit([](Records& r) {
             std::erase_if(r,
                           [](auto& x) { return std::holds_alternative<rom::KeyboardRecord>(x); });
         }),
         38, "ZELSplitToROM: В структуре ПЗУ нет таблиц клавиатуры"},
    };
    const auto project = demoProject();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Export e(*project, "korv28v", c.change(demoImage("korv28v-256")));
        EXPECT_FALSE(e.result.ok);
        EXPECT_EQ(e.report.firstError(), c.number) << e.lines();
        ASSERT_FALSE(e.report.entries().empty());
        EXPECT_EQ(e.report.entries().back().text.rfind(c.text, 0), 0u) << e.lines();
        EXPECT_TRUE(e.untouched());
    }
}

TEST(ZelPack, StructureShorterThanItsRecords) {
    // The total length one byte short: the last record runs past it.
    rom::RomImage image = demoImage("korv28v-256");
    const rom::RomDescription rom = readDescription(image);
    auto plain = rom::readControlStructureBytes(image, rom.structureOffset, rom.structureLength,
                                                firmware::kDefaultDataKey);
    ASSERT_TRUE(plain);
    (*plain)[1] = static_cast<std::uint8_t>((*plain)[1] - 1);
    ASSERT_TRUE(
        rom::writeControlStructure(image, rom.structureOffset, *plain, firmware::kDefaultDataKey));
    const Export e(*demoProject(), "korv28v", image);
    EXPECT_EQ(e.report.firstError(), 33);
    EXPECT_TRUE(e.untouched());
}

TEST(ZelPack, ProjectErrorsLeaveTheImageUntouched) {
    // The demo project's packed layout cannot go into old-style tables.
    const Export packed(*demoProject(), "korv28v", demoImage("korv28-256"));
    EXPECT_EQ(packed.report.firstError(), 221);
    EXPECT_TRUE(packed.untouched());

    auto noDefaults = demoProject();
    noDefaults->EraseSection("DefaultValues");
    const Export empty(*noDefaults, "korv28v", demoImage("korv28v-256"));
    EXPECT_EQ(empty.report.firstError(), 1000);
    EXPECT_TRUE(empty.untouched());

    // A description without the project's keys: the layouts cannot be parsed.
    auto project = demoProject();
    const Export wrongDescription(*project, "", demoImage("korv28v-256"));
    EXPECT_EQ(wrongDescription.report.firstError(), 12);
    EXPECT_TRUE(wrongDescription.untouched());
}

TEST(ZelPack, FileErrors) {
    const auto project = demoProject();
    const PhoneDescription description = demoDescription("korv28v");
    rom::ExportReport report;
    EXPECT_FALSE(ZelPack(*project, "demo.zel", description, QString(), report).ok);
    EXPECT_EQ(report.firstError(), 1);
    EXPECT_FALSE(ZelPack(*project, "demo.zel", description, "/nonexistent/a.rom", report).ok);
    EXPECT_EQ(report.lines().back(), "! Error2: Ошибка открытия файла ПЗУ /nonexistent/a.rom");

    // A file that says it is longer than what can be read from it.
    const char* const shortRead = "/sys/kernel/mm/transparent_hugepage/enabled";
    if (fs::is_regular_file(shortRead) && fs::file_size(shortRead) > readFile(shortRead).size()) {
        EXPECT_FALSE(ZelPack(*project, "demo.zel", description, shortRead, report).ok);
        EXPECT_EQ(report.lines().back(), "! Error4: ROM file read error");
    }

    // A name with no room for the temporary file beside it: the image cannot be created anew.
    const Export longName(*project, "korv28v", demoImage("korv28v-256"),
                          std::string(250, 'r') + ".rom");
    EXPECT_EQ(longName.report.firstError(), 7) << longName.lines();
    EXPECT_TRUE(longName.untouched());

    // Writes stopped by the file size limit.
    TempDir dir;
    const rom::RomImage image = demoImage("korv28v-256");
    writeFile(dir / "a.rom", std::string(image.bytes().begin(), image.bytes().end()));
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = ZelPack(*project, "demo.zel", description, str(dir / "a.rom"), report).ok;
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(report.lines().back(),
              "! Error8: ! Ошибка записи в файл ПЗУ " + (dir / "a.rom").string());
    EXPECT_EQ(readFile(dir / "a.rom"), std::string(image.bytes().begin(), image.bytes().end()));
}
