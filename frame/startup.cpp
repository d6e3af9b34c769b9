#include "frame/startup.h"

#include "frame/records.h"
#include "frame/settings.h"

#include <QFileInfo>

namespace telmira {
namespace {

const QString kCommon = QStringLiteral("Common");

bool isBlank(const QString& text) {
    return text.trimmed().isEmpty();
}

} // namespace

void readStartSettings(const SettingsFile& ini, StartState& state) {
    state.minimizeToTrayAtStartup = ini.ReadBool(kCommon, "MinimizeToTrayAtStartup", false);
    state.singleClickRestore = ini.ReadBool(kCommon, "SingleClickRestore", true);
    state.autoDial = ini.ReadBool(kCommon, "AutoDial", false);
    state.autoDialLength = ini.ReadString(kCommon, "AutoDialLength", QString());
    state.toolMode = !ini.ReadBool("Windows", "Phone", true);
    state.testConnectMode = ini.ReadBool(kCommon, "TestConnectMode", false);
    state.showPopupWindow = ini.ReadBool(kCommon, "ShowPopupWindow", true);
    state.oldStylePopupWindow = ini.ReadBool(kCommon, "OldStylePopupWindow", false);
    state.lostCallsIsNew = ini.ReadBool("Archives", "LostCallsIsNew", false);
    state.popupLeft = ini.ReadInteger(kCommon, "PopupLeft", 0);
    state.popupTop = ini.ReadInteger(kCommon, "PopupTop", 0);
    state.countryOrigin = ini.ReadString(kCommon, "CountryOrigin", QString());
    state.cityOrigin = ini.ReadString(kCommon, "CityOrigin", QString());
}

void readRunSettings(SettingsFile& ini, StartState& state) {
    state.minimizeToTrayOnClose = ini.ReadBool(kCommon, "MinimizeToTrayOnClose", true);
    state.debug = ini.ReadBool(kCommon, "Debug", false);
    // Anything but a port name, a missing value included, means automatic search.
    state.comPort = ini.ReadString(kCommon, "ComPort", QString());
    state.clockSynchronize = ini.ReadBool(kCommon, "ClockSynchronize", true);
    state.modeSwitchable = ini.ReadBool(kCommon, "ModeSwitchable", true);
    if (!state.modeSwitchable)
        ini.WriteBool("Windows", "Phone", true);
    state.melodyResolution = ini.ReadInteger("MelodyList", "Resolution", 25);
}

bool showMainWindowAtCreation(const StartState& state) {
    return state.toolMode && !state.minimizeToTrayAtStartup && !state.testConnectMode;
}

QString placeChoiceText(const QString& name, const QString& code) {
    return name + QStringLiteral(" (") + code + QLatin1Char(')');
}

void lookupNationalLength(HomeArea& home, const QStringList& countryList) {
    const auto field = [&](const QString& name) {
        return parseInteger(LookupField(countryList, QStringLiteral("RusName"), home.countryName,
                                        QStringLiteral("0"), name))
            .value_or(0);
    };
    home.length = field(QStringLiteral("Length"));
    home.length1 = field(QStringLiteral("Length1"));
}

NameAndCode splitNameAndCode(const QString& text) {
    return {ExtractBetween(text, QString(), QString(), QStringLiteral("(")).trimmed(),
            ExtractBetween(text, QStringLiteral("("), QString(), QStringLiteral(")")).trimmed()};
}

HomeArea homeAreaFrom(const QString& countryOrigin, const QString& cityOrigin,
                      const QString& longDistance, const QString& international,
                      const QString& localCodes, const QStringList& countryList) {
    HomeArea home;
    if (isBlank(countryOrigin)) {
        const QString code = QStringLiteral("Code");
        home.localCodes = LookupField(countryList, code, "7", QString(), "LocalCodes");
        home.longDistance = LookupField(countryList, code, "7", QString(), "LongDistance");
        home.international = LookupField(countryList, code, "7", QString(), "International");
    } else {
        const NameAndCode country = splitNameAndCode(countryOrigin);
        home.countryName = country.name;
        home.countryCode = country.code;
        home.longDistance = longDistance;
        home.international = international;
        home.localCodes = localCodes;
    }
    if (!isBlank(cityOrigin)) {
        const NameAndCode city = splitNameAndCode(cityOrigin);
        home.cityName = city.name;
        home.cityCode = city.code;
    }
    lookupNationalLength(home, countryList);
    return home;
}

HomeArea readHomeArea(const SettingsFile& ini, const StartState& state,
                      const QStringList& countryList) {
    return homeAreaFrom(state.countryOrigin, state.cityOrigin,
                        ini.ReadString(kCommon, "LongDistance", QString()),
                        ini.ReadString(kCommon, "International", QString()),
                        ini.ReadString(kCommon, "LocalCodes", QString()), countryList);
}

bool isExistingProjectFile(const QString& path) {
    return path.endsWith(QStringLiteral(".zel"), Qt::CaseInsensitive) && QFileInfo(path).isFile();
}

bool startsHidden(bool minimizeToTrayAtStartup, const QString& firstArgument) {
    return minimizeToTrayAtStartup && !isExistingProjectFile(firstArgument);
}

} // namespace telmira
