// The main window: construction, menus, toolbar, the tool table and the start-up opening.
#include "frame/mainform.h"

#include "base/version.h"
#include "frame/debugform.h"
#include "frame/pictures.h"
#include "frame/recentprojects.h"
#include "frame/settings.h"
#include "frame/singleinstance.h"
#include "frame/startup.h"
#include "frame/testconnect.h"
#include "frame/tooltable.h"
#include "frame/traycontrol.h"
#include "link/broadcast.h"
#include "link/commthread.h"

#include <QAction>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace telmira {
namespace {

const QString kCommon = QStringLiteral("Common");
const QString kWindows = QStringLiteral("Windows");

// The designed bounds, used until zel.ini holds the window's own.
constexpr int kDesignedLeft = 290, kDesignedTop = 60, kDesignedWidth = 860, kDesignedHeight = 620;

QString notInThisBuild() {
    return QStringLiteral("Недоступно в этой сборке");
}

} // namespace

TMainForm::TMainForm(StartState& state, SettingsFile& ini, MainWindowServices services,
                     QWidget* parent)
    : QMainWindow(parent), state_(state), ini_(ini), services_(std::move(services)) {
    setWindowTitle(QStringLiteral("Telmira"));
    setWindowIcon(buttonIcon(ButtonPicture::Application));
    setMinimumSize(500, 440);
    if (!services_.origins)
        services_.origins =
            std::make_shared<VocFileOrigins>(state_.workDir + QStringLiteral("codes.voc"));

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    pages_ = new QTabWidget;
    pages_->setMovable(false);
    pages_->hide();
    connect(pages_, &QTabWidget::currentChanged, this, &TMainForm::currentTabChanged);
    auto* face = new QLabel(QStringLiteral("Telmira\n\nИнструменты открываются в меню "
                                           "«Инструменты»"));
    face->setAlignment(Qt::AlignCenter);
    face->setStyleSheet(QStringLiteral("color: #6a7a8a; font-size: 15px;"));
    emptyFace_ = face;
    layout->addWidget(pages_);
    layout->addWidget(emptyFace_);
    setCentralWidget(central);

    tray_ = new TTrayControl(this);
    tray_->SetLostCallsOnly(state_.lostCallsIsNew);
    tray_->PopupCommand()->setChecked(state_.showPopupWindow);
    connect(tray_, &TTrayControl::clicked, this, &TMainForm::TrayClicked);
    connect(tray_->RestoreCommand(), &QAction::triggered, this, &TMainForm::restoreFromTray);
    connect(tray_->NoteBookCommand(), &QAction::triggered, this, [this] {
        restoreFromTray();
        OpenTool(QStringLiteral("NoteBook"));
    });
    connect(tray_->ArchiveCommand(), &QAction::triggered, this, [this] {
        restoreFromTray();
        OpenTool(QStringLiteral("Archives"));
    });
    connect(tray_->ClearMarksCommand(), &QAction::triggered, this, [this] {
        emit newCallMarksClearRequested();
        SetNewCallsWaiting(false);
    });
    connect(tray_->PopupCommand(), &QAction::triggered, this, &TMainForm::SetShowPopupWindow);
    connect(tray_->CloseCommand(), &QAction::triggered, this, &TMainForm::CloseApplication);
    tray_->NoteBookCommand()->setEnabled(ToolAvailable(kToolNoteBook));
    tray_->ArchiveCommand()->setEnabled(ToolAvailable(kToolArchives));

    buildMenus();
    buildToolbar();
    restoreBounds();

    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(100);
    connect(pollTimer_, &QTimer::timeout, this, &TMainForm::pollTick);
    broadcaster_ = std::make_unique<link::DBusNumberBroadcaster>();
    // Suspend and resume: logind's PrepareForSleep, where a system bus exists.
    QDBusConnection::systemBus().connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(prepareForSleep(bool)));

    if (services_.archiveHandler) {
        ToolContext context{*this, ini_, state_, nullptr};
        archiveHandler_ = services_.archiveHandler(context);
    }
    linkStateChanged();
    for (const auto& install : services_.installers)
        if (install)
            install(*this);
    refreshRecentMenu();
}

TMainForm::~TMainForm() {
    // The link posts to this window: it stops first. The tools go before the tab control.
    thread_.reset();
    destroyAllTools();
    delete debugForm_.data();
    delete testConnectForm_.data();
}

