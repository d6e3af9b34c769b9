#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>

// The batch run of zel (-zelpack, -?, /?): no windows, no settings file, a log zel.log in the
// current directory (Windows-1251, CR LF) and an exit code.
namespace telmira {

// What one export run reports: its lines in order, and whether one of them is an error.
struct ExportReport {
    QStringList lines;
    bool error = false;
};

// Exports the project file into the ROM file.
using RomExportFn = std::function<ExportReport(const QString& romFile, const QString& projectFile)>;

// The stand-in while this build has no ROM export: one error line.
ExportReport romExportUnavailable(const QString& romFile, const QString& projectFile);

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
// to `exportRom`; any failure ends with exit code 1. A log that cannot be written ends the run
// with exit code 1 and the reason in `error`.
BatchOutcome runBatch(const QStringList& arguments, const RomExportFn& exportRom,
                      const QString& logPath = QStringLiteral("zel.log"));

} // namespace telmira
