#pragma once

#include "project/exportdriver.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>

class QThread;

// Runs the export driver in a worker thread so the window thread never waits on the archiver
// or the compiler. Report lines come back as queued signals; cancelling takes effect at the
// driver's cancel points (a running child process is always waited for).
namespace telmira {

class ExportRunner : public QObject {
    Q_OBJECT
public:
    explicit ExportRunner(ExportJob job, QObject* parent = nullptr);
    // Waits for a running export to end.
    ~ExportRunner() override;

    void Start();
    void Cancel() { cancelled_ = true; }
    bool IsRunning() const { return running_; }
    bool IsCancelled() const { return cancelled_; }
    // The report as far as it has arrived in this thread, in its stored form.
    const QStringList& Lines() const { return lines_; }

signals:
    void reportChanged(const QStringList& lines);
    void finished(bool ok);

private:
    ExportJob job_;
    std::atomic<bool> cancelled_{false};
    bool running_ = false;
    QStringList lines_;
    QThread* thread_ = nullptr;
};

} // namespace telmira
