#include "gui/contacts/voceditor.h"

#include "frame/startup.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>
#include <functional>

namespace telmira::contacts {
namespace {

using Column = VocEditorState::Column;

// Loading more rows than this shows the wait cursor.
constexpr size_t kWaitCursorRows = 1500;

const char* const kColumnCaptions[] = {
    "Имя города / оператора",
    "Код  [=Код замены] (Местные коды)",
    "Республика / край",
    "Диапазон номеров",
};
const char* const kFieldCaptions[] = {"Код межгорода", "Международный код", "Длина номера (макс.)"};

// Lets through only the characters a column or field accepts (typed or pasted).
class CharacterFilter : public QValidator {
public:
    CharacterFilter(std::function<bool(QChar)> accepts, QObject* parent)
        : QValidator(parent), accepts_(std::move(accepts)) {}
    State validate(QString& input, int&) const override {
        return std::all_of(input.cbegin(), input.cend(), accepts_) ? Acceptable : Invalid;
    }

private:
    std::function<bool(QChar)> accepts_;
};

// A question with the buttons in the program's language.
QMessageBox::StandardButton ask(QWidget* parent, const QString& caption, const QString& text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton byDefault) {
    QMessageBox box(QMessageBox::Question, caption, text, buttons, parent);
    box.setDefaultButton(byDefault);
    const std::pair<QMessageBox::StandardButton, const char*> names[] = {
        {QMessageBox::Yes, "Да"}, {QMessageBox::No, "Нет"}, {QMessageBox::Cancel, "Отмена"}};
    for (const auto& [button, name] : names)
        if (QAbstractButton* shown = box.button(button))
            shown->setText(QString::fromUtf8(name));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

// The grid's rows as the editor's state holds them; an edit goes to the state, which decides
// whether it changed anything.
class TVocEditor::Model : public QAbstractTableModel {
public:
    Model(VocEditorState& state, std::function<void()> edited, QObject* parent)
        : QAbstractTableModel(parent), state_(state), edited_(std::move(edited)) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(state_.Rows().size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(std::size(kColumnCaptions));
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        const auto column = Column(index.column());
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return state_.Cell(index.row(), column);
        if (column != VocEditorState::RangeColumn)
            return {};
        if (role == Qt::CheckStateRole)
            return state_.Rows()[size_t(index.row())].isOperator ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::ToolTipRole) // long range lists do not fit the column
            return state_.Cell(index.row(), column);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Vertical)
            return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
        if (section < 0 || section >= columnCount())
            return {};
        if (role == Qt::DisplayRole)
            return QString::fromUtf8(kColumnCaptions[section]);
        if (role == Qt::ToolTipRole) {
            if (section == VocEditorState::RangeColumn)
                return QStringLiteral("Отметка в этом столбце: мобильный оператор");
            if (section == VocEditorState::NameColumn || section == VocEditorState::CodeColumn)
                return QStringLiteral("Щелчок сортирует по этому столбцу");
        }
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid())
            return Qt::NoItemFlags;
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
        if (index.column() == VocEditorState::RangeColumn)
            flags |= Qt::ItemIsUserCheckable;
        return flags;
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (!index.isValid() || index.row() >= rowCount())
            return false;
        const auto column = Column(index.column());
        bool changed = false;
        if (role == Qt::EditRole)
            changed = state_.SetCell(index.row(), column, value.toString());
        else if (role == Qt::CheckStateRole && column == VocEditorState::RangeColumn)
            changed = state_.SetOperator(index.row(), value.toInt() == Qt::Checked);
        else
            return false;
        if (changed) {
            emit dataChanged(index, index);
            edited_();
        }
        return true;
    }
    void reset() {
        beginResetModel();
        endResetModel();
    }

private:
    VocEditorState& state_;
    std::function<void()> edited_;
};

