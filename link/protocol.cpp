#include "link/protocol.h"

#include "base/crc.h"

#include <span>

namespace telmira::link {
namespace {

std::uint8_t checkByte(const QByteArray& bytes) {
    return crc8(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size())),
                kCrcInitial);
}

std::uint8_t byteAt(const QByteArray& bytes, qsizetype i) {
    return static_cast<std::uint8_t>(bytes.at(i));
}

// Header (and count byte) of a frame or item with `length` data bytes and a 6-bit code.
QByteArray lengthHeader(int length, std::uint8_t code) {
    QByteArray head;
    if (length <= 2) {
        head.append(static_cast<char>((length << 6) | (code & 0x3F)));
    } else {
        head.append(static_cast<char>(0xC0 | (code & 0x3F)));
        head.append(static_cast<char>(length));
    }
    return head;
}

} // namespace

const char* stateBitName(int bit) {
    static const char* const names[16] = {
        "FL_ARCHIVE", "FL_VARIABLES", "FL_AUTO_CHANGE", "FL_AUTO",    "FL_AUTO_RECORD", "",
        "FL_DOT",     "FL_TUBEVOL",   "FL_TUBE",        "FL_TALKING", "FL_HFREE",       "FL_SOUND",
        "FL_560",     "FL_MUTE",      "FL_LINESTATE",   "FL_BUSY"};
    return bit >= 0 && bit < 16 ? names[bit] : "";
}

std::optional<QByteArray> encodeCommandFrame(int command, const QByteArray& parameters) {
    if (command < 0 || command > kMaxCommand || parameters.size() > kMaxParameters)
        return std::nullopt;
    QByteArray frame =
        lengthHeader(static_cast<int>(parameters.size()), static_cast<std::uint8_t>(command));
    frame.append(parameters);
    frame.append(static_cast<char>(checkByte(frame)));
    return frame;
}

std::optional<QByteArray> encodeReplyFrame(std::uint8_t status, const QByteArray& payload) {
    if (payload.size() > kMaxPayload)
        return std::nullopt;
    QByteArray frame;
    if (payload.size() < 63) {
        frame.append(static_cast<char>((status & 0xC0) | payload.size()));
    } else {
        frame.append(static_cast<char>((status & 0xC0) | 63));
        frame.append(static_cast<char>(payload.size()));
    }
    frame.append(payload);
    frame.append(static_cast<char>(checkByte(frame)));
    return frame;
}

QByteArray encodeItems(const ItemList& items) {
    QByteArray out;
    for (const Item& item : items) {
        const QByteArray data = item.data.left(255);
        out.append(lengthHeader(static_cast<int>(data.size()), item.code));
        out.append(data);
    }
    return out;
}

int replyBytesAfterFirstTwo(std::uint8_t header, std::uint8_t second) {
    const int length = header & 0x3F;
    if (length == 0)
        return 0;
    if (length == 63)
        return second + 1;
    return length; // L - 1 payload bytes and the check byte
}

ReplyFrame decodeReplyFrame(const QByteArray& frame) {
    ReplyFrame reply;
    if (frame.size() < 2)
        return reply;
    const std::uint8_t header = byteAt(frame, 0);
    const int length = header & 0x3F;
    const qsizetype expected = 2 + replyBytesAfterFirstTwo(header, byteAt(frame, 1));
    if (frame.size() != expected)
        return reply;
    const qsizetype payloadStart = length == 63 ? 2 : 1;
    reply.status = header & 0xC0;
    reply.payload = frame.mid(payloadStart, frame.size() - 1 - payloadStart);
    if (reply.status == kStatusData &&
        checkByte(frame.left(frame.size() - 1)) != byteAt(frame, frame.size() - 1))
        reply.status = kStatusBadCheck;
    return reply;
}

ItemList splitItems(const QByteArray& payload, bool* truncated) {
    ItemList items;
    if (truncated)
        *truncated = false;
    qsizetype i = 0;
    while (i < payload.size()) {
        const std::uint8_t head = byteAt(payload, i++);
        if (head == 0)
            continue;
        int length = head >> 6;
        if (length == 3) {
            if (i >= payload.size()) {
                if (truncated)
                    *truncated = true;
                break;
            }
            length = byteAt(payload, i++);
        }
        if (payload.size() - i < length) {
            if (truncated)
                *truncated = true;
            break;
        }
        items.append(Item{static_cast<std::uint8_t>(head & 0x3F), payload.mid(i, length)});
        i += length;
    }
    return items;
}

int commandFrameMissing(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return 1;
    int lengthCode = byteAt(bytes, 0) >> 6;
    if (lengthCode == 3 && bytes.size() < 2)
        return 1;
    const int count = lengthCode == 3 ? byteAt(bytes, 1) : lengthCode;
    const qsizetype total = (lengthCode == 3 ? 2 : 1) + count + 1;
    return static_cast<int>(std::max<qsizetype>(0, total - bytes.size()));
}

std::optional<CommandFrame> decodeCommandFrame(const QByteArray& frame) {
    if (frame.isEmpty() || commandFrameMissing(frame) != 0)
        return std::nullopt;
    const int lengthCode = byteAt(frame, 0) >> 6;
    const qsizetype start = lengthCode == 3 ? 2 : 1;
    const qsizetype count = lengthCode == 3 ? byteAt(frame, 1) : lengthCode;
    if (frame.size() != start + count + 1)
        return std::nullopt;
    if (checkByte(frame.left(frame.size() - 1)) != byteAt(frame, frame.size() - 1))
        return std::nullopt;
    return CommandFrame{static_cast<std::uint8_t>(byteAt(frame, 0) & 0x3F),
                        frame.mid(start, count)};
}

QByteArray itemsToBuffer(const ItemList& items) {
    QByteArray out;
    for (const Item& item : items) {
        const QByteArray data = item.data.left(255);
        out.append(static_cast<char>(item.code));
        out.append(static_cast<char>(data.size()));
        out.append(data);
    }
    return out;
}

QByteArray replyBuffer(const ItemList& items, std::uint8_t status, std::uint8_t command,
                       std::uint8_t name) {
    QByteArray out = itemsToBuffer(items);
    out.append(static_cast<char>(status));
    out.append(static_cast<char>(command));
    out.append(static_cast<char>(name));
    return out;
}

QByteArray eventBuffer(const Item& event) {
    return replyBuffer({event}, 0, event.code, kNameNoAddressee);
}

ItemList bufferItems(const QByteArray& buffer) {
    ItemList items;
    qsizetype i = 0;
    while (i < buffer.size()) {
        const std::uint8_t code = byteAt(buffer, i);
        const qsizetype length = i + 1 < buffer.size() ? byteAt(buffer, i + 1) : 0;
        const qsizetype start = std::min(i + 2, buffer.size());
        items.append(Item{code, buffer.mid(start, length)});
        i = start + length;
    }
    return items;
}

QString hexByte(int value) {
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

QString hexBytes(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size() * 3);
    for (char b : bytes) {
        out += hexByte(static_cast<std::uint8_t>(b));
        out += QLatin1Char(' ');
    }
    return out;
}

} // namespace telmira::link
