#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;
class QSerialPort;

// The link's view of the outside world: a clock, the list of serial ports and an open line.
// Everything is written against QIODevice, so the same link code runs on a QSerialPort, a
// pseudo-terminal or a scripted buffer in the tests.
namespace telmira::link {

class LinkClock {
public:
    virtual ~LinkClock();
    // Milliseconds of a steady clock (the link's tick count).
    virtual qint64 tickMs() = 0;
    // Local date and time (clock setting, the midnight notice).
    virtual QDateTime now() = 0;
};

class SystemClock : public LinkClock {
public:
    qint64 tickMs() override;
    QDateTime now() override;
};

// An open line to the phone.
class LinkLine {
public:
    virtual ~LinkLine();
    // Discards what waits in both directions (anything the phone sent unasked is lost).
    virtual void purge() = 0;
    // Writes every byte within the budget; false on failure (errorText() tells).
    virtual bool write(const QByteArray& bytes, int budgetMs) = 0;
    // One read call: waits until `count` bytes arrived or the budget is spent and returns what
    // arrived (possibly nothing); no value when the port failed.
    virtual std::optional<QByteArray> read(int count, int budgetMs) = 0;
    virtual QString errorText() const = 0;
    // The number traced as the port's handle.
    virtual qint64 handle() const = 0;
    // A long wait gives up early when this says so (the stop request).
    void setInterrupt(std::function<bool()> interrupted) { interrupted_ = std::move(interrupted); }

protected:
    bool interrupted() const { return interrupted_ && interrupted_(); }

private:
    std::function<bool()> interrupted_;
};

// A line over any QIODevice; the waits of the time-out budgets are waitForReadyRead and
// waitForBytesWritten, measured with the link's clock.
class DeviceLine : public LinkLine {
public:
    DeviceLine(QIODevice& device, LinkClock& clock);
    void purge() override;
    bool write(const QByteArray& bytes, int budgetMs) override;
    std::optional<QByteArray> read(int count, int budgetMs) override;
    QString errorText() const override;
    qint64 handle() const override { return -1; }

protected:
    // True when the device reports a failure (not a time-out).
    virtual bool failed() const;
    virtual void clearError() {}

    QIODevice& device_;
    LinkClock& clock_;
};

// A serial port (or pseudo-terminal) opened at 1000 baud, 8N1, DTR set and RTS cleared.
class SerialLine : public DeviceLine {
public:
    ~SerialLine() override;
    // Opens `portName` (a name as QSerialPortInfo lists it, or an absolute device path). On
    // failure no line and the system's text in `error`. Line settings that the port refuses are
    // reported in `warnings` and do not fail the open.
    static std::unique_ptr<SerialLine> open(const QString& portName, LinkClock& clock,
                                            QString* error, QStringList* warnings);
    void purge() override;
    qint64 handle() const override;

protected:
    bool failed() const override;
    void clearError() override;

private:
    SerialLine(std::unique_ptr<QSerialPort> port, LinkClock& clock);
    std::unique_ptr<QSerialPort> port_;
};

// What the link asks of its surroundings.
class LinkEnvironment {
public:
    virtual ~LinkEnvironment();
    // The system's serial ports (ListPorts); `configuredPort` is the fixed port setting, empty
    // with automatic search.
    virtual QStringList listPorts(const QString& configuredPort) = 0;
    struct Opened {
        std::unique_ptr<LinkLine> line;
        QString error;
        QStringList warnings;
    };
    virtual Opened openPort(const QString& portName) = 0;
    virtual LinkClock& clock() = 0;
};

// The real environment: QSerialPort lines, the system clock and ListPorts (or another lister).
class SerialEnvironment : public LinkEnvironment {
public:
    using PortLister = std::function<QStringList(const QString& configuredPort)>;
    explicit SerialEnvironment(std::unique_ptr<LinkClock> clock = nullptr,
                               PortLister lister = nullptr);
    QStringList listPorts(const QString& configuredPort) override;
    Opened openPort(const QString& portName) override;
    LinkClock& clock() override { return *clock_; }

private:
    std::unique_ptr<LinkClock> clock_;
    PortLister lister_;
};

} // namespace telmira::link
