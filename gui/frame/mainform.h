#pragma once

#include "frame/windowrules.h"
#include "gui/frame/mainwindowservices.h"
#include "gui/frame/mytabcontrol.h"
#include "link/dispatch.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QMessageBox;
class QTabWidget;
class QTimer;
class QToolButton;

// The main window: the application's main form and its face in tool mode. A menu, a toolbar
// whose buttons change with the active tool, and a tab control holding the open tools of the
// tool table. It receives everything the link thread posts (events 1109-1120) and the second
// instance's message (1026), keeps the tray icon, and runs the close sequence.
namespace telmira {

class SettingsFile;
class TForm12;
class TForm15;
class TTrayControl;
struct StartState;
namespace link {
class TCommThread;
class ReplyDispatcher;
} // namespace link

class TMainForm : public QMainWindow, public TabHost, private link::DispatchHost {
    Q_OBJECT
public:
    // `state` and `ini` outlive the window. Restores the bounds from zel.ini; the window shows
    // itself only through the start-up opening (or the normal run).
    TMainForm(StartState& state, SettingsFile& ini, MainWindowServices services = {},
              QWidget* parent = nullptr);
    ~TMainForm() override;

    StartState& State() { return state_; }
    SettingsFile& Ini() { return ini_; }
    const MainWindowServices& Services() const { return services_; }

    // --- the link ---
    // Takes the started link thread: its replies are dispatched here and the poll timer wakes
    // it. Without a link the application runs with the connection shown as absent.
    void AttachLink(std::unique_ptr<link::TCommThread> thread);
    link::TCommThread* LinkThread() const { return thread_.get(); }
    link::LinkShared* Link() const;
    bool Connected() const;
    QTimer* PollTimer() const { return pollTimer_; }

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
    TTrayControl* Tray() const { return tray_; }
    // New calls wait in the archive: the tray icon blinks (Part of the archive tool's work).
    void SetNewCallsWaiting(bool waiting);
    bool NewCallsWaiting() const { return newCallsWaiting_; }
    // The incoming-call window setting ("Открывать окно при звонке"), written to zel.ini.
    void SetShowPopupWindow(bool show);

    // --- tools ---
    // The tool with this name when it exists; nullptr otherwise.
    TMyTabControl* Tool(const QString& name) const;
    TMyTabControl* Tool(int toolIndex) const;
    // Opens the tool (creating it when needed), shows it and makes its tab current. nullptr when
    // this build has no such tool.
    TMyTabControl* OpenTool(const QString& name);
    // Whether this build can open the tool (its module is part of it).
    bool ToolAvailable(int toolIndex) const;
    // The Tools menu command of a tool (nullptr for the automatic settings).
    QAction* ToolCommand(int toolIndex) const;
    // The Tools menu command toggled (as the user does it).
    void ToggleTool(int toolIndex, bool checked);
    QTabWidget* Pages() const { return pages_; }
    TMyTabControl* ActiveTool() const { return activeTool_; }

    // --- recent projects ---
    void AddRecentProject(const QString& path);
    QList<QAction*> RecentCommands() const;
    // Rereads the Recent section into the File menu (after the project module recorded a path,
    // or when a module starts or stops taking the commands).
    void refreshRecentMenu();

    // --- debug and connection test ---
    // Opens a fresh debug window (on) or closes it (off); the link traces while it exists.
    void ShowDebugWindow(bool on);
    TForm12* DebugForm() const;
    // The connection-test window of test-connect mode.
    void ShowTestConnect();
    TForm15* TestConnectForm() const;
    // The settings dialog "Настройки программы"; `firstTabOnly` from the connection test.
    void ShowSettingsDialog(bool firstTabOnly = false);

    // --- the last number and the link state ---
    QLabel* LastNumberLabel() const { return lastNumberLabel_; }
    QToolButton* LastNumberButton() const { return lastNumberButton_; }
    QToolButton* ConnectionButton() const { return connectionButton_; }
    const QString& LastNumber() const { return lastNumber_; }
    // The connection button's hint ("...|").
    const QString& LinkHint() const { return linkHint_; }
    QAction* SaveCommand() const { return saveCommand_; }
    // The project's unsaved changes (the Save button follows them outside the city codes).
    void SetProjectChanged(bool changed);
    bool ProjectChanged() const { return projectChanged_; }
    // The project commands of the File menu (new, open, save as, export), disabled until the
    // project module takes them.
    const QList<QAction*>& ProjectCommands() const { return projectCommands_; }
    // Asked in order at the start of the close sequence (the project's save prompt); one that
    // answers false cancels the close.
    void AddCloseQuery(std::function<bool()> query);
    // The error dialog " Ошибка" (not modal: the window goes on working behind it).
    void ShowError(const QString& text);
    QAction* PopupCommand() const { return popupCommand_; }
    QAction* ModeSwitchCommand() const { return modeSwitchCommand_; }

