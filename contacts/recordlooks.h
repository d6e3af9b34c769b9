#pragma once

#include <QStringList>

// The record looks of the three tabs that show their rows in the record grid: the layout strings
// each tab hands the grid when it creates it (one keyed record per line of a record).
namespace telmira::contacts {

// The call archive: the number with the date and time, five candidate names, the call-type
// picture.
QStringList ArchiveRecordLook();
// The phone book: the name on the button face, the nickname, five numbers with their labels.
QStringList PhoneBookRecordLook();
// The melody library: one line per melody, section headers bold with their open/closed mark.
QStringList MelodyRecordLook();

} // namespace telmira::contacts
