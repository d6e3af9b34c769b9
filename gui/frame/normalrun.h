#pragma once

#include "frame/startup.h"
#include "gui/frame/mainwindowservices.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// The normal run of zel: settings read, the main window created, the data module opened, the
// link started on the configured or searched port, the home area read, and the application
// shown or hidden in the tray; it ends when the main window's close sequence has run.
namespace telmira {

class InstanceServer;
class TMainForm;
class TMyIniFile;

// Opens the database module (the contacts subsystem); `error` tells why when it returns null.
using DataModuleFactory =
    std::function<std::unique_ptr<QObject>(const StartState& state, QString* error)>;

class NormalRun {
public:
    // `arguments` are zel's arguments (the first may name a project); `workDir` ends with '/'.
    NormalRun(QString workDir, QStringList arguments, MainWindowServices services,
              DataModuleFactory openDataModule = nullptr);
    ~NormalRun();
    NormalRun(const NormalRun&) = delete;
    NormalRun& operator=(const NormalRun&) = delete;

    // Everything up to the message loop. `channel` (may be null) then delivers later starts'
    // messages to the main window. Needs a QApplication.
    void Start(InstanceServer* channel);
    // The message loop, until the main window's close sequence has run. Returns the exit code.
    int Exec();

    TMainForm* MainForm() const { return mainForm_.get(); }
    StartState& State() { return state_; }

private:
    QString workDir_;
    QStringList arguments_;
    MainWindowServices services_;
    DataModuleFactory openDataModule_;
    std::unique_ptr<TMyIniFile> ini_;
    StartState state_;
    std::unique_ptr<TMainForm> mainForm_;
    std::unique_ptr<QObject> dataModule_;
};

// SIGTERM, SIGINT and SIGHUP close the main window as "Закрыть Telmira" does (the session
// ends, Ctrl+C in a terminal), so the close sequence runs. Installed once per process.
void closeMainWindowOnSignals(TMainForm& mainForm);

} // namespace telmira