// The cell editor: the column's character filter; Up and Down end the edit and move on.
class TVocEditor::Delegate : public QStyledItemDelegate {
public:
    Delegate(TVocEditor& editor, QObject* parent) : QStyledItemDelegate(parent), editor_(editor) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* line = new QLineEdit(parent);
        line->setFrame(false);
        const auto column = Column(index.column());
        line->setValidator(new CharacterFilter(
            [column](QChar c) { return VocEditorState::AcceptsCharacter(column, c); }, line));
        line->setAccessibleName(QString::fromUtf8(kColumnCaptions[index.column()]));
        return line;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            auto* line = qobject_cast<QWidget*>(object);
            if (line && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
                emit commitData(line);
                emit closeEditor(line, NoHint);
                editor_.step(key->key() == Qt::Key_Down ? 1 : -1);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    TVocEditor& editor_;
};

// The city grid's own keys: Enter edits the name, Down on the last row appends, Ctrl+Insert
// inserts, Ctrl+Delete deletes.
class TVocEditor::CityGrid : public QTableView {
public:
    explicit CityGrid(TVocEditor& editor) : editor_(editor) {}

    // Ends an open cell edit, keeping what was typed.
    void finishEditing() {
        if (state() != EditingState)
            return;
        if (QWidget* line = indexWidget(currentIndex())) {
            commitData(line);
            closeEditor(line, QAbstractItemDelegate::NoHint);
        }
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (state() != EditingState) {
            const Qt::KeyboardModifiers held = event->modifiers() & ~Qt::KeypadModifier;
            switch (event->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (held == Qt::NoModifier) {
                    editor_.editName();
                    return;
                }
                break;
            case Qt::Key_Down:
                if (held == Qt::NoModifier && currentIndex().row() == model()->rowCount() - 1) {
                    editor_.appendOnDown();
                    return;
                }
                break;
            case Qt::Key_Insert:
                if (held == Qt::ControlModifier) {
                    editor_.insertRow();
                    return;
                }
                break;
            case Qt::Key_Delete:
                if (held == Qt::ControlModifier) {
                    editor_.deleteRow();
                    return;
                }
                break;
            default:
                break;
            }
        }
        QTableView::keyPressEvent(event);
    }

private:
    TVocEditor& editor_;
};

TVocEditor::TVocEditor(std::shared_ptr<TCodeDirectory> directory, SettingsFile* settings,
                       QObject* parent)
    : TMyTabControl(QStringLiteral("VocEditor"), parent), directory_(std::move(directory)),
      state_(*directory_, settings) {
    SetCaption(QStringLiteral("Справочник городов"));
    ScrollBox()->setWidget(buildPage());
    openCountry(state_.InitialChoice());
}

TVocEditor::~TVocEditor() {
    // The page and its grid ask the state for data until they are gone: they go first, and
    // nothing they do on the way out reaches this half-destroyed tab.
    QWidget* page = ScrollBox()->takeWidget();
    if (!page)
        return;
    for (QObject* child : page->findChildren<QObject*>()) {
        child->removeEventFilter(this);
        QObject::disconnect(child, nullptr, this, nullptr);
    }
    delete page;
}

QTableView* TVocEditor::Grid() const {
    return grid_;
}

QWidget* TVocEditor::buildPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* top = new QHBoxLayout;

    country_ = new QComboBox;
    country_->setEditable(true);
    country_->setInsertPolicy(QComboBox::NoInsert);
    country_->setMaxVisibleItems(20);
    country_->setAccessibleName(QStringLiteral("Страна"));
    country_->addItems(state_.CountryChoices());
    const QFontMetrics metrics(country_->font());
    const int widest =
        directory_
            ->CountryChoiceList(
                false, [&metrics](const QString& line) { return metrics.horizontalAdvance(line); })
            .widest;
    country_->view()->setMinimumWidth(widest + 25);
    country_->setMinimumWidth(std::clamp(widest + 40, 200, 300));
    country_->lineEdit()->installEventFilter(this);
    auto* countryLabel = new QLabel(QStringLiteral("Страна"));
    countryLabel->setBuddy(country_);
    top->addWidget(countryLabel);
    top->addWidget(country_);
    top->addStretch(1);
    layout->addLayout(top);
    connect(country_, &QComboBox::textActivated, this, &TVocEditor::ChooseCountry);
    connect(country_->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { ChooseCountry(country_->currentText()); });

