// The city-code editor tab driven through its widgets on a small codes.voc: it opens on the
// stored country, rows are added and deleted by keys, the Save button writes the file, the
// settings dialog sees the edits in the same directory, and closing asks about changes.
#include "gui/contacts/voceditor.h"

#include "base/cp1251.h"
#include "contacts/codedirectory.h"
#include "frame/settings.h"
#include "gui/frame/settingsdialog.h"
#include "tests/common/qtprint.h"
#include "tests/common/windowfixture.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollArea>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <filesystem>

using namespace telmira;
using namespace telmira::contacts;
using namespace telmira::test;

namespace {

const char* const kCodes = "[CountryCodes]\r\n"
                           "1=Code=7; RusName=Россия; Length=10; LongDistance=8; "
                           "International=810;\r\n"
                           "2=Code=380; RusName=Украина; Length=9; LongDistance=0; "
                           "International=00;\r\n"
                           "[Country7]\r\n"
                           "1=Name=Москва;Code=495;LocalCodes=499;\r\n"
                           "[Country380]\r\n"
                           "1=Name=Киев;Code=44;\r\n"
                           "2=Name=Харьков;Code=57;\r\n";

// Answers every message box that opens while it lives with `answer`, recording what it asked.
class BoxAnswerer {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            captions << box->windowTitle();
            texts << box->text();
            if (QAbstractButton* button = box->button(answer))
                button->click();
            else
                box->reject();
        });
        timer_.start();
    }
    QStringList captions;
    QStringList texts;

private:
    QTimer timer_;
};

// Types text into a widget one key at a time (Cyrillic letters included).
void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

class VocEditorTab : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(work.dir / "codes.voc", utf8ToCp1251(kCodes));
        work.writeIni("[VocEditor]\r\nCountry=Украина (380)\r\n");
        codes = std::make_shared<TCodeDirectory>(work.path("codes.voc"));
        editor = std::make_unique<TVocEditor>(codes, work.ini.get());
        editor->ScrollBox()->resize(900, 500);
        editor->ScrollBox()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(editor->ScrollBox()));
    }
    QTableView* grid() const { return editor->Grid(); }
    QString cell(int row, int column) const {
        return grid()->model()->index(row, column).data().toString();
    }
    int rows() const { return grid()->model()->rowCount(); }
    void key(int code, Qt::KeyboardModifiers held = Qt::NoModifier) {
        QTest::keyClick(grid(), Qt::Key(code), held);
    }
    // What a mouse sends for a double click: press, release, press, double click, release.
    void doubleClick(const QModelIndex& index) {
        const QPoint at = grid()->visualRect(index).center();
        QWidget* viewport = grid()->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, at);
    }
    // The open cell editor.
    QLineEdit* cellEditor() const {
        return qobject_cast<QLineEdit*>(grid()->indexWidget(grid()->currentIndex()));
    }
    void typeIntoCell(const QString& text) {
        QLineEdit* line = cellEditor();
        ASSERT_NE(line, nullptr);
        typeText(line, text);
        QTest::keyClick(line, Qt::Key_Return);
        QCoreApplication::processEvents(); // the delegate ends the edit from the event loop
    }
    QStringList cityChoicesOnDisk(const char* country) const {
        return TCodeDirectory(work.path("codes.voc")).CityChoiceList(country, false).lines;
    }

    WorkFolder work;
    std::shared_ptr<TCodeDirectory> codes;
    std::unique_ptr<TVocEditor> editor;
};

