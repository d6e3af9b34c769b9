#include "contacts/numbers.h"

#include <QStringList>

namespace telmira::contacts {
namespace {

const QString kLongMask = QStringLiteral("000000-00-00");
const QString kShortMask = QStringLiteral("000");

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The mask for a number whose parts together have `length` characters.
const QString& maskFor(qsizetype length) {
    return length > 3 ? kLongMask : kShortMask;
}

} // namespace

bool IsBlank(const QString& text) {
    for (QChar c : text)
        if (!c.isSpace())
            return false;
    return true;
}

QString NumberFilter(const QString& text, QChar extra) {
    if (text == QLatin1String("-------"))
        return {};
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool sign = i == 0 && (c == QLatin1Char('+') || c == QLatin1Char('-'));
        if (isAsciiDigit(c) || sign || (!extra.isNull() && c == extra))
            out += c;
    }
    return out;
}

QString FormatByMask(const QString& mask, const QString& digits) {
    QString out;
    qsizetype pos = mask.size() - 1;
    for (qsizetype d = digits.size() - 1; d >= 0; --d) {
        // Separators between the current place and the next "0" go in front first; the first
        // mask position is never passed.
        while (pos > 0 && mask[pos] != QLatin1Char('0'))
            out.prepend(mask[pos--]);
        out.prepend(digits[d]);
        if (pos > 0)
            --pos;
    }
    return out;
}

bool InRanges(const QString& ranges, const QString& local) {
    const QStringList items = ranges.split(QLatin1Char(','));
    for (const QString& raw : items) {
        const QString item = raw.trimmed();
        // An empty item (a doubled or trailing comma) names no range; taken literally it would
        // match every number.
        if (item.isEmpty())
            continue;
        const qsizetype dash = item.indexOf(QLatin1Char('-'));
        const QString low = dash < 0 ? item : item.left(dash).trimmed();
        const QString high = dash < 0 ? item : item.mid(dash + 1).trimmed();
        if (local.size() < low.size())
            continue;
        const QString head = local.left(low.size());
        if (head >= low && head <= high)
            return true;
    }
    return false;
}

QString NumberDisplayText(const QString& country, const QString& city, const QString& local) {
    QString out;
    const bool hasCountry = !IsBlank(country);
    const bool hasCity = !IsBlank(city);
    if (hasCountry)
        out += QLatin1Char('+') + country;
    if (hasCity)
        out += QLatin1Char('(') + city + QLatin1String(") ");
    else if (hasCountry)
        out += QLatin1Char(' ');
    const qsizetype length = country.size() + city.size() + local.size();
    out += FormatByMask(maskFor(length), NumberFilter(local, QLatin1Char('_')));
    return out;
}

QString ArchiveNumberText(const QString& country, const QString& code, const QString& phone) {
    QString out = country;
    if (!IsBlank(code))
        out += QLatin1Char('(') + code + QLatin1String(") ");
    QString local = phone;
    QString extension;
    const qsizetype star = phone.indexOf(QLatin1Char('*'));
    const bool hasExtension = star >= 1;
    if (hasExtension) {
        local = phone.left(star);
        extension = phone.mid(star + 1);
    }
    const qsizetype length = country.size() + code.size() + phone.size();
    out += FormatByMask(maskFor(length), local);
    if (hasExtension)
        out += QLatin1Char('*') + extension;
    if (out.isEmpty())
        return QString::fromUtf16(kNoNumberText);
    return out;
}

} // namespace telmira::contacts