    // The country's fields go on a line of their own: the tab stays usable at the main
    // window's smallest width.
    auto* fieldsLine = new QHBoxLayout;
    for (int field = 0; field < 3; ++field) {
        const QString caption = QString::fromUtf8(kFieldCaptions[field]);
        auto* line = new QLineEdit;
        line->setValidator(new CharacterFilter(&VocEditorState::AcceptsFieldCharacter, line));
        line->setMaxLength(12);
        line->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("00000000")));
        line->setAccessibleName(caption);
        auto* label = new QLabel(caption);
        label->setBuddy(line);
        if (field > 0)
            fieldsLine->addSpacing(16);
        fieldsLine->addWidget(label);
        fieldsLine->addWidget(line);
        fields_[field] = line;
        const auto which = VocEditorState::CountryField(field);
        connect(line, &QLineEdit::editingFinished, this, [this, which] { commitField(which); });
    }
    fieldsLine->addStretch(1);
    layout->addLayout(fieldsLine);

    grid_ = new CityGrid(*this);
    model_ = new Model(
        state_, [this] { noteChange(); }, grid_);
    grid_->setModel(model_);
    grid_->setItemDelegate(new Delegate(*this, grid_));
    grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setAlternatingRowColors(true);
    grid_->setWordWrap(false);
    grid_->setAccessibleName(QStringLiteral("Города и операторы"));
    grid_->verticalHeader()->setDefaultSectionSize(metrics.height() + 8);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* header = grid_->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    const QFontMetrics headerMetrics(header->font());
    for (int column = 0; column < 3; ++column)
        header->resizeSection(
            column, headerMetrics.horizontalAdvance(QString::fromUtf8(kColumnCaptions[column])) +
                        (column == VocEditorState::CodeColumn ? 24 : 40));
    connect(header, &QHeaderView::sectionClicked, this, &TVocEditor::sortBy);
    auto* gridLabel = new QLabel(QStringLiteral("Города и операторы"));
    gridLabel->setBuddy(grid_);
    layout->addWidget(gridLabel);
    layout->addWidget(grid_, 1);
    return page;
}

bool TVocEditor::eventFilter(QObject* watched, QEvent* event) {
    if (country_ && watched == country_->lineEdit() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        QLineEdit* line = country_->lineEdit();
        const QString text = key->text();
        if (text.size() == 1 && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            const bool whole = line->text().isEmpty() || line->selectedText() == line->text();
            const QChar typed = VocEditorState::ChooserCharacter(text[0], whole);
            if (typed != text[0]) {
                line->insert(QString(typed));
                return true;
            }
        }
    }
    return TMyTabControl::eventFilter(watched, event);
}

void TVocEditor::ChooseCountry(const QString& choice) {
    if (choice == choice_)
        return;
    if (country_->findText(choice, Qt::MatchExactly) < 0) {
        // Only a listed country can be edited: the chooser goes back to the current one.
        const QSignalBlocker quiet(country_);
        country_->setEditText(choice_);
        return;
    }
    openCountry(choice);
}

void TVocEditor::openCountry(const QString& choice) {
    finishEditing();
    commitFields();
    const bool many = directory_->Cities(splitNameAndCode(choice).code).size() > kWaitCursorRows;
    if (many)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    const bool opened = state_.SelectCountry(choice, &error);
    if (many)
        QGuiApplication::restoreOverrideCursor();
    if (!opened) {
        // The edited cities could not be stored: the editor stays on their country.
        showCountry();
        QMessageBox box(QMessageBox::Warning, QStringLiteral(" Ошибка"),
                        QStringLiteral("Изменения справочника городов не сохранены:\n") + error +
                            QStringLiteral("\n\nИсправьте названия и попробуйте снова."),
                        QMessageBox::Ok, ScrollBox());
        box.exec();
        return;
    }
    choice_ = choice;
    showCountry();
    noteChange();
}

void TVocEditor::showCountry() {
    {
        const QSignalBlocker quiet(country_);
        const int index = country_->findText(choice_, Qt::MatchExactly);
        if (index >= 0)
            country_->setCurrentIndex(index);
        country_->setEditText(choice_);
    }
    for (int field = 0; field < 3; ++field)
        fields_[field]->setText(state_.Field(VocEditorState::CountryField(field)));
    grid_->verticalScrollBar()->setValue(0);
    reload(0);
}

void TVocEditor::finishEditing() {
    if (grid_)
        grid_->finishEditing();
}