TEST_F(VocEditorTab, OpensOnTheStoredCountryWithItsFieldsAndCities) {
    EXPECT_EQ(editor->Caption(), QStringLiteral("Справочник городов"));
    EXPECT_EQ(editor->ToolName(), "VocEditor");
    QComboBox* chooser = editor->CountryChooser();
    EXPECT_EQ(chooser->currentText(), QStringLiteral("Украина (380)"));
    EXPECT_EQ(chooser->count(), 2);
    EXPECT_EQ(chooser->maxVisibleItems(), 20);
    EXPECT_EQ(chooser->accessibleName(), QStringLiteral("Страна"));
    EXPECT_EQ(editor->CountryField(VocEditorState::LongDistanceField)->text(), "0");
    EXPECT_EQ(editor->CountryField(VocEditorState::InternationalField)->text(), "00");
    EXPECT_EQ(editor->CountryField(VocEditorState::LengthField)->text(), "9");
    EXPECT_EQ(editor->CountryField(VocEditorState::LengthField)->accessibleName(),
              QStringLiteral("Длина номера (макс.)"));
    EXPECT_EQ(grid()->model()->headerData(1, Qt::Horizontal).toString(),
              QStringLiteral("Код  [=Код замены] (Местные коды)"));
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(cell(0, 0), QStringLiteral("Киев"));
    EXPECT_EQ(grid()->currentIndex().row(), 0);
    EXPECT_FALSE(editor->Changed());

    // Another country from the chooser loads its own rows and is remembered.
    chooser->setCurrentIndex(chooser->findText(QStringLiteral("Россия (7)")));
    editor->ChooseCountry(chooser->currentText());
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(cell(0, 1), "495 (499)");
    EXPECT_EQ(editor->CountryField(VocEditorState::LongDistanceField)->text(), "8");
    EXPECT_EQ(work.ini->ReadString("VocEditor", "Country", ""), QStringLiteral("Россия (7)"));
    // A text the directory does not list changes nothing.
    editor->ChooseCountry(QStringLiteral("Атлантида (999)"));
    EXPECT_EQ(chooser->currentText(), QStringLiteral("Россия (7)"));
    EXPECT_EQ(cell(0, 0), QStringLiteral("Москва"));

    // A letter typed over the whole text is raised.
    chooser->lineEdit()->selectAll();
    typeText(chooser->lineEdit(), QStringLiteral("у"));
    EXPECT_TRUE(chooser->lineEdit()->text().startsWith(QStringLiteral("У")))
        << chooser->lineEdit()->text().toStdString();
}

