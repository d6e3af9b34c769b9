#include "gui/frame/mainform.h"

#include "base/version.h"
#include "contacts/codedirectory.h"
#include "frame/debugtrace.h"
#include "frame/settings.h"
#include "frame/singleinstance.h"
#include "frame/startup.h"
#include "frame/tooltable.h"
#include "frame/zelsettings.h"
#include "gui/frame/pictures.h"
#include "gui/frame/settingsdialog.h"
#include "gui/frame/traycontrol.h"
#include "gui/link/debugform.h"
#include "gui/link/testconnect.h"
#include "link/catalogue.h"
#include "link/commthread.h"

#include <QAction>
#include <QCloseEvent>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace telmira {
namespace {

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
    if (!services_.codes)
        services_.codes = std::make_shared<contacts::TCodeDirectory>(state_.workDir +
                                                                     QStringLiteral("codes.voc"));

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    pages_ = new QTabWidget;
    pages_->setObjectName(QStringLiteral("ToolPages"));
    pages_->setMovable(false);
    pages_->hide();
    auto* face = new QLabel(QStringLiteral("Telmira\n\nИнструменты открываются в меню "
                                           "«Инструменты»"));
    face->setAlignment(Qt::AlignCenter);
    face->setStyleSheet(QStringLiteral("color: #6a7a8a; font-size: 15px;"));
    emptyFace_ = face;
    layout->addWidget(pages_);
    layout->addWidget(emptyFace_);
    setCentralWidget(central);

    buildMenus();
    buildToolbar();
    buildTray();
    restoreBounds();

    // Suspend and resume: logind's PrepareForSleep, where a system bus exists.
    QDBusConnection::systemBus().connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(prepareForSleep(bool)));

    bridge_->RefreshLinkState();
    for (const auto& install : services_.installers)
        if (install)
            install(*this);
    refreshRecentMenu();
}

TMainForm::~TMainForm() {
    // The link posts to this window: it stops first. The tools (and the debug window) hold its
    // shared state and may still queue on their way out, so the thread object goes after them.
    // The tools go before the tab control.
    bridge_->StopLink();
    tools_.reset();
    delete debugForm_.data();
    delete testConnectForm_.data();
    bridge_.reset();
}

