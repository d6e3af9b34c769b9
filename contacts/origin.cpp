#include "contacts/origin.h"

namespace telmira::contacts {
namespace {

const QString kCommon = QStringLiteral("Common");

QString upperFirstChoice(const QString& name, const QString& code) {
    QString text = placeChoiceText(name, code);
    text[0] = text[0].toUpper();
    return text;
}

} // namespace

OriginSettings ReadOriginSettings(const SettingsFile& ini, const TCodeDirectory& directory) {
    const auto common = [&ini](const char* key) {
        return ini.ReadString(kCommon, QString::fromLatin1(key), QString());
    };
    return homeAreaFrom(common("CountryOrigin"), common("CityOrigin"), common("LongDistance"),
                        common("International"), common("LocalCodes"), directory.CountryList());
}

void LookupNationalLength(OriginSettings& origin, const TCodeDirectory& directory) {
    lookupNationalLength(origin, directory.CountryList());
}

bool WriteOriginSettings(SettingsFile& ini, const OriginSettings& origin) {
    bool ok = ini.WriteString(kCommon, QStringLiteral("CountryOrigin"),
                              upperFirstChoice(origin.countryName, origin.countryCode));
    ok = ini.WriteString(kCommon, QStringLiteral("CityOrigin"),
                         upperFirstChoice(origin.cityName, origin.cityCode)) &&
         ok;
    ok = ini.WriteString(kCommon, QStringLiteral("LongDistance"), origin.longDistance) && ok;
    ok = ini.WriteString(kCommon, QStringLiteral("International"), origin.international) && ok;
    ok = ini.WriteString(kCommon, QStringLiteral("LocalCodes"), origin.localCodes) && ok;
    return ok;
}

} // namespace telmira::contacts
