// Throughput of the phone link at the line's pace: the real link thread (TCommThread on a
// QSerialPort) talks to tools/phonesim, which sends every byte 10 ms after the one before, as a
// 1000-baud line does (10 bits a byte). The line carries at most 100 bytes a second, and the
// adapter's echo of every byte the PC sends takes its share of them.
//
// Each case reports, over one measured window of a few seconds:
//   exch_per_s        whole exchanges (command out, reply in) per second
//   payload_Bps       payload bytes per second: command parameters plus reply items
//   line_Bps          bytes per second the link read from the line (echo and replies)
//   limit_Bps         the line's limit, 100 bytes per second, echo included
//   line_use          line_Bps / limit_Bps
//   payload_use       payload_Bps / limit_Bps
//   exch_limit_per_s  exchanges per second a line never left idle would carry (limit / bytes
//                     of one exchange)
// The argument is the wake-up interval of the link thread: 100 ms is the main window's poll
// timer, 10 ms shows what the link and the line carry when the timer is not the bound.
//
// Run: build*/bench/bench_link (never part of the test run).
#include "link/catalogue.h"
#include "link/commthread.h"
#include "link/numbercodes.h"
#include "link/protocol.h"
#include "tests/common/simprocess.h"

#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <mutex>

using namespace telmira::link;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kLineLimitBytesPerSecond = 100.0;
constexpr int kConnectTimeoutMs = 15000;
constexpr auto kIdleWindow = std::chrono::seconds(3);

// What crossed the line, counted where the link reads and writes it.
struct Totals {
    qint64 exchanges = 0;        // replies read whole with data
    qint64 commandExchanges = 0; // of them, queued commands (not idle polls)
    qint64 lineBytes = 0;        // every byte read: echo and replies
    qint64 payloadBytes = 0;     // parameters and reply payload of whole exchanges
    Clock::time_point lastExchange{};
};

class Tally {
public:
    void add(const Totals& delta, bool exchangeEnded) {
        std::lock_guard<std::mutex> lock(mutex_);
        totals_.exchanges += delta.exchanges;
        totals_.commandExchanges += delta.commandExchanges;
        totals_.lineBytes += delta.lineBytes;
        totals_.payloadBytes += delta.payloadBytes;
        if (exchangeEnded)
            totals_.lastExchange = Clock::now();
    }
    Totals snapshot() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return totals_;
    }

private:
    mutable std::mutex mutex_;
    Totals totals_;
};

// A line that passes everything through and follows the frames: after each command frame the
// echo of its bytes, then the reply, whose header tells its length.
class CountingLine : public LinkLine {
public:
    CountingLine(std::unique_ptr<LinkLine> inner, Tally& tally)
        : inner_(std::move(inner)), tally_(tally) {
        inner_->setInterrupt([this] { return interrupted(); });
    }
    void purge() override {
        inner_->purge();
        awaiting_ = false;
    }
    bool write(const QByteArray& bytes, int budgetMs) override {
        const bool ok = inner_->write(bytes, budgetMs);
        const std::optional<CommandFrame> frame = decodeCommandFrame(bytes);
        awaiting_ = ok && frame.has_value();
        if (awaiting_) {
            command_ = frame->command;
            parameterBytes_ = static_cast<int>(frame->parameters.size());
            echoLeft_ = static_cast<int>(bytes.size());
            reply_.clear();
        }
        return ok;
    }
    std::optional<QByteArray> read(int count, int budgetMs) override {
        std::optional<QByteArray> got = inner_->read(count, budgetMs);
        if (got)
            follow(*got);
        return got;
    }
    QString errorText() const override { return inner_->errorText(); }
    qint64 handle() const override { return inner_->handle(); }

private:
    void follow(const QByteArray& bytes) {
        Totals delta;
        delta.lineBytes = bytes.size();
        bool ended = false;
        if (awaiting_) {
            const int echo = std::min<int>(echoLeft_, static_cast<int>(bytes.size()));
            echoLeft_ -= echo;
            reply_ += bytes.mid(echo);
            if (reply_.size() >= 2) {
                const int length =
                    2 + replyBytesAfterFirstTwo(static_cast<std::uint8_t>(reply_[0]),
                                                static_cast<std::uint8_t>(reply_[1]));
                if (reply_.size() >= length) {
                    const ReplyFrame frame = decodeReplyFrame(reply_.left(length));
                    awaiting_ = false;
                    if (frame.status == kStatusData) {
                        ended = true;
                        delta.exchanges = 1;
                        const bool idle = command_ == kIdlePoll || command_ == kIdlePollInteractive;
                        delta.commandExchanges = idle ? 0 : 1;
                        delta.payloadBytes = parameterBytes_ + frame.payload.size();
                    }
                }
            }
        }
        tally_.add(delta, ended);
    }

