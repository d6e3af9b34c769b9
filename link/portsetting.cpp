#include "link/portsetting.h"

#include <QDir>
#include <QFile>
#include <QSerialPortInfo>

#include <sys/stat.h>

namespace telmira::link {

bool IsCharacterDevicePath(const QString& path) {
    if (!QDir::isAbsolutePath(path))
        return false;
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

QStringList ListPorts(const QString& configuredPort) {
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.portName();
    if (!names.contains(configuredPort) && IsCharacterDevicePath(configuredPort))
        names << configuredPort;
    return names;
}

PortSetting ResolvePortSetting(const QString& setting, const QStringList& listedPorts) {
    if (!setting.isEmpty() && (listedPorts.contains(setting) || IsCharacterDevicePath(setting)))
        return PortSetting{setting, false};
    return PortSetting{};
}

PortSetting ResolvePortSetting(const QString& setting) {
    return ResolvePortSetting(setting, ListPorts(setting));
}

} // namespace telmira::link