void TMainForm::buildMenus() {
    fileMenu_ = menuBar()->addMenu(QStringLiteral("Файл"));
    // The project commands wait for the project module to take them.
    const auto projectCommand = [this](ProjectCommand kind, const QIcon& icon,
                                       const QString& caption, const char* name,
                                       const QKeySequence& keys) {
        auto* command = new QAction(icon, caption, this);
        command->setObjectName(QLatin1String(name));
        command->setShortcut(keys);
        command->setEnabled(false);
        command->setStatusTip(notInThisBuild());
        projectCommands_[static_cast<int>(kind)] = command;
        return command;
    };
    QStyle* look = style();
    fileMenu_->addAction(projectCommand(ProjectCommand::New, QIcon(),
                                        QStringLiteral("Новый проект..."), "MenuNewProject",
                                        QKeySequence(Qt::CTRL | Qt::Key_N)));
    QAction* open = projectCommand(
        ProjectCommand::Open, look->standardIcon(QStyle::SP_DialogOpenButton),
        QStringLiteral("Открыть проект..."), "MenuOpen", QKeySequence(Qt::CTRL | Qt::Key_L));
    open->setToolTip(QStringLiteral("Открыть проект"));
    fileMenu_->addAction(open);
    saveCommand_ = new QAction(buttonIcon(ButtonPicture::Save), QStringLiteral("Сохранить"), this);
    saveCommand_->setObjectName(QStringLiteral("MenuSave"));
    saveCommand_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    saveCommand_->setToolTip(shortHint(QStringLiteral("Сохранить проект|")));
    saveCommand_->setEnabled(false);
    connect(saveCommand_, &QAction::triggered, this, [this] {
        if (!tools_->SaveActiveTool())
            emit projectSaveRequested();
    });
    fileMenu_->addAction(saveCommand_);
    fileMenu_->addAction(projectCommand(ProjectCommand::SaveAs, QIcon(),
                                        QStringLiteral("Сохранить проект как..."), "MenuSaveAs",
                                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)));
    recentSeparator_ = fileMenu_->addSeparator();
    for (int i = 0; i < kRecentMenuEntries; ++i) {
        QAction* command = fileMenu_->addAction(QString());
        command->setObjectName(QStringLiteral("Recent%1").arg(i));
        command->setVisible(false);
        connect(command, &QAction::triggered, this,
                [this, command] { emit recentProjectChosen(command->data().toString()); });
        recentCommands_ << command;
    }
    fileMenu_->addSeparator();
    QAction* changeVersion = projectCommand(
        ProjectCommand::ChangeVersion, look->standardIcon(QStyle::SP_BrowserReload),
        QStringLiteral("Сменить версию телефона"), "ChangeDefFileMenuItem", QKeySequence());
    changeVersion->setToolTip(QStringLiteral("Сменить версию телефона"));
    fileMenu_->addAction(changeVersion);
    QAction* exportRom = projectCommand(
        ProjectCommand::Export, look->standardIcon(QStyle::SP_ArrowForward),
        QStringLiteral("Экспорт проекта в ПЗУ..."), "MenuExport", QKeySequence(Qt::Key_F5));
    exportRom->setToolTip(QStringLiteral("Экспорт проекта в ПЗУ"));
    fileMenu_->addAction(exportRom);
    fileMenu_->addSeparator();
    QAction* toTray = fileMenu_->addAction(QStringLiteral("Свернуть в трей"));
    connect(toTray, &QAction::triggered, this, &TMainForm::hideToTray);
    QAction* quit = fileMenu_->addAction(QStringLiteral("Закрыть Telmira"));
    connect(quit, &QAction::triggered, this, &TMainForm::CloseApplication);
    refreshRecentMenu();

    toolsMenu_ = menuBar()->addMenu(QStringLiteral("Инструменты"));
    toolCommandsEnd_ = toolsMenu_->addSeparator();
    modeSwitchCommand_ = toolsMenu_->addAction(QStringLiteral("Отображать в виде телефона"));
    // The phone panel is not part of this build: the command shows, but cannot switch.
    modeSwitchCommand_->setEnabled(false);
    modeSwitchCommand_->setStatusTip(notInThisBuild());
    modeSwitchCommand_->setVisible(state_.modeSwitchable);
    popupCommand_ = toolsMenu_->addAction(QStringLiteral("Открывать окно при звонке"));
    popupCommand_->setObjectName(QStringLiteral("ShowPopupWindowCommand"));
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
    toolBar_ = addToolBar(QStringLiteral("Панель инструментов"));
    toolBar_->setObjectName(QStringLiteral("MainToolBar"));
    toolBar_->setMovable(false);
    toolBar_->setIconSize(QSize(24, 24));
    // The toolbar's buttons are the File menu's commands; they carry the names a person reads.
    const auto button = [this](QAction* command, const char* name) {
        toolBar_->addAction(command);
        toolBar_->widgetForAction(command)->setObjectName(QLatin1String(name));
    };
    button(Command(ProjectCommand::Open), "OpenProjectButton");
    button(saveCommand_, "SaveProjectButton");
    button(Command(ProjectCommand::Export), "ExportButton");
    button(Command(ProjectCommand::ChangeVersion), "ChangeDefFileButton");
    toolBar_->addSeparator();
    toolActionsEnd_ = toolBar_->addSeparator();
    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar_->addWidget(spacer);

    TToolTabManager::Frame frame;
    frame.window = this;
    frame.menuBar = menuBar();
    frame.menusBefore = helpMenu_->menuAction();
    frame.toolsMenu = toolsMenu_;
    frame.commandsBefore = toolCommandsEnd_;
    frame.toolBar = toolBar_;
    frame.buttonsBefore = toolActionsEnd_;
    frame.saveCommand = saveCommand_;
    frame.pages = pages_;
    frame.emptyFace = emptyFace_;
    tools_ = std::make_unique<TToolTabManager>(*this, ini_, state_, services_.tools, frame);
    bridge_ = std::make_unique<TLinkBridge>(*this, ini_, state_, *tools_, services_, *toolBar_);
    connect(bridge_.get(), &TLinkBridge::traceReceived, this, &TMainForm::processDebugMessage);
    connect(bridge_.get(), &TLinkBridge::linkStateChanged, this, &TMainForm::linkStateChanged);
    connect(bridge_.get(), &TLinkBridge::newCallMarksClearRequested, this, [this] {
        emit newCallMarksClearRequested();
        SetNewCallsWaiting(false);
    });
}

