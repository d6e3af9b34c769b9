#include "link/numberdisplay.h"

namespace telmira {
namespace {

int digitCount(const QString& text) {
    int digits = 0;
    for (QChar c : text)
        digits += c.isDigit() ? 1 : 0;
    return digits;
}

} // namespace

QString eventNumberText(const link::NumberParts& parts, const MaskFormatter& formatByMask) {
    // Nothing to show: the label reads "[-------]". A country code alone is no number.
    if (parts.local.trimmed().isEmpty() && parts.city.trimmed().isEmpty() &&
        parts.extension.trimmed().isEmpty())
        return QString();
    const bool noCodes = parts.country.trimmed().isEmpty() && parts.city.trimmed().isEmpty();
    const QString mask = noCodes && digitCount(parts.local) < 4 ? QStringLiteral("0000")
                                                                : QStringLiteral("0000-000-00-00");
    QString text = formatByMask ? formatByMask(mask, parts.local) : parts.local;
    if (!parts.city.trimmed().isEmpty())
        text = QStringLiteral("(") + parts.city.trimmed() + QStringLiteral(") ") + text;
    if (!parts.extension.trimmed().isEmpty())
        text += QStringLiteral("*") + parts.extension.trimmed();
    return text;
}

LastNumberDisplay lastNumberDisplay(const QString& shown, bool dialled) {
    LastNumberDisplay display;
    display.tag = dialled ? 2 : 1;
    if (shown.trimmed().isEmpty()) {
        display.label = QStringLiteral("Последний номер: [-------]");
        display.hint = QStringLiteral("Номер не определен|");
    } else {
        display.label = QStringLiteral("Последний номер: ") + shown;
        display.hint = QStringLiteral("Набрать последний номер ") + shown +
                       QStringLiteral(" в линию через связь|");
    }
    return display;
}

} // namespace telmira
