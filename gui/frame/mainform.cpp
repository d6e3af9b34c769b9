// The main window: construction, menus, toolbar, the tool table and the start-up opening.
#include "gui/frame/mainform.h"

#include "base/version.h"
#include "contacts/codedirectory.h"
#include "frame/recentprojects.h"
#include "frame/settings.h"
#include "frame/singleinstance.h"
#include "frame/startup.h"
#include "frame/tooltable.h"
#include "gui/frame/pictures.h"
#include "gui/frame/traycontrol.h"
#include "gui/link/debugform.h"
#include "gui/link/testconnect.h"
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
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace telmira {
namespace {

const QString kCommon = QStringLiteral("Common");

// The designed bounds, used until zel.ini holds the window's own.
constexpr int kDesignedLeft = 290, kDesignedTop = 60, kDesignedWidth = 860, kDesignedHeight = 620;
// No screen reaches this far; stored bounds beyond it are damaged.
constexpr int kFarBound = 1 << 20;

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
    // The link posts to this window: it stops first. The tools (and the debug window) hold its
    // shared state and may still queue on their way out, so the thread object goes after them.
    // The tools go before the tab control.
    if (thread_)
        thread_->StopLink();
    destroyAllTools();
    delete debugForm_.data();
    delete testConnectForm_.data();
    thread_.reset();
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
    // zel.ini may hold anything: values far beyond any screen are cut before the rectangle's
    // edges are computed (they would overflow), then the window is fitted to the screen.
    const auto read = [this](const char* key, int def, int low) {
        return std::clamp(ini_.ReadInteger(kCommon, QLatin1String(key), def), low, kFarBound);
    };
    QRect bounds(read("Left", kDesignedLeft, -kFarBound), read("Top", kDesignedTop, -kFarBound),
                 read("Width", kDesignedWidth, minimumWidth()),
                 read("Height", kDesignedHeight, minimumHeight()));
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
        // Once the close sequence runs, a later start's hand-over would bring the window and its
        // tools back (and write their keys) behind the written settings: it is dropped.
        if (!closing_ && !closed_)
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
