#include "frame/zelsettings.h"

#include "frame/settings.h"
#include "frame/startup.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace telmira {
namespace {

const QString kCommon = QStringLiteral("Common");
const QString kWindows = QStringLiteral("Windows");
const QString kRecent = QStringLiteral("Recent");
const QString kArchives = QStringLiteral("Archives");

// No screen reaches this far; stored bounds beyond it are damaged.
constexpr int kFarBound = 1 << 20;

bool sameFile(const QString& a, const QString& b) {
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

} // namespace

// --- start and run ---

void readStartSettings(const SettingsFile& ini, StartState& state) {
    state.minimizeToTrayAtStartup =
        ini.ReadBool(kCommon, QStringLiteral("MinimizeToTrayAtStartup"), false);
    state.singleClickRestore = ini.ReadBool(kCommon, QStringLiteral("SingleClickRestore"), true);
    state.autoDial = ini.ReadBool(kCommon, QStringLiteral("AutoDial"), false);
    state.autoDialLength = ini.ReadString(kCommon, QStringLiteral("AutoDialLength"), QString());
    state.toolMode = !ini.ReadBool("Windows", "Phone", true);
    state.testConnectMode = ini.ReadBool(kCommon, QStringLiteral("TestConnectMode"), false);
    state.showPopupWindow = ini.ReadBool(kCommon, QStringLiteral("ShowPopupWindow"), true);
    state.oldStylePopupWindow = ini.ReadBool(kCommon, QStringLiteral("OldStylePopupWindow"), false);
    state.lostCallsIsNew = ini.ReadBool("Archives", "LostCallsIsNew", false);
    state.popupLeft = ini.ReadInteger(kCommon, QStringLiteral("PopupLeft"), 0);
    state.popupTop = ini.ReadInteger(kCommon, QStringLiteral("PopupTop"), 0);
    state.countryOrigin = ini.ReadString(kCommon, QStringLiteral("CountryOrigin"), QString());
    state.cityOrigin = ini.ReadString(kCommon, QStringLiteral("CityOrigin"), QString());
}

void readRunSettings(SettingsFile& ini, StartState& state) {
    state.minimizeToTrayOnClose =
        ini.ReadBool(kCommon, QStringLiteral("MinimizeToTrayOnClose"), true);
    state.debug = ini.ReadBool(kCommon, QStringLiteral("Debug"), false);
    state.comPort = readPortSetting(ini);
    state.clockSynchronize = ini.ReadBool(kCommon, QStringLiteral("ClockSynchronize"), true);
    state.modeSwitchable = ini.ReadBool(kCommon, QStringLiteral("ModeSwitchable"), true);
    if (!state.modeSwitchable)
        ini.WriteBool("Windows", "Phone", true);
    state.melodyResolution = ini.ReadInteger("MelodyList", "Resolution", 25);
}

QString readPortSetting(const SettingsFile& ini) {
    return ini.ReadString(kCommon, QStringLiteral("ComPort"), QString());
}

void writeDialogSettings(SettingsFile& ini, const StartState& state) {
    ini.WriteBool(kCommon, QStringLiteral("ClockSynchronize"), state.clockSynchronize);
    ini.WriteString(kCommon, QStringLiteral("ComPort"), state.comPort);
    ini.WriteBool(kCommon, QStringLiteral("ShowPopupWindow"), state.showPopupWindow);
    ini.WriteBool(kCommon, QStringLiteral("OldStylePopupWindow"), state.oldStylePopupWindow);
    ini.WriteBool(kCommon, QStringLiteral("MinimizeToTrayAtStartup"),
                  state.minimizeToTrayAtStartup);
    ini.WriteBool(kCommon, QStringLiteral("MinimizeToTrayOnClose"), state.minimizeToTrayOnClose);
    ini.WriteBool(kCommon, QStringLiteral("SingleClickRestore"), state.singleClickRestore);
    ini.WriteBool(kCommon, QStringLiteral("AutoDial"), state.autoDial);
    ini.WriteString(kCommon, QStringLiteral("AutoDialLength"), state.autoDialLength);
    ini.WriteBool(kArchives, QStringLiteral("LostCallsIsNew"), state.lostCallsIsNew);
}

void writeShowPopupWindow(SettingsFile& ini, bool show) {
    ini.WriteBool(kCommon, QStringLiteral("ShowPopupWindow"), show);
}

// --- home area ---

QString originSettingText(const QString& name, const QString& code) {
    QString text = placeChoiceText(name, code);
    text[0] = text[0].toUpper();
    return text;
}

HomeArea readHomeArea(const SettingsFile& ini, const QStringList& countryList) {
    const auto common = [&ini](const char* key) {
        return ini.ReadString(kCommon, QString::fromLatin1(key), QString());
    };
    return homeAreaFrom(common("CountryOrigin"), common("CityOrigin"), common("LongDistance"),
                        common("International"), common("LocalCodes"), countryList);
}

bool writeHomeArea(SettingsFile& ini, const QString& countryOrigin, const QString& cityOrigin,
                   const HomeArea& home) {
    bool ok = ini.WriteString(kCommon, QStringLiteral("CountryOrigin"), countryOrigin);
    ok = ini.WriteString(kCommon, QStringLiteral("CityOrigin"), cityOrigin) && ok;
    ok = ini.WriteString(kCommon, QStringLiteral("LongDistance"), home.longDistance) && ok;
    ok = ini.WriteString(kCommon, QStringLiteral("International"), home.international) && ok;
    ok = ini.WriteString(kCommon, QStringLiteral("LocalCodes"), home.localCodes) && ok;
    return ok;
}

// --- the main window ---

QRect readWindowBounds(const SettingsFile& ini, const QRect& designed, const QSize& minimum) {
    // zel.ini may hold anything: values far beyond any screen are cut before the rectangle's
    // edges are computed (they would overflow).
    const auto read = [&ini](const char* key, int def, int low) {
        return std::clamp(ini.ReadInteger(kCommon, QLatin1String(key), def), low, kFarBound);
    };
    return QRect(read("Left", designed.left(), -kFarBound), read("Top", designed.top(), -kFarBound),
                 read("Width", designed.width(), minimum.width()),
                 read("Height", designed.height(), minimum.height()));
}

void writeWindowBounds(SettingsFile& ini, const QRect& bounds) {
    ini.WriteInteger(kCommon, QStringLiteral("Left"), bounds.left());
    ini.WriteInteger(kCommon, QStringLiteral("Top"), bounds.top());
    ini.WriteInteger(kCommon, QStringLiteral("Width"), bounds.width());
    ini.WriteInteger(kCommon, QStringLiteral("Height"), bounds.height());
}

void writePopupPosition(SettingsFile& ini, int left, int top) {
    ini.WriteInteger(kCommon, QStringLiteral("PopupLeft"), left);
    ini.WriteInteger(kCommon, QStringLiteral("PopupTop"), top);
}

QString readLastTab(const SettingsFile& ini) {
    return ini.ReadString(kCommon, QStringLiteral("LastTab"), QString());
}

void writeLastTab(SettingsFile& ini, const QString& toolName) {
    ini.WriteString(kCommon, QStringLiteral("LastTab"), toolName);
}

bool readToolOpen(const SettingsFile& ini, const QString& toolName) {
    return ini.ReadBool(kWindows, toolName, false);
}

void writeToolOpen(SettingsFile& ini, const QString& toolName, bool open) {
    ini.WriteBool(kWindows, toolName, open);
}

QStringList readPhoneDescriptions(const SettingsFile& ini) {
    return ini.ReadSection(QStringLiteral("ProjectDefs"));
}

// --- projects ---

void recordCommandLineProject(SettingsFile& ini, const QString& project) {
    ini.WriteString(kCommon, QStringLiteral("LastProject"), project);
    const TMyMemIniFile file(project);
    bool matrix = file.ReadBool(QStringLiteral("Project"), QStringLiteral("Matrix"), false);
    bool varList = file.ReadBool(QStringLiteral("Project"), QStringLiteral("VarList"), false);
    if (!matrix && !varList)
        matrix = varList = true;
    writeToolOpen(ini, QStringLiteral("Matrix"), matrix);
    writeToolOpen(ini, QStringLiteral("VarList"), varList);
    writeLastTab(ini, matrix ? QStringLiteral("Matrix") : QStringLiteral("VarList"));
    if (ini.ReadBool(kWindows, QStringLiteral("Phone"), true))
        ini.WriteBool(kWindows, QStringLiteral("Phone"), false);
}

QString readLastProject(const SettingsFile& ini) {
    return ini.ReadString(kCommon, QStringLiteral("LastProject"), QString());
}

void writeLastProject(SettingsFile& ini, const QString& path) {
    ini.WriteString(kCommon, QStringLiteral("LastProject"), path);
}

namespace {

QString lastFolderKey(LastFolder which) {
    switch (which) {
    case LastFolder::OpenProject:
        return QStringLiteral("LastOpenPath");
    case LastFolder::SaveProject:
        return QStringLiteral("LastSavePath");
    case LastFolder::RomImage:
        return QStringLiteral("LastROMPath");
    }
    return {};
}

} // namespace

QString readLastFolder(const SettingsFile& ini, LastFolder which, const QString& fallback) {
    return ini.ReadString(kCommon, lastFolderKey(which), fallback);
}

void writeLastFolder(SettingsFile& ini, LastFolder which, const QString& folder) {
    ini.WriteString(kCommon, lastFolderKey(which), folder);
}

QString readVocEditorCountry(const SettingsFile& ini, const QString& fallback) {
    return ini.ReadString(QStringLiteral("VocEditor"), QStringLiteral("Country"), fallback);
}

void writeVocEditorCountry(SettingsFile& ini, const QString& choice) {
    ini.WriteString(QStringLiteral("VocEditor"), QStringLiteral("Country"), choice);
}

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
