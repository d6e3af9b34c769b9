// The project commands on the main window: the File menu, the title, the recent list, the
// projects other starts hand over, and the save prompt of the close sequence.
#include "frame/tooltable.h"
#include "gui/frame/mainform.h"
#include "tests/common/windowfixture.h"
#include "zel/projectcommands.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <deque>
#include <optional>

using namespace telmira;
using namespace telmira::test;

namespace {

QString str(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Answers the save prompt from a queue and keeps what it was asked.
class ScriptedUi : public ProjectUi {
public:
    ScriptedUi(std::deque<Answer>& answers, QStringList& asked, std::optional<QString>& version)
        : answers_(answers), asked_(asked), version_(version) {}
    Answer AskSaveChanges(const QString& caption, const QString&) override {
        asked_ << caption;
        if (answers_.empty())
            return Answer::Stay;
        const Answer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    std::optional<QString> ChooseVersion(const QString& caption) override {
        asked_ << caption;
        return version_;
    }
    std::optional<QString> ChooseFileToOpen(const QString&, const QString&) override {
        asked_ << "open dialog";
        return std::nullopt;
    }
    std::optional<QString> ChooseFileToSave(const QString&, const QString&,
                                            const QString&) override {
        asked_ << "save dialog";
        return std::nullopt;
    }
    void ShowError(const QString& text) override { asked_ << text; }

private:
    std::deque<Answer>& answers_;
    QStringList& asked_;
    std::optional<QString>& version_;
};

struct ProjectOnTheWindow : ::testing::Test {
    void SetUp() override {
        ensureApplication<QApplication>();
        state.workDir = str(work.dir()) + "/";
        ini = std::make_unique<TMyIniFile>(state.workDir + "zel.ini");
        // Stand-ins for the layouts and the variables, the project's tools.
        MainWindowServices services = fakeToolServices({"Matrix", "VarList"});
        services.installers.push_back([this](TMainForm& form) {
            commands = app::InstallProjectCommands(
                form, std::make_unique<ScriptedUi>(answers, asked, version));
        });
        form = std::make_unique<TMainForm>(state, *ini, services);
        ASSERT_TRUE(commands);
        demo = state.workDir + "Projects/demo.zel";
        // A second copy to hand over while the first is open.
        std::filesystem::copy_file(work / "Projects/demo.zel", work / "Projects/other.zel");
        other = state.workDir + "Projects/other.zel";
    }
    void TearDown() override { form.reset(); }

    WorkCopy work;
    StartState state;
    std::unique_ptr<TMyIniFile> ini;
    std::unique_ptr<TMainForm> form;
    app::ProjectCommands* commands = nullptr;
    // Shows the window and makes it the active one, as the shortcuts need.
    void showActive() {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    QString projectKey(const char* key) {
        return commands->Session().Project()->ReadString("Project", key, "");
    }

    std::deque<ProjectUi::Answer> answers;
    std::optional<QString> version; // the version chooser's answer
    QStringList asked;
    QString demo, other;
};

} // namespace

TEST_F(ProjectOnTheWindow, HandedOverProjectOpensWithItsTitleAndRecentEntry) {
    for (const char* name : {"MenuNewProject", "MenuOpen", "MenuSaveAs", "MenuExport"})
        EXPECT_TRUE(findAction(*form, name)->isEnabled()) << name;

    emit form->projectOpenRequested(demo);
    ProjectSession& session = commands->Session();
    ASSERT_TRUE(session.IsOpen());
    EXPECT_EQ(session.FileName(), demo);
    EXPECT_TRUE(form->windowTitle().startsWith("Telmira  [" + demo + " - "))
        << form->windowTitle().toStdString();
    QAction* first = recentCommands(*form).value(0);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->isEnabled());
    EXPECT_EQ(first->data().toString(), demo);

    // A changed project: the Save button wakes; handing another project over asks first, and
    // "stay" keeps the changed one.
    session.SetModified();
    EXPECT_TRUE(findAction(*form, "MenuSave")->isEnabled());
    answers = {ProjectUi::Answer::Stay};
    emit form->projectOpenRequested(other);
    EXPECT_EQ(asked, QStringList{" Предупреждение об изменениях"});
    EXPECT_EQ(session.FileName(), demo);
    EXPECT_TRUE(session.IsModified());

    // The recent command opens the other project once the changes are dropped; the list keeps
    // each project once, the newest first.
    answers = {ProjectUi::Answer::Discard};
    emit form->recentProjectChosen(other);
    EXPECT_EQ(session.FileName(), other);
    EXPECT_EQ(recentCommands(*form).value(0)->data().toString(), other);
    EXPECT_EQ(recentCommands(*form).value(1)->data().toString(), demo);
    EXPECT_FALSE(recentCommands(*form).value(2)->isVisible());
}

TEST_F(ProjectOnTheWindow, CloseSequenceAsksAboutUnsavedChanges) {
    emit form->projectOpenRequested(demo);
    commands->Session().SetModified();
    QSignalSpy closed(form.get(), &TMainForm::closed);

    // Save chosen, then the save-as dialog cancelled for an untitled project would cancel; here
    // the project has a file, so "stay" is the way to keep the window.
    answers = {ProjectUi::Answer::Stay};
    form->CloseApplication();
    EXPECT_EQ(closed.count(), 0);
    EXPECT_EQ(asked.size(), 1);

    // Saving writes the project and lets the close go on.
    const std::string before = readFile(work / "Projects/demo.zel");
    commands->Session().Project()->WriteString("Project", "Comment", "changed on the window");
    answers = {ProjectUi::Answer::Save};
    form->CloseApplication();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_NE(readFile(work / "Projects/demo.zel"), before);
    EXPECT_NE(readFile(work / "Projects/demo.zel").find("changed on the window"),
              std::string::npos);
}

TEST_F(ProjectOnTheWindow, UntitledProjectWhoseSaveAsIsCancelledKeepsTheWindowOpen) {
    // A new project exists only in memory: saving it needs a file name.
    answers = {};
    ASSERT_TRUE(commands->Session().New(false));
    commands->Session().SetModified();
    QSignalSpy closed(form.get(), &TMainForm::closed);
    answers = {ProjectUi::Answer::Save};
    form->CloseApplication();
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(asked.contains("save dialog"));
}

TEST_F(ProjectOnTheWindow, ShortcutsRunTheProjectCommands) {
    showActive();
    QTest::keyClick(form.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(asked, QStringList{"open dialog"});
    asked.clear();
    QTest::keyClick(form.get(), Qt::Key_N, Qt::ControlModifier); // the chooser is cancelled
    EXPECT_EQ(asked, QStringList{" Новый проект создается для версии"});
    EXPECT_FALSE(commands->Session().IsOpen());

    emit form->projectOpenRequested(demo);
    asked.clear();
    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(asked, QStringList{"save dialog"});

    // Ctrl+S saves a changed project.
    commands->Session().Project()->WriteString("Project", "Comment", "saved by Ctrl+S");
    commands->Session().SetModified();
    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(commands->Session().IsModified());
    EXPECT_NE(readFile(work / "Projects/demo.zel").find("saved by Ctrl+S"), std::string::npos);
    EXPECT_FALSE(findAction(*form, "MenuSave")->isEnabled());

    // F5 exports the open project: the ROM dialog comes up (and is closed here).
    QString title;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            title = modal->windowTitle();
            modal->close();
        }
    });
    closer.start(20);
    QTest::keyClick(form.get(), Qt::Key_F5);
    closer.stop();
    EXPECT_TRUE(title.startsWith(" Выберите код ПЗУ для версии ")) << title.toStdString();
}

