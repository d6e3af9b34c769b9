#include "project/projectfile.h"

#include "frame/records.h"
#include "frame/zelsettings.h"
#include "project/versionchoice.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace telmira {

namespace {

const QString kProject = QStringLiteral("Project");
const QString kDefaultValues = QStringLiteral("DefaultValues");
const QString kOldFormatVersion = QStringLiteral("1.8.0.0");

QString typeOf(const QString& record) {
    return FieldOf(record, QStringLiteral("Type"), QStringLiteral("delimiter")).trimmed().toLower();
}

QString layoutSection(int n) {
    return QStringLiteral("Layout") + QString::number(n);
}

void copyMelodySet(TMyMemIniFile& project, const PhoneDescription& description) {
    project.WriteString(QStringLiteral("MelodySet"), QStringLiteral("MelodySet"),
                        description.MelodySetName());
    project.ReplaceSection(QStringLiteral("SetData"), description.SetData());
    project.ReplaceSection(QStringLiteral("MelodyList"), description.MelodyList());
}

void convertDefaults(TMyMemIniFile& project, const PhoneDescription& description) {
    const QStringList old = project.ReadSection(kDefaultValues);
    const QString missing = QStringLiteral("\x01missing");
    QStringList lines;
    for (const QString& line : description.Variables()) {
        const DescriptionLine d = SplitDescriptionLine(line);
        const QString type = typeOf(d.record);
        if (type == QStringLiteral("delimiter"))
            continue;
        QString value = FieldOf(RecordById(old, d.id), QStringLiteral("Value"), missing);
        if (value == missing) {
            const bool melodyList =
                type == QStringLiteral("combobox") &&
                FieldOf(d.record, QStringLiteral("Value")) == QStringLiteral("[MelodyList]");
            value =
                type == QStringLiteral("string") || melodyList ? QString() : QStringLiteral("0");
        }
        if (type == QStringLiteral("string"))
            value = value.remove('"') + QLatin1Char(';');
        lines << d.id + QLatin1Char('=') + value;
    }
    project.ReplaceSection(kDefaultValues, lines);
}

void convertLayouts(TMyMemIniFile& project) {
    for (int n = 0; project.SectionExists(layoutSection(n)); ++n) {
        const QString section = layoutSection(n);
        const int columns = project.ReadInteger(section, QStringLiteral("ColCount"), 0);
        const int rows = project.ReadInteger(section, QStringLiteral("RowCount"), 0);
        const qlonglong last =
            qlonglong{columns} * rows + columns + rows; // cells 0..last may exist
        QStringList lines = {QStringLiteral("Name=") +
                                 project.ReadString(section, QStringLiteral("Name"), QString()),
                             QStringLiteral("ColCount=") + QString::number(columns),
                             QStringLiteral("RowCount=") + QString::number(rows)};
        // The cells in ascending order, walking only the keys that exist.
        QList<qlonglong> cells;
        for (const QString& key : project.ReadSectionKeys(section)) {
            bool ok = false;
            const qlonglong c = key.trimmed().toLongLong(&ok);
            if (ok && c >= 0 && c <= last && !cells.contains(c))
                cells << c;
        }
        std::sort(cells.begin(), cells.end());
        for (const qlonglong c : cells) {
            const QString record = project.ReadString(section, QString::number(c), QString());
            const int x = FieldIntOf(record, QStringLiteral("X"), 1);
            const int y = FieldIntOf(record, QStringLiteral("Y"), 1);
            const QString id = FieldOf(record, QStringLiteral("ID"), QStringLiteral("-1"));
            const QString calcId = FieldOf(record, QStringLiteral("CalcID"), QStringLiteral("-1"));
            if (x < 0 || y < 0)
                continue;
            QString line = QString::number(qlonglong{x} * 17 + y) + QStringLiteral("=ID=") + id +
                           QLatin1Char(';');
            if (calcId != QStringLiteral("-1"))
                line += QStringLiteral("CalcID=") + calcId + QLatin1Char(';');
            lines << line;
        }
        project.ReplaceSection(section, lines);

        const QString fixed = section + QStringLiteral(".FixedLines");
        if (!project.SectionExists(fixed))
            continue;
        QStringList fixedLines;
        int k = 0;
        for (const QString& line : project.ReadSection(fixed)) {
            const QString record = line.mid(line.indexOf('=') + 1);
            fixedLines << QString::number(k++) + QStringLiteral("=Address=") +
                              FieldOf(record, QStringLiteral("Address"), QStringLiteral("Err1")) +
                              QStringLiteral("; Code=") +
                              FieldOf(record, QStringLiteral("Function")).mid(2, 2) +
                              QLatin1Char(';');
        }
        project.ReplaceSection(fixed, fixedLines);
    }
}

} // namespace

