#pragma once

#include "contacts/codedirectory.h"
#include "frame/settings.h"

#include <QString>

#include <vector>

// What the city-code directory editor (the tool tab "Справочник городов") does with the
// directory, apart from its widgets: the chosen country, its three fields, the grid of city rows
// and their editing, the changed marks, and writing the section and the file back.
namespace telmira::contacts {

class VocEditorState {
public:
    enum Column { NameColumn = 0, CodeColumn = 1, RepublicColumn = 2, RangeColumn = 3 };
    enum CountryField { LongDistanceField, InternationalField, LengthField };

    struct Row {
        QString name;
        QString code; // Code [=Replace] [(LocalCodes)]
        QString republic;
        QString range;
        bool isOperator = false;

        bool isEmpty() const;
        bool operator==(const Row&) const = default;
    };

    // `settings` (zel.ini) keeps the chosen country under VocEditor.Country; may be null.
    VocEditorState(TCodeDirectory& directory, SettingsFile* settings);

    // The country chooser's lines and the entry to select at opening: VocEditor.Country when
    // the directory lists it, else "Россия (7)" when listed, else the first line (a damaged
    // setting never names a section that does not belong to a country).
    QStringList CountryChoices() const;
    QString InitialChoice() const;
    // A character typed into the country chooser: a letter typed into an empty chooser or over
    // its whole text becomes upper case.
    static QChar ChooserCharacter(QChar typed, bool emptyOrAllSelected);

    // Changes the country ("Россия (7)"): saves the current section when it was changed, then
    // loads the chosen country's fields and rows and records the choice in the settings. False,
    // with the current country and its rows kept and `error` set, when the changed section
    // cannot be saved.
    bool SelectCountry(const QString& choice, QString* error = nullptr);

    const QString& CountryCode() const { return code_; }
    const QString& CountryName() const { return name_; }
    const QString& GroupMark() const { return mark_; }
    QString Field(CountryField field) const;
    // Leaving a country field: stores a changed value into the country's row (file object and
    // country list). True when the value changed.
    bool SetField(CountryField field, const QString& value);

    const std::vector<Row>& Rows() const { return rows_; }
    QString Cell(int row, Column column) const;
    // Ending an edit: stores the text; marks the section and the editor changed when it differs.
    bool SetCell(int row, Column column, const QString& text);
    bool SetOperator(int row, bool isOperator);

    // Down on the last row: appends an empty row unless the last row is entirely empty.
    bool AppendRowOnDown();
    // Ctrl+Insert: an empty row before `row`.
    void InsertRow(int row);
    // The question asked before deleting (" Удалить " + name + "?"), empty when no question is
    // needed because the name is blank.
    QString DeleteQuestion(int row) const;
    void DeleteRow(int row);
    // Header click: sorts by the name or code column (quotes removed, lower-cased, then name).
    void SortBy(Column column);

    // Characters the editor accepts while typing into a column (printable ones; Backspace and
    // undo are always allowed) and into the three country fields.
    static bool AcceptsCharacter(Column column, QChar c);
    static bool AcceptsFieldCharacter(QChar c);

    // Writes the grid into the directory's section (sorted by name); clears the section mark.
    // False, with the section mark kept and `error` set, when the directory refuses the section
    // (a text Windows-1251 cannot store): the rows stay in the editor.
    bool SaveSection(QString* error = nullptr);
    // SaveSection, then the whole file; clears the editor mark. False with `error` set when the
    // file could not be written.
    bool SaveVocabulary(QString* error = nullptr);

    bool SectionChanged() const { return sectionChanged_; }
    bool Changed() const { return changed_; }

    static QString DeleteCaption() { return QStringLiteral("Удаление"); }
    static QString CloseQuestion() {
        return QStringLiteral("Справочник городов был изменен, сохранить изменения?");
    }
    static QString CloseCaption() { return QStringLiteral(" Предупреждение об изменениях"); }

private:
    void loadRows();
    void markChanged();

    TCodeDirectory& directory_;
    SettingsFile* settings_;
    QString code_;
    QString name_;
    QString mark_;
    QString fields_[3];
    std::vector<Row> rows_;
    bool sectionChanged_ = false;
    bool changed_ = false;
};

} // namespace telmira::contacts
