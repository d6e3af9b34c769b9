#include "contacts/codedirectory.h"

#include "contacts/numbers.h"
#include "frame/records.h"

namespace telmira::contacts {
namespace {

const QString kCountryCodes = QStringLiteral("CountryCodes");

QString sectionName(const QString& countryCode) {
    return QStringLiteral("Country") + countryCode.trimmed();
}

int intField(const QString& line, const char* key) {
    return parseInteger(FieldOf(line, QLatin1String(key))).value_or(0);
}

CountryRow parseCountry(const QString& line) {
    CountryRow row;
    row.code = FieldOf(line, QStringLiteral("Code"));
    row.rusName = FieldOf(line, QStringLiteral("RusName"));
    row.length = intField(line, "Length");
    row.length1 = intField(line, "Length1");
    row.longDistance = FieldOf(line, QStringLiteral("LongDistance"));
    row.international = FieldOf(line, QStringLiteral("International"));
    row.localCodes = FieldOf(line, QStringLiteral("LocalCodes"));
    row.main = FieldOf(line, QStringLiteral("Main"));
    return row;
}

CityRow parseCity(const QString& line) {
    CityRow row;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    row.key = eq < 0 ? QString() : line.left(eq);
    row.name = FieldOf(line, QStringLiteral("Name"));
    row.republic = FieldOf(line, QStringLiteral("Republic"));
    row.code = FieldOf(line, QStringLiteral("Code"));
    row.replace = FieldOf(line, QStringLiteral("Replace"));
    row.localCodes = FieldOf(line, QStringLiteral("LocalCodes"));
    row.range = FieldOf(line, QStringLiteral("Range"));
    row.main = FieldOf(line, QStringLiteral("Main"));
    row.isOperator = FieldOf(line, QStringLiteral("Operator")).trimmed() == QLatin1String("1");
    return row;
}

ChoiceList measured(QStringList lines, const TextWidth& width) {
    ChoiceList list;
    if (width)
        for (const QString& line : lines)
            list.widest = std::max(list.widest, width(line));
    list.lines = std::move(lines);
    return list;
}

QString choiceLine(const QString& name, const QString& code, bool codeFirst) {
    return codeFirst ? code + QStringLiteral(" (") + name + QLatin1Char(')')
                     : name + QStringLiteral(" (") + code + QLatin1Char(')');
}

} // namespace

bool FitsLength(qsizetype digits, int length, int length1) {
    if (length1 == 0)
        return digits == length;
    if (length < length1)
        return digits >= length && digits <= length1;
    return false;
}

TCodeDirectory::TCodeDirectory(const QString& fileName)
    : TCodeDirectory(std::make_unique<TMyMemIniFile>(fileName)) {}

TCodeDirectory::TCodeDirectory(std::unique_ptr<TMyMemIniFile> file) : file_(std::move(file)) {
    loadCountries();
}

std::unique_ptr<TCodeDirectory> TCodeDirectory::fromBytes(const QByteArray& bytes,
                                                          const QString& fileName) {
    return std::unique_ptr<TCodeDirectory>(
        new TCodeDirectory(TMyMemIniFile::fromBytes(bytes, fileName)));
}

TCodeDirectory::~TCodeDirectory() = default;

void TCodeDirectory::loadCountries() {
    countryList_ = file_->ReadSection(kCountryCodes);
    countries_.clear();
    countries_.reserve(countryList_.size());
    for (const QString& line : countryList_)
        countries_.push_back(parseCountry(line));
}

std::optional<CountryRow> TCodeDirectory::CountryByName(const QString& rusName) const {
    const QString wanted = rusName.trimmed().toUpper();
    for (const CountryRow& row : countries_)
        if (row.rusName.trimmed().toUpper() == wanted)
            return row;
    return std::nullopt;
}

QString TCodeDirectory::CountryName(const QString& code) const {
    if (IsBlank(code))
        return {}; // a blank code would name the first row that lacks one
    return LookupField(countryList_, QStringLiteral("Code"), code, QString(),
                       QStringLiteral("RusName"));
}

bool TCodeDirectory::HasCityDirectory(const QString& code) const {
    return file_->SectionExists(sectionName(code));
}

ChoiceList TCodeDirectory::CountryChoiceList(bool codeFirst, const TextWidth& width) const {
    QStringList lines;
    for (const CountryRow& row : countries_)
        lines << choiceLine(row.rusName, row.code, codeFirst);
    return measured(std::move(lines), width);
}

ChoiceList TCodeDirectory::CityChoiceList(const QString& countryCode, bool codeFirst,
                                          const TextWidth& width) const {
    QStringList lines;
    for (const CityRow& row : Cities(countryCode))
        lines << choiceLine(row.name, row.code, codeFirst);
    return measured(std::move(lines), width);
}

const TCodeDirectory::CitySection& TCodeDirectory::section(const QString& countryCode) const {
    const QString key = countryCode.trimmed();
    auto found = cities_.constFind(key);
    if (found != cities_.constEnd())
        return *found;
    CitySection parsed;
    const QStringList lines = file_->ReadSection(sectionName(key));
    parsed.rows.reserve(lines.size());
    for (const QString& line : lines) {
        parsed.rows.push_back(parseCity(line));
        const QString& code = parsed.rows.back().code;
        if (!code.isEmpty() && !parsed.firstByCode.contains(code))
            parsed.firstByCode.insert(code, int(parsed.rows.size() - 1));
    }
    return *cities_.insert(key, std::move(parsed));
}

const std::vector<CityRow>& TCodeDirectory::Cities(const QString& countryCode) const {
    return section(countryCode).rows;
}

QStringList TCodeDirectory::CityLines(const QString& countryCode) const {
    return file_->ReadSection(sectionName(countryCode));
}

std::optional<TCodeDirectory::CountryMatch>
TCodeDirectory::FindCountryCode(const QString& number) const {
    const qsizetype n = number.size();
    // Rows with an empty code are skipped: the empty prefix would otherwise claim every number.
    for (qsizetype length = n / 2; length > 0; --length) {
        const QString prefix = number.left(length);
        for (const CountryRow& row : countries_) {
            if (row.code != prefix)
                continue;
            if (!FitsLength(n - length, row.length, row.length1))
                return std::nullopt;
            return CountryMatch{row.code, length};
        }
    }
    return std::nullopt;
}

std::optional<TCodeDirectory::CityMatch>
TCodeDirectory::FindCityCode(const QString& number, const QString& countryCode) const {
    if (!HasCityDirectory(countryCode))
        return std::nullopt;
    const CitySection& cities = section(countryCode);
    for (qsizetype length = number.size(); length > 0; --length) {
        auto found = cities.firstByCode.constFind(number.left(length));
        if (found == cities.firstByCode.constEnd())
            continue;
        const CityRow& row = cities.rows[*found];
        const bool replaced = !row.replace.isEmpty() && row.replace.size() == length;
        return CityMatch{replaced ? row.replace : number.left(length), length};
    }
    return std::nullopt;
}

QString TCodeDirectory::CityName(const QString& countryCode, const QString& cityCode,
                                 const QString& local) const {
    if (IsBlank(cityCode) || !HasCityDirectory(countryCode))
        return {};
    const CitySection& cities = section(countryCode);
    const int start = cities.firstByCode.value(cityCode, 0);
    const CityRow* fallback = nullptr;
    const CityRow* chosen = nullptr;
    for (size_t i = size_t(start); i < cities.rows.size() && !chosen; ++i) {
        const CityRow& row = cities.rows[i];
        if (row.code.trimmed() != cityCode)
            continue;
        if (IsBlank(row.range)) {
            if (!fallback)
                fallback = &row;
        } else if (InRanges(row.range, local)) {
            chosen = &row;
        }
    }
    if (!chosen)
        chosen = fallback;
    if (!chosen)
        return {};
    if (IsBlank(chosen->republic))
        return chosen->name;
    return chosen->name + QStringLiteral(", ") + chosen->republic;
}

bool TCodeDirectory::ReplaceCitySection(const QString& countryCode, const QStringList& lines) {
    if (!file_->ReplaceSection(sectionName(countryCode), lines))
        return false;
    cities_.remove(countryCode.trimmed());
    return true;
}

bool TCodeDirectory::UpdateCountryField(const QString& rusName, const QString& fieldKey,
                                        const QString& value) {
    const QString key = QStringLiteral("RusName");
    if (file_->UpdateSectionRecord(kCountryCodes, key, rusName, value, fieldKey) < 0)
        return false;
    const int index = SetFieldInList(countryList_, key, rusName, value, fieldKey);
    if (index >= 0)
        countries_[size_t(index)] = parseCountry(countryList_[index]);
    return true;
}

bool TCodeDirectory::Save() {
    return file_->UpdateFile();
}

QByteArray TCodeDirectory::ToBytes() const {
    return file_->ToBytes();
}

const QString& TCodeDirectory::FileName() const {
    return file_->FileName();
}

OriginCityChoice ChooseOriginCity(const TCodeDirectory& directory, const QString& countryCode,
                                  const QString& cityText, const QStringList& cityList) {
    OriginCityChoice choice;
    choice.text = cityText;
    choice.applies = directory.HasCityDirectory(countryCode);
    if (!choice.applies)
        return choice;
    const QStringList lines = directory.CityLines(countryCode);
    const auto cityField = [&lines](const QString& code, const char* field) {
        return LookupField(lines, QStringLiteral("Code"), code, QString(), QLatin1String(field));
    };
    const NameAndCode city = splitNameAndCode(cityText);
    QString code = city.code;
    const QString replace = cityField(code, "Replace").trimmed();
    if (!replace.isEmpty() && replace.size() == code.size()) {
        code = replace;
        choice.text = choiceLine(city.name, code, false);
        choice.listIndex = static_cast<int>(cityList.indexOf(choice.text));
    } else {
        choice.listIndex = static_cast<int>(cityList.indexOf(cityText));
    }
    choice.localCodes = cityField(code, "LocalCodes");
    return choice;
}

} // namespace telmira::contacts
