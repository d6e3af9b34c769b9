#include "project/presetvars.h"

#include "base/displaycodec.h"
#include "base/firmware.h"
#include "frame/records.h"
#include "tests/project/exportfixtures.h"

#include <gtest/gtest.h>

using namespace telmira;
using telmira::test::bytesAt;
using telmira::test::demoDescription;
using telmira::test::demoImage;
using telmira::test::readDescription;
using telmira::test::withRecords;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Demo images: bits table at 0x6000 (flag byte n at 0x6001 + 2n), val99 table at 0x6040, valFF
// table at 0x6080, splash byte at 0x60C0, user data from 0x19000.
constexpr std::uint32_t kBits = 0x6001;
constexpr std::uint32_t kUserData = 0x19000;

struct PresetRun {
    rom::RomImage image;
    rom::RomDescription rom;
    rom::ExportReport report;
    bool ok = false;
    PresetRun(rom::RomImage source, const QStringList& values, const QStringList& variables)
        : image(std::move(source)), rom(readDescription(image)) {
        ok = presets::WritePresetVariables(values, variables, image, rom, report);
    }
    std::string errors() const {
        std::string out;
        for (const std::string& line : report.lines())
            out += line + "\n";
        return out;
    }
};

// The project's DefaultValues as a new project writes them from the description.
QStringList defaultsOf(const PhoneDescription& description) {
    QStringList out;
    for (const QString& line : description.Variables()) {
        const DescriptionLine d = SplitDescriptionLine(line);
        const QString type = FieldOf(d.record, "Type", "delimiter").toLower();
        if (type == "delimiter")
            continue;
        out << d.id + "=" + FieldOf(d.record, "Value") + (type == "string" ? ";" : "");
    }
    return out;
}

Bytes splashCodes(const std::string& text) {
    return display::chainSplashCodes(display::splitSplashText(text).items, firmware::kSplashSeed);
}

} // namespace

TEST(PresetVariables, EveryClassOfTheDemoDescription) {
    const PhoneDescription description = demoDescription("korv28v");
    const PresetRun run(demoImage("korv28v-256"), defaultsOf(description), description.Variables());
    ASSERT_TRUE(run.ok) << run.errors();
    // Bits: byte 0 bits 0 (1), 1 (1), 2 (1), 3 (0); byte 1 bits 0 (1), 4 (1); byte 2 bit 5 (0);
    // byte 3 bit 2 (1).
    EXPECT_EQ(bytesAt(run.image, kBits, 8), (Bytes{0x07, 0, 0x11, 0, 0x00, 0, 0x04, 0}));
    // val99: volume 5, rings 4 stored as 3, alarm 07:30, contrast 8 (wide entry), melody 1,
    // language 0.
    EXPECT_EQ(bytesAt(run.image, 0x6040, 15),
              (Bytes{5, 9, 1, 3, 0x8A, 7, 0x98, 30, 0xBC, 0xFE, 8, 1, 0xE4, 0, 0x82}));
    // valFF: 10, 30, 150 (bit 7 of the value in bit 6 of the extra byte).
    EXPECT_EQ(bytesAt(run.image, 0x6080, 9),
              (Bytes{10, 0x49, 0x81, 30, 0x7B, 0x85, 0x16, 0x7F, 0xD4}));
    EXPECT_EQ(run.image.byteAt(0x60C0), 3);
    // User data: the three digit strings, the splash record, the closing 0.
    Bytes user = {0x80, 3, 0x01, 0x11, 0xB2, 0x80, 2, 0x02, 0xB8, 0x80, 3, 0x03, 0x94, 0xB5};
    const Bytes splash = splashCodes("Корвел 28");
    user.push_back(0x60);
    user.push_back(static_cast<std::uint8_t>(splash.size() + 2));
    user.insert(user.end(), splash.begin(), splash.end());
    user.insert(user.end(), {0xDB, 0x00, 0x00});
    EXPECT_EQ(bytesAt(run.image, kUserData, user.size()), user);
}

TEST(PresetVariables, SplashTextInTheFixedArea) {
    // korv28 keeps the splash text in the area 0x6100..0x6140 with a lead-in of 2 bytes.
    const QStringList variables = {"1=Type=string; Address=10000001;"};
    const Bytes codes = splashCodes("Привет#28.");
    const PresetRun plain(demoImage("korv28-256"), {"1=Привет#28.;"}, variables);
    ASSERT_TRUE(plain.ok) << plain.errors();
    Bytes expected = {0xDB, 0x02};
    expected.insert(expected.end(), codes.begin(), codes.end());
    expected.insert(expected.end(), {0xDB, 0x00});
    EXPECT_EQ(bytesAt(plain.image, 0x6100, expected.size()), expected);

    // With the lead-in the text starts 2 bytes earlier, without its opening pair; the lead-in
    // character alone writes the closing pair only.
    const PresetRun leadIn(demoImage("korv28-256"), {"1=&;"}, variables);
    ASSERT_TRUE(leadIn.ok) << leadIn.errors();
    EXPECT_EQ(bytesAt(leadIn.image, 0x60FE, 2), (Bytes{0xDB, 0x00}));
    // No user data record for a fixed-area splash: the list holds only its closing 0.
    EXPECT_EQ(bytesAt(leadIn.image, kUserData, 2), (Bytes{0x00, 0xFF}));

    // 62 bytes fit in the area of 64; one more code does not.
    const std::string fits(58, 'A');
    EXPECT_TRUE(
        PresetRun(demoImage("korv28-256"), {QString::fromStdString("1=" + fits)}, variables).ok);
    const PresetRun tooLong(demoImage("korv28-256"), {QString::fromStdString("1=" + fits + "AAA")},
                            variables);
    EXPECT_EQ(tooLong.report.firstError(), 72);
}

