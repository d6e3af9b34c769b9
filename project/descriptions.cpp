#include "project/descriptions.h"

#include "frame/records.h"

#include <QDir>
#include <QFileInfo>

namespace telmira {

namespace {

// A field default no description holds: tells a missing field from an empty one.
const QString kMissing = QStringLiteral("\x01");

} // namespace

QString FallbackDescriptionFile() {
    return QStringLiteral("korv28.def");
}

QString FallbackVersionName() {
    return QStringLiteral("Корвел 28 Талви");
}

QString ErrorTitle() {
    return QStringLiteral(" Ошибка");
}

DescriptionLine SplitDescriptionLine(const QString& line) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return {line.trimmed(), QString()};
    return {line.left(eq).trimmed(), line.mid(eq + 1)};
}

ProjectDefs::ProjectDefs(const QStringList& sectionLines) : lines_(sectionLines) {
    for (const QString& line : sectionLines) {
        const DescriptionLine split = SplitDescriptionLine(line);
        entries_.append({split.id, FieldOf(split.record, QStringLiteral("Name")).trimmed(),
                         FieldOf(split.record, QStringLiteral("FileName")).trimmed(),
                         FieldOf(split.record, QStringLiteral("Code")).trimmed()});
    }
}

ProjectDefs ProjectDefs::Read(const SettingsFile& settings) {
    return ProjectDefs(settings.ReadSection(QStringLiteral("ProjectDefs")));
}

std::optional<ProjectDefEntry> ProjectDefs::EntryForKey(const QString& key) const {
    for (const ProjectDefEntry& entry : entries_)
        if (entry.key == key.trimmed())
            return entry;
    return std::nullopt;
}

QString ProjectDefs::FileNameForKey(const QString& key) const {
    const auto entry = EntryForKey(key);
    return entry && !entry->fileName.isEmpty() ? entry->fileName : FallbackDescriptionFile();
}

QString ProjectDefs::NameForKey(const QString& key) const {
    const auto entry = EntryForKey(key);
    return entry && !entry->name.isEmpty() ? entry->name : FallbackVersionName();
}

QString ProjectDefs::FileNameForCode(const QString& code, const QString& fallback) const {
    const QString wanted = code.trimmed().toUpper();
    if (wanted.isEmpty())
        return fallback;
    for (const ProjectDefEntry& entry : entries_)
        if (entry.code.toUpper() == wanted)
            return entry.fileName.isEmpty() ? fallback : entry.fileName;
    return fallback;
}

QString ProjectDefs::NameForCode(const QString& code, const QString& fallback) const {
    const QString wanted = code.trimmed().toUpper();
    if (wanted.isEmpty())
        return fallback;
    for (const ProjectDefEntry& entry : entries_)
        if (entry.code.toUpper() == wanted)
            return entry.name.isEmpty() ? fallback : entry.name;
    return fallback;
}

int IndexById(const QStringList& list, const QString& id) {
    const QString wanted = id.trimmed();
    for (qsizetype i = 0; i < list.size(); ++i)
        if (SplitDescriptionLine(list[i]).id == wanted)
            return static_cast<int>(i);
    return -1;
}

QString RecordById(const QStringList& list, const QString& id) {
    const int index = IndexById(list, id);
    return index < 0 ? QString() : SplitDescriptionLine(list[index]).record;
}

int IndexByField(const QStringList& list, const QString& field, const QString& value) {
    for (qsizetype i = 0; i < list.size(); ++i)
        if (FieldOf(SplitDescriptionLine(list[i]).record, field, kMissing) == value)
            return static_cast<int>(i);
    return -1;
}

int HexFieldOf(const QString& record, const QString& field) {
    const QString text = FieldOf(record, field);
    if (text.isEmpty())
        return -1;
    return parseInteger(QLatin1Char('$') + text).value_or(-1);
}

std::optional<QString> DescriptionPath(const QString& workDir, const QString& fileName) {
    const QString name = fileName.trimmed();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return std::nullopt;
    return QDir(workDir).filePath(name);
}

PhoneDescription::PhoneDescription() = default;
PhoneDescription::~PhoneDescription() = default;
PhoneDescription::PhoneDescription(PhoneDescription&&) noexcept = default;
PhoneDescription& PhoneDescription::operator=(PhoneDescription&&) noexcept = default;

void PhoneDescription::Release() {
    file_.reset();
    fileName_.clear();
    versionName_.clear();
    lines_.clear();
    keys_.clear();
    devices_.clear();
    variables_.clear();
}

void PhoneDescription::LoadForVersion(const SettingsFile& zelIni, const QString& key,
                                      const QString& workDir) {
    const ProjectDefs defs = ProjectDefs::Read(zelIni);
    load(workDir, defs.FileNameForKey(key), defs.NameForKey(key));
}

