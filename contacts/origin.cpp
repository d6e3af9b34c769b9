#include "contacts/origin.h"

#include "frame/records.h"

namespace telmira::contacts {
namespace {

const QString kCommon = QStringLiteral("Common");

QString choiceText(const QString& name, const QString& code) {
    QString text = name + QStringLiteral(" (") + code + QLatin1Char(')');
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

} // namespace

void LookupNationalLength(OriginSettings& origin, const TCodeDirectory& directory) {
    const QStringList& list = directory.CountryList();
    const QString key = QStringLiteral("RusName");
    origin.length = parseInteger(LookupField(list, key, origin.countryName, QStringLiteral("0"),
                                             QStringLiteral("Length")))
                        .value_or(0);
    origin.length1 = parseInteger(LookupField(list, key, origin.countryName, QStringLiteral("0"),
                                              QStringLiteral("Length1")))
                         .value_or(0);
}

OriginSettings ReadOriginSettings(const SettingsFile& ini, const TCodeDirectory& directory) {
    OriginSettings origin;
    const QString country = ini.ReadString(kCommon, QStringLiteral("CountryOrigin"), QString());
    if (country.isEmpty()) {
        const QStringList& list = directory.CountryList();
        const QString code = QStringLiteral("Code");
        origin.localCodes =
            LookupField(list, code, origin.countryCode, QString(), QStringLiteral("LocalCodes"));
        origin.longDistance =
            LookupField(list, code, origin.countryCode, QString(), QStringLiteral("LongDistance"));
        origin.international =
            LookupField(list, code, origin.countryCode, QString(), QStringLiteral("International"));
    } else {
        const NameAndCode parts = SplitChoice(country);
        origin.countryName = parts.name;
        origin.countryCode = parts.code;
        origin.longDistance = ini.ReadString(kCommon, QStringLiteral("LongDistance"), QString());
        origin.international = ini.ReadString(kCommon, QStringLiteral("International"), QString());
        origin.localCodes = ini.ReadString(kCommon, QStringLiteral("LocalCodes"), QString());
    }
    const QString city = ini.ReadString(kCommon, QStringLiteral("CityOrigin"), QString());
    if (!city.isEmpty()) {
        const NameAndCode parts = SplitChoice(city);
        origin.cityName = parts.name;
        origin.cityCode = parts.code;
    }
    LookupNationalLength(origin, directory);
    return origin;
}

bool WriteOriginSettings(SettingsFile& ini, const OriginSettings& origin) {
    bool ok = ini.WriteString(kCommon, QStringLiteral("CountryOrigin"),
                              choiceText(origin.countryName, origin.countryCode));
    ok = ini.WriteString(kCommon, QStringLiteral("CityOrigin"),
                         choiceText(origin.cityName, origin.cityCode)) &&
         ok;
    ok = ini.WriteString(kCommon, QStringLiteral("LongDistance"), origin.longDistance) && ok;
    ok = ini.WriteString(kCommon, QStringLiteral("International"), origin.international) && ok;
    ok = ini.WriteString(kCommon, QStringLiteral("LocalCodes"), origin.localCodes) && ok;
    return ok;
}

} // namespace telmira::contacts
