#pragma once

#include "base/romreport.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>

// The batch run of zel (-zelpack, -?, /?): no windows, no settings file, a log zel.log in the
// current directory (Windows-1251, CR LF) and an exit code.
namespace telmira {

// Exports the project file into the ROM file; the report holds the export's numbered lines.
using RomExportFn =
    std::function<rom::ExportReport(const QString& romFile, const QString& projectFile)>;

// A log file written line by line, each line Windows-1251 and ended by CR LF.
class BatchLog {
public:
    // Creates (overwrites) the file. False with error() set when that fails.
    bool open(const QString& path);
    bool writeLine(const QString& line);
    bool close();
    // Why the log could not be created or written.
    const QString& error() const { return error_; }

private:
    bool fail();
    QFile file_;
    QString error_;
};

struct BatchOutcome {
    int exitCode = 0;
    QString error; // set when the log could not be created or written
};

// Runs the batch switch arguments[0] (lower-cased "-zelpack", "-?" or "/?") with the further
// arguments. -zelpack takes exactly a ROM file and a project file, both existing, and hands them
// to `exportRom` (which every build of zel has); any failure ends with exit code 1. A log that
// cannot be written ends the run with exit code 1 and the reason in `error`.
BatchOutcome runBatch(const QStringList& arguments, const RomExportFn& exportRom,
                      const QString& logPath = QStringLiteral("zel.log"));

} // namespace telmira