    std::unique_ptr<LinkLine> inner_;
    Tally& tally_;
    bool awaiting_ = false;
    std::uint8_t command_ = 0;
    int parameterBytes_ = 0;
    int echoLeft_ = 0;
    QByteArray reply_;
};

class CountingEnvironment : public SerialEnvironment {
public:
    explicit CountingEnvironment(Tally& tally) : tally_(tally) {}
    Opened openPort(const QString& portName) override {
        Opened opened = SerialEnvironment::openPort(portName);
        if (opened.line)
            opened.line = std::make_unique<CountingLine>(std::move(opened.line), tally_);
        return opened;
    }

private:
    Tally& tally_;
};

// The simulator and the link on its terminal, with the counts of what crossed the line.
struct Bench {
    explicit Bench(bool paced)
        : sim(paced ? QStringList{"--pace", "--no-answering-machine"}
                    : QStringList{"--no-answering-machine"}) {
        if (!sim.started())
            return;
        link = TCommThread::StartLink(
            sim.path(), nullptr, [this] { return std::make_unique<CountingEnvironment>(tally); });
    }
    ~Bench() {
        if (link)
            link->StopLink();
    }

    // Runs the event loop and wakes the link every `wakeMs` as the poll timer does, until
    // `done` holds (checked before each wake-up, so the link is left waiting) or the time is out.
    bool drive(int wakeMs, const std::function<bool()>& done, int timeoutMs) {
        if (done())
            return true;
        QEventLoop loop;
        QTimer tick;
        bool held = false;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            if (done()) {
                held = true;
                loop.quit();
                return;
            }
            link->Wake();
        });
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        tick.start(wakeMs);
        loop.exec();
        return held;
    }
    // Waits for the next exchange to end and returns the counts right after it.
    std::optional<Totals> nextExchange(int wakeMs) {
        const qint64 seen = tally.snapshot().exchanges;
        if (!drive(
                wakeMs, [&] { return tally.snapshot().exchanges > seen; }, 5000))
            return std::nullopt;
        return tally.snapshot();
    }
    bool connect(int wakeMs) {
        return drive(
            wakeMs, [&] { return link->link().connected.load(); }, kConnectTimeoutMs);
    }

    Tally tally;
    test::Simulator sim;
    std::unique_ptr<TCommThread> link;
};

// Accumulates windows and writes the counters.
struct Report {
    Totals sum;
    double seconds = 0;

    void add(const Totals& before, const Totals& after, double windowSeconds, bool commandsOnly) {
        sum.exchanges += commandsOnly ? after.commandExchanges - before.commandExchanges
                                      : after.exchanges - before.exchanges;
        sum.lineBytes += after.lineBytes - before.lineBytes;
        sum.payloadBytes += after.payloadBytes - before.payloadBytes;
        seconds += windowSeconds;
    }
    void write(benchmark::State& state) const {
        if (seconds <= 0 || sum.exchanges == 0)
            return;
        const double lineRate = static_cast<double>(sum.lineBytes) / seconds;
        const double payloadRate = static_cast<double>(sum.payloadBytes) / seconds;
        const double bytesPerExchange =
            static_cast<double>(sum.lineBytes) / static_cast<double>(sum.exchanges);
        state.counters["exch_per_s"] = static_cast<double>(sum.exchanges) / seconds;
        state.counters["payload_Bps"] = payloadRate;
        state.counters["line_Bps"] = lineRate;
        state.counters["limit_Bps"] = kLineLimitBytesPerSecond;
        state.counters["line_use"] = lineRate / kLineLimitBytesPerSecond;
        state.counters["payload_use"] = payloadRate / kLineLimitBytesPerSecond;
        state.counters["exch_limit_per_s"] = kLineLimitBytesPerSecond / bytesPerExchange;
    }
};

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Idle polls of a connected, quiet phone: one window of about three seconds, from the end of
// one exchange to the end of the first exchange three seconds later.
void BM_IdlePolls(benchmark::State& state) {
    const int wakeMs = static_cast<int>(state.range(0));
    Bench bench(true);
    if (!bench.link || !bench.connect(wakeMs)) {
        state.SkipWithError("the simulator did not start or the link did not come up");
        return;
    }
    Report report;
    for (auto _ : state) {
        const std::optional<Totals> before = bench.nextExchange(wakeMs);
        if (!before) {
            state.SkipWithError("no idle poll ended");
            return;
        }
        const Clock::time_point end = before->lastExchange + kIdleWindow;
        if (!bench.drive(
                wakeMs, [&] { return bench.tally.snapshot().lastExchange >= end; },
                static_cast<int>(std::chrono::milliseconds(kIdleWindow).count()) + 5000)) {
            state.SkipWithError("the idle polls stopped");
            return;
        }
        const Totals after = bench.tally.snapshot();
        const double seconds = secondsBetween(before->lastExchange, after.lastExchange);
        report.add(*before, after, seconds, false);
        state.SetIterationTime(seconds);
    }
    report.write(state);
}

