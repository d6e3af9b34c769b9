#pragma once

#include "contacts/codedirectory.h"
#include "frame/settings.h"
#include "frame/startup.h"

#include <QString>

// The user's origin: home country and city, dialling prefixes and the national number length.
// It is the home area of the start settings (Common.CountryOrigin, Common.CityOrigin,
// Common.LongDistance, Common.International, Common.LocalCodes of zel.ini with the country list
// of codes.voc); these read and write it against the city-code directory, through the frame's
// one reader and writer of those keys (frame/zelsettings.h).
namespace telmira::contacts {

using OriginSettings = telmira::HomeArea;

// The origin as the start sequence reads it: without Common.CountryOrigin the home country is
// Россия (7) and the prefixes come from the country-list row with Code 7; otherwise the
// prefixes come from zel.ini. The national lengths come from the row named like the country.
OriginSettings ReadOriginSettings(const SettingsFile& ini, const TCodeDirectory& directory);

// The national lengths of the named country (0 when missing).
void LookupNationalLength(OriginSettings& origin, const TCodeDirectory& directory);

// Writes the origin the way the settings dialog confirms it: name, blank, code in brackets, the
// first letter upper-cased; the three prefix fields as they are.
bool WriteOriginSettings(SettingsFile& ini, const OriginSettings& origin);

} // namespace telmira::contacts