    // --- TabHost ---
    void ToolChanged(TMyTabControl& tool, bool changed) override;
    void ToolPictureClicked(TMyTabControl& tool) override;

signals:
    // A project file was handed over (by the command line or a second instance) to be opened.
    void projectOpenRequested(const QString& path);
    // A recent-projects command was chosen.
    void recentProjectChosen(const QString& path);
    // The layout or variables tool was opened or closed by the user (the project records it).
    void toolToggled(const QString& name, bool open);
    // The phone reported an alarm (event 59) for the alarm module.
    void alarmReceived(const QByteArray& buffer);
    // The window hides in the tray: the archive's selection marks are to be cleared.
    void archiveSelectionClearRequested();
    // The new-call marks of the archive are to be cleared.
    void newCallMarksClearRequested();
    // The archive's answering-machine message list is to be emptied.
    void answeringMachineListClearRequested();
    // The Save button was pressed outside the city codes: the project is to be saved.
    void projectSaveRequested();
    // The close sequence ran to its end.
    void closed();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The keyboard modifiers held while the window closes (Ctrl closes, Alt hides without the
    // incoming-call window).
    virtual Qt::KeyboardModifiers CloseModifiers() const;

private slots:
    void prepareForSleep(bool sleeping);

private:
    // DispatchHost
    ReplyAddressee* openTool(int name) override;
    ReplyAddressee* archiveHandler() override;
    void clearActiveLayoutMatrix() override;
    void dayChanged() override;
    void openAlarmForm(const QByteArray& buffer) override;
    void showNumber(const link::NumberEvent& event) override;
    void rereadVariables() override;
    void clearAnsweringMachineList() override;
    void clearNewCallMarks() override;

    bool handleLinkEvent(QEvent* event);
    void setToolShown(int toolIndex, bool checked, TMyTabControl* next);
    QList<TMyTabControl*> visibleTools() const;
    TMyTabControl* currentVisibleTool() const;
    void syncCurrentTab();
    void buildMenus();
    void buildToolbar();
    void restoreBounds();
    QRect boundsToWrite() const;
    void secondInstanceArrived(const QByteArray& message);
    void bringToFront();
    void recordCommandLineProject(const QString& project);
    void openStartupTools();
    TMyTabControl* createTool(int toolIndex);
    void destroyTool(int toolIndex);
    void destroyAllTools();
    void closeToolAsUnchecked(TMyTabControl& tool);
    void currentTabChanged(int index);
    void leaveTab(TMyTabControl* tool);
    void enterTab(TMyTabControl* tool);
    void makeCurrent(TMyTabControl* tool);
    void updatePagesVisibility();
    void showToolActions(TMyTabControl* tool);
    void updateSaveCommand();
    void pollTick();
    void linkStateChanged();
    void processDebugMessage(const QString& text);
    void setCursorShape(int cursor);
    void dialLastNumber();
    void showConnectionHint();
    void updateLastNumberLabel();
    bool runCloseSequence();
    void emptyTempFolder();
    void debugFormClosed();
    void showAbout();
    void showHelp();

    StartState& state_;
    SettingsFile& ini_;
    MainWindowServices services_;
    std::unique_ptr<link::TCommThread> thread_;
    std::unique_ptr<link::ReplyDispatcher> dispatcher_;
    std::unique_ptr<link::NumberBroadcaster> broadcaster_;
    std::unique_ptr<ReplyAddressee> archiveHandler_;
    std::array<std::unique_ptr<TMyTabControl>, 9> tools_; // by tool index 1..8
    QPointer<TMyTabControl> activeTool_;
    QList<QAction*> shownToolActions_;
    QList<QMenu*> shownToolMenus_;

    QTabWidget* pages_ = nullptr;
    QWidget* emptyFace_ = nullptr;
    QTimer* pollTimer_ = nullptr;
    TTrayControl* tray_ = nullptr;
    QPointer<TForm12> debugForm_;
    QPointer<TForm15> testConnectForm_;
    // The open error box and the texts it shows.
    static constexpr int kErrorBoxTexts = 10;
    QPointer<QMessageBox> errorBox_;
    QStringList errorTexts_;
    int debugRoom_ = 0; // width the debug window took from the main window

    QMenu* fileMenu_ = nullptr;
    QMenu* toolsMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    std::array<QAction*, 9> toolCommands_{};
    QList<QAction*> recentCommands_;
    QAction* recentSeparator_ = nullptr;
    QAction* saveCommand_ = nullptr;
    QAction* popupCommand_ = nullptr;
    QAction* modeSwitchCommand_ = nullptr;
    QAction* toolActionsEnd_ = nullptr;
    QAction* lastNumberAction_ = nullptr;
    QAction* lastNumberLabelAction_ = nullptr;
    QList<QAction*> projectCommands_;
    std::vector<std::function<bool()>> closeQueries_;
    QLabel* lastNumberLabel_ = nullptr;
    QToolButton* lastNumberButton_ = nullptr;
    QToolButton* connectionButton_ = nullptr;

    QString lastNumber_;
    QString linkHint_;
    bool lastNumberShown_ = false;
    bool newCallsWaiting_ = false;
    bool projectChanged_ = false;
    bool quitting_ = false; // "Закрыть Telmira": no tray on close
    bool closing_ = false;  // the close sequence runs
    bool closed_ = false;   // the close sequence ran to its end
    bool minimisedAsTray_ = false;
};

} // namespace telmira