TEST_F(VocEditorTab, ACityAddedByKeysIsSavedAndTheSettingsDialogListsIt) {
    key(Qt::Key_Down);
    EXPECT_EQ(rows(), 2);
    key(Qt::Key_Down); // on the last row: a new empty row
    ASSERT_EQ(rows(), 3);
    EXPECT_EQ(grid()->currentIndex().row(), 2);
    key(Qt::Key_Down); // the last row is empty: no second one
    EXPECT_EQ(rows(), 3);

    key(Qt::Key_Return); // edits the name in place
    typeIntoCell(QStringLiteral("Одесса"));
    EXPECT_EQ(cell(2, 0), QStringLiteral("Одесса"));
    EXPECT_TRUE(editor->Changed());

    const QModelIndex code = grid()->model()->index(2, VocEditorState::CodeColumn);
    doubleClick(code);
    typeIntoCell(QStringLiteral("48x-")); // only the code column's characters get in
    EXPECT_EQ(cell(2, 1), "48");

    // Escape leaves a cell as it was.
    doubleClick(code);
    ASSERT_NE(cellEditor(), nullptr);
    typeText(cellEditor(), "9");
    QTest::keyClick(cellEditor(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(cell(2, 1), "48");

    QLineEdit* length = editor->CountryField(VocEditorState::LengthField);
    length->selectAll();
    typeText(length, "1a0");
    EXPECT_EQ(length->text(), "10");
    QTest::keyClick(length, Qt::Key_Return);

    // Leaving the tab puts the section into the directory the whole application reads: the
    // settings dialog lists the new city before anything is written to disk.
    editor->Leaving();
    TSettingsDialog dialog(*work.ini, work.state, nullptr, *codes, false);
    dialog.countryChosen(QStringLiteral("Украина (380)"));
    QStringList listed;
    for (int i = 0; i < dialog.City()->count(); ++i)
        listed << dialog.City()->itemText(i);
    EXPECT_TRUE(listed.contains(QStringLiteral("Одесса (48)"))) << listed.join(", ").toStdString();
    EXPECT_FALSE(cityChoicesOnDisk("380").contains(QStringLiteral("Одесса (48)")));

    editor->SaveChanges();
    EXPECT_FALSE(editor->Changed());
    const TCodeDirectory reread(work.path("codes.voc"));
    EXPECT_EQ(reread.CityChoiceList("380", false).lines,
              (QStringList{QStringLiteral("Киев (44)"), QStringLiteral("Одесса (48)"),
                           QStringLiteral("Харьков (57)")}));
    EXPECT_EQ(reread.CountryByName(QStringLiteral("Украина"))->length, 10);
}

TEST_F(VocEditorTab, CtrlDeleteAsksBeforeANamedRowGoes) {
    {
        BoxAnswerer no(QMessageBox::No);
        key(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(no.texts, QStringList{QStringLiteral(" Удалить Киев?")});
        EXPECT_EQ(no.captions, QStringList{QStringLiteral("Удаление")});
        EXPECT_EQ(rows(), 2);
        EXPECT_FALSE(editor->Changed());
    }
    {
        BoxAnswerer yes(QMessageBox::Yes);
        key(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(yes.texts.size(), 1);
        ASSERT_EQ(rows(), 1);
        EXPECT_EQ(cell(0, 0), QStringLiteral("Харьков"));
        EXPECT_TRUE(editor->Changed());
    }
    {
        // Ctrl+Insert puts an empty row before the selected one; a blank row goes unasked.
        BoxAnswerer watcher(QMessageBox::No);
        key(Qt::Key_Insert, Qt::ControlModifier);
        ASSERT_EQ(rows(), 2);
        EXPECT_EQ(cell(0, 0), "");
        EXPECT_EQ(cell(1, 0), QStringLiteral("Харьков"));
        key(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_TRUE(watcher.texts.isEmpty());
        EXPECT_EQ(rows(), 1);
    }
}

TEST_F(VocEditorTab, ClosingAChangedEditorAsksAndCancelKeepsTheChanges) {
    {
        BoxAnswerer watcher(QMessageBox::Cancel);
        EXPECT_TRUE(editor->QueryClose()); // nothing changed: nothing asked
        EXPECT_TRUE(watcher.texts.isEmpty());
    }
    key(Qt::Key_Return);
    ASSERT_NE(cellEditor(), nullptr);
    cellEditor()->selectAll();
    typeIntoCell(QStringLiteral("Киев-Сити"));
    ASSERT_TRUE(editor->Changed());
    {
        BoxAnswerer cancel(QMessageBox::Cancel);
        EXPECT_FALSE(editor->QueryClose());
        EXPECT_EQ(cancel.texts, QStringList{QStringLiteral(
                                    "Справочник городов был изменен, сохранить изменения?")});
        EXPECT_EQ(cancel.captions, QStringList{QStringLiteral(" Предупреждение об изменениях")});
        EXPECT_TRUE(editor->Changed());
        EXPECT_FALSE(cityChoicesOnDisk("380").contains(QStringLiteral("Киев-Сити (44)")));
    }
    {
        BoxAnswerer yes(QMessageBox::Yes);
        EXPECT_TRUE(editor->QueryClose());
        EXPECT_EQ(yes.texts.size(), 1);
        EXPECT_TRUE(cityChoicesOnDisk("380").contains(QStringLiteral("Киев-Сити (44)")));
        EXPECT_FALSE(editor->Changed());
    }
}

TEST_F(VocEditorTab, AFailedWriteIsReportedAndTheChangesStay) {
    // The file's place is taken by a folder: writing it fails.
    std::filesystem::remove(work.dir / "codes.voc");
    std::filesystem::create_directory(work.dir / "codes.voc");
    key(Qt::Key_Return);
    ASSERT_NE(cellEditor(), nullptr);
    cellEditor()->end(false);
    typeIntoCell(QStringLiteral("-Сити"));
    ASSERT_TRUE(editor->Changed());
    {
        BoxAnswerer ok(QMessageBox::Ok);
        editor->SaveChanges();
        ASSERT_EQ(ok.captions, QStringList{QStringLiteral(" Ошибка")});
        EXPECT_TRUE(ok.texts[0].startsWith(QStringLiteral("Не удалось записать справочник")))
            << ok.texts[0].toStdString();
    }
    EXPECT_TRUE(editor->Changed());
    EXPECT_TRUE(
        codes->CityChoiceList("380", false).lines.contains(QStringLiteral("Киев-Сити (44)")));
    {
        // Closing with a file that cannot be written keeps the application open.
        BoxAnswerer yes(QMessageBox::Yes);
        EXPECT_FALSE(editor->QueryClose());
        EXPECT_EQ(yes.texts.size(), 2); // the question, then the failure
    }
}

} // namespace
