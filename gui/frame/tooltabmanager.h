#pragma once

#include "gui/frame/mainwindowservices.h"
#include "gui/frame/mytabcontrol.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <memory>

class QAction;
class QMenu;
class QMenuBar;
class QTabWidget;
class QToolBar;
class QWidget;

// The tools of the main window: the tool table's instances made by their open procedures, their
// tabs and Tools menu commands, toggling a tool, closing it by its tab's picture, leaving and
// entering a tab (the active tool's toolbar buttons and menus), the start-up opening of the
// tools with the `Windows` keys and `Common.LastTab`, and the Save button's target.
namespace telmira {

class SettingsFile;
class TMainForm;
struct StartState;

class TToolTabManager : public QObject, public TabHost {
    Q_OBJECT
public:
    // The parts of the main window the tools live in; all of them outlive the manager.
    struct Frame {
        QWidget* window = nullptr;   // its title carries the unsaved-changes mark
        QMenuBar* menuBar = nullptr; // the active tool's menus go before `menusBefore`
        QAction* menusBefore = nullptr;
        QMenu* toolsMenu = nullptr; // the Tools menu commands go before `commandsBefore`
        QAction* commandsBefore = nullptr;
        QToolBar* toolBar = nullptr; // the active tool's buttons go before `buttonsBefore`
        QAction* buttonsBefore = nullptr;
        QAction* saveCommand = nullptr; // enabled while what it saves has changes
        QTabWidget* pages = nullptr;
        QWidget* emptyFace = nullptr; // shown while no tab is
    };

    // `form` is handed to the open procedures; `tools` are the open procedures by tool name.
    TToolTabManager(TMainForm& form, SettingsFile& ini, StartState& state,
                    QMap<QString, ToolFactory> tools, Frame frame, QObject* parent = nullptr);
    ~TToolTabManager() override;

    // The tool with this name or index when it exists; nullptr otherwise.
    TMyTabControl* Tool(const QString& name) const;
    TMyTabControl* Tool(int toolIndex) const;
    // The tool whose tab is current.
    TMyTabControl* ActiveTool() const { return activeTool_; }
    // Whether this build can open the tool (its module is part of it).
    bool ToolAvailable(int toolIndex) const;
    // The Tools menu command of a tool (nullptr for the automatic settings).
    QAction* ToolCommand(int toolIndex) const;

    // Opens the tool (creating it when needed), shows it and makes its tab current. nullptr when
    // this build has no such tool or its open procedure made none.
    TMyTabControl* OpenTool(const QString& name);
    // The Tools menu command toggled, as the user does it.
    void ToggleTool(int toolIndex, bool checked);
    // The tools whose `Windows` key is set open (those this build cannot open are recorded as
    // closed), every existing tool shows, and the `Common.LastTab` tool becomes current.
    void OpenStartupTools();
    // Asks every tool whether the application may close.
    bool QueryClose();
    // The close sequence: the active tool's name goes to `Common.LastTab`, every tool goes.
    void CloseAll();

    // The link the open procedures hand to new tools (nullptr while there is none).
    void SetLink(link::LinkShared* link) { link_ = link; }
    // The link came up or was lost: the tools are told, the phone settings follow it.
    void LinkStateChanged(bool connected);

    // The Save button pressed: the city codes save themselves while their tab is active (true);
    // otherwise it is the project's (false).
    bool SaveActiveTool();
    // The project's unsaved changes (the Save button follows them outside the city codes).
    void SetProjectChanged(bool changed);
    bool ProjectChanged() const { return projectChanged_; }

    // TabHost
    void ToolChanged(TMyTabControl& tool, bool changed) override;
    void ToolPictureClicked(TMyTabControl& tool) override;

signals:
    // The layout or variables tool was opened or closed by the user (the project records it).
    void toolToggled(const QString& name, bool open);
    // A project tool (any but the city codes) reported unsaved changes.
    void projectToolChanged();
    // The tool's open procedure is about to run (the layouts and variables need a project).
    void toolOpening(int toolIndex);

private:
    void buildCommands();
    TMyTabControl* createTool(int toolIndex);
    void destroyTool(int toolIndex);
    void destroyAllTools();
    void setToolShown(int toolIndex, bool checked, TMyTabControl* next);
    QList<TMyTabControl*> visibleTools() const;
    TMyTabControl* currentVisibleTool() const;
    void syncCurrentTab();
    void makeCurrent(TMyTabControl* tool);
    void leaveTab(TMyTabControl* tool);
    void enterTab(TMyTabControl* tool);
    void showToolActions(TMyTabControl* tool);
    void updateSaveCommand();
    void updatePagesVisibility();

    TMainForm& form_;
    SettingsFile& ini_;
    StartState& state_;
    QMap<QString, ToolFactory> factories_;
    Frame frame_;
    link::LinkShared* link_ = nullptr;
    bool connected_ = false;
    std::array<std::unique_ptr<TMyTabControl>, 9> tools_; // by tool index 1..8
    std::array<QAction*, 9> commands_{};
    QPointer<TMyTabControl> activeTool_;
    QList<QPointer<QAction>> shownToolActions_;
    QList<QPointer<QMenu>> shownToolMenus_;
    bool projectChanged_ = false;
};

} // namespace telmira
