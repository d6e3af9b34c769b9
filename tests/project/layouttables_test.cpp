#include "project/layouttables.h"

#include "tests/project/exportfixtures.h"

#include <gtest/gtest.h>

using namespace telmira;
using namespace telmira::layout;
using telmira::test::iniFromText;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Keys and lines of a small description: keys 1, 2, 3 with codes, key 50 without a code, the
// calculator key 101; lines KBD0..KBD15, the unwired line 16 and line 17 beyond the matrix.
const QStringList kKeys = {"1=Name=1; Code=01;",
                           "2=Name=2; Code=02;",
                           "3=Name=3; Code=03;",
                           "50=Name=Без кода;",
                           "101=Name=+; Code=60; CalcKey=1;",
                           "102=Name=-; CalcKey=1;"};

QStringList lines() {
    QStringList out;
    for (int i = 0; i < 16; ++i)
        out << QStringLiteral("%1=Name=KBD%1; Address=%2;")
                   .arg(i)
                   .arg(QStringLiteral("%1").arg(i, 4, 16, QLatin1Char('0')).toUpper());
    out << "16=Name=Нет линии; Address=0040;"
        << "17=Name=Вне; Address=0011;";
    return out;
}

struct Built {
    rom::ExportReport report;
    ParsedLayouts parsed;
    KeyboardStaging staging;
    bool parsedOk = false;
    bool builtOk = false;
    Built(const std::string& project, bool newStyle, std::uint8_t base = 0x40)
        : staging(newStyle, base) {
        const auto ini = iniFromText(project);
        parsedOk = ParseLayouts(*ini, kKeys, lines(), parsed, report);
        if (parsedOk)
            builtOk = BuildTables(parsed, staging, report);
    }
    unsigned mask(const std::array<std::uint8_t, 16>& table, unsigned q) const {
        return table[2 * q] << 8 | table[2 * q + 1];
    }
    Bytes function(unsigned row, unsigned q) const {
        return {staging.functionTable[row * 16 + 2 * q],
                staging.functionTable[row * 16 + 2 * q + 1]};
    }
    std::string errors() const {
        std::string out;
        for (const std::string& line : report.lines())
            out += line + "\n";
        return out;
    }
};

// X * 17 + Y
std::string cell(int x, int y, const std::string& value) {
    return std::to_string(x * 17 + y) + "=" + value + "\n";
}

} // namespace

TEST(LayoutTables, OneKeyOldStyle) {
    // One column (KBD0), one row (KBD8), one key: the columns scan, the row returns.
    const Built b("[Layout0]\nType=0\nColCount=1\nRowCount=1\n" + cell(1, 0, "ID=0;") +
                      cell(0, 1, "ID=8;") + cell(1, 1, "ID=2;"),
                  false);
    ASSERT_TRUE(b.builtOk) << b.errors();
    EXPECT_EQ(b.parsed.layouts[0].scanCount, 1);
    EXPECT_EQ(b.parsed.layouts[0].returnCount, 1);
    EXPECT_EQ(Bytes(b.staging.returnMasks.begin() + 3, b.staging.returnMasks.begin() + 6),
              (Bytes{0x01, 0x00, 1}));
    // Drive pattern of scan row 1 in entry 0; every other pattern stays 0xFF; every offset 0.
    Bytes drive(192, 0xFF);
    drive[0] = 0xFF;
    drive[1] = 0xFE;
    for (unsigned q = 0; q < 8; ++q)
        for (unsigned e = 0; e < 8; ++e)
            if (q == 0)
                drive[3 * e + 2] = 0;
    EXPECT_EQ(b.staging.drive, drive);
    EXPECT_EQ(b.mask(b.staging.scanMasks, 0), 0x0001u);
    EXPECT_EQ(b.mask(b.staging.outputMasks, 0), 0x0001u);
    EXPECT_EQ(b.staging.keyTables[0], 0x02);
    EXPECT_EQ(b.staging.keyTables[1], 0xFF);
    EXPECT_EQ(b.function(0, 0), (Bytes{0xFE, 0}));
    // The absent layouts keep their initial contents.
    EXPECT_EQ(b.function(0, 1), (Bytes{0, 0}));
    EXPECT_EQ(b.staging.keyTables[64], 0xFF);
    EXPECT_EQ(RowsNeeded(b.parsed), 1u);
}

