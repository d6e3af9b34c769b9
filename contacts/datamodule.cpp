#include "contacts/datamodule.h"

#include "contacts/schema.h"
#include "contacts/sqlitedb.h"

#include <QDir>
#include <QFileInfo>

namespace telmira::contacts {
namespace {

const ArchiveCallState& noCallState() {
    static const ArchiveCallState state;
    return state;
}

QString keyColumn(Table table) {
    return table == Table::NoteBook || table == Table::Archives ? QStringLiteral("Id")
                                                                : QStringLiteral("rowid");
}

QString keyList(const std::vector<qint64>& keys) {
    QStringList out;
    out.reserve(qsizetype(keys.size()));
    for (qint64 key : keys)
        out << QString::number(key);
    return out.join(QLatin1Char(','));
}

// Stored values as the program reads them: booleans as bool, dates and times as QDate and
// QTime, numbers as int, blank text as an empty QString.
QVariant readValue(const FieldDef* field, const QVariant& stored) {
    if (!field)
        return stored;
    switch (field->type) {
    case FieldType::Boolean:
        return stored.isValid() ? QVariant(stored.toLongLong() != 0) : QVariant(false);
    case FieldType::Date:
        return QDate::fromString(stored.toString(), Qt::ISODate);
    case FieldType::Time:
        return QTime::fromString(stored.toString(), QStringLiteral("HH:mm:ss"));
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::AutoInc:
        return stored.isValid() ? QVariant(stored.toLongLong()) : QVariant();
    case FieldType::String:
    case FieldType::Memo:
        return stored.toString();
    case FieldType::Graphic:
    case FieldType::Blob:
        return stored.toByteArray();
    }
    return stored;
}

QString tableLabel(Table table) {
    return TableDefOf(table).name;
}

} // namespace

const TableDef& TableDefOf(Table table) {
    switch (table) {
    case Table::NoteBook:
        return NoteBookTable();
    case Table::Archives:
        return ArchivesTable();
    case Table::MelodyList:
        return MelodyListTable();
    case Table::Template:
        break;
    }
    return TemplateTable();
}

// ---- LiveResult

LiveResult::LiveResult(std::vector<qint64> keys, PageReader reader)
    : keys_(std::move(keys)), reader_(std::move(reader)) {}

LiveResult::LiveResult(DbError error) : error_(std::move(error)) {}

qint64 LiveResult::KeyAt(int row) const {
    return row >= 0 && size_t(row) < keys_.size() ? keys_[size_t(row)] : -1;
}

int LiveResult::Locate(qint64 key) const {
    for (size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] == key)
            return int(i);
    return -1;
}

Record LiveResult::RecordAt(int row) const {
    if (row < 0 || size_t(row) >= keys_.size() || !reader_)
        return {};
    const int page = row / kPage;
    auto found = pages_.find(page);
    if (found == pages_.end()) {
        if (pages_.size() >= 16)
            pages_.clear();
        const size_t first = size_t(page) * kPage;
        const size_t last = std::min(keys_.size(), first + kPage);
        std::vector<qint64> slice(keys_.begin() + qsizetype(first),
                                  keys_.begin() + qsizetype(last));
        DbError error;
        std::vector<Record> records = reader_(slice, error);
        if (error) {
            error_ = error;
            return {};
        }
        found = pages_.emplace(page, std::move(records)).first;
    }
    const size_t index = size_t(row % kPage);
    return index < found->second.size() ? found->second[index] : Record();
}

// ---- opening

QString TDataModule1::DatabasePath(const QString& workDir) {
    return QDir(workDir).filePath(QStringLiteral("db/zel.sqlite"));
}

TDataModule1::TDataModule1(std::unique_ptr<SqliteConnection> db) : db_(std::move(db)) {}

TDataModule1::~TDataModule1() = default;

std::unique_ptr<TDataModule1> TDataModule1::Open(const QString& workDir, DbError& error) {
    const QString path = DatabasePath(workDir);
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        error.kind = DbError::CannotOpen;
        error.message = QStringLiteral("Не удается создать папку базы данных: %1").arg(folder);
        return nullptr;
    }
    auto db = SqliteConnection::open(path, QStringLiteral("zel"), true, error);
    if (!db)
        return nullptr;
    error = CreateOrRepairSchema(*db);
    if (error && error.kind != DbError::Unique)
        return nullptr;
    // A unique index that old rows break is reported, but the tables still open.
    return std::unique_ptr<TDataModule1>(new TDataModule1(std::move(db)));
}

