#include "project/exportdriver.h"

#include "base/cp1251.h"
#include "frame/records.h"
#include "frame/zelsettings.h"
#include "project/projectfile.h"
#include "project/setarchive.h"
#include "project/zelpack.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace telmira {

namespace {

constexpr qsizetype kMaxScriptLine = 200; // the compiler's limit, line end included

QString temp(const ExportJob& job) {
    return job.workDir + QStringLiteral("Media/Temp/");
}

void report(rom::ExportReport& out, int number, const QString& text) {
    out.report(number, text.toStdString());
}

void emptyFolder(const QString& folder) {
    QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        dir.remove(name);
}

std::string toCp1251(const QString& text, bool* lossless = nullptr) {
    return utf8ToCp1251(text.toStdString(), lossless);
}

std::optional<QStringList> readScript(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    QStringList lines =
        QString::fromStdString(cp1251ToUtf8(std::string_view(bytes.constData(), bytes.size())))
            .split(QLatin1Char('\n'));
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool writeText(const QString& path, const QStringList& lines) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const QString& line : lines) {
        const std::string bytes = toCp1251(line) + "\r\n";
        if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()))
            return false;
    }
    return file.commit();
}

// "Ошибка N" of a finished process: its exit code, or a note that it did not end normally.
QString exitText(const QProcess& process) {
    if (process.exitStatus() == QProcess::CrashExit)
        return QStringLiteral("(аварийное завершение)");
    return QString::number(static_cast<unsigned>(process.exitCode()));
}