QString UntitledProjectName() {
    return QStringLiteral("Новый проект");
}

QString ProjectFileFilter() {
    return QStringLiteral("Проект Telmira (*.zel);;Все файлы (*)");
}

bool VersionIsNewer(const QString& candidate, const QString& than) {
    return QString::compare(candidate, than, Qt::CaseSensitive) > 0;
}

void FillNewProject(TMyMemIniFile& project, const PhoneDescription& description) {
    project.WriteString(kProject, QStringLiteral("Ver"), description.Ver());
    project.WriteString(kProject, QStringLiteral("DefName"), description.VersionName());
    project.WriteString(kProject, QStringLiteral("DefFile"), description.FileName());
    for (int n = 0; n < 8; ++n) {
        const QString section = layoutSection(n);
        project.WriteString(section, QStringLiteral("Name"),
                            QStringLiteral("Раскладка ") + QString::number(n));
        project.WriteInteger(section, QStringLiteral("Type"), 0);
        project.WriteInteger(section, QStringLiteral("ColCount"), 1);
        project.WriteInteger(section, QStringLiteral("RowCount"), 1);
        project.ReplaceSection(section + QStringLiteral(".FixedLines"), {});
    }
    for (const QString& line : description.Variables()) {
        const DescriptionLine d = SplitDescriptionLine(line);
        const QString type = typeOf(d.record);
        if (type == QStringLiteral("delimiter"))
            continue;
        QString value = FieldOf(d.record, QStringLiteral("Value"));
        if (type == QStringLiteral("string"))
            value += QLatin1Char(';');
        project.WriteString(kDefaultValues, d.id, value);
    }
    copyMelodySet(project, description);
}

bool ConvertAndUpgrade(TMyMemIniFile& project, const PhoneDescription& description) {
    bool upgraded = false;
    if (!project.ValueExists(kProject, QStringLiteral("Ver"))) {
        project.EraseSection(kProject);
        project.WriteString(kProject, QStringLiteral("Ver"), kOldFormatVersion);
        project.EraseSection(QStringLiteral("Keys"));
        project.EraseSection(QStringLiteral("Lines"));
        convertDefaults(project, description);
        convertLayouts(project);
        copyMelodySet(project, description);
        upgraded = true;
    }
    const QString projectVer = project.ReadString(kProject, QStringLiteral("Ver"), QString());
    const QString descriptionVer = description.Ver();
    if (VersionIsNewer(descriptionVer, projectVer)) {
        for (const QString& line : description.Variables()) {
            const DescriptionLine d = SplitDescriptionLine(line);
            if (typeOf(d.record) == QStringLiteral("delimiter") ||
                !VersionIsNewer(FieldOf(d.record, QStringLiteral("Ver")), projectVer))
                continue;
            project.WriteString(kDefaultValues, d.id, FieldOf(d.record, QStringLiteral("Value")));
            upgraded = true;
        }
        project.WriteString(kProject, QStringLiteral("Ver"), descriptionVer);
    }
    return upgraded;
}

ProjectUi::~ProjectUi() = default;

ProjectSession::ProjectSession(SettingsFile& zelIni, QString workDir, ProjectUi& ui,
                               QObject* parent)
    : QObject(parent), zelIni_(zelIni), workDir_(std::move(workDir)), ui_(ui) {}

