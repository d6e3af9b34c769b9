// The main window's tools: the tool table's instances, their tabs and Tools menu commands,
// leaving and entering a tab, and the start-up opening of windows.
#include "gui/frame/mainform.h"

#include "frame/settings.h"
#include "frame/startup.h"
#include "frame/tooltable.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolBar>

namespace telmira {
namespace {
const QString kCommon = QStringLiteral("Common");
const QString kWindows = QStringLiteral("Windows");
} // namespace

// --- tools ---

bool TMainForm::ToolAvailable(int toolIndex) const {
    const ToolInfo* tool = toolByIndex(toolIndex);
    if (!tool)
        return false;
    const auto it = services_.tools.constFind(QString::fromLatin1(tool->name));
    return it != services_.tools.constEnd() && *it;
}

TMyTabControl* TMainForm::Tool(int toolIndex) const {
    if (toolIndex < 1 || toolIndex > kToolCount)
        return nullptr;
    return tools_[toolIndex].get();
}

TMyTabControl* TMainForm::Tool(const QString& name) const {
    const ToolInfo* tool = toolByName(name);
    return tool ? Tool(tool->index) : nullptr;
}

QAction* TMainForm::ToolCommand(int toolIndex) const {
    if (toolIndex < 1 || toolIndex > kToolCount)
        return nullptr;
    return toolCommands_[toolIndex];
}

TMyTabControl* TMainForm::createTool(int toolIndex) {
    const ToolInfo* info = toolByIndex(toolIndex);
    if (!info || !ToolAvailable(toolIndex))
        return nullptr;
    ToolContext context{*this, ini_, state_, Link()};
    std::unique_ptr<TMyTabControl> tool =
        services_.tools.value(QString::fromLatin1(info->name))(context);
    if (!tool || tool->ToolIndex() != toolIndex)
        return nullptr;
    tool->SetPageControl(pages_, this);
    tool->SetMenuCommand(toolCommands_[toolIndex]);
    tool->LinkStateChanged(Connected());
    tools_[toolIndex] = std::move(tool);
    return tools_[toolIndex].get();
}

// All tools go at once (close sequence, destruction): no tab is entered in between.
void TMainForm::destroyAllTools() {
    leaveTab(activeTool_);
    const QSignalBlocker quiet(pages_);
    for (auto& tool : tools_)
        tool.reset();
    activeTool_ = nullptr;
    updatePagesVisibility();
}

void TMainForm::destroyTool(int toolIndex) {
    TMyTabControl* tool = Tool(toolIndex);
    if (!tool)
        return;
    if (activeTool_ == tool)
        leaveTab(tool);
    tools_[toolIndex].reset();
}

TMyTabControl* TMainForm::OpenTool(const QString& name) {
    const ToolInfo* info = toolByName(name);
    if (!info)
        return nullptr;
    TMyTabControl* tool = Tool(info->index);
    if (!tool)
        tool = createTool(info->index);
    if (!tool)
        return nullptr;
    tool->SetVisible(true);
    ini_.WriteBool(kWindows, QString::fromLatin1(info->name), true);
    updatePagesVisibility();
    makeCurrent(tool);
    return tool;
}

void TMainForm::ToggleTool(int toolIndex, bool checked) {
    setToolShown(toolIndex, checked, nullptr);
}

// The Tools menu command: a checked tool opens and becomes current; an unchecked one hides and
// goes, unless it holds unsaved layout, variables or city-code changes. `next` (when given)
// becomes current afterwards.
void TMainForm::setToolShown(int toolIndex, bool checked, TMyTabControl* next) {
    const ToolInfo* info = toolByIndex(toolIndex);
    if (!info)
        return;
    leaveTab(activeTool_);
    TMyTabControl* tool = Tool(toolIndex);
    {
        // The tab control picks a current tab of its own on the way; the one made current
        // below is the one entered.
        const QSignalBlocker quiet(pages_);
        if (checked) {
            if (!tool)
                tool = createTool(toolIndex);
            if (tool)
                tool->SetVisible(true);
            else if (QAction* command = ToolCommand(toolIndex))
                command->setChecked(false);
        } else if (tool) {
            tool->SetVisible(false);
            if (destroyedWhenUnchecked(toolIndex, tool->Changed())) {
                destroyTool(toolIndex);
                tool = nullptr;
            }
        }
    }
    const bool open = checked && tool;
    ini_.WriteBool(kWindows, QString::fromLatin1(info->name), open);
    if (toolIndex == kToolMatrix || toolIndex == kToolVarList)
        emit toolToggled(QString::fromLatin1(info->name), open);
    updatePagesVisibility();
    if (open)
        makeCurrent(tool);
    else if (next)
        makeCurrent(next);
    syncCurrentTab();
}

QList<TMyTabControl*> TMainForm::visibleTools() const {
    QList<TMyTabControl*> visible;
    for (int i = 0; i < pages_->count(); ++i) {
        if (!pages_->isTabVisible(i))
            continue;
        for (const auto& tool : tools_)
            if (tool && tool->ScrollBox() == pages_->widget(i))
                visible << tool.get();
    }
    return visible;
}

void TMainForm::ToolPictureClicked(TMyTabControl& tool) {
    const QList<TMyTabControl*> visible = visibleTools();
    const int position = static_cast<int>(visible.indexOf(&tool));
    if (position < 0)
        return;
    const int after = tabPositionAfterClose(position, static_cast<int>(visible.size()));
    // Positions count the tabs left after the close.
    QList<TMyTabControl*> left = visible;
    left.removeAt(position);
    setToolShown(tool.ToolIndex(), false, after >= 0 ? left.value(after) : nullptr);
}

void TMainForm::ToolChanged(TMyTabControl& tool, bool changed) {
    if (!changed) {
        updateSaveCommand();
        return;
    }
    if (!windowTitle().endsWith(QLatin1Char('*')))
        setWindowTitle(windowTitle() + QLatin1Char('*'));
    if (tool.ToolIndex() != kToolVocEditor)
        projectChanged_ = true;
    updateSaveCommand();
}

void TMainForm::SetProjectChanged(bool changed) {
    projectChanged_ = changed;
    updateSaveCommand();
}

void TMainForm::AddCloseQuery(std::function<bool()> query) {
    if (query)
        closeQueries_.push_back(std::move(query));
}

TMyTabControl* TMainForm::currentVisibleTool() const {
    const int index = pages_->currentIndex();
    if (index < 0 || !pages_->isTabVisible(index))
        return nullptr;
    for (const auto& tool : tools_)
        if (tool && tool->ScrollBox() == pages_->widget(index))
            return tool.get();
    return nullptr;
}

void TMainForm::currentTabChanged(int) {
    syncCurrentTab();
}

void TMainForm::syncCurrentTab() {
    TMyTabControl* current = currentVisibleTool();
    if (current == activeTool_)
        return;
    leaveTab(activeTool_);
    enterTab(current);
}

void TMainForm::makeCurrent(TMyTabControl* tool) {
    if (!tool || !tool->IsVisible())
        return;
    pages_->setCurrentWidget(tool->ScrollBox());
    syncCurrentTab();
}

// Leaving a tab: the tool keeps its scroll position, gets its picture back and is no longer
// active; its toolbar buttons and menus go.
void TMainForm::leaveTab(TMyTabControl* tool) {
    if (!tool)
        return;
    tool->SaveScrollPosition();
    tool->Leaving();
    tool->SetActive(false);
    if (activeTool_ == tool)
        activeTool_ = nullptr;
    showToolActions(nullptr);
    updateSaveCommand();
}

void TMainForm::enterTab(TMyTabControl* tool) {
    activeTool_ = tool;
    if (!tool)
        return;
    tool->SetActive(true);
    tool->RestoreScrollPosition();
    tool->Entering();
    showToolActions(tool);
    updateSaveCommand();
}

void TMainForm::showToolActions(TMyTabControl* tool) {
    QToolBar* bar = toolActionsEnd_ ? qobject_cast<QToolBar*>(toolActionsEnd_->parent()) : nullptr;
    for (QAction* action : std::as_const(shownToolActions_))
        if (bar && action)
            bar->removeAction(action);
    for (QMenu* menu : std::as_const(shownToolMenus_))
        if (menu)
            menuBar()->removeAction(menu->menuAction());
    shownToolActions_.clear();
    shownToolMenus_.clear();
    if (!tool)
        return;
    for (QAction* action : tool->ToolbarActions()) {
        if (bar)
            bar->insertAction(toolActionsEnd_, action);
        shownToolActions_ << action;
    }
    for (QMenu* menu : tool->ToolMenus()) {
        menuBar()->insertMenu(helpMenu_->menuAction(), menu);
        shownToolMenus_ << menu;
    }
}

// The Save button serves the city codes while their tab is active, else the project.
void TMainForm::updateSaveCommand() {
    const bool cityCodes = activeTool_ && activeTool_->ToolIndex() == kToolVocEditor;
    const QString hint = cityCodes ? QStringLiteral("Сохранить справочник городов|")
                                   : QStringLiteral("Сохранить проект|");
    saveCommand_->setToolTip(shortHint(hint));
    saveCommand_->setEnabled(cityCodes ? activeTool_->Changed() : projectChanged_);
}

void TMainForm::updatePagesVisibility() {
    const bool any = !visibleTools().isEmpty();
    pages_->setVisible(any);
    emptyFace_->setVisible(!any);
}

// --- start-up opening ---

void TMainForm::runStartupOpening(const QString& project) {
    if (!project.isEmpty())
        recordCommandLineProject(project);
    if (state_.toolMode) {
        openStartupTools();
        if (!state_.testConnectMode && !state_.startHidden)
            show();
    }
    if (!project.isEmpty()) {
        bringToFront();
        emit projectOpenRequested(project);
    }
    state_.startupDone = true;
}

// A project named on the command line: it becomes the last project, and the windows it records
// (layouts, variables; both when it records neither) open with the layouts first.
void TMainForm::recordCommandLineProject(const QString& project) {
    ini_.WriteString(kCommon, QStringLiteral("LastProject"), project);
    const TMyMemIniFile file(project);
    bool matrix = file.ReadBool(QStringLiteral("Project"), QStringLiteral("Matrix"), false);
    bool varList = file.ReadBool(QStringLiteral("Project"), QStringLiteral("VarList"), false);
    if (!matrix && !varList)
        matrix = varList = true;
    ini_.WriteBool(kWindows, QStringLiteral("Matrix"), matrix);
    ini_.WriteBool(kWindows, QStringLiteral("VarList"), varList);
    ini_.WriteString(kCommon, QStringLiteral("LastTab"),
                     matrix ? QStringLiteral("Matrix") : QStringLiteral("VarList"));
    if (ini_.ReadBool(kWindows, QStringLiteral("Phone"), true))
        ini_.WriteBool(kWindows, QStringLiteral("Phone"), false);
}

void TMainForm::openStartupTools() {
    for (const ToolInfo& info : toolTable()) {
        const QString name = QString::fromLatin1(info.name);
        TMyTabControl* tool = Tool(info.index);
        if (!tool && ini_.ReadBool(kWindows, name, false)) {
            tool = createTool(info.index);
            if (!tool)
                ini_.WriteBool(kWindows, name, false);
        }
        if (tool)
            tool->SetVisible(true);
    }
    updatePagesVisibility();
    if (TMyTabControl* last = Tool(ini_.ReadString(kCommon, QStringLiteral("LastTab"), {})))
        makeCurrent(last);
    syncCurrentTab();
}

} // namespace telmira
