#include "contacts/voceditorstate.h"

#include "contacts/numbers.h"
#include "frame/records.h"
#include "frame/zelsettings.h"

#include <algorithm>

namespace telmira::contacts {
namespace {

const QString kDefaultCountry = QStringLiteral("Россия (7)");

const char* fieldKey(VocEditorState::CountryField field) {
    switch (field) {
    case VocEditorState::LongDistanceField:
        return "LongDistance";
    case VocEditorState::InternationalField:
        return "International";
    case VocEditorState::LengthField:
        break;
    }
    return "Length";
}

// The sort key of a column: quotes removed, lower-cased.
QString sortKey(const QString& text) {
    QString out = text;
    out.remove(QLatin1Char('"'));
    out.remove(QLatin1Char('\''));
    return out.toLower();
}

// The record of one city row as the editor writes it.
QString cityRecord(int index, const VocEditorState::Row& row, const QString& mark) {
    const QString column = row.code;
    const QString replace =
        ExtractBetween(column, QStringLiteral("="), QString(), QStringLiteral("(")).trimmed();
    const QString localCodes =
        ExtractBetween(column, QStringLiteral("("), QString(), QStringLiteral(")")).trimmed();
    const QString code = ExtractBetween(ExtractBetween(column, QString(), QString(), "="),
                                        QString(), QString(), QStringLiteral("("))
                             .trimmed();
    QString line = QString::number(index) + QStringLiteral("=Name=") + row.name.trimmed();
    if (!IsBlank(row.republic))
        line += QStringLiteral(";Republic=") + row.republic.trimmed();
    line += QStringLiteral(";Code=") + code;
    if (!IsBlank(replace))
        line += QStringLiteral(";Replace=") + replace;
    if (!IsBlank(localCodes))
        line += QStringLiteral(";LocalCodes=") + localCodes;
    if (!IsBlank(row.range))
        line += QStringLiteral(";Range=") + row.range.trimmed();
    if (!IsBlank(mark))
        line += QStringLiteral(";Main=") + mark;
    // The operator mark is kept: the editor shows it and nothing else would restore it.
    if (row.isOperator)
        line += QStringLiteral(";Operator=1");
    return line + QLatin1Char(';');
}

template <typename R> auto& cellOf(R& row, VocEditorState::Column column) {
    switch (column) {
    case VocEditorState::NameColumn:
        return row.name;
    case VocEditorState::CodeColumn:
        return row.code;
    case VocEditorState::RepublicColumn:
        return row.republic;
    case VocEditorState::RangeColumn:
        break;
    }
    return row.range;
}

} // namespace

bool VocEditorState::Row::isEmpty() const {
    return IsBlank(name) && IsBlank(code) && IsBlank(republic) && IsBlank(range);
}

VocEditorState::VocEditorState(TCodeDirectory& directory, SettingsFile* settings)
    : directory_(directory), settings_(settings) {}

QStringList VocEditorState::CountryChoices() const {
    return directory_.CountryChoiceList(false).lines;
}

QString VocEditorState::InitialChoice() const {
    const QString stored =
        settings_ ? readVocEditorCountry(*settings_, kDefaultCountry) : kDefaultCountry;
    const QStringList choices = CountryChoices();
    if (choices.contains(stored) || choices.isEmpty())
        return choices.isEmpty() ? kDefaultCountry : stored;
    return choices.contains(kDefaultCountry) ? kDefaultCountry : choices.first();
}

QChar VocEditorState::ChooserCharacter(QChar typed, bool emptyOrAllSelected) {
    return emptyOrAllSelected && typed.isLetter() ? typed.toUpper() : typed;
}

bool VocEditorState::SelectCountry(const QString& choice, QString* error) {
    if (sectionChanged_ && !SaveSection(error))
        return false;
    const NameAndCode parts = splitNameAndCode(choice);
    code_ = parts.code;
    name_ = parts.name;
    const std::optional<CountryRow> row = directory_.CountryByName(name_);
    fields_[LongDistanceField] = row ? row->longDistance : QString();
    fields_[InternationalField] = row ? row->international : QString();
    // The stored text rather than the parsed number, so an unset length shows empty.
    fields_[LengthField] = row ? LookupField(directory_.CountryList(), QStringLiteral("RusName"),
                                             name_, QString(), QStringLiteral("Length"))
                               : QString();
    mark_ = row ? row->main : QString();
    if (settings_)
        writeVocEditorCountry(*settings_, choice);
    loadRows();
    return true;
}

void VocEditorState::loadRows() {
    rows_.clear();
    for (const CityRow& city : directory_.Cities(code_)) {
        if (city.main != mark_)
            continue;
        Row row;
        row.name = city.name;
        row.code = city.code;
        if (!IsBlank(city.replace))
            row.code += QLatin1Char('=') + city.replace;
        if (!IsBlank(city.localCodes))
            row.code += QStringLiteral(" (") + city.localCodes + QLatin1Char(')');
        row.republic = city.republic;
        row.range = city.range;
        row.isOperator = city.isOperator;
        rows_.push_back(row);
    }
    if (rows_.empty())
        rows_.emplace_back();
    sectionChanged_ = false;
}

QString VocEditorState::Field(CountryField field) const {
    return fields_[field];
}

bool VocEditorState::SetField(CountryField field, const QString& value) {
    if (fields_[field] == value)
        return false;
    fields_[field] = value;
    directory_.UpdateCountryField(name_, QLatin1String(fieldKey(field)), value);
    changed_ = true;
    return true;
}

QString VocEditorState::Cell(int row, Column column) const {
    if (row < 0 || size_t(row) >= rows_.size())
        return {};
    return cellOf(rows_[size_t(row)], column);
}

void VocEditorState::markChanged() {
    sectionChanged_ = true;
    changed_ = true;
}

bool VocEditorState::SetCell(int row, Column column, const QString& text) {
    if (row < 0 || size_t(row) >= rows_.size())
        return false;
    QString& cell = cellOf(rows_[size_t(row)], column);
    if (cell == text)
        return false;
    cell = text;
    markChanged();
    return true;
}

bool VocEditorState::SetOperator(int row, bool isOperator) {
    if (row < 0 || size_t(row) >= rows_.size() || rows_[size_t(row)].isOperator == isOperator)
        return false;
    rows_[size_t(row)].isOperator = isOperator;
    markChanged();
    return true;
}

bool VocEditorState::AppendRowOnDown() {
    if (!rows_.empty() && rows_.back().isEmpty())
        return false;
    rows_.emplace_back();
    return true;
}

void VocEditorState::InsertRow(int row) {
    const size_t at = std::min(size_t(std::max(row, 0)), rows_.size());
    rows_.insert(rows_.begin() + qsizetype(at), Row());
}

QString VocEditorState::DeleteQuestion(int row) const {
    if (row < 0 || size_t(row) >= rows_.size() || IsBlank(rows_[size_t(row)].name))
        return {};
    return QStringLiteral(" Удалить ") + rows_[size_t(row)].name + QLatin1Char('?');
}

void VocEditorState::DeleteRow(int row) {
    if (row < 0 || size_t(row) >= rows_.size())
        return;
    const bool hadContent = !rows_[size_t(row)].isEmpty();
    rows_.erase(rows_.begin() + row);
    if (rows_.empty())
        rows_.emplace_back();
    if (hadContent)
        markChanged();
}

void VocEditorState::SortBy(Column column) {
    std::stable_sort(rows_.begin(), rows_.end(), [column](const Row& a, const Row& b) {
        const QString ka = sortKey(cellOf(a, column));
        const QString kb = sortKey(cellOf(b, column));
        if (ka != kb)
            return ka < kb;
        return sortKey(a.name) < sortKey(b.name);
    });
}

bool VocEditorState::AcceptsCharacter(Column column, QChar c) {
    const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
    switch (column) {
    case CodeColumn:
        return digit || QStringLiteral(" =(),").contains(c);
    case RangeColumn:
        return digit || QStringLiteral(" ,-").contains(c);
    case NameColumn:
    case RepublicColumn:
        break;
    }
    return true;
}

bool VocEditorState::AcceptsFieldCharacter(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool VocEditorState::SaveSection(QString* error) {
    SortBy(NameColumn);
    QStringList lines;
    for (const QString& line : directory_.CityLines(code_))
        if (FieldOf(line, QStringLiteral("Main")) != mark_)
            lines << line;
    int index = 0;
    for (const Row& row : rows_) {
        ++index;
        if (IsBlank(row.name) || IsBlank(row.code))
            continue;
        lines << cityRecord(index, row, mark_);
    }
    if (!directory_.ReplaceCitySection(code_, lines)) {
        if (error)
            *error = directory_.LastError();
        return false;
    }
    sectionChanged_ = false;
    return true;
}

bool VocEditorState::SaveVocabulary(QString* error) {
    if (!SaveSection(error))
        return false;
    if (!directory_.Save()) {
        if (error)
            *error = directory_.LastError();
        return false;
    }
    changed_ = false;
    return true;
}

} // namespace telmira::contacts
