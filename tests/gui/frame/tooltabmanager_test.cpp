// The tools of the main window (TToolTabManager): the tool table and its tabs, the Tools menu,
// closing a tab by its picture, the start-up opening with the Windows keys and LastTab, and the
// project named on the command line.
#include "frame/tooltable.h"
#include "gui/frame/mainform.h"
#include "tests/common/windowfixture.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

using namespace telmira;
using namespace telmira::test;

namespace {

class ToolTabs : public ::testing::Test {
protected:
    std::unique_ptr<TMainForm> makeForm(MainWindowServices services) {
        return std::make_unique<TMainForm>(work.state, *work.ini, std::move(services));
    }
    QString tabText(TMainForm& form) {
        return toolPages(form)->tabText(toolPages(form)->currentIndex());
    }
    bool windowsKey(const char* name) {
        return work.ini->ReadBool("Windows", QString::fromLatin1(name), false);
    }

    WorkFolder work;
};

TEST_F(ToolTabs, StartupOpensTheRecordedToolsOfThisBuildAndTheLastTab) {
    work.writeIni("[Windows]\r\nArchives=1\r\nNoteBook=1\r\nMelodyList=1\r\nVocEditor=0\r\n"
                  "[Common]\r\nLastTab=NoteBook\r\n");
    int opened = 0;
    auto form = makeForm(fakeToolServices({"Archives", "NoteBook", "VocEditor"}, &opened));
    form->runStartupOpening(QString());

    EXPECT_EQ(opened, 2);
    ASSERT_NE(form->ToolTabs().Tool("Archives"), nullptr);
    EXPECT_EQ(form->ToolTabs().Tool("VocEditor"), nullptr);
    EXPECT_EQ(form->ToolTabs().ActiveTool(), form->ToolTabs().Tool("NoteBook"));
    EXPECT_TRUE(form->ToolTabs().Tool("NoteBook")->Active());
    EXPECT_FALSE(form->ToolTabs().Tool("Archives")->Active());
    EXPECT_TRUE(toolPages(*form)->isVisible());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), "Telmira");
    // The melody sets are not part of this build: the key goes back to closed, and their
    // menu command cannot be used.
    EXPECT_FALSE(windowsKey("MelodyList"));
    EXPECT_FALSE(form->ToolTabs().ToolCommand(kToolMelodyList)->isEnabled());
    EXPECT_TRUE(form->ToolTabs().ToolCommand(kToolArchives)->isChecked());
    EXPECT_TRUE(form->ToolTabs().ToolCommand(kToolArchives)->isEnabled());
    EXPECT_EQ(form->ToolTabs().ToolCommand(kToolAutoSetup), nullptr);
    EXPECT_TRUE(work.state.startupDone);
}

TEST_F(ToolTabs, ToolsMenuOpensAndClosesTools) {
    auto form = makeForm(fakeToolServices({"Archives", "NoteBook"}));
    form->runStartupOpening(QString());
    EXPECT_FALSE(toolPages(*form)->isVisible()); // no tab: the tab control hides

    form->ToolTabs().ToggleTool(kToolArchives, true);
    FakeTool* archives = fakeTool(*form, "Archives");
    ASSERT_NE(archives, nullptr);
    EXPECT_TRUE(windowsKey("Archives"));
    EXPECT_EQ(form->ToolTabs().ActiveTool(), archives);
    EXPECT_EQ(archives->entered, 1);
    EXPECT_TRUE(toolPages(*form)->isVisible());

    form->ToolTabs().ToggleTool(kToolNoteBook, true);
    EXPECT_EQ(archives->left, 1);
    EXPECT_EQ(form->ToolTabs().ActiveTool(), form->ToolTabs().Tool("NoteBook"));

    // The archives and the phone book go for good when unchecked, changes or not.
    form->ToolTabs().Tool("NoteBook")->SetChanged(true);
    form->ToolTabs().ToggleTool(kToolNoteBook, false);
    EXPECT_EQ(form->ToolTabs().Tool("NoteBook"), nullptr);
    EXPECT_FALSE(windowsKey("NoteBook"));
    EXPECT_FALSE(form->ToolTabs().ToolCommand(kToolNoteBook)->isChecked());
    EXPECT_EQ(form->ToolTabs().ActiveTool(), archives);
}

