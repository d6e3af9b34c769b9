#include "contacts/splitnumber.h"

#include "contacts/numbers.h"

namespace telmira::contacts {
namespace {

SplitResult split(QString number, QChar allowed, bool keepCodes, const OriginSettings& origin,
                  const TCodeDirectory& directory) {
    SplitResult out;
    const bool plus = number.startsWith(QLatin1Char('+'));
    if (plus)
        number.remove(0, 1);
    number = NumberFilter(number, allowed);
    if (number.isEmpty())
        return out;

    bool international = false;
    bool longDistance = false;
    if (!plus) {
        if (!origin.international.isEmpty() && number.startsWith(origin.international)) {
            international = true;
        } else if (!origin.longDistance.isEmpty() && number.startsWith(origin.longDistance) &&
                   FitsLength(number.size() - origin.longDistance.size(), origin.length,
                              origin.length1)) {
            longDistance = true;
        }
    }

    // A number written with "+" is international by its own words: it is never taken as a
    // national number, whatever its length.
    const bool national =
        longDistance || (!plus && FitsLength(number.size(), origin.length, origin.length1));
    if (national) {
        if (longDistance)
            number.remove(0, origin.longDistance.size());
        const auto city = directory.FindCityCode(number, origin.countryCode);
        if (city) {
            out.country = keepCodes ? origin.countryCode : origin.longDistance;
            out.city = city->code;
            number.remove(0, city->prefixLength);
        } else if (longDistance) {
            number.prepend(origin.longDistance);
        }
        out.local = number;
        return out;
    }

    if (international)
        number.remove(0, origin.international.size());
    const auto country = directory.FindCountryCode(number);
    if (!country) {
        out.local = (plus ? QStringLiteral("+") : QString()) +
                    (international ? origin.international : QString()) + number;
        return out;
    }
    number.remove(0, country->prefixLength);
    out.country = country->code;
    const auto city = directory.FindCityCode(number, country->code);
    if (city) {
        number.remove(0, city->prefixLength);
        out.city = city->code;
        if (!keepCodes)
            out.country = FormatByMask(QStringLiteral("0-00"), origin.international) +
                          QLatin1Char('-') + country->code;
    }
    out.local = number;
    return out;
}

} // namespace

SplitResult SplitNumber(const QString& number, bool keepCodes, const OriginSettings& origin,
                        const TCodeDirectory& directory) {
    return split(number, QLatin1Char('_'), keepCodes, origin, directory);
}

SplitResult SplitNumberWithExtension(const QString& number, bool keepCodes,
                                     const OriginSettings& origin,
                                     const TCodeDirectory& directory) {
    qsizetype cut = number.indexOf(QLatin1Char('*'));
    if (cut < 0)
        cut = number.indexOf(QLatin1Char('t'));
    QString head = number;
    QString extension;
    if (cut >= 1) {
        extension = number.mid(cut + 1);
        head = number.left(cut);
    }
    SplitResult out = split(head, QLatin1Char('*'), keepCodes, origin, directory);
    out.extension = extension;
    return out;
}

} // namespace telmira::contacts
