#include "contacts/codedirectory.h"
#include "contacts/voceditorstate.h"

#include "base/cp1251.h"
#include "tests/common/qtprint.h"
#include "tests/common/testpaths.h"

#include <gtest/gtest.h>

using namespace telmira;
using namespace telmira::contacts;
using telmira::test::TempDir;

namespace {

const char* kVoc = "[CountryCodes]\r\n"
                   "1=Code=7; RusName=Россия; Length=10; LongDistance=8; International=810;\r\n"
                   "2=Code=7; RusName=Казахстан; Length=10; LongDistance=8; "
                   "International=810; Main=KZ;\r\n"
                   "[Country7]\r\n"
                   "1=Name=Москва;Code=495;LocalCodes=499;\r\n"
                   "1=Name=Алматы;Code=727;Main=KZ;\r\n"
                   "2=Name=\"Билайн\";Code=903;Operator=1;\r\n"
                   "3=Name=Москва;Code=095;Replace=495;\r\n";

struct Editor {
    TempDir dir;
    std::unique_ptr<TCodeDirectory> directory;
    std::unique_ptr<TMyMemIniFile> ini;
    std::unique_ptr<VocEditorState> state;

    Editor() {
        const QString path = QString::fromStdString((dir / "codes.voc").string());
        telmira::test::writeFile(dir / "codes.voc", utf8ToCp1251(kVoc));
        directory = std::make_unique<TCodeDirectory>(path);
        ini = TMyMemIniFile::fromBytes({});
        state = std::make_unique<VocEditorState>(*directory, ini.get());
        state->SelectCountry(state->InitialChoice());
    }
};

} // namespace

TEST(VocEditor, OpensTheCountryGroupWithItsFieldsAndRows) {
    Editor e;
    EXPECT_EQ(e.state->InitialChoice(), QStringLiteral("Россия (7)"));
    EXPECT_EQ(e.state->CountryCode(), "7");
    EXPECT_EQ(e.state->Field(VocEditorState::LongDistanceField), "8");
    EXPECT_EQ(e.state->Field(VocEditorState::LengthField), "10");
    ASSERT_EQ(e.state->Rows().size(), 3u); // Kazakhstan's row belongs to another group
    EXPECT_EQ(e.state->Cell(0, VocEditorState::CodeColumn), "495 (499)");
    EXPECT_EQ(e.state->Cell(2, VocEditorState::CodeColumn), "095=495");
    EXPECT_TRUE(e.state->Rows()[1].isOperator);
    EXPECT_FALSE(e.state->Changed());
    EXPECT_EQ(e.ini->ReadString("VocEditor", "Country", ""), QStringLiteral("Россия (7)"));

    e.state->SelectCountry(QStringLiteral("Казахстан (7)"));
    ASSERT_EQ(e.state->Rows().size(), 1u);
    EXPECT_EQ(e.state->Cell(0, VocEditorState::NameColumn), QStringLiteral("Алматы"));
    e.state->SelectCountry(QStringLiteral("Нигде (999)"));
    ASSERT_EQ(e.state->Rows().size(), 1u); // an empty grid gets one empty row
    EXPECT_TRUE(e.state->Rows()[0].isEmpty());
}

TEST(VocEditor, EditsAreWrittenBackWithoutTouchingOtherGroups) {
    Editor e;
    EXPECT_FALSE(e.state->SetCell(0, VocEditorState::NameColumn, QStringLiteral("Москва")));
    EXPECT_TRUE(e.state->AppendRowOnDown());
    EXPECT_FALSE(e.state->AppendRowOnDown()); // the last row is still empty
    e.state->SetCell(3, VocEditorState::NameColumn, QStringLiteral("Зеленоград"));
    e.state->SetCell(3, VocEditorState::CodeColumn, QStringLiteral(" 499 = 4990 ( 495, 498 )"));
    e.state->SetCell(3, VocEditorState::RepublicColumn, QStringLiteral("Москва"));
    e.state->SetCell(3, VocEditorState::RangeColumn, "53");
    e.state->InsertRow(0); // a blank row is dropped when saving
    EXPECT_TRUE(e.state->SectionChanged());
    EXPECT_TRUE(e.state->SetField(VocEditorState::InternationalField, "8~10"));
    QString error;
    ASSERT_TRUE(e.state->SaveVocabulary(&error)) << error.toStdString();
    EXPECT_FALSE(e.state->Changed());
    EXPECT_FALSE(e.state->SectionChanged());

    // Read the file again from disk.
    TCodeDirectory reread(e.directory->FileName());
    const QStringList lines = reread.CityLines("7");
    EXPECT_EQ(lines, (QStringList{QStringLiteral("1=Name=Алматы;Code=727;Main=KZ;"),
                                  QStringLiteral("2=Name=\"Билайн\";Code=903;Operator=1;"),
                                  QStringLiteral("3=Name=Зеленоград;Republic=Москва;Code=499;"
                                                 "Replace=4990;LocalCodes=495, 498;Range=53;"),
                                  QStringLiteral("4=Name=Москва;Code=495;LocalCodes=499;"),
                                  QStringLiteral("5=Name=Москва;Code=095;Replace=495;")}));
    EXPECT_EQ(reread.Countries()[0].international, "8~10");
    EXPECT_EQ(reread.Countries()[1].international, "810");
}

