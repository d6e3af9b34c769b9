#pragma once

#include "contacts/dberror.h"

#include <QString>
#include <QVariant>

#include <vector>

// The four tables of db/zel.sqlite with their fields, types and widths, and the creation or
// repair of the schema (missing tables, fields and indexes).
namespace telmira::contacts {

class SqliteConnection;

enum class FieldType {
    AutoInc,
    String,
    SmallInt,
    Integer,
    Boolean,
    Date,
    Time,
    Graphic,
    Memo,
    Blob
};

struct FieldDef {
    QString name;
    FieldType type;
    int width = 0; // characters of a string field
};

struct TableDef {
    QString name;
    std::vector<FieldDef> fields;

    const FieldDef* field(const QString& name) const; // case-insensitive; null when unknown
};

const TableDef& NoteBookTable();
const TableDef& ArchivesTable();
const TableDef& MelodyListTable();
const TableDef& TemplateTable();
const std::vector<const TableDef*>& AllTables();

// A value made fit for a field the way the old engine stored it: text cut to the width (never
// inside a surrogate pair), a blank text stored as NULL, booleans as 0/1, dates as YYYY-MM-DD,
// times as HH:MM:SS. An integer outside the field's range, or a value of the wrong kind, is an
// error.
QVariant FitValue(const FieldDef& field, const QVariant& value, DbError& error);

// Creates every missing table, field and index. Existing rows are never touched; an index that
// the stored rows break is reported as an error and left out.
DbError CreateOrRepairSchema(SqliteConnection& db);

// The expression of the full number (country + city + local part) of number n of NoteBook,
// with NULL parts read as empty, for the table alias `alias` (may be empty).
QString FullPhoneSql(const QString& alias, int n);
// The full number of an Archives row.
QString FullArchiveSql(const QString& alias);

} // namespace telmira::contacts
