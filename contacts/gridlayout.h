#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Layout strings of the record grid: one keyed record per line of a record, telling which
// field goes on the line, in which style, colour and position, which records are delimiter
// rows, which pictures are drawn and which text is highlighted.
namespace telmira::contacts {

// A colour of a layout string: "$00BBGGRR" (a Windows colour value) or "$FF0000nn" (system
// colour nn). A text that is not a number counts as white.
class GridColor {
public:
    GridColor() = default;
    static GridColor fromRgb(int r, int g, int b);
    // A Windows colour value $00BBGGRR: red in the low byte.
    static GridColor fromValue(quint32 bbggrr);
    static GridColor system(int index);
    // Parses the value of a colour key.
    static GridColor parse(const QString& text);

    bool isSystem() const { return system_; }
    int systemIndex() const { return system_ ? int(value_) : -1; }
    // The colour to paint with: system colours come from the palette.
    QColor resolve(const QPalette& palette) const;
    bool operator==(const GridColor&) const = default;

private:
    bool system_ = false;
    quint32 value_ = 0xFFFFFF; // 0x00BBGGRR, or the system index
};

// The palette colour standing for a system colour index (COLOR_BTNFACE 15 is the button face).
QPalette::ColorRole SystemColorRole(int index);

// One layout string, parsed. Keys that are absent keep their defaults; `has...` tell the
// presence of keys whose absence matters.
struct LineLayout {
    QString name;
    bool hasName = false;
    QString name1;
    QString label;
    QString head;
    QString tail;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool bold1 = false;
    bool underline1 = false;
    int name1Pos = 0;
    int nameMaxWidth = 0; // 0: not set
    int name1FontSize = 0;
    int shift = 0;
    std::optional<int> rowHeight;
    int yShift = 0;
    bool yCenter = true;
    int minRecordHeight = 0;
    std::optional<GridColor> color;
    QString select;
    GridColor selColor = GridColor::fromRgb(0xE6, 0xE6, 0xE6);
    QString checkedFieldName;
    std::optional<GridColor> checkedColor;
    QString delimiter;
    QString delimiterValue;
    GridColor delimiterColor;
    int delimiterShift = 0;
    QString picture; // "1" call types, "2" open/closed marks; empty: none
    bool hasPicture = false;
    QString pictureIndex;
    int picTop = 0; // -1: centred in the record
};

struct GridLayout {
    std::vector<LineLayout> lines;

    static GridLayout parse(const QStringList& strings);

    // The last RowHeight given, 18 by default.
    int rowHeight() const;
    int largestYShift() const;
    int largestMinRecordHeight() const;
    // Lines with a Name key.
    int textLineCount() const;
};

} // namespace telmira::contacts
