// The project commands on the main window: the File menu, the title, the recent list, the
// projects other starts hand over, and the save prompt of the close sequence.
#include "gui/frame/mainform.h"
#include "tests/common/windowfixture.h"
#include "zel/projectcommands.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QSignalSpy>

#include <deque>

using namespace telmira;
using namespace telmira::test;

namespace {

QString str(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Answers the save prompt from a queue and keeps what it was asked.
class ScriptedUi : public ProjectUi {
public:
    explicit ScriptedUi(std::deque<Answer>& answers, QStringList& asked)
        : answers_(answers), asked_(asked) {}
    Answer AskSaveChanges(const QString& caption, const QString&) override {
        asked_ << caption;
        if (answers_.empty())
            return Answer::Stay;
        const Answer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    std::optional<QString> ChooseVersion(const QString&) override { return std::nullopt; }
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
};

struct ProjectOnTheWindow : ::testing::Test {
    void SetUp() override {
        ensureApplication<QApplication>();
        state.workDir = str(work.dir()) + "/";
        ini = std::make_unique<TMyIniFile>(state.workDir + "zel.ini");
        MainWindowServices services;
        services.installers.push_back([this](TMainForm& form) {
            commands =
                app::InstallProjectCommands(form, std::make_unique<ScriptedUi>(answers, asked));
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
    std::deque<ProjectUi::Answer> answers;
    QStringList asked;
    QString demo, other;
};

} // namespace

TEST_F(ProjectOnTheWindow, HandedOverProjectOpensWithItsTitleAndRecentEntry) {
    for (QAction* command : form->ProjectCommands())
        EXPECT_TRUE(command->isEnabled()) << command->text().toStdString();

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
    EXPECT_TRUE(findAction(*form, "SaveProjectButton")->isEnabled());
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
