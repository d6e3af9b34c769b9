// linkmon: runs the phone link on a port and prints what it posts (trace, replies, link state)
// and what the reply dispatch decides (numbers, status bytes). See README.md.
#include "link/broadcast.h"
#include "link/commthread.h"
#include "link/dispatch.h"
#include "link/linkevents.h"
#include "link/numbercodes.h"
#include "link/protocol.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

using namespace telmira::link;

namespace {

void print(const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QString flagNames(int word, int firstBit) {
    QStringList names;
    for (int bit = firstBit; bit < firstBit + 8; ++bit)
        if (word & (1 << bit) && *stateBitName(bit))
            names << QString::fromLatin1(stateBitName(bit));
    return names.isEmpty() ? QStringLiteral("-") : names.join(QLatin1Char(' '));
}

class Monitor : public QObject, public DispatchHost {
public:
    void attach(TCommThread* thread) {
        thread_ = thread;
        dispatcher_ = std::make_unique<ReplyDispatcher>(thread->link(), *this, &broadcaster_);
    }

    bool event(QEvent* e) override {
        switch (static_cast<int>(e->type())) {
        case kReplyEvent: {
            const QByteArray& buffer = static_cast<ReplyEvent*>(e)->buffer();
            print(QStringLiteral("REPLY %1").arg(hexBytes(buffer).trimmed()));
            if (buffer.size() >= 3 && static_cast<std::uint8_t>(buffer[0]) == kItemStatus0) {
                const auto s = static_cast<std::uint8_t>(buffer[2]);
                print(QStringLiteral("STATUS0 %1 %2").arg(hexByte(s), flagNames(s, 0)));
            }
            if (dispatcher_)
                dispatcher_->Dispatch(buffer);
            return true;
        }
        case kTraceEvent: {
            QString text = static_cast<TextEvent*>(e)->text();
            if (text == QString(QChar(1)) || text == QString(QChar(2)))
                return true; // status marks of the debug window
            print(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed());
            return true;
        }
        case kLinkStateEvent: {
            if (!thread_)
                return true;
            const LinkShared& l = thread_->link();
            print(QStringLiteral("LINK %1 (model %2, feature level %3, answering machine %4)")
                      .arg(LinkStateHint(l.connected, QStringLiteral("?"), l.PortName())
                               .replace(QStringLiteral("\r\n"), QStringLiteral(" ")))
                      .arg(l.modelCode.load())
                      .arg(l.featureLevel.load())
                      .arg(l.answeringMachine ? QStringLiteral("yes") : QStringLiteral("no")));
            return true;
        }
        case kErrorEvent:
            print(QStringLiteral("ERROR ") + static_cast<TextEvent*>(e)->text());
            return true;
        case kCursorEvent:
            return true;
        default:
            return QObject::event(e);
        }
    }

    void showNumber(const NumberEvent& e) override {
        print(QStringLiteral("NUMBER %1 %2").arg(e.dialled ? "dialled" : "incoming", e.number));
    }
    void showStatus1(std::uint8_t s) override {
        print(QStringLiteral("STATUS1 %1 %2").arg(hexByte(s), flagNames(s << 8, 8)));
    }
    ReplyAddressee* archiveHandler() override { return &archive_; }
    void openAlarmForm(const QByteArray& buffer) override {
        print(QStringLiteral("ALARM %1").arg(hexBytes(buffer).trimmed()));
    }

private:
    // Prints the call records (item 25) of archive replies.
    struct Archive : ReplyAddressee {
        void CommandReply(const QByteArray& buffer) override {
            for (const Item& item : bufferItems(buffer)) {
                if (item.code != 25 || item.data.size() < 6)
                    continue;
                const auto d = [&](int i) { return static_cast<std::uint8_t>(item.data[i]); };
                const int duration = d(4) << 8 | d(5);
                print(QStringLiteral("ARCHIVE %1 %2 day %3 month %4 %5:%6 %7")
                          .arg(duration == 448 ? "missed"
                               : (d(0) & 0x80) ? "incoming"
                                               : "outgoing")
                          .arg(decodeCountedDigits(item.data.mid(6)))
                          .arg(d(0) & 0x3F)
                          .arg(d(1))
                          .arg(d(2), 2, 10, QLatin1Char('0'))
                          .arg(d(3), 2, 10, QLatin1Char('0'))
                          .arg(duration < 448 ? QStringLiteral("%1 min").arg(duration)
                                              : QStringLiteral("%1 s").arg(duration - 448)));
            }
        }
    };
    Archive archive_;
    DBusNumberBroadcaster broadcaster_;
    std::unique_ptr<ReplyDispatcher> dispatcher_;
    TCommThread* thread_ = nullptr;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Runs the phone link and prints what it posts. Orders on standard input: "
                       "\"send NAME COMMAND [HEX BYTES...]\" queues a command."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("port"),
                                 QStringLiteral("Port name or device path; empty: search."));
    parser.addOption({QStringLiteral("pings"),
                      QStringLiteral("Idle-poll trace: hidden, shown or data (default data)."),
                      QStringLiteral("mode"), QStringLiteral("data")});
    parser.addOption({QStringLiteral("no-clock"), QStringLiteral("Do not set the phone's clock.")});
    parser.process(app);

    Monitor monitor;
    const QString port = parser.positionalArguments().value(0, kAutomaticPortSetting);
    std::unique_ptr<TCommThread> thread = TCommThread::StartLink(port, &monitor);
    monitor.attach(thread.get());
    LinkShared& link = thread->link();
    link.traceWindowOpen = true;
    const QString pings = parser.value(QStringLiteral("pings"));
    link.pingTrace = pings == QLatin1String("shown")    ? PingTrace::Shown
                     : pings == QLatin1String("hidden") ? PingTrace::Hidden
                                                        : PingTrace::WhenData;
    link.clockSynchronize = !parser.isSet(QStringLiteral("no-clock"));

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        thread->Wake();
        poll.setInterval(thread->PollInterval());
    });
    poll.start(100);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[512];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        for (const QString& line : QString::fromUtf8(buffer, n).split(QLatin1Char('\n'))) {
            const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (words.size() < 3 || words[0] != QLatin1String("send")) {
                if (!words.isEmpty())
                    print(QStringLiteral("usage: send NAME COMMAND [HEX BYTES...]"));
                continue;
            }
            CommandRecord record{words[1].toInt(), words[2].toInt(), {}, -1, 0};
            for (const QString& hex : words.mid(3))
                record.parameters.append(static_cast<char>(hex.toInt(nullptr, 16)));
            print(link.AppendCommand(record) ? QStringLiteral("queued")
                                             : QStringLiteral("cannot queue that"));
        }
    });

    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&] { thread->StopLink(); });
    return app.exec();
}
