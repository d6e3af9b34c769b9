#pragma once

#include <QString>
#include <QStringList>

// The `Common.ComPort` setting and the serial ports of the system: the one rule that reads the
// setting and the one port lister, for the link, the settings dialog and the start.
namespace telmira::link {

// The text of the port setting that asks for automatic search.
inline const QString kAutomaticPortSetting = QStringLiteral("Определять автоматически");

// An absolute path that names an existing character device (a serial port, a pseudo-terminal).
bool IsCharacterDevicePath(const QString& path);

// The serial ports of the system: the names QSerialPortInfo lists (ttyUSB0, ttyACM0, ttyS0, ...),
// plus `configuredPort` when it is a character device path the system does not list (a
// pseudo-terminal standing in for a phone).
QStringList ListPorts(const QString& configuredPort = QString());

// What a port setting asks for: a fixed port, or automatic search over every listed port.
struct PortSetting {
    QString portName; // empty with automatic search
    bool automaticSearch = true;
    friend bool operator==(const PortSetting&, const PortSetting&) = default;
};

// A setting names a port when it is one of `listedPorts` or a character device path; any other
// value (the automatic text, an empty value, an old "COM3", a missing path, a plain file, a
// folder) means automatic search.
PortSetting ResolvePortSetting(const QString& setting, const QStringList& listedPorts);
// The same against the ports the system lists now.
PortSetting ResolvePortSetting(const QString& setting);

} // namespace telmira::link
