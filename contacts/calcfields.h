#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <QVariantMap>

// The calculated fields that turn stored values into display text, computed for every record
// when it is fetched and never stored.
namespace telmira::contacts {

class TCodeDirectory;

// A fetched record: field name -> value (text fields as QString, empty for a blank field).
using Record = QVariantMap;

// What the archive's calculated fields need from the running program: the answering-machine
// list and the new-call marks. The default knows of no message and no new call.
class ArchiveCallState {
public:
    virtual ~ArchiveCallState();
    // The number of the answering-machine message recorded for this call, -1 when none.
    virtual int MessageNumber(const QString& fullNumber, const QDate& date, const QTime& time,
                              const QTime& length) const;
    // True when the record is a new call.
    virtual bool IsNew(qint64 id, int type) const;
};

// "Имя", "Ник" and Phone1Full..Phone5Full of a NoteBook record.
void AddNoteBookFields(Record& record);

// "Телефон", "ДатаВремя", "Имя1".."Имя5", "Имя11".."Имя51", CalculatedType, Auto and Checked of
// an Archives record whose LookFamilyName1.., LookName1.., LookSurName1.., LookNick1.. lookups
// are already filled. `directory` (may be null) names the country and city.
void AddArchiveFields(Record& record, const TCodeDirectory* directory,
                      const ArchiveCallState& state);

// "Имя" of a MelodyList or Template record.
void AddMelodyFields(Record& record);

// The name line of a contact: family name, name and patronymic joined by blanks, or the
// nickname when they are blank; cut to 32 characters.
QString ContactDisplayName(const QString& familyName, const QString& name, const QString& surName,
                           const QString& nick);

} // namespace telmira::contacts
