#include "contacts/sqlitedb.h"

#include "contacts/sqlfunctions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace telmira::contacts {
namespace {

// ---- values

QVariant columnValue(sqlite3_stmt* stmt, int i) {
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, i));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(stmt, i)));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, i));
        return QVariant(QByteArray(data, sqlite3_column_bytes(stmt, i)));
    }
    default:
        return QVariant();
    }
}

int bindValue(sqlite3_stmt* stmt, int index, const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return sqlite3_bind_null(stmt, index);
    switch (value.typeId()) {
    case QMetaType::Bool:
        return sqlite3_bind_int(stmt, index, value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return sqlite3_bind_int64(stmt, index, value.toLongLong());
    case QMetaType::Double:
        return sqlite3_bind_double(stmt, index, value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return sqlite3_bind_blob64(stmt, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                   SQLITE_TRANSIENT);
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        return sqlite3_bind_text64(stmt, index, text.constData(), sqlite3_uint64(text.size()),
                                   SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    }
}

struct StmtGuard {
    sqlite3_stmt* stmt = nullptr;
    ~StmtGuard() { sqlite3_finalize(stmt); }
};

DbError::Kind kindOf(int code) {
    switch (code) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return DbError::Unique;
    case SQLITE_CONSTRAINT_CHECK:
    case SQLITE_CONSTRAINT_NOTNULL:
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
        return DbError::Invalid;
    default:
        break;
    }
    switch (code & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return DbError::Corrupt;
    case SQLITE_READONLY:
        return DbError::ReadOnly;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return DbError::CannotOpen;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbError::Busy;
    default:
        return DbError::Other;
    }
}

QString messageFor(DbError::Kind kind, const QString& path) {
    switch (kind) {
    case DbError::Corrupt:
        return QStringLiteral("Файл базы данных поврежден или не является базой данных: %1")
            .arg(path);
    case DbError::ReadOnly:
        return QStringLiteral("Файл базы данных недоступен для записи: %1").arg(path);
    case DbError::CannotOpen:
        return QStringLiteral("Не удается открыть файл базы данных: %1").arg(path);
    case DbError::Busy:
        return QStringLiteral("База данных занята другой программой: %1").arg(path);
    case DbError::Unique:
        return QStringLiteral("Запись с таким ключом уже есть в таблице");
    case DbError::Invalid:
        return QStringLiteral("Значение не подходит для поля таблицы");
    default:
        return QStringLiteral("Ошибка базы данных %1").arg(path);
    }
}

DbError errorOf(int code, const QString& path, const QString& detail) {
    DbError error;
    error.kind = kindOf(code);
    error.sqliteCode = code;
    error.message = messageFor(error.kind, path);
    if (!detail.isEmpty())
        error.message += QStringLiteral(" (") + detail + QLatin1Char(')');
    return error;
}

} // namespace

SqliteConnection::SqliteConnection(sqlite3* db, QString path, QString name)
    : db_(db), path_(std::move(path)), name_(std::move(name)) {}

SqliteConnection::~SqliteConnection() {
    sqlite3_close_v2(db_);
}

std::unique_ptr<SqliteConnection> SqliteConnection::open(const QString& path, const QString& name,
                                                         bool create, DbError& error) {
    error = DbError();
    const QFileInfo info(path);
    auto fail = [&](DbError::Kind kind, const QString& detail = QString()) {
        error.kind = kind;
        error.message = messageFor(kind, path);
        if (!detail.isEmpty())
            error.message += QStringLiteral(" (") + detail + QLatin1Char(')');
        return nullptr;
    };
    if (!info.exists() && !create)
        return fail(DbError::CannotOpen, QStringLiteral("файл не найден"));
    // The journal files are made beside the database, so its folder must be writable too.
    const QFileInfo folder(info.absolutePath());
    if ((info.exists() && !info.isWritable()) || !folder.isWritable())
        return fail(DbError::ReadOnly);
    if (info.exists() && !info.isFile())
        return fail(DbError::CannotOpen, QStringLiteral("это не файл"));

    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_EXRESCODE |
                      (create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString detail = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
        sqlite3_close_v2(db);
        error = errorOf(rc, path, detail);
        return nullptr;
    }
    std::unique_ptr<SqliteConnection> connection(new SqliteConnection(db, path, name));
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 3000);
    if (sqlite3_db_readonly(db, "main") == 1)
        return fail(DbError::ReadOnly);

    RegisterZelFunctions(db);

    // Reading the header and checking the pages tells a damaged file before anything is
    // written to it.
    QString check;
    error =
        connection->query(QStringLiteral("PRAGMA quick_check"), {}, [&](const QVariantList& row) {
            check = row.value(0).toString();
            return false;
        });
    if (error)
        return nullptr;
    if (check != QLatin1String("ok"))
        return fail(DbError::Corrupt, check);

    QString mode;
    error = connection->query(QStringLiteral("PRAGMA journal_mode=WAL"), {},
                              [&](const QVariantList& row) {
                                  mode = row.value(0).toString();
                                  return false;
                              });
    if (error)
        return nullptr;
    if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return fail(DbError::Other, QStringLiteral("журнал WAL недоступен"));
    error = connection->exec(QStringLiteral("PRAGMA synchronous=FULL; "
                                            "PRAGMA case_sensitive_like=ON; "
                                            "PRAGMA foreign_keys=OFF;"));
    if (error)
        return nullptr;
    return connection;
}

