// The number broadcast on a private D-Bus daemon (skipped where dbus-daemon is missing).
#include "link/broadcast.h"
#include "tests/common/simprocess.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

using namespace telmira::link;

namespace {

class Listener : public QObject {
    Q_OBJECT
public:
    QStringList heard;
public slots:
    void incoming(const QString& number) { heard << QStringLiteral("in ") + number; }
    void dialled(const QString& number) { heard << QStringLiteral("out ") + number; }
};

} // namespace

TEST(NumberBroadcast, EveryNumberGoesOutAsASignalOnTheBus) {
    telmira::test::ensureApplication();
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QProcess bus;
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address=1")});
    ASSERT_TRUE(bus.waitForStarted(5000));
    while (!bus.canReadLine() && bus.waitForReadyRead(5000)) {
    }
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    ASSERT_FALSE(address.isEmpty());
    {
        QDBusConnection listenerBus =
            QDBusConnection::connectToBus(address, QStringLiteral("listener"));
        QDBusConnection senderBus =
            QDBusConnection::connectToBus(address, QStringLiteral("sender"));
        ASSERT_TRUE(listenerBus.isConnected() && senderBus.isConnected());
        Listener listener;
        ASSERT_TRUE(listenerBus.connect(
            QString(), QString::fromLatin1(kIncomingPath), QString::fromLatin1(kBroadcastInterface),
            QString::fromLatin1(kBroadcastSignal), &listener, SLOT(incoming(QString))));
        ASSERT_TRUE(listenerBus.connect(
            QString(), QString::fromLatin1(kDialledPath), QString::fromLatin1(kBroadcastInterface),
            QString::fromLatin1(kBroadcastSignal), &listener, SLOT(dialled(QString))));
        // connect() queues the bus's AddMatch calls without waiting for their replies, and the
        // bus reads the two connections in no fixed order: a signal sent now may be routed
        // before the rules exist and reach no one. The bus answers a connection's calls in
        // the order they came, so one answered call on the listener's connection means both
        // rules are in place.
        const QDBusMessage roundTrip = listenerBus.call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
        ASSERT_EQ(roundTrip.type(), QDBusMessage::ReplyMessage)
            << roundTrip.errorMessage().toStdString();
        DBusNumberBroadcaster broadcaster(senderBus);
        broadcaster.broadcast(QStringLiteral("4951234567"), false);
        broadcaster.broadcast(QStringLiteral("1234567890123456"), true);

        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (listener.heard.size() >= 2)
                loop.quit();
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        check.start(10);
        loop.exec();
        EXPECT_EQ(listener.heard, (QStringList{"in 4951234567", "out 12345678901234"}));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("listener"));
    QDBusConnection::disconnectFromBus(QStringLiteral("sender"));
    bus.kill();
    bus.waitForFinished(3000);
}

#include "broadcast_test.moc"
