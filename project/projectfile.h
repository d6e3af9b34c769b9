#pragma once

#include "frame/settings.h"
#include "project/descriptions.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// Projects: one firmware build for one phone version (layouts, preset variables, melody set,
// data key, last ROM image), stored as a .zel INI file and held in memory while open. The
// editors change the in-memory copy; Save writes it whole. This module has the file format
// operations (new, convert, upgrade), the project state and the commands New, Open, Save,
// Save as and Change phone version. Dialogs are asked for through ProjectUi, so the commands
// run without windows in the tests.
namespace telmira {

QString UntitledProjectName(); // "Новый проект"
QString ProjectFileFilter();   // the open and save dialogs' filter

// Fills an empty project for the description: Project (Ver, DefName, DefFile), eight empty
// layouts with their fixed-line sections, the description's defaults, its melody set.
void FillNewProject(TMyMemIniFile& project, const PhoneDescription& description);

// Converts an old-format project (no Project/Ver) and upgrades preset defaults introduced by a
// newer description. True when anything was converted or upgraded.
bool ConvertAndUpgrade(TMyMemIniFile& project, const PhoneDescription& description);

// Version strings compare as plain strings, character by character ("10.0.0.0" < "2.0.0.0").
bool VersionIsNewer(const QString& candidate, const QString& than);

// What the commands ask the user; the main window answers with dialogs (ProjectDialogs).
class ProjectUi {
public:
    enum class Answer { Save, Discard, Stay };
    virtual ~ProjectUi();
    virtual Answer AskSaveChanges(const QString& caption, const QString& text) = 0;
    // A version key of ProjectDefs; no value on cancel.
    virtual std::optional<QString> ChooseVersion(const QString& caption) = 0;
    virtual std::optional<QString> ChooseFileToOpen(const QString& title,
                                                    const QString& folder) = 0;
    // `preset`: the file name the dialog starts with (may be empty).
    virtual std::optional<QString> ChooseFileToSave(const QString& title, const QString& folder,
                                                    const QString& preset) = 0;
    virtual void ShowError(const QString& text) = 0;
};

// The state of the two project editors (layouts, preset variables), asked for by the prompt.
struct ProjectEditors {
    std::function<bool()> variablesChanged;
    std::function<bool()> layoutsChanged;
    std::function<void()> clearChanged;
};

class ProjectSession : public QObject {
    Q_OBJECT
public:
    // `workDir` ends with "/".
    ProjectSession(SettingsFile& zelIni, QString workDir, ProjectUi& ui, QObject* parent = nullptr);
    ~ProjectSession() override;

    bool IsOpen() const { return open_; }
    bool IsUntitled() const { return untitled_; }
    bool IsModified() const { return modified_; }
    bool IsUpgraded() const { return upgraded_; }
    bool SaveEnabled() const { return saveEnabled_; }
    // The open project (null while none is).
    TMyMemIniFile* Project() { return project_.get(); }
    const TMyMemIniFile* Project() const { return project_.get(); }
    const PhoneDescription& Description() const { return description_; }
    QString FileName() const;
    QString Caption() const;

    void SetEditors(ProjectEditors editors) { editors_ = std::move(editors); }
    // A tool tab of the project reports a change.
    void SetModified();

    enum class PromptResult { Continue, Stay, SaveCancelled };
    PromptResult ModifiedPrompt();

    // The commands; each returns whether it was carried out.
    bool New(bool userAction);
    bool Open();
    bool OpenRecent(const QString& item);
    // Opens the project file at `path` after the modified prompt (a recent-projects command, a
    // project handed over by another start); the path is taken as it is.
    bool OpenFile(const QString& path);
    // Loads a project file (Open, recent items, start-up, a second instance); a path that does
    // not exist turns into the Open dialog. Returns whether a project is open afterwards.
    bool LoadProjectFile(const QString& path, bool rebuildTools);
    bool Save();
    bool SaveAs(); // the user's command
    bool SaveProject();
    bool ChangePhoneVersion();
    // Before the application closes: false when it must stay.
    bool MayClose();

    void AddToRecent(const QString& path);

signals:
    void captionChanged(const QString& caption);
    void saveEnabledChanged(bool enabled);
    // The ten recent entries for the File menu ("" hides an item).
    void recentListChanged(const QStringList& items);
    // The layout and preset-variable editors are to be built anew for the project.
    void toolsRebuildRequested();
    // The phone version changed: the preset-variable editor is to be reopened, marked changed
    // and brought to the front.
    void phoneVersionChanged();

private:
    bool openWithDialog();
    bool openChosen(const QString& path);
    bool saveAsDialog(bool newProject);
    void setSaveEnabled(bool enabled);
    void refreshCaption();

    SettingsFile& zelIni_;
    QString workDir_;
    ProjectUi& ui_;
    ProjectEditors editors_;
    std::unique_ptr<TMyMemIniFile> project_;
    PhoneDescription description_;
    bool open_ = false;
    bool untitled_ = false;
    bool modified_ = false;
    bool upgraded_ = false;
    bool saveEnabled_ = false;
};

} // namespace telmira
