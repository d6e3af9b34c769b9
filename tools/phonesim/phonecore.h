#pragma once

#include "link/protocol.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <optional>

// The simulated phone: its state and its answer to every command the application sends.
// Time is passed in (milliseconds of a steady clock) so that the core runs the same under the
// pseudo-terminal loop and in tests.
namespace telmira::phonesim {

struct PhoneOptions {
    int model = 2; // low four bits of the probe's first byte
    bool answeringMachine = true;
    int featureLevel = 2; // second byte of the probe reply
    int phoneBookCapacity = 100;
    int eraseMs = 300;   // how long erasing the phone book takes
    int playMs = 400;    // how long playing a message takes
    int recordMs = 2000; // longest recording
};

struct CallRecord {
    QDateTime when;
    bool incoming = false;
    int seconds = 0; // 0: missed
    QString number;
    bool isNew = true;
};

struct Message {
    QDateTime when;
    int seconds = 0;
    QString number;
};

struct Alarm {
    QByteArray bytes; // d0..d4 of item 27 (hour, minute, mode bits, melody, days)
    QString number;
};

struct PhoneBookRecord {
    std::uint8_t marker = 0;
    std::uint8_t secondMarker = 0;
    QByteArray name; // display codes
    QString number;
};

struct Reply {
    std::uint8_t status = link::kStatusData;
    link::ItemList items;
};

class PhoneCore {
public:
    explicit PhoneCore(PhoneOptions options);

    // The phone's answer to one command frame at time `nowMs`.
    Reply handle(std::uint8_t command, const QByteArray& parameters, qint64 nowMs);
    // Lets time pass: ends erasing, playback and recordings that are due.
    void advance(qint64 nowMs);
    // The next time advance() has something to do, or none.
    std::optional<qint64> nextDeadline() const;

    // Orders from the control channel.
    void ring(const QString& number, qint64 nowMs);
    void dialOnPhone(const QString& number, qint64 nowMs);
    void liftHandset(qint64 nowMs);
    void hangUp(qint64 nowMs);
    void addArchive(bool incoming, const QString& number, int seconds);
    void addMessage(const QString& number, int seconds);
    void alarmGoesOff(const QString& text);
    void keyEvent(std::uint8_t linePair);
    void setStatus0(std::uint8_t value) { status0_ = value; }
    void setStatus1(std::uint8_t value) { status1_ = value; }
    void setVariablesChanged();

    std::uint8_t status0() const { return status0_; }
    std::uint8_t status1() const { return status1_; }
    QDateTime clock() const;
    const QList<PhoneBookRecord>& phoneBook() const { return phoneBook_; }
    const QList<CallRecord>& archive() const { return archive_; }
    const QList<Message>& messages() const { return messages_; }
    const QMap<int, Alarm>& alarms() const { return alarms_; }
    QByteArray settingsBlock(int type) const;
    // One line describing the state, for the "state" control command.
    QString describe() const;

private:
    Reply idlePoll(bool interactive);
    Reply readInParts(std::uint8_t command, std::uint8_t parameter, const link::ItemList& all,
                      bool phoneBook);
    Reply writeBlock(const QByteArray& parameters, qint64 nowMs);
    Reply answeringMachineService(std::uint8_t request);
    void setClockStep(std::uint8_t index, std::uint8_t value);
    void endCall(qint64 nowMs);
    void finishRecording(qint64 nowMs);
    link::ItemList archiveItems(bool onlyNew);
    link::ItemList messageItems() const;
    link::ItemList alarmItems() const;
    link::ItemList serviceCellItems() const;
    link::ItemList phoneBookItems() const;
    link::Item timeItem(int seconds) const;
    int freeSeconds() const;

    PhoneOptions options_;
    std::uint8_t status0_ = 0;
    std::uint8_t status1_ = 0;

    // Clock: offset of the phone's clock from the PC's, and the steps of a clock setting.
    qint64 clockOffsetMs_ = 0;
    QMap<int, int> clockSteps_;
    bool clockStarted_ = false;

    QList<CallRecord> archive_;
    QList<Message> messages_;
    int greetingSeconds_ = 12;
    int memorySeconds_ = 15 * 60;
    QList<PhoneBookRecord> phoneBook_;
    QMap<int, Alarm> alarms_;
    QStringList serviceCells_;
    QMap<int, QString> presetVariables_;
    QByteArray bytes2_;
    QByteArray bytes4_;
    QByteArray flags8_;

    // Reads answered in parts (feature level 0) or streamed over the idle polls.
    QMap<int, std::deque<link::ItemList>> parts_;
    std::deque<link::ItemList> stream_;
    std::deque<link::Item> events_;
    std::deque<std::uint8_t> keyEvents_;

    // Answering machine.
    enum class Pending { None, Selected, FreeSpace };
    Pending pending_ = Pending::None;
    int selected_ = 0; // 0 greeting, else message number
    qint64 playUntil_ = -1;
    qint64 recordUntil_ = -1;
    bool recordingGreeting_ = false;
    qint64 recordStart_ = 0;

    // Line.
    bool ringing_ = false;
    bool answered_ = false;
    bool dialled_ = false;
    QString lineNumber_;
    qint64 callStart_ = 0;
    qint64 eraseUntil_ = -1;
    int melody_ = -1;
};

} // namespace telmira::phonesim