DbError TDataModule1::SetupDatabase(const QString& workDir) {
    DbError error;
    auto module = Open(workDir, error);
    return error;
}

void TDataModule1::SetArchiveCallState(const ArchiveCallState* state) {
    callState_ = state;
}

// ---- reading

std::vector<Record> TDataModule1::readPage(Table table, const std::vector<qint64>& keys,
                                           DbError& error) {
    const TableDef& def = TableDefOf(table);
    QString sql;
    if (table == Table::Archives) {
        QString lookups;
        QString joins;
        for (int n = 1; n <= 5; ++n) {
            lookups += QStringLiteral(", N%1.FamilyName AS LookFamilyName%1, N%1.Name AS "
                                      "LookName%1, N%1.SurName AS LookSurName%1, N%1.Nick AS "
                                      "LookNick%1")
                           .arg(n);
            joins += QStringLiteral(" LEFT JOIN NoteBook N%1 ON N%1.Id = A.User%1").arg(n);
        }
        sql = QStringLiteral("SELECT A.Id AS _Key, A.*%1 FROM Archives A%2 WHERE A.Id IN (%3)")
                  .arg(lookups, joins, keyList(keys));
    } else {
        sql = QStringLiteral("SELECT %1 AS _Key, * FROM %2 WHERE %1 IN (%3)")
                  .arg(keyColumn(table), def.name, keyList(keys));
    }
    QStringList columns;
    std::unordered_map<qint64, Record> byKey;
    error = db_->query(
        sql, {},
        [&](const QVariantList& row) {
            Record record;
            for (qsizetype i = 1; i < row.size(); ++i)
                record.insert(columns[i], readValue(def.field(columns[i]), row[i]));
            if (table == Table::MelodyList || table == Table::Template)
                record.insert(QStringLiteral("RowId"), row[0]);
            byKey.emplace(row[0].toLongLong(), std::move(record));
            return true;
        },
        &columns);
    std::vector<Record> out;
    if (error)
        return out;
    out.reserve(keys.size());
    for (qint64 key : keys) {
        auto found = byKey.find(key);
        if (found == byKey.end()) {
            out.emplace_back();
            continue;
        }
        Record& record = found->second;
        switch (table) {
        case Table::NoteBook:
            AddNoteBookFields(record);
            break;
        case Table::Archives:
            AddArchiveFields(record, directory_, callState_ ? *callState_ : noCallState());
            break;
        case Table::MelodyList:
        case Table::Template:
            AddMelodyFields(record);
            break;
        }
        out.push_back(std::move(record));
    }
    return out;
}

LiveResult TDataModule1::keyedQuery(const QString& sql, const SqlParams& params, Table table) {
    std::vector<qint64> keys;
    DbError error = db_->query(sql, params, [&](const QVariantList& row) {
        keys.push_back(row.value(0).toLongLong());
        return true;
    });
    if (error)
        return LiveResult(error);
    return LiveResult(std::move(keys),
                      [this, table](const std::vector<qint64>& page, DbError& pageError) {
                          return readPage(table, page, pageError);
                      });
}

LiveResult TDataModule1::NoteBookQuery(NoteBookSearchForm form, bool filterType,
                                       const QString& search) {
    return keyedQuery(NoteBookQuerySql(form, QStringLiteral("Id")),
                      {{"FilterType", filterType ? 1 : 0}, {"Search", search}}, Table::NoteBook);
}

LiveResult TDataModule1::ArchiveTableQuery(const ArchiveFilter& filter) {
    auto date = [](const QDate& d) {
        return d.isValid() ? QVariant(d.toString(Qt::ISODate)) : QVariant();
    };
    return keyedQuery(ArchiveTableQuerySql(QStringLiteral("Id"), filter),
                      {{"FilterType", filter.filterType},
                       {"DateFilter", filter.dateFilter},
                       {"Date1", date(filter.date1)},
                       {"Date2", date(filter.date2)},
                       {"Search", filter.search}},
                      Table::Archives);
}

