#include "frame/settings.h"

#include "base/cp1251.h"
#include "frame/inidocument.h"
#include "frame/records.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace telmira {
namespace {

// Writes the whole file through a temporary file, so the old content survives a failed write.
bool writeWhole(const QString& fileName, const QByteArray& bytes, QString& error) {
    QSaveFile out(fileName);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(fileName, out.errorString());
        return false;
    }
    error.clear();
    return true;
}

// Reads the file; a missing file is empty content, an unreadable one (no permission, a folder,
// an I/O error) sets `error`.
QByteArray readWhole(const QString& fileName, QString& error) {
    QFile in(fileName);
    if (!in.exists())
        return {};
    if (!in.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(fileName, in.errorString());
        return {};
    }
    QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        error = QStringLiteral("cannot read %1: %2").arg(fileName, in.errorString());
        return {};
    }
    return bytes;
}

QString unreadableError(const QString& fileName) {
    return QStringLiteral("cannot write %1: the file exists but cannot be read, so it is left as "
                          "it is")
        .arg(fileName);
}

bool encodable(const QString& text) {
    return canEncodeCp1251(text.toStdString());
}

} // namespace

SettingsFile::SettingsFile(QString fileName) : fileName_(std::move(fileName)) {}
SettingsFile::~SettingsFile() = default;

QString SettingsFile::ReadString(const QString& section, const QString& key,
                                 const QString& def) const {
    return document().value(section, key).value_or(def);
}

int SettingsFile::ReadInteger(const QString& section, const QString& key, int def) const {
    return ReadIntegerField(section, key, def);
}

bool SettingsFile::ReadBool(const QString& section, const QString& key, bool def) const {
    return ReadBoolField(section, key, def);
}

bool SettingsFile::storable(const QStringList& texts, const QString& what) const {
    for (const QString& text : texts)
        if (!encodable(text)) {
            lastError_ = QStringLiteral("cannot write %1 to %2: the text holds characters "
                                        "Windows-1251 cannot store")
                             .arg(what, fileName_);
            return false;
        }
    return true;
}

bool SettingsFile::WriteString(const QString& section, const QString& key, const QString& value) {
    if (!storable({section, key, value}, section + QLatin1Char('.') + key))
        return false;
    return change([&](IniDocument& doc) { doc.setValue(section, key, value); });
}

bool SettingsFile::WriteInteger(const QString& section, const QString& key, int value) {
    return WriteString(section, key, QString::number(value));
}

