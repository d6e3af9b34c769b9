#include "project/layouttables.h"

#include "frame/records.h"
#include "project/descriptions.h"

#include <algorithm>
#include <bit>

namespace telmira::layout {

namespace {

void report(rom::ExportReport& out, int number, const QString& text) {
    out.report(number, text.toStdString());
}

int readInteger(const SettingsFile& project, const QString& section, const QString& key, int def) {
    return parseInteger(project.ReadString(section, key, QString())).value_or(def);
}

// A cell key: decimal digits, optionally with a sign.
std::optional<qlonglong> cellKey(const QString& key) {
    const QString text = key.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!(c.isDigit() && c.unicode() < 128) && !(i == 0 && (c == '-' || c == '+')))
            return std::nullopt;
    }
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok)
        return text.startsWith('-') ? std::optional<qlonglong>(-1)
                                    : std::optional<qlonglong>(1LL << 40);
    return value;
}

int codeOf(const QStringList& keys, int id) {
    const int code = HexFieldOf(RecordById(keys, QString::number(id)), QStringLiteral("Code"));
    return code < 0 ? -1 : code;
}

bool anyLineIs(const std::array<int, kMaxCells + 1>& lines, int value) {
    for (int i = 1; i <= kMaxCells && lines[i] != -1; ++i)
        if (lines[i] == value)
            return true;
    return false;
}

QString twoDigits(unsigned q) {
    return QStringLiteral("%1").arg(q, 2, 10, QLatin1Char('0'));
}

// A function code as two hexadecimal digits; a code that is no number prints as FFFFFFFF.
QString functionHex(int code) {
    return QStringLiteral("%1")
        .arg(static_cast<std::uint32_t>(code), 2, 16, QLatin1Char('0'))
        .toUpper();
}

void putMask(std::uint8_t* at, unsigned mask) {
    at[0] = static_cast<std::uint8_t>(mask >> 8);
    at[1] = static_cast<std::uint8_t>(mask);
}

unsigned maskAt(const std::uint8_t* at) {
    return static_cast<unsigned>(at[0] << 8 | at[1]);
}

bool parseSection(const SettingsFile& project, unsigned q, const QStringList& keys,
                  const QStringList& lines, ParsedLayouts& parsed, rom::ExportReport& out) {
    const QString section = QStringLiteral("Layout") + QString::number(q);
    LayoutRecord& layout = parsed.layouts[q];
    layout.present = true;
    layout.type = readInteger(project, section, QStringLiteral("Type"), 0);
    layout.rows = readInteger(project, section, QStringLiteral("RowCount"), -1);
    layout.columns = readInteger(project, section, QStringLiteral("ColCount"), -1);
    // A packed matrix has one row less than columns, whatever RowCount says.
    if (layout.type == 1 && layout.columns >= 0)
        layout.rows = std::max(layout.columns - 1, 0);
    if (layout.rows == -1 || layout.columns == -1) {
        report(out, 13,
               QStringLiteral("ZELParse error: RowCount или ColCount не определены, Section ") +
                   section);
        return false;
    }
    if (layout.rows < 0 || layout.rows > kMaxCells || layout.columns < 0 ||
        layout.columns > kMaxCells) {
        report(out, 13,
               QStringLiteral("ZELParse error: RowCount или ColCount вне пределов 0..16, "
                              "Section ") +
                   section);
        return false;
    }
    for (const QString& line : project.ReadSection(section)) {
        const qsizetype eq = line.indexOf('=');
        const QString keyText = eq < 0 ? line : line.left(eq);
        const QString value = eq < 0 ? QString() : line.mid(eq + 1);
        const auto k = cellKey(keyText);
        if (!k)
            continue;
        const QString keyName = keyText.trimmed();
        const qlonglong x = *k / 17;
        const qlonglong y = *k % 17;
        if (*k < 0 || y > layout.rows || x > layout.columns) {
            report(out, 11,
                   QStringLiteral("ZELParse error: X/Y больше числа строк/столбцов, Section ") +
                       section + QStringLiteral(", Key ") + keyName);
            return false;
        }
        if (x == 0 && y == 0)
            continue;
        const int id = FieldIntOf(value, QStringLiteral("ID"), -1);
        const int calcId = FieldIntOf(value, QStringLiteral("CalcID"), -1);
        if (calcId != -1)
            parsed.calculatorUsed = true;
        if (x >= 1 && y >= 1) {
            int code = codeOf(keys, id);
            if (code == -1) {
                if (calcId == -1) {
                    report(out, 12,
                           QStringLiteral("ZELParse error: Отсутствует описание кнопки телефона, "
                                          "Section ") +
                               section + QStringLiteral(", Key  ") + keyName);
                    return false;
                }
                code = calcId;
            }
            layout.keys[x][y] = code;
            if (calcId != -1) {
                const int c = codeOf(keys, calcId);
                if (c == -1 || c > 255) {
                    report(out, 120,
                           QStringLiteral("ZELParse error: Отсутствует описание кнопка "
                                          "калькулятора, Section ") +
                               section + QStringLiteral(", Key ") + keyName);
                    return false;
                }
                parsed.calculator[q][c] = static_cast<std::uint8_t>(code);
                layout.usesCalculator = true;
            }
        } else {
            const int a =
                HexFieldOf(RecordById(lines, QString::number(id)), QStringLiteral("Address"));
            if (a < 0) {
                report(out, 12,
                       QStringLiteral("ZELParse error: Отсутствует описание линии в/в, Section ") +
                           section + QStringLiteral(", Key ") + keyName);
                return false;
            }
            if (y == 0)
                layout.columnLines[x] = a;
            else if (layout.type == 0)
                layout.rowLines[y] = a;
        }
    }
    if (layout.type == 1) {
        // Row k of a packed matrix is wired to the line of column k + 1.
        for (int k = 1; k <= layout.columns - 1; ++k) {
            layout.rowLines[k] = layout.columnLines[k + 1];
            if (layout.columnLines[k + 1] == kUnwiredLine)
                layout.columnLines[k + 1] = -1;
        }
    }
    return true;
}

