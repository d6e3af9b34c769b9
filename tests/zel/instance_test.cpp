// The single-instance channel: the first instance's server, later starts of the real zel
// handing over their message, and a socket left behind by an instance that died.
#include "frame/settings.h"
#include "frame/singleinstance.h"
#include "tests/common/zelprocess.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace telmira;
using namespace telmira::test;

namespace {

// Stands in for the main window: keeps the messages of the events posted to it.
class Receiver : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() != kInstanceMessageEvent)
            return QObject::event(event);
        messages << static_cast<InstanceMessageEvent*>(event)->message();
        return true;
    }
    QList<QByteArray> messages;
};

// Runs the event loop until `done` holds or the time is up.
template <typename Done> bool spinUntil(Done done, int timeoutMs = 10000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

// A socket file nobody listens on, as a crashed instance leaves it.
void leaveStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    ASSERT_LT(static_cast<size_t>(name.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(fs::exists(name.toStdString()));
}

void sendRaw(const QString& path, const QByteArray& bytes) {
    QLocalSocket peer;
    peer.connectToServer(path);
    ASSERT_TRUE(peer.waitForConnected(2000));
    peer.write(bytes);
    while (peer.bytesToWrite() > 0)
        ASSERT_TRUE(peer.waitForBytesWritten(2000));
    peer.disconnectFromServer();
}

class Channel : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        InstanceClaim claim = claimInstance(environment.channelPath(), "unused");
        ASSERT_EQ(claim.outcome, InstanceClaim::Outcome::First) << claim.error.toStdString();
        server = std::move(claim.server);
        server->setReceiver(&receiver);
    }

    ZelEnvironment environment;
    std::unique_ptr<InstanceServer> server;
    Receiver receiver;
};

TEST_F(Channel, SecondZelHandsOverItsProjectOrSlashS) {
    WorkCopy work;
    TempDir here;
    writeFile(here / "проект.ZEL", "[Project]\r\n");
    writeFile(here / "image.rom", "");
    const QByteArray project =
        QFile::encodeName(QDir::cleanPath(QString::fromStdString((here / "проект.ZEL").string())));
    struct Case {
        QStringList arguments;
        QByteArray message;
    };
    const Case cases[] = {
        {{QString::fromUtf8("проект.ZEL")}, project}, // relative path, sent absolute
        {{"missing.zel"}, "/s"},
        {{"image.rom"}, "/s"},
        {{}, "/s"},
        {{"-zelpack", "image.rom", QString::fromUtf8("проект.ZEL")}, "/s"}, // no batch run
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        receiver.messages.clear();
        const ZelResult result = runZel(work / "zel", c.arguments, here.dir(), environment);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0);
        ASSERT_TRUE(spinUntil([&] { return !receiver.messages.isEmpty(); }));
        spinUntil([] { return false; }, 100); // nothing further arrives
        EXPECT_EQ(receiver.messages, QList<QByteArray>{c.message});
        EXPECT_FALSE(fs::exists(here / "zel.log"));
    }
}

TEST_F(Channel, DropsEmptyOversizedAndSilentPeers) {
    sendRaw(environment.channelPath(), QByteArray());
    sendRaw(environment.channelPath(), QByteArray(kMaxInstanceMessage + 1, 'x'));
    QLocalSocket silent;
    silent.connectToServer(environment.channelPath());
    ASSERT_TRUE(silent.waitForConnected(2000));
    silent.write("/s"); // never closes its end
    silent.flush();
    sendRaw(environment.channelPath(), QByteArray(kMaxInstanceMessage, 'y'));
    ASSERT_TRUE(spinUntil([&] { return !receiver.messages.isEmpty(); }));
    // The silent peer is cut off after its time without a message.
    EXPECT_TRUE(spinUntil([&] { return silent.state() == QLocalSocket::UnconnectedState; }, 15000));
    EXPECT_EQ(receiver.messages, QList<QByteArray>{QByteArray(kMaxInstanceMessage, 'y')});
}

