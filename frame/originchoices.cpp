#include "frame/originchoices.h"

#include "frame/records.h"
#include "frame/settings.h"
#include "frame/startup.h"

namespace telmira {
namespace {

QString recordOf(const QString& line) {
    return line.mid(line.indexOf(QLatin1Char('=')) + 1);
}

QString choiceLine(const QString& name, const QString& code) {
    return name + QStringLiteral(" (") + code + QStringLiteral(")");
}

} // namespace

OriginDirectory::~OriginDirectory() = default;

QStringList OriginDirectory::CountryChoices() const {
    QStringList lines;
    for (const QString& line : CountryList()) {
        const QString record = recordOf(line);
        lines << choiceLine(FieldOf(record, "RusName", QString()), FieldOf(record, "Code", {}));
    }
    return lines;
}

QStringList OriginDirectory::CityChoices(const QString& countryCode) const {
    QStringList lines;
    for (const QString& line : CityLines(countryCode)) {
        const QString record = recordOf(line);
        lines << choiceLine(FieldOf(record, "Name", QString()), FieldOf(record, "Code", {}));
    }
    return lines;
}

QString OriginDirectory::CountryField(const QString& countryName, const QString& field) const {
    return LookupField(CountryList(), QStringLiteral("RusName"), countryName, QString(), field);
}

QString OriginDirectory::CityField(const QString& countryCode, const QString& cityCode,
                                   const QString& field) const {
    return LookupField(CityLines(countryCode), QStringLiteral("Code"), cityCode, QString(), field);
}

VocFileOrigins::VocFileOrigins(const QString& fileName)
    : file_(std::make_unique<TMyMemIniFile>(fileName)) {}

VocFileOrigins::~VocFileOrigins() = default;

QStringList VocFileOrigins::CountryList() const {
    return file_->ReadSection(QStringLiteral("CountryCodes"));
}

QStringList VocFileOrigins::CityLines(const QString& countryCode) const {
    const QString code = countryCode.trimmed();
    if (code.isEmpty())
        return {};
    return file_->ReadSection(QStringLiteral("Country") + code);
}

CityChoice chooseCity(const OriginDirectory& directory, const QString& countryCode,
                      const QString& cityText, const QStringList& cityList) {
    CityChoice choice;
    choice.text = cityText;
    choice.applies = !directory.CityLines(countryCode).isEmpty();
    if (!choice.applies)
        return choice;
    const NameAndCode city = splitNameAndCode(cityText);
    QString code = city.code;
    const QString replace = directory.CityField(countryCode, code, QStringLiteral("Replace"));
    if (!replace.trimmed().isEmpty() && replace.trimmed().size() == code.size()) {
        code = replace.trimmed();
        choice.text = choiceLine(city.name, code);
        choice.listIndex = static_cast<int>(cityList.indexOf(choice.text));
    } else {
        choice.listIndex = static_cast<int>(cityList.indexOf(cityText));
    }
    choice.localCodes = directory.CityField(countryCode, code, QStringLiteral("LocalCodes"));
    return choice;
}

} // namespace telmira