// The function-table column of layout q; false after a reported error.
bool buildFunctions(const LayoutRecord& layout, unsigned q, KeyboardStaging& staging,
                    rom::ExportReport& out) {
    auto& table = staging.functionTable;
    const auto row = [&](int r) { return &table[static_cast<std::size_t>(r) * 16 + 2 * q]; };
    const QString q2 = twoDigits(q);
    const auto misassigned = [&](const QString& what) {
        report(out, 21,
               QStringLiteral("ZELMakeTable: Некорректное назначение ") + what +
                   QStringLiteral(" в раскладке ") + q2);
        return false;
    };
    row(0)[0] = 0xFE;
    std::uint8_t flag = 0;
    for (const FixedLine& fixed : layout.fixedLines) {
        if (fixed.line == -1)
            break;
        const int a = fixed.line;
        const int f = fixed.code;
        const bool kbd = a >= 0 && a <= 15;
        const unsigned bit = kbd ? 1u << a : 0u;
        if (f == 0x80)
            flag |= 0x01;
        else if (f == 0x81)
            flag |= 0x02;
        else if (f == 0x82)
            flag |= 0x80;
        if (f == 0) {
            continue;
        } else if (f == 1) {
            if (!kbd && a != kAllLinesVscl)
                return misassigned(QStringLiteral("VSCL"));
            putMask(row(1), kbd ? bit : 0xFEFF);
        } else if (f == 2 || f == 0x80) {
            if (!kbd)
                return misassigned(QStringLiteral("VSDA"));
            putMask(row(2), bit);
        } else if (f == 3) {
            if (!kbd)
                return misassigned(QStringLiteral("VSEL"));
            putMask(row(3), bit);
        } else if ((f >= 4 && f <= 9) || f == 0x82) {
            unsigned mask = bit;
            if (a == kAllLines) {
                mask = 0xFFFF;
                flag |= 0x04;
            } else if (!kbd) {
                return misassigned(QStringLiteral("функции ") + functionHex(f));
            }
            const int r = f == 0x82 ? 6 : f;
            putMask(row(r), maskAt(row(r)) | mask);
        } else if (f == 0x81) {
            if (a != kAllLines)
                return misassigned(QStringLiteral("VSCL"));
            putMask(row(3), 0xFFFF);
        } else {
            report(out, 22,
                   QStringLiteral("ZELMakeTable: Несуществующая функция ") + functionHex(f) +
                       QStringLiteral(" в раскладке ") + q2);
            return false;
        }
    }
    row(0)[1] = flag;
    return true;
}

