#pragma once

#include "base/romreport.h"
#include "frame/settings.h"
#include "project/exportdriver.h"
#include "tests/common/testpaths.h"

#include <QByteArray>
#include <QString>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A work directory for export driver runs: the demo project with a real set archive, a copy of
// a demo image beside the work directory, and a stand-in compiler (a shell script).
namespace telmira::test {

QString str(const std::filesystem::path& path);

// The set script the stand-in archive carries.
extern const std::string kScript;

// A 7-Zip archive of the files, made by the real archiver.
QByteArray archiveOf(const std::map<std::string, std::string>& files);
// Runs the real archiver in `dir` with the arguments (which must make "set.7z" there) and
// returns the archive: for archives with entries that archiveOf cannot make.
QByteArray packIn(const std::filesystem::path& dir, const QStringList& arguments);

struct Work {
    TempDir root;
    std::filesystem::path work;
    std::filesystem::path rom;
    std::string original; // the image before the export
    std::unique_ptr<TMyMemIniFile> project;
    rom::ExportReport report;
    bool ok = false;

    Work();
    void setArchive(const QByteArray& bytes);
    // The stand-in compiler: a shell script run in the work directory.
    void compiler(const std::string& body);
    ExportJob job(const QString& romPath = {}) const;
    bool run(const ExportControl& control = {}, const QString& romPath = {});
    std::vector<std::string> tail(std::size_t n) const;
    std::string lines() const;
    bool tempIsEmpty() const;
};

} // namespace telmira::test
