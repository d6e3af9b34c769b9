#include "gui/frame/tooltabmanager.h"

#include "frame/startup.h"
#include "frame/tooltable.h"
#include "frame/windowrules.h"
#include "frame/zelsettings.h"
#include "gui/frame/pictures.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolBar>

namespace telmira {
namespace {

QString notInThisBuild() {
    return QStringLiteral("Недоступно в этой сборке");
}

} // namespace

TToolTabManager::TToolTabManager(TMainForm& form, SettingsFile& ini, StartState& state,
                                 QMap<QString, ToolFactory> tools, Frame frame, QObject* parent)
    : QObject(parent), form_(form), ini_(ini), state_(state), factories_(std::move(tools)),
      frame_(frame) {
    connect(frame_.pages, &QTabWidget::currentChanged, this, [this] { syncCurrentTab(); });
    buildCommands();
    updatePagesVisibility();
    updateSaveCommand();
}

TToolTabManager::~TToolTabManager() {
    destroyAllTools();
}

void TToolTabManager::buildCommands() {
    for (const ToolInfo& tool : toolTable()) {
        if (!tool.menuCommand)
            continue;
        auto* command = new QAction(toolMenuIcon(tool.picture, false),
                                    QString::fromUtf8(tool.menuCommand), frame_.toolsMenu);
        command->setCheckable(true);
        command->setData(tool.index);
        command->setObjectName(QStringLiteral("Menu") + QString::fromLatin1(tool.name));
        const bool available = ToolAvailable(tool.index);
        // The phone settings wait for the link.
        command->setEnabled(available && tool.index != kToolPhoneSetup);
        if (!available)
            command->setStatusTip(notInThisBuild());
        connect(command, &QAction::triggered, this,
                [this, index = tool.index](bool checked) { ToggleTool(index, checked); });
        frame_.toolsMenu->insertAction(frame_.commandsBefore, command);
        commands_[tool.index] = command;
    }
}

bool TToolTabManager::ToolAvailable(int toolIndex) const {
    const ToolInfo* tool = toolByIndex(toolIndex);
    if (!tool)
        return false;
    const auto it = factories_.constFind(QString::fromLatin1(tool->name));
    return it != factories_.constEnd() && *it;
}

TMyTabControl* TToolTabManager::Tool(int toolIndex) const {
    if (toolIndex < 1 || toolIndex > kToolCount)
        return nullptr;
    return tools_[toolIndex].get();
}

TMyTabControl* TToolTabManager::Tool(const QString& name) const {
    const ToolInfo* tool = toolByName(name);
    return tool ? Tool(tool->index) : nullptr;
}

QAction* TToolTabManager::ToolCommand(int toolIndex) const {
    if (toolIndex < 1 || toolIndex > kToolCount)
        return nullptr;
    return commands_[toolIndex];
}

TMyTabControl* TToolTabManager::createTool(int toolIndex) {
    const ToolInfo* info = toolByIndex(toolIndex);
    if (!info || !ToolAvailable(toolIndex))
        return nullptr;
    emit toolOpening(toolIndex);
    ToolContext context{form_, ini_, state_, link_};
    std::unique_ptr<TMyTabControl> tool =
        factories_.value(QString::fromLatin1(info->name))(context);
    if (!tool || tool->ToolIndex() != toolIndex)
        return nullptr;
    tool->SetPageControl(frame_.pages, this);
    tool->SetMenuCommand(commands_[toolIndex]);
    tool->LinkStateChanged(connected_);
    tools_[toolIndex] = std::move(tool);
    return tools_[toolIndex].get();
}

// All tools go at once (close sequence, destruction): no tab is entered in between.
void TToolTabManager::destroyAllTools() {
    leaveTab(activeTool_);
    const QSignalBlocker quiet(frame_.pages);
    for (auto& tool : tools_)
        tool.reset();
    activeTool_ = nullptr;
    updatePagesVisibility();
}

void TToolTabManager::destroyTool(int toolIndex) {
    TMyTabControl* tool = Tool(toolIndex);
    if (!tool)
        return;
    if (activeTool_ == tool)
        leaveTab(tool);
    tools_[toolIndex].reset();
}

TMyTabControl* TToolTabManager::OpenTool(const QString& name) {
    const ToolInfo* info = toolByName(name);
    if (!info)
        return nullptr;
    TMyTabControl* tool = Tool(info->index);
    if (!tool)
        tool = createTool(info->index);
    if (!tool)
        return nullptr;
    tool->SetVisible(true);
    writeToolOpen(ini_, QString::fromLatin1(info->name), true);
    updatePagesVisibility();
    makeCurrent(tool);
    return tool;
}

void TToolTabManager::ToggleTool(int toolIndex, bool checked) {
    setToolShown(toolIndex, checked, nullptr);
}

// The Tools menu command: a checked tool opens and becomes current; an unchecked one hides and
// goes, unless it holds unsaved layout, variables or city-code changes. `next` (when given)
// becomes current afterwards.
void TToolTabManager::setToolShown(int toolIndex, bool checked, TMyTabControl* next) {
    const ToolInfo* info = toolByIndex(toolIndex);
    if (!info)
        return;
    leaveTab(activeTool_);
    TMyTabControl* tool = Tool(toolIndex);
    {
        // The tab control picks a current tab of its own on the way; the one made current
        // below is the one entered.
        const QSignalBlocker quiet(frame_.pages);
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
    writeToolOpen(ini_, QString::fromLatin1(info->name), open);
    if (toolIndex == kToolMatrix || toolIndex == kToolVarList)
        emit toolToggled(QString::fromLatin1(info->name), open);
    updatePagesVisibility();
    if (open)
        makeCurrent(tool);
    else if (next)
        makeCurrent(next);
    syncCurrentTab();
}

QList<TMyTabControl*> TToolTabManager::visibleTools() const {
    QList<TMyTabControl*> visible;
    for (int i = 0; i < frame_.pages->count(); ++i) {
        if (!frame_.pages->isTabVisible(i))
            continue;
        for (const auto& tool : tools_)
            if (tool && tool->ScrollBox() == frame_.pages->widget(i))
                visible << tool.get();
    }
    return visible;
}

void TToolTabManager::ToolPictureClicked(TMyTabControl& tool) {
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

void TToolTabManager::ToolChanged(TMyTabControl& tool, bool changed) {
    if (!changed) {
        updateSaveCommand();
        return;
    }
    if (frame_.window && !frame_.window->windowTitle().endsWith(QLatin1Char('*')))
        frame_.window->setWindowTitle(frame_.window->windowTitle() + QLatin1Char('*'));
    if (tool.ToolIndex() != kToolVocEditor) {
        projectChanged_ = true;
        emit projectToolChanged();
    }
    updateSaveCommand();
}

void TToolTabManager::SetProjectChanged(bool changed) {
    projectChanged_ = changed;
    updateSaveCommand();
}

bool TToolTabManager::SaveActiveTool() {
    if (!activeTool_ || activeTool_->ToolIndex() != kToolVocEditor)
        return false;
    activeTool_->SaveChanges();
    updateSaveCommand();
    return true;
}

TMyTabControl* TToolTabManager::currentVisibleTool() const {
    const int index = frame_.pages->currentIndex();
    if (index < 0 || !frame_.pages->isTabVisible(index))
        return nullptr;
    for (const auto& tool : tools_)
        if (tool && tool->ScrollBox() == frame_.pages->widget(index))
            return tool.get();
    return nullptr;
}

void TToolTabManager::syncCurrentTab() {
    TMyTabControl* current = currentVisibleTool();
    if (current == activeTool_)
        return;
    leaveTab(activeTool_);
    enterTab(current);
}

void TToolTabManager::makeCurrent(TMyTabControl* tool) {
    if (!tool || !tool->IsVisible())
        return;
    frame_.pages->setCurrentWidget(tool->ScrollBox());
    syncCurrentTab();
}

// Leaving a tab: the tool keeps its scroll position, gets its picture back and is no longer
// active; its toolbar buttons and menus go.
void TToolTabManager::leaveTab(TMyTabControl* tool) {
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

void TToolTabManager::enterTab(TMyTabControl* tool) {
    activeTool_ = tool;
    if (!tool)
        return;
    tool->SetActive(true);
    tool->RestoreScrollPosition();
    tool->Entering();
    showToolActions(tool);
    updateSaveCommand();
}

void TToolTabManager::showToolActions(TMyTabControl* tool) {
    for (const QPointer<QAction>& action : std::as_const(shownToolActions_))
        if (action && frame_.toolBar)
            frame_.toolBar->removeAction(action);
    for (const QPointer<QMenu>& menu : std::as_const(shownToolMenus_))
        if (menu && frame_.menuBar)
            frame_.menuBar->removeAction(menu->menuAction());
    shownToolActions_.clear();
    shownToolMenus_.clear();
    if (!tool)
        return;
    for (QAction* action : tool->ToolbarActions()) {
        if (frame_.toolBar)
            frame_.toolBar->insertAction(frame_.buttonsBefore, action);
        shownToolActions_ << action;
    }
    for (QMenu* menu : tool->ToolMenus()) {
        if (frame_.menuBar)
            frame_.menuBar->insertMenu(frame_.menusBefore, menu);
        shownToolMenus_ << menu;
    }
}

// The Save button serves the city codes while their tab is active, else the project.
void TToolTabManager::updateSaveCommand() {
    if (!frame_.saveCommand)
        return;
    const bool cityCodes = activeTool_ && activeTool_->ToolIndex() == kToolVocEditor;
    const QString hint = cityCodes ? QStringLiteral("Сохранить справочник городов|")
                                   : QStringLiteral("Сохранить проект|");
    frame_.saveCommand->setToolTip(shortHint(hint));
    frame_.saveCommand->setEnabled(cityCodes ? activeTool_->Changed() : projectChanged_);
}

void TToolTabManager::updatePagesVisibility() {
    const bool any = !visibleTools().isEmpty();
    frame_.pages->setVisible(any);
    if (frame_.emptyFace)
        frame_.emptyFace->setVisible(!any);
}

void TToolTabManager::LinkStateChanged(bool connected) {
    connected_ = connected;
    if (QAction* phoneSetup = ToolCommand(kToolPhoneSetup))
        phoneSetup->setEnabled(connected && ToolAvailable(kToolPhoneSetup));
    for (const auto& tool : tools_)
        if (tool)
            tool->LinkStateChanged(connected);
}

// --- start-up opening and close ---

void TToolTabManager::OpenStartupTools() {
    for (const ToolInfo& info : toolTable()) {
        const QString name = QString::fromLatin1(info.name);
        TMyTabControl* tool = Tool(info.index);
        if (!tool && readToolOpen(ini_, name)) {
            tool = createTool(info.index);
            if (!tool)
                writeToolOpen(ini_, name, false);
        }
        if (tool)
            tool->SetVisible(true);
    }
    updatePagesVisibility();
    if (TMyTabControl* last = Tool(readLastTab(ini_)))
        makeCurrent(last);
    syncCurrentTab();
}

bool TToolTabManager::QueryClose() {
    for (const auto& tool : tools_)
        if (tool && !tool->QueryClose())
            return false;
    return true;
}

void TToolTabManager::CloseAll() {
    if (activeTool_)
        writeLastTab(ini_, activeTool_->ToolName());
    destroyAllTools();
}

} // namespace telmira
