#include "link/broadcast.h"

#include "link/numbercodes.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace telmira::link {

void DBusNumberBroadcaster::broadcast(const QString& number, bool dialled) {
    QDBusConnection bus = bus_ ? *bus_ : QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(dialled ? kDialledPath : kIncomingPath),
        QString::fromLatin1(kBroadcastInterface), QString::fromLatin1(kBroadcastSignal));
    signal << broadcastNumberText(number);
    bus.send(signal);
}

} // namespace telmira::link
