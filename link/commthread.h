#pragma once

#include "link/linkevents.h"
#include "link/linkline.h"
#include "link/linkshared.h"
#include "link/portsetting.h"

#include <QThread>

#include <functional>
#include <memory>

class QObject;

namespace telmira::link {

// The link thread: owns the serial port for the whole run (the port is created inside the
// thread that uses it), runs one poll cycle per wake-up and posts what it learns to the
// receiver (the main window) as events 1109-1120. The window thread talks to it only through
// link() (queue, flags, status) and Wake()/StopLink().
class TCommThread final : public QThread {
public:
    // Makes the environment inside the link thread; the default opens QSerialPorts.
    using EnvironmentFactory = std::function<std::unique_ptr<LinkEnvironment>()>;

    // Creates the thread for the `Common.ComPort` setting and starts it; `prepare` (when given)
    // sets flags such as test-connect mode or the debug window's trace before the first cycle.
    // When the thread cannot be created, a trace text tells (event 1110) and the object stays
    // idle.
    static std::unique_ptr<TCommThread>
    StartLink(const QString& portSetting, QObject* receiver, EnvironmentFactory factory = nullptr,
              const std::function<void(LinkShared&)>& prepare = nullptr);
    ~TCommThread() override;

    LinkShared& link() { return shared_; }
    const LinkShared& link() const { return shared_; }

    // The poll timer's tick: runs the next cycle when the thread waits for it.
    void Wake() { shared_.Wake(); }
    // Sets the stop request, lets pending events run while waiting for the thread, and closes
    // the port (inside the thread). Safe to call twice.
    void StopLink();
    // The settings dialog's port choice; a fixed port declares the link lost at once, so the
    // next cycle probes it.
    void SetPortSetting(const QString& portSetting);
    // The poll timer's interval after a tick: 1000 ms while the phone is in a call state (and
    // reports a feature level) and the interactive layout mode is off, else 100 ms.
    int PollInterval() const;

protected:
    void run() override;

private:
    TCommThread(QObject* receiver, EnvironmentFactory factory);

    LinkShared shared_;
    EnvironmentFactory factory_;
    PostingSink sink_;
};

} // namespace telmira::link
