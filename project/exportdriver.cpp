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
#include <QProcessEnvironment>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <array>

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

// The commands of a set script zel writes and what each takes. The compiler matches names in
// any case; only the lower-case form zel writes is accepted here.
enum class Argument { None, Values, ScratchFile, Bank, Database };
struct ScriptCommand {
    const char* name;
    Argument argument;
};
constexpr std::array<ScriptCommand, 19> kSetScriptCommands{{
    {"read_dls", Argument::Bank},
    {"precompiled_database", Argument::Database},
    {"set_egtiming", Argument::Values},
    {"set_max_drums", Argument::Values},
    {"set_max_melodic", Argument::Values},
    {"remap_region", Argument::Values},
    {"remap_program", Argument::Values},
    {"set_song_type", Argument::Values},
    {"set_resolution", Argument::Values},
    {"set_master_volume", Argument::Values},
    {"set_chn_volume_adjustment", Argument::Values},
    {"set_channel_prio", Argument::Values},
    {"set_instr_volume_adjustment", Argument::Values},
    {"set_channel_mask", Argument::Values},
    {"read_midi", Argument::ScratchFile},
    {"read_pt3", Argument::ScratchFile},
    {"read_fxm", Argument::ScratchFile},
    {"compile", Argument::None},
    {"write_stat", Argument::ScratchFile},
}};

bool isScriptSeparator(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r');
}

// A number, "*", or a word such as "mel", "bell" or a remap name: never a path.
bool isValueToken(const QString& token) {
    for (const QChar c : token) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                        (u >= '0' && u <= '9') || u == '*' || u == '-' || u == '+' || u == '.' ||
                        u == '_';
        if (!ok)
            return false;
    }
    return !token.contains(QStringLiteral(".."));
}

bool isScratchFile(const QString& token) {
    const QString prefix = QStringLiteral("Media/Temp/");
    if (!token.startsWith(prefix))
        return false;
    const QString name = token.mid(prefix.size());
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) &&
           !name.contains(QLatin1Char('\\')) && !name.contains(QStringLiteral(".."));
}

std::optional<QString> vetLine(const QString& line) {
    QStringList tokens;
    QString current;
    for (const QChar c : line) {
        if (c.unicode() == 0)
            return QStringLiteral("недопустимый символ");
        if (isScriptSeparator(c)) {
            if (!current.isEmpty())
                tokens << current;
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        tokens << current;
    if (tokens.isEmpty() || tokens[0].startsWith(QLatin1Char(';')))
        return std::nullopt;
    const auto command =
        std::find_if(kSetScriptCommands.begin(), kSetScriptCommands.end(),
                     [&](const ScriptCommand& c) { return tokens[0] == QLatin1String(c.name); });
    if (command == kSetScriptCommands.end())
        return QStringLiteral("недопустимая команда");
    const QStringList arguments = tokens.mid(1);
    switch (command->argument) {
    case Argument::None:
        if (!arguments.isEmpty())
            return QStringLiteral("лишние параметры");
        return std::nullopt;
    case Argument::Values:
        for (const QString& argument : arguments)
            if (!isValueToken(argument))
                return QStringLiteral("недопустимый параметр");
        return std::nullopt;
    case Argument::ScratchFile:
    case Argument::Bank:
    case Argument::Database:
        break;
    }
    if (arguments.size() != 1)
        return QStringLiteral("нужно одно имя файла");
    const QString& file = arguments[0];
    const bool ok = command->argument == Argument::Bank       ? file == QStringLiteral("zel.dls")
                    : command->argument == Argument::Database ? file == QStringLiteral("pdb.dat")
                                                              : isScratchFile(file);
    if (!ok)
        return QStringLiteral("файл вне рабочего каталога набора");
    return std::nullopt;
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
        if (!vetArchive(archiver, archive))
            return;
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
        if (const auto fault = VetSetScript(*script)) {
            report(out_, 213,
                   QStringLiteral("Ошибка в сценарии набора, строка ") +
                       QString::number(fault->line) + QStringLiteral(" (") + fault->reason +
                       QStringLiteral("): ") + script->value(fault->line - 1));
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

    // Lists the archive and refuses it, before anything is unpacked, when an entry could land
    // outside the scratch folder, is not a plain file or folder, or the whole is too large.
    bool vetArchive(const QString& archiver, const QString& archive) {
        QProcess list;
        list.setProgram(archiver);
        list.setArguments({QStringLiteral("l"), QStringLiteral("-slt"), archive});
        list.setWorkingDirectory(temp_);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        list.setProcessEnvironment(environment);
        list.setStandardInputFile(QProcess::nullDevice());
        list.setProcessChannelMode(QProcess::SeparateChannels);
        list.start();
        if (!list.waitForStarted(-1)) {
            report(out_, 204, QStringLiteral("Ошибка при создании процесса 7za.exe"));
            return false;
        }
        // The listing of an archive that fits the bound is small; read it as it comes.
        QByteArray listing;
        while (list.state() != QProcess::NotRunning) {
            if (!list.waitForReadyRead(-1))
                list.waitForFinished(-1); // output closed: only the exit is left
            listing += list.readAllStandardOutput();
            list.readAllStandardError();
            if (listing.size() > 16 * 1024 * 1024) {
                list.kill();
                list.waitForFinished(-1);
                report(out_, 212,
                       QStringLiteral("Ошибка, оглавление архива набора слишком велико: ") +
                           archive);
                return false;
            }
        }
        listing += list.readAllStandardOutput();
        if (!succeeded(list)) {
            report(out_, 203,
                   QStringLiteral("Ошибка ") + exitText(list) +
                       QStringLiteral(" архиватора 7za.exe при извлечении файлов из архива ") +
                       archive);
            return false;
        }
        if (const auto fault = CheckSetListing(listing)) {
            report(out_, fault->number, fault->text);
            return false;
        }
        return true;
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

std::optional<ScriptFault> VetSetScript(const QStringList& lines) {
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (auto reason = vetLine(lines[i]))
            return ScriptFault{i + 1, std::move(*reason)};
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
