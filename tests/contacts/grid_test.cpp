#include "contacts/gridcompose.h"
#include "contacts/gridlayout.h"
#include "contacts/recordlooks.h"

#include "tests/common/qtprint.h"

#include <gtest/gtest.h>

using namespace telmira::contacts;

namespace {

// The record looks of the three tabs.
const QStringList kPhoneBook = PhoneBookRecordLook();

const QStringList kArchive = ArchiveRecordLook();

const QStringList kMelody = MelodyRecordLook();

int charWidth(const QString& text, const TextStyle& style) {
    return int(text.size()) * (style.bold ? 8 : 7);
}

QString mainText(const LinePaint& line) {
    QString out;
    for (const TextPiece& piece : line.pieces)
        out += piece.text;
    return out;
}

RecordState state(bool current = false, int width = 400) {
    RecordState s;
    s.current = current;
    s.panelWidth = width;
    return s;
}

} // namespace

TEST(GridLayout, ParsesKeysWithTheirDefaults) {
    const GridLayout archive = GridLayout::parse(kArchive);
    ASSERT_EQ(archive.lines.size(), 7u);
    const LineLayout& first = archive.lines[0];
    EXPECT_TRUE(first.hasName);
    EXPECT_EQ(first.name, QStringLiteral("Телефон"));
    EXPECT_EQ(first.name1, QStringLiteral("ДатаВремя"));
    EXPECT_TRUE(first.bold);
    EXPECT_FALSE(first.italic);
    EXPECT_EQ(first.shift, 4);
    EXPECT_EQ(first.select, "");
    EXPECT_EQ(first.checkedFieldName, "Checked");
    ASSERT_TRUE(first.checkedColor);
    EXPECT_EQ(first.checkedColor->resolve(QPalette()), QColor(0x97, 0xBA, 0xB1));
    EXPECT_EQ(first.selColor.resolve(QPalette()), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_TRUE(first.yCenter);
    const LineLayout& second = archive.lines[1];
    EXPECT_EQ(second.nameMaxWidth, 300);
    EXPECT_TRUE(second.underline);
    EXPECT_EQ(second.yShift, 3);
    EXPECT_EQ(second.selColor.resolve(QPalette()), QColor(0xE6, 0xE6, 0xE6)); // default
    const LineLayout& picture = archive.lines[6];
    EXPECT_FALSE(picture.hasName);
    EXPECT_TRUE(picture.hasPicture);
    EXPECT_EQ(picture.picture, "1");
    EXPECT_EQ(picture.pictureIndex, "CalculatedType");
    EXPECT_EQ(picture.picTop, -1);
    EXPECT_EQ(archive.rowHeight(), 18);
    EXPECT_EQ(archive.largestYShift(), 3);
    EXPECT_EQ(archive.largestMinRecordHeight(), 68);
    EXPECT_EQ(archive.textLineCount(), 6);

    const GridLayout melody = GridLayout::parse(kMelody);
    EXPECT_EQ(melody.rowHeight(), 16);
    EXPECT_EQ(melody.lines[0].delimiter, "Type");
    EXPECT_EQ(melody.lines[0].delimiterValue, "4");
    EXPECT_TRUE(melody.lines[0].delimiterColor.isSystem());
    EXPECT_EQ(melody.lines[0].delimiterColor.systemIndex(), 15);

    // "Name" is not found inside "CheckedFieldName" or "Name1", nor "Bold" in "Bold1".
    const GridLayout tricky =
        GridLayout::parse({"CheckedFieldName=X; Name1=Y; Bold1=TRUE; YCenter=false; bold=TRUE;"});
    EXPECT_FALSE(tricky.lines[0].hasName);
    EXPECT_TRUE(tricky.lines[0].bold1);
    EXPECT_FALSE(tricky.lines[0].bold); // keys are case-sensitive, as in every keyed record
    EXPECT_FALSE(tricky.lines[0].yCenter);
}

TEST(GridLayout, ColoursAreWindowsValuesOrSystemIndexes) {
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    palette.setColor(QPalette::Highlight, QColor(4, 5, 6));
    palette.setColor(QPalette::Base, QColor(7, 8, 9));
    struct Case {
        const char* text;
        QColor expected;
    } cases[] = {
        {"$00FFF9F9", QColor(0xF9, 0xF9, 0xFF)}, {"$C0E1EB", QColor(0xEB, 0xE1, 0xC0)},
        {"$FF00000F", QColor(1, 2, 3)},          {"$FF00000D", QColor(4, 5, 6)},
        {"$FF000005", QColor(7, 8, 9)},          {"$FF0000EE", QColor(7, 8, 9)},
        {"-16777201", QColor(1, 2, 3)},          {"255", QColor(255, 0, 0)},
        {"clRed", QColor(255, 255, 255)},        {"", QColor(255, 255, 255)},
        {"$0100FF00", QColor(0, 255, 0)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GridColor::parse(c.text).resolve(palette), c.expected) << c.text;
    EXPECT_EQ(SystemColorRole(18), QPalette::ButtonText);
    EXPECT_EQ(SystemColorRole(24), QPalette::ToolTipBase);
}

TEST(GridCompose, PhoneBookRecordDrawsItsNonBlankLinesWithDefaultLabels) {
    const GridLayout layout = GridLayout::parse(kPhoneBook);
    Record contact{{"Имя", QStringLiteral("Иванов Иван ")},
                   {"Ник", QStringLiteral("Ваня")},
                   {"Phone1Full", QStringLiteral("+7(495) 123-45-67")},
                   {"Phone1Label", QStringLiteral("-Дача:")},
                   {"Phone2Full", QStringLiteral("+7(916) 765-43-21")},
                   {"Phone2Label", QString()},
                   {"Phone4Full", QStringLiteral("123-45-67")},
                   {"Phone4Label", QStringLiteral("  ")},
                   {"Phone3Full", QString()},
                   {"Phone5Full", QStringLiteral(" ")},
                   {"ImportToPhone", false}};
    const RecordPaint paint = ComposeRecord(layout, contact, state(), charWidth);
    ASSERT_EQ(paint.lines.size(), 5u);
    EXPECT_EQ(mainText(paint.lines[0]), QStringLiteral("Иванов Иван "));
    EXPECT_EQ(mainText(paint.lines[1]), QStringLiteral("Ваня"));
    EXPECT_EQ(mainText(paint.lines[2]), QStringLiteral("Дача: +7(495) 123-45-67"));
    EXPECT_EQ(mainText(paint.lines[3]), QStringLiteral("Мобильный: +7(916) 765-43-21"));
    EXPECT_EQ(mainText(paint.lines[4]), QStringLiteral("Телефон: 123-45-67"));
    for (size_t k = 0; k < paint.lines.size(); ++k) {
        EXPECT_EQ(paint.lines[k].band, QRect(3, 3 + int(k) * 18, 393, 18)) << k;
    }
    EXPECT_EQ(RecordHeight(layout, contact), 5 * 18 + 5);
    EXPECT_TRUE(paint.lines[0].style.bold);
    EXPECT_TRUE(paint.lines[1].style.underline);
    EXPECT_EQ(paint.lines[0].textX, 6);
    // The name line has its own colour; the others take the grid's, or the selection's.
    EXPECT_EQ(paint.lines[0].background, GridColor::system(15));
    EXPECT_EQ(paint.lines[2].background, GridColor::system(5));
    const RecordPaint current = ComposeRecord(layout, contact, state(true), charWidth);
    EXPECT_EQ(current.lines[0].background, GridColor::system(15));
    EXPECT_TRUE(current.lines[2].backgroundIsSelection);
    contact.insert("ImportToPhone", true);
    EXPECT_EQ(ComposeRecord(layout, contact, state(), charWidth).lines[0].background,
              GridColor::parse("$C0E1EB"));
    // Without a nickname the line goes.
    contact.insert("Ник", QString());
    EXPECT_EQ(ComposeRecord(layout, contact, state(), charWidth).lines.size(), 4u);
}

TEST(GridCompose, SelectHighlightsWordStartsInCapitals) {
    struct Case {
        const char* text;
        const char* select;
        std::vector<std::pair<int, int>> expected;
    } cases[] = {
        {"Иванов", "ИВ", {{0, 2}}},
        {"Сивков", "ИВ", {}},
        {"Пётр Иванов ивушкин", "ив", {{5, 7}, {12, 14}}},
        {"ИВИВ", "ИВ", {{0, 2}}},
        {"abc", " ", {}},
        {"abc", "", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HighlightRanges(QString::fromUtf8(c.text), QString::fromUtf8(c.select)),
                  c.expected)
            << c.text;

    GridLayout layout = GridLayout::parse(kPhoneBook);
    layout.lines[0].select = QStringLiteral("ИВ");
    const RecordPaint paint =
        ComposeRecord(layout, {{"Имя", QStringLiteral("Иванов Иван ")}}, state(), charWidth);
    ASSERT_EQ(paint.lines[0].pieces.size(), 4u);
    EXPECT_EQ(paint.lines[0].pieces[0], (TextPiece{QStringLiteral("Ив"), true, 6}));
    EXPECT_EQ(paint.lines[0].pieces[1], (TextPiece{QStringLiteral("анов "), false, 22}));
    EXPECT_EQ(paint.lines[0].pieces[2], (TextPiece{QStringLiteral("Ив"), true, 62}));
    EXPECT_EQ(paint.lines[0].highlightColor, GridColor::parse("$C0C0C0"));
}

TEST(GridCompose, ArchiveRecordCentresItsNamesAndMarksNewCalls) {
    const GridLayout layout = GridLayout::parse(kArchive);
    Record call{{"Телефон", QStringLiteral("7(495) 123-45-67")},
                {"ДатаВремя", QStringLiteral("—  дата: 01.03.2024")},
                {"Имя1", QStringLiteral("Иванов Иван")},
                {"Имя11", QStringLiteral("+7(495) 123-45-67 — Домашний")},
                {"Имя2", QString()},
                {"CalculatedType", 2},
                {"Checked", true}};
    EXPECT_EQ(RecordHeight(layout, call), 68 + 5);
    const RecordPaint paint = ComposeRecord(layout, call, state(), charWidth);
    ASSERT_EQ(paint.lines.size(), 2u);
    EXPECT_EQ(paint.lines[0].band.top(), 3);
    EXPECT_EQ(paint.lines[1].band.top(), 3 + 18 + (68 - 2 * 18) / 2);
    EXPECT_EQ(paint.lines[0].background, GridColor::parse("$B1BA97")); // a new call
    EXPECT_EQ(paint.lines[0].name1, QStringLiteral("—  дата: 01.03.2024"));
    EXPECT_EQ(paint.lines[0].name1X, 7 + 16 * 8 + 5); // 5 pixels after the bold number
    EXPECT_EQ(paint.lines[1].name1X, 3 + 50 + 300 + 10);
    EXPECT_TRUE(paint.lines[1].name1Style.underline == false && paint.lines[1].style.underline);
    ASSERT_TRUE(paint.picture);
    EXPECT_EQ(paint.picture->list, "1");
    EXPECT_EQ(paint.picture->index, 2);
    EXPECT_EQ(paint.picture->x, 3);
    EXPECT_EQ(paint.picture->y, -1);
    call.insert("Checked", false);
    EXPECT_EQ(ComposeRecord(layout, call, state(), charWidth).lines[0].background,
              GridColor::parse("$C0E1EB"));

    // Five names: taller than the minimum, so no centring; the YShift applies once.
    for (int n = 2; n <= 5; ++n)
        call.insert(QStringLiteral("Имя%1").arg(n), QStringLiteral("Кто-то"));
    EXPECT_EQ(RecordHeight(layout, call), 6 * 18 + 6 + 5);
    const RecordPaint tall = ComposeRecord(layout, call, state(), charWidth);
    ASSERT_EQ(tall.lines.size(), 6u);
    EXPECT_EQ(tall.lines[1].band.top(), 3 + 18 + 3);
    EXPECT_EQ(tall.lines[5].band.top(), 3 + 5 * 18 + 3);
}

TEST(GridCompose, LongTextsEndInTwoDots) {
    const GridLayout layout = GridLayout::parse(kArchive);
    const QString longName(60, QLatin1Char('x')); // 60 * 8 = 480 px bold, over 300
    const RecordPaint paint = ComposeRecord(layout, {{"Телефон", "1"}, {"Имя1", longName}},
                                            state(false, 1000), charWidth);
    const LinePaint& line = paint.lines[1];
    EXPECT_EQ(line.pieces.back().text, "..");
    // 300 less ".." (16) and 2 pixels leaves 282 pixels: 35 characters of 8.
    EXPECT_EQ(mainText(line), QString(35, QLatin1Char('x')) + "..");
    // A text wider than its band is cut to the band.
    const RecordPaint narrow = ComposeRecord(layout, {{"Телефон", QString(50, QLatin1Char('9'))}},
                                             state(false, 200), charWidth);
    EXPECT_TRUE(mainText(narrow.lines[0]).endsWith(".."));
    EXPECT_LE(4 + (int(mainText(narrow.lines[0]).size()) - 2) * 8 + 16 + 2, 193);
}

TEST(GridCompose, MelodySectionHeadersAreBoldDelimitersWithTheirMark) {
    const GridLayout layout = GridLayout::parse(kMelody);
    const Record header{{"Имя", QStringLiteral("Классика")}, {"Type", 4}, {"FileName", "1"}};
    const Record melody{{"Имя", QStringLiteral("001 - Вальс")}, {"Type", 1}, {"FileName", "a.mid"}};
    const RecordPaint h = ComposeRecord(layout, header, state(true), charWidth);
    EXPECT_TRUE(h.delimiterRow);
    EXPECT_TRUE(h.lines[0].style.bold);
    EXPECT_EQ(h.lines[0].background, GridColor::system(15));
    ASSERT_TRUE(h.picture);
    EXPECT_EQ(h.picture->list, "2");
    EXPECT_EQ(h.picture->index, 1);
    EXPECT_EQ(h.picture->y, 5);
    EXPECT_EQ(h.lines[0].textX, 3 + 16);
    const RecordPaint m = ComposeRecord(layout, melody, state(true), charWidth);
    EXPECT_FALSE(m.delimiterRow);
    EXPECT_FALSE(m.picture);
    EXPECT_TRUE(m.lines[0].backgroundIsSelection); // a one-line layout shows the selection
    EXPECT_EQ(m.lines[0].textX, 3 + 16);           // DelimiterShift moves every row's text
    EXPECT_EQ(ComposeRecord(layout, melody, state(), charWidth).lines[0].background,
              GridColor::parse("$00FFF9F9"));
    EXPECT_EQ(RecordHeight(layout, melody), 16 + 5);
}

TEST(GridLayout, SelectedColourIsAWindowsValue) {
    // $E7E9EA is blue E7, green E9, red EA: a light grey with a touch of warmth.
    EXPECT_EQ(GridColor::fromValue(0xE7E9EA).resolve(QPalette()), QColor(0xEA, 0xE9, 0xE7));
    EXPECT_EQ(RecordState().selectedColor, GridColor::parse("$00E7E9EA"));
}

TEST(GridCompose, RecordHeightCountsNonBlankLines) {
    const GridLayout layout =
        GridLayout::parse({"Name=A; YShift=4;", "Name=B; RowHeight=20;", "MinRecordHeight=30;"});
    struct Case {
        Record record;
        int height;
    } cases[] = {
        {{{"A", "a"}, {"B", "b"}}, 2 * 20 + 2 * 4 + 5}, // the last RowHeight counts for all
        {{{"A", "a"}, {"B", "  "}}, 30 + 5},            // 20 + 8 is under the minimum
        {{}, 30 + 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RecordHeight(layout, c.record), c.height)
            << c.record.keys().join(",").toStdString();
    EXPECT_EQ(RecordHeight(GridLayout::parse({"Name=A;"}), {{"A", "a"}}), 18 + 5);
}

TEST(GridPlacement, ColumnsShareTheWidthLessTheScrollBar) {
    struct Case {
        int width, scrollBar, minimum;
        GridColumns expected;
    } cases[] = {
        {900, 0, 170, {5, 180}}, // the default minimum in a grid 900 pixels wide
        {917, 17, 170, {5, 180}},    {900, 17, 170, {5, 176}},
        {100, 0, 170, {1, 100}}, // at least one column
        {1200, 17, 1000, {1, 1183}}, {500, 0, 0, {1, 500}},
        {10, 17, 170, {1, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ColumnsOf(c.width, c.scrollBar, c.minimum), c.expected)
            << c.width << " " << c.scrollBar << " " << c.minimum;
}

TEST(GridPlacement, RecordsGoDownAColumnThenTheNextAndTheLastIsStretched) {
    // Records of 30 pixels in a grid 100 high: three fit a column with 10 to spare
    // (0, 30, 60 -> 90 + 10 = 100), the third is stretched to the bottom.
    const auto places = PlaceRecords(2, 20, 100, 2, [](int) { return 30; });
    const std::vector<RecordPlace> expected = {{2, 0, 0, 30}, {3, 0, 30, 30}, {4, 0, 60, 40},
                                               {5, 1, 0, 30}, {6, 1, 30, 30}, {7, 1, 60, 40}};
    EXPECT_EQ(places, expected);
    // 31 pixels leave 7 to spare under the third: it starts the next column.
    EXPECT_EQ(PlaceRecords(0, 20, 100, 1, [](int) { return 31; }).size(), 2u);
    // A record taller than the grid still gets its column; the last record stretches.
    const auto tall = PlaceRecords(0, 2, 50, 3, [](int row) { return row == 0 ? 80 : 10; });
    ASSERT_EQ(tall.size(), 2u);
    EXPECT_EQ(tall[0].height, 80);
    EXPECT_EQ(tall[1].column, 1);
    EXPECT_EQ(tall[1].height, 50);
    EXPECT_TRUE(PlaceRecords(0, 0, 100, 2, [](int) { return 10; }).empty());
    // The records after the last placed one are never measured.
    int measured = 0;
    PlaceRecords(1000, 200000, 100, 2, [&](int) { return ++measured, 30; });
    EXPECT_EQ(measured, 7);
}

TEST(GridPlacement, TopToShowPutsARowInTheLastPlace) {
    const auto even = [](int) { return 30; };
    const GridFrame frame{20, 100, 2};
    EXPECT_EQ(TopToShow(8, frame, even), 3); // rows 3..8
    EXPECT_EQ(TopToShow(2, frame, even), 0);
    EXPECT_EQ(LastTop(frame, even), 14);
    EXPECT_EQ(LastTop({3, 100, 2}, even), 0);
    EXPECT_EQ(LastTop({0, 100, 2}, even), 0);
    // A tall first record: from row 0 only rows 0 and 1 are placed, so row 2 needs top 1.
    const auto uneven = [](int row) { return row == 0 ? 60 : 20; };
    EXPECT_EQ(TopToShow(2, {10, 100, 1}, uneven), 1);
}

TEST(GridPlacement, KeysMoveTheCurrentRecordAndKeepItInSight) {
    // 20 records of 30 pixels, two columns of three: a page of six, the last top 14.
    const auto even = [](int) { return 30; };
    const GridFrame frame{20, 100, 2};
    const int lastTop = LastTop(frame, even);
    struct Case {
        GridView from;
        GridMove move;
        GridView expected;
    } cases[] = {
        {{0, 5}, GridMove::Down, {1, 6}}, // out of sight below: the view follows
        {{3, 3}, GridMove::Up, {2, 2}},
        {{0, 0}, GridMove::Up, {0, 0}},
        {{0, 0}, GridMove::PageDown, {6, 6}},
        {{0, 2}, GridMove::PageDown, {6, 8}},
        {{12, 13}, GridMove::PageDown, {14, 15}}, // the view stops at the last page
        {{14, 15}, GridMove::PageDown, {14, 19}}, // then the current record goes to the last
        {{6, 8}, GridMove::PageUp, {0, 2}},
        {{3, 4}, GridMove::PageUp, {0, 1}},
        {{0, 3}, GridMove::PageUp, {0, 0}},
        {{6, 8}, GridMove::Home, {0, 0}},
        {{0, 3}, GridMove::End, {14, 19}},
        {{0, 1}, GridMove::Right, {0, 4}}, // beside it in the next column
        {{0, 2}, GridMove::Right, {0, 5}}, // the stretched last record
        {{0, 4}, GridMove::Right, {2, 7}}, // past the last column: on by a column's records
        {{0, 4}, GridMove::Left, {0, 1}},
        {{0, 1}, GridMove::Left, {0, 0}},
        {{50, 99}, GridMove::Down, {14, 19}}, // a view out of range is brought back
        {{9, 2}, GridMove::Down, {2, 3}},     // a current record scrolled away comes back first
    };
    for (const Case& c : cases) {
        const GridView got = MoveInGrid(c.from, c.move, frame, lastTop, even);
        EXPECT_EQ(got, c.expected) << "from " << c.from.top << "/" << c.from.current << " move "
                                   << int(c.move) << " got " << got.top << "/" << got.current;
    }
    // One column: left and right have no column to go to.
    EXPECT_EQ(MoveInGrid({0, 1}, GridMove::Right, {20, 100, 1}, 17, even), (GridView{0, 1}));
    // No records: no current record.
    EXPECT_EQ(MoveInGrid({3, 3}, GridMove::Down, {0, 100, 2}, 0, even), (GridView{0, -1}));
    EXPECT_EQ(ShowCurrent({0, -1}, frame, lastTop, even), (GridView{0, 0}));
}
