#include "zel/projectcommands.h"

#include "gui/frame/mainform.h"
#include "gui/project/exportwindow.h"
#include "gui/project/projectdialogs.h"

#include <QAction>

namespace telmira::app {

namespace {

// The File menu's project commands in their order.
enum ProjectCommand { kNew, kOpen, kSaveAs, kExport };

} // namespace

ProjectCommands::ProjectCommands(TMainForm& form, std::unique_ptr<ProjectUi> ui)
    : QObject(&form), form_(form), ui_(std::move(ui)) {
    if (!ui_)
        ui_ = std::make_unique<ProjectDialogs>(form.Ini(), &form);
    session_ = new ProjectSession(form.Ini(), form.State().workDir, *ui_, this);
    ProjectSession& session = *session_;

    const QList<QAction*>& commands = form.ProjectCommands();
    const auto bind = [&](int index, auto slot) {
        QAction* command = commands.value(index);
        if (!command)
            return;
        command->setEnabled(true);
        command->setStatusTip(QString());
        connect(command, &QAction::triggered, this, slot);
    };
    bind(kNew, [&session] { session.New(true); });
    bind(kOpen, [&session] { session.Open(); });
    bind(kSaveAs, [&session] { session.SaveAs(); });
    bind(kExport, [this] { exportProject(); });

    connect(&form, &TMainForm::projectSaveRequested, this, [&session] { session.Save(); });
    connect(&form, &TMainForm::projectOpenRequested, this,
            [&session](const QString& path) { session.OpenFile(path); });
    connect(&form, &TMainForm::recentProjectChosen, this,
            [&session](const QString& path) { session.OpenFile(path); });
    connect(&session, &ProjectSession::recentListChanged, &form,
            [&form] { form.refreshRecentMenu(); });
    connect(&session, &ProjectSession::captionChanged, &form, &QWidget::setWindowTitle);
    connect(&session, &ProjectSession::saveEnabledChanged, &form, &TMainForm::SetProjectChanged);
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