void TMainForm::buildTray() {
    tray_ = new TTrayControl(this);
    tray_->SetLostCallsOnly(state_.lostCallsIsNew);
    tray_->PopupCommand()->setChecked(state_.showPopupWindow);
    connect(tray_, &TTrayControl::clicked, this, &TMainForm::TrayClicked);
    connect(tray_->RestoreCommand(), &QAction::triggered, this, &TMainForm::restoreFromTray);
    connect(tray_->NoteBookCommand(), &QAction::triggered, this, [this] {
        restoreFromTray();
        tools_->OpenTool(QStringLiteral("NoteBook"));
    });
    connect(tray_->ArchiveCommand(), &QAction::triggered, this, [this] {
        restoreFromTray();
        tools_->OpenTool(QStringLiteral("Archives"));
    });
    connect(tray_->ClearMarksCommand(), &QAction::triggered, this, [this] {
        emit newCallMarksClearRequested();
        SetNewCallsWaiting(false);
    });
    connect(tray_->PopupCommand(), &QAction::triggered, this, &TMainForm::SetShowPopupWindow);
    connect(tray_->CloseCommand(), &QAction::triggered, this, &TMainForm::CloseApplication);
    tray_->NoteBookCommand()->setEnabled(tools_->ToolAvailable(kToolNoteBook));
    tray_->ArchiveCommand()->setEnabled(tools_->ToolAvailable(kToolArchives));
}

void TMainForm::restoreBounds() {
    QRect bounds = readWindowBounds(
        ini_, QRect(kDesignedLeft, kDesignedTop, kDesignedWidth, kDesignedHeight), minimumSize());
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

// --- recent projects ---

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
        // Once the close sequence runs, a later start's hand-over would bring the window and its
        // tools back (and write their keys) behind the written settings: it is dropped.
        if (!closing_ && !closed_)
            secondInstanceArrived(static_cast<InstanceMessageEvent*>(event)->message());
        return true;
    }
    if (bridge_ && bridge_->HandleEvent(event))
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

// --- start-up opening ---

void TMainForm::runStartupOpening(const QString& project) {
    // A project named on the command line: it becomes the last project, and the windows it
    // records (layouts, variables; both when it records neither) open with the layouts first.
    if (!project.isEmpty())
        recordCommandLineProject(ini_, project);
    if (state_.toolMode) {
        tools_->OpenStartupTools();
        if (!state_.testConnectMode && !state_.startHidden)
            show();
    }
    if (!project.isEmpty()) {
        bringToFront();
        emit projectOpenRequested(project);
    }
    state_.startupDone = true;
}

// --- the link ---

void TMainForm::AttachLink(std::unique_ptr<link::TCommThread> thread) {
    bridge_->AttachLink(std::move(thread));
    if (link::LinkShared* shared = Link()) {
        shared->traceWindowOpen = static_cast<bool>(debugForm_);
        if (debugForm_)
            debugForm_->SetLink(shared);
    }
}

link::LinkShared* TMainForm::Link() const {
    return bridge_->Link();
}

void TMainForm::prepareForSleep(bool sleeping) {
    bridge_->Suspend(sleeping, !closing_ && !closed_);
}

void TMainForm::ShowError(const QString& text) {
    bridge_->ShowError(text);
}

// The link came up or was lost: the tray icon and the connection test follow it.
void TMainForm::linkStateChanged(bool connected, const QString& phone, const QString& port) {
    tray_->SetConnected(connected);
    if (state_.testConnectMode && testConnectForm_)
        testConnectForm_->SetLinkState(connected,
                                       link::TestConnectLinkText(connected, phone, port));
}

// Event 1110: trace text for the connection test and the debug window.
void TMainForm::processDebugMessage(const QString& text) {
    if (state_.testConnectMode && testConnectForm_ && traceKind(text) == TraceKind::Line)
        testConnectForm_->Trace(text);
    if (debugForm_)
        debugForm_->Trace(text);
}