TEST(VocEditor, DeletingAsksOnlyForNamedRowsAndSortingIgnoresQuotes) {
    Editor e;
    EXPECT_EQ(e.state->DeleteQuestion(0), QStringLiteral(" Удалить Москва?"));
    e.state->InsertRow(1);
    EXPECT_EQ(e.state->DeleteQuestion(1), "");
    e.state->DeleteRow(1);
    EXPECT_FALSE(e.state->SectionChanged()); // an empty row went without a change
    e.state->SortBy(VocEditorState::NameColumn);
    EXPECT_EQ(e.state->Cell(0, VocEditorState::NameColumn), QStringLiteral("\"Билайн\""));
    e.state->SortBy(VocEditorState::CodeColumn);
    EXPECT_EQ(e.state->Cell(0, VocEditorState::CodeColumn), "095=495");
    e.state->DeleteRow(0);
    e.state->DeleteRow(0);
    e.state->DeleteRow(0);
    ASSERT_EQ(e.state->Rows().size(), 1u);
    EXPECT_TRUE(e.state->Changed());
    e.state->SaveSection();
    EXPECT_EQ(e.directory->CityLines("7"),
              QStringList{QStringLiteral("1=Name=Алматы;Code=727;Main=KZ;")});
}

TEST(VocEditor, SwitchingCountrySavesTheChangedSectionFirst) {
    Editor e;
    e.state->SetCell(0, VocEditorState::NameColumn, QStringLiteral("Москва-Сити"));
    e.state->SelectCountry(QStringLiteral("Казахстан (7)"));
    EXPECT_TRUE(e.state->Changed()); // the file is not written yet
    EXPECT_EQ(e.directory->CityName("7", "495", "1234567"), QStringLiteral("Москва-Сити"));
}

TEST(VocEditor, ACityNameTheFileCannotStoreKeepsTheEditsAndTheCountry) {
    Editor e;
    const QByteArray before = e.directory->ToBytes();
    e.state->SetCell(0, VocEditorState::NameColumn, QStringLiteral("Москва 東京"));
    QString error;
    EXPECT_FALSE(e.state->SelectCountry(QStringLiteral("Казахстан (7)"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(e.state->CountryName(), QStringLiteral("Россия")); // still on the edited country
    EXPECT_TRUE(e.state->SectionChanged());
    EXPECT_FALSE(e.state->SaveVocabulary(&error));
    EXPECT_TRUE(e.state->Changed());
    EXPECT_EQ(e.directory->ToBytes(), before); // nothing stored with "?" in place of the text
    // Corrected, it goes through (the save sorted the rows by name).
    int row = 0;
    while (row < int(e.state->Rows().size()) &&
           !e.state->Cell(row, VocEditorState::NameColumn).contains(QStringLiteral("東京")))
        ++row;
    ASSERT_LT(row, int(e.state->Rows().size()));
    e.state->SetCell(row, VocEditorState::NameColumn, QStringLiteral("Москва-Сити"));
    EXPECT_TRUE(e.state->SaveVocabulary(&error)) << error.toStdString();
    EXPECT_TRUE(e.state->SelectCountry(QStringLiteral("Казахстан (7)")));
}

TEST(VocEditor, KeyFiltersFollowTheColumn) {
    using S = VocEditorState;
    EXPECT_TRUE(S::AcceptsCharacter(S::CodeColumn, '='));
    EXPECT_TRUE(S::AcceptsCharacter(S::CodeColumn, '('));
    EXPECT_FALSE(S::AcceptsCharacter(S::CodeColumn, '-'));
    EXPECT_TRUE(S::AcceptsCharacter(S::RangeColumn, '-'));
    EXPECT_FALSE(S::AcceptsCharacter(S::RangeColumn, 'a'));
    EXPECT_TRUE(S::AcceptsCharacter(S::NameColumn, QChar(0x0416)));
    EXPECT_TRUE(S::AcceptsFieldCharacter('7'));
    EXPECT_FALSE(S::AcceptsFieldCharacter(' '));
    // The country chooser: only a letter over an empty or wholly selected text is raised.
    EXPECT_EQ(S::ChooserCharacter(QChar(0x0440), true), QChar(0x0420)); // р -> Р
    EXPECT_EQ(S::ChooserCharacter(QChar(0x0440), false), QChar(0x0440));
    EXPECT_EQ(S::ChooserCharacter('7', true), QChar('7'));
}

TEST(VocEditor, AStoredCountryTheDirectoryDoesNotListFallsBackToAListedOne) {
    Editor e;
    struct Case {
        const char* stored;
        const char* opened;
    };
    const Case cases[] = {
        {"Казахстан (7)", "Казахстан (7)"},
        {"Атлантида (999)", "Россия (7)"},
        {"garbage", "Россия (7)"},
        {"", "Россия (7)"},
    };
    for (const Case& c : cases) {
        e.ini->WriteString("VocEditor", "Country", QString::fromUtf8(c.stored));
        EXPECT_EQ(e.state->InitialChoice(), QString::fromUtf8(c.opened)) << c.stored;
    }
    // Without Russia the first listed country opens; an empty directory opens the default.
    auto other = TCodeDirectory::fromBytes(QByteArray::fromStdString(
        utf8ToCp1251("[CountryCodes]\r\n1=Code=380; RusName=Украина;\r\n")));
    EXPECT_EQ(VocEditorState(*other, e.ini.get()).InitialChoice(), QStringLiteral("Украина (380)"));
    auto empty = TCodeDirectory::fromBytes({});
    EXPECT_EQ(VocEditorState(*empty, nullptr).InitialChoice(), QStringLiteral("Россия (7)"));
}