bool buildLayout(LayoutRecord& layout, unsigned q, KeyboardStaging& staging, rom::ExportReport& out,
                 bool& lineErrors) {
    const bool newStyle = staging.newStyle;
    const int smax = newStyle ? 12 : 8;
    const bool packed = layout.type == 1;
    if (layout.type < 0 || layout.type > (newStyle ? 1 : 0)) {
        report(out, 221,
               QStringLiteral("ZELMakeTable: Попытка записать новую раскладку ") +
                   QString::number(q) + QStringLiteral(" в старый контейнер"));
        return false;
    }
    if (!buildFunctions(layout, q, staging, out))
        return false;

    bool transpose = layout.columns >= layout.rows && layout.columns <= 8 && !packed;
    if (layout.type == 0) {
        if (anyLineIs(layout.rowLines, kUnwiredLine))
            transpose = false;
        if (anyLineIs(layout.columnLines, kUnwiredLine))
            transpose = true;
    }
    const int scans = transpose ? layout.columns : layout.rows;
    const int returns = transpose ? layout.rows : layout.columns;
    const auto& scanLines = transpose ? layout.columnLines : layout.rowLines;
    const auto& returnLines = transpose ? layout.rowLines : layout.columnLines;
    const auto key = [&](int m, int s) {
        return transpose ? layout.keys[s][m] : layout.keys[m][s];
    };

    const QString q2 = twoDigits(q);
    if (scans <= 0 || returns <= 0) {
        report(out, 21, QStringLiteral("ZELMakeTable: Матрица клавиатуры слишком мала"));
        return false;
    }
    if (scans > smax || returns > 16 || (!packed && scans * returns > 64) ||
        (packed && returns > 12) || (packed && scans * (scans + 1) / 2 > 64)) {
        report(out, 21, QStringLiteral("ZELMakeTable: Матрица клавиатуры слишком велика"));
        return false;
    }
    const auto slot = [&](int m) { return m == smax ? 0 : m; };

    // Return masks by slot, with the number of return lines among KBD8..KBD15.
    bool returnReported = false;
    for (int m = 1; m <= scans; ++m) {
        unsigned mask = 0;
        const int last = packed ? std::min(m, returns) : returns;
        for (int r = 1; r <= last && returnLines[r] != -1; ++r) {
            const int line = returnLines[r];
            if (line < 0 || line > 15) {
                if (!returnReported)
                    report(out, 20,
                           QStringLiteral("ZELMakeTable: Матрица выходит за пределы (KBD0..15) в "
                                          "раскладке ") +
                               q2);
                returnReported = lineErrors = true;
                continue;
            }
            mask |= 1u << line;
        }
        const auto count = static_cast<std::uint8_t>(std::popcount(mask >> 8));
        if (newStyle) {
            std::uint8_t* entry = &staging.returnMasks[24 * q + 2 * slot(m)];
            putMask(entry, mask);
            staging.offsets[24 * q + 2 * slot(m) + 1] = count;
        } else {
            std::uint8_t* entry = &staging.returnMasks[24 * q + 3 * slot(m)];
            putMask(entry, mask);
            entry[2] = count;
        }
    }

    // Drive patterns (old style) or drive bytes (new style) by scan row.
    unsigned scanMask = 0;
    bool scanReported = false;
    for (int m = 1; m <= scans; ++m) {
        const int line = scanLines[m];
        unsigned bit = 0;
        if (line >= 0 && line <= 15) {
            bit = 1u << line;
        } else if (line != -1 && line != kUnwiredLine) {
            if (!scanReported)
                report(out, 20,
                       QStringLiteral("ZELMakeTable: Линия в/в за пределами (KBD0..15) в "
                                      "раскладке ") +
                           q2);
            scanReported = lineErrors = true;
        }
        scanMask |= bit;
        const unsigned pattern = bit ^ 0xFFFF;
        if (newStyle) {
            const int zero = bit == 0 ? 16 : std::countr_zero(bit);
            staging.drive[12 * q + static_cast<unsigned>(m - 1)] =
                static_cast<std::uint8_t>(staging.driveBase + 2 * zero);
        } else {
            putMask(&staging.drive[24 * q + 3 * static_cast<unsigned>(m - 1)], pattern);
        }
    }
    unsigned outputMask = scanMask;
    for (const FixedLine& fixed : layout.fixedLines) {
        if (fixed.line == -1)
            break;
        const int f = fixed.code;
        if ((f == 1 || (f >= 3 && f <= 7) || f == 0x82) && fixed.line >= 0 && fixed.line <= 15)
            outputMask |= 1u << fixed.line;
    }
    putMask(&staging.scanMasks[2 * q], scanMask);
    putMask(&staging.outputMasks[2 * q], outputMask);

    // Key codes row by row, each row's return lines ordered KBD8..KBD15 before KBD0..KBD7.
    for (int s = 1; s <= scans; ++s) {
        const int count = packed ? s : returns;
        std::vector<int> order;
        for (int m = 1; m <= count; ++m)
            order.push_back(m);
        const auto priority = [&](int m) { return ((returnLines[m] + 8) % 16 + 16) % 16; };
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return priority(a) < priority(b); });
        const int base = packed ? (s - 1) * s / 2 : (s - 1) * returns;
        for (int i = 0; i < count; ++i) {
            const int code = key(order[static_cast<std::size_t>(i)], s);
            staging.keyTables[64 * q + static_cast<unsigned>(base + i)] =
                code == -1 ? 0xFF : static_cast<std::uint8_t>(code);
        }
    }

    // Key offsets by slot; the new style marks the last scan row.
    for (int m = 1; m <= smax; ++m) {
        int offset = 0;
        if (newStyle && packed)
            offset =
                m < scans ? (m - 1) * m / 2 : (scans - 1) * scans / 2 + (m == scans ? 0x80 : 0);
        else if (newStyle)
            offset =
                m < scans ? returns * (m - 1) : returns * (scans - 1) + (m == scans ? 0x80 : 0);
        else
            offset = m < scans ? returns * (m - 1) : returns * (scans - 1);
        const auto value = static_cast<std::uint8_t>(offset);
        if (newStyle)
            staging.offsets[24 * q + 2 * slot(m)] = value;
        else
            staging.drive[24 * q + 3 * slot(m) + 2] = value;
    }
    layout.scanCount = scans;
    layout.returnCount = returns;
    return true;
}

} // namespace

