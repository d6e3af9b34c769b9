#include "tools/phonesim/phonecore.h"

#include "link/catalogue.h"
#include "tools/phonesim/phoneframes.h"

#include <algorithm>

namespace telmira::phonesim {

using link::Item;
using link::ItemList;
namespace {

// Items that answer reads, besides the fixed ones of the link.
constexpr std::uint8_t kItemPresetVariable = 7;
constexpr std::uint8_t kItemTime = 9;
constexpr std::uint8_t kItemMessageCount = 10;
constexpr std::uint8_t kItemMatrixRow = 13;
constexpr std::uint8_t kItemFixedLines = 14;
constexpr std::uint8_t kItemKeyEvent = 15;
constexpr std::uint8_t kItemServiceCell = 24;
constexpr std::uint8_t kItemCall = 25;
constexpr std::uint8_t kItemAlarmEntry = 27;
constexpr std::uint8_t kItemMessage = 28;
constexpr std::uint8_t kItemPhoneBookCount = 30;
constexpr std::uint8_t kItemPhoneBookFull = 31;
// Room for data in one reply, leaving space for events and status items.
constexpr int kChunkBudget = 200;
// Volumes live in the byte settings at $30 + selector.
constexpr int kVolumeBase = 0x30;

Reply error() {
    return Reply{link::kStatusError40, {}};
}

int encodedSize(const Item& item) {
    return 1 + (item.data.size() > 2 ? 1 : 0) + static_cast<int>(item.data.size());
}

std::deque<ItemList> chunked(const ItemList& items) {
    std::deque<ItemList> chunks;
    ItemList current;
    int size = 0;
    for (const Item& item : items) {
        if (!current.isEmpty() && size + encodedSize(item) > kChunkBudget) {
            chunks.push_back(current);
            current.clear();
            size = 0;
        }
        current.append(item);
        size += encodedSize(item);
    }
    if (!current.isEmpty())
        chunks.push_back(current);
    return chunks;
}

QByteArray bytesOf(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// Day byte of items 25 and 28: bits 0-5 the day, bit 6 the parity of the year.
std::uint8_t dayByte(const QDate& date) {
    return static_cast<std::uint8_t>((date.day() & 0x3F) | ((date.year() & 1) << 6));
}

// Duration D of items 25 and 28: whole minutes below 448, else 448 + seconds of a call shorter
// than a minute; 448 alone is a missed call.
QByteArray durationBytes(int seconds) {
    const int d = seconds >= 60 ? std::min(seconds / 60, 447) : 448 + seconds;
    return bytesOf({d >> 8, d & 0xFF});
}

} // namespace

PhoneCore::PhoneCore(PhoneOptions options) : options_(options) {
    bytes2_ = QByteArray(32, '\0');
    bytes4_ = QByteArray(64, '\0');
    flags8_ = QByteArray(16, '\0');
    for (int i = 0; i < bytes2_.size(); ++i)
        bytes2_[i] = static_cast<char>(i % 10);
    for (int i = 0; i < bytes4_.size(); ++i)
        bytes4_[i] = static_cast<char>((i * 7) % 60);
    bytes4_[kVolumeBase] = 3;
    bytes4_[kVolumeBase + 1] = 5;
    bytes4_[kVolumeBase + 2] = 4;
    flags8_[0] = 0x09;
    flags8_[3] = 0x08;
    presetVariables_ = {{0, QStringLiteral("8")},    {1, QStringLiteral("810")},
                        {2, QStringLiteral("7")},    {3, QStringLiteral("495")},
                        {4, QStringLiteral("0123")}, {5, QStringLiteral("112")},
                        {6, QStringLiteral("01")},   {7, QStringLiteral("02")}};
    serviceCells_ = {QStringLiteral("4951234567"), QStringLiteral("89161234567"), QString(),
                     QStringLiteral("100"), QStringLiteral("8-800-2000-600")};
    alarms_[0] = Alarm{bytesOf({7, 30, 2, 5, 0x06}), QString()};
    alarms_[3] = Alarm{bytesOf({21, 0, 1, 12, 0x00}), QStringLiteral("__00")};
    phoneBook_ = {
        PhoneBookRecord{1, 0, bytesOf({0x12, 0x34, 0x56}), QStringLiteral("4951112233")},
        PhoneBookRecord{0, 2, bytesOf({0x21, 0x43}), QStringLiteral("89031234567")},
    };
    const QDateTime now = QDateTime::currentDateTime();
    archive_ = {CallRecord{now.addDays(-2), true, 185, QStringLiteral("4957654321"), false},
                CallRecord{now.addDays(-1), false, 42, QStringLiteral("89161112233"), false}};
    messages_ = {Message{now.addDays(-1), 20, QStringLiteral("4957654321")}};
}

QDateTime PhoneCore::clock() const {
    return QDateTime::currentDateTime().addMSecs(clockOffsetMs_);
}

QByteArray PhoneCore::settingsBlock(int type) const {
    return type == 2 ? bytes2_ : type == 4 ? bytes4_ : type == 8 ? flags8_ : QByteArray();
}

int PhoneCore::freeSeconds() const {
    int used = greetingSeconds_;
    for (const Message& m : messages_)
        used += m.seconds;
    return std::max(0, memorySeconds_ - used);
}

Item PhoneCore::timeItem(int seconds) const {
    const int minutes = seconds / 60;
    return Item{kItemTime, bytesOf({minutes & 0xFF, (minutes >> 8) & 0xFF, seconds % 60})};
}

std::optional<qint64> PhoneCore::nextDeadline() const {
    std::optional<qint64> next;
    for (qint64 t : {eraseUntil_, playUntil_, recordUntil_})
        if (t >= 0 && (!next || t < *next))
            next = t;
    return next;
}

void PhoneCore::advance(qint64 nowMs) {
    if (eraseUntil_ >= 0 && nowMs >= eraseUntil_) {
        eraseUntil_ = -1;
        status1_ &= ~link::FL_BUSY;
    }
    if (playUntil_ >= 0 && nowMs >= playUntil_) {
        playUntil_ = -1;
        status0_ &= ~link::FL_AUTO;
    }
    if (recordUntil_ >= 0 && nowMs >= recordUntil_)
        finishRecording(nowMs);
}

void PhoneCore::finishRecording(qint64 nowMs) {
    const int seconds =
        std::max<int>(1, static_cast<int>(std::min(nowMs - recordStart_, qint64(3600000)) / 1000));
    if (recordingGreeting_) {
        greetingSeconds_ = seconds;
    } else {
        messages_.append(Message{clock(), seconds, lineNumber_});
        status0_ |= link::FL_AUTO_CHANGE;
    }
    recordUntil_ = -1;
    status0_ &= ~link::FL_AUTO_RECORD;
}

Reply PhoneCore::handle(std::uint8_t command, const QByteArray& p, qint64 nowMs) {
    using namespace link;
    advance(nowMs);
    if (eraseUntil_ >= 0 && command != kProbe && command != kWakeUp)
        return Reply{kStatusWait, {}};
    const int p0 = p.isEmpty() ? -1 : static_cast<std::uint8_t>(p[0]);
    Reply reply;
    switch (command) {
    case kClearNewCalls:
        status0_ &= ~FL_DOT;
        break;
    case kErasePhoneBook:
        phoneBook_.clear();
        eraseUntil_ = nowMs + options_.eraseMs;
        status1_ |= FL_BUSY;
        break;
    case kReadNewArchive: {
        const ItemList items = archiveItems(true);
        reply.items = items;
        if (std::none_of(archive_.begin(), archive_.end(),
                         [](const CallRecord& r) { return r.isNew; }))
            status0_ &= ~FL_ARCHIVE;
        break;
    }
    case kStop:
        melody_ = -1;
        if (playUntil_ >= 0) {
            playUntil_ = -1;
            status0_ &= ~FL_AUTO;
        }
        if (recordUntil_ >= 0)
            finishRecording(nowMs);
        if (status1_ & (FL_560 | FL_HFREE | FL_LINESTATE))
            endCall(nowMs);
        break;
    case kReadSettings:
        status0_ &= ~FL_VARIABLES;
        reply.items = {Item{2, bytes2_}, Item{4, bytes4_}, Item{8, flags8_}};
        break;
    case kReadPresetVariables:
    case kReadPresetVariablesMore: {
        const int first = command == kReadPresetVariables ? 0 : 4;
        for (int v = first; v < first + 4; ++v) {
            const QString digits = presetVariables_.value(v);
            QByteArray data(1, static_cast<char>(v));
            for (qsizetype i = 0; i < digits.size(); i += 2) {
                const int low = digitCode(digits[i]);
                const int high = i + 1 < digits.size() ? digitCode(digits[i + 1]) : 0xB;
                data.append(static_cast<char>(low | (high << 4)));
            }
            reply.items.append(Item{kItemPresetVariable, data});
        }
        break;
    }
    case kReportMessageLength:
        if (pending_ == Pending::FreeSpace)
            reply.items = {timeItem(freeSeconds())};
        else if (selected_ == 0)
            reply.items = {timeItem(greetingSeconds_)};
        else if (selected_ <= messages_.size())
            reply.items = {timeItem(messages_.at(selected_ - 1).seconds)};
        else
            reply.items = {timeItem(0)};
        pending_ = Pending::None;
        break;
    case kPlayMelody:
        if (p0 < 0)
            return error();
        melody_ = p0;
        break;
    case kReadKeyMatrix: {
        if (p0 < 0)
            return error();
        // Three scan rows of four keys: line pair (high nibble, low nibble), key code, calculator
        // key code; then the fixed lines (line, device).
        for (int row = 0; row < 3; ++row) {
            QByteArray data;
            for (int col = 0; col < 4; ++col)
                data +=
                    bytesOf({((row + 4) << 4) | col, 0x10 + row * 4 + col, 0x30 + row * 4 + col});
            reply.items.append(Item{kItemMatrixRow, data});
        }
        reply.items.append(Item{kItemFixedLines, bytesOf({7, 1, 8, 2})});
        break;
    }
    case kReadPhoneBook:
        return readInParts(command, static_cast<std::uint8_t>(p0), phoneBookItems(), true);
    case kReadServiceArea:
        return readInParts(command, static_cast<std::uint8_t>(p0), serviceCellItems(), false);
    case kReadAlarms:
        return readInParts(command, static_cast<std::uint8_t>(p0), alarmItems(), false);
    case kDeleteAlarm:
        if (p0 < 0)
            return error();
        alarms_.remove(p0);
        break;
    case kPlayMessage: {
        if (p0 < 10)
            return error();
        const int message = p0 - 10;
        if (message > messages_.size() || (message == 0 && greetingSeconds_ == 0))
            return error();
        status0_ |= FL_AUTO;
        playUntil_ = nowMs + options_.playMs;
        break;
    }
    case kRecordMessage:
        if (p0 <= 0)
            return error();
        recordingGreeting_ = p0 == 10;
        recordStart_ = nowMs;
        recordUntil_ = nowMs + options_.recordMs;
        status0_ |= FL_AUTO_RECORD;
        break;
    case kDeleteMessage:
        if (p0 == 10)
            greetingSeconds_ = 0;
        else if (p0 > 10 && p0 - 10 <= messages_.size())
            messages_.removeAt(p0 - 11);
        else
            return error();
        break;
    case kSelectMessage:
        if (p0 < 10)
            return error();
        selected_ = p0 == 11 ? (messages_.isEmpty() ? 0 : 1) : p0 - 10;
        pending_ = Pending::Selected;
        break;
    case kAnsweringMachineService:
        return answeringMachineService(static_cast<std::uint8_t>(p0));
    case kReadArchive:
        status0_ &= ~FL_AUTO_CHANGE;
        return readInParts(command, static_cast<std::uint8_t>(p0), messageItems(), false);
    case kLineKey:
        if (p0 < 0)
            return error();
        if (p0 == 5 && (status1_ & (FL_560 | FL_LINESTATE)))
            endCall(nowMs);
        break;
    case kReadVolume:
        if (p0 < '0' || p0 > '2')
            return error();
        reply.items = {Item{kItemVolumes, bytesOf({p0, bytes4_[kVolumeBase + p0 - '0']})}};
        break;
    case kPanelSwitch: {
        if (p0 < 0)
            return error();
        if ((p0 & 3) == 3)
            status1_ |= FL_HFREE | FL_560;
        else if ((p0 & 3) == 1) {
            status1_ &= ~FL_HFREE;
            if (!(status1_ & FL_TUBE))
                endCall(nowMs);
        }
        status1_ = (p0 & 8) ? status1_ | FL_SOUND : status1_ & ~FL_SOUND;
        status1_ = (p0 & 32) ? status1_ | FL_MUTE : status1_ & ~FL_MUTE;
        status0_ = (p0 & 16) ? status0_ | FL_TUBEVOL : status0_ & ~FL_TUBEVOL;
        break;
    }
    case kWriteBlock:
        return writeBlock(p, nowMs);
    case kWriteVariable: {
        if (p.size() < 2)
            return error();
        const int index = p0 & 0x7F;
        QByteArray& block = (p0 & 0x80) ? bytes2_ : bytes4_;
        if (index >= block.size())
            return error();
        block[index] = p[1];
        break;
    }
    case kWriteBitVariable: {
        if (p.size() < 2 || (p0 & 0x7F) >= flags8_.size())
            return error();
        const int index = p0 & 0x7F;
        const auto mask = static_cast<std::uint8_t>(p[1]);
        const auto old = static_cast<std::uint8_t>(flags8_[index]);
        flags8_[index] = static_cast<char>((p0 & 0x80) ? old | mask : old & mask);
        break;
    }
    case kPressKey:
        if (p0 < 0)
            return error();
        if (ringing_ && !answered_) {
            if (p0 == 5) { // the answering machine takes the call
                answered_ = true;
                ringing_ = false;
                recordingGreeting_ = false;
                recordStart_ = nowMs;
                recordUntil_ = nowMs + options_.recordMs;
                status0_ |= FL_AUTO_RECORD;
            } else if (p0 >= 6 && p0 <= 9) { // "call back later" and friends end the call
                endCall(nowMs);
            }
        }
        break;
    case kSetClock:
        if (p.size() < 2)
            return error();
        setClockStep(static_cast<std::uint8_t>(p0), static_cast<std::uint8_t>(p[1]));
        break;
    case kWakeUp:
        break;
    case kIdlePoll:
    case kIdlePollInteractive:
        return idlePoll(command == kIdlePollInteractive);
    case kProbe:
        reply.items = {Item{
            kItemProbe, bytesOf({(options_.model & 0x0F) | (options_.answeringMachine ? 0x80 : 0),
                                 options_.featureLevel})}};
        break;
    default:
        return error();
    }
    return reply;
}

Reply PhoneCore::idlePoll(bool interactive) {
    Reply reply;
    if (!stream_.empty()) {
        reply.items = stream_.front();
        stream_.pop_front();
    }
    if (interactive) {
        while (!keyEvents_.empty()) {
            reply.items.append(
                Item{kItemKeyEvent, QByteArray(1, static_cast<char>(keyEvents_.front()))});
            keyEvents_.pop_front();
        }
    }
    while (!events_.empty()) {
        reply.items.append(events_.front());
        events_.pop_front();
    }
    reply.items.append(Item{link::kItemStatus1, QByteArray(1, static_cast<char>(status1_ ^ 0x80))});
    reply.items.append(Item{link::kItemStatus0, QByteArray(1, static_cast<char>(status0_))});
    return reply;
}

Reply PhoneCore::readInParts(std::uint8_t command, std::uint8_t parameter, const ItemList& all,
                             bool phoneBook) {
    std::deque<ItemList> chunks = chunked(all);
    if (phoneBook && !chunks.empty())
        chunks.front().prepend(
            Item{kItemPhoneBookCount,
                 QByteArray(1, static_cast<char>(std::min<qsizetype>(all.size(), 255)))});
    Reply reply;
    switch (parameter) {
    case 0: // first part; the PC asks for the next ones
        parts_[command] = chunks;
        break;
    case 1: // next part
        break;
    case 2: // everything: the first part answers, the rest follows the idle polls
        if (phoneBook)
            for (std::size_t i = 0; i + 1 < chunks.size(); ++i)
                chunks[i].last().data.append('\0'); // "more to come"
        if (!chunks.empty()) {
            reply.items = chunks.front();
            chunks.pop_front();
        }
        for (const ItemList& chunk : chunks)
            stream_.push_back(chunk);
        return reply;
    default:
        return error();
    }
    std::deque<ItemList>& pending = parts_[command];
    if (!pending.empty()) {
        reply.items = pending.front();
        pending.pop_front();
    }
    return reply;
}

Reply PhoneCore::writeBlock(const QByteArray& p, qint64 nowMs) {
    if (p.isEmpty())
        return error();
    const int kind = static_cast<std::uint8_t>(p[0]);
    if (kind == link::kWriteDial) {
        QString number = readDigitCodes(p.mid(1));
        if (!(status1_ & link::FL_TUBE))
            status1_ |= link::FL_HFREE;
        status1_ |= link::FL_560 | link::FL_TALKING;
        dialled_ = true;
        ringing_ = false;
        lineNumber_ = number;
        callStart_ = nowMs;
        events_.push_back(Item{link::kItemDialled, p.mid(1)});
        return {};
    }
    if (kind == link::kWritePhoneBookRecord) {
        if (p.size() < 4 || p.size() < 4 + static_cast<std::uint8_t>(p[3]) + 1)
            return error();
        if (phoneBook_.size() >= options_.phoneBookCapacity)
            return Reply{link::kStatusData, {Item{kItemPhoneBookFull, {}}}};
        const int n = static_cast<std::uint8_t>(p[3]);
        PhoneBookRecord record{static_cast<std::uint8_t>(p[1]), static_cast<std::uint8_t>(p[2]),
                               p.mid(4, n), readCountedDigits(p.mid(4 + n))};
        phoneBook_.append(record);
        return {};
    }
    if (kind == link::kWriteDataBlock && p.size() >= 5) {
        const int index = static_cast<std::uint8_t>(p[1]);
        if (p[2] == 2 && p[3] == 5 && p.size() >= 10) {
            alarms_[index] = Alarm{p.mid(4, 5), readCountedDigits(p.mid(9))};
            return {};
        }
        if (p[2] == 0 && p[3] == 0) {
            while (serviceCells_.size() <= index)
                serviceCells_.append(QString());
            serviceCells_[index] = readCountedDigits(p.mid(4));
            return {};
        }
    }
    return error();
}

Reply PhoneCore::answeringMachineService(std::uint8_t request) {
    switch (request) {
    case 5:
        messages_.clear();
        return {};
    case 6:
        messages_.clear();
        greetingSeconds_ = 0;
        return {};
    case 7:
        return {};
    case 8:
        pending_ = Pending::FreeSpace;
        return {};
    case 9:
        return Reply{link::kStatusData, {timeItem(memorySeconds_)}};
    case 10:
        status0_ &= ~link::FL_AUTO_CHANGE;
        return Reply{link::kStatusData,
                     {Item{kItemMessageCount,
                           bytesOf({freeSeconds() > 0 ? 1 : 0, static_cast<int>(std::min<qsizetype>(
                                                                   messages_.size(), 255))})}}};
    default:
        return error();
    }
}

void PhoneCore::setClockStep(std::uint8_t index, std::uint8_t value) {
    if (index == 0 && !(clockStarted_ && clockSteps_.contains(1))) {
        clockSteps_.clear();
        clockStarted_ = true;
        return;
    }
    if (!clockStarted_)
        return;
    clockSteps_[index] = value;
    if (index != 0)
        return;
    clockStarted_ = false;
    const QDate date(2000 + clockSteps_.value(6), clockSteps_.value(5), clockSteps_.value(4));
    const int hundredths = value * 24;
    const QTime time(clockSteps_.value(2), clockSteps_.value(1), std::min(59, hundredths / 100),
                     (hundredths % 100) * 10);
    const QDateTime set(date, time);
    if (set.isValid())
        clockOffsetMs_ = QDateTime::currentDateTime().msecsTo(set);
}

void PhoneCore::endCall(qint64 nowMs) {
    const int seconds = static_cast<int>(std::max<qint64>(1, (nowMs - callStart_) / 1000));
    if (ringing_ && !answered_) {
        addArchive(true, lineNumber_, 0);
        status0_ |= link::FL_DOT;
    } else if (answered_) {
        addArchive(true, lineNumber_, seconds);
    } else if (dialled_) {
        addArchive(false, lineNumber_, seconds);
    }
    ringing_ = answered_ = dialled_ = false;
    status1_ &= ~(link::FL_560 | link::FL_TALKING | link::FL_LINESTATE | link::FL_HFREE);
}

void PhoneCore::ring(const QString& number, qint64 nowMs) {
    ringing_ = true;
    answered_ = false;
    dialled_ = false;
    lineNumber_ = number;
    callStart_ = nowMs;
    status1_ |= link::FL_LINESTATE;
    events_.push_back(Item{link::kItemIncoming, writeDigitCodes(number)});
}

void PhoneCore::dialOnPhone(const QString& number, qint64 nowMs) {
    status1_ |= link::FL_TUBE | link::FL_560 | link::FL_TALKING;
    dialled_ = true;
    ringing_ = false;
    lineNumber_ = number;
    callStart_ = nowMs;
    events_.push_back(Item{link::kItemDialled, writeDigitCodes(number)});
}

void PhoneCore::liftHandset(qint64 nowMs) {
    status1_ |= link::FL_TUBE;
    if (ringing_) {
        ringing_ = false;
        answered_ = true;
        callStart_ = nowMs;
        status1_ |= link::FL_560 | link::FL_TALKING;
    }
}

void PhoneCore::hangUp(qint64 nowMs) {
    endCall(nowMs);
    status1_ &= ~link::FL_TUBE;
}

void PhoneCore::addArchive(bool incoming, const QString& number, int seconds) {
    archive_.append(CallRecord{clock(), incoming, seconds, number, true});
    status0_ |= link::FL_ARCHIVE;
}

void PhoneCore::addMessage(const QString& number, int seconds) {
    messages_.append(Message{clock(), std::max(1, seconds), number});
    status0_ |= link::FL_AUTO_CHANGE;
}

void PhoneCore::alarmGoesOff(const QString& text) {
    events_.push_back(Item{link::kItemAlarm, writeDigitCodes(text)});
}

void PhoneCore::keyEvent(std::uint8_t linePair) {
    keyEvents_.push_back(linePair);
}

void PhoneCore::setVariablesChanged() {
    status0_ |= link::FL_VARIABLES;
}

ItemList PhoneCore::archiveItems(bool onlyNew) {
    ItemList items;
    int size = 0;
    for (CallRecord& r : archive_) {
        if (onlyNew && !r.isNew)
            continue;
        QByteArray data =
            bytesOf({(r.incoming ? 0x80 : 0) | dayByte(r.when.date()), r.when.date().month(),
                     r.when.time().hour(), r.when.time().minute()});
        data += durationBytes(r.seconds);
        data += writeCountedDigits(r.number);
        const Item item{kItemCall, data};
        if (size + encodedSize(item) > kChunkBudget)
            break;
        size += encodedSize(item);
        items.append(item);
        r.isNew = false;
    }
    return items;
}

ItemList PhoneCore::messageItems() const {
    ItemList items;
    for (qsizetype i = 0; i < messages_.size(); ++i) {
        const Message& m = messages_.at(i);
        QByteArray data =
            bytesOf({static_cast<int>(i + 1), dayByte(m.when.date()), m.when.date().month(),
                     m.when.time().hour(), m.when.time().minute()});
        data += durationBytes(m.seconds);
        data += writeCountedDigits(m.number);
        items.append(Item{kItemMessage, data});
    }
    return items;
}

ItemList PhoneCore::alarmItems() const {
    ItemList items;
    for (auto it = alarms_.begin(); it != alarms_.end(); ++it) {
        QByteArray data = it->bytes.left(5);
        data.append(static_cast<char>(it.key()));
        data += writeCountedDigits(it->number);
        items.append(Item{kItemAlarmEntry, data});
    }
    return items;
}

ItemList PhoneCore::serviceCellItems() const {
    ItemList items;
    for (qsizetype i = 0; i < serviceCells_.size(); ++i)
        items.append(Item{kItemServiceCell, QByteArray(1, static_cast<char>(i)) +
                                                writeCountedDigits(serviceCells_.at(i))});
    return items;
}

ItemList PhoneCore::phoneBookItems() const {
    ItemList items;
    for (const PhoneBookRecord& r : phoneBook_) {
        QByteArray data = bytesOf({r.marker, r.secondMarker, static_cast<int>(r.name.size())});
        data += r.name;
        data += writeCountedDigits(r.number);
        items.append(Item{link::kItemPhoneBook, data});
    }
    return items;
}

QString PhoneCore::describe() const {
    return QStringLiteral("status0=%1 status1=%2 clock=%3 archive=%4 messages=%5 greeting=%6s "
                          "phonebook=%7 alarms=%8 melody=%9")
        .arg(link::hexByte(status0_), link::hexByte(status1_),
             clock().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
        .arg(archive_.size())
        .arg(messages_.size())
        .arg(greetingSeconds_)
        .arg(phoneBook_.size())
        .arg(alarms_.size())
        .arg(melody_);
}

} // namespace telmira::phonesim
