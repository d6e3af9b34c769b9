#include "tests/common/zelprocess.h"

#include "base/cp1251.h"

#include <QCoreApplication>
#include <QProcess>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace telmira::test {

ZelEnvironment::ZelEnvironment() : runtime_(root_ / "run"), config_(root_ / "config") {
    fs::create_directories(runtime_);
    fs::create_directories(config_);
    ::chmod(runtime_.c_str(), 0700);
}

QString ZelEnvironment::channelPath() const {
    return QString::fromStdString((runtime_ / "Telmira_ProjectOpen_FileCommand").string());
}

void ZelEnvironment::setStoredWorkDir(const std::string& value) const {
    fs::create_directories(config_ / "Korvel Zoridev");
    writeFile(config_ / "Korvel Zoridev" / "Telmira.conf", "[General]\nWorkDir=" + value + "\n");
}

QProcessEnvironment ZelEnvironment::processEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime_.string()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(config_.string()));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // zel broadcasts the phone's numbers on the session bus: never on the desktop's.
    env.insert("DBUS_SESSION_BUS_ADDRESS", kNoSessionBus);
    return env;
}

ZelResult runZel(const fs::path& program, const QStringList& arguments, const fs::path& currentDir,
                 const ZelEnvironment& environment) {
    ensureApplication();
    QProcess process;
    process.setProcessEnvironment(environment.processEnvironment());
    process.setWorkingDirectory(QString::fromStdString(currentDir.string()));
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QString::fromStdString(program.string()), arguments);
    ZelResult result;
    result.finished = process.waitForFinished(60000);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.standardError = process.readAllStandardError();
    return result;
}

std::string cp1251(const std::string& utf8) {
    return utf8ToCp1251(utf8);
}

} // namespace telmira::test