TEST_F(ToolTabs, UncheckingAChangedLayoutToolKeepsItHidden) {
    auto form = makeForm(fakeToolServices({"Matrix", "VarList"}));
    QSignalSpy toggled(&form->ToolTabs(), &TToolTabManager::toolToggled);
    form->runStartupOpening(QString());
    form->ToolTabs().ToggleTool(kToolMatrix, true);
    TMyTabControl* matrix = form->ToolTabs().Tool("Matrix");
    ASSERT_NE(matrix, nullptr);
    matrix->SetChanged(true);
    EXPECT_TRUE(form->windowTitle().endsWith('*'));
    EXPECT_TRUE(findAction(*form, "MenuSave")->isEnabled());

    form->ToolTabs().ToggleTool(kToolMatrix, false);
    EXPECT_EQ(form->ToolTabs().Tool("Matrix"), matrix); // kept, hidden
    EXPECT_FALSE(matrix->IsVisible());
    EXPECT_FALSE(toolPages(*form)->isVisible());
    EXPECT_FALSE(windowsKey("Matrix"));

    form->ToolTabs().ToggleTool(kToolMatrix, true);
    EXPECT_EQ(form->ToolTabs().Tool("Matrix"), matrix);
    EXPECT_TRUE(matrix->Changed());
    EXPECT_TRUE(matrix->Active());
    EXPECT_EQ(matrix->TabImage(), kTabImageChanged);

    // Without changes it goes.
    form->ToolTabs().ToggleTool(kToolVarList, true);
    form->ToolTabs().ToggleTool(kToolVarList, false);
    EXPECT_EQ(form->ToolTabs().Tool("VarList"), nullptr);
    ASSERT_EQ(toggled.count(), 5);
    EXPECT_EQ(toggled.at(1), (QList<QVariant>{"Matrix", false}));
    EXPECT_EQ(toggled.at(4), (QList<QVariant>{"VarList", false}));
}

TEST_F(ToolTabs, TheCityCodeEditorIsOfferedWhenRegisteredAndKeptHiddenWhileChanged) {
    EXPECT_FALSE(makeForm(fakeToolServices({"Archives"}))
                     ->ToolTabs()
                     .ToolCommand(kToolVocEditor)
                     ->isEnabled());

    auto form = makeForm(fakeToolServices({"VocEditor"}));
    form->runStartupOpening(QString());
    QAction* command = form->ToolTabs().ToolCommand(kToolVocEditor);
    ASSERT_TRUE(command->isEnabled());
    EXPECT_EQ(command->text(), "Справочник городов");
    command->trigger();
    TMyTabControl* voc = form->ToolTabs().Tool("VocEditor");
    ASSERT_NE(voc, nullptr);
    EXPECT_TRUE(voc->IsVisible());
    EXPECT_TRUE(windowsKey("VocEditor"));
    EXPECT_EQ(form->ToolTabs().ActiveTool(), voc);
    EXPECT_FALSE(findAction(*form, "MenuSave")->isEnabled());
    voc->SetChanged(true);
    EXPECT_TRUE(
        findAction(*form, "MenuSave")->isEnabled()); // the Save button serves the city codes

    // Unchecked with unsaved changes: hidden, not destroyed; checked again: the same tab.
    command->trigger();
    EXPECT_EQ(form->ToolTabs().Tool("VocEditor"), voc);
    EXPECT_FALSE(voc->IsVisible());
    EXPECT_FALSE(command->isChecked());
    EXPECT_FALSE(windowsKey("VocEditor"));
    command->trigger();
    EXPECT_EQ(form->ToolTabs().Tool("VocEditor"), voc);
    EXPECT_TRUE(voc->Changed());
    EXPECT_TRUE(voc->IsVisible());
}