// One phone-book record as the transfer to the phone writes it: $A3, the two markers, a name of
// ten display codes and an eleven-digit number in counted digit form.
QByteArray phoneBookRecord(int index) {
    QByteArray p;
    p.append(static_cast<char>(kWritePhoneBookRecord));
    p.append(static_cast<char>(1));
    p.append(static_cast<char>(0));
    p.append(static_cast<char>(10));
    for (int i = 0; i < 10; ++i)
        p.append(static_cast<char>(0x10 + (index + i) % 32));
    p.append(encodeCountedDigits(QStringLiteral("8495%1").arg(1000000 + index)));
    return p;
}

constexpr int kPhoneBookName = 1;

// Queues `records` at once right after an exchange ended and measures from then until the last
// one is answered; only the transfer's own exchanges count.
bool measureTransfer(benchmark::State& state, Bench& bench, int wakeMs,
                     const std::vector<CommandRecord>& records, Report& report) {
    const std::optional<Totals> before = bench.nextExchange(wakeMs);
    if (!before)
        return false;
    const Clock::time_point start = Clock::now();
    for (const CommandRecord& r : records)
        if (!bench.link->link().AppendCommand(r))
            return false;
    const qint64 target = before->commandExchanges + static_cast<qint64>(records.size());
    if (!bench.drive(
            wakeMs, [&] { return bench.tally.snapshot().commandExchanges >= target; }, 30000))
        return false;
    const Totals after = bench.tally.snapshot();
    const double seconds = secondsBetween(start, after.lastExchange);
    report.add(*before, after, seconds, true);
    state.SetIterationTime(seconds);
    return true;
}

// The phone-book transfer to the phone: twelve records queued at once, each a write command of
// 21 parameter bytes answered with an empty reply (about three seconds of line).
void BM_PhoneBookToPhone(benchmark::State& state) {
    const int wakeMs = static_cast<int>(state.range(0));
    Bench bench(true);
    if (!bench.link || !bench.connect(wakeMs)) {
        state.SkipWithError("the simulator did not start or the link did not come up");
        return;
    }
    std::vector<CommandRecord> records;
    for (int i = 0; i < 12; ++i)
        records.push_back({kPhoneBookName, kWriteBlock, phoneBookRecord(i), -1, 0});
    Report report;
    for (auto _ : state) {
        if (!measureTransfer(state, bench, wakeMs, records, report)) {
            state.SkipWithError("the transfer did not end");
            return;
        }
    }
    report.write(state);
}

// The phone book read back in parts: fourteen records (filled at full speed first), the first
// part, the next one and the empty reply that ends the reading; the replies carry nearly all
// the payload (about three seconds of line).
void BM_PhoneBookFromPhone(benchmark::State& state) {
    const int wakeMs = static_cast<int>(state.range(0));
    Bench bench(false);
    if (!bench.link || !bench.connect(wakeMs)) {
        state.SkipWithError("the simulator did not start or the link did not come up");
        return;
    }
    for (int i = 0; i < 14; ++i)
        bench.link->link().AppendCommand({kPhoneBookName, kWriteBlock, phoneBookRecord(i), -1, 0});
    if (!bench.drive(
            wakeMs, [&] { return bench.link->link().Count() == 0; }, 10000) ||
        bench.sim.order(QStringLiteral("pace on")) != QStringLiteral("OK")) {
        state.SkipWithError("the phone book was not filled");
        return;
    }
    const std::vector<CommandRecord> records = {
        {kPhoneBookName, kReadPhoneBook, QByteArray(1, '\0'), -1, 0},
        {kPhoneBookName, kReadPhoneBook, QByteArray(1, '\1'), -1, 0},
        {kPhoneBookName, kReadPhoneBook, QByteArray(1, '\1'), -1, 0},
    };
    Report report;
    for (auto _ : state) {
        if (!measureTransfer(state, bench, wakeMs, records, report)) {
            state.SkipWithError("the reading did not end");
            return;
        }
    }
    report.write(state);
}

} // namespace

BENCHMARK(BM_IdlePolls)
    ->Arg(100)
    ->Arg(10)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhoneBookToPhone)
    ->Arg(100)
    ->Arg(10)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhoneBookFromPhone)
    ->Arg(100)
    ->Arg(10)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    telmira::test::ensureApplication();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