void TVocEditor::commitField(VocEditorState::CountryField field) {
    if (state_.SetField(field, fields_[field]->text()))
        noteChange();
}

void TVocEditor::commitFields() {
    for (int field = 0; field < 3; ++field)
        commitField(VocEditorState::CountryField(field));
}

void TVocEditor::noteChange() {
    if (state_.Changed() != Changed())
        SetChanged(state_.Changed());
}

void TVocEditor::reload(int row, int column) {
    const int scrolled = grid_->verticalScrollBar()->value();
    model_->reset();
    grid_->verticalScrollBar()->setValue(scrolled);
    selectCell(row, column);
}

void TVocEditor::selectCell(int row, int column) {
    const int rows = model_->rowCount();
    if (rows == 0)
        return;
    grid_->setCurrentIndex(model_->index(std::clamp(row, 0, rows - 1), column));
}

int TVocEditor::currentRow() const {
    const QModelIndex current = grid_->currentIndex();
    return current.isValid() ? current.row() : 0;
}

int TVocEditor::rowOf(const VocEditorState::Row& row) const {
    const auto& rows = state_.Rows();
    const auto found = std::find(rows.begin(), rows.end(), row);
    return found == rows.end() ? 0 : int(found - rows.begin());
}

void TVocEditor::editName() {
    const QModelIndex name = model_->index(currentRow(), VocEditorState::NameColumn);
    grid_->setCurrentIndex(name);
    grid_->edit(name);
}

void TVocEditor::step(int rows) {
    const int row = currentRow();
    const int column = std::max(grid_->currentIndex().column(), 0);
    if (rows > 0 && row == model_->rowCount() - 1)
        appendOnDown();
    else
        selectCell(row + rows, column);
}

void TVocEditor::appendOnDown() {
    const int row = currentRow();
    const int column = std::max(grid_->currentIndex().column(), 0);
    if (state_.AppendRowOnDown())
        reload(row + 1, column);
}

void TVocEditor::insertRow() {
    const int row = currentRow();
    state_.InsertRow(row);
    reload(row);
}

void TVocEditor::deleteRow() {
    const int row = currentRow();
    const QString question = state_.DeleteQuestion(row);
    if (!question.isEmpty() &&
        ask(ScrollBox(), VocEditorState::DeleteCaption(), question,
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    state_.DeleteRow(row);
    reload(row);
    noteChange();
}

void TVocEditor::sortBy(int column) {
    if (column != VocEditorState::NameColumn && column != VocEditorState::CodeColumn)
        return;
    finishEditing();
    const VocEditorState::Row current = state_.Rows()[size_t(currentRow())];
    state_.SortBy(Column(column));
    reload(rowOf(current));
}

void TVocEditor::Entering() {
    grid_->setFocus();
}

void TVocEditor::Leaving() {
    finishEditing();
    commitFields();
    if (!state_.SectionChanged())
        return;
    const VocEditorState::Row current = state_.Rows()[size_t(currentRow())];
    state_.SaveSection();
    reload(rowOf(current));
}

bool TVocEditor::saveVocabulary() {
    finishEditing();
    commitFields();
    const VocEditorState::Row current = state_.Rows()[size_t(currentRow())];
    QString error;
    const bool saved = state_.SaveVocabulary(&error);
    reload(rowOf(current));
    noteChange();
    if (!saved) {
        QString text = QStringLiteral("Не удалось записать справочник городов в файл ") +
                       directory_->FileName();
        if (!error.isEmpty())
            text += QStringLiteral(":\n") + error;
        text += QStringLiteral("\n\nИзменения остались в редакторе.");
        QMessageBox box(QMessageBox::Warning, QStringLiteral(" Ошибка"), text, QMessageBox::Ok,
                        ScrollBox());
        box.setObjectName(QStringLiteral("VocSaveErrorBox"));
        box.exec();
    }
    return saved;
}

void TVocEditor::SaveChanges() {
    saveVocabulary();
}

bool TVocEditor::QueryClose() {
    finishEditing();
    commitFields();
    if (!state_.Changed())
        return true;
    switch (ask(ScrollBox(), VocEditorState::CloseCaption(), VocEditorState::CloseQuestion(),
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes)) {
    case QMessageBox::Yes:
        return saveVocabulary();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

} // namespace telmira::contacts
