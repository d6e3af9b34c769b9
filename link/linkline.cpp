#include "link/linkline.h"

#include "link/portsetting.h"

#include <QIODevice>
#include <QSerialPort>

#include <algorithm>
#include <chrono>

namespace telmira::link {
namespace {
// Long waits are cut into slices so that a stop request ends them early.
constexpr int kWaitSliceMs = 50;
} // namespace

LinkClock::~LinkClock() = default;
LinkLine::~LinkLine() = default;
LinkEnvironment::~LinkEnvironment() = default;

qint64 SystemClock::tickMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QDateTime SystemClock::now() {
    return QDateTime::currentDateTime();
}

DeviceLine::DeviceLine(QIODevice& device, LinkClock& clock) : device_(device), clock_(clock) {}

void DeviceLine::purge() {
    clearError();
    while (device_.bytesAvailable() > 0)
        if (device_.skip(device_.bytesAvailable()) <= 0)
            break;
}

bool DeviceLine::write(const QByteArray& bytes, int budgetMs) {
    clearError();
    if (device_.write(bytes) != bytes.size())
        return false;
    const qint64 deadline = clock_.tickMs() + budgetMs;
    while (device_.bytesToWrite() > 0) {
        const qint64 remaining = deadline - clock_.tickMs();
        if (remaining <= 0 || interrupted())
            return false;
        if (!device_.waitForBytesWritten(static_cast<int>(std::min<qint64>(remaining, 1000))) &&
            failed())
            return false;
    }
    return !failed();
}

std::optional<QByteArray> DeviceLine::read(int count, int budgetMs) {
    clearError();
    QByteArray got;
    const qint64 deadline = clock_.tickMs() + budgetMs;
    while (got.size() < count) {
        if (device_.bytesAvailable() > 0) {
            QByteArray chunk(count - got.size(), '\0');
            const qint64 n = device_.read(chunk.data(), chunk.size());
            if (n < 0)
                return std::nullopt;
            got.append(chunk.constData(), n);
            continue;
        }
        if (failed())
            return std::nullopt;
        const qint64 remaining = deadline - clock_.tickMs();
        if (remaining <= 0 || interrupted())
            break;
        const int slice = static_cast<int>(std::min<qint64>(remaining, kWaitSliceMs));
        if (!device_.waitForReadyRead(slice) && device_.bytesAvailable() == 0) {
            if (failed())
                return std::nullopt;
            // A device that cannot wait (or a slice that passed without data): go on only
            // while the budget lasts and the clock moves.
            if (clock_.tickMs() >= deadline)
                break;
        }
    }
    return got;
}

QString DeviceLine::errorText() const {
    return device_.errorString();
}

bool DeviceLine::failed() const {
    return !device_.isOpen();
}

SerialLine::SerialLine(std::unique_ptr<QSerialPort> port, LinkClock& clock)
    : DeviceLine(*port, clock), port_(std::move(port)) {}

SerialLine::~SerialLine() {
    if (port_->isOpen())
        port_->close();
}

std::unique_ptr<SerialLine> SerialLine::open(const QString& portName, LinkClock& clock,
                                             QString* error, QStringList* warnings) {
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(portName);
    if (!port->open(QIODevice::ReadWrite)) {
        if (error)
            *error = port->errorString();
        return nullptr;
    }
    // 1000 baud is a custom rate; drivers of USB adapters and pseudo-terminals take it. The
    // other line settings stay as the port reports them.
    if (!port->setBaudRate(1000) || !port->setDataBits(QSerialPort::Data8) ||
        !port->setParity(QSerialPort::NoParity) || !port->setStopBits(QSerialPort::OneStop)) {
        if (warnings)
            *warnings << port->errorString() + QStringLiteral("\r\n") +
                             QStringLiteral("При настройке порта");
        port->clearError();
    }
    // A pseudo-terminal has no modem lines: DTR and RTS are refused there and do not matter.
    port->setDataTerminalReady(true);
    port->setRequestToSend(false);
    port->clearError();
    port->clear();
    return std::unique_ptr<SerialLine>(new SerialLine(std::move(port), clock));
}

void SerialLine::purge() {
    port_->clear();
    port_->clearError();
}

qint64 SerialLine::handle() const {
    return static_cast<qint64>(port_->handle());
}

bool SerialLine::failed() const {
    if (!port_->isOpen())
        return true;
    const QSerialPort::SerialPortError e = port_->error();
    return e != QSerialPort::NoError && e != QSerialPort::TimeoutError;
}

void SerialLine::clearError() {
    port_->clearError();
}

SerialEnvironment::SerialEnvironment(std::unique_ptr<LinkClock> clock, PortLister lister)
    : clock_(clock ? std::move(clock) : std::make_unique<SystemClock>()),
      lister_(lister ? std::move(lister) : PortLister(ListPorts)) {}

QStringList SerialEnvironment::listPorts(const QString& configuredPort) {
    return lister_(configuredPort);
}

LinkEnvironment::Opened SerialEnvironment::openPort(const QString& portName) {
    Opened result;
    result.line = SerialLine::open(portName, *clock_, &result.error, &result.warnings);
    return result;
}

} // namespace telmira::link
