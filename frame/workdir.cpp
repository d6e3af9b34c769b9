#include "frame/workdir.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace telmira {
namespace {

bool holdsProgram(const QString& dirWithSlash) {
    return QFileInfo(dirWithSlash + QStringLiteral("zel")).isFile();
}

} // namespace

QString workDirectoryNotFoundMessage() {
    return QStringLiteral(
        "Невозможно определить рабочий каталог Telmira\r\nПереустановите программу");
}

QString storedWorkDirSetting() {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                             QStringLiteral("Korvel Zoridev"), QStringLiteral("Telmira"));
    const QVariant value = settings.value(QStringLiteral("WorkDir"));
    // An unquoted value with commas reads back as a list; the path is the whole text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

QString findWorkDirectory(const QString& executableDir, const QString& storedSetting) {
    QString exeDir = executableDir;
    if (!exeDir.endsWith(QLatin1Char('/')))
        exeDir += QLatin1Char('/');
    if (holdsProgram(exeDir))
        return exeDir;
    const QString candidate =
        storedSetting.trimmed().isEmpty() ? exeDir : storedSetting + QLatin1Char('/');
    return holdsProgram(candidate) ? candidate : QString();
}

} // namespace telmira