TEST(PresetVariables, DigitStringsAndSpecialValues) {
    const QStringList variables = {
        "1=Type=string; Address=08000007;", "2=Type=string; Address=08000008;",
        "3=Type=string; Address=08000009;", "4=Type=string; Address=0800000A;",
        "5=Type=spinedit; Min=0; Max=10; Additional=11; "
        "Address=40000001;"};
    const PresetRun run(demoImage("korv28v-256"),
                        {"1=123;", "2=12", "3=8(2,5)12;;", "4=  ;", "5=0", "6=99"}, variables);
    ASSERT_TRUE(run.ok) << run.errors();
    EXPECT_EQ(bytesAt(run.image, kUserData, 16), (Bytes{0x80, 3, 0x07, 0x21, 0xB3, 0x80, 2, 0x08,
                                                        0x21, 0x81, 4, 0x09, 2, 5, 0xB8, 0x00}));
    EXPECT_EQ(run.image.byteAt(0x6043), 10); // 0 stands for the maximum

    // Every digit code: 0..9, "-", P/Р, "_", T/Т, П.
    const PresetRun codes(demoImage("korv28v-256"), {"1=0123456789-Р_ТПpt;"}, variables);
    ASSERT_TRUE(codes.ok) << codes.errors();
    EXPECT_EQ(bytesAt(codes.image, kUserData, 12),
              (Bytes{0x80, 10, 0x07, 0x10, 0x32, 0x54, 0x76, 0x98, 0xCA, 0xED, 0xCF, 0xBE}));
}