bool succeeded(const QProcess& process) {
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

class MelodyStep {
public:
    MelodyStep(const ExportJob& job, rom::ExportReport& out, const ExportControl& control,
               std::uint32_t capacity)
        : job_(job), out_(out), control_(control), capacity_(capacity), temp_(temp(job)) {}

    void run() {
        const QString archiver = FindArchiver(job_.workDir);
        if (archiver.isEmpty()) {
            report(out_, 207,
                   QStringLiteral("Ошибка: не найден архиватор 7za.exe в каталоге Telmira"));
            return;
        }
        // A filter database too short to be one is rebuilt by the compiler.
        const QFileInfo database(job_.workDir + QStringLiteral("pdb.dat"));
        if (database.isFile() && database.size() < 128)
            QFile::remove(database.filePath());
        QDir().mkpath(temp_);
        emptyFolder(temp_);
        const QStringList setData = job_.project->ReadSection(QStringLiteral("SetData"));
        if (setData.isEmpty()) {
            report(out_, 206,
                   QStringLiteral("В проекте нет мелодий, назначьте набор мелодий заново"));
            return;
        }
        report(out_, 0,
               QStringLiteral("Извлечение мелодий из проекта, набор: ") +
                   job_.project->ReadString(QStringLiteral("MelodySet"),
                                            QStringLiteral("MelodySet"), QString()) +
                   QStringLiteral(".."));
        RestoreSetArchive(setData, temp_ + QStringLiteral("set.7z"));
        pump();
        if (!cancelled())
            unpackAndCompile(archiver);
        emptyFolder(temp_);
    }

private:
    bool cancelled() const { return control_.cancelled && control_.cancelled(); }
    void pump() const {
        if (control_.pump)
            control_.pump();
    }

    void unpackAndCompile(const QString& archiver) {
        const QString archive = temp_ + QStringLiteral("set.7z");
        if (!QFileInfo(archive).isFile()) {
            report(out_, 205,
                   QStringLiteral("Ошибка, не найден файл архива ") + archive +
                       QStringLiteral("\r Возможно проект не имеет назначенного списка мелодий"));
            return;
        }
        QProcess unpack;
        unpack.setProgram(archiver);
        unpack.setArguments({QStringLiteral("x"), QStringLiteral("-o") + temp_, archive});
        unpack.setWorkingDirectory(job_.workDir);
        unpack.setStandardInputFile(QProcess::nullDevice());
        unpack.setStandardOutputFile(QProcess::nullDevice());
        unpack.setStandardErrorFile(QProcess::nullDevice());
        unpack.start();
        if (!unpack.waitForStarted(-1)) {
            report(out_, 204, QStringLiteral("Ошибка при создании процесса 7za.exe"));
            return;
        }
        unpack.waitForFinished(-1);
        if (!succeeded(unpack)) {
            report(out_, 203,
                   QStringLiteral("Ошибка ") + exitText(unpack) +
                       QStringLiteral(" архиватора 7za.exe при извлечении файлов из архива ") +
                       archive);
            return;
        }
        const QString scriptPath = temp_ + QStringLiteral("set.tcl");
        std::optional<QStringList> script = readScript(scriptPath);
        if (!script) {
            report(out_, 209, QStringLiteral("Ошибка, в архиве набора нет сценария ") + scriptPath);
            return;
        }
        if (!QFileInfo(job_.workDir + QStringLiteral("zel.dls")).isFile()) {
            // There is no system instrument bank to fall back on here.
            report(out_, 200, QStringLiteral("Отсутствует zel.dls в каталоге ZEL"));
        }
        while (script->size() < 2)
            script->append(QString());
        const QString key =
            job_.project->ReadString(QStringLiteral("Project"), QStringLiteral("Key"), QString())
                .trimmed();
        if (key.size() == 32)
            (*script)[1] = QStringLiteral("set_key ") + key;
        const QString romPath = QDir(job_.startDir).absoluteFilePath(job_.romPath);
        const auto romForScript = ScriptRomPath(romPath, job_.workDir);
        if (!romForScript) {
            report(out_, 208,
                   QStringLiteral("Путь к файлу ПЗУ нельзя передать компилятору мелодий "
                                  "(пробелы, символы вне кодировки Windows-1251 или длина): ") +
                       romPath);
            return;
        }
        script->append(QStringLiteral("patch_zavra_rom ") + *romForScript);
        report(out_, 0, QStringLiteral("Имя файла:") + *romForScript);
        if (!writeText(scriptPath, *script)) {
            report(out_, 209, QStringLiteral("Ошибка записи сценария ") + scriptPath);
            return;
        }
        pump();
        if (!cancelled())
            compile(scriptPath, script->value(1));
    }

    void compile(const QString& scriptPath, const QString& sizeLine) {
        const QString outputPath = temp_ + QStringLiteral("MyStdOut.txt");
        QProcess compiler;
        compiler.setProgram(job_.workDir + QStringLiteral("midi2zavra"));
        compiler.setArguments({scriptPath});
        compiler.setWorkingDirectory(job_.workDir);
        compiler.setStandardInputFile(QProcess::nullDevice());
        compiler.setProcessChannelMode(QProcess::MergedChannels);
        compiler.setStandardOutputFile(outputPath, QIODevice::Truncate);
        compiler.start();
        if (!compiler.waitForStarted(-1)) {
            report(out_, 202, QStringLiteral("! Ошибка при создании процесса midi2zavra.exe"));
            return;
        }
        report(out_, 0, QStringLiteral("Компилирование набора мелодий.."));
        compiler.waitForFinished(-1);
        if (succeeded(compiler)) {
            report(out_, 0,
                   QStringLiteral("Мелодии (") +
                       FieldOf(sizeLine, QStringLiteral("MelodySetSize")) +
                       QStringLiteral(" байт)") + QStringLiteral(" экспортированы в ПЗУ (") +
                       QString::number(capacity_) + QStringLiteral(" байт)"));
            report(out_, 0, QStringLiteral("Экспорт проекта завершен"));
            return;
        }
        QFile output(outputPath);
        const QByteArray bytes = output.open(QIODevice::ReadOnly) ? output.readAll() : QByteArray();
        report(out_, 0, QString());
        report(out_, 201,
               QStringLiteral("Ошибка ") + exitText(compiler) +
                   QStringLiteral(" midi2zavra.exe при экспорте мелодий: \r\n") +
                   LastOutputLine(bytes));
    }

    const ExportJob& job_;
    rom::ExportReport& out_;
    const ExportControl& control_;
    std::uint32_t capacity_;
    QString temp_;
};

void writeReportFile(const ExportJob& job, const rom::ExportReport& out) {
    QStringList lines;
    for (const std::string& line : out.lines())
        lines << QString::fromStdString(line);
    writeText(QDir(job.startDir).filePath(job.romPath + QStringLiteral(".zl")), lines);
}

} // namespace

ExportJob MakeExportJob(const TMyMemIniFile& project, const PhoneDescription& description,
                        const QString& workDir, const QString& romPath, bool batch) {
    ExportJob job;
    job.workDir = workDir;
    job.romPath = romPath;
    job.startDir = QDir::currentPath();
    job.batch = batch;
    job.project = TMyMemIniFile::fromBytes(project.ToBytes(), project.FileName());
    job.projectFileName = project.FileName();
    job.description = std::make_unique<PhoneDescription>();
    job.description->Adopt(description.File()
                               ? TMyMemIniFile::fromBytes(description.File()->ToBytes(),
                                                          description.File()->FileName())
                               : nullptr,
                           description.FileName(), description.VersionName());
    return job;
}

