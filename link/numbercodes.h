#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Telephone numbers on the link travel as one code 0-15 per character: 0-9 the digits, 10 "-",
// 11 blank, 12 "P", 13 "_", 14 "t", 15 "П".
namespace telmira::link {

// The character of a code (only the low four bits count).
QChar numberCodeToChar(int code);

// The code of a character as dial strings and broadcasts use it: digits; "-" 10; "P", "p",
// Cyrillic "Р", "р" and the Windows-1251 byte $90 12; "T", "t", Cyrillic "Т" 14; "_" 13;
// Cyrillic "П", "п" and the byte $8F 15; anything else 11.
std::uint8_t charToNumberCode(QChar c);

// The number carried by event items 60 and 61: one character per byte, from its low nibble.
QString decodeEventNumber(const QByteArray& data);

// One code byte per character (the parameters of a dial command after $A2).
QByteArray numberCodes(const QString& text);

// The characters the outward broadcast carries: at most 14 (the seven bytes of two codes each
// that the broadcast has room for), each as its number code reads back.
QString broadcastNumberText(const QString& number);

// Counted digit form (phone book, archives, alarms, service cells): a count byte, then the
// codes two a byte, the first in the low nibble, an odd last code leaving the high nibble 0.
// Writing maps "-" and "X" to 10, digits, "P" and Cyrillic "Р" 12, "_" 13, "t" 14, Cyrillic "П"
// 15 and anything else 11; at most 255 codes (further characters are dropped).
QByteArray encodeCountedDigits(const QString& number);
// Reads the form at the start of `bytes`; a count larger than the bytes hold yields the codes
// that are there. `used` (when given) receives the bytes the form occupies.
QString decodeCountedDigits(const QByteArray& bytes, qsizetype* used = nullptr);

} // namespace telmira::link
