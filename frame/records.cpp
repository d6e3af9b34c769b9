#include "frame/records.h"

#include <limits>

namespace telmira {
namespace {

// Where the value of field `key` begins, or -1.
qsizetype fieldValueStart(const QString& record, const QString& key) {
    const QString mark = key + QLatin1Char('=');
    const qsizetype first = record.indexOf(mark);
    if (first < 0)
        return -1;
    if (first == 0)
        return mark.size();
    for (QChar lead : {QLatin1Char(' '), QLatin1Char(';'), QLatin1Char('=')}) {
        const qsizetype at = record.indexOf(lead + mark);
        if (at >= 0)
            return at + 1 + mark.size();
    }
    return -1;
}

qsizetype fieldValueEnd(const QString& record, qsizetype start) {
    const qsizetype end = record.indexOf(QLatin1Char(';'), start);
    return end < 0 ? record.size() : end;
}

} // namespace

std::optional<int> parseInteger(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == QLatin1Char('0') &&
               (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;
    // Hexadecimal numbers fill all 32 bits ($FFFFFFFF is -1); decimal ones must fit an int.
    const qint64 limit = base == 16 ? 0xFFFFFFFFLL : qint64(std::numeric_limits<int>::max()) + 1;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const int digit = text[i].isDigit() && text[i].unicode() < 128 ? text[i].unicode() - '0'
                          : base == 16 && QStringLiteral("abcdef").contains(text[i].toLower())
                              ? text[i].toLower().unicode() - 'a' + 10
                              : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    if (base == 16)
        value = static_cast<qint32>(static_cast<quint32>(value));
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<bool> parseBool(const QString& text) {
    if (const auto number = parseInteger(text))
        return *number != 0;
    const QString word = text.trimmed();
    if (word.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

QString ExtractBetween(const QString& text, const QString& start, const QString& def,
                       const QString& terminator) {
    qsizetype from = 0;
    if (!start.isEmpty()) {
        const qsizetype at = text.indexOf(start);
        if (at < 0)
            return def;
        from = at + start.size();
    }
    const qsizetype end = terminator.isEmpty() ? -1 : text.indexOf(terminator, from);
    return end < 0 ? text.mid(from) : text.mid(from, end - from);
}

QString FieldOf(const QString& record, const QString& key, const QString& def) {
    const qsizetype start = fieldValueStart(record, key);
    if (start < 0)
        return def;
    return record.mid(start, fieldValueEnd(record, start) - start);
}

int FieldIntOf(const QString& record, const QString& key, int def) {
    return parseInteger(FieldOf(record, key)).value_or(def);
}

std::optional<int> FieldNumberOf(const QString& record, const QString& key, int def) {
    const QString value = FieldOf(record, key);
    if (value.isEmpty())
        return def;
    return parseInteger(value);
}

std::optional<int> NumberBetween(const QString& record, const QString& start, int def,
                                 const QString& terminator) {
    const QString value = ExtractBetween(record, start, QString(), terminator);
    if (value.isEmpty())
        return def;
    return parseInteger(value);
}

QString WithField(const QString& record, const QString& key, const QString& value) {
    // The value is replaced where the lookup found the field, so a longer key that happens to
    // end with this one and hold the same value ("FileName=a" for "Name=a") stays untouched.
    if (fieldValueStart(record, key) >= 0)
        return WithReplacedField(record, key, value);
    QString out = record;
    if (!out.isEmpty() && !out.endsWith(QLatin1Char(';')))
        out += QLatin1Char(';');
    return out + key + QLatin1Char('=') + value + QLatin1Char(';');
}

QString WithReplacedField(const QString& record, const QString& key, const QString& value) {
    const qsizetype start = fieldValueStart(record, key);
    if (start < 0)
        return record;
    QString out = record;
    out.replace(start, fieldValueEnd(record, start) - start, value);
    return out;
}

int SetFieldInList(QStringList& list, const QString& matchKey, const QString& matchValue,
                   const QString& newValue, const QString& fieldKey) {
    if ((matchValue + matchKey).trimmed().isEmpty())
        return -1;
    const QString wanted = matchValue.trimmed();
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (FieldOf(list[i], matchKey).trimmed() == wanted) {
            list[i] = WithField(list[i], fieldKey, newValue);
            return static_cast<int>(i);
        }
    }
    return -1;
}

QString LookupField(const QStringList& list, const QString& matchKey, const QString& matchValue,
                    const QString& def, const QString& fieldKey) {
    const QString wanted = matchValue.trimmed().toUpper();
    for (const QString& record : list)
        if (FieldOf(record, matchKey).trimmed().toUpper() == wanted)
            return FieldOf(record, fieldKey, def);
    return def;
}

int IndexOfField(const QStringList& list, const QString& key, const QString& value) {
    for (qsizetype i = 0; i < list.size(); ++i)
        if (FieldOf(list[i], key) == value)
            return static_cast<int>(i);
    return -1;
}

QString FindRecordByField(const QStringList& list, const QString& key, const QString& value) {
    const QString wanted = value.trimmed().toLower();
    for (const QString& record : list)
        if (FieldOf(record, key).trimmed().toLower() == wanted)
            return record;
    return QString();
}

QStringList ColumnOf(const QStringList& list, const QString& key) {
    QStringList column;
    column.reserve(list.size());
    for (const QString& record : list)
        column << FieldOf(record, key);
    return column;
}

} // namespace telmira