void PhoneDescription::LoadForProject(const SettingsFile& project, const QString& workDir) {
    QString fileName =
        project.ReadString(QStringLiteral("Project"), QStringLiteral("DefFile"), QString())
            .trimmed();
    QString versionName =
        project.ReadString(QStringLiteral("Project"), QStringLiteral("DefName"), QString());
    if (fileName.isEmpty())
        fileName = FallbackDescriptionFile();
    if (versionName.trimmed().isEmpty())
        versionName = FallbackVersionName();
    load(workDir, fileName, versionName);
}

void PhoneDescription::load(const QString& workDir, const QString& fileName,
                            const QString& versionName) {
    Release();
    fileName_ = fileName;
    versionName_ = versionName;
    if (const auto path = DescriptionPath(workDir, fileName))
        file_ = std::make_unique<TMyMemIniFile>(*path);
    else
        file_ = TMyMemIniFile::fromBytes(QByteArray());
    fillLists();
}

void PhoneDescription::Adopt(std::unique_ptr<TMyMemIniFile> file, const QString& fileName,
                             const QString& versionName) {
    Release();
    fileName_ = fileName;
    versionName_ = versionName;
    file_ = file ? std::move(file) : TMyMemIniFile::fromBytes(QByteArray());
    fillLists();
}

void PhoneDescription::fillLists() {
    variables_ = section(QStringLiteral("DefaultValues"));
    lines_ = section(QStringLiteral("Lines"));
    keys_ = section(QStringLiteral("Keys"));
    devices_ = section(QStringLiteral("Devices"));
}

QStringList PhoneDescription::section(const QString& name) const {
    return file_ ? file_->ReadSection(name) : QStringList();
}

QString PhoneDescription::Ver() const {
    const QString def = QStringLiteral("2.0.0.0");
    return file_ ? file_->ReadString(QStringLiteral("Common"), QStringLiteral("Ver"), def) : def;
}

QString PhoneDescription::MelodySetName() const {
    return file_ ? file_->ReadString(QStringLiteral("MelodySet"), QStringLiteral("MelodySet"),
                                     QString())
                 : QString();
}

QStringList PhoneDescription::SetData() const {
    return section(QStringLiteral("SetData"));
}

QStringList PhoneDescription::MelodyList() const {
    return section(QStringLiteral("MelodyList"));
}

QStringList PhoneDescription::PhoneSetup() const {
    return section(QStringLiteral("PhoneSetup"));
}

QStringList PhoneDescription::AutoSetup() const {
    return section(QStringLiteral("AutoSetup"));
}

QList<ServiceAreaCell> PhoneDescription::ServiceArea() const {
    QList<ServiceAreaCell> cells;
    for (const QString& line : section(QStringLiteral("ServiceArea"))) {
        const QString record = SplitDescriptionLine(line).record;
        cells.append({FieldOf(record, QStringLiteral("Name")),
                      parseInteger(FieldOf(record, QStringLiteral("ImageIndex"))).value_or(-1)});
    }
    return cells;
}

SetupSection ReadConnectedPhoneSection(SettingsFile& zelIni, const QString& workDir, bool linkUp,
                                       int reportedCode, const QString& section) {
    const ProjectDefs defs = ProjectDefs::Read(zelIni);
    const QString phoneSetup = QStringLiteral("PhoneSetup");
    const QString lastType = QStringLiteral("LastPhoneType");
    int code = reportedCode;
    if (linkUp)
        zelIni.WriteInteger(phoneSetup, lastType, reportedCode);
    else
        code = zelIni.ReadInteger(phoneSetup, lastType, 1);
    const QString codeText = QString::number(code);

    SetupSection result;
    const QString fileName = defs.FileNameForCode(codeText, QString());
    if (fileName.isEmpty()) {
        result.errorText =
            QStringLiteral("Отсутствует строка описания в разделе [ProjectDefs] для Code=") +
            codeText;
        return result;
    }
    const auto path = DescriptionPath(workDir, fileName);
    result.filePath = path.value_or(QDir(workDir).filePath(fileName));
    if (!path || !QFileInfo(*path).isFile()) {
        result.errorText = QStringLiteral("Отсутствует файл описаний версии ") + result.filePath;
        return result;
    }
    const TMyIniFile file(*path);
    result.lines = file.ReadSection(section);
    if (result.lines.isEmpty())
        result.errorText = QStringLiteral("Отсутствует секция [") + section +
                           QStringLiteral("] в файле ") + result.filePath;
    return result;
}

} // namespace telmira