DbError SqliteConnection::lastError(int code, const QString& what) const {
    QString detail = QString::fromUtf8(sqlite3_errmsg(db_));
    if (!what.isEmpty())
        detail = what + QStringLiteral(": ") + detail;
    return errorOf(code, path_, detail);
}

DbError SqliteConnection::exec(const QString& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc == SQLITE_OK)
        return {};
    const QString detail = message ? QString::fromUtf8(message) : QString();
    sqlite3_free(message);
    return errorOf(sqlite3_extended_errcode(db_), path_, detail);
}

DbError SqliteConnection::prepare(const QString& sql, const SqlParams& params,
                                  sqlite3_stmt** stmt) {
    const QByteArray text = sql.toUtf8();
    int rc = sqlite3_prepare_v2(db_, text.constData(), int(text.size()), stmt, nullptr);
    if (rc != SQLITE_OK)
        return lastError(rc, QString());
    for (const auto& [name, value] : params) {
        const QByteArray key = ':' + name.toUtf8();
        const int index = sqlite3_bind_parameter_index(*stmt, key.constData());
        if (index == 0)
            continue; // a parameter the text does not use
        rc = bindValue(*stmt, index, value);
        if (rc != SQLITE_OK)
            return lastError(rc, name);
    }
    return {};
}

DbError SqliteConnection::query(const QString& sql, const SqlParams& params,
                                const std::function<bool(const QVariantList&)>& row,
                                QStringList* columns) {
    StmtGuard guard;
    if (DbError error = prepare(sql, params, &guard.stmt))
        return error;
    const int count = sqlite3_column_count(guard.stmt);
    if (columns) {
        columns->clear();
        for (int i = 0; i < count; ++i)
            *columns << QString::fromUtf8(sqlite3_column_name(guard.stmt, i));
    }
    QVariantList values;
    for (;;) {
        const int rc = sqlite3_step(guard.stmt);
        if (rc == SQLITE_DONE)
            return {};
        if (rc != SQLITE_ROW)
            return lastError(rc, QString());
        values.clear();
        values.reserve(count);
        for (int i = 0; i < count; ++i)
            values << columnValue(guard.stmt, i);
        if (!row(values))
            return {};
    }
}

DbError SqliteConnection::change(const QString& sql, const SqlParams& params, qint64* lastId,
                                 int* changedRows) {
    StmtGuard guard;
    if (DbError error = prepare(sql, params, &guard.stmt))
        return error;
    const int rc = sqlite3_step(guard.stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        return lastError(rc, QString());
    if (lastId)
        *lastId = sqlite3_last_insert_rowid(db_);
    if (changedRows)
        *changedRows = sqlite3_changes(db_);
    return {};
}

DbError SqliteConnection::transaction(const std::function<DbError()>& work) {
    if (DbError error = exec(QStringLiteral("BEGIN IMMEDIATE")))
        return error;
    DbError error = work();
    if (!error)
        error = exec(QStringLiteral("COMMIT"));
    if (error)
        exec(QStringLiteral("ROLLBACK"));
    return error;
}

} // namespace telmira::contacts
