#pragma once

#include "frame/settings.h"
#include "frame/startup.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The city-code directory codes.voc: section CountryCodes (one keyed record per country) and
// one section "Country" + code per country with a city directory (one record per city or
// operator, read as an ordered list of lines; keys may repeat).
namespace telmira::contacts {

// One row of CountryCodes.
struct CountryRow {
    QString code;
    QString rusName;
    int length = 0;
    int length1 = 0;
    QString longDistance;
    QString international;
    QString localCodes;
    QString main;
};

// One row of a "Country" + code section.
struct CityRow {
    QString key;
    QString name;
    QString republic;
    QString code;
    QString replace;
    QString localCodes;
    QString range;
    QString main;
    bool isOperator = false;
};

// A list for a drop-down chooser and the width of its widest line.
struct ChoiceList {
    QStringList lines;
    int widest = 0;
};

// Measures a line of text in pixels (the main window's label font).
using TextWidth = std::function<int(const QString&)>;

// True when a national number of `digits` characters fits the lengths of a country: exactly
// `length` when `length1` is 0, from `length` to `length1` when `length1` is larger; any other
// pair fits no length.
bool FitsLength(qsizetype digits, int length, int length1);

// "Россия (7)" -> name "Россия", code "7": splitNameAndCode of the start settings.
using telmira::NameAndCode;
using telmira::splitNameAndCode;

class TCodeDirectory {
public:
    // Reads the file; a missing file gives an empty directory (LastError tells an unreadable
    // one, which also reads as empty).
    explicit TCodeDirectory(const QString& fileName);
    // A directory over Windows-1251 bytes (tests, fuzzing, a file read elsewhere).
    static std::unique_ptr<TCodeDirectory> fromBytes(const QByteArray& bytes,
                                                     const QString& fileName = QString());
    ~TCodeDirectory();

    QString LastError() const { return file_->LastError(); }

    // The country list: the lines of CountryCodes ("key=record") as read at creation and as
    // changed by the editor since.
    const QStringList& CountryList() const { return countryList_; }
    const std::vector<CountryRow>& Countries() const { return countries_; }
    // The country row whose RusName equals the name (trimmed, case-insensitive); none when absent.
    std::optional<CountryRow> CountryByName(const QString& rusName) const;

    // RusName of the country with this code (trimmed, case-insensitive); empty when none.
    QString CountryName(const QString& code) const;
    bool HasCityDirectory(const QString& code) const;
    // One line per country: "RusName (Code)", or with codeFirst "Code (RusName)".
    ChoiceList CountryChoiceList(bool codeFirst, const TextWidth& width = {}) const;
    // One line per row of the country's section: "Name (Code)" or "Code (Name)".
    ChoiceList CityChoiceList(const QString& countryCode, bool codeFirst,
                              const TextWidth& width = {}) const;

    // The rows of "Country" + code in file order (empty when the section is missing).
    const std::vector<CityRow>& Cities(const QString& countryCode) const;
    // The raw lines of that section.
    QStringList CityLines(const QString& countryCode) const;

    struct CountryMatch {
        QString code;
        qsizetype prefixLength = 0;
    };
    // The country code that starts the number and whose lengths the rest of the number fits.
    std::optional<CountryMatch> FindCountryCode(const QString& number) const;

    struct CityMatch {
        QString code;               // the row's Replace when usable, else the matched prefix
        qsizetype prefixLength = 0; // how many characters of the number to strip
    };
    // The longest prefix of the number that is a city code of the country's section.
    std::optional<CityMatch> FindCityCode(const QString& number, const QString& countryCode) const;

    // Name of the city row for the code and local part ("Name, Republic"), empty when none.
    QString CityName(const QString& countryCode, const QString& cityCode,
                     const QString& local) const;

    // --- changes (the directory editor) ---
    // Replaces the section "Country" + code by the given lines. False, with the section left as
    // it was and LastError set, when a line holds text Windows-1251 cannot store.
    bool ReplaceCitySection(const QString& countryCode, const QStringList& lines);
    // Sets field `fieldKey` of the country row whose RusName is `rusName`, in the file object and
    // in the country list. False when no row matched.
    bool UpdateCountryField(const QString& rusName, const QString& fieldKey, const QString& value);
    // Writes the whole directory to its file (Windows-1251, CR LF). False with LastError set.
    bool Save();
    QByteArray ToBytes() const;
    const QString& FileName() const;

private:
    explicit TCodeDirectory(std::unique_ptr<TMyMemIniFile> file);
    void loadCountries();

    std::unique_ptr<TMyMemIniFile> file_;
    QStringList countryList_;
    std::vector<CountryRow> countries_;
    // Parsed city sections by trimmed country code, filled on first use.
    struct CitySection {
        std::vector<CityRow> rows;
        QHash<QString, int> firstByCode; // exact Code -> first row index
    };
    mutable QHash<QString, CitySection> cities_;
    const CitySection& section(const QString& countryCode) const;
};

// What the settings dialog does when a home city is chosen or typed ("Москва (095)"): a row
// whose `Replace` code is not blank and as long as the chosen code turns the choice into the
// replacement (`text` then names the list line with the same name and the new code, when
// `listIndex` found it); the local codes come from the row of the (possibly replaced) code.
struct OriginCityChoice {
    bool applies = false; // false when the country has no city directory: nothing changes
    QString text;         // the city field's text afterwards
    int listIndex = -1;   // the line of the city list to select, -1 to leave the selection
    QString localCodes;
};
OriginCityChoice ChooseOriginCity(const TCodeDirectory& directory, const QString& countryCode,
                                  const QString& cityText, const QStringList& cityList);

} // namespace telmira::contacts