RecordSet TDataModule1::SortArchiveQuery(qint64 currentId) {
    RecordSet out;
    QStringList columns;
    out.error = db_->query(
        SortArchiveQuerySql(true), {{"CurrentId", currentId}},
        [&](const QVariantList& row) {
            Record record;
            for (qsizetype i = 0; i < row.size(); ++i)
                record.insert(columns[i], row[i]);
            record.insert(QStringLiteral("CallDate"),
                          readValue(ArchivesTable().field("CallDate"), row.value(2)));
            record.insert(QStringLiteral("CallTime"),
                          readValue(ArchivesTable().field("CallTime"), row.value(3)));
            out.rows.push_back(std::move(record));
            return true;
        },
        &columns);
    return out;
}

LiveResult TDataModule1::ExportNotebookQuery(bool filterValue) {
    return keyedQuery(ExportNotebookQuerySql(QStringLiteral("Id")),
                      {{"FilterValue", filterValue ? 1 : 0}}, Table::NoteBook);
}

LiveResult TDataModule1::ContactSearchByNumberQuery(const QString& number) {
    return keyedQuery(ContactSearchByNumberQuerySql(CanSearchNumberByTail(number)),
                      {{"Search", number}}, Table::NoteBook);
}

LiveResult TDataModule1::Rows(Table table) {
    switch (table) {
    case Table::NoteBook:
        return keyedQuery(QStringLiteral("SELECT Id FROM NoteBook ORDER BY Id"), {}, table);
    case Table::Archives:
        return ArchivesFrom(std::numeric_limits<qint64>::min());
    case Table::MelodyList:
    case Table::Template:
        break;
    }
    return MelodyRows(table, {});
}

LiveResult TDataModule1::ArchivesFrom(qint64 lowestId) {
    return keyedQuery(
        QStringLiteral("SELECT Id FROM Archives WHERE Id >= :Lowest ORDER BY Id DESC"),
        {{"Lowest", lowestId}}, Table::Archives);
}

LiveResult TDataModule1::MelodyRows(Table table, const MelodyFilter& filter) {
    if (table != Table::MelodyList && table != Table::Template)
        return LiveResult(DbError{DbError::Invalid, QStringLiteral("Не таблица мелодий"), 0});
    QStringList where;
    SqlParams params;
    if (filter.melodySet) {
        where << QStringLiteral("MelodySet = :Set");
        params.push_back({QStringLiteral("Set"), *filter.melodySet});
    }
    if (!filter.types.isEmpty()) {
        QStringList types;
        for (int type : filter.types)
            types << QString::number(type);
        where << QStringLiteral("Type IN (%1)").arg(types.join(QLatin1Char(',')));
    }
    const QString sql =
        QStringLiteral("SELECT rowid FROM %1 %2 ORDER BY MelodySet, Position")
            .arg(TableDefOf(table).name,
                 where.isEmpty() ? QString() : QStringLiteral("WHERE ") + where.join(" AND "));
    return keyedQuery(sql, params, table);
}

std::optional<qint64> TDataModule1::LocateMelody(Table table, int melodySet,
                                                 const QString& position, DbError* error) {
    std::optional<qint64> key;
    const DbError result = db_->query(
        QStringLiteral("SELECT rowid FROM %1 WHERE MelodySet = :Set AND Position = :Position")
            .arg(TableDefOf(table).name),
        {{"Set", melodySet}, {"Position", position}}, [&](const QVariantList& row) {
            key = row.value(0).toLongLong();
            return false;
        });
    if (error)
        *error = result;
    return key;
}

std::optional<Record> TDataModule1::Read(Table table, qint64 key, DbError* error) {
    DbError readError;
    std::vector<Record> records = readPage(table, {key}, readError);
    if (error)
        *error = readError;
    if (readError || records.empty() || records.front().isEmpty())
        return std::nullopt;
    return records.front();
}

// ---- changes

DbError TDataModule1::checkWritable(Table table) const {
    if (table == Table::Template && !templateWritable_)
        return DbError{DbError::ReadOnly, QStringLiteral("Таблица Template только для чтения"), 0};
    return {};
}