TEST(LayoutTables, UnwiredLinesForceTheOrientation) {
    // Two columns and two rows would scan the columns; a row on the unwired line makes the rows
    // the return side... and a column on it makes the columns the scan side.
    const std::string base = "[Layout0]\nColCount=2\nRowCount=2\n" + cell(1, 0, "ID=0;") +
                             cell(2, 0, "ID=1;") + cell(1, 1, "ID=1;") + cell(2, 2, "ID=3;");
    const Built rowUnwired(base + cell(0, 1, "ID=8;") + cell(0, 2, "ID=16;"), false);
    ASSERT_TRUE(rowUnwired.builtOk) << rowUnwired.errors();
    // Rows scan: row 1 drives KBD8, row 2 is unwired; columns KBD0, KBD1 return.
    EXPECT_EQ(rowUnwired.mask(rowUnwired.staging.scanMasks, 0), 0x0100u);
    EXPECT_EQ(Bytes(rowUnwired.staging.drive.begin(), rowUnwired.staging.drive.begin() + 6),
              (Bytes{0xFE, 0xFF, 2, 0xFF, 0xFF, 0})); // offsets by slot: slot 0 is scan row 8
    // Scan row 1: keys of columns 1 and 2 in row 1; scan row 2: column 2's key.
    EXPECT_EQ(Bytes(rowUnwired.staging.keyTables.begin(), rowUnwired.staging.keyTables.begin() + 4),
              (Bytes{0x01, 0xFF, 0xFF, 0x03}));

    const Built bothUnwired("[Layout0]\nColCount=2\nRowCount=2\n" + cell(1, 0, "ID=0;") +
                                cell(2, 0, "ID=16;") + cell(0, 1, "ID=16;") + cell(0, 2, "ID=9;"),
                            false);
    // The column test wins: the columns scan (KBD0, unwired), the rows return, and the unwired
    // row on the return side is out of the matrix's range.
    ASSERT_TRUE(bothUnwired.parsedOk);
    EXPECT_FALSE(bothUnwired.builtOk);
    EXPECT_EQ(bothUnwired.report.firstError(), 20);
    EXPECT_EQ(bothUnwired.mask(bothUnwired.staging.scanMasks, 0), 0x0001u);
}

TEST(LayoutTables, ReturnLinesAreOrderedHighHalfFirst) {
    // One unwired column scans (the unwired column line makes the columns the scan side); rows
    // KBD0 and KBD8 return: KBD8's key comes first in the key table.
    const Built b("[Layout0]\nColCount=1\nRowCount=2\n" + cell(1, 0, "ID=16;") +
                      cell(0, 1, "ID=0;") + cell(0, 2, "ID=8;") + cell(1, 1, "ID=1;") +
                      cell(1, 2, "ID=2;"),
                  false);
    ASSERT_TRUE(b.builtOk) << b.errors();
    EXPECT_EQ(Bytes(b.staging.keyTables.begin(), b.staging.keyTables.begin() + 2),
              (Bytes{0x02, 0x01}));
    EXPECT_EQ(Bytes(b.staging.returnMasks.begin() + 3, b.staging.returnMasks.begin() + 6),
              (Bytes{0x01, 0x01, 1}));
    EXPECT_EQ(b.mask(b.staging.scanMasks, 0), 0u);
}

TEST(LayoutTables, CalculatorKeys) {
    // Key 50 has no code: the cell holds the calculator identifier's number, and the
    // calculator row maps the calculator key's code (0x60) to the same byte.
    const Built b("[Layout2]\nColCount=1\nRowCount=1\n" + cell(1, 0, "ID=0;") +
                      cell(0, 1, "ID=1;") + cell(1, 1, "ID=50; CalcID=101;"),
                  false);
    ASSERT_TRUE(b.builtOk) << b.errors();
    EXPECT_TRUE(b.parsed.calculatorUsed);
    EXPECT_TRUE(b.parsed.layouts[2].usesCalculator);
    EXPECT_FALSE(b.parsed.layouts[0].usesCalculator);
    EXPECT_EQ(b.parsed.calculator[2][0x60], 101);
    EXPECT_EQ(b.staging.keyTables[2 * 64], 101);
}

