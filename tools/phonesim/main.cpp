// phonesim: plays a Korvel phone on a pseudo-terminal (see README.md).
#include "link/catalogue.h"
#include "link/protocol.h"
#include "tools/phonesim/control.h"
#include "tools/phonesim/phonecore.h"
#include "tools/phonesim/phoneframes.h"
#include "tools/phonesim/phonewire.h"
#include "tools/phonesim/pty.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

using namespace telmira;
using namespace telmira::phonesim;

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void onSignal(int) {
    stopSignal = 1;
}

qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void say(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

void trace(bool verbose, qint64 start, const QString& line) {
    if (verbose)
        std::fprintf(stderr, "%8.3f %s\n", double(nowMs() - start) / 1000.0, qPrintable(line));
}

QString describeFrame(const QByteArray& frame) {
    const std::optional<ReceivedCommand> command = readCommandFrame(frame);
    if (!command)
        return QStringLiteral("PC    %1 (check byte wrong)").arg(link::hexBytes(frame));
    const link::CatalogueEntry* entry = link::catalogueEntry(command->command);
    return QStringLiteral("PC    %1 [%2]")
        .arg(link::hexBytes(frame), QString::fromLatin1(entry ? entry->purpose : "?"));
}

QString describeReply(const QByteArray& frame) {
    const link::ReplyFrame reply = link::decodeReplyFrame(frame);
    QString text = QStringLiteral("PHONE %1").arg(link::hexBytes(frame));
    for (const link::Item& item : link::splitItems(reply.payload))
        text += QStringLiteral(" {%1: %2}").arg(item.code).arg(link::hexBytes(item.data).trimmed());
    return text;
}

int intOption(const QCommandLineParser& parser, const QString& name, int def) {
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    return ok ? value : def;
}

double rateOption(const QCommandLineParser& parser, const QString& name) {
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    return ok && value >= 0 && value <= 1 ? value : 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("phonesim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays a Korvel phone on a pseudo-terminal. Prints the terminal's path, "
                       "then takes orders on standard input (\"help\" lists them)."));
    parser.addHelpOption();
    const QList<QCommandLineOption> options = {
        {QStringLiteral("link"), QStringLiteral("Symbolic link to the terminal."),
         QStringLiteral("path")},
        {QStringLiteral("model"), QStringLiteral("Phone model code 0-15 (default 2)."),
         QStringLiteral("code"), QStringLiteral("2")},
        {QStringLiteral("no-answering-machine"), QStringLiteral("The phone has none.")},
        {QStringLiteral("feature-level"), QStringLiteral("Feature level 0-255 (default 2)."),
         QStringLiteral("level"), QStringLiteral("2")},
        {QStringLiteral("pace"), QStringLiteral("10 ms per byte on the line.")},
        {QStringLiteral("drop"), QStringLiteral("Chance 0..1 that a reply byte is lost."),
         QStringLiteral("rate"), QStringLiteral("0")},
        {QStringLiteral("corrupt"), QStringLiteral("Chance 0..1 of a wrong check byte."),
         QStringLiteral("rate"), QStringLiteral("0")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the fault chances."), QStringLiteral("n"),
         QStringLiteral("1")},
        {QStringLiteral("silent"), QStringLiteral("Start without answering.")},
        {QStringLiteral("erase-ms"), QStringLiteral("How long erasing the phone book takes."),
         QStringLiteral("ms"), QStringLiteral("300")},
        {QStringLiteral("log"), QStringLiteral("Print every command frame as a CMD line.")},
        {{QStringLiteral("v"), QStringLiteral("verbose")},
         QStringLiteral("Trace the line on standard error.")},
    };
    parser.addOptions(options);
    parser.process(app);

    PhoneOptions phoneOptions;
    phoneOptions.model = intOption(parser, QStringLiteral("model"), 2) & 0x0F;
    phoneOptions.answeringMachine = !parser.isSet(QStringLiteral("no-answering-machine"));
    phoneOptions.featureLevel = intOption(parser, QStringLiteral("feature-level"), 2) & 0xFF;
    phoneOptions.eraseMs = std::max(0, intOption(parser, QStringLiteral("erase-ms"), 300));
    WireOptions wireOptions;
    wireOptions.pace = parser.isSet(QStringLiteral("pace"));
    wireOptions.dropRate = rateOption(parser, QStringLiteral("drop"));
    wireOptions.corruptRate = rateOption(parser, QStringLiteral("corrupt"));
    wireOptions.seed = static_cast<unsigned>(intOption(parser, QStringLiteral("seed"), 1));
    const bool verbose = parser.isSet(QStringLiteral("verbose"));
    const bool logFrames = parser.isSet(QStringLiteral("log"));

    PseudoTerminal terminal;
    QString error;
    if (!terminal.open(parser.value(QStringLiteral("link")), &error)) {
        std::fprintf(stderr, "phonesim: %s\n", qPrintable(error));
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    const qint64 start = nowMs();
    PhoneCore core(phoneOptions);
    PhoneWire wire(core, wireOptions);
    wire.setSilent(parser.isSet(QStringLiteral("silent")));
    wire.onFrame = [&](const QByteArray& frame, bool valid) {
        trace(verbose, start, describeFrame(frame));
        if (logFrames) {
            const std::optional<ReceivedCommand> c = readCommandFrame(frame);
            say(valid && c
                    ? QStringLiteral("CMD %1 %2")
                          .arg(link::hexByte(c->command), link::hexBytes(c->parameters).trimmed())
                          .trimmed()
                    : QStringLiteral("BAD ") + link::hexBytes(frame).trimmed());
        }
    };
    wire.onReply = [&](const QByteArray& frame) { trace(verbose, start, describeReply(frame)); };
    say(terminal.slavePath());

    QByteArray controlLine;
    bool stdinOpen = true;
    while (!stopSignal) {
        const qint64 now = nowMs();
        core.advance(now);
        const QByteArray due = wire.takeDue(now);
        if (!due.isEmpty() && ::write(terminal.master(), due.constData(), due.size()) < 0 &&
            errno != EAGAIN)
            trace(verbose, start, QStringLiteral("write failed"));

        int timeout = 100;
        for (const std::optional<qint64>& t : {wire.nextDue(), core.nextDeadline()})
            if (t)
                timeout = static_cast<int>(std::clamp<qint64>(*t - now, 0, timeout));
        pollfd fds[2] = {{terminal.master(), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int ready = ::poll(fds, stdinOpen ? 2 : 1, timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::perror("phonesim: poll");
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            char buffer[512];
            const ssize_t n = ::read(terminal.master(), buffer, sizeof buffer);
            if (n > 0)
                wire.receive(QByteArray(buffer, n), nowMs());
        }
        if (stdinOpen && (fds[1].revents & (POLLIN | POLLHUP))) {
            char buffer[512];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                stdinOpen = false; // keep playing the phone until a signal ends it
                continue;
            }
            controlLine.append(buffer, n);
            qsizetype end;
            while ((end = controlLine.indexOf('\n')) >= 0) {
                const QString line = QString::fromUtf8(controlLine.left(end)).trimmed();
                controlLine.remove(0, end + 1);
                if (line.isEmpty())
                    continue;
                const ControlResult result = applyControl(line, core, wire, nowMs());
                say(result.answer);
                if (result.quit)
                    return 0;
            }
        }
    }
    return 0;
}
