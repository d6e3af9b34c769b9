#include "frame/singleinstance.h"

#include "frame/startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

namespace telmira {
namespace {

const QString kChannelName = QStringLiteral("Telmira_ProjectOpen_FileCommand");

// How long a peer may take to send its message, and how long the start waits for another
// start that holds the lock or for the running instance to take the message.
constexpr int kPeerTimeoutMs = 5000;
constexpr int kConnectTimeoutMs = 2000;
// Messages kept while no receiver exists yet.
constexpr qsizetype kMaxWaiting = 16;

// A folder only this user can enter: created when missing, refused when it is a link, belongs
// to someone else, or cannot be closed to others.
bool makePrivateFolder(const QString& dir, QString* error) {
    const QByteArray name = QFile::encodeName(dir);
    ::mkdir(name.constData(), 0700);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        *error = QStringLiteral("папка %1 не принадлежит пользователю").arg(dir);
        return false;
    }
    if ((st.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0) {
        *error = QStringLiteral("не удаётся закрыть папку %1 для других").arg(dir);
        return false;
    }
    return true;
}

bool sendMessage(QLocalSocket& peer, const QByteArray& message, QString* error) {
    if (peer.write(message) != message.size()) {
        *error = peer.errorString();
        return false;
    }
    while (peer.bytesToWrite() > 0) {
        if (!peer.waitForBytesWritten(kPeerTimeoutMs)) {
            *error = peer.errorString();
            return false;
        }
    }
    peer.disconnectFromServer();
    if (peer.state() != QLocalSocket::UnconnectedState &&
        !peer.waitForDisconnected(kPeerTimeoutMs)) {
        *error = peer.errorString();
        return false;
    }
    return true;
}

} // namespace

std::optional<QString> instanceChannelPath(QString* error) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir::cleanPath(runtime) + QLatin1Char('/') + kChannelName;
    const QString dir =
        QDir::tempPath() + QStringLiteral("/telmira-") + QString::number(::getuid());
    if (!makePrivateFolder(dir, error))
        return std::nullopt;
    return dir + QLatin1Char('/') + kChannelName;
}

QByteArray secondInstanceMessage(const QStringList& arguments) {
    const QString first = arguments.value(0);
    if (isExistingProjectFile(first))
        return QFile::encodeName(QFileInfo(first).absoluteFilePath());
    return QByteArrayLiteral("/s");
}

InstanceServer::InstanceServer() : server_(new QLocalServer(this)) {}

InstanceServer::~InstanceServer() = default;

bool InstanceServer::listen(const QString& path, QString* error) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path)) {
        *error = server_->errorString();
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &InstanceServer::acceptConnections);
    return true;
}

void InstanceServer::setReceiver(QObject* receiver) {
    receiver_ = receiver;
    const QList<QByteArray> waiting = std::exchange(waiting_, {});
    for (const QByteArray& message : waiting)
        deliver(message);
}

void InstanceServer::acceptConnections() {
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
        struct Incoming {
            QByteArray data;
            bool dropped = false;
            bool finished = false;
        };
        auto incoming = std::make_shared<Incoming>();
        auto drop = [peer, incoming] {
            incoming->dropped = true;
            peer->abort();
        };
        auto take = [peer, incoming, drop] {
            if (incoming->dropped)
                return;
            incoming->data += peer->readAll();
            if (incoming->data.size() > kMaxInstanceMessage)
                drop();
        };
        // The peer closing its end completes the message.
        auto finish = [this, peer, incoming, take] {
            if (std::exchange(incoming->finished, true))
                return;
            take();
            if (!incoming->dropped && !incoming->data.isEmpty())
                deliver(incoming->data);
            peer->deleteLater();
        };
        connect(peer, &QLocalSocket::readyRead, peer, take);
        connect(peer, &QLocalSocket::disconnected, this, finish);
        QTimer::singleShot(kPeerTimeoutMs, peer, drop);
        take();
        if (peer->state() == QLocalSocket::UnconnectedState)
            finish();
    }
}

void InstanceServer::deliver(QByteArray message) {
    if (receiver_) {
        QCoreApplication::postEvent(receiver_, new InstanceMessageEvent(std::move(message)));
    } else if (waiting_.size() < kMaxWaiting) {
        waiting_ << std::move(message);
    }
}

InstanceClaim claimInstance(const QString& path, const QByteArray& message) {
    InstanceClaim claim;
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(kPeerTimeoutMs)) {
        claim.error = QStringLiteral("канал %1 занят другим запуском").arg(path);
        return claim;
    }
    QLocalSocket peer;
    peer.connectToServer(path);
    if (peer.waitForConnected(kConnectTimeoutMs)) {
        if (sendMessage(peer, message, &claim.error))
            claim.outcome = InstanceClaim::Outcome::Second;
        return claim;
    }
    // Nobody answers: a socket file left there belongs to an instance that has ended.
    QLocalServer::removeServer(path);
    std::unique_ptr<InstanceServer> server(new InstanceServer);
    if (!server->listen(path, &claim.error))
        return claim;
    claim.outcome = InstanceClaim::Outcome::First;
    claim.server = std::move(server);
    return claim;
}

} // namespace telmira
