#pragma once

#include "project/projectfile.h"

#include <QObject>

#include <memory>

namespace telmira {
class TMainForm;
}

// The project module on the main window: the File menu's project commands, the Save button,
// the recent-projects list, the window title, the save prompt of the close sequence and the
// projects other starts hand over.
namespace telmira::app {

class ProjectCommands : public QObject {
    Q_OBJECT
public:
    // Lives as long as the main window (its child). `ui` answers the session's questions; the
    // dialogs over the main window when null.
    ProjectCommands(TMainForm& form, std::unique_ptr<ProjectUi> ui);
    ~ProjectCommands() override;

    ProjectSession& Session() { return *session_; }

private:
    void exportProject();

    TMainForm& form_;
    std::unique_ptr<ProjectUi> ui_;
    ProjectSession* session_ = nullptr;
};

// Connects the project commands to the main window; returns them (owned by the window).
ProjectCommands* InstallProjectCommands(TMainForm& form, std::unique_ptr<ProjectUi> ui = nullptr);

} // namespace telmira::app
