#pragma once

#include "contacts/voceditorstate.h"
#include "gui/frame/mytabcontrol.h"

#include <memory>

class QComboBox;
class QLineEdit;
class QTableView;

// The tool tab "Справочник городов": the city-code directory codes.voc edited country by
// country. A chooser picks the country, three fields hold its dialling prefixes and number
// length, and a grid lists its cities and operators. What an action means is asked of
// `VocEditorState`; the tab shows the result and keeps the tab's changed mark in step with it.
namespace telmira {
class SettingsFile;
}

namespace telmira::contacts {

class TVocEditor : public TMyTabControl {
    Q_OBJECT
public:
    // `directory` is the application's one reading of codes.voc (the settings dialog and the
    // number display see the edits through it); `settings` (zel.ini) keeps the chosen country,
    // may be null.
    TVocEditor(std::shared_ptr<TCodeDirectory> directory, SettingsFile* settings,
               QObject* parent = nullptr);
    ~TVocEditor() override;

    const VocEditorState& State() const { return state_; }
    QComboBox* CountryChooser() const { return country_; }
    QLineEdit* CountryField(VocEditorState::CountryField field) const { return fields_[field]; }
    QTableView* Grid() const;

    // Changes the country as a choice in the chooser does.
    void ChooseCountry(const QString& choice);

    // Entering takes the focus to the grid; leaving writes the edited section into the
    // directory (not to disk).
    void Entering() override;
    void Leaving() override;
    // Asks whether to save changes; a failed save keeps the application open.
    bool QueryClose() override;
    // The Save button: the section and the whole file; a write failure is reported and the
    // changes stay.
    void SaveChanges() override;

protected:
    // The country chooser's key filter (letters raised at the start of a choice).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Model;
    class Delegate;
    class CityGrid;
    friend class CityGrid;
    friend class Delegate;

    QWidget* buildPage();
    void openCountry(const QString& choice);
    void showCountry();
    void finishEditing();
    void commitFields();
    void commitField(VocEditorState::CountryField field);
    bool saveVocabulary();
    void noteChange();
    void reload(int row, int column = 0);
    int rowOf(const VocEditorState::Row& row) const;
    void selectCell(int row, int column);
    int currentRow() const;

    // Grid keys.
    void editName();
    void step(int rows);
    void appendOnDown();
    void insertRow();
    void deleteRow();
    void sortBy(int column);

    std::shared_ptr<TCodeDirectory> directory_;
    VocEditorState state_;
    QString choice_;
    QComboBox* country_ = nullptr;
    QLineEdit* fields_[3] = {};
    CityGrid* grid_ = nullptr;
    Model* model_ = nullptr;
};

} // namespace telmira::contacts
