#include "link/numbercodes.h"

#include <algorithm>

namespace telmira::link {
namespace {

constexpr char16_t kCyrPe = u'П';
constexpr char16_t kCyrPeSmall = u'п';
constexpr char16_t kCyrEr = u'Р';
constexpr char16_t kCyrErSmall = u'р';
constexpr char16_t kCyrTe = u'Т';
// Characters of the Windows-1251 bytes $90 and $8F, and the same bytes read as Latin-1.
constexpr char16_t kByte90 = u'\u0452';
constexpr char16_t kByte8F = u'\u040F';

std::uint8_t countedDigitCode(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return static_cast<std::uint8_t>(u - u'0');
    switch (u) {
    case u'-':
    case u'X':
        return 10;
    case u'P':
    case kCyrEr:
        return 12;
    case u'_':
        return 13;
    case u't':
        return 14;
    case kCyrPe:
        return 15;
    default:
        return 11;
    }
}

} // namespace

QChar numberCodeToChar(int code) {
    static const char16_t chars[16] = {u'0', u'1', u'2', u'3', u'4', u'5', u'6', u'7',
                                       u'8', u'9', u'-', u' ', u'P', u'_', u't', kCyrPe};
    return QChar(chars[code & 0x0F]);
}

std::uint8_t charToNumberCode(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return static_cast<std::uint8_t>(u - u'0');
    switch (u) {
    case u'-':
        return 10;
    case u'P':
    case u'p':
    case kCyrEr:
    case kCyrErSmall:
    case kByte90:
    case 0x90:
        return 12;
    case u'T':
    case u't':
    case kCyrTe:
        return 14;
    case u'_':
        return 13;
    case kCyrPe:
    case kCyrPeSmall:
    case kByte8F:
    case 0x8F:
        return 15;
    default:
        return 11;
    }
}

QString decodeEventNumber(const QByteArray& data) {
    QString out;
    out.reserve(data.size());
    for (char b : data)
        out += numberCodeToChar(static_cast<std::uint8_t>(b));
    return out;
}

QByteArray numberCodes(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text)
        out.append(static_cast<char>(charToNumberCode(c)));
    return out;
}

QString broadcastNumberText(const QString& number) {
    QString out;
    for (QChar c : number.left(14))
        out += numberCodeToChar(charToNumberCode(c));
    return out;
}

QByteArray encodeCountedDigits(const QString& number) {
    const qsizetype count = std::min<qsizetype>(number.size(), 255);
    QByteArray out;
    out.append(static_cast<char>(count));
    for (qsizetype i = 0; i < count; i += 2) {
        const int low = countedDigitCode(number[i]);
        const int high = i + 1 < count ? countedDigitCode(number[i + 1]) : 0;
        out.append(static_cast<char>(low | (high << 4)));
    }
    return out;
}

QString decodeCountedDigits(const QByteArray& bytes, qsizetype* used) {
    if (bytes.isEmpty()) {
        if (used)
            *used = 0;
        return {};
    }
    const qsizetype wanted = static_cast<std::uint8_t>(bytes[0]);
    const qsizetype count = std::min(wanted, (bytes.size() - 1) * 2);
    QString out;
    out.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const auto b = static_cast<std::uint8_t>(bytes[1 + i / 2]);
        out += numberCodeToChar(i % 2 == 0 ? b & 0x0F : b >> 4);
    }
    if (used)
        *used = 1 + (count + 1) / 2;
    return out;
}

} // namespace telmira::link
