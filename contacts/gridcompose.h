#pragma once

#include "contacts/calcfields.h"
#include "contacts/gridlayout.h"

#include <QRect>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// What the record grid draws for one record, worked out from the layout and the record's
// values apart from any painting: line bands, backgrounds, texts cut to their room with the
// highlighted pieces, the Name1 texts, the picture, and the record heights and placement.
namespace telmira::contacts {

struct TextStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool operator==(const TextStyle&) const = default;
};

// Text widths in pixels in the grid's font with a style.
using TextWidthFn = std::function<int(const QString&, const TextStyle&)>;

struct TextPiece {
    QString text;
    bool highlighted = false;
    int x = 0; // from the panel's left edge
    bool operator==(const TextPiece&) const = default;
};

struct LinePaint {
    QRect band;
    GridColor background;
    bool backgroundIsSelection = false;
    TextStyle style;
    int textX = 0;
    std::vector<TextPiece> pieces; // the main text; ".." closes a cut text
    GridColor highlightColor;
    QString name1;
    TextStyle name1Style;
    int name1X = 0;
};

struct PicturePaint {
    QString list; // "1" call types, "2" open/closed marks
    int index = 0;
    int x = 0;
    int y = 0; // -1: centred in the record
};

struct RecordPaint {
    std::vector<LinePaint> lines;
    std::optional<PicturePaint> picture;
    bool delimiterRow = false;
    bool focusRect = false;
};

struct RecordState {
    bool current = false; // the grid's current record
    bool focused = false; // the grid has the keyboard focus
    int panelWidth = 170;
    GridColor selectedColor = GridColor::fromValue(0xE7E9EA); // the owners' $E7E9EA
    GridColor gridColor = GridColor::system(5);
};

// The default labels of numbers 1..5 of a contact, used when a label is blank.
QString DefaultNumberLabel(int number);

// The line's label text: the label field's value, or the default label of the number named by
// the sixth character of the field name ("Phone3Label" -> 3) when blank; a leading "-" dropped.
QString LineLabel(const LineLayout& line, const Record& record);

// The main text of a line: Head, the label and a blank, the Name field's value, Tail. Empty
// when the line has no Name key or its value is blank (such a line takes no band).
QString LineMainText(const LineLayout& line, const Record& record);

// The record's height: its text lines times RowHeight plus twice the largest YShift, or the
// largest MinRecordHeight when larger, plus 5 pixels.
int RecordHeight(const GridLayout& layout, const Record& record);

// The pieces of `text` that are occurrences of `select` (compared in capitals) at the start of
// the text or after a blank: [start, end) ranges.
std::vector<std::pair<int, int>> HighlightRanges(const QString& text, const QString& select);

RecordPaint ComposeRecord(const GridLayout& layout, const Record& record, const RecordState& state,
                          const TextWidthFn& width);

// The panel drawn when the data set is empty.
inline QString NoRecordsText() {
    return QStringLiteral("Нет записей");
}
inline QString NewContactText() {
    return QStringLiteral("Новый контакт");
}

// The columns of a grid: (grid width − vertical scroll bar width) div the minimum column width,
// at least 1, all of the same width (what is left over is shared out evenly).
struct GridColumns {
    int count = 1;
    int width = 0;
    bool operator==(const GridColumns&) const = default;
};
GridColumns ColumnsOf(int gridWidth, int scrollBarWidth, int minColumnWidth);

// The height of the record at a row, in pixels.
using RowHeightFn = std::function<int(int row)>;

struct RecordPlace {
    int row = 0;
    int column = 0;
    int y = 0;
    int height = 0;
    bool operator==(const RecordPlace&) const = default;
};
// Places records from `top` down the first column; a record that does not fit with 10 pixels
// to spare starts the next column (the first record of a column always stays); the last record
// of every column is stretched to the bottom. Only the records placed are measured.
std::vector<RecordPlace> PlaceRecords(int top, int count, int gridHeight, int columns,
                                      const RowHeightFn& height);

// What the grid looks at: its record count, the height of its panel area and its columns.
struct GridFrame {
    int count = 0;
    int height = 0;
    int columns = 1;
};

// The smallest top record from which `row` is still placed (the top that shows `row` in the
// last place); measures about a page of records before `row`.
int TopToShow(int row, const GridFrame& frame, const RowHeightFn& height);
// The largest useful top record: the one that shows the last record in the last place.
int LastTop(const GridFrame& frame, const RowHeightFn& height);

// The grid's top record and its current record (-1 when there are no records).
struct GridView {
    int top = 0;
    int current = -1;
    bool operator==(const GridView&) const = default;
};

enum class GridMove { Up, Down, Left, Right, PageUp, PageDown, Home, End };

// The view brought into range with its current record in sight: the top moves as little as it
// must. `lastTop` is LastTop(frame, height).
GridView ShowCurrent(GridView view, const GridFrame& frame, int lastTop, const RowHeightFn& height);
// A key's move: up and down by one record; left and right to the record beside it in the
// previous or next column (past the last column: on by that column's records; nothing in a
// grid of one column); Page Down to the page after the last record in view, Page Up to the page
// before the top, both carrying the current record along by as many records; Home and End to
// the first and last record.
GridView MoveInGrid(GridView view, GridMove move, const GridFrame& frame, int lastTop,
                    const RowHeightFn& height);

} // namespace telmira::contacts
