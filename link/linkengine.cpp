#include "link/linkengine.h"

#include <QTime>

#include <algorithm>

namespace telmira::link {
namespace {
const QString kCrLf = QStringLiteral("\r\n");
constexpr int kProbeWakeUpBytes = 20;
constexpr int kTickErrorMs = 200;
constexpr int kReadBudgetMs = 500;
constexpr int kMidnightNoticeSeconds = 100;
} // namespace

LinkEngine::LinkEngine(LinkShared& shared, LinkEnvironment& environment, LinkSink& sink)
    : shared_(shared), environment_(environment), sink_(sink),
      linkCountdown_(initialLinkCountdown()) {}

LinkEngine::~LinkEngine() = default;

int LinkEngine::initialLinkCountdown() const {
    return shared_.testConnectMode.load() ? 1 : 3;
}

void LinkEngine::resetCountdowns() {
    retryCountdown_ = kRetryCountdown;
    waitCountdown_ = kWaitCountdown;
    linkCountdown_ = initialLinkCountdown();
}

void LinkEngine::postText(LinkEventType type, const QString& text) {
    sink_.post(std::make_unique<TextEvent>(type, text));
}

void LinkEngine::postReply(const QByteArray& buffer) {
    sink_.post(std::make_unique<ReplyEvent>(buffer));
}

void LinkEngine::Trace(const QString& text, const QString& deferredForm) {
    if (!shared_.TracePosting())
        return;
    if (idlePoll_ && shared_.pingTrace.load() != PingTrace::Shown) {
        deferredTrace_ += kCrLf + (deferredForm.isNull() ? text : deferredForm);
        return;
    }
    postText(kTraceEvent, text);
}

void LinkEngine::ClosePort() {
    line_.reset();
}

void LinkEngine::SetLinkState(bool connected) {
    if (shared_.connected.load() == connected)
        return;
    shared_.connected = connected;
    if (!connected) {
        lastClockSet_.reset();
        waitCountdown_ = kWaitCountdown;
        linkCountdown_ = initialLinkCountdown();
    }
    sink_.post(std::make_unique<LinkStateEvent>());
}

bool LinkEngine::OpenPort(const QString& portName) {
    line_.reset();
    Trace(QStringLiteral("Соединяемся с портом: ") + portName);
    LinkEnvironment::Opened opened = environment_.openPort(portName);
    if (!opened.line) {
        Trace(QStringLiteral("Ошибка при открытии порта: \r\n") + opened.error);
        return false;
    }
    line_ = std::move(opened.line);
    line_->setInterrupt([this] { return shared_.StopRequested(); });
    Trace(QStringLiteral("Получен Handle: ") + QString::number(line_->handle()));
    for (const QString& warning : opened.warnings)
        Trace(warning);
    line_->purge();
    return true;
}

bool LinkEngine::WriteFrame(const QByteArray& frame) {
    if (shared_.StopRequested() || !line_)
        return false;
    line_->purge();
    if (!line_->write(frame, kReadBudgetMs * static_cast<int>(frame.size()) + 1)) {
        Trace(line_->errorText() + QStringLiteral(", при записи в порт ") +
              QString::number(line_->handle()));
        return false;
    }
    Trace(QStringLiteral("TX: ") + hexBytes(frame) + kCrLf + QStringLiteral("LoopBack:"));
    if (ReadBytes(static_cast<int>(frame.size()), true).error != 0)
        Trace(QStringLiteral("ReadStrFromPort_ERROR"));
    return true;
}

bool LinkEngine::CommandSend(std::uint8_t command, const QByteArray& parameters) {
    const std::optional<QByteArray> frame = encodeCommandFrame(command, parameters);
    if (!frame)
        return false;
    const QString text = QStringLiteral("CommandSend: ") + hexByte(command);
    Trace(kCrLf + text, text);
    return WriteFrame(*frame);
}

LinkEngine::ReadResult LinkEngine::ReadBytes(int count, bool waiting) {
    // A stop request ends the read as a missing reply (never as zero bytes taken for data).
    if (shared_.StopRequested() || !line_)
        return {kStatusIncomplete, {}};
    QByteArray got;
    qint64 lastDelivery = 0;
    bool firstCall = true;
    for (;;) {
        const int missing = count - static_cast<int>(got.size());
        const std::optional<QByteArray> chunk = line_->read(missing, kReadBudgetMs + missing);
        if (!chunk) {
            Trace(line_->errorText() + QStringLiteral(", при чтении порта"));
            return {kStatusReadFailure, {}};
        }
        got += *chunk;
        const qint64 now = environment_.clock().tickMs();
        if (!chunk->isEmpty() || firstCall)
            lastDelivery = now;
        firstCall = false;
        if (!waiting)
            break;
        if (now - lastDelivery >= kTickErrorMs) {
            Trace(QStringLiteral("RX: ") + hexBytes(got) + kCrLf +
                  QStringLiteral("Ошибка - сбой при приеме (Tick Error)"));
            return {kStatusIncomplete, {}};
        }
        if (got.size() >= count)
            break;
        if (shared_.StopRequested())
            return {kStatusIncomplete, {}};
    }
    Trace(QStringLiteral("RX: ") + hexBytes(got));
    return {0, got};
}

LinkEngine::Reply LinkEngine::ReadCommandReply(bool waiting) {
    Trace(QStringLiteral("ReadCommandReply:"));
    Reply reply;
    const ReadResult head = ReadBytes(2, waiting);
    if (head.error != 0) {
        reply.status = static_cast<std::uint8_t>(head.error);
        return reply;
    }
    QByteArray frame = head.bytes;
    if (frame.size() == 2) {
        const int more = replyBytesAfterFirstTwo(static_cast<std::uint8_t>(frame[0]),
                                                 static_cast<std::uint8_t>(frame[1]));
        if (more > 0) {
            const ReadResult rest = ReadBytes(more, waiting);
            if (rest.error != 0)
                reply.status = static_cast<std::uint8_t>(rest.error);
            frame += rest.bytes;
        }
    }
    if (reply.status != kStatusReadFailure) {
        const ReplyFrame decoded = decodeReplyFrame(frame);
        reply.status = decoded.status;
        if (reply.status == kStatusData) {
            reply.items = splitItems(decoded.payload);
            FilterEvents(reply.items);
            return reply;
        }
    }
    if (reply.status != kStatusWait)
        Trace(QStringLiteral("Err: Ошибка при чтении ответа телефона ") + hexByte(reply.status) +
              QStringLiteral("h"));
    return reply;
}

void LinkEngine::FilterEvents(ItemList& items) {
    ItemList kept;
    bool posted = false;
    const bool refresh = shared_.answeringMachineRefresh.load();
    for (const Item& item : items) {
        if (item.code < kFirstEventItem) {
            kept.append(item);
            continue;
        }
        const bool isStatus = item.code == kItemStatus0 || item.code == kItemStatus1;
        const bool hasValue = !item.data.isEmpty();
        const std::uint8_t value = hasValue ? static_cast<std::uint8_t>(item.data[0]) : 0;
        bool post = refresh || !isStatus;
        if (isStatus && hasValue) {
            if (item.code == kItemStatus0)
                post = post || (value & ~0xD8) != 0 || ((value ^ shared_.status0.load()) & 0xD9);
            else
                post = post || (value ^ 0x80) != shared_.status1.load();
        }
        if (post) {
            postReply(eventBuffer(item));
            posted = true;
        }
        if (isStatus && hasValue) {
            if (item.code == kItemStatus0)
                shared_.status0 = value;
            else
                shared_.status1 = static_cast<std::uint8_t>(value ^ 0x80);
        }
        // The debug window marks which status byte was reported (code 1: Status0, 2: Status1).
        if (isStatus && shared_.traceWindowOpen.load())
            postText(kTraceEvent, QString(QChar(item.code == kItemStatus0 ? 1 : 2)));
    }
    items = kept;
    if (idlePoll_ && (!kept.isEmpty() || posted) &&
        shared_.pingTrace.load() == PingTrace::WhenData && !deferredTrace_.isEmpty() &&
        shared_.TracePosting()) {
        postText(kTraceEvent, deferredTrace_);
        deferredTrace_.clear();
    }
}

bool LinkEngine::ProbePhone() {
    const bool automatic = shared_.AutomaticSearch();
    systemPorts_ = environment_.listPorts(automatic ? QString() : shared_.PortName());
    if (automatic) {
        if (systemPorts_.isEmpty()) {
            Trace(QStringLiteral("В системе нет ни одного COM порта"));
            searchIndex_ = -1;
            shared_.SetSearchedPort(QString());
        } else {
            Trace(QStringLiteral("-----------------------------\r\nCOM-порты системы: ") +
                  systemPorts_.join(QStringLiteral(", ")));
            searchIndex_ = searchIndex_ + 1 >= systemPorts_.size() ? 0 : searchIndex_ + 1;
            shared_.SetSearchedPort(systemPorts_.at(searchIndex_));
        }
    }
    const QString portName = shared_.PortName();
    bool ok = !portName.isEmpty() && systemPorts_.contains(portName) && OpenPort(portName);
    Reply reply;
    if (ok) {
        if (CommandSend(kWakeUp, QByteArray(kProbeWakeUpBytes, '\0')))
            ReadCommandReply(true);
        ok = CommandSend(kProbe, {});
        if (ok) {
            reply = ReadCommandReply(true);
            ok = reply.status == kStatusData;
        }
    }
    if (!ok) {
        shared_.status0 = 0;
        shared_.status1 = 0;
        shared_.modelCode = 0;
        if (--probeCountdown_ <= 0) {
            probeCountdown_ = kProbeCountdown;
            shared_.ClearQueue();
        }
        return false;
    }
    if (!reply.items.isEmpty() && reply.items.first().code == kItemProbe) {
        const Item& probe = reply.items.first();
        const std::uint8_t first =
            probe.data.isEmpty() ? 0 : static_cast<std::uint8_t>(probe.data[0]);
        shared_.modelCode = first & 0x0F;
        shared_.answeringMachine = (first & 0xF0) == 0x80;
        if (reply.items.size() == 1 && probe.data.size() == 2)
            shared_.featureLevel = static_cast<std::uint8_t>(probe.data[1]);
    } else {
        shared_.modelCode = 0;
        shared_.featureLevel = 0;
        shared_.answeringMachine = false;
    }
    shared_.answeringMachineRefresh = shared_.answeringMachine.load();
    probeCountdown_ = kProbeCountdown;
    return true;
}

void LinkEngine::SynchronizeClock() {
    shared_.clockSettingRunning = true;
    QDate date;
    QTime time;
    bool complete = true;
    for (int step = 1; step <= 8 && complete; ++step) {
        QByteArray parameters(2, '\0');
        switch (step) {
        case 2:
            date = environment_.clock().now().date();
            parameters[0] = 6;
            parameters[1] = static_cast<char>(date.year() >= 2000 ? date.year() - 2000 : 0);
            break;
        case 3:
            parameters[0] = 5;
            parameters[1] = static_cast<char>(date.month());
            break;
        case 4:
            parameters[0] = 4;
            parameters[1] = static_cast<char>(date.day());
            break;
        case 5:
            parameters[0] = 3;
            parameters[1] = static_cast<char>(date.dayOfWeek());
            break;
        case 6:
            time = environment_.clock().now().time();
            parameters[0] = 2;
            parameters[1] = static_cast<char>(time.hour());
            break;
        case 7:
            parameters[0] = 1;
            parameters[1] = static_cast<char>(time.minute());
            break;
        case 8:
            parameters[1] = static_cast<char>((time.second() * 100 + time.msec() / 10) / 24);
            shared_.clockSettingRunning = false;
            break;
        default:
            break;
        }
        complete =
            CommandSend(kSetClock, parameters) && ReadCommandReply(true).status == kStatusData;
    }
    shared_.clockSettingRunning = false;
    if (complete)
        lastClockSet_ = environment_.clock().tickMs();
}

void LinkEngine::RunCycle() {
    if (shared_.linkDownRequest.exchange(false))
        SetLinkState(false);
    if (!shared_.connected.load()) {
        idlePoll_ = false;
        SetLinkState(ProbePhone());
        return;
    }
    RunConnectedCycle();
}

void LinkEngine::RunConnectedCycle() {
    deferredTrace_.clear();

    const int seconds = environment_.clock().now().time().msecsSinceStartOfDay() / 1000;
    if (seconds < kMidnightNoticeSeconds) {
        if (!midnightNoticeSent_) {
            postReply(QByteArray("\0\0", 2) + char(kNameDayChange));
            midnightNoticeSent_ = true;
        }
    } else {
        midnightNoticeSent_ = false;
    }

    if (shared_.clearRequest.exchange(false)) {
        shared_.ClearQueue();
        resetCountdowns();
    }
    idlePoll_ = false;

    // Choose the command: the first record whose Flags share no bit with the state word; a
    // waiting record holds back Skip more records with it.
    QStringList records = shared_.Records();
    const int stateWord = shared_.StateWord();
    int takenIndex = -1;
    QString takenText;
    CommandRecord taken;
    for (int i = 0; i < records.size();) {
        QString problem;
        const std::optional<CommandRecord> record = parseCommandRecord(records.at(i), &problem);
        if (!record) {
            Trace(QStringLiteral("Err: неверная запись команды (") + problem +
                  QStringLiteral("): ") + records.at(i));
            shared_.RemoveRecord(i, records.at(i));
            records.removeAt(i);
            continue;
        }
        if (record->flags == -1 || (stateWord & record->flags) == 0) {
            takenIndex = i;
            takenText = records.at(i);
            taken = *record;
            --retryCountdown_;
            break;
        }
        i += std::max(0, record->skip) + 1;
    }

    std::uint8_t command = 0;
    std::uint8_t name = 0;
    QByteArray parameters;
    if (takenIndex >= 0) {
        command = static_cast<std::uint8_t>(taken.command);
        name = static_cast<std::uint8_t>(taken.name);
        parameters = taken.parameters;
    } else {
        idlePoll_ = true;
        const bool interactive = shared_.matrixInteractive.load();
        command = interactive ? kIdlePollInteractive : kIdlePoll;
        name = interactive ? kNameLayoutTool : kNameNoAddressee;
    }

    if (linkCountdown_ <= 0) {
        SetLinkState(false);
    } else {
        QByteArray buffer;
        if (!CommandSend(command, parameters)) {
            --linkCountdown_;
        } else {
            const Reply reply = ReadCommandReply(true);
            if (reply.status == kStatusData || reply.status == kStatusWait) {
                if (name != kNameNoAddressee) {
                    lastName_ = name;
                    lastCommand_ = command;
                } else if (!reply.items.isEmpty()) {
                    // An idle poll that brought data belongs to the last queued command.
                    name = lastName_;
                    command = lastCommand_;
                }
                if (reply.status == kStatusData) {
                    shared_.phoneBusy = false;
                    if (command == kIdlePoll && shared_.phoneBookErasing.load()) {
                        command = 1;
                        name = kNamePhoneBookTool;
                    }
                    buffer = replyBuffer(reply.items, reply.status, command, name);
                    if (command != kIdlePoll)
                        postReply(buffer);
                    if (command != kIdlePoll && command != kIdlePollInteractive && takenIndex >= 0)
                        shared_.RemoveRecord(takenIndex, takenText);
                    retryCountdown_ = kRetryCountdown;
                    waitCountdown_ = kWaitCountdown;
                    lastName_ = name;
                } else {
                    shared_.phoneBusy = true;
                    buffer = replyBuffer(reply.items, reply.status, command, name);
                    if (shared_.transferProgressShown.load()) {
                        buffer[buffer.size() - 1] = static_cast<char>(kNamePhoneBookTool);
                        postReply(buffer);
                    }
                    --waitCountdown_;
                    retryCountdown_ = kRetryCountdown;
                }
                linkCountdown_ = initialLinkCountdown();
            } else if (reply.status == kStatusIncomplete || reply.status == kStatusReadFailure) {
                --linkCountdown_;
            }
        }

        if (retryCountdown_ <= 0) {
            if (takenIndex >= 0) {
                shared_.RemoveRecord(takenIndex, takenText);
                if (taken.name == kNameLayoutTool) {
                    sink_.post(std::make_unique<CursorEvent>(0));
                    if (shared_.TracePosting())
                        postText(kErrorEvent,
                                 QStringLiteral("Превышен интервал ожидания матрицы из телефона"));
                }
            }
            resetCountdowns();
        }

        if (waitCountdown_ <= 0) {
            if (name == kNamePhoneBookTool && buffer.size() >= 3) {
                buffer[buffer.size() - 3] = static_cast<char>(kStatusErrorC0);
                postReply(buffer);
            }
            shared_.ClearQueue();
            waitCountdown_ = kWaitCountdown;
        }
    }

    // The clock is set only over a working link (never right after the link was lost).
    if (shared_.clockSynchronize.load() && shared_.connected.load() &&
        (!lastClockSet_ || environment_.clock().tickMs() - *lastClockSet_ > kClockInterval)) {
        idlePoll_ = false;
        SynchronizeClock();
    }
    idlePoll_ = false;
}

} // namespace telmira::link