TEST(PresetVariables, EveryReportedError) {
    const QStringList variables = {
        "1=Type=checkbox; Address=80000008;", // beyond the 8 flag bytes
        "2=Type=checkbox; Address=80000001; Additional=9;",
        "3=Type=spinedit; Min=1; Max=8; Address=40000000;",
        "4=Type=spinedit; Min=0; Max=9; Address=40000007;", // beyond the 7 entries
        "5=Type=integer; Min=1; Max=200; Address=20000003;",
        "6=Type=time; Address=40000002; Additional=12;",
        "7=Type=spinedit; Min=0; Max=8; Address=40000000;",  // ROM minimum is 1
        "8=Type=integer; Min=1; Max=255; Address=20000000;", // ROM maximum is 200
        "9=Type=integer; Min=1; Max=200; Address=20000000;",
        "10=Type=string; Address=08000001;",
        "11=Type=string; Address=10000001;",
    };
    const auto noUserData = [](std::vector<rom::ControlRecord>& records) {
        std::erase_if(records, [](const rom::ControlRecord& r) {
            return std::holds_alternative<rom::UserDataRecord>(r);
        });
    };
    const auto tinyUserData = [](std::vector<rom::ControlRecord>& records) {
        for (rom::ControlRecord& r : records)
            if (auto* u = std::get_if<rom::UserDataRecord>(&r))
                *u = {1, 3, 0x9000, 0x9004}; // four bytes in the last bank, nothing after
    };
    struct Case {
        const char* name;
        QStringList values;
        std::function<void(rom::RomImage&)> breakImage;
        int number;
        std::string text;
    };
    const std::string tooLongSplash(256, 'A');
    const Case cases[] = {
        {"empty DefaultValues",
         {},
         {},
         1000,
         "ZELSplitToROM: Секция DefaultValues пуста, проверьте целостность проекта"},
        {"bits entry beyond the table",
         {"1=1"},
         {},
         37,
         "ZELSplitToROM: Illegal defaults bits ID# 80000008"},
        {"bit number beyond the byte",
         {"2=1"},
         {},
         37,
         "ZELSplitToROM: Illegal defaults bits ID# 80000001"},
        {"bits table without its marker",
         {"2=1"},
         [](rom::RomImage& image) { image.putByte(0x6000, 0); },
         36,
         "ZELSplitToROM: Структура ПЗУ нарушена"},
        {"val99 entry beyond the table",
         {"4=1"},
         {},
         35,
         "ZELSplitToROM:  Illegal defaults val99 ID# 40000007"},
        {"val99 entry starting 0xFF",
         {"3=1"},
         [](rom::RomImage& image) { image.putByte(0x6040, 0xFF); },
         36,
         "ZELSplitToROM: Структура ПЗУ нарушена"},
        {"valFF entry beyond the table",
         {"5=10"},
         {},
         35,
         "ZELSplitToROM:  Illegal defaults valFF ID# 20000003"},
        {"valFF entry starting 0xFE",
         {"9=10"},
         [](rom::RomImage& image) { image.putByte(0x6080, 0xFE); },
         36,
         "ZELSplitToROM:  Структура ПЗУ нарушена"},
        {"val99 value above Max",
         {"3=9;"},
         {},
         701,
         "ZELSplitToROM: Значение переменной вышло за пределы допустимого, Address 40000000, "
         "Key 3, Value = 9;"},
        {"minutes above the ROM's 59",
         {"6=0760"},
         {},
         701,
         "ZELSplitToROM: Значение переменной вышло за пределы допустимого, Address 40000003, "
         "Key 6, Value = 60"},
        {"hours not a number",
         {"6=7:30"},
         {},
         701,
         "ZELSplitToROM: Значение переменной вышло за пределы допустимого, Address 40000002, "
         "Key 6, Value = 24"},
        {"val99 Min below the ROM's",
         {"7=5"},
         {},
         70,
         "ZELSplitToROM: Значения пределов Min/Max не совпадают со значениями ПЗУ ID# 40000000 "
         "min:   1 max:   8"},
        {"valFF Max above the ROM's",
         {"8=5"},
         {},
         71,
         "ZELSplitToROM: Значения пределов Min/Max не совпадают со значениями ПЗУ ID# 20000000 "
         "min:   1 max: 200"},
        {"valFF value below Min",
         {"9=0"},
         {},
         711,
         "ZELSplitToROM: Значение переменной вышло за пределы допустимого, Address 20000000, "
         "Key 9, Value = 0"},
        {"digit string without user data",
         {"10=1"},
         [&](rom::RomImage& image) { image = withRecords(image, noUserData); },
         372,
         "ZELSplitToROM: No ub_FreeSpace definition for ID# 8000001"},
        {"digit string with a letter",
         {"10=12A4;"},
         {},
         373,
         "ZELSplitToROM: Неотобразимый символ ID# 8000001, символ = \"A\""},
        {"splash text with no display form",
         {"11=Да!;"},
         {},
         373,
         "ZELSplitToROM: Неотобразимый символ ID# 10000001, Key 11, символ = \"!\""},
        {"blank splash text",
         {"11=  ;"},
         {},
         374,
         "ZELSplitToROM: Пустая строка недопустима ID# 10000001, Key 11"},
        {"splash text of 256 codes",
         {QString::fromStdString("11=" + tooLongSplash)},
         {},
         72,
         "ZELSplitToROM: Заставка слишком длинная ID# 10000001"},
        {"splash record longer than 255 bytes",
         {QString("11=A") + QString(127, '#')},
         {},
         72,
         "ZELSplitToROM: Заставка слишком длинная ID# 10000001"},
        {"user data overflow",
         {"10=123456789;"},
         [&](rom::RomImage& image) { image = withRecords(image, tinyUserData); },
         436,
         "ZELSplitToROM: Overflow in user data bytes, try to decrease defaults in project"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rom::RomImage image = demoImage("korv28v-256");
        if (c.breakImage)
            c.breakImage(image);
        const PresetRun run(std::move(image), c.values, variables);
        EXPECT_FALSE(run.ok);
        ASSERT_FALSE(run.report.entries().empty());
        EXPECT_EQ(run.report.entries()[0].number, c.number) << run.errors();
        EXPECT_EQ(run.report.entries()[0].text, c.text);
        EXPECT_EQ(run.report.entries().size(), 1u) << run.errors();
    }
}

TEST(PresetVariables, JoiningWithTheDescription) {
    const QStringList variables = {"7=Type=string; Address=0800000A; Additional=16; Min=-2;"};
    const presets::PresetVariable v = presets::JoinVariable("7=42;;", variables);
    EXPECT_EQ(v.address, 0x0800000Au);
    EXPECT_EQ(v.additional, 16);
    EXPECT_EQ(v.minimum, -2);
    EXPECT_EQ(v.value, 42);
    EXPECT_EQ(v.text, "42");
    EXPECT_EQ(presets::JoinVariable("8=1", variables).address, 0u); // unknown: skipped
    EXPECT_EQ(presets::JoinVariable(QString("7=") + QString(300, '1'), variables).text.size(), 255);
    EXPECT_EQ(presets::ParseAddressWord("1000000G"), 0u);
    EXPECT_EQ(presets::ParseAddressWord("108000001"), 0u);
    EXPECT_EQ(presets::SplitDigitString("5($12, -3x)9").position,
              std::make_optional(std::make_pair(18, -3)));
}
