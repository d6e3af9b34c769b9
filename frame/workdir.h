#pragma once

#include <QString>

// The work directory: the installation folder every data path of zel hangs off.
namespace telmira {

// The message shown when no work directory can be found.
QString workDirectoryNotFoundMessage();

// The per-user WorkDir setting (organisation "Korvel Zoridev", application "Telmira"); empty
// when it is not set.
QString storedWorkDirSetting();

// The executable's folder when it holds the program file `zel`; otherwise the stored setting
// with "/" appended (taken as stored, so a trailing "/" in it gives a doubled one) when that
// setting is not blank and the folder it names holds `zel`. Empty when neither holds it.
// The result ends with "/".
QString findWorkDirectory(const QString& executableDir, const QString& storedSetting);

} // namespace telmira
