#pragma once

#include <QByteArray>
#include <QEvent>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QLocalServer;

// One zel per user: the first instance owns a local socket; a later start hands its message to
// it and ends. The first instance posts each message to the main window as event 1026.
namespace telmira {

// A second instance has sent a message: the absolute path of an existing .zel file, or "/s".
// The event owns its payload.
inline constexpr QEvent::Type kInstanceMessageEvent = QEvent::Type(1026);

class InstanceMessageEvent : public QEvent {
public:
    explicit InstanceMessageEvent(QByteArray message)
        : QEvent(kInstanceMessageEvent), message_(std::move(message)) {}
    const QByteArray& message() const { return message_; }

private:
    QByteArray message_;
};

// The largest message a second instance may send; longer ones are dropped.
inline constexpr qsizetype kMaxInstanceMessage = 64 * 1024;

// The socket path of the channel: Telmira_ProjectOpen_FileCommand under $XDG_RUNTIME_DIR, or
// under a private per-user folder in the temporary directory when that is not set. No value,
// with `error` set, when the private folder cannot be made safe.
std::optional<QString> instanceChannelPath(QString* error);

// What a second instance sends: the absolute path of the first argument when it is an existing
// .zel file (as the file system spells it), otherwise "/s". No terminator.
QByteArray secondInstanceMessage(const QStringList& arguments);

struct InstanceClaim;

// The first instance's end of the channel. Each connection carries one message, complete when
// the peer closes; it is posted to the receiver as an InstanceMessageEvent. Messages that arrive
// before a receiver is set wait for it. Empty and oversized messages and peers that stay silent
// are dropped.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    ~InstanceServer() override;
    void setReceiver(QObject* receiver);

private:
    friend InstanceClaim claimInstance(const QString&, const QByteArray&);
    InstanceServer();
    bool listen(const QString& path, QString* error);
    void acceptConnections();
    void deliver(QByteArray message);

    QLocalServer* server_;
    QPointer<QObject> receiver_;
    QList<QByteArray> waiting_;
};

struct InstanceClaim {
    enum class Outcome {
        First,  // this process owns the channel: `server` is set
        Second, // another instance answered and took the message
        Failed, // neither: `error` tells why
    };
    Outcome outcome = Outcome::Failed;
    std::unique_ptr<InstanceServer> server;
    QString error;
};

// Becomes the first instance on `path`, or, when a running instance answers there, hands it
// `message`. A socket left by an instance that crashed is removed and taken over. Two starts at
// the same moment are serialised by a lock file beside the socket. Needs a QCoreApplication.
InstanceClaim claimInstance(const QString& path, const QByteArray& message);

} // namespace telmira
