#include "contacts/origin.h"

#include "frame/zelsettings.h"

namespace telmira::contacts {

OriginSettings ReadOriginSettings(const SettingsFile& ini, const TCodeDirectory& directory) {
    return readHomeArea(ini, directory.CountryList());
}

void LookupNationalLength(OriginSettings& origin, const TCodeDirectory& directory) {
    lookupNationalLength(origin, directory.CountryList());
}

bool WriteOriginSettings(SettingsFile& ini, const OriginSettings& origin) {
    return writeHomeArea(ini, originSettingText(origin.countryName, origin.countryCode),
                         originSettingText(origin.cityName, origin.cityCode), origin);
}

} // namespace telmira::contacts
