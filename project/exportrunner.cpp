#include "project/exportrunner.h"

#include <QThread>

namespace telmira {

ExportRunner::ExportRunner(ExportJob job, QObject* parent)
    : QObject(parent), job_(std::move(job)) {}

ExportRunner::~ExportRunner() {
    if (thread_) {
        thread_->wait();
        delete thread_;
    }
}

void ExportRunner::Start() {
    if (running_ || thread_)
        return;
    running_ = true;
    // The destructor waits for the thread, so `this` outlives it; queued calls to an object
    // that is gone are dropped.
    thread_ = QThread::create([this] {
        rom::ExportReport report;
        report.setListener([this](const rom::ExportReport& current) {
            QStringList lines;
            for (const std::string& line : current.lines())
                lines << QString::fromStdString(line);
            QMetaObject::invokeMethod(
                this,
                [this, lines] {
                    lines_ = lines;
                    emit reportChanged(lines);
                },
                Qt::QueuedConnection);
        });
        const ExportControl control{[this] { return cancelled_.load(); }, {}};
        const bool ok = RunExportDriver(job_, report, control);
        QMetaObject::invokeMethod(
            this,
            [this, ok] {
                running_ = false;
                emit finished(ok);
            },
            Qt::QueuedConnection);
    });
    thread_->start();
}

} // namespace telmira
