#include "gui/frame/normalrun.h"

#include "contacts/codedirectory.h"
#include "frame/settings.h"
#include "frame/singleinstance.h"
#include "gui/frame/mainform.h"
#include "link/commthread.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace telmira {

NormalRun::NormalRun(QString workDir, QStringList arguments, MainWindowServices services,
                     DataModuleFactory openDataModule)
    : workDir_(std::move(workDir)), arguments_(std::move(arguments)),
      services_(std::move(services)), openDataModule_(std::move(openDataModule)) {}

NormalRun::~NormalRun() {
    // The window (and with it the link) goes before the data module and the settings file.
    mainForm_.reset();
    dataModule_.reset();
}

void NormalRun::Start(InstanceServer* channel) {
    // A project named relative to the folder zel was started from, before that changes.
    QString first = arguments_.value(0);
    if (isExistingProjectFile(first))
        first = QFileInfo(first).absoluteFilePath();
    // The local channel already makes this instance the only one: no application mutex.
    QDir::setCurrent(workDir_);
    ini_ = std::make_unique<TMyIniFile>(workDir_ + QStringLiteral("zel.ini"));
    state_.workDir = workDir_;
    readStartSettings(*ini_, state_);
    // The phone panel is not part of this build: phone mode runs with the tool window.
    state_.toolMode = true;

    if (!services_.codes)
        services_.codes =
            std::make_shared<contacts::TCodeDirectory>(workDir_ + QStringLiteral("codes.voc"));
    const QStringList countryList = services_.codes->CountryList();
    mainForm_ = std::make_unique<TMainForm>(state_, *ini_, services_);
    TMainForm& form = *mainForm_;
    if (showMainWindowAtCreation(state_))
        form.show();
    if (channel)
        channel->setReceiver(&form);
    QObject::connect(&form, &TMainForm::closed, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    readRunSettings(*ini_, state_);
    if (state_.debug)
        form.ShowDebugWindow(true);
    QApplication::setQuitOnLastWindowClosed(false);
    if (state_.testConnectMode)
        form.ShowTestConnect();
    else
        QGuiApplication::setApplicationDisplayName(QStringLiteral("Telmira"));

    // The database tables (contacts subsystem) open here once that module is part of the build.
    if (openDataModule_) {
        QString error;
        dataModule_ = openDataModule_(state_, &error);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "zel: %s\n", error.toLocal8Bit().constData());
            form.ShowError(error);
        }
    }

    const bool testConnect = state_.testConnectMode;
    const bool clock = state_.clockSynchronize;
    const bool trace = form.DebugForm() != nullptr;
    form.AttachLink(
        link::TCommThread::StartLink(state_.comPort, &form, nullptr, [=](link::LinkShared& shared) {
            shared.testConnectMode = testConnect;
            shared.traceWindowOpen = trace;
            shared.clockSynchronize = clock;
        }));
    if (testConnect)
        return;

    form.ModeSwitchCommand()->setVisible(state_.modeSwitchable);
    state_.home = readHomeArea(*ini_, countryList);
    state_.startHidden = startsHidden(state_.minimizeToTrayAtStartup, first);
    if (state_.startHidden) {
        form.hideToTray();
    } else {
        const bool project = isExistingProjectFile(first);
        if (project)
            state_.toolMode = true;
        form.runStartupOpening(project ? first : QString());
    }
}

int NormalRun::Exec() {
    if (mainForm_)
        closeMainWindowOnSignals(*mainForm_);
    QApplication::exec();
    return 0;
}

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

void closeMainWindowOnSignals(TMainForm& mainForm) {
    static QPointer<TMainForm> target;
    target = &mainForm;
    if (signalPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        if (target)
            target->CloseApplication();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace telmira