TEST(ChannelStart, MessagesBeforeTheReceiverWaitForIt) {
    ensureApplication();
    ZelEnvironment environment;
    InstanceClaim claim = claimInstance(environment.channelPath(), "unused");
    ASSERT_EQ(claim.outcome, InstanceClaim::Outcome::First);
    InstanceClaim second = claimInstance(environment.channelPath(), "/s");
    EXPECT_EQ(second.outcome, InstanceClaim::Outcome::Second);
    EXPECT_EQ(second.server, nullptr);
    spinUntil([] { return false; }, 300);
    Receiver receiver;
    claim.server->setReceiver(&receiver);
    ASSERT_TRUE(spinUntil([&] { return !receiver.messages.isEmpty(); }));
    EXPECT_EQ(receiver.messages, QList<QByteArray>{"/s"});
}

TEST(ChannelStart, TakesOverTheSocketOfAnInstanceThatDied) {
    ensureApplication();
    ZelEnvironment environment;
    leaveStaleSocket(environment.channelPath());
    InstanceClaim claim = claimInstance(environment.channelPath(), "unused");
    ASSERT_EQ(claim.outcome, InstanceClaim::Outcome::First) << claim.error.toStdString();
    claim.server.reset();
    EXPECT_FALSE(fs::exists(environment.channelPath().toStdString()));
}

TEST(ChannelStart, WithoutRuntimeFolderUsesAPrivateTemporaryFolder) {
    TempDir temp;
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QByteArray::fromStdString(temp.dir().string()));
    const fs::path folder = temp / ("telmira-" + std::to_string(::getuid()));

    QString error;
    std::optional<QString> path = instanceChannelPath(&error);
    ASSERT_TRUE(path.has_value()) << error.toStdString();
    EXPECT_EQ(path->toStdString(), (folder / "Telmira_ProjectOpen_FileCommand").string());
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ::chmod(folder.c_str(), 0755); // opened by someone: closed again
    ASSERT_TRUE(instanceChannelPath(&error).has_value());
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    fs::remove(folder); // a link planted in its place is refused
    fs::create_directory(temp / "elsewhere");
    fs::create_directory_symlink(temp / "elsewhere", folder);
    EXPECT_FALSE(instanceChannelPath(&error).has_value());
    EXPECT_FALSE(error.isEmpty());

    qputenv("TMPDIR", oldTemp);
    if (!oldRuntime.isEmpty())
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
}

// A running zel owns the channel; later starts hand over and end; once it dies, the next start
// takes the channel over and runs its batch.
TEST(ZelInstances, RunningZelTakesLaterStartsUntilItDies) {
    ensureApplication();
    WorkCopy work;
    TempDir here;
    ZelEnvironment environment;
    QProcess first;
    first.setProcessEnvironment(environment.processEnvironment());
    first.setWorkingDirectory(QString::fromStdString(here.dir().string()));
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(QString::fromStdString((work / "zel").string()), {});
    ASSERT_TRUE(first.waitForStarted());
    const fs::path socket = environment.channelPath().toStdString();
    ASSERT_TRUE(spinUntil([&] { return fs::exists(socket); }, 30000));

    writeFile(here / "p.zel", "[Project]\r\n");
    for (const QStringList& arguments : {QStringList{"p.zel"}, QStringList{"-?"}}) {
        const ZelResult result = runZel(work / "zel", arguments, here.dir(), environment);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0);
    }
    EXPECT_FALSE(fs::exists(here / "zel.log"));
    EXPECT_EQ(first.state(), QProcess::Running);
    // The first zel opened the project handed over: it heads its recent list.
    const QString project = QString::fromStdString((here / "p.zel").string());
    EXPECT_TRUE(spinUntil(
        [&] {
            return TMyIniFile(QString::fromStdString((work / "zel.ini").string()))
                       .ReadString("Recent", "0", "") == project;
        },
        30000));

    first.kill();
    first.waitForFinished();
    ASSERT_TRUE(fs::exists(socket)); // left behind
    const ZelResult after = runZel(work / "zel", {"-?"}, here.dir(), environment);
    EXPECT_EQ(after.exitCode, 0);
    EXPECT_TRUE(fs::exists(here / "zel.log"));
}

} // namespace
