#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The text form of a melody set archive (set.7z) inside a project's SetData section: the bytes
// in chunks of 57, chunk i on the line "i=text". Every three bytes b0 b1 b2 are the 24-bit
// number b0 + 256 b1 + 65536 b2, written as four characters of the Base64 alphabet, lowest six
// bits first; a last group of one byte gives two characters and "**", of two bytes three
// characters and "*".
namespace telmira {

QStringList EncodeSetData(const QByteArray& bytes);

// The inverse: each line's value (the text after the first "=", or the whole line) decoded in
// groups of four characters from the line's start; characters outside the alphabet are skipped.
QByteArray DecodeSetData(const QStringList& lines);

// Writes the decoded section to `path` (creating its folder). An empty result writes nothing;
// false when there was something to write and it could not be written.
bool RestoreSetArchive(const QStringList& lines, const QString& path);

// The most a set archive may unpack to; a melody set is far smaller.
constexpr qint64 kMaxSetArchiveBytes = 64 * 1024 * 1024;

// Why a set archive is not unpacked: the export report number and its text.
struct SetArchiveFault {
    int number;
    QString text;
};

// Vets the archiver's technical listing (`7za l -slt`, UTF-8) of a set archive before it is
// unpacked, since a project file may come from anyone: the archive must be a 7z archive whose
// every entry is a relative path without "..", a plain file or folder (no link, no device), and
// whose files add up to at most `maxBytes`. A listing that cannot be read entry by entry is
// refused too. No value when the archive may be unpacked.
std::optional<SetArchiveFault> CheckSetListing(const QByteArray& listing,
                                               qint64 maxBytes = kMaxSetArchiveBytes);

} // namespace telmira
