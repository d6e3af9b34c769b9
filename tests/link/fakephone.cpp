#include "tests/link/fakephone.h"

#include <algorithm>

namespace telmira::link::test {

ScriptedDevice::ScriptedDevice(FakeClock& clock) : clock_(clock) {
    open(QIODevice::ReadWrite);
}

void ScriptedDevice::answerReply(std::uint8_t status, const ItemList& items) {
    answer(replyFrame(status, items));
}

qint64 ScriptedDevice::bytesAvailable() const {
    return pending_.size() + QIODevice::bytesAvailable();
}

bool ScriptedDevice::waitForReadyRead(int msecs) {
    if (!pending_.isEmpty())
        return true;
    clock_.advance(msecs);
    return false;
}

qint64 ScriptedDevice::readData(char* data, qint64 maxSize) {
    if (readBudget_ == 0) {
        setErrorString(QStringLiteral("Input/output error"));
        return -1;
    }
    qint64 n = std::min<qint64>(maxSize, pending_.size());
    if (readBudget_ > 0)
        n = std::min<qint64>(n, readBudget_);
    std::copy_n(pending_.constData(), n, data);
    pending_.remove(0, n);
    if (readBudget_ > 0)
        readBudget_ -= static_cast<int>(n);
    return n;
}

qint64 ScriptedDevice::writeData(const char* data, qint64 size) {
    if (failWrites_) {
        setErrorString(QStringLiteral("Broken pipe"));
        return -1;
    }
    const QByteArray frame(data, size);
    written.append(frame);
    if (echo_)
        pending_ += frame;
    std::optional<QByteArray> reply;
    if (!script_.empty()) {
        reply = script_.front();
        script_.pop_front();
    } else if (responder_) {
        reply = responder_(frame);
    }
    if (reply)
        pending_ += *reply;
    return size;
}

QByteArray replyFrame(std::uint8_t status, const ItemList& items) {
    return *encodeReplyFrame(status, encodeItems(items));
}

QByteArray probeReply(std::uint8_t modelByte, std::uint8_t featureLevel) {
    QByteArray data;
    data.append(static_cast<char>(modelByte));
    data.append(static_cast<char>(featureLevel));
    return replyFrame(kStatusData, {Item{kItemProbe, data}});
}

QByteArray statusReply(std::uint8_t status0, std::uint8_t status1, const ItemList& more) {
    ItemList items = more;
    items.append(Item{kItemStatus1, QByteArray(1, char(status1 ^ 0x80))});
    items.append(Item{kItemStatus0, QByteArray(1, char(status0))});
    return replyFrame(kStatusData, items);
}

ScriptedDevice& FakeEnvironment::addPort(const QString& name) {
    ports << name;
    devices[name] = std::make_unique<ScriptedDevice>(clock_);
    return *devices[name];
}

QStringList FakeEnvironment::listPorts(const QString&) {
    return ports;
}

LinkEnvironment::Opened FakeEnvironment::openPort(const QString& portName) {
    Opened result;
    auto it = devices.find(portName);
    if (it == devices.end()) {
        result.error = QStringLiteral("No such file or directory");
        return result;
    }
    ++opened;
    result.line = std::make_unique<DeviceLine>(*it->second, clock_);
    return result;
}

void RecordingSink::post(std::unique_ptr<QEvent> event) {
    Posted p{static_cast<int>(event->type()), {}, {}};
    if (auto* reply = dynamic_cast<ReplyEvent*>(event.get()))
        p.buffer = reply->buffer();
    if (auto* text = dynamic_cast<TextEvent*>(event.get()))
        p.text = text->text();
    if (auto* cursor = dynamic_cast<CursorEvent*>(event.get()))
        p.cursor = cursor->cursor();
    events.push_back(p);
}

std::vector<QByteArray> RecordingSink::replies() const {
    std::vector<QByteArray> out;
    for (const Posted& p : events)
        if (p.type == kReplyEvent)
            out.push_back(p.buffer);
    return out;
}

std::vector<QString> RecordingSink::texts(int type) const {
    std::vector<QString> out;
    for (const Posted& p : events)
        if (p.type == type)
            out.push_back(p.text);
    return out;
}

int RecordingSink::count(int type) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(),
                                          [type](const Posted& p) { return p.type == type; }));
}

} // namespace telmira::link::test
