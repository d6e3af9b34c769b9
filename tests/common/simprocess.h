#pragma once

#include "link/commthread.h"
#include "link/linkevents.h"
#include "tests/common/application.h"

#include <QObject>
#include <QProcess>
#include <QStringList>

#include <functional>
#include <vector>

// Helpers of the integration tests: the phone simulator as a child process, a receiver that
// keeps what the link thread posts, and a bounded event loop that plays the poll timer.
namespace telmira::link::test {

class Simulator {
public:
    // Starts tools/phonesim with `arguments` (plus --log) and reads the terminal's path.
    explicit Simulator(const QStringList& arguments);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool started() const { return !path_.isEmpty(); }
    const QString& path() const { return path_; }
    // Sends one order and waits for its answer line; returns the answer ("OK ...").
    QString order(const QString& line);
    // The command frames the simulator received so far, as "CMD cc pp pp..." lines.
    QStringList commands();
    void stop();

private:
    void readLines(int waitMs);
    QProcess process_;
    QString path_;
    QStringList commands_;
    QStringList answers_;
};

// The main window's stand-in: keeps every event the link posts.
class Collector : public QObject {
public:
    struct Posted {
        int type;
        QByteArray buffer;
        QString text;
    };
    std::vector<Posted> events;

    bool event(QEvent* event) override;
    std::vector<QByteArray> replies() const;
    QStringList traces() const;
    int count(int type) const;
};

// Runs the event loop, waking the link every 10 ms as the poll timer does, until `done` holds
// or `timeoutMs` passed. Returns whether `done` held.
bool waitUntil(TCommThread& thread, const std::function<bool()>& done, int timeoutMs);

} // namespace telmira::link::test
