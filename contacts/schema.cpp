#include "contacts/schema.h"

#include "contacts/sqlitedb.h"

#include <QDate>
#include <QDateTime>
#include <QSet>
#include <QTime>

namespace telmira::contacts {
namespace {

TableDef makeNoteBook() {
    TableDef t{QStringLiteral("NoteBook"), {}};
    t.fields.push_back({"Id", FieldType::AutoInc});
    for (const char* name : {"FamilyName", "Name", "SurName", "Nick"})
        t.fields.push_back({name, FieldType::String, 32});
    for (int n = 1; n <= 5; ++n)
        t.fields.push_back({QStringLiteral("Phone%1").arg(n), FieldType::String, 32});
    for (int n = 1; n <= 5; ++n) {
        t.fields.push_back({QStringLiteral("Phone%1Label").arg(n), FieldType::String, 14});
        t.fields.push_back({QStringLiteral("Phone%1Country").arg(n), FieldType::String, 4});
        t.fields.push_back({QStringLiteral("Phone%1City").arg(n), FieldType::String, 8});
    }
    t.fields.push_back({"MainPhone", FieldType::String, 6});
    t.fields.push_back({"Address", FieldType::String, 240});
    t.fields.push_back({"ImportToPhone", FieldType::Boolean});
    t.fields.push_back({"PrimaryMarker", FieldType::SmallInt});
    t.fields.push_back({"SecondMarker", FieldType::SmallInt});
    t.fields.push_back({"Photo", FieldType::Graphic});
    t.fields.push_back({"Memo", FieldType::Memo});
    return t;
}

TableDef makeArchives() {
    TableDef t{QStringLiteral("Archives"), {}};
    t.fields.push_back({"Id", FieldType::AutoInc});
    t.fields.push_back({"Country", FieldType::String, 3});
    t.fields.push_back({"Code", FieldType::String, 32});
    t.fields.push_back({"Phone", FieldType::String, 32});
    t.fields.push_back({"Type", FieldType::SmallInt});
    t.fields.push_back({"CallTime", FieldType::Time});
    t.fields.push_back({"CallDate", FieldType::Date});
    t.fields.push_back({"Length", FieldType::Time});
    t.fields.push_back({"VoiceMessage", FieldType::Boolean});
    for (int n = 1; n <= 5; ++n) {
        t.fields.push_back({QStringLiteral("User%1").arg(n), FieldType::Integer});
        t.fields.push_back({QStringLiteral("Phone%1").arg(n), FieldType::String, 50});
    }
    return t;
}

TableDef makeMelodies(const char* name) {
    TableDef t{QString::fromLatin1(name), {}};
    t.fields.push_back({"MelodySet", FieldType::SmallInt});
    t.fields.push_back({"Position", FieldType::String, 6});
    t.fields.push_back({"FileName", FieldType::String, 100});
    t.fields.push_back({"Name", FieldType::String, 100});
    t.fields.push_back({"Type", FieldType::SmallInt});
    t.fields.push_back({"MelodyType", FieldType::SmallInt});
    t.fields.push_back({"Data", FieldType::Blob});
    t.fields.push_back({"CompiledData", FieldType::Blob});
    t.fields.push_back({"TclData", FieldType::Blob});
    return t;
}

QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString columnSql(const FieldDef& f) {
    const QString q = quoted(f.name);
    switch (f.type) {
    case FieldType::AutoInc:
        return q + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    case FieldType::String:
        return q + QStringLiteral(" VARCHAR(%1) CHECK (length(%2) <= %1)").arg(f.width).arg(q);
    case FieldType::SmallInt:
        return q + QStringLiteral(" SMALLINT CHECK (%1 BETWEEN -32768 AND 32767)").arg(q);
    case FieldType::Integer:
        return q + QStringLiteral(" INTEGER CHECK (%1 BETWEEN -2147483648 AND 2147483647)").arg(q);
    case FieldType::Boolean:
        return q + QStringLiteral(" BOOLEAN CHECK (%1 IN (0, 1))").arg(q);
    case FieldType::Date:
        return q + QStringLiteral(" DATE TEXT");
    case FieldType::Time:
        return q + QStringLiteral(" TIME TEXT");
    case FieldType::Graphic:
        return q + QStringLiteral(" GRAPHIC BLOB");
    case FieldType::Memo:
        return q + QStringLiteral(" MEMO TEXT");
    case FieldType::Blob:
        return q + QStringLiteral(" BLOB");
    }
    return q;
}

struct IndexDef {
    QString name;
    QString sql; // CREATE ... IF NOT EXISTS
};

std::vector<IndexDef> indexes() {
    std::vector<IndexDef> out;
    for (const char* table : {"MelodyList", "Template"})
        out.push_back({QStringLiteral("%1Primary").arg(QLatin1String(table)),
                       QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS %1Primary ON "
                                      "%1(MelodySet, Position)")
                           .arg(QLatin1String(table))});
    // The archive grid reads newest calls first, filtered by day, period or month; these
    // indexes hold every field the filter tests, so the filter never reads the table itself.
    out.push_back({"ArchivesByDay", "CREATE INDEX IF NOT EXISTS ArchivesByDay ON "
                                    "Archives(CallDate, CallTime, Type, Country, Code, Phone)"});
    out.push_back({"ArchivesByMonth",
                   "CREATE INDEX IF NOT EXISTS ArchivesByMonth ON Archives(strftime('%m', "
                   "CallDate), CallDate, CallTime, Type, Country, Code, Phone)"});
    // Caller matching looks for numbers that end with another number. These indexes on the last
    // four characters of every full number and every local part let it look up candidates
    // instead of comparing every contact with every call; short local parts and parts holding
    // LIKE wildcards are found through the partial index.
    for (int n = 1; n <= 5; ++n) {
        const QString local = QStringLiteral("Phone%1").arg(n);
        out.push_back({QStringLiteral("NoteBookFullTail%1").arg(n),
                       QStringLiteral("CREATE INDEX IF NOT EXISTS NoteBookFullTail%1 ON "
                                      "NoteBook(substr(%2, -4))")
                           .arg(n)
                           .arg(FullPhoneSql(QString(), n))});
        out.push_back({QStringLiteral("NoteBookLocalTail%1").arg(n),
                       QStringLiteral("CREATE INDEX IF NOT EXISTS NoteBookLocalTail%1 ON "
                                      "NoteBook(substr(%2, -4))")
                           .arg(n)
                           .arg(local)});
        out.push_back({QStringLiteral("NoteBookShortLocal%1").arg(n),
                       QStringLiteral("CREATE INDEX IF NOT EXISTS NoteBookShortLocal%1 ON "
                                      "NoteBook(Id) WHERE %2")
                           .arg(n)
                           .arg(QStringLiteral("length(%1) < 4 OR %1 GLOB '*[%_]*'").arg(local))});
    }
    return out;
}

// Creates the table, or adds the fields an older file lacks.
DbError repairTable(SqliteConnection& db, const TableDef& table) {
    QSet<QString> present;
    DbError error = db.query(QStringLiteral("PRAGMA table_info(%1)").arg(table.name), {},
                             [&](const QVariantList& row) {
                                 present.insert(row.value(1).toString().toLower());
                                 return true;
                             });
    if (error)
        return error;
    if (present.isEmpty()) {
        QStringList columns;
        for (const FieldDef& f : table.fields)
            columns << columnSql(f);
        return db.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(table.name, columns.join(", ")));
    }
    for (const FieldDef& f : table.fields) {
        if (present.contains(f.name.toLower()))
            continue;
        if (f.type == FieldType::AutoInc) {
            error.kind = DbError::Corrupt;
            error.message = QStringLiteral("В таблице %1 нет ключевого поля %2; восстановить её "
                                           "автоматически нельзя")
                                .arg(table.name, f.name);
            return error;
        }
        error =
            db.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(table.name, columnSql(f)));
        if (error)
            return error;
    }
    return {};
}

} // namespace

