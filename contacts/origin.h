#pragma once

#include "contacts/codedirectory.h"
#include "frame/settings.h"

#include <QString>

// The user's origin: home country and city, dialling prefixes and the national number length.
// Read at start from zel.ini (Common.CountryOrigin, Common.CityOrigin, Common.LongDistance,
// Common.International, Common.LocalCodes) and the country list of codes.voc.
namespace telmira::contacts {

struct OriginSettings {
    QString countryName = QStringLiteral("Россия");
    QString countryCode = QStringLiteral("7");
    QString cityName = QStringLiteral("Москва");
    QString cityCode = QStringLiteral("495");
    QString longDistance;
    QString international;
    QString localCodes;
    int length = 0;  // national number length
    int length1 = 0; // upper bound of a variable national length, 0 when fixed
};

// The origin as the start sequence reads it: without Common.CountryOrigin the home country is
// Россия (7) and the prefixes come from the country-list row with Code 7; otherwise the
// prefixes come from zel.ini. The national lengths come from the row named like the country.
OriginSettings ReadOriginSettings(const SettingsFile& ini, const TCodeDirectory& directory);

// The national lengths of the named country ("0" when missing).
void LookupNationalLength(OriginSettings& origin, const TCodeDirectory& directory);

// Writes the origin the way the settings dialog confirms it: name, blank, code in brackets, the
// first letter upper-cased; the three prefix fields as they are.
bool WriteOriginSettings(SettingsFile& ini, const OriginSettings& origin);

} // namespace telmira::contacts
