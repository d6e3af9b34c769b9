#pragma once

#include "link/protocol.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// The phone's own reading and writing of the line: command frames in, reply frames out, and the
// counted digit form of numbers. Written here from the protocol, apart from the link's encoder,
// so that a mistake on the PC's side shows up as a phone that does not understand it.
namespace telmira::phonesim {

// Bytes a command frame still needs given what has arrived; 0 once the frame is complete.
int missingCommandBytes(const QByteArray& bytes);

struct ReceivedCommand {
    std::uint8_t command = 0;
    QByteArray parameters;
};
// A complete command frame; no value when its check byte or its length is wrong.
std::optional<ReceivedCommand> readCommandFrame(const QByteArray& frame);

// A reply frame with the items as its payload; no value when the payload exceeds 255 bytes.
std::optional<QByteArray> writeReplyFrame(std::uint8_t status, const link::ItemList& items);

// Counted digit form: a count byte, then two codes a byte, the first in the low nibble.
QByteArray writeCountedDigits(const QString& number);
QString readCountedDigits(const QByteArray& bytes);

// One code 0-15 per number character: 0-9, "-" 10, blank 11, "P" 12, "_" 13, "t" 14, "П" 15.
int digitCode(QChar c);
// One code a byte (its low four bits), as dial commands and number events carry numbers.
QString readDigitCodes(const QByteArray& codes);
QByteArray writeDigitCodes(const QString& number);

} // namespace telmira::phonesim
