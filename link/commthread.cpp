#include "link/commthread.h"

#include "link/linkengine.h"
#include "link/protocol.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace telmira::link {

TCommThread::TCommThread(QObject* receiver, EnvironmentFactory factory)
    : factory_(factory ? std::move(factory)
                       : EnvironmentFactory([] { return std::make_unique<SerialEnvironment>(); })),
      sink_(receiver) {}

std::unique_ptr<TCommThread>
TCommThread::StartLink(const QString& portSetting, QObject* receiver, EnvironmentFactory factory,
                       const std::function<void(LinkShared&)>& prepare) {
    std::unique_ptr<TCommThread> thread(new TCommThread(receiver, std::move(factory)));
    const PortSetting setting = ResolvePortSetting(portSetting);
    thread->shared_.SetPortSetting(setting.portName, setting.automaticSearch);
    if (prepare)
        prepare(thread->shared_);
    thread->start();
    if (!thread->isRunning() && !thread->isFinished())
        thread->sink_.post(std::make_unique<TextEvent>(
            kTraceEvent, QStringLiteral("Thread creation error") + QStringLiteral("\r\n") +
                             QStringLiteral("При создании потока Com-порта")));
    return thread;
}

TCommThread::~TCommThread() {
    StopLink();
}

void TCommThread::run() {
    std::unique_ptr<LinkEnvironment> environment = factory_();
    LinkEngine engine(shared_, *environment, sink_);
    while (!shared_.StopRequested()) {
        engine.RunCycle();
        if (!shared_.WaitForWake())
            break;
    }
    engine.ClosePort();
}

void TCommThread::StopLink() {
    shared_.RequestStop();
    const bool pump = QCoreApplication::instance() &&
                      QThread::currentThread() == QCoreApplication::instance()->thread();
    while (!wait(QDeadlineTimer(1))) {
        if (pump)
            QCoreApplication::processEvents();
    }
}

void TCommThread::SetPortSetting(const QString& portSetting) {
    const PortSetting setting = ResolvePortSetting(portSetting);
    shared_.SetPortSetting(setting.portName, setting.automaticSearch);
    if (!setting.automaticSearch)
        shared_.linkDownRequest = true;
}

int TCommThread::PollInterval() const {
    const bool inCall = (shared_.status1.load() & (FL_TUBE | FL_HFREE | FL_560)) != 0;
    return inCall && shared_.featureLevel.load() != 0 && !shared_.matrixInteractive.load() ? 1000
                                                                                           : 100;
}

} // namespace telmira::link
