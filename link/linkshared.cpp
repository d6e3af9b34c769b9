#include "link/linkshared.h"

namespace telmira::link {

bool LinkShared::AppendCommand(const CommandRecord& record) {
    const std::optional<QString> text = commandRecordText(record);
    if (!text)
        return false;
    AppendRecord(*text);
    return true;
}

void LinkShared::AppendRecord(const QString& record) {
    QMutexLocker lock(&mutex_);
    queue_.append(record);
}

int LinkShared::Count() const {
    QMutexLocker lock(&mutex_);
    return static_cast<int>(queue_.size());
}

QStringList LinkShared::Records() const {
    QMutexLocker lock(&mutex_);
    return queue_;
}

bool LinkShared::RemoveRecord(int index, const QString& record) {
    QMutexLocker lock(&mutex_);
    if (index >= 0 && index < queue_.size() && queue_.at(index) == record) {
        queue_.removeAt(index);
        return true;
    }
    const qsizetype at = queue_.indexOf(record);
    if (at < 0)
        return false;
    queue_.removeAt(at);
    return true;
}

void LinkShared::ClearQueue() {
    QMutexLocker lock(&mutex_);
    queue_.clear();
}

void LinkShared::SetPortSetting(const QString& portName, bool automaticSearch) {
    QMutexLocker lock(&mutex_);
    if (!automaticSearch)
        portName_ = portName;
    automaticSearch_ = automaticSearch;
}

QString LinkShared::PortName() const {
    QMutexLocker lock(&mutex_);
    return portName_;
}

bool LinkShared::AutomaticSearch() const {
    QMutexLocker lock(&mutex_);
    return automaticSearch_;
}

void LinkShared::SetSearchedPort(const QString& portName) {
    QMutexLocker lock(&mutex_);
    portName_ = portName;
}

void LinkShared::RequestStop() {
    QMutexLocker lock(&mutex_);
    stop_ = true;
    wake_.wakeAll();
}

bool LinkShared::StopRequested() const {
    QMutexLocker lock(&mutex_);
    return stop_;
}

void LinkShared::Wake() {
    QMutexLocker lock(&mutex_);
    if (waiting_) {
        woken_ = true;
        wake_.wakeAll();
    }
}

bool LinkShared::WaitForWake() {
    QMutexLocker lock(&mutex_);
    waiting_ = true;
    woken_ = false;
    while (!stop_ && !woken_)
        wake_.wait(&mutex_);
    waiting_ = false;
    return !stop_;
}

} // namespace telmira::link
