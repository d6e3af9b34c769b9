#include "tools/phonesim/phonewire.h"

#include "tools/phonesim/phoneframes.h"

namespace telmira::phonesim {
namespace {
constexpr qint64 kByteMs = 10;
// A frame that stalls this long is dropped (the PC purges and starts over).
constexpr qint64 kFrameGapMs = 100;
} // namespace

bool PhoneWire::Fault::take(int code) {
    if (count <= 0 || (command != -1 && command != code))
        return false;
    --count;
    return true;
}

PhoneWire::PhoneWire(PhoneCore& core, WireOptions options)
    : core_(core), options_(options), random_(options.seed) {}

bool PhoneWire::chance(double rate) {
    if (rate <= 0)
        return false;
    return std::uniform_real_distribution<double>(0, 1)(random_) < rate;
}

void PhoneWire::queue(const QByteArray& bytes, qint64 nowMs, bool reply) {
    for (char b : bytes) {
        if (reply && chance(options_.dropRate))
            continue;
        qint64 due = nowMs;
        if (options_.pace)
            due = std::max(nowMs, lastDue_) + kByteMs;
        lastDue_ = due;
        out_.emplace_back(due, b);
    }
}

void PhoneWire::receive(const QByteArray& bytes, qint64 nowMs) {
    if (!frame_.isEmpty() && nowMs - lastInput_ > kFrameGapMs)
        frame_.clear();
    lastInput_ = nowMs;
    for (char b : bytes) {
        queue(QByteArray(1, b), nowMs, false); // the adapter's echo
        frame_.append(b);
        if (missingCommandBytes(frame_) > 0)
            continue;
        const QByteArray frame = frame_;
        frame_.clear();
        const std::optional<ReceivedCommand> command = readCommandFrame(frame);
        if (onFrame)
            onFrame(frame, command.has_value());
        if (silent_)
            continue;
        const int code = command ? command->command : -1;
        Reply reply;
        if (!command) {
            reply.status = link::kStatusError40;
        } else if (wait_.take(code)) {
            reply.status = link::kStatusWait;
        } else if (error_.take(code)) {
            reply.status = link::kStatusError40;
        } else {
            reply = core_.handle(command->command, command->parameters, nowMs);
        }
        std::optional<QByteArray> out = writeReplyFrame(reply.status, reply.items);
        if (!out) // more than one frame holds: the phone answers with an error
            out = writeReplyFrame(link::kStatusError40, {});
        if (corrupt_.take(code) || chance(options_.corruptRate)) {
            (*out)[out->size() - 1] = static_cast<char>(out->back() ^ 0x5A);
        }
        if (onReply)
            onReply(*out);
        queue(*out, nowMs, true);
    }
}

QByteArray PhoneWire::takeDue(qint64 nowMs) {
    QByteArray due;
    while (!out_.empty() && out_.front().first <= nowMs) {
        due.append(out_.front().second);
        out_.pop_front();
    }
    return due;
}

std::optional<qint64> PhoneWire::nextDue() const {
    if (out_.empty())
        return std::nullopt;
    return out_.front().first;
}

} // namespace telmira::phonesim