TEST(LayoutTables, FunctionTableRows) {
    const std::string fixed = "[Layout1]\nColCount=1\nRowCount=1\n" + cell(1, 0, "ID=0;") +
                              cell(0, 1, "ID=1;") + "[Layout1.FixedLines]\n";
    const Built b(fixed + "0=Address=0003; Code=80;\n1=Address=0004; Code=05;\n"
                          "2=Address=0006; Code=05;\n3=Address=0020; Code=01;\n"
                          "4=Address=0021; Code=82;\n5=Address=0007; Code=03;\n"
                          "6=Address=0021; Code=81;\n",
                  false);
    ASSERT_TRUE(b.builtOk) << b.errors();
    EXPECT_EQ(RowsNeeded(b.parsed), 6u);
    // Flags: bit 0 (0x80), bit 1 (0x81), bit 2 (all lines), bit 7 (0x82).
    EXPECT_EQ(b.function(0, 1), (Bytes{0xFE, 0x87}));
    EXPECT_EQ(b.function(1, 1), (Bytes{0xFE, 0xFF})); // VSCL on every line
    EXPECT_EQ(b.function(2, 1), (Bytes{0x00, 0x08})); // VSDA on KBD3
    EXPECT_EQ(b.function(3, 1), (Bytes{0xFF, 0xFF})); // 0x81 after VSEL on KBD7
    EXPECT_EQ(b.function(5, 1), (Bytes{0x00, 0x50})); // two lines share function 5
    EXPECT_EQ(b.function(6, 1), (Bytes{0xFF, 0xFF})); // 0x82 on every line
    // Output mask: the scan line plus the output functions on KBD lines (5 twice, 3).
    EXPECT_EQ(b.mask(b.staging.outputMasks, 1), 0x0001u | 0x0010 | 0x0040 | 0x0080);
}

TEST(LayoutTables, PackedLayoutNewStyle) {
    // Three lines KBD0..KBD2 in a triangle: rows scan KBD1 and KBD2, columns return.
    const Built b("[Layout3]\nType=1\nColCount=3\n" + cell(1, 0, "ID=0;") + cell(2, 0, "ID=1;") +
                      cell(3, 0, "ID=2;") + cell(1, 1, "ID=1;") + cell(1, 2, "ID=2;") +
                      cell(2, 2, "ID=3;"),
                  true, 0x40);
    ASSERT_TRUE(b.builtOk) << b.errors();
    EXPECT_EQ(b.parsed.layouts[3].scanCount, 2);
    EXPECT_EQ(b.parsed.layouts[3].returnCount, 3);
    const unsigned r = 24 * 3;
    // Return masks (2 bytes by slot) and their counts in the offset table.
    EXPECT_EQ(Bytes(b.staging.returnMasks.begin() + r + 2, b.staging.returnMasks.begin() + r + 6),
              (Bytes{0x00, 0x01, 0x00, 0x03}));
    // Drive bytes: base + 2 * line; the rest stays base + 32.
    EXPECT_EQ(Bytes(b.staging.drive.begin() + 36, b.staging.drive.begin() + 39),
              (Bytes{0x42, 0x44, 0x60}));
    // Offsets by slot: row 1 at 0, the last row (2) at 1 with the end mark, later rows 1.
    EXPECT_EQ(b.staging.offsets[r + 2], 0x00);
    EXPECT_EQ(b.staging.offsets[r + 4], 0x81);
    EXPECT_EQ(b.staging.offsets[r + 6], 0x01);
    EXPECT_EQ(b.staging.offsets[r + 0], 0x01); // slot 0 holds scan row 12
    EXPECT_EQ(Bytes(b.staging.keyTables.begin() + 192, b.staging.keyTables.begin() + 196),
              (Bytes{0x01, 0x02, 0x03, 0xFF}));
    EXPECT_EQ(b.mask(b.staging.scanMasks, 3), 0x0006u);
}

