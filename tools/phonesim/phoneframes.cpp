#include "tools/phonesim/phoneframes.h"

#include "base/crc.h"

#include <algorithm>
#include <span>

namespace telmira::phonesim {
namespace {

constexpr std::uint8_t kCheckStart = 0x5A;
constexpr int kExtendedLength = 63;
const QString kDigitChars = QStringLiteral("0123456789- P_tП");

std::uint8_t checkByte(const QByteArray& bytes) {
    return crc8(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size())),
                kCheckStart);
}

std::uint8_t at(const QByteArray& bytes, qsizetype i) {
    return static_cast<std::uint8_t>(bytes[i]);
}

// Header byte, count byte when the length code is 3, then the parameters and the check byte.
std::optional<qsizetype> commandFrameSize(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return std::nullopt;
    const int lengthCode = at(bytes, 0) >> 6;
    if (lengthCode < 3)
        return 1 + lengthCode + 1;
    if (bytes.size() < 2)
        return std::nullopt;
    return 2 + at(bytes, 1) + 1;
}

} // namespace

int missingCommandBytes(const QByteArray& bytes) {
    const std::optional<qsizetype> size = commandFrameSize(bytes);
    if (!size)
        return bytes.isEmpty() ? 2 : 1;
    return static_cast<int>(std::max<qsizetype>(0, *size - bytes.size()));
}

std::optional<ReceivedCommand> readCommandFrame(const QByteArray& frame) {
    const std::optional<qsizetype> size = commandFrameSize(frame);
    if (!size || *size != frame.size() ||
        checkByte(frame.left(frame.size() - 1)) != at(frame, frame.size() - 1))
        return std::nullopt;
    const qsizetype start = (at(frame, 0) >> 6) < 3 ? 1 : 2;
    return ReceivedCommand{static_cast<std::uint8_t>(at(frame, 0) & 0x3F),
                           frame.mid(start, frame.size() - 1 - start)};
}

std::optional<QByteArray> writeReplyFrame(std::uint8_t status, const link::ItemList& items) {
    QByteArray payload;
    for (const link::Item& item : items) {
        const qsizetype n = item.data.size();
        if (n <= 2) {
            payload.append(static_cast<char>((n << 6) | (item.code & 0x3F)));
        } else {
            payload.append(static_cast<char>(0xC0 | (item.code & 0x3F)));
            payload.append(static_cast<char>(n));
        }
        payload.append(item.data);
    }
    if (payload.size() > 255)
        return std::nullopt;
    QByteArray frame;
    if (payload.size() < kExtendedLength) {
        frame.append(static_cast<char>((status & 0xC0) | payload.size()));
    } else {
        frame.append(static_cast<char>((status & 0xC0) | kExtendedLength));
        frame.append(static_cast<char>(payload.size()));
    }
    frame.append(payload);
    frame.append(static_cast<char>(checkByte(frame)));
    return frame;
}

int digitCode(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    const qsizetype code = kDigitChars.indexOf(c == u'p' ? u'P' : c == u'T' ? u't' : c);
    return code < 0 ? 11 : static_cast<int>(code);
}

QString readDigitCodes(const QByteArray& codes) {
    QString out;
    for (char b : codes)
        out += kDigitChars[static_cast<std::uint8_t>(b) & 0x0F];
    return out;
}

QByteArray writeDigitCodes(const QString& number) {
    QByteArray out;
    for (QChar c : number)
        out.append(static_cast<char>(digitCode(c)));
    return out;
}

QByteArray writeCountedDigits(const QString& number) {
    const qsizetype count = std::min<qsizetype>(number.size(), 255);
    QByteArray out(1, static_cast<char>(count));
    for (qsizetype i = 0; i < count; i += 2) {
        const int low = digitCode(number[i]);
        const int high = i + 1 < count ? digitCode(number[i + 1]) : 0;
        out.append(static_cast<char>(low | (high << 4)));
    }
    return out;
}

QString readCountedDigits(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return {};
    const qsizetype count = std::min<qsizetype>(at(bytes, 0), (bytes.size() - 1) * 2);
    QString out;
    for (qsizetype i = 0; i < count; ++i) {
        const std::uint8_t b = at(bytes, 1 + i / 2);
        out += kDigitChars[i % 2 == 0 ? b & 0x0F : b >> 4];
    }
    return out;
}

} // namespace telmira::phonesim