TEST_F(ToolTabs, ClosingTabsByTheirPicture) {
    auto form = makeForm(fakeToolServices({"Archives", "NoteBook", "VocEditor"}));
    form->runStartupOpening(QString());
    for (int tool : {kToolArchives, kToolNoteBook, kToolVocEditor})
        form->ToolTabs().ToggleTool(tool, true);
    TMyTabControl* voc = form->ToolTabs().Tool("VocEditor");
    ASSERT_EQ(form->ToolTabs().ActiveTool(), voc);
    EXPECT_EQ(voc->TabImage(), kTabImageSaved);
    EXPECT_EQ(form->ToolTabs().Tool("Archives")->TabImage(), 9); // an inactive tab shows its tool

    // The last tab closes: the previous one becomes current.
    QTest::mouseClick(voc->PictureButton(), Qt::LeftButton);
    EXPECT_EQ(form->ToolTabs().Tool("VocEditor"), nullptr);
    EXPECT_FALSE(windowsKey("VocEditor"));
    EXPECT_EQ(form->ToolTabs().ActiveTool(), form->ToolTabs().Tool("NoteBook"));

    // A tab that is not the last: the one now at its place becomes current.
    toolPages(*form)->setCurrentWidget(form->ToolTabs().Tool("Archives")->ScrollBox());
    ASSERT_EQ(form->ToolTabs().ActiveTool(), form->ToolTabs().Tool("Archives"));
    QTest::mouseClick(form->ToolTabs().Tool("Archives")->PictureButton(), Qt::LeftButton);
    EXPECT_EQ(form->ToolTabs().Tool("Archives"), nullptr);
    EXPECT_EQ(form->ToolTabs().ActiveTool(), form->ToolTabs().Tool("NoteBook"));

    // The picture of an inactive tab only selects it; the only tab's picture hides the tabs.
    QTest::mouseClick(form->ToolTabs().Tool("NoteBook")->PictureButton(), Qt::LeftButton);
    EXPECT_EQ(form->ToolTabs().ActiveTool(), nullptr);
    EXPECT_FALSE(toolPages(*form)->isVisible());
}

TEST_F(ToolTabs, CommandLineProjectOpensTheWindowsItRecords) {
    writeFile(work.dir / "p.zel", "[Project]\r\nVarList=1\r\n");
    writeFile(work.dir / "q.zel", "[Project]\r\n");
    auto form = makeForm(fakeToolServices({"Matrix", "VarList"}));
    QSignalSpy opened(form.get(), &TMainForm::projectOpenRequested);
    form->runStartupOpening(work.path("p.zel"));
    EXPECT_EQ(work.ini->ReadString("Common", "LastProject", ""), work.path("p.zel"));
    EXPECT_EQ(form->ToolTabs().Tool("Matrix"), nullptr);
    EXPECT_EQ(form->ToolTabs().ActiveTool(), form->ToolTabs().Tool("VarList"));
    EXPECT_EQ(work.ini->ReadString("Common", "LastTab", ""), "VarList");
    EXPECT_FALSE(work.ini->ReadBool("Windows", "Phone", true));
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).toString(), work.path("p.zel"));

    auto other = makeForm(fakeToolServices({"Matrix", "VarList"}));
    other->runStartupOpening(work.path("q.zel")); // records neither: both open
    EXPECT_NE(other->ToolTabs().Tool("VarList"), nullptr);
    EXPECT_EQ(other->ToolTabs().ActiveTool(), other->ToolTabs().Tool("Matrix"));
}

TEST_F(ToolTabs, ToolTabKeepsItsStateAndMenuCommand) {
    auto form = makeForm(fakeToolServices({"Archives"}));
    form->runStartupOpening(QString());
    form->ToolTabs().ToggleTool(kToolArchives, true);
    TMyTabControl* tool = form->ToolTabs().Tool("Archives");
    EXPECT_EQ(tool->ToolIndex(), kToolArchives);
    EXPECT_EQ(tool->MenuCommand(), form->ToolTabs().ToolCommand(kToolArchives));
    EXPECT_EQ(tool->PageControl(), toolPages(*form));
    EXPECT_EQ(tabText(*form), "Архивы звонков");
    tool->SetCaption("Архив");
    EXPECT_EQ(tabText(*form), "Архив");
    tool->SetChanged(true);
    tool->SetChanged(true);
    EXPECT_EQ(form->windowTitle(), "Telmira*");
    tool->SetVisible(false);
    EXPECT_FALSE(form->ToolTabs().ToolCommand(kToolArchives)->isChecked());
    EXPECT_FALSE(toolPages(*form)->isTabVisible(tool->PageIndex()));
}

} // namespace
