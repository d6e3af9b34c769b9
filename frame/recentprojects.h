#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The recent-projects list: section `Recent` of zel.ini, keys "0", "1", ... in order of use,
// values project paths, most recent first. The File menu shows the keys "0" to "9".
namespace telmira {

class SettingsFile;

inline constexpr int kRecentMenuEntries = 10;

// The paths under the keys "0" to "9" (an empty string where a key is missing or empty).
QStringList recentMenuEntries(const SettingsFile& ini);

// Records a project path as the most recent one: the section is rewritten with the path as "0"
// when it exists, then the first ten old entries that still exist and name another file as "1",
// "2", .... A path recorded again therefore appears once, at "0". `exists` tells whether a path
// names an existing file (the file system by default). Returns the new section's values in key
// order.
QStringList recordRecentProject(SettingsFile& ini, const QString& path,
                                const std::function<bool(const QString&)>& exists = nullptr);

} // namespace telmira
