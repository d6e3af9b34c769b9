#pragma once

#include "contacts/calcfields.h"
#include "contacts/dberror.h"
#include "contacts/queries.h"
#include "contacts/sqlitedb.h"

#include <QDate>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

// TDataModule1: the one owner of the tables NoteBook, Archives, MelodyList and Template in
// db/zel.sqlite, their queries and calculated fields. Every post and delete is committed (and
// synced to disk) before the call returns; failures come back as DbError values.
namespace telmira::contacts {

class SqliteConnection;
class TCodeDirectory;
struct TableDef;

enum class Table { NoteBook, Archives, MelodyList, Template };

// A query result held as the keys of its rows in result order; whole records (stored and
// calculated fields) are read a page at a time when asked for, so a large result opens fast.
// It reads through the module that made it and must not outlive it.
class LiveResult {
public:
    using PageReader =
        std::function<std::vector<Record>(const std::vector<qint64>& keys, DbError& error)>;

    LiveResult() = default;
    LiveResult(std::vector<qint64> keys, PageReader reader);
    explicit LiveResult(DbError error);

    const DbError& Error() const { return error_; }
    int RecordCount() const { return int(keys_.size()); }
    qint64 KeyAt(int row) const;
    // The row of the record with this key, -1 when the result does not hold it.
    int Locate(qint64 key) const;
    // The record at a row; empty when the row is out of range or the record is gone. A read
    // failure leaves the record empty and is kept in Error().
    Record RecordAt(int row) const;
    const std::vector<qint64>& Keys() const { return keys_; }

private:
    static constexpr int kPage = 64;
    std::vector<qint64> keys_;
    PageReader reader_;
    mutable DbError error_;
    mutable std::unordered_map<int, std::vector<Record>> pages_;
};

// A small result read whole (the caller matching join).
struct RecordSet {
    DbError error;
    std::vector<Record> rows;
};

// The set and row kinds of a melody table view; empty means all.
struct MelodyFilter {
    std::optional<int> melodySet;
    QList<int> types;
};

class TDataModule1 {
public:
    // The database file of a work directory: <workDir>/db/zel.sqlite.
    static QString DatabasePath(const QString& workDir);

    // Opens the tables of the work directory; the folder db/, the file and any missing table
    // or index are created. A damaged or unwritable file is reported, never replaced. When the
    // stored rows break a unique index, the tables still open and `error` says so.
    static std::unique_ptr<TDataModule1> Open(const QString& workDir, DbError& error);
    // The maintenance run: creates or repairs the schema of the work directory's database.
    static DbError SetupDatabase(const QString& workDir);

    ~TDataModule1();
    TDataModule1(const TDataModule1&) = delete;
    TDataModule1& operator=(const TDataModule1&) = delete;

    // Names countries and cities in the archive's calculated fields (may be null).
    void SetCodeDirectory(const TCodeDirectory* directory) { directory_ = directory; }
    // The answering-machine list and new-call marks for the archive (null: none).
    void SetArchiveCallState(const ArchiveCallState* state);
    // Template is read-only unless a maintenance task opens it for writing.
    void SetTemplateWritable(bool writable) { templateWritable_ = writable; }

    // ---- queries
    LiveResult NoteBookQuery(NoteBookSearchForm form, bool filterType, const QString& search);
    LiveResult ArchiveTableQuery(const ArchiveFilter& filter);
    RecordSet SortArchiveQuery(qint64 currentId);
    LiveResult ExportNotebookQuery(bool filterValue);
    LiveResult ContactSearchByNumberQuery(const QString& number);

    // ---- tables (key: Id of NoteBook and Archives, the row id of MelodyList and Template)
    // Inserts a record; text is cut to the field widths. `key` gets the new record's key.
    DbError Insert(Table table, const Record& values, qint64* key = nullptr);
    // Sets the given fields of a record.
    DbError Update(Table table, qint64 key, const Record& values);
    DbError Delete(Table table, qint64 key);
    // One record with its calculated fields; none when it does not exist.
    std::optional<Record> Read(Table table, qint64 key, DbError* error = nullptr);
    // The whole table in its reading order: NoteBook by Id, Archives newest first,
    // MelodyList and Template by set, then position.
    LiveResult Rows(Table table);
    // Archives newest first, from the newest record down to the one with Id `lowestId`.
    LiveResult ArchivesFrom(qint64 lowestId);
    LiveResult MelodyRows(Table table, const MelodyFilter& filter);
    // The row id of the melody table row with this set and position; none when absent.
    std::optional<qint64> LocateMelody(Table table, int melodySet, const QString& position,
                                       DbError* error = nullptr);
    // Runs several changes as one commit (bulk imports); rolled back when `work` fails.
    DbError RunInTransaction(const std::function<DbError()>& work);

    SqliteConnection& Connection() { return *db_; }

private:
    explicit TDataModule1(std::unique_ptr<SqliteConnection> db);
    LiveResult keyedQuery(const QString& sql, const SqlParams& params, Table table);
    std::vector<Record> readPage(Table table, const std::vector<qint64>& keys, DbError& error);
    DbError checkWritable(Table table) const;
    DbError describe(DbError error, Table table, const Record& values) const;

    std::unique_ptr<SqliteConnection> db_;
    const TCodeDirectory* directory_ = nullptr;
    const ArchiveCallState* callState_ = nullptr;
    bool templateWritable_ = false;
};

const TableDef& TableDefOf(Table table);

} // namespace telmira::contacts
