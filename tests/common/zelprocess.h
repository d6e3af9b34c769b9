#pragma once

#include "tests/common/application.h"
#include "tests/common/testpaths.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>

#include <filesystem>

// Running the zel binary from tests: each run sees its own runtime folder (so parallel tests
// never meet on the single-instance channel), its own per-user settings folder and the
// offscreen display.
namespace telmira::test {

class ZelEnvironment {
public:
    ZelEnvironment();
    const std::filesystem::path& runtimeDir() const { return runtime_; }
    const std::filesystem::path& configDir() const { return config_; }
    // The socket path of the single-instance channel in this environment.
    QString channelPath() const;
    // Writes the per-user WorkDir setting as a QSettings file holds it.
    void setStoredWorkDir(const std::string& value) const;
    QProcessEnvironment processEnvironment() const;

private:
    TempDir root_;
    std::filesystem::path runtime_;
    std::filesystem::path config_;
};

struct ZelResult {
    bool finished = false;
    int exitCode = -1;
    QByteArray standardError;
};

ZelResult runZel(const std::filesystem::path& program, const QStringList& arguments,
                 const std::filesystem::path& currentDir, const ZelEnvironment& environment);

// The bytes of UTF-8 text in Windows-1251.
std::string cp1251(const std::string& utf8);

} // namespace telmira::test
