#include "tests/common/simprocess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace telmira::link::test {

Simulator::Simulator(const QStringList& arguments) {
    process_.setProgram(QStringLiteral(PHONESIM_PATH));
    process_.setArguments(arguments + QStringList{QStringLiteral("--log")});
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start();
    if (!process_.waitForStarted(5000))
        return;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && !process_.canReadLine())
        process_.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    if (process_.canReadLine())
        path_ = QString::fromUtf8(process_.readLine()).trimmed();
}

Simulator::~Simulator() {
    stop();
}

void Simulator::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

void Simulator::readLines(int waitMs) {
    if (!process_.canReadLine())
        process_.waitForReadyRead(waitMs);
    while (process_.canReadLine()) {
        const QString line = QString::fromUtf8(process_.readLine()).trimmed();
        if (line.startsWith(QStringLiteral("CMD ")) || line.startsWith(QStringLiteral("BAD ")))
            commands_ << line;
        else
            answers_ << line;
    }
}

QString Simulator::order(const QString& line) {
    answers_.clear();
    process_.write((line + QLatin1Char('\n')).toUtf8());
    QDeadlineTimer deadline(5000);
    while (answers_.isEmpty() && !deadline.hasExpired())
        readLines(50);
    return answers_.value(0);
}

QStringList Simulator::commands() {
    readLines(0);
    return commands_;
}

bool Collector::event(QEvent* event) {
    const int type = static_cast<int>(event->type());
    if (type < kReplyEvent || type > kCursorEvent)
        return QObject::event(event);
    Posted p{type, {}, {}};
    if (auto* reply = dynamic_cast<ReplyEvent*>(event))
        p.buffer = reply->buffer();
    if (auto* text = dynamic_cast<TextEvent*>(event))
        p.text = text->text();
    events.push_back(p);
    return true;
}

std::vector<QByteArray> Collector::replies() const {
    std::vector<QByteArray> out;
    for (const Posted& p : events)
        if (p.type == kReplyEvent)
            out.push_back(p.buffer);
    return out;
}

QStringList Collector::traces() const {
    QStringList out;
    for (const Posted& p : events)
        if (p.type == kTraceEvent)
            out << p.text;
    return out;
}

int Collector::count(int type) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(),
                                          [type](const Posted& p) { return p.type == type; }));
}

bool waitUntil(TCommThread& thread, const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer tick;
    bool held = false;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        thread.Wake();
        if (done()) {
            held = true;
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    tick.start(10);
    loop.exec();
    return held || done();
}

} // namespace telmira::link::test
