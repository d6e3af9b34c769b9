#pragma once

#include "base/linkvocabulary.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// The wire protocol of the phone link: command frames (PC to phone), reply frames (phone to PC),
// the items inside a reply's payload and the reply buffer the link hands to the windows.
//
// Command frame: header (bits 7-6 length code, bits 5-0 command code), a count byte when the
// length code is 3, the parameter bytes, and a check byte. Reply frame: header (bits 7-6 status,
// bits 5-0 payload length, 63 = "extended": the true length follows in one byte), the payload and
// a check byte. Both check bytes are CRC-8 (Dallas/Maxim) started at 0x5A over every byte before.
namespace telmira::link {

inline constexpr std::uint8_t kCrcInitial = 0x5A;
inline constexpr int kMaxParameters = 255;
inline constexpr int kMaxPayload = 255;

// Reply status: the phone's own values (bits 7-6 of the header) and the reader's additions.
enum ReplyStatus : std::uint8_t {
    kStatusData = 0x00,
    kStatusError40 = 0x40,
    kStatusWait = 0x80,
    kStatusErrorC0 = 0xC0,
    kStatusBadCheck = 0x10, // check byte wrong
    kStatusIncomplete = 2,  // reply incomplete or missing (time-out)
    kStatusReadFailure = 4, // port read failure
};

// Item codes with a fixed meaning on the link.
enum ItemCode : std::uint8_t {
    kItemProbe = 1,
    kItemVolumes = 3,
    kItemAutoDialCheck = 12,
    kItemPhoneBook = 26,
    kItemAlarm = 0x3B,
    kItemDialled = 0x3C,
    kItemIncoming = 0x3D,
    kItemStatus1 = 0x3E,
    kItemStatus0 = 0x3F,
};
inline constexpr std::uint8_t kFirstEventItem = 0x30;

// Bits of Status0 (low byte of the state word) and Status1 (high byte).
enum Status0Bit : std::uint8_t {
    FL_ARCHIVE = 0x01,
    FL_VARIABLES = 0x02,
    FL_AUTO_CHANGE = 0x04,
    FL_AUTO = 0x08,
    FL_AUTO_RECORD = 0x10,
    FL_DOT = 0x40,
    FL_TUBEVOL = 0x80,
};
enum Status1Bit : std::uint8_t {
    FL_TUBE = 0x01,
    FL_TALKING = 0x02,
    FL_HFREE = 0x04,
    FL_SOUND = 0x08,
    FL_560 = 0x10,
    FL_MUTE = 0x20,
    FL_LINESTATE = 0x40,
    FL_BUSY = 0x80,
};

// The names the debug window gives the sixteen bits of the state word, bit 0 first
// (Status0 bits 0-7, then Status1 bits 0-7); bit 5 of Status0 has no name.
const char* stateBitName(int bit);

// One item of a reply payload.
struct Item {
    std::uint8_t code = 0;
    QByteArray data;
    friend bool operator==(const Item&, const Item&) = default;
};
using ItemList = QList<Item>;

// The command frame for `command` (0-63) with its parameter bytes; no value when the command
// code is out of range or there are more than 255 parameter bytes (the count is one byte).
std::optional<QByteArray> encodeCommandFrame(int command, const QByteArray& parameters);

// A reply frame as the phone sends it. The payload must not exceed 255 bytes.
std::optional<QByteArray> encodeReplyFrame(std::uint8_t status, const QByteArray& payload);

// Items as the phone writes them into a payload (header byte with length code, data).
QByteArray encodeItems(const ItemList& items);

// How a reply continues after its first two bytes: the number of bytes still to read.
int replyBytesAfterFirstTwo(std::uint8_t header, std::uint8_t second);

// A whole reply frame, decoded.
struct ReplyFrame {
    std::uint8_t status = kStatusIncomplete;
    QByteArray payload;
};

// Decodes a complete reply frame (as long as its header says). The check byte is compared only
// for status 0x00, a mismatch giving kStatusBadCheck; a frame shorter or longer than its header
// says is kStatusIncomplete.
ReplyFrame decodeReplyFrame(const QByteArray& frame);

// Splits a payload into items: zero bytes are filler; an item whose header claims more data
// than the payload holds ends the walk (the items before it are kept), `truncated` tells.
ItemList splitItems(const QByteArray& payload, bool* truncated = nullptr);

// A command frame as the phone reads it.
struct CommandFrame {
    std::uint8_t command = 0;
    QByteArray parameters;
};

// Bytes a command frame still needs given what has arrived (header, count byte); 0 when the
// bytes hold a complete frame.
int commandFrameMissing(const QByteArray& bytes);
// Decodes a complete command frame; no value when its check byte is wrong or its length is not
// what the header says.
std::optional<CommandFrame> decodeCommandFrame(const QByteArray& frame);

// Reply buffer (what the link posts to the windows): the items as code, data length, data,
// followed by status, command code and `Name`.
QByteArray itemsToBuffer(const ItemList& items);
QByteArray replyBuffer(const ItemList& items, std::uint8_t status, std::uint8_t command,
                       std::uint8_t name);
// The buffer an event item travels in: the item, then 0, the item code and 8.
QByteArray eventBuffer(const Item& event);

// Walks the items of a reply buffer whose trailing bytes were removed (code, length, data...);
// an item running past the end is cut to what is there.
ItemList bufferItems(const QByteArray& buffer);

// "3F 5A " style dump: two upper-case hexadecimal digits and a blank per byte.
QString hexBytes(const QByteArray& bytes);
// Two upper-case hexadecimal digits.
QString hexByte(int value);

} // namespace telmira::link
