#pragma once

#include "gui/frame/mainform.h"
#include "gui/frame/mytabcontrol.h"
#include "gui/frame/traycontrol.h"
#include "tests/common/application.h"

#include "frame/settings.h"
#include "frame/startup.h"
#include "tests/common/testpaths.h"
#include <QApplication>

#include <QAction>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QTabWidget>

#include <initializer_list>
#include <memory>

// What the main-window tests share: a QApplication on the offscreen platform, a work folder
// with its zel.ini, and stand-in tools that record what the main window does to them.
namespace telmira::test {

// A tool that records the main window's calls.
class FakeTool : public TMyTabControl {
public:
    explicit FakeTool(const QString& name) : TMyTabControl(name) {}
    void CommandReply(const QByteArray& buffer) override { replies << buffer; }
    void Entering() override { ++entered; }
    void Leaving() override { ++left; }
    bool QueryClose() override { return allowClose; }
    void LinkStateChanged(bool connected) override { linkStates << connected; }
    void PrepareReply(int command) override { prepared << command; }
    void DayChanged() override { ++dayChanges; }

    QList<QByteArray> replies;
    QList<bool> linkStates;
    QList<int> prepared;
    int entered = 0;
    int left = 0;
    int dayChanges = 0;
    bool allowClose = true;
};

// Open procedures that make FakeTools for the named tools; `opened` counts them.
MainWindowServices fakeToolServices(std::initializer_list<const char*> names,
                                    int* opened = nullptr);

// A work folder with zel.ini and the start state of tool mode.
struct WorkFolder {
    WorkFolder();
    QString path(const std::string& name) const;
    void writeIni(const std::string& utf8Text) const;

    TempDir dir;
    StartState state;
    std::unique_ptr<TMyIniFile> ini;
};

FakeTool* fakeTool(TMainForm& form, const QString& name);

// The main window's parts as a person finds them: the tab control of the tools, the File menu's
// recent-project commands ("Recent0" to "Recent9"), an action by its object name, the tray.
QTabWidget* toolPages(TMainForm& form);
QList<QAction*> recentCommands(TMainForm& form);
QAction* findAction(QWidget& window, const QString& objectName);
TTrayControl* trayOf(TMainForm& form);

} // namespace telmira::test