// --- service windows ---

TForm12* TMainForm::DebugForm() const {
    return debugForm_.data();
}

void TMainForm::ShowDebugWindow(bool on) {
    if (debugForm_) {
        debugForm_->disconnect(this);
        delete debugForm_.data();
        debugFormClosed();
    }
    if (!on)
        return;
    debugForm_ = new TForm12(Link(), this);
    connect(debugForm_, &TForm12::closed, this, [this] {
        if (debugForm_)
            debugForm_->deleteLater();
        debugForm_ = nullptr;
        debugFormClosed();
    });
    if (link::LinkShared* shared = Link())
        shared->traceWindowOpen = true;
    // The debug window stands left of the main window; where the screen has no room for it
    // there, the main window gives it the room at its left edge.
    const QRect bounds = geometry();
    const QRect frame = frameGeometry();
    const QScreen* display = screen();
    const int spare = display ? frame.left() - display->availableGeometry().left() : 0;
    if (spare >= TForm12::kWidth) {
        debugRoom_ = 0;
        debugForm_->move(frame.left() - TForm12::kWidth - (frame.width() - bounds.width()),
                         bounds.top());
    } else {
        debugRoom_ = std::clamp(bounds.width() - minimumWidth(), 0, TForm12::kWidth);
        setGeometry(bounds.adjusted(debugRoom_, 0, 0, 0));
        debugForm_->move(bounds.left(), bounds.top());
    }
    debugForm_->show();
    if (isVisible())
        activateWindow();
}

// The debug window went: the link stops tracing and the main window takes its room back.
void TMainForm::debugFormClosed() {
    if (link::LinkShared* shared = Link())
        shared->traceWindowOpen = false;
    if (debugRoom_ > 0 && !closed_)
        setGeometry(geometry().adjusted(-debugRoom_, 0, 0, 0));
    debugRoom_ = 0;
}

void TMainForm::ShowTestConnect() {
    if (!testConnectForm_) {
        testConnectForm_ = new TForm15(*this);
        connect(testConnectForm_, &TForm15::closeRequested, this, &TMainForm::CloseApplication);
    }
    testConnectForm_->show();
    bridge_->RefreshLinkState();
}

void TMainForm::ShowSettingsDialog(bool firstTabOnly) {
    QWidget* owner = testConnectForm_ && testConnectForm_->isVisible()
                         ? static_cast<QWidget*>(testConnectForm_)
                         : static_cast<QWidget*>(this);
    TSettingsDialog dialog(ini_, state_, bridge_->LinkThread(), *services_.codes, firstTabOnly,
                           owner);
    if (dialog.exec() != QDialog::Accepted)
        return;
    popupCommand_->setChecked(state_.showPopupWindow);
    tray_->PopupCommand()->setChecked(state_.showPopupWindow);
    tray_->SetLostCallsOnly(state_.lostCallsIsNew);
}

// --- tray and close ---

void TMainForm::hideToTray() {
    if (state_.testConnectMode)
        return;
    if (state_.toolMode && isVisible())
        emit archiveSelectionClearRequested();
    state_.startHidden = true;
    if (TTrayControl::Available()) {
        tray_->Show();
        hide();
    } else {
        // No tray on this desktop: the window minimises and comes back from the taskbar.
        minimisedAsTray_ = true;
        showMinimized();
    }
}

void TMainForm::restoreFromTray() {
    tray_->Hide();
    minimisedAsTray_ = false;
    if (state_.toolMode) {
        bringToFront();
        if (!state_.startupDone)
            runStartupOpening(QString());
    }
    if (newCallsWaiting_) {
        tools_->OpenTool(QStringLiteral("Archives"));
        SetNewCallsWaiting(false);
    }
    state_.startHidden = false;
}

void TMainForm::TrayClicked(TrayClick click) {
    if (state_.startHidden && trayClickRestores(click, state_.singleClickRestore))
        restoreFromTray();
}

void TMainForm::SetNewCallsWaiting(bool waiting) {
    newCallsWaiting_ = waiting;
    tray_->SetNewCalls(waiting);
}

void TMainForm::SetShowPopupWindow(bool show) {
    state_.showPopupWindow = show;
    writeShowPopupWindow(ini_, show);
    popupCommand_->setChecked(show);
    tray_->PopupCommand()->setChecked(show);
}

