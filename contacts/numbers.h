#pragma once

#include <QChar>
#include <QString>

// Text operations on telephone numbers: filtering, laying digits into a display mask, number
// ranges of a city row, and the display forms of a stored number.
namespace telmira::contacts {

// True when the text is empty or made only of blanks.
bool IsBlank(const QString& text);

// The text with every character removed except the digits, `extra` anywhere (a null QChar
// allows none) and "+" or "-" in the first position. The text "-------" yields empty.
QString NumberFilter(const QString& text, QChar extra = QChar());

// The digits laid into the mask from the right: mask characters other than "0" are copied in
// front as they are met, each "0" takes one digit, and the first mask position takes every
// digit left over. The digits are not validated.
QString FormatByMask(const QString& mask, const QString& digits);

// True when the local part starts with a prefix inside one of the comma-separated ranges
// ("521, 523-525, 5266"): its first len(low) characters, compared as text, lie in [low, high].
bool InRanges(const QString& ranges, const QString& local);

// Display form of a stored number: "+7(495) 123-45-67", "(495) 123-45-67", "+7 123-45-67".
QString NumberDisplayText(const QString& country, const QString& city, const QString& local);

// Display form of an archive number: country, "(code) ", the local part laid into the mask and
// an extension after "*"; "[-------]" when empty.
QString ArchiveNumberText(const QString& country, const QString& code, const QString& phone);

// The placeholder shown for a call without a number.
inline constexpr char16_t kNoNumberText[] = u"[-------]";

} // namespace telmira::contacts
