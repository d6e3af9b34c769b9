#include "zel/projectcommands.h"

#include "frame/startup.h"
#include "frame/tooltable.h"
#include "frame/zelsettings.h"
#include "gui/frame/mainform.h"
#include "gui/project/exportwindow.h"
#include "gui/project/projectdialogs.h"

#include <QAction>
#include <QFileInfo>

namespace telmira::app {

ProjectCommands::ProjectCommands(TMainForm& form, std::unique_ptr<ProjectUi> ui)
    : QObject(&form), form_(form), ui_(std::move(ui)) {
    if (!ui_)
        ui_ = std::make_unique<ProjectDialogs>(form.Ini(), &form);
    session_ = new ProjectSession(form.Ini(), form.State().workDir, *ui_, this);
    ProjectSession& session = *session_;

    using Command = TMainForm::ProjectCommand;
    const auto bind = [&](Command kind, auto slot) {
        QAction* command = form.Command(kind);
        if (!command)
            return;
        command->setEnabled(true);
        command->setStatusTip(QString());
        connect(command, &QAction::triggered, this, slot);
    };
    bind(Command::New, [&session] { session.New(true); });
    bind(Command::Open, [&session] { session.Open(); });
    bind(Command::SaveAs, [&session] { session.SaveAs(); });
    bind(Command::Export, [this] { exportProject(); });
    bind(Command::ChangeVersion, [&session] { session.ChangePhoneVersion(); });

    connect(&form, &TMainForm::projectSaveRequested, this, [&session] { session.Save(); });
    // A project handed over (command line, another start) that is open already and unchanged
    // stays as it is: the start-up opening has loaded it with the layouts, and asking to save a
    // project that was only converted on loading would make no sense there.
    connect(&form, &TMainForm::projectOpenRequested, this, [&session](const QString& path) {
        if (session.IsOpen() && !session.IsModified() && !session.IsUntitled() &&
            QFileInfo(session.FileName()) == QFileInfo(path))
            return;
        session.OpenFile(path);
    });
    connect(&form, &TMainForm::recentProjectChosen, this,
            [&session](const QString& path) { session.OpenFile(path); });
    connect(&session, &ProjectSession::recentListChanged, &form,
            [&form] { form.refreshRecentMenu(); });
    connect(&session, &ProjectSession::captionChanged, &form, &QWidget::setWindowTitle);
    connect(&session, &ProjectSession::saveEnabledChanged, &form, &TMainForm::SetProjectChanged);
    // Changing the phone version needs an open project.
    const auto followOpen = [&form, &session] {
        form.Command(Command::ChangeVersion)->setEnabled(session.IsOpen());
    };
    connect(&session, &ProjectSession::captionChanged, this, followOpen);
    followOpen();

    TToolTabManager& tools = form.ToolTabs();
    // A project tool's change marks the project changed (title "*", Save enabled).
    connect(&tools, &TToolTabManager::projectToolChanged, this,
            [&session] { session.SetModified(); });
    // The layouts and the variables edit a project: opened while none is, they load the last
    // one, when it still exists, without rebuilding the tools.
    connect(&tools, &TToolTabManager::toolOpening, this, [&form, &session](int toolIndex) {
        if (session.IsOpen() || (toolIndex != kToolMatrix && toolIndex != kToolVarList))
            return;
        const QString last = readLastProject(form.Ini());
        if (isExistingProjectFile(last))
            session.LoadProjectFile(last, false);
    });
    // The new phone version: the variables editor is opened anew for it, marked changed, and
    // brought to the front.
    connect(&session, &ProjectSession::phoneVersionChanged, this, [&tools] {
        if (TMyTabControl* old = tools.Tool(kToolVarList)) {
            old->SetChanged(false);
            tools.ToggleTool(kToolVarList, false);
        }
        tools.ToggleTool(kToolVarList, true);
        if (TMyTabControl* variables = tools.Tool(kToolVarList))
            variables->SetChanged(true);
    });
    // The close sequence first asks about unsaved project changes; a cancelled save cancels it.
    form.AddCloseQuery([&session] { return session.MayClose(); });
    // The recent commands open projects from now on.
    form.refreshRecentMenu();
}

ProjectCommands::~ProjectCommands() {
    // The session asks through `ui_`: it goes first.
    delete session_;
}

void ProjectCommands::exportProject() {
    RunExportCommand(*session_, form_.Ini(), form_.State().workDir, &form_);
}

ProjectCommands* InstallProjectCommands(TMainForm& form, std::unique_ptr<ProjectUi> ui) {
    return new ProjectCommands(form, std::move(ui));
}

} // namespace telmira::app
