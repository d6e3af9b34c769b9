#pragma once

#include "tools/phonesim/phonecore.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <functional>
#include <optional>
#include <random>

// The simulated phone's side of the serial line: the adapter's echo of every byte, the
// assembly of command frames, the reply frames, the line's pace and the faults.
namespace telmira::phonesim {

struct WireOptions {
    bool pace = false;      // 10 ms per byte, as at 1000 baud
    double dropRate = 0;    // chance that a reply byte is lost
    double corruptRate = 0; // chance that a reply's check byte is wrong
    unsigned seed = 1;
};

class PhoneWire {
public:
    PhoneWire(PhoneCore& core, WireOptions options);

    // Bytes from the PC at time `nowMs`.
    void receive(const QByteArray& bytes, qint64 nowMs);
    // Bytes due on the line at `nowMs`.
    QByteArray takeDue(qint64 nowMs);
    // When the next queued byte is due, if any.
    std::optional<qint64> nextDue() const;

    // Faults ordered by the control channel.
    void setSilent(bool silent) { silent_ = silent; }
    bool silent() const { return silent_; }
    // The next `count` commands (only those with code `command` when it is not -1) are
    // answered with "wait", with an error, or with a spoiled check byte.
    void answerWait(int count, int command = -1) { wait_ = {count, command}; }
    void answerError(int count, int command = -1) { error_ = {count, command}; }
    void corruptNext(int count, int command = -1) { corrupt_ = {count, command}; }
    void setPace(bool pace) { options_.pace = pace; }
    void setDropRate(double rate) { options_.dropRate = rate; }
    void setCorruptRate(double rate) { options_.corruptRate = rate; }

    // Called for every command frame that arrived whole (decoded, or nullopt for a bad check
    // byte), before the reply; the simulator logs them.
    std::function<void(const QByteArray& frame, bool valid)> onFrame;
    // Called for every reply frame sent.
    std::function<void(const QByteArray& frame)> onReply;

private:
    struct Fault {
        int count = 0;
        int command = -1;
        // Takes one from the count when it applies to `code` (-1: a frame without a command).
        bool take(int code);
    };
    void queue(const QByteArray& bytes, qint64 nowMs, bool reply);
    bool chance(double rate);

    PhoneCore& core_;
    WireOptions options_;
    std::mt19937 random_;
    QByteArray frame_;
    qint64 lastInput_ = 0;
    qint64 lastDue_ = 0;
    std::deque<std::pair<qint64, char>> out_;
    bool silent_ = false;
    Fault wait_;
    Fault error_;
    Fault corrupt_;
};

} // namespace telmira::phonesim