void TMainForm::CloseApplication() {
    quitting_ = true;
    close();
    quitting_ = false;
}

Qt::KeyboardModifiers TMainForm::CloseModifiers() const {
    return QGuiApplication::queryKeyboardModifiers();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    // A second close while one runs is ignored.
    if (closing_) {
        event->ignore();
        return;
    }
    if (!quitting_) {
        const Qt::KeyboardModifiers held = CloseModifiers();
        switch (closeActionFor(state_.minimizeToTrayOnClose, state_.testConnectMode,
                               held.testFlag(Qt::ControlModifier),
                               held.testFlag(Qt::AltModifier))) {
        case CloseAction::HideToTrayWithoutPopups:
            SetShowPopupWindow(false);
            [[fallthrough]];
        case CloseAction::HideToTray:
            event->ignore();
            hideToTray();
            return;
        case CloseAction::Close:
            break;
        }
    }
    closing_ = true;
    const bool done = runCloseSequence();
    closing_ = false;
    if (!done) {
        event->ignore();
        return;
    }
    event->accept();
    emit closed();
}

// The close sequence: unsaved changes asked about, the link stopped, the tools closed with the
// active one remembered, the bounds written, the scratch folder emptied.
bool TMainForm::runCloseSequence() {
    for (const auto& query : closeQueries_) {
        if (!query()) {
            if (state_.startHidden)
                restoreFromTray();
            return false;
        }
    }
    if (!tools_->QueryClose()) {
        if (state_.startHidden)
            restoreFromTray();
        return false;
    }

    bridge_->StopLink();
    tools_->CloseAll();

    writeWindowBounds(ini_, boundsToWrite());
    writePopupPosition(ini_, state_.popupLeft, state_.popupTop);

    closed_ = true;
    emptyTempFolder();
    if (debugForm_) {
        debugForm_->disconnect(this);
        debugForm_->deleteLater();
        debugForm_ = nullptr;
        debugRoom_ = 0;
    }
    if (testConnectForm_) {
        testConnectForm_->disconnect(this);
        testConnectForm_->hide();
    }
    tray_->Hide();
    bridge_->SetCursorShape(0);
    return true;
}

// Every file of Media/Temp/ in the work directory goes.
void TMainForm::emptyTempFolder() {
    if (state_.workDir.isEmpty())
        return;
    QDir temp(state_.workDir + QStringLiteral("Media/Temp/"));
    if (!temp.exists())
        return;
    for (const QString& name : temp.entryList(QDir::Files | QDir::Hidden | QDir::System))
        temp.remove(name);
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        // Where no tray exists, restoring the minimised window from the taskbar is the restore.
        if (minimisedAsTray_ && !isMinimized() && isVisible())
            QTimer::singleShot(0, this, [this] {
                if (minimisedAsTray_ && !isMinimized())
                    restoreFromTray();
            });
        // The minimise command hides the window in the tray (not in test-connect mode, where the
        // window only minimises).
        else if (isMinimized() && !minimisedAsTray_ && !state_.testConnectMode && !closing_ &&
                 !closed_)
            QTimer::singleShot(0, this, [this] {
                if (isMinimized() && !minimisedAsTray_ && !state_.startHidden)
                    hideToTray();
            });
    } else if (event->type() == QEvent::ActivationChange && isActiveWindow() && !isMaximized()) {
        // On activation the window moves and shrinks to fit the screen.
        const QScreen* display = screen();
        if (!display)
            return;
        const QRect frame = frameGeometry();
        const QRect fitted = fitToScreen(frame, display->availableGeometry());
        if (fitted != frame) {
            const QRect client = geometry();
            setGeometry(QRect(client.left() + fitted.left() - frame.left(),
                              client.top() + fitted.top() - frame.top(),
                              client.width() + fitted.width() - frame.width(),
                              client.height() + fitted.height() - frame.height()));
        }
    }
}

void TMainForm::SetProjectChanged(bool changed) {
    tools_->SetProjectChanged(changed);
}

void TMainForm::AddCloseQuery(std::function<bool()> query) {
    if (query)
        closeQueries_.push_back(std::move(query));
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