const FieldDef* TableDef::field(const QString& fieldName) const {
    for (const FieldDef& f : fields)
        if (f.name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

const TableDef& NoteBookTable() {
    static const TableDef table = makeNoteBook();
    return table;
}

const TableDef& ArchivesTable() {
    static const TableDef table = makeArchives();
    return table;
}

const TableDef& MelodyListTable() {
    static const TableDef table = makeMelodies("MelodyList");
    return table;
}

const TableDef& TemplateTable() {
    static const TableDef table = makeMelodies("Template");
    return table;
}

const std::vector<const TableDef*>& AllTables() {
    static const std::vector<const TableDef*> tables{&NoteBookTable(), &ArchivesTable(),
                                                     &MelodyListTable(), &TemplateTable()};
    return tables;
}

QString FullPhoneSql(const QString& alias, int n) {
    const QString p = alias.isEmpty() ? QString() : alias + QLatin1Char('.');
    return QStringLiteral("(coalesce(%1Phone%2Country, '') || coalesce(%1Phone%2City, '') || "
                          "coalesce(%1Phone%2, ''))")
        .arg(p)
        .arg(n);
}

QString FullArchiveSql(const QString& alias) {
    const QString p = alias.isEmpty() ? QString() : alias + QLatin1Char('.');
    return QStringLiteral("(coalesce(%1Country, '') || coalesce(%1Code, '') || "
                          "coalesce(%1Phone, ''))")
        .arg(p);
}

QVariant FitValue(const FieldDef& field, const QVariant& value, DbError& error) {
    error = DbError();
    auto invalid = [&](const QString& why) {
        error.kind = DbError::Invalid;
        error.message = QStringLiteral("Недопустимое значение поля %1: %2").arg(field.name, why);
        return QVariant();
    };
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (field.type) {
    case FieldType::AutoInc:
        return invalid(QStringLiteral("поле заполняется таблицей"));
    case FieldType::String:
    case FieldType::Memo: {
        QString text = value.toString();
        if (field.type == FieldType::String) {
            // Cut to the width in characters, never between the halves of a surrogate pair.
            qsizetype units = 0;
            int chars = 0;
            while (units < text.size() && chars < field.width) {
                units += text[units].isHighSurrogate() && units + 1 < text.size() ? 2 : 1;
                ++chars;
            }
            text.truncate(units);
        }
        if (text.isEmpty())
            return QVariant();
        return text;
    }
    case FieldType::SmallInt:
    case FieldType::Integer: {
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        if (!ok)
            return invalid(QStringLiteral("не число"));
        const qint64 limit = field.type == FieldType::SmallInt ? 32767 : 2147483647LL;
        if (number > limit || number < -limit - 1)
            return invalid(QStringLiteral("число вне допустимого диапазона"));
        return number;
    }
    case FieldType::Boolean:
        return qint64(value.toBool() ? 1 : 0);
    case FieldType::Date: {
        const QDate date =
            value.typeId() == QMetaType::QDateTime ? value.toDateTime().date() : value.toDate();
        if (!date.isValid())
            return invalid(QStringLiteral("неверная дата"));
        return date.toString(Qt::ISODate);
    }
    case FieldType::Time: {
        const QTime time =
            value.typeId() == QMetaType::QDateTime ? value.toDateTime().time() : value.toTime();
        if (!time.isValid())
            return invalid(QStringLiteral("неверное время"));
        return time.toString(QStringLiteral("HH:mm:ss"));
    }
    case FieldType::Graphic:
    case FieldType::Blob:
        return value.toByteArray();
    }
    return QVariant();
}

DbError CreateOrRepairSchema(SqliteConnection& db) {
    DbError error = db.transaction([&]() -> DbError {
        for (const TableDef* table : AllTables())
            if (DbError tableError = repairTable(db, *table))
                return tableError;
        return db.exec(QStringLiteral("PRAGMA user_version = 1"));
    });
    if (error)
        return error;
    // Each index on its own: one that the stored rows break is reported, the others are made.
    for (const IndexDef& index : indexes()) {
        DbError indexError = db.exec(index.sql);
        if (indexError && indexError.kind == DbError::Unique)
            indexError.message =
                QStringLiteral("Индекс %1 не создан: в таблице есть повторяющиеся ключи")
                    .arg(index.name);
        if (indexError && !error)
            error = indexError;
    }
    return error;
}

} // namespace telmira::contacts