LayoutRecord::LayoutRecord() {
    for (auto& column : keys)
        column.fill(-1);
    columnLines.fill(-1);
    rowLines.fill(-1);
}

ParsedLayouts::ParsedLayouts() {
    for (auto& row : calculator)
        row.fill(0xFF);
}

KeyboardStaging::KeyboardStaging(bool newStyleTables, std::uint8_t base)
    : newStyle(newStyleTables), driveBase(base) {
    drive.assign(newStyle ? 96 : 192, newStyle ? static_cast<std::uint8_t>(base + 32) : 0xFF);
    keyTables.fill(0xFF);
}

bool ParseLayouts(const SettingsFile& project, const QStringList& keys, const QStringList& lines,
                  ParsedLayouts& parsed, rom::ExportReport& out) {
    for (unsigned q = 0; q < kLayouts; ++q) {
        const QString section = QStringLiteral("Layout") + QString::number(q);
        if (project.SectionExists(section) && !parseSection(project, q, keys, lines, parsed, out))
            return false;
        const QString fixedSection = section + QStringLiteral(".FixedLines");
        if (!project.SectionExists(fixedSection))
            continue;
        for (const QString& line : project.ReadSection(fixedSection)) {
            const QString value = line.mid(line.indexOf('=') + 1);
            parsed.layouts[q].fixedLines.push_back({HexFieldOf(value, QStringLiteral("Address")),
                                                    HexFieldOf(value, QStringLiteral("Code"))});
        }
    }
    return true;
}

unsigned RowsNeeded(const ParsedLayouts& parsed) {
    int highest = 0;
    for (const LayoutRecord& layout : parsed.layouts) {
        for (const FixedLine& fixed : layout.fixedLines) {
            if (fixed.code == -1)
                break;
            if (fixed.code <= 14)
                highest = std::max(highest, fixed.code);
        }
    }
    return static_cast<unsigned>(highest) + 1;
}

bool BuildTables(ParsedLayouts& parsed, KeyboardStaging& staging, rom::ExportReport& out) {
    bool lineErrors = false;
    for (unsigned q = 0; q < kLayouts; ++q) {
        LayoutRecord& layout = parsed.layouts[q];
        if (layout.present && !buildLayout(layout, q, staging, out, lineErrors))
            return false;
    }
    return !lineErrors;
}

} // namespace telmira::layout