DbError TDataModule1::describe(DbError error, Table table, const Record& values) const {
    if (error.kind == DbError::Unique && (table == Table::MelodyList || table == Table::Template))
        error.message = QStringLiteral("В наборе %1 уже есть строка с позицией %2")
                            .arg(values.value(QStringLiteral("MelodySet")).toString(),
                                 values.value(QStringLiteral("Position")).toString());
    else if (error.kind == DbError::Invalid)
        error.message = QStringLiteral("Таблица %1: ").arg(tableLabel(table)) + error.message;
    return error;
}

namespace {

// The fields and fitted values of a post; an unknown field or a value the field cannot take
// is an error. The key field is left out (the table assigns it).
DbError fitRecord(const TableDef& def, const Record& values, QStringList& names,
                  QVariantList& fitted) {
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        const FieldDef* field = def.field(it.key());
        if (!field)
            return DbError{DbError::Invalid,
                           QStringLiteral("В таблице %1 нет поля %2").arg(def.name, it.key()), 0};
        if (field->type == FieldType::AutoInc)
            continue;
        DbError error;
        QVariant value = FitValue(*field, it.value(), error);
        if (error)
            return error;
        names << field->name;
        fitted << value;
    }
    return {};
}

SqlParams paramsOf(const QStringList& names, const QVariantList& values) {
    SqlParams params;
    for (qsizetype i = 0; i < names.size(); ++i)
        params.push_back({QStringLiteral("v%1").arg(i), values[i]});
    return params;
}

} // namespace

DbError TDataModule1::Insert(Table table, const Record& values, qint64* key) {
    if (DbError error = checkWritable(table))
        return error;
    const TableDef& def = TableDefOf(table);
    QStringList names;
    QVariantList fitted;
    if (DbError error = fitRecord(def, values, names, fitted))
        return describe(error, table, values);
    QStringList placeholders;
    QStringList quoted;
    for (qsizetype i = 0; i < names.size(); ++i) {
        placeholders << QStringLiteral(":v%1").arg(i);
        quoted << QLatin1Char('"') + names[i] + QLatin1Char('"');
    }
    const QString sql = names.isEmpty()
                            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(def.name)
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(def.name, quoted.join(QLatin1Char(',')),
                                       placeholders.join(QLatin1Char(',')));
    return describe(db_->change(sql, paramsOf(names, fitted), key), table, values);
}

DbError TDataModule1::Update(Table table, qint64 key, const Record& values) {
    if (DbError error = checkWritable(table))
        return error;
    const TableDef& def = TableDefOf(table);
    QStringList names;
    QVariantList fitted;
    if (DbError error = fitRecord(def, values, names, fitted))
        return describe(error, table, values);
    if (names.isEmpty())
        return {};
    QStringList sets;
    for (qsizetype i = 0; i < names.size(); ++i)
        sets << QStringLiteral("\"%1\" = :v%2").arg(names[i]).arg(i);
    SqlParams params = paramsOf(names, fitted);
    params.push_back({QStringLiteral("Key"), key});
    int changed = 0;
    DbError error =
        db_->change(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = :Key")
                        .arg(def.name, sets.join(QStringLiteral(", ")), keyColumn(table)),
                    params, nullptr, &changed);
    if (!error && changed == 0)
        return DbError{DbError::NotFound,
                       QStringLiteral("Запись %1 таблицы %2 не найдена").arg(key).arg(def.name), 0};
    if (error && error.kind == DbError::Unique) {
        // Name the position the post tried to take.
        Record described = values;
        if (std::optional<Record> current = Read(table, key)) {
            for (const char* field : {"MelodySet", "Position"})
                if (!described.contains(QLatin1String(field)))
                    described.insert(QLatin1String(field), current->value(QLatin1String(field)));
        }
        return describe(error, table, described);
    }
    return describe(error, table, values);
}

DbError TDataModule1::Delete(Table table, qint64 key) {
    if (DbError error = checkWritable(table))
        return error;
    return db_->change(QStringLiteral("DELETE FROM %1 WHERE %2 = :Key")
                           .arg(TableDefOf(table).name, keyColumn(table)),
                       {{"Key", key}});
}

DbError TDataModule1::RunInTransaction(const std::function<DbError()>& work) {
    return db_->transaction(work);
}

} // namespace telmira::contacts
