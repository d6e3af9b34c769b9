#pragma once

#include <QString>

// Failures of the database module, handed back as values. The message is the one the user
// sees; `kind` lets callers tell the cases apart.
namespace telmira::contacts {

struct DbError {
    enum Kind {
        None,
        CannotOpen, // the file or its folder cannot be opened or created
        Corrupt,    // the file is damaged or is not a database
        ReadOnly,   // the file or its folder cannot be written
        Unique,     // a post broke a unique index
        Invalid,    // a value or a field name the table cannot take
        NotFound,   // the record to change is gone
        Busy,       // another program holds the file locked
        Other,
    };

    Kind kind = None;
    QString message;
    int sqliteCode = 0; // extended result code, 0 when the error did not come from SQLite

    bool ok() const { return kind == None; }
    explicit operator bool() const { return kind != None; }
};

} // namespace telmira::contacts