QString FindArchiver(const QString& workDir) {
    const QString inWorkDir = QStandardPaths::findExecutable(QStringLiteral("7za"), {workDir});
    if (!inWorkDir.isEmpty())
        return inWorkDir;
    return QStandardPaths::findExecutable(QStringLiteral("7za"));
}

std::optional<QString> ScriptRomPath(const QString& absoluteRomPath, const QString& workDir) {
    const QString command = QStringLiteral("patch_zavra_rom ");
    const auto usable = [&](const QString& path) {
        if (path.isEmpty())
            return false;
        for (const QChar c : path)
            if (c.isSpace() || c.unicode() < 0x20)
                return false;
        bool lossless = false;
        const std::string bytes = toCp1251(command + path, &lossless);
        return lossless && static_cast<qsizetype>(bytes.size()) + 1 <= kMaxScriptLine;
    };
    if (usable(absoluteRomPath))
        return absoluteRomPath;
    const QString relative = QDir(workDir).relativeFilePath(absoluteRomPath);
    if (usable(relative))
        return relative;
    return std::nullopt;
}

QString LastOutputLine(const QByteArray& windows1251) {
    const QStringList lines =
        QString::fromStdString(
            cp1251ToUtf8(std::string_view(windows1251.constData(), windows1251.size())))
            .split(QLatin1Char('\n'));
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const QString line = QString(lines[i]).remove(QLatin1Char('+')).trimmed();
        if (!line.isEmpty())
            return line;
    }
    return QString();
}

bool RunExportDriver(const ExportJob& job, rom::ExportReport& out, const ExportControl& control) {
    bool ok = false;
    if (!(control.cancelled && control.cancelled())) {
        const ZelPackResult packed =
            ZelPack(*job.project, job.projectFileName, *job.description, job.romPath, out);
        if (packed.ok) {
            MelodyStep(job, out, control, packed.melodyCapacity).run();
            ok = !out.failed();
        }
    }
    if (job.batch)
        writeReportFile(job, out);
    return ok;
}

rom::ExportReport RunBatchExport(const QString& workDir, const QString& romFile,
                                 const QString& projectFile) {
    rom::ExportReport out;
    auto project = std::make_unique<TMyMemIniFile>(projectFile);
    if (!project->LastError().isEmpty()) {
        report(out, 9, QStringLiteral("Ошибка чтения файла проекта ") + projectFile);
        return out;
    }
    PhoneDescription description;
    description.LoadForProject(*project, workDir);
    ConvertAndUpgrade(*project, description);
    ExportJob job;
    job.workDir = workDir;
    job.romPath = romFile;
    job.startDir = QDir::currentPath();
    job.batch = true;
    job.projectFileName = projectFile;
    job.project = std::move(project);
    job.description = std::make_unique<PhoneDescription>(std::move(description));
    RunExportDriver(job, out);
    return out;
}

QString RomFileFilter() {
    return QStringLiteral("Код ПЗУ версии Корвел (*.rom);;Все файлы (*)");
}

RomChoiceStart RomDialogStart(const SettingsFile& zelIni, const SettingsFile& project,
                              const QString& workDir, const QString& versionName) {
    RomChoiceStart start;
    start.title = QStringLiteral(" Выберите код ПЗУ для версии ") + versionName;
    const QString last =
        project.ReadString(QStringLiteral("Project"), QStringLiteral("ROMFile"), QString());
    if (!last.isEmpty() && QFileInfo(last).isFile()) {
        start.folder = QFileInfo(last).absolutePath();
        start.selectedFile = last;
        return start;
    }
    const QString folder = readLastFolder(zelIni, LastFolder::RomImage);
    start.folder = !folder.isEmpty() && QFileInfo(folder).isDir()
                       ? folder
                       : workDir + QStringLiteral("RomData");
    return start;
}

void RememberRomChoice(SettingsFile& zelIni, SettingsFile& project, bool projectHasFile,
                       const QString& romPath) {
    writeLastFolder(zelIni, LastFolder::RomImage, QFileInfo(romPath).absolutePath());
    project.WriteString(QStringLiteral("Project"), QStringLiteral("ROMFile"), romPath);
    // An untitled project has no file yet: the choice stays in memory until it is saved.
    if (projectHasFile && QFileInfo(project.FileName()).isFile()) {
        TMyIniFile onDisk(project.FileName());
        onDisk.WriteString(QStringLiteral("Project"), QStringLiteral("ROMFile"), romPath);
    }
}

} // namespace telmira