void TMainForm::buildMenus() {
    fileMenu_ = menuBar()->addMenu(QStringLiteral("Файл"));
    for (const QString& caption :
         {QStringLiteral("Новый проект..."), QStringLiteral("Открыть проект..."),
          QStringLiteral("Сохранить проект как..."), QStringLiteral("Экспорт проекта в ПЗУ...")}) {
        QAction* command = fileMenu_->addAction(caption);
        command->setEnabled(false);
        command->setStatusTip(notInThisBuild());
        projectCommands_ << command;
    }
    saveCommand_ = new QAction(buttonIcon(ButtonPicture::Save), QStringLiteral("Сохранить"), this);
    saveCommand_->setToolTip(shortHint(QStringLiteral("Сохранить проект|")));
    saveCommand_->setEnabled(false);
    connect(saveCommand_, &QAction::triggered, this, [this] {
        if (activeTool_ && activeTool_->ToolIndex() == kToolVocEditor)
            activeTool_->SaveChanges();
        else
            emit projectSaveRequested();
    });
    fileMenu_->insertAction(projectCommands_.value(2), saveCommand_);
    recentSeparator_ = fileMenu_->addSeparator();
    for (int i = 0; i < kRecentMenuEntries; ++i) {
        QAction* command = fileMenu_->addAction(QString());
        command->setVisible(false);
        connect(command, &QAction::triggered, this,
                [this, command] { emit recentProjectChosen(command->data().toString()); });
        recentCommands_ << command;
    }
    fileMenu_->addSeparator();
    QAction* toTray = fileMenu_->addAction(QStringLiteral("Свернуть в трей"));
    connect(toTray, &QAction::triggered, this, &TMainForm::hideToTray);
    QAction* quit = fileMenu_->addAction(QStringLiteral("Закрыть Telmira"));
    connect(quit, &QAction::triggered, this, &TMainForm::CloseApplication);
    refreshRecentMenu();

    toolsMenu_ = menuBar()->addMenu(QStringLiteral("Инструменты"));
    for (const ToolInfo& tool : toolTable()) {
        if (!tool.menuCommand)
            continue;
        QAction* command = toolsMenu_->addAction(toolMenuIcon(tool.picture, false),
                                                 QString::fromUtf8(tool.menuCommand));
        command->setCheckable(true);
        command->setData(tool.index);
        const bool available = ToolAvailable(tool.index);
        command->setEnabled(available && tool.index != kToolPhoneSetup);
        if (!available)
            command->setStatusTip(notInThisBuild());
        connect(command, &QAction::triggered, this,
                [this, index = tool.index](bool checked) { ToggleTool(index, checked); });
        toolCommands_[tool.index] = command;
    }
    toolsMenu_->addSeparator();
    modeSwitchCommand_ = toolsMenu_->addAction(QStringLiteral("Отображать в виде телефона"));
    // The phone panel is not part of this build: the command shows, but cannot switch.
    modeSwitchCommand_->setEnabled(false);
    modeSwitchCommand_->setStatusTip(notInThisBuild());
    modeSwitchCommand_->setVisible(state_.modeSwitchable);
    popupCommand_ = toolsMenu_->addAction(QStringLiteral("Открывать окно при звонке"));
    popupCommand_->setCheckable(true);
    popupCommand_->setChecked(state_.showPopupWindow);
    connect(popupCommand_, &QAction::triggered, this, &TMainForm::SetShowPopupWindow);
    toolsMenu_->addSeparator();
    QAction* settings = toolsMenu_->addAction(QStringLiteral("Настройки программы"));
    connect(settings, &QAction::triggered, this, [this] { ShowSettingsDialog(false); });

    helpMenu_ = menuBar()->addMenu(QStringLiteral("Справка"));
    QAction* help = helpMenu_->addAction(QStringLiteral("Работа с Telmira     F1"));
    connect(help, &QAction::triggered, this, &TMainForm::showHelp);
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
            &TMainForm::showHelp);
    QAction* about = helpMenu_->addAction(QStringLiteral("О программе"));
    connect(about, &QAction::triggered, this, &TMainForm::showAbout);
}

