#pragma once

#include "link/linkevents.h"
#include "link/linkline.h"
#include "link/protocol.h"

#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QMap>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Test doubles of the link's surroundings: a clock that moves only when the link waits, a
// scripted phone on a QIODevice that records every frame written and serves queued answers,
// an environment with named ports, and a sink that keeps the posted events.
namespace telmira::link::test {

class FakeClock : public LinkClock {
public:
    qint64 tickMs() override { return tick_; }
    QDateTime now() override { return start_.addMSecs(tick_ - kStartTick); }
    void advance(qint64 ms) { tick_ += ms; }
    void setNow(const QDateTime& now) {
        start_ = now;
        tick_ = kStartTick;
    }

private:
    static constexpr qint64 kStartTick = 1000000;
    qint64 tick_ = kStartTick;
    QDateTime start_{QDate(2026, 3, 14), QTime(15, 9, 26, 530)};
};

// The phone behind the adapter: the echo of every frame comes back at once, then the answer.
// Answers are taken from the script queue first, then from the responder; no answer is
// silence. Waiting for data that never comes moves the clock by the time waited.
class ScriptedDevice : public QIODevice {
public:
    using Responder = std::function<std::optional<QByteArray>(const QByteArray& frame)>;

    explicit ScriptedDevice(FakeClock& clock);

    void answer(const QByteArray& bytes) { script_.push_back(bytes); }
    void answerReply(std::uint8_t status, const ItemList& items = {});
    void answerSilence() { script_.push_back(std::nullopt); }
    void setResponder(Responder responder) { responder_ = std::move(responder); }
    void setEcho(bool echo) { echo_ = echo; }
    // Reads fail once the device has delivered this many more bytes (-1: never).
    void failReadsAfter(int bytes) { readBudget_ = bytes; }
    void failWrites(bool fail) { failWrites_ = fail; }
    // Bytes that arrive unasked (they must be purged before the next write).
    void inject(const QByteArray& bytes) { pending_ += bytes; }

    // Every frame written, in order.
    QList<QByteArray> written;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    bool waitForReadyRead(int msecs) override;
    bool waitForBytesWritten(int) override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    FakeClock& clock_;
    QByteArray pending_;
    std::deque<std::optional<QByteArray>> script_;
    Responder responder_;
    bool echo_ = true;
    int readBudget_ = -1;
    bool failWrites_ = false;
};

// A reply frame as the phone sends it.
QByteArray replyFrame(std::uint8_t status, const ItemList& items = {});
// The phone's answer to the probe: item 1 with the model byte and the feature level.
QByteArray probeReply(std::uint8_t modelByte = 0x82, std::uint8_t featureLevel = 2);
// An idle-poll answer with the two status events (Status1 as the link keeps it).
QByteArray statusReply(std::uint8_t status0, std::uint8_t status1, const ItemList& more = {});

class FakeEnvironment : public LinkEnvironment {
public:
    FakeClock clock_;
    QStringList ports;
    // Devices by port name; a name without a device cannot be opened.
    std::map<QString, std::unique_ptr<ScriptedDevice>> devices;
    int opened = 0;

    ScriptedDevice& addPort(const QString& name);
    QStringList listPorts(const QString& configuredPort) override;
    Opened openPort(const QString& portName) override;
    LinkClock& clock() override { return clock_; }
};

class RecordingSink : public LinkSink {
public:
    struct Posted {
        int type;
        QByteArray buffer;
        QString text;
        int cursor = -1;
    };
    std::vector<Posted> events;

    void post(std::unique_ptr<QEvent> event) override;
    std::vector<QByteArray> replies() const;
    std::vector<QString> texts(int type) const;
    int count(int type) const;
    void clear() { events.clear(); }
};

} // namespace telmira::link::test