TEST(LayoutTables, EveryReportedError) {
    const std::string one = "ColCount=1\nRowCount=1\n" + cell(1, 0, "ID=0;") + cell(0, 1, "ID=1;");
    const std::string withFixed = "[Layout0]\n" + one + "[Layout0.FixedLines]\n0=";
    struct Case {
        const char* name;
        std::string project;
        bool newStyle;
        int number;
        std::string text;
    };
    const Case cases[] = {
        {"no column count", "[Layout4]\nRowCount=1\n", false, 13,
         "ZELParse error: RowCount или ColCount не определены, Section Layout4"},
        {"too many columns", "[Layout0]\nColCount=17\nRowCount=1\n", false, 13,
         "ZELParse error: RowCount или ColCount вне пределов 0..16, Section Layout0"},
        {"cell beyond the columns", "[Layout0]\n" + one + cell(2, 1, "ID=1;"), false, 11,
         "ZELParse error: X/Y больше числа строк/столбцов, Section Layout0, Key 35"},
        {"negative cell", "[Layout0]\n" + one + "-3=ID=1;\n", false, 11,
         "ZELParse error: X/Y больше числа строк/столбцов, Section Layout0, Key -3"},
        {"key without code", "[Layout0]\n" + one + cell(1, 1, "ID=50;"), false, 12,
         "ZELParse error: Отсутствует описание кнопки телефона, Section Layout0, Key  18"},
        {"calculator key without code", "[Layout0]\n" + one + cell(1, 1, "ID=1; CalcID=102;"),
         false, 120,
         "ZELParse error: Отсутствует описание кнопка калькулятора, Section Layout0, Key 18"},
        {"unknown line", "[Layout0]\nColCount=1\nRowCount=1\n" + cell(1, 0, "ID=99;"), false, 12,
         "ZELParse error: Отсутствует описание линии в/в, Section Layout0, Key 17"},
        {"packed layout, old tables", "[Layout5]\nType=1\nColCount=2\n", false, 221,
         "ZELMakeTable: Попытка записать новую раскладку 5 в старый контейнер"},
        {"type 2", "[Layout5]\nType=2\nColCount=2\nRowCount=1\n", true, 221,
         "ZELMakeTable: Попытка записать новую раскладку 5 в старый контейнер"},
        {"VSCL", withFixed + "Address=0040; Code=01;\n", false, 21,
         "ZELMakeTable: Некорректное назначение VSCL в раскладке 00"},
        {"VSDA", withFixed + "Address=0021; Code=80;\n", false, 21,
         "ZELMakeTable: Некорректное назначение VSDA в раскладке 00"},
        {"VSEL", withFixed + "Address=0020; Code=03;\n", false, 21,
         "ZELMakeTable: Некорректное назначение VSEL в раскладке 00"},
        {"0x81 off the all-lines value", withFixed + "Address=0003; Code=81;\n", false, 21,
         "ZELMakeTable: Некорректное назначение VSCL в раскладке 00"},
        {"function on line 20", withFixed + "Address=0020; Code=09;\n", false, 21,
         "ZELMakeTable: Некорректное назначение функции 09 в раскладке 00"},
        {"unknown function", withFixed + "Address=0003; Code=0A;\n", false, 22,
         "ZELMakeTable: Несуществующая функция 0A в раскладке 00"},
        {"function code missing", withFixed + "Address=0003;\n", false, 22,
         "ZELMakeTable: Несуществующая функция FFFFFFFF в раскладке 00"},
        {"no rows", "[Layout0]\nColCount=1\nRowCount=0\n", false, 21,
         "ZELMakeTable: Матрица клавиатуры слишком мала"},
        {"nine scan rows, old style", "[Layout0]\nColCount=9\nRowCount=9\n", false, 21,
         "ZELMakeTable: Матрица клавиатуры слишком велика"},
        {"more than 64 keys", "[Layout0]\nColCount=9\nRowCount=8\n", true, 21,
         "ZELMakeTable: Матрица клавиатуры слишком велика"},
        {"packed with 13 returns", "[Layout0]\nType=1\nColCount=13\n", true, 21,
         "ZELMakeTable: Матрица клавиатуры слишком велика"},
        {"return line beyond KBD15", "[Layout7]\n" + one + cell(0, 1, "ID=17;"), false, 20,
         "ZELMakeTable: Матрица выходит за пределы (KBD0..15) в раскладке 07"},
        {"scan line beyond KBD15", "[Layout6]\n" + one + cell(1, 0, "ID=17;"), false, 20,
         "ZELMakeTable: Линия в/в за пределами (KBD0..15) в раскладке 06"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Built b(c.project, c.newStyle);
        EXPECT_FALSE(b.parsedOk && b.builtOk);
        ASSERT_EQ(b.report.entries().size(), 1u) << b.errors();
        EXPECT_EQ(b.report.entries()[0].number, c.number);
        EXPECT_EQ(b.report.entries()[0].text, c.text);
    }
}
