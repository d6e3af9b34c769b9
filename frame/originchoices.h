#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// What the settings dialog and the start read from the city-code directory codes.voc: the
// country list (section CountryCodes) and each country's city rows (section "Country" + code).
// The directory module of the contacts subsystem provides the full directory; until the main
// window is handed that, it reads the file itself through VocFileOrigins.
namespace telmira {

class TMyMemIniFile;

class OriginDirectory {
public:
    virtual ~OriginDirectory();
    // The lines of CountryCodes ("key=record"), as the start reads them.
    virtual QStringList CountryList() const = 0;
    // The city rows of the country with this code ("key=record", file order); empty without one.
    virtual QStringList CityLines(const QString& countryCode) const = 0;

    // One line per country: RusName + " (" + Code + ")".
    QStringList CountryChoices() const;
    // One line per row of the country's section: Name + " (" + Code + ")".
    QStringList CityChoices(const QString& countryCode) const;
    // A field of the country row whose RusName is `countryName` (trimmed, case-insensitive).
    QString CountryField(const QString& countryName, const QString& field) const;
    // A field of the first city row of the country whose Code is `cityCode` (trimmed).
    QString CityField(const QString& countryCode, const QString& cityCode,
                      const QString& field) const;
};

// The directory read from a codes.voc file; a missing or unreadable file reads as empty.
class VocFileOrigins : public OriginDirectory {
public:
    explicit VocFileOrigins(const QString& fileName);
    ~VocFileOrigins() override;
    QStringList CountryList() const override;
    QStringList CityLines(const QString& countryCode) const override;

private:
    std::unique_ptr<TMyMemIniFile> file_;
};

// What the settings dialog does when a city is chosen or typed: a row whose `Replace` code is
// not blank and as long as the chosen code turns the choice into the replacement (`text` then
// names the list line with the same name and the new code, when `listIndex` found it); the
// local codes come from the row of the (possibly replaced) code.
struct CityChoice {
    bool applies = false; // false when the country has no city directory: nothing changes
    QString text;         // the city field's text afterwards
    int listIndex = -1;   // the line of the city list to select, -1 to leave the selection
    QString localCodes;
};
CityChoice chooseCity(const OriginDirectory& directory, const QString& countryCode,
                      const QString& cityText, const QStringList& cityList);

} // namespace telmira