TEST_F(ProjectOnTheWindow, ToolbarHasOpenSaveExportAndChangeVersionButtons) {
    for (const char* name :
         {"OpenProjectButton", "SaveProjectButton", "ExportButton", "ChangeDefFileButton"})
        EXPECT_NE(form->findChild<QToolButton*>(name), nullptr) << name;
    auto* open = form->findChild<QToolButton*>("OpenProjectButton");
    ASSERT_NE(open, nullptr);
    open->click();
    EXPECT_EQ(asked, QStringList{"open dialog"});
}

TEST_F(ProjectOnTheWindow, ChangePhoneVersionFromTheToolbarAndTheFileMenu) {
    QAction* menu = findAction(*form, "ChangeDefFileMenuItem");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->text(), "Сменить версию телефона");
    auto* button = form->findChild<QToolButton*>("ChangeDefFileButton");
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isEnabled()); // no project yet

    emit form->projectOpenRequested(demo);
    ASSERT_TRUE(button->isEnabled());
    const QString before = projectKey("DefFile");
    // Cancelled: nothing changes.
    button->click();
    EXPECT_EQ(asked, QStringList{" Выберите версию телефона для проекта"});
    EXPECT_EQ(projectKey("DefFile"), before);
    EXPECT_FALSE(commands->Session().IsModified());

    // The other version from the menu: the project names it, is changed, and the variables
    // open marked changed.
    version = before == "korv28.def" ? "2" : "1";
    const QString expected = before == "korv28.def" ? "korv28v.def" : "korv28.def";
    menu->trigger();
    EXPECT_EQ(projectKey("DefFile"), expected);
    EXPECT_TRUE(commands->Session().IsModified());
    EXPECT_TRUE(form->windowTitle().endsWith("*")) << form->windowTitle().toStdString();
    EXPECT_TRUE(findAction(*form, "MenuSave")->isEnabled());
    TMyTabControl* variables = form->ToolTabs().Tool(kToolVarList);
    ASSERT_NE(variables, nullptr);
    EXPECT_TRUE(variables->Changed());
    EXPECT_EQ(form->ToolTabs().ActiveTool(), variables);
}