ProjectSession::~ProjectSession() = default;

QString ProjectSession::FileName() const {
    return project_ ? project_->FileName() : QString();
}

QString ProjectSession::Caption() const {
    return QStringLiteral("Telmira  [") + FileName() + QStringLiteral(" - ") +
           description_.VersionName() + QStringLiteral("] ");
}

void ProjectSession::SetModified() {
    if (!open_)
        return;
    modified_ = true;
    setSaveEnabled(true);
}

void ProjectSession::setSaveEnabled(bool enabled) {
    saveEnabled_ = enabled;
    emit saveEnabledChanged(enabled);
}

void ProjectSession::refreshCaption() {
    emit captionChanged(Caption());
}

void ProjectSession::AddToRecent(const QString& path) {
    recordRecentProject(zelIni_, path);
    emit recentListChanged(recentMenuEntries(zelIni_));
}

ProjectSession::PromptResult ProjectSession::ModifiedPrompt() {
    if (!open_ || (!modified_ && !upgraded_))
        return PromptResult::Continue;
    QStringList changes;
    if (upgraded_)
        changes << QStringLiteral("Апгрейд проекта");
    if (editors_.variablesChanged && editors_.variablesChanged())
        changes << QStringLiteral("Предустановленные переменные");
    if (editors_.layoutsChanged && editors_.layoutsChanged())
        changes << QStringLiteral("Редактор раскладок");
    const QString text = FileName() + QStringLiteral("\rПроект был изменен: ") +
                         changes.join(QStringLiteral(", ")) +
                         QStringLiteral("\r\rСохранить изменения?");
    switch (ui_.AskSaveChanges(QStringLiteral(" Предупреждение об изменениях"), text)) {
    case ProjectUi::Answer::Discard:
        return PromptResult::Continue;
    case ProjectUi::Answer::Stay:
        return PromptResult::Stay;
    case ProjectUi::Answer::Save:
        break;
    }
    if (untitled_)
        return saveAsDialog(true) ? PromptResult::Continue : PromptResult::SaveCancelled;
    // A project that could not be written is not dropped.
    return SaveProject() ? PromptResult::Continue : PromptResult::Stay;
}

bool ProjectSession::New(bool userAction) {
    if (ModifiedPrompt() == PromptResult::Stay)
        return false;
    std::optional<QString> key = ui_.ChooseVersion(NewProjectChooserCaption());
    if (!key) {
        if (userAction)
            return false;
        key = QStringLiteral("1");
    }
    description_.LoadForVersion(zelIni_, *key, workDir_);
    project_ = TMyMemIniFile::fromBytes(QByteArray(), UntitledProjectName());
    FillNewProject(*project_, description_);
    open_ = true;
    untitled_ = true;
    modified_ = false;
    upgraded_ = false;
    refreshCaption();
    setSaveEnabled(true);
    emit toolsRebuildRequested();
    return true;
}

bool ProjectSession::Open() {
    if (ModifiedPrompt() == PromptResult::Stay)
        return false;
    return openWithDialog();
}

bool ProjectSession::OpenRecent(const QString& item) {
    if (ModifiedPrompt() == PromptResult::Stay)
        return false;
    return openChosen(QString(item).remove('&'));
}

bool ProjectSession::OpenFile(const QString& path) {
    if (ModifiedPrompt() == PromptResult::Stay)
        return false;
    return openChosen(path);
}

bool ProjectSession::openWithDialog() {
    QString folder = readLastFolder(zelIni_, LastFolder::OpenProject);
    if (folder.isEmpty())
        folder = workDir_ + QStringLiteral("Projects");
    const auto path = ui_.ChooseFileToOpen(QStringLiteral("Открыть проект"), folder);
    if (!path)
        return false;
    return openChosen(*path);
}

bool ProjectSession::openChosen(const QString& path) {
    AddToRecent(path);
    writeLastFolder(zelIni_, LastFolder::OpenProject, QFileInfo(path).absolutePath());
    writeLastProject(zelIni_, path);
    return LoadProjectFile(path, true);
}

