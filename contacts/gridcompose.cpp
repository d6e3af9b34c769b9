#include "contacts/gridcompose.h"

#include "contacts/numbers.h"
#include "frame/records.h"

#include <algorithm>

namespace telmira::contacts {
namespace {

const QString kEllipsis = QStringLiteral("..");

QString fieldText(const Record& record, const QString& field) {
    return field.isEmpty() ? QString() : record.value(field).toString();
}

bool isDelimiterRow(const GridLayout& layout, const Record& record, const LineLayout** which) {
    for (const LineLayout& line : layout.lines) {
        if (line.delimiter.isEmpty())
            continue;
        if (record.contains(line.delimiter) &&
            record.value(line.delimiter).toString() == line.delimiterValue) {
            *which = &line;
            return true;
        }
    }
    return false;
}

bool fieldIsTrue(const Record& record, const QString& field) {
    const QVariant value = record.value(field);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return parseBool(value.toString()).value_or(false);
}

// The main text cut to `limit` pixels with room for "..": the kept length, or -1 when it fits.
int cutLength(const QString& text, int shift, int bandWidth, int maxWidth, const TextStyle& style,
              const TextWidthFn& width) {
    const int full = width(text, style);
    const bool tooWide = shift + full > bandWidth || (maxWidth > 0 && full > maxWidth);
    if (!tooWide)
        return -1;
    const int room = (maxWidth > 0 ? maxWidth : bandWidth - shift) - width(kEllipsis, style) - 2;
    int keep = int(text.size());
    while (keep > 0 && width(text.left(keep), style) > room)
        --keep;
    return keep;
}

} // namespace

QString DefaultNumberLabel(int number) {
    static const char* labels[] = {"Домашний:", "Мобильный:", "Рабочий:", "Телефон:", "Телефон:"};
    if (number < 1 || number > 5)
        return {};
    return QString::fromUtf8(labels[number - 1]);
}

QString LineLabel(const LineLayout& line, const Record& record) {
    if (line.label.isEmpty())
        return {};
    QString label = fieldText(record, line.label);
    if (IsBlank(label) && line.label.size() > 5 && line.label[5].isDigit())
        label = DefaultNumberLabel(line.label[5].digitValue());
    if (label.startsWith(QLatin1Char('-')))
        label.remove(0, 1);
    return label;
}

QString LineMainText(const LineLayout& line, const Record& record) {
    if (!line.hasName)
        return {};
    const QString value = fieldText(record, line.name);
    if (IsBlank(value))
        return {};
    QString text = line.head;
    if (!line.label.isEmpty())
        text += LineLabel(line, record) + QLatin1Char(' ');
    return text + value + line.tail;
}

int RecordHeight(const GridLayout& layout, const Record& record) {
    int lines = 0;
    for (const LineLayout& line : layout.lines)
        if (line.hasName && !IsBlank(fieldText(record, line.name)))
            ++lines;
    const int natural = lines * layout.rowHeight() + 2 * layout.largestYShift();
    return std::max(natural, layout.largestMinRecordHeight()) + 5;
}

std::vector<std::pair<int, int>> HighlightRanges(const QString& text, const QString& select) {
    std::vector<std::pair<int, int>> ranges;
    if (IsBlank(select))
        return ranges;
    const QString upperText = text.toUpper();
    const QString upperSelect = select.toUpper();
    // Upper-casing can change lengths ("ß" -> "SS"); then positions would not line up.
    if (upperText.size() != text.size())
        return ranges;
    qsizetype from = 0;
    while (from < upperText.size()) {
        const qsizetype at = upperText.indexOf(upperSelect, from);
        if (at < 0)
            break;
        if (at == 0 || text[at - 1] == QLatin1Char(' ')) {
            ranges.emplace_back(int(at), int(at + upperSelect.size()));
            from = at + upperSelect.size();
        } else {
            from = at + 1;
        }
    }
    return ranges;
}

RecordPaint ComposeRecord(const GridLayout& layout, const Record& record, const RecordState& state,
                          const TextWidthFn& width) {
    RecordPaint paint;
    const LineLayout* delimiter = nullptr;
    paint.delimiterRow = isDelimiterRow(layout, record, &delimiter);
    paint.focusRect = state.current && state.focused;

    const int rowHeight = layout.rowHeight();
    const int height = RecordHeight(layout, record) - 5;
    int textLines = 0;
    for (const LineLayout& line : layout.lines)
        if (!LineMainText(line, record).isEmpty())
            ++textLines;
    const bool atMinimum =
        layout.largestMinRecordHeight() > textLines * rowHeight + 2 * layout.largestYShift();
    const bool singleLineLayout = layout.textLineCount() == 1;

    int k = 0;
    int offset = 0;
    for (const LineLayout& line : layout.lines) {
        if (line.hasPicture && (!line.hasName || paint.delimiterRow) && !paint.picture) {
            PicturePaint picture;
            picture.list = line.picture;
            picture.index = parseInteger(fieldText(record, line.pictureIndex)).value_or(0);
            picture.x = line.shift;
            picture.y = line.picTop;
            paint.picture = picture;
        }
        const QString main = LineMainText(line, record);
        if (main.isEmpty())
            continue;
        if (k > 0 && line.yCenter && atMinimum)
            offset = (height - textLines * rowHeight) / 2;
        if (offset < line.yShift)
            offset += line.yShift;

        LinePaint out;
        out.band =
            QRect(3, 3 + k * rowHeight + offset, std::max(0, state.panelWidth - 7), rowHeight);
        ++k;
        out.style = {line.bold, line.italic, line.underline};
        if (state.current && singleLineLayout && !paint.delimiterRow) {
            out.background = state.selectedColor;
            out.backgroundIsSelection = true;
        } else if (paint.delimiterRow) {
            out.background = delimiter->delimiterColor;
            out.style.bold = true;
        } else if (line.checkedColor && !line.checkedFieldName.isEmpty() &&
                   fieldIsTrue(record, line.checkedFieldName)) {
            out.background = *line.checkedColor;
        } else if (line.color) {
            out.background = *line.color;
        } else if (state.current) {
            out.background = state.selectedColor;
            out.backgroundIsSelection = true;
        } else {
            out.background = state.gridColor;
        }
        out.highlightColor = line.selColor;

        const int shift = line.delimiterShift > 0 ? line.delimiterShift : line.shift;
        out.textX = out.band.left() + shift;
        const int keep =
            cutLength(main, shift, out.band.width(), line.nameMaxWidth, out.style, width);
        const int visible = keep < 0 ? int(main.size()) : keep;

        // Split the visible text into plain and highlighted pieces.
        int x = out.textX;
        int at = 0;
        auto addPiece = [&](int from, int to, bool highlighted) {
            if (to <= from)
                return;
            const QString piece = main.mid(from, to - from);
            out.pieces.push_back({piece, highlighted, x});
            x += width(piece, out.style);
        };
        for (const auto& [from, to] : HighlightRanges(main, line.select)) {
            if (from >= visible)
                break;
            addPiece(at, from, false);
            addPiece(from, std::min(to, visible), true);
            at = std::min(to, visible);
        }
        addPiece(at, visible, false);
        if (keep >= 0) {
            out.pieces.push_back({kEllipsis, false, x});
            x += width(kEllipsis, out.style);
        }

        out.name1 = fieldText(record, line.name1);
        if (IsBlank(out.name1))
            out.name1.clear();
        out.name1Style = {line.bold1, false, line.underline1};
        if (line.name1Pos > 0)
            out.name1X = out.band.left() + line.name1Pos;
        else if (line.nameMaxWidth > 0)
            out.name1X = out.textX + line.nameMaxWidth + 10;
        else
            out.name1X = x + 5;
        paint.lines.push_back(out);
    }
    return paint;
}

GridColumns ColumnsOf(int gridWidth, int scrollBarWidth, int minColumnWidth) {
    const int room = std::max(0, gridWidth - scrollBarWidth);
    GridColumns columns;
    columns.count = minColumnWidth > 0 ? std::max(1, room / minColumnWidth) : 1;
    columns.width = room / columns.count;
    return columns;
}

std::vector<RecordPlace> PlaceRecords(int top, int count, int gridHeight, int columns,
                                      const RowHeightFn& height) {
    std::vector<RecordPlace> places;
    int column = 0;
    int y = 0;
    for (int row = std::max(0, top); row < count && column < columns; ++row) {
        const int h = height(row);
        if (y > 0 && y + h + 10 > gridHeight) {
            places.back().height = std::max(places.back().height, gridHeight - places.back().y);
            ++column;
            y = 0;
            if (column >= columns)
                break;
        }
        places.push_back({row, column, y, h});
        y += h;
    }
    if (!places.empty())
        places.back().height = std::max(places.back().height, gridHeight - places.back().y);
    return places;
}

namespace {

// The last row placed from `top`; -1 when nothing is.
int lastPlaced(int top, int count, const GridFrame& frame, const RowHeightFn& height) {
    const std::vector<RecordPlace> places =
        PlaceRecords(top, count, frame.height, frame.columns, height);
    return places.empty() ? -1 : places.back().row;
}

} // namespace

int TopToShow(int row, const GridFrame& frame, const RowHeightFn& height) {
    row = std::clamp(row, 0, std::max(0, frame.count - 1));
    // Rows after `row` do not change where the rows up to it go: place only those.
    int top = row;
    while (top > 0 && lastPlaced(top - 1, row + 1, frame, height) == row)
        --top;
    return top;
}

int LastTop(const GridFrame& frame, const RowHeightFn& height) {
    return frame.count > 0 ? TopToShow(frame.count - 1, frame, height) : 0;
}

GridView ShowCurrent(GridView view, const GridFrame& frame, int lastTop,
                     const RowHeightFn& height) {
    if (frame.count <= 0)
        return {0, -1};
    view.current = std::clamp(view.current, 0, frame.count - 1);
    view.top = std::clamp(view.top, 0, std::clamp(lastTop, 0, frame.count - 1));
    if (view.current < view.top)
        view.top = view.current;
    else if (view.current > lastPlaced(view.top, frame.count, frame, height))
        view.top = TopToShow(view.current, frame, height);
    return view;
}

GridView MoveInGrid(GridView view, GridMove move, const GridFrame& frame, int lastTop,
                    const RowHeightFn& height) {
    if (frame.count <= 0)
        return {0, -1};
    view = ShowCurrent(view, frame, lastTop, height);
    const int last = frame.count - 1;
    switch (move) {
    case GridMove::Up:
        --view.current;
        break;
    case GridMove::Down:
        ++view.current;
        break;
    case GridMove::Home:
        view = {0, 0};
        break;
    case GridMove::End:
        view = {lastTop, last};
        break;
    case GridMove::PageDown: {
        const int next = std::min(lastPlaced(view.top, frame.count, frame, height) + 1, lastTop);
        if (next <= view.top) {
            view.current = last;
        } else {
            view.current += next - view.top;
            view.top = next;
        }
        break;
    }
    case GridMove::PageUp: {
        if (view.top == 0) {
            view.current = 0;
        } else {
            const int before = TopToShow(view.top - 1, frame, height);
            view.current -= view.top - before;
            view.top = before;
        }
        break;
    }
    case GridMove::Left:
    case GridMove::Right: {
        if (frame.columns <= 1)
            break;
        const std::vector<RecordPlace> places =
            PlaceRecords(view.top, frame.count, frame.height, frame.columns, height);
        const auto at = std::find_if(places.begin(), places.end(),
                                     [&](const RecordPlace& p) { return p.row == view.current; });
        if (at == places.end())
            break;
        const int column = at->column + (move == GridMove::Right ? 1 : -1);
        const int middle = at->y + at->height / 2;
        const RecordPlace* beside = nullptr;
        for (const RecordPlace& p : places)
            if (p.column == column && (!beside || p.y <= middle))
                beside = &p;
        if (beside) {
            view.current = beside->row;
        } else {
            // Past the first or last column: on by as many records as this column holds.
            const int inColumn =
                int(std::count_if(places.begin(), places.end(),
                                  [&](const RecordPlace& p) { return p.column == at->column; }));
            view.current += move == GridMove::Right ? inColumn : -inColumn;
        }
        break;
    }
    }
    return ShowCurrent(view, frame, lastTop, height);
}

} // namespace telmira::contacts