bool SettingsFile::WriteBool(const QString& section, const QString& key, bool value) {
    return WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QStringList SettingsFile::ReadSection(const QString& section) const {
    return document().sectionLines(section);
}

QStringList SettingsFile::ReadSectionKeys(const QString& section) const {
    return document().sectionKeys(section);
}

QStringList SettingsFile::ReadSectionNames() const {
    return document().sectionNames();
}

bool SettingsFile::SectionExists(const QString& section) const {
    return document().hasSection(section);
}

bool SettingsFile::ValueExists(const QString& section, const QString& key) const {
    return document().value(section, key).has_value();
}

bool SettingsFile::EraseSection(const QString& section) {
    return change([&](IniDocument& doc) { doc.removeSection(section); });
}

bool SettingsFile::DeleteKey(const QString& section, const QString& key) {
    return change([&](IniDocument& doc) { doc.removeKey(section, key); });
}

QString SettingsFile::ReadStringField(const QString& section, const QString& key,
                                      const QString& def, const QString& fieldKey) const {
    if (fieldKey.isEmpty())
        return ReadString(section, key, def);
    return FieldOf(ReadString(section, key, QString()), fieldKey, def);
}

int SettingsFile::ReadIntegerField(const QString& section, const QString& key, int def,
                                   const QString& fieldKey) const {
    return parseInteger(ReadStringField(section, key, QString(), fieldKey)).value_or(def);
}

bool SettingsFile::ReadBoolField(const QString& section, const QString& key, bool def,
                                 const QString& fieldKey) const {
    // A value that is neither a number nor True/False reads as the default.
    return parseBool(ReadStringField(section, key, QString(), fieldKey)).value_or(def);
}

// ---- TMyIniFile

TMyIniFile::TMyIniFile(const QString& fileName)
    : SettingsFile(fileName), doc_(std::make_unique<IniDocument>()) {}

TMyIniFile::~TMyIniFile() = default;

void TMyIniFile::reloadIfChanged() const {
    const QFileInfo info(fileName_);
    const qint64 size = info.exists() ? info.size() : -1;
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    // A file that could not be read is tried again: a fixed permission changes neither its size
    // nor its time.
    if (!unreadable_ && size == loadedSize_ && modified == loadedModified_)
        return;
    lastError_.clear();
    *doc_ = IniDocument::parse(readWhole(fileName_, lastError_));
    unreadable_ = !lastError_.isEmpty();
    loadedSize_ = size;
    loadedModified_ = modified;
}

const IniDocument& TMyIniFile::document() const {
    reloadIfChanged();
    return *doc_;
}

bool TMyIniFile::change(const std::function<void(IniDocument&)>& edit) {
    reloadIfChanged();
    // The content in memory is not the file's: writing it would replace the user's settings.
    if (unreadable_) {
        lastError_ = unreadableError(fileName_);
        return false;
    }
    IniDocument next = *doc_;
    edit(next);
    if (!writeWhole(fileName_, next.serialize(), lastError_))
        return false;
    *doc_ = std::move(next);
    const QFileInfo info(fileName_);
    loadedSize_ = info.size();
    loadedModified_ = info.lastModified();
    return true;
}

// ---- TMyMemIniFile

TMyMemIniFile::TMyMemIniFile(const QString& fileName) : SettingsFile(fileName) {
    doc_ = std::make_unique<IniDocument>(IniDocument::parse(readWhole(fileName, lastError_)));
    if (!lastError_.isEmpty())
        unreadableFile_ = fileName;
}

std::unique_ptr<TMyMemIniFile> TMyMemIniFile::fromBytes(const QByteArray& bytes,
                                                        const QString& fileName) {
    auto file = std::make_unique<TMyMemIniFile>(QString());
    *file->doc_ = IniDocument::parse(bytes);
    file->fileName_ = fileName;
    return file;
}

TMyMemIniFile::~TMyMemIniFile() = default;

bool TMyMemIniFile::UpdateFile() {
    // Written from an empty start, the content would replace what the file really holds.
    if (!unreadableFile_.isEmpty() && fileName_ == unreadableFile_) {
        lastError_ = unreadableError(fileName_);
        return false;
    }
    return writeWhole(fileName_, ToBytes(), lastError_);
}

QByteArray TMyMemIniFile::ToBytes() const {
    return doc_->serialize();
}

void TMyMemIniFile::Clear() {
    *doc_ = IniDocument();
}

bool TMyMemIniFile::ReplaceSection(const QString& section, const QStringList& lines) {
    if (!storable(QStringList(lines) << section, QStringLiteral("section ") + section))
        return false;
    doc_->removeSection(section);
    doc_->appendSection(section, lines);
    return true;
}

int TMyMemIniFile::UpdateSectionRecord(const QString& section, const QString& matchKey,
                                       const QString& matchValue, const QString& newValue,
                                       const QString& fieldKey) {
    if (!storable({newValue, fieldKey}, section + QLatin1Char('.') + fieldKey))
        return -1;
    QStringList lines = doc_->sectionLines(section);
    const int index = SetFieldInList(lines, matchKey, matchValue, newValue, fieldKey);
    if (index >= 0) {
        const QString& line = lines[index];
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            doc_->setValue(section, line.left(eq), line.mid(eq + 1));
    }
    return index;
}

const IniDocument& TMyMemIniFile::document() const {
    return *doc_;
}

bool TMyMemIniFile::change(const std::function<void(IniDocument&)>& edit) {
    edit(*doc_);
    return true;
}

} // namespace telmira
