#pragma once

#include "frame/windowrules.h"
#include "gui/frame/linkbridge.h"
#include "gui/frame/mainwindowservices.h"
#include "gui/frame/tooltabmanager.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QTabWidget;
class QToolBar;

// The main window: the application's main form and its face in tool mode. It has the menus and
// the toolbar, the tray icon, the window's bounds, the recent projects, the second instance's
// message (1026) and the close sequence. Its tools live in the tab control of TToolTabManager;
// what the link thread posts (events 1109-1120) goes to TLinkBridge.
namespace telmira {

class SettingsFile;
class TForm12;
class TLinkBridge;
class TToolTabManager;
class TForm15;
class TTrayControl;
struct StartState;
namespace link {
class TCommThread;
class LinkShared;
} // namespace link

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // `state` and `ini` outlive the window. Restores the bounds from zel.ini; the window shows
    // itself only through the start-up opening (or the normal run).
    TMainForm(StartState& state, SettingsFile& ini, MainWindowServices services = {},
              QWidget* parent = nullptr);
    ~TMainForm() override;

    StartState& State() { return state_; }
    SettingsFile& Ini() { return ini_; }

    // The tools and their tabs.
    TToolTabManager& ToolTabs() { return *tools_; }
    // The link's side of the window.
    TLinkBridge& LinkBridge() { return *bridge_; }

    // --- the link ---
    // Takes the started link thread (see TLinkBridge::AttachLink); the debug window traces it.
    void AttachLink(std::unique_ptr<link::TCommThread> thread);
    link::LinkShared* Link() const;

    // --- start and faces ---
    // The start-up opening of windows, run once: a project named on the command line (`project`,
    // empty when none) is recorded and its windows opened; the tools open; the window shows.
    void runStartupOpening(const QString& project);
    // Hides to the tray (minimises where no tray exists); not in test-connect mode.
    void hideToTray();
    // Brings the application back from the tray.
    void restoreFromTray();
    // "Закрыть Telmira": the close sequence, whatever the close-to-tray setting says.
    void CloseApplication();
    // A click on the tray icon.
    void TrayClicked(TrayClick click);
    // New calls wait in the archive: the tray icon blinks (Part of the archive tool's work).
    void SetNewCallsWaiting(bool waiting);
    // The incoming-call window setting ("Открывать окно при звонке"), written to zel.ini.
    void SetShowPopupWindow(bool show);

    // --- recent projects ---
    // Rereads the Recent section into the File menu (after the project module recorded a path,
    // or when a module starts or stops taking the commands).
    void refreshRecentMenu();

    // --- debug and connection test ---
    // Opens a fresh debug window (on) or closes it (off); the link traces while it exists.
    void ShowDebugWindow(bool on);
    TForm12* DebugForm() const;
    // The connection-test window of test-connect mode.
    void ShowTestConnect();
    // The settings dialog "Настройки программы"; `firstTabOnly` from the connection test.
    void ShowSettingsDialog(bool firstTabOnly = false);
    // The error dialog " Ошибка" (see TLinkBridge::ShowError).
    void ShowError(const QString& text);

    // The project's unsaved changes (the Save button follows them outside the city codes).
    void SetProjectChanged(bool changed);
    // The project commands of the File menu (and the toolbar's Open, Export and Change phone
    // version buttons), disabled until the project module takes them. Save is the window's
    // own: it saves the city codes while their tab is active, else asks for the project's save.
    enum class ProjectCommand { New, Open, SaveAs, Export, ChangeVersion };
    static constexpr int kProjectCommands = 5;
    QAction* Command(ProjectCommand kind) const {
        return projectCommands_[static_cast<std::size_t>(kind)];
    }
    // Asked in order at the start of the close sequence (the project's save prompt); one that
    // answers false cancels the close.
    void AddCloseQuery(std::function<bool()> query);
    QAction* ModeSwitchCommand() const { return modeSwitchCommand_; }

signals:
    // A project file was handed over (by the command line or a second instance) to be opened.
    void projectOpenRequested(const QString& path);
    // A recent-projects command was chosen.
    void recentProjectChosen(const QString& path);
    // The window hides in the tray: the archive's selection marks are to be cleared.
    void archiveSelectionClearRequested();
    // The new-call marks of the archive are to be cleared.
    void newCallMarksClearRequested();
    // The Save button was pressed outside the city codes: the project is to be saved.
    void projectSaveRequested();
    // The close sequence ran to its end.
    void closed();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    // The keyboard modifiers held while the window closes (Ctrl closes, Alt hides without the
    // incoming-call window).
    virtual Qt::KeyboardModifiers CloseModifiers() const;

private slots:
    void prepareForSleep(bool sleeping);

private:
    void buildMenus();
    void buildToolbar();
    void buildTray();
    void restoreBounds();
    QRect boundsToWrite() const;
    void secondInstanceArrived(const QByteArray& message);
    void bringToFront();
    void linkStateChanged(bool connected, const QString& phone, const QString& port);
    void processDebugMessage(const QString& text);
    bool runCloseSequence();
    void emptyTempFolder();
    void debugFormClosed();
    void showAbout();
    void showHelp();

    StartState& state_;
    SettingsFile& ini_;
    MainWindowServices services_;
    std::unique_ptr<TToolTabManager> tools_;
    std::unique_ptr<TLinkBridge> bridge_;

    QTabWidget* pages_ = nullptr;
    QWidget* emptyFace_ = nullptr;
    TTrayControl* tray_ = nullptr;
    QPointer<TForm12> debugForm_;
    QPointer<TForm15> testConnectForm_;
    int debugRoom_ = 0; // width the debug window took from the main window

    QMenu* fileMenu_ = nullptr;
    QMenu* toolsMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QList<QAction*> recentCommands_;
    QAction* recentSeparator_ = nullptr;
    QAction* saveCommand_ = nullptr;
    QAction* popupCommand_ = nullptr;
    QAction* modeSwitchCommand_ = nullptr;
    QAction* toolActionsEnd_ = nullptr;
    QAction* toolCommandsEnd_ = nullptr;
    std::array<QAction*, kProjectCommands> projectCommands_{};
    std::vector<std::function<bool()>> closeQueries_;

    bool newCallsWaiting_ = false;
    bool quitting_ = false; // "Закрыть Telmira": no tray on close
    bool closing_ = false;  // the close sequence runs
    bool closed_ = false;   // the close sequence ran to its end
    bool minimisedAsTray_ = false;
};

} // namespace telmira