void TMainForm::buildToolbar() {
    QToolBar* bar = addToolBar(QStringLiteral("Панель инструментов"));
    bar->setObjectName(QStringLiteral("MainToolBar"));
    bar->setMovable(false);
    bar->setIconSize(QSize(24, 24));
    bar->addAction(saveCommand_);
    bar->addSeparator();
    toolActionsEnd_ = bar->addSeparator();
    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);

    lastNumberLabel_ = new QLabel;
    lastNumberLabel_->setObjectName(QStringLiteral("LastNumberLabel"));
    QFont bold = lastNumberLabel_->font();
    bold.setBold(true);
    lastNumberLabel_->setFont(bold);
    lastNumberLabel_->setContentsMargins(0, 0, 6, 0);
    // Widgets on a toolbar show and hide through their actions.
    lastNumberLabelAction_ = bar->addWidget(lastNumberLabel_);
    lastNumberLabelAction_->setVisible(false);

    lastNumberButton_ = new QToolButton;
    lastNumberButton_->setObjectName(QStringLiteral("LastNumberButton"));
    lastNumberButton_->setIcon(buttonIcon(ButtonPicture::LastIncoming));
    connect(lastNumberButton_, &QToolButton::clicked, this, &TMainForm::dialLastNumber);
    lastNumberAction_ = bar->addWidget(lastNumberButton_);
    lastNumberAction_->setVisible(false);

    connectionButton_ = new QToolButton;
    connectionButton_->setObjectName(QStringLiteral("ConnectionButton"));
    connectionButton_->setIcon(buttonIcon(ButtonPicture::Connection));
    connect(connectionButton_, &QToolButton::clicked, this, &TMainForm::showConnectionHint);
    bar->addWidget(connectionButton_);
}

void TMainForm::restoreBounds() {
    QRect bounds(ini_.ReadInteger(kCommon, QStringLiteral("Left"), kDesignedLeft),
                 ini_.ReadInteger(kCommon, QStringLiteral("Top"), kDesignedTop),
                 ini_.ReadInteger(kCommon, QStringLiteral("Width"), kDesignedWidth),
                 ini_.ReadInteger(kCommon, QStringLiteral("Height"), kDesignedHeight));
    bounds.setWidth(std::max(bounds.width(), minimumWidth()));
    bounds.setHeight(std::max(bounds.height(), minimumHeight()));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        bounds = fitToScreen(bounds, screen->availableGeometry());
    setGeometry(bounds);
}

QRect TMainForm::boundsToWrite() const {
    QRect bounds = isMinimized() || isMaximized() ? normalGeometry() : geometry();
    if (!bounds.isValid())
        bounds = geometry();
    // The debug window's room goes back to the main window.
    bounds.setLeft(bounds.left() - debugRoom_);
    return bounds;
}

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

// --- recent projects ---

void TMainForm::AddRecentProject(const QString& path) {
    recordRecentProject(ini_, path);
    refreshRecentMenu();
}

QList<QAction*> TMainForm::RecentCommands() const {
    return recentCommands_;
}

void TMainForm::refreshRecentMenu() {
    const QStringList entries = recentMenuEntries(ini_);
    bool any = false;
    for (int i = 0; i < recentCommands_.size(); ++i) {
        const QString path = entries.value(i);
        QAction* command = recentCommands_[i];
        command->setText(QStringLiteral("&%1 %2").arg(i).arg(path));
        command->setData(path);
        command->setVisible(!path.isEmpty());
        // Opening a project needs the project module.
        command->setEnabled(receivers(SIGNAL(recentProjectChosen(QString))) > 0);
        any = any || !path.isEmpty();
    }
    recentSeparator_->setVisible(any);
}

// --- second instance ---

bool TMainForm::event(QEvent* event) {
    if (event->type() == kInstanceMessageEvent) {
        secondInstanceArrived(static_cast<InstanceMessageEvent*>(event)->message());
        return true;
    }
    if (handleLinkEvent(event))
        return true;
    return QMainWindow::event(event);
}

void TMainForm::bringToFront() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

// Another start of zel has handed over its message: come forward, open the project it names,
// and finish a start that was hidden.
void TMainForm::secondInstanceArrived(const QByteArray& message) {
    if (state_.startHidden)
        restoreFromTray();
    if (state_.testConnectMode) {
        if (testConnectForm_) {
            testConnectForm_->raise();
            testConnectForm_->activateWindow();
        }
        return;
    }
    if (isVisible())
        bringToFront();
    const QString text = QFile::decodeName(message);
    if (isExistingProjectFile(text))
        emit projectOpenRequested(text);
    if (!state_.startupDone) {
        if (state_.toolMode)
            show();
        runStartupOpening(QString());
    }
}

// --- help ---

void TMainForm::showAbout() {
    QMessageBox::about(this, QStringLiteral("О программе"),
                       QStringLiteral("Telmira, версия %1\n%2\n\nПрограмма для телефонов "
                                      "Корвел с определителем номера.")
                           .arg(QStringLiteral(TELMIRA_VERSION), QStringLiteral(TELMIRA_MAKER)));
}

void TMainForm::showHelp() {
    const QString page = state_.workDir + QStringLiteral("help/About.html");
    if (!QFileInfo(page).isFile() || !QDesktopServices::openUrl(QUrl::fromLocalFile(page))) {
        auto* box =
            new QMessageBox(QMessageBox::Information, QStringLiteral(" Справка"),
                            QStringLiteral("Справка не найдена: ") + page, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
}

} // namespace telmira
