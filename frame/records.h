#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Keyed record strings: one line of fields "Key=value;", written by the application as
// "Key=value; Key2=value2;". Values are never trimmed when read; the blank after a ';' is taken
// by the lookup, which searches " Key=" when "Key=" does not open the record.
//
// Two fields of command records (Command, Parameters) hold raw bytes and end with "[End]"; they
// are read with ExtractBetween only.
namespace telmira {

// Integer reading of settings and records: optional leading blanks and sign, decimal digits or
// a hexadecimal number after "$" or "0x". Anything else (including an empty text) is no number.
std::optional<int> parseInteger(const QString& text);

// Boolean reading: a number (0 false, else true) or True/False in any letter case.
std::optional<bool> parseBool(const QString& text);

// The text after the first occurrence of `start` (the whole text when start is empty) up to the
// first `terminator` after it, or to the end when the terminator is empty or absent. `def` when
// start does not occur. Nothing is trimmed.
QString ExtractBetween(const QString& text, const QString& start, const QString& def,
                       const QString& terminator);

// The value of field `key`: "key=" at the very start of the record, else the first of
// " key=", ";key=", "=key=" (in that order of search) that occurs. `def` when none does, even if
// "key=" occurs inside a longer key.
QString FieldOf(const QString& record, const QString& key, const QString& def = QString());

// FieldOf as an integer; `def` when empty or not a number.
int FieldIntOf(const QString& record, const QString& key, int def);

// FieldOf as an integer; `def` when empty, no value when the text is not a number (callers that
// always write numbers treat that as a broken record).
std::optional<int> FieldNumberOf(const QString& record, const QString& key, int def);

// ExtractBetween with an empty default as an integer; `def` when empty, no value when the text
// is not a number.
std::optional<int> NumberBetween(const QString& record, const QString& start, int def,
                                 const QString& terminator);

// The record with field `key` set to `value`; appended as "key=value;" when missing (after a
// ';' when the record is not empty and does not end with one).
QString WithField(const QString& record, const QString& key, const QString& value);

// The record with the value of field `key` replaced; unchanged when the key is missing.
QString WithReplacedField(const QString& record, const QString& key, const QString& value);

// In the first record whose `matchKey` value equals `matchValue` (both trimmed, exact case), sets
// `fieldKey` to `newValue` with WithField. Returns that record's index; -1 when none matched or
// when match key and match value are both blank.
int SetFieldInList(QStringList& list, const QString& matchKey, const QString& matchValue,
                   const QString& newValue, const QString& fieldKey);

// The `fieldKey` value of the first record whose `matchKey` value equals `matchValue` after
// trimming and upper-casing both (Cyrillic included); `def` when no record matches.
QString LookupField(const QStringList& list, const QString& matchKey, const QString& matchValue,
                    const QString& def, const QString& fieldKey);

// Index of the first record whose `key` value equals `value` exactly; -1 when none.
int IndexOfField(const QStringList& list, const QString& key, const QString& value);

// The first record whose `key` value equals `value` after trimming and lower-casing both;
// empty when none.
QString FindRecordByField(const QStringList& list, const QString& key, const QString& value);

// The value of field `key` (empty when missing) of every record, in order.
QStringList ColumnOf(const QStringList& list, const QString& key);

} // namespace telmira