TEST_F(ProjectOnTheWindow, AProjectToolsChangeMarksTheProjectChanged) {
    emit form->projectOpenRequested(demo);
    const QString title = form->windowTitle();
    ASSERT_FALSE(title.endsWith("*"));
    form->ToolTabs().ToggleTool(kToolMatrix, true);
    TMyTabControl* layouts = form->ToolTabs().Tool(kToolMatrix);
    ASSERT_NE(layouts, nullptr);
    EXPECT_FALSE(commands->Session().IsModified());
    layouts->SetChanged(true);
    EXPECT_TRUE(commands->Session().IsModified());
    EXPECT_EQ(form->windowTitle(), title + "*");
    EXPECT_TRUE(findAction(*form, "MenuSave")->isEnabled());

    // Saving clears it: the title loses its mark, Save sleeps.
    findAction(*form, "MenuSave")->trigger();
    EXPECT_FALSE(commands->Session().IsModified());
    EXPECT_FALSE(form->windowTitle().endsWith("*"));
    EXPECT_FALSE(findAction(*form, "MenuSave")->isEnabled());
}

TEST_F(ProjectOnTheWindow, LastProjectReopensWhenTheProjectToolsOpenAtStart) {
    ini->WriteString("Common", "LastProject", demo);
    ini->WriteBool("Windows", "Matrix", true);
    state.toolMode = true;
    form->runStartupOpening(QString());
    ASSERT_TRUE(commands->Session().IsOpen());
    EXPECT_EQ(commands->Session().FileName(), demo);
    EXPECT_NE(form->ToolTabs().Tool(kToolMatrix), nullptr);
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(ProjectOnTheWindow, AVanishedLastProjectOpensNothingAndAsksNothingAtStart) {
    ini->WriteString("Common", "LastProject", state.workDir + "Projects/gone.zel");
    ini->WriteBool("Windows", "VarList", true);
    state.toolMode = true;
    form->runStartupOpening(QString());
    EXPECT_FALSE(commands->Session().IsOpen());
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_NE(form->ToolTabs().Tool(kToolVarList), nullptr);
}

// An old project named on the command line is converted when the layouts open it at start; the
// hand-over that follows does not load it again nor ask about saving the conversion.
TEST_F(ProjectOnTheWindow, CommandLineProjectOpensOnceAtStart) {
    writeFile(work / "Projects/old.zel", "[Project]\r\nDefFile=korv28.def\r\n");
    const QString old = state.workDir + "Projects/old.zel";
    state.toolMode = true;
    form->runStartupOpening(old);
    ASSERT_TRUE(commands->Session().IsOpen());
    EXPECT_EQ(commands->Session().FileName(), old);
    EXPECT_TRUE(commands->Session().IsUpgraded());
    EXPECT_TRUE(asked.isEmpty()) << asked.join(", ").toStdString();
    EXPECT_NE(form->ToolTabs().Tool(kToolMatrix), nullptr);
    EXPECT_EQ(form->ToolTabs().ActiveTool(), form->ToolTabs().Tool(kToolMatrix));
}
