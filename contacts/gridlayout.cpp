#include "contacts/gridlayout.h"

#include "frame/records.h"

#include <algorithm>

namespace telmira::contacts {
namespace {

// A value that stands for a missing key (a layout value never holds it).
const QString kMissing = QStringLiteral("\x01missing");

bool present(const QString& value) {
    return value != kMissing;
}

int number(const QString& record, const char* key, int def) {
    return parseInteger(FieldOf(record, QLatin1String(key), QString())).value_or(def);
}

bool flag(const QString& record, const char* key, bool def) {
    const QString value = FieldOf(record, QLatin1String(key), kMissing);
    if (!present(value))
        return def;
    return value.trimmed().compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
}

QString text(const QString& record, const char* key) {
    return FieldOf(record, QLatin1String(key), QString());
}

std::optional<GridColor> color(const QString& record, const char* key) {
    const QString value = FieldOf(record, QLatin1String(key), kMissing);
    if (!present(value))
        return std::nullopt;
    return GridColor::parse(value);
}

} // namespace

GridColor GridColor::fromRgb(int r, int g, int b) {
    GridColor c;
    c.value_ = quint32(r & 0xFF) | quint32(g & 0xFF) << 8 | quint32(b & 0xFF) << 16;
    return c;
}

GridColor GridColor::fromValue(quint32 bbggrr) {
    GridColor c;
    c.value_ = bbggrr & 0xFFFFFF;
    return c;
}

GridColor GridColor::system(int index) {
    GridColor c;
    c.system_ = true;
    c.value_ = quint32(index & 0xFF);
    return c;
}

GridColor GridColor::parse(const QString& text) {
    const std::optional<int> value = parseInteger(text.trimmed());
    if (!value)
        return GridColor();
    const quint32 bits = quint32(*value);
    if ((bits >> 24) == 0xFF)
        return system(int(bits & 0xFF));
    return fromValue(bits);
}

QColor GridColor::resolve(const QPalette& palette) const {
    if (system_)
        return palette.color(SystemColorRole(int(value_)));
    return QColor(int(value_ & 0xFF), int(value_ >> 8 & 0xFF), int(value_ >> 16 & 0xFF));
}

QPalette::ColorRole SystemColorRole(int index) {
    switch (index) {
    case 0:  // scroll bar
    case 15: // button face
        return QPalette::Button;
    case 1:  // desktop
    case 4:  // menu
    case 10: // active border
    case 11: // inactive border
    case 30: // menu bar
        return QPalette::Window;
    case 2:  // active caption
    case 13: // highlight
    case 27: // gradient of the active caption
    case 29: // menu highlight
        return QPalette::Highlight;
    case 3:  // inactive caption
    case 16: // button shadow
    case 28: // gradient of the inactive caption
        return QPalette::Mid;
    case 6:  // window frame
    case 21: // dark 3D shadow
        return QPalette::Shadow;
    case 7:  // menu text
    case 19: // inactive caption text
        return QPalette::WindowText;
    case 8: // window text
        return QPalette::Text;
    case 9:  // caption text
    case 14: // highlighted text
        return QPalette::HighlightedText;
    case 12: // application workspace
        return QPalette::Dark;
    case 17: // grey text
        return QPalette::PlaceholderText;
    case 18: // button text
        return QPalette::ButtonText;
    case 20: // button highlight
        return QPalette::Light;
    case 22: // 3D light
        return QPalette::Midlight;
    case 23: // tooltip text
        return QPalette::ToolTipText;
    case 24: // tooltip background
        return QPalette::ToolTipBase;
    case 26: // hot-tracked item
        return QPalette::Link;
    default: // 5, the window background, and indexes without a colour
        return QPalette::Base;
    }
}

GridLayout GridLayout::parse(const QStringList& strings) {
    GridLayout layout;
    for (const QString& s : strings) {
        LineLayout line;
        const QString name = FieldOf(s, QStringLiteral("Name"), kMissing);
        line.hasName = present(name);
        line.name = line.hasName ? name.trimmed() : QString();
        line.name1 = text(s, "Name1").trimmed();
        line.label = text(s, "Label").trimmed();
        line.head = text(s, "Head");
        line.tail = text(s, "Tail");
        line.bold = flag(s, "Bold", false);
        line.italic = flag(s, "Italic", false);
        line.underline = flag(s, "Underline", false);
        line.bold1 = flag(s, "Bold1", false);
        line.underline1 = flag(s, "Underline1", false);
        line.name1Pos = number(s, "Name1Pos", 0);
        line.nameMaxWidth = number(s, "NameMaxWidth", 0);
        line.name1FontSize = number(s, "Name1FontSize", 0);
        line.shift = number(s, "Shift", 0);
        if (const QString h = FieldOf(s, QStringLiteral("RowHeight"), kMissing); present(h))
            line.rowHeight = parseInteger(h).value_or(18);
        line.yShift = number(s, "YShift", 0);
        line.yCenter = flag(s, "YCenter", true);
        line.minRecordHeight = number(s, "MinRecordHeight", 0);
        line.color = color(s, "Color");
        line.select = text(s, "Select");
        if (auto c = color(s, "SelColor"))
            line.selColor = *c;
        line.checkedFieldName = text(s, "CheckedFieldName").trimmed();
        line.checkedColor = color(s, "CheckedColor");
        line.delimiter = text(s, "Delimiter").trimmed();
        line.delimiterValue = text(s, "DelimiterValue");
        if (auto c = color(s, "DelimiterColor"))
            line.delimiterColor = *c;
        line.delimiterShift = number(s, "DelimiterShift", 0);
        const QString picture = FieldOf(s, QStringLiteral("Picture"), kMissing);
        line.hasPicture = present(picture);
        line.picture = line.hasPicture ? picture.trimmed() : QString();
        line.pictureIndex = text(s, "PictureIndex").trimmed();
        line.picTop = number(s, "PicTop", 0);
        layout.lines.push_back(line);
    }
    return layout;
}

int GridLayout::rowHeight() const {
    int height = 18;
    for (const LineLayout& line : lines)
        if (line.rowHeight)
            height = *line.rowHeight;
    return height;
}

int GridLayout::largestYShift() const {
    int shift = 0;
    for (const LineLayout& line : lines)
        shift = std::max(shift, line.yShift);
    return shift;
}

int GridLayout::largestMinRecordHeight() const {
    int height = 0;
    for (const LineLayout& line : lines)
        height = std::max(height, line.minRecordHeight);
    return height;
}

int GridLayout::textLineCount() const {
    return int(std::count_if(lines.begin(), lines.end(),
                             [](const LineLayout& line) { return line.hasName; }));
}

} // namespace telmira::contacts
