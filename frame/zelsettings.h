#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

// The keys of zel.ini that the frame reads and writes, in one place: the start and run settings,
// the main window's bounds and the popup position, the `Windows` keys of the tools and
// `Common.LastTab`, `Windows.Phone`, the recent-projects list, the home area (origin and
// dialling prefixes), the project named on the command line and `Common.LastProject`, the
// settings dialog's keys and the stored port setting. Callers hand the open settings file; no
// key name is spelt anywhere else in the frame and its windows.
namespace telmira {

class SettingsFile;
struct HomeArea;
struct StartState;

// --- start and run ---

// The settings read before the main window is created, in their fixed order.
void readStartSettings(const SettingsFile& ini, StartState& state);

// The settings read after the main window is created: close-to-tray, debug window, port, clock,
// mode switch, melody resolution. When the mode may not be switched, Windows.Phone is written as
// true.
void readRunSettings(SettingsFile& ini, StartState& state);

// `Common.ComPort` as stored (empty when missing). What it selects is the link's rule
// (ResolvePortSetting): anything but a port name or device path means automatic search.
QString readPortSetting(const SettingsFile& ini);

// The settings dialog's confirmed values of `state` (port, clock, popup, tray, automatic
// dialling, lost calls) go to `Common` and `Archives.LostCallsIsNew`.
void writeDialogSettings(SettingsFile& ini, const StartState& state);

// `Common.ShowPopupWindow`.
void writeShowPopupWindow(SettingsFile& ini, bool show);

// --- home area ---

// The origin text as stored: name, blank, code in brackets, the first letter upper-cased.
QString originSettingText(const QString& name, const QString& code);

// Home country, city, prefixes and national lengths from `Common.CountryOrigin`, `CityOrigin`,
// `LongDistance`, `International` and `LocalCodes` (homeAreaFrom's rule). `countryList` holds
// the keyed records of the CountryCodes section of codes.voc.
HomeArea readHomeArea(const SettingsFile& ini, const QStringList& countryList);

// Writes the home area: the two origin texts as given (a blank one keeps the default home; the
// settings dialog and the city-code directory give originSettingText's form) and the three
// prefix fields of `home` as they are. False when a write failed.
bool writeHomeArea(SettingsFile& ini, const QString& countryOrigin, const QString& cityOrigin,
                   const HomeArea& home);

// --- the main window ---

// `Common.Left`, `Top`, `Width`, `Height`, each defaulting to `designed`. Values beyond any
// screen are cut (the caller fits the rectangle to its screen); the size is at least `minimum`.
QRect readWindowBounds(const SettingsFile& ini, const QRect& designed, const QSize& minimum);
void writeWindowBounds(SettingsFile& ini, const QRect& bounds);
// `Common.PopupLeft`, `Common.PopupTop`.
void writePopupPosition(SettingsFile& ini, int left, int top);

// `Common.LastTab`: the tool whose tab was current.
QString readLastTab(const SettingsFile& ini);
void writeLastTab(SettingsFile& ini, const QString& toolName);

// The `Windows` key of a tool: whether its tab is open.
bool readToolOpen(const SettingsFile& ini, const QString& toolName);
void writeToolOpen(SettingsFile& ini, const QString& toolName, bool open);

// The phone descriptions of `ProjectDefs` (records with Name, FileName and Code).
QStringList readPhoneDescriptions(const SettingsFile& ini);

// --- projects ---

// A project named on the command line (an existing .zel file): it becomes `Common.LastProject`;
// its `Project.Matrix` and `Project.VarList` (both false means both true) become
// `Windows.Matrix` and `Windows.VarList`; `Common.LastTab` names the layouts when they open,
// else the variables; `Windows.Phone` is switched off.
void recordCommandLineProject(SettingsFile& ini, const QString& project);

// `Common.LastProject`: the last project opened or saved (empty when none).
QString readLastProject(const SettingsFile& ini);
void writeLastProject(SettingsFile& ini, const QString& path);

// The folders the file dialogs start in: `Common.LastOpenPath` (open a project),
// `Common.LastSavePath` (save a project as) and `Common.LastROMPath` (choose a ROM image).
enum class LastFolder { OpenProject, SaveProject, RomImage };
QString readLastFolder(const SettingsFile& ini, LastFolder which, const QString& fallback = {});
void writeLastFolder(SettingsFile& ini, LastFolder which, const QString& folder);

// --- tools ---

// `VocEditor.Country`: the country the city-code editor shows ("Россия (7)").
QString readVocEditorCountry(const SettingsFile& ini, const QString& fallback);
void writeVocEditorCountry(SettingsFile& ini, const QString& choice);

inline constexpr int kRecentMenuEntries = 10;

// The paths under the `Recent` keys "0" to "9" (an empty string where a key is missing or
// empty).
QStringList recentMenuEntries(const SettingsFile& ini);

// Records a project path as the most recent one: the section is rewritten with the path as "0"
// when it exists, then the first ten old entries that still exist and name another file as "1",
// "2", .... A path recorded again therefore appears once, at "0". `exists` tells whether a path
// names an existing file (the file system by default). Returns the new section's values in key
// order.
QStringList recordRecentProject(SettingsFile& ini, const QString& path,
                                const std::function<bool(const QString&)>& exists = nullptr);

} // namespace telmira
