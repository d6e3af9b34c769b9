#include "frame/batchlog.h"

#include "base/cp1251.h"
#include "base/version.h"

#include <QFileInfo>

namespace telmira {
namespace {

const QString kExportUsage =
    QStringLiteral("Экспорт проекта в ПЗУ: zel.exe -zelpack RomFile.rom ProjectFile.zel");
const QString kOpenUsage = QStringLiteral("Открыть проект: zel.exe ProjectFile.zel");

// The -zelpack run after the header: true when it failed.
bool exportFailed(const QStringList& arguments, const RomExportFn& exportRom, BatchLog& log,
                  bool& written) {
    QStringList lines;
    bool failed = false;
    if (arguments.size() == 3) {
        for (const QString& file : {arguments[1], arguments[2]}) {
            if (!QFileInfo(file).isFile()) {
                lines << QStringLiteral("Ошибка: файл не найден: ") + file;
                failed = true;
            }
        }
        if (!failed) {
            const rom::ExportReport report = exportRom(arguments[1], arguments[2]);
            for (const std::string& line : report.lines())
                lines << QString::fromStdString(line);
            failed = report.failed();
        }
    } else {
        lines << QStringLiteral("Ошибка: Неверное количество параметров -zelpack")
              << QStringLiteral("Формат командной строки:") << kExportUsage << kOpenUsage;
        failed = true;
    }
    for (const QString& line : lines)
        written = written && log.writeLine(line);
    return failed;
}

} // namespace

bool BatchLog::open(const QString& path) {
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail();
    return true;
}

bool BatchLog::writeLine(const QString& line) {
    const std::string bytes = utf8ToCp1251(line.toStdString()) + "\r\n";
    if (file_.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size()))
        return fail();
    return true;
}

bool BatchLog::close() {
    if (!file_.flush())
        return fail();
    file_.close();
    return true;
}

bool BatchLog::fail() {
    error_ = QStringLiteral("не удаётся записать журнал %1: %2")
                 .arg(QFileInfo(file_.fileName()).absoluteFilePath(), file_.errorString());
    file_.close();
    return false;
}

BatchOutcome runBatch(const QStringList& arguments, const RomExportFn& exportRom,
                      const QString& logPath) {
    BatchLog log;
    if (!log.open(logPath))
        return {1, log.error()};
    bool written = log.writeLine(QString()) &&
                   log.writeLine(QStringLiteral("Telmira, версия ") + TELMIRA_VERSION) &&
                   log.writeLine(QStringLiteral(TELMIRA_MAKER)) && log.writeLine(QString());
    if (!written)
        return {1, log.error()};
    bool failed = false;
    if (arguments.value(0) == QStringLiteral("-zelpack"))
        failed = exportFailed(arguments, exportRom, log, written);
    else
        written = log.writeLine(kExportUsage) && log.writeLine(kOpenUsage);
    if (!written || !log.close())
        return {1, log.error()};
    return {failed ? 1 : 0, QString()};
}

} // namespace telmira
