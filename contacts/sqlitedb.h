#pragma once

#include "contacts/dberror.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// A connection to one SQLite file, with the functions of sqlfunctions.h registered, LIKE
// comparing case-sensitively (the queries upper-case both sides themselves), a write-ahead log
// journal and every commit synced to disk.
namespace telmira::contacts {

// Named parameters of a statement (":Search" is given as "Search").
using SqlParams = std::vector<std::pair<QString, QVariant>>;

class SqliteConnection {
public:
    // Opens (and with `create` creates) the file. A file that cannot be written, is damaged or
    // is not a database gives an error; it is never replaced. `name` appears in messages.
    static std::unique_ptr<SqliteConnection> open(const QString& path, const QString& name,
                                                  bool create, DbError& error);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    const QString& path() const { return path_; }
    const QString& name() const { return name_; }

    // Runs statements without results.
    DbError exec(const QString& sql);
    // Runs one statement; `row` is called for each result row with its values (NULL as an
    // invalid QVariant, text as QString, integers as qint64, blobs as QByteArray). Returning
    // false from `row` stops early.
    DbError query(const QString& sql, const SqlParams& params,
                  const std::function<bool(const QVariantList&)>& row,
                  QStringList* columns = nullptr);
    // Runs one statement that changes data; `lastId` gets the new row's id of an insert.
    DbError change(const QString& sql, const SqlParams& params, qint64* lastId = nullptr,
                   int* changedRows = nullptr);

    // Runs `work` inside one transaction; commits when it returns no error, else rolls back.
    DbError transaction(const std::function<DbError()>& work);

    // The error of the last failed call as a value.
    DbError lastError(int code, const QString& what) const;

private:
    SqliteConnection(sqlite3* db, QString path, QString name);
    DbError prepare(const QString& sql, const SqlParams& params, sqlite3_stmt** stmt);

    sqlite3* db_;
    QString path_;
    QString name_;
};

} // namespace telmira::contacts
