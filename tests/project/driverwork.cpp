#include "tests/project/driverwork.h"

#include "project/setarchive.h"
#include "tests/project/exportfixtures.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace telmira::test {

QString str(const fs::path& path) {
    return QString::fromStdString(path.string());
}

const std::string kScript = "read_dls zel.dls\r\n;MelodySetSize=1234\r\n"
                            "precompiled_database pdb.dat\r\ncompile\r\n";

QByteArray archiveOf(const std::map<std::string, std::string>& files) {
    TempDir dir;
    QStringList names;
    for (const auto& [name, bytes] : files) {
        writeFile(dir / name, bytes);
        names << QString::fromStdString(name);
    }
    return packIn(dir.dir(), QStringList{"a", "set.7z"} + names);
}

QByteArray packIn(const fs::path& dir, const QStringList& arguments) {
    QProcess pack;
    pack.setWorkingDirectory(str(dir));
    pack.setStandardOutputFile(QProcess::nullDevice());
    pack.start(FindArchiver(QString()), arguments);
    EXPECT_TRUE(pack.waitForFinished(-1));
    EXPECT_EQ(pack.exitCode(), 0);
    const std::string bytes = readFile(dir / "set.7z");
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

Work::Work() {
    ensureApplication();
    work = root / "work";
    fs::create_directories(work / "Media/Temp");
    writeFile(work / "zel.dls", "bank");
    rom = root / "image.rom";
    const rom::RomImage image = demoImage("korv28v-256");
    original.assign(image.bytes().begin(), image.bytes().end());
    writeFile(rom, original);
    project =
        iniFromText(readFile(fs::path(TELMIRA_SOURCE_DIR) / "data/demo/demo.zel.txt"), "demo.zel");
    setArchive(archiveOf({{"set.tcl", kScript}, {"001.mid", "MThd"}}));
    compiler("cp \"$1\" seen.tcl; pwd > seen.cwd; echo MIDI2ZAVRA; exit 0");
}

void Work::setArchive(const QByteArray& bytes) {
    project->ReplaceSection("SetData", EncodeSetData(bytes));
}

void Work::compiler(const std::string& body) {
    writeFile(work / "midi2zavra", "#!/bin/sh\n" + body + "\n");
    fs::permissions(work / "midi2zavra", fs::perms::owner_all);
}

ExportJob Work::job(const QString& romPath) const {
    return MakeExportJob(*project, demoDescription("korv28v"), str(work) + "/",
                         romPath.isEmpty() ? str(rom) : romPath, false);
}

bool Work::run(const ExportControl& control, const QString& romPath) {
    ok = RunExportDriver(job(romPath), report, control);
    return ok;
}

std::vector<std::string> Work::tail(std::size_t n) const {
    const auto all = report.lines();
    return {all.end() - static_cast<std::ptrdiff_t>(std::min(n, all.size())), all.end()};
}

std::string Work::lines() const {
    std::string out;
    for (const std::string& line : report.lines())
        out += line + "\n";
    return out;
}

bool Work::tempIsEmpty() const {
    return fs::is_empty(work / "Media/Temp");
}

} // namespace telmira::test
