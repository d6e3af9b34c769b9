#pragma once

#include "base/romreport.h"
#include "frame/settings.h"
#include "project/descriptions.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// The export driver: ZelPack, then the melody step. The project's melody set archive (SetData)
// is unpacked into Media/Temp/ with 7za, its compiler script gets the instrument bank, the
// project key and the patch_zavra_rom line, and midi2zavra patches the melodies into the image
// ZelPack wrote, its standard output going to Media/Temp/MyStdOut.txt. Every step reports
// into the export report; the batch form also writes the report beside the ROM file (".zl").
namespace telmira {

// One export run's data, copied from the application when the run starts: a run in a worker
// thread reads nothing the windows may change meanwhile.
struct ExportJob {
    QString workDir;  // ends with "/"
    QString romPath;  // as chosen or typed; relative to startDir when not absolute
    QString startDir; // the directory the run was started from
    bool batch = false;
    std::unique_ptr<TMyMemIniFile> project;
    QString projectFileName;
    std::unique_ptr<PhoneDescription> description;
};

ExportJob MakeExportJob(const TMyMemIniFile& project, const PhoneDescription& description,
                        const QString& workDir, const QString& romPath, bool batch);

// What the driver may ask of its caller while it runs.
struct ExportControl {
    std::function<bool()> cancelled; // checked before ZelPack, before unpacking, before compiling
    std::function<void()> pump;      // lets pending work run after a step (interactive runs)
};

// Runs the whole export. True when no step reported an error.
bool RunExportDriver(const ExportJob& job, rom::ExportReport& report,
                     const ExportControl& control = {});

// The archiver: 7za in the work directory, else on PATH; empty when there is none.
QString FindArchiver(const QString& workDir);

// The ROM path as the compiler script can carry it (the script has no quoting and is read as
// Windows-1251 lines of at most 200 characters): the absolute path, else the path relative to
// the work directory (the compiler's current directory); no value when neither fits.
std::optional<QString> ScriptRomPath(const QString& absoluteRomPath, const QString& workDir);

// Why a set script is not run: its line number (from 1) and what is wrong with that line.
struct ScriptFault {
    qsizetype line;
    QString reason;
};

// Vets a set script taken from a project's archive before it is changed and run: only the
// commands of a set script zel writes may appear, each file argument names a file of the
// scratch folder ("Media/Temp/" + a plain name) or the work directory's own instrument bank and
// filter database, and the commands zel adds itself (set_key, patch_zavra_rom) must not be
// there. Blank lines and comment lines (";") pass. No value when the script may run.
std::optional<ScriptFault> VetSetScript(const QStringList& lines);

// The last line of the compiler's output that is not blank once every "+" is removed, trimmed.
QString LastOutputLine(const QByteArray& windows1251);

// The batch form (zel -zelpack): opens the project file, loads its description, converts and
// upgrades it in memory and runs the driver in batch mode. `romFile` is as typed on the command
// line, relative to the current directory.
rom::ExportReport RunBatchExport(const QString& workDir, const QString& romFile,
                                 const QString& projectFile);

// The export command's file dialog start and its bookkeeping.
struct RomChoiceStart {
    QString title;
    QString folder;
    QString selectedFile; // empty: none
};
RomChoiceStart RomDialogStart(const SettingsFile& zelIni, const SettingsFile& project,
                              const QString& workDir, const QString& versionName);
QString RomFileFilter();
// Remembers the chosen image: Common/LastROMPath in zel.ini, Project/ROMFile in the project in
// memory and, when the project has a file, in that file on disk.
void RememberRomChoice(SettingsFile& zelIni, SettingsFile& project, bool projectHasFile,
                       const QString& romPath);

} // namespace telmira
