#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Command records: the queue entries of the link, keyed record strings with the fields `Name`
// (addressee of the reply), `Command` and `Parameters` (each closed by "[End]"; the parameters are
// raw bytes, one character per byte) and the optional `Flags` (mask over the state word; while a
// masked bit is set the command waits) and `Skip` (how many following records wait with it).
namespace telmira::link {

struct CommandRecord {
    int name = 8;
    int command = 0;
    QByteArray parameters;
    int flags = -1;
    int skip = 0;
    friend bool operator==(const CommandRecord&, const CommandRecord&) = default;
};

// The record as the application writes it: Name, Parameters, Command, then Flags and Skip when
// set, e.g. "Name=9; Parameters=1[End]; Command=24[End];". No value when the record cannot
// travel: a command code outside 0-63, a name outside 0-255, more than 255 parameter bytes, or
// parameter bytes holding the text "[End]" (they would end the field early).
std::optional<QString> commandRecordText(const CommandRecord& record);

// Reads a queued record as the link does: Name (default 0) and Flags (default -1), Skip
// (default 0) as fields, Command (default 0) and Parameters (default none) up to "[End]". No
// value, with the reason in `problem`, when Name or Command is not a number or out of range, or
// the parameters are longer than 255 bytes.
std::optional<CommandRecord> parseCommandRecord(const QString& text, QString* problem = nullptr);

// Raw parameter bytes and their text form in a record (one character per byte; characters
// beyond Latin-1 are taken in their Windows-1251 form).
QString bytesToRecordText(const QByteArray& bytes);
QByteArray recordTextToBytes(const QString& text);

} // namespace telmira::link
