#pragma once

#include "frame/settings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Phone descriptions: the version list of zel.ini (section ProjectDefs) and the current phone
// description file (*.def in the work directory) with its four lists. A description is the
// vocabulary of everything project-related: keys, I/O lines, devices, preset variables, the
// settings pages and the default melody set. The system never writes a description file.
namespace telmira {

// Used whenever a version entry or its field is missing.
QString FallbackDescriptionFile(); // "korv28.def"
QString FallbackVersionName();     // "Корвел 28 Талви"

// One entry of ProjectDefs: key "n" = "Name=...; FileName=...; Code=...;".
struct ProjectDefEntry {
    QString key;
    QString name;
    QString fileName;
    QString code;
};

class ProjectDefs {
public:
    ProjectDefs() = default;
    explicit ProjectDefs(const QStringList& sectionLines);
    static ProjectDefs Read(const SettingsFile& settings);

    // In file order.
    const QList<ProjectDefEntry>& Entries() const { return entries_; }
    // The entry whose key is `key`.
    std::optional<ProjectDefEntry> EntryForKey(const QString& key) const;
    // FileName and Name of the entry `key`, with the fallbacks.
    QString FileNameForKey(const QString& key) const;
    QString NameForKey(const QString& key) const;
    // The FileName (respectively Name) of the entry whose Code equals `code` after trimming and
    // upper-casing both; `fallback` when none does.
    QString FileNameForCode(const QString& code, const QString& fallback) const;
    QString NameForCode(const QString& code, const QString& fallback) const;

private:
    QStringList lines_; // "key=record", for the record lookups
    QList<ProjectDefEntry> entries_;
};

// One line of a description list: "identifier=record".
struct DescriptionLine {
    QString id;
    QString record;
};
DescriptionLine SplitDescriptionLine(const QString& line);

// Lookups in the description lists.
// The index of the line whose identifier is `id`; -1 when none.
int IndexById(const QStringList& list, const QString& id);
// The record of the line whose identifier is `id`; empty when none.
QString RecordById(const QStringList& list, const QString& id);
// The index of the first line whose field `field` equals `value` exactly (lines lacking the
// field never match); -1 when none.
int IndexByField(const QStringList& list, const QString& field, const QString& value);
// A numeric field read as hexadecimal ("$" prepended); -1 when missing or not hexadecimal.
int HexFieldOf(const QString& record, const QString& field);

// A cell of the phone's service area (section ServiceArea, in file order: cells 0, 1, 2 ...).
struct ServiceAreaCell {
    QString name;
    int imageIndex = -1;
};

// The current description. Loading releases the one before; a file that does not exist (or a
// name that is not a plain file name) loads as an empty description without a message.
class PhoneDescription {
public:
    PhoneDescription();
    ~PhoneDescription();
    PhoneDescription(PhoneDescription&&) noexcept;
    PhoneDescription& operator=(PhoneDescription&&) noexcept;

    // For a version key "n" of ProjectDefs (new project, change version).
    void LoadForVersion(const SettingsFile& zelIni, const QString& key, const QString& workDir);
    // For the current project: Project/DefFile and Project/DefName.
    void LoadForProject(const SettingsFile& project, const QString& workDir);
    // Makes an already open description file the current one.
    void Adopt(std::unique_ptr<TMyMemIniFile> file, const QString& fileName,
               const QString& versionName);
    void Release();

    bool IsLoaded() const { return file_ != nullptr; }
    const QString& VersionName() const { return versionName_; }
    // The description's file name as the version list or project names it.
    const QString& FileName() const { return fileName_; }
    // The open description file (for sections read on demand); null when none is loaded.
    const TMyMemIniFile* File() const { return file_.get(); }

    // The four lists, "identifier=record" in file order.
    const QStringList& Lines() const { return lines_; }
    const QStringList& Keys() const { return keys_; }
    const QStringList& Devices() const { return devices_; }
    const QStringList& Variables() const { return variables_; }

    // Section readers.
    QString Ver() const; // Common/Ver, "2.0.0.0" when missing
    QString MelodySetName() const;
    QStringList SetData() const;
    QStringList MelodyList() const;
    QStringList PhoneSetup() const;
    QStringList AutoSetup() const;
    QList<ServiceAreaCell> ServiceArea() const;

private:
    void load(const QString& workDir, const QString& fileName, const QString& versionName);
    void fillLists();
    QStringList section(const QString& name) const;

    std::unique_ptr<TMyMemIniFile> file_;
    QString fileName_;
    QString versionName_;
    QStringList lines_, keys_, devices_, variables_;
};

// The work directory's path of a description file name; no value for a name that is empty or
// not a plain file name (a description is always looked up in the work directory itself).
std::optional<QString> DescriptionPath(const QString& workDir, const QString& fileName);

// The PhoneSetup or AutoSetup section of the connected phone's description, for the settings
// pages. With the link up the reported model code is used and remembered as
// PhoneSetup/LastPhoneType; with the link down that remembered code (default 1) is used.
struct SetupSection {
    QStringList lines;
    QString errorText; // shown in an error box titled ErrorTitle(); the page is not built
    QString filePath;
};
SetupSection ReadConnectedPhoneSection(SettingsFile& zelIni, const QString& workDir, bool linkUp,
                                       int reportedCode, const QString& section);
QString ErrorTitle(); // " Ошибка"

} // namespace telmira
