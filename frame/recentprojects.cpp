#include "frame/recentprojects.h"

#include "frame/settings.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace telmira {
namespace {

const QString kRecent = QStringLiteral("Recent");

bool sameFile(const QString& a, const QString& b) {
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

} // namespace

QStringList recentMenuEntries(const SettingsFile& ini) {
    QStringList entries;
    for (int i = 0; i < kRecentMenuEntries; ++i)
        entries << ini.ReadString(kRecent, QString::number(i), QString());
    return entries;
}

QStringList recordRecentProject(SettingsFile& ini, const QString& path,
                                const std::function<bool(const QString&)>& exists) {
    const auto present = [&](const QString& file) {
        return exists ? exists(file) : QFileInfo(file).isFile();
    };
    // Old entries in key order ("0", "1", ...); keys that are no number come last.
    QStringList keys = ini.ReadSectionKeys(kRecent);
    std::stable_sort(keys.begin(), keys.end(), [](const QString& a, const QString& b) {
        bool aNumber = false, bNumber = false;
        const int x = a.toInt(&aNumber), y = b.toInt(&bNumber);
        if (aNumber != bNumber)
            return aNumber;
        return aNumber && x < y;
    });
    QStringList old;
    for (const QString& key : keys)
        old << ini.ReadString(kRecent, key, QString());
    old = old.mid(0, kRecentMenuEntries);

    QStringList kept;
    const bool recordPath = !path.isEmpty() && present(path);
    if (recordPath)
        kept << path;
    for (const QString& entry : old) {
        if (entry.isEmpty() || sameFile(entry, path) || !present(entry))
            continue;
        if (!kept.contains(entry))
            kept << entry;
    }
    ini.EraseSection(kRecent);
    // Keys count from "1" for the old entries when the path itself was not recorded.
    const int first = recordPath ? 0 : 1;
    for (int i = 0; i < kept.size(); ++i)
        ini.WriteString(kRecent, QString::number(i + first), kept[i]);
    return kept;
}

} // namespace telmira
