#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// Settings files in the INI format, stored in Windows-1251 with CR LF line ends (LF alone is
// accepted when reading). Section and key names compare case-insensitively. Booleans are written
// "1"/"0"; integers in decimal.
namespace telmira {

class IniDocument;

// The interface both kinds of settings objects share.
class SettingsFile {
public:
    virtual ~SettingsFile();

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    int ReadInteger(const QString& section, const QString& key, int def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    // The writes return false and keep the old value (LastError says why) when the file cannot
    // be written, or when a name or the value holds characters Windows-1251 cannot store: the
    // file would hold '?' in their place.
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInteger(const QString& section, const QString& key, int value);
    bool WriteBool(const QString& section, const QString& key, bool value);

    // The section's lines as key=value strings in file order (comments and blank lines left out).
    QStringList ReadSection(const QString& section) const;
    // The keys of the section in file order.
    QStringList ReadSectionKeys(const QString& section) const;
    QStringList ReadSectionNames() const;
    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    bool EraseSection(const QString& section);
    bool DeleteKey(const QString& section, const QString& key);

    // The stored value, or `def` when the key is missing. With a field key the stored value
    // (empty when missing) is a record and the result is FieldOf that record with `def`.
    QString ReadStringField(const QString& section, const QString& key, const QString& def,
                            const QString& fieldKey = QString()) const;
    // ReadStringField with an empty default as an integer; `def` when empty or not a number.
    int ReadIntegerField(const QString& section, const QString& key, int def,
                         const QString& fieldKey = QString()) const;
    // ReadStringField with an empty default as a boolean; `def` when empty or not a boolean.
    bool ReadBoolField(const QString& section, const QString& key, bool def,
                       const QString& fieldKey = QString()) const;

    // The file behind the object.
    const QString& FileName() const { return fileName_; }
    // The last error (a failed write, an unreadable file); empty when all went well.
    const QString& LastError() const { return lastError_; }

protected:
    explicit SettingsFile(QString fileName);
    // Gives the current content (a file-backed object rereads a file changed on disk).
    virtual const IniDocument& document() const = 0;
    // Changes the content; a file-backed object writes the file before returning.
    virtual bool change(const std::function<void(IniDocument&)>& edit) = 0;
    // True when every text can be stored in Windows-1251; otherwise sets LastError naming `what`.
    bool storable(const QStringList& texts, const QString& what) const;

    QString fileName_;
    mutable QString lastError_;
};

// File-backed: every read sees the file, every write is on disk when the call returns (written
// whole through a temporary file, so a failed write never leaves a half-written file). A file that
// exists but cannot be read is never written over: every write fails (LastError says so) until a
// later read of it succeeds; a missing file is created by the first write.
class TMyIniFile : public SettingsFile {
public:
    explicit TMyIniFile(const QString& fileName);
    ~TMyIniFile() override;

protected:
    const IniDocument& document() const override;
    bool change(const std::function<void(IniDocument&)>& edit) override;

private:
    void reloadIfChanged() const;
    mutable std::unique_ptr<IniDocument> doc_;
    mutable QDateTime loadedModified_;
    mutable qint64 loadedSize_ = -1;
    mutable bool unreadable_ = false;
};

// Memory-backed: read whole at creation; changes stay in memory until UpdateFile.
class TMyMemIniFile : public SettingsFile {
public:
    // Reads the file; a missing file gives an empty object (LastError tells an unreadable one,
    // which UpdateFile then refuses to write over).
    explicit TMyMemIniFile(const QString& fileName);
    // An object over the given Windows-1251 bytes, not tied to a file until SetFileName.
    static std::unique_ptr<TMyMemIniFile> fromBytes(const QByteArray& bytes,
                                                    const QString& fileName = QString());
    ~TMyMemIniFile() override;

    // Writes the whole content to the file (through a temporary file). False on failure.
    bool UpdateFile();
    void SetFileName(const QString& fileName) { fileName_ = fileName; }
    // The whole content as the file would hold it.
    QByteArray ToBytes() const;
    void Clear();

    // The section is removed, then appended at the end: an empty line, its name line, the lines.
    // False, and nothing changed, when a line holds text Windows-1251 cannot store.
    bool ReplaceSection(const QString& section, const QStringList& lines);
    // Applies SetFieldInList to the section's lines; a matching line is written back under its
    // own key. Returns the matched line's index or -1 (also, with LastError set and nothing
    // changed, when the new value holds text Windows-1251 cannot store).
    int UpdateSectionRecord(const QString& section, const QString& matchKey,
                            const QString& matchValue, const QString& newValue,
                            const QString& fieldKey);

protected:
    const IniDocument& document() const override;
    bool change(const std::function<void(IniDocument&)>& edit) override;

private:
    std::unique_ptr<IniDocument> doc_;
    // The file that existed but could not be read at creation; never written over.
    QString unreadableFile_;
};

} // namespace telmira
