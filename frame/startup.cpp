#include "frame/startup.h"

#include "frame/records.h"

#include <QFileInfo>

namespace telmira {
namespace {

bool isBlank(const QString& text) {
    return text.trimmed().isEmpty();
}

} // namespace

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

bool isExistingProjectFile(const QString& path) {
    return path.endsWith(QStringLiteral(".zel"), Qt::CaseInsensitive) && QFileInfo(path).isFile();
}

bool startsHidden(bool minimizeToTrayAtStartup, const QString& firstArgument) {
    return minimizeToTrayAtStartup && !isExistingProjectFile(firstArgument);
}

} // namespace telmira