bool ProjectSession::LoadProjectFile(const QString& path, bool rebuildTools) {
    if (!QFileInfo(path).isFile())
        return openWithDialog() || open_;
    auto file = std::make_unique<TMyMemIniFile>(path);
    if (!file->LastError().isEmpty()) {
        ui_.ShowError(QStringLiteral("Не удается прочитать проект ") + path + QStringLiteral(": ") +
                      file->LastError());
        return open_;
    }
    project_ = std::move(file);
    description_.LoadForProject(*project_, workDir_);
    modified_ = false;
    untitled_ = false;
    upgraded_ = ConvertAndUpgrade(*project_, description_);
    open_ = true;
    setSaveEnabled(upgraded_);
    refreshCaption();
    if (rebuildTools)
        emit toolsRebuildRequested();
    return true;
}

bool ProjectSession::SaveProject() {
    if (!project_)
        return false;
    if (project_->ReadString(kProject, QStringLiteral("DefFile"), QString()).isEmpty()) {
        project_->WriteString(kProject, QStringLiteral("DefFile"), description_.FileName());
        project_->WriteString(kProject, QStringLiteral("DefName"), description_.VersionName());
    }
    if (!project_->UpdateFile()) {
        ui_.ShowError(QStringLiteral("Не удается записать проект ") + project_->FileName() +
                      QStringLiteral(": ") + project_->LastError());
        return false;
    }
    AddToRecent(project_->FileName());
    refreshCaption();
    if (editors_.clearChanged)
        editors_.clearChanged();
    modified_ = false;
    upgraded_ = false;
    untitled_ = false;
    setSaveEnabled(false);
    return true;
}

bool ProjectSession::Save() {
    if (!open_)
        return false;
    return untitled_ ? saveAsDialog(true) : SaveProject();
}

bool ProjectSession::SaveAs() {
    return open_ && saveAsDialog(false);
}

bool ProjectSession::saveAsDialog(bool newProject) {
    const QString folder = readLastFolder(zelIni_, LastFolder::SaveProject, workDir_);
    // The first letter after the blank of the new-project title is a Latin C.
    const QString title = newProject ? QStringLiteral(" Cохранить новый проект под именем")
                                     : QStringLiteral(" Сохранить под новым именем");
    const QString preset =
        newProject ? QDir(folder).filePath(UntitledProjectName() + QStringLiteral(".zel"))
                   : QString();
    auto path = ui_.ChooseFileToSave(title, folder, preset);
    if (!path)
        return false;
    if (QFileInfo(*path).suffix().isEmpty())
        *path += QStringLiteral(".zel");
    const QString previous = project_->FileName();
    project_->SetFileName(*path);
    if (!SaveProject()) {
        project_->SetFileName(previous);
        return false;
    }
    writeLastFolder(zelIni_, LastFolder::SaveProject, QFileInfo(*path).absolutePath());
    writeLastProject(zelIni_, *path);
    return true;
}

bool ProjectSession::ChangePhoneVersion() {
    if (!open_ || ModifiedPrompt() == PromptResult::Stay)
        return false;
    const auto key = ui_.ChooseVersion(ChangeVersionChooserCaption());
    if (!key)
        return false;
    description_.LoadForVersion(zelIni_, *key, workDir_);
    // The defaults stay as they are: values the new description does not know remain in the
    // file, variables it adds start empty.
    project_->WriteString(kProject, QStringLiteral("DefFile"), description_.FileName());
    project_->WriteString(kProject, QStringLiteral("DefName"), description_.VersionName());
    project_->WriteString(kProject, QStringLiteral("Ver"), description_.Ver());
    modified_ = true;
    setSaveEnabled(true);
    emit captionChanged(Caption() + QLatin1Char('*'));
    emit phoneVersionChanged();
    return true;
}

bool ProjectSession::MayClose() {
    return ModifiedPrompt() == PromptResult::Continue;
}

} // namespace telmira
