#include "project/setarchive.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace telmira {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr qsizetype kChunk = 57;

int valueOf(QChar c) {
    const char16_t u = c.unicode();
    if (u >= 'A' && u <= 'Z')
        return u - 'A';
    if (u >= 'a' && u <= 'z')
        return u - 'a' + 26;
    if (u >= '0' && u <= '9')
        return u - '0' + 52;
    if (u == '+')
        return 62;
    if (u == '/')
        return 63;
    return -1;
}

} // namespace

QStringList EncodeSetData(const QByteArray& bytes) {
    QStringList lines;
    for (qsizetype start = 0, index = 0; start < bytes.size(); start += kChunk, ++index) {
        const QByteArray chunk = bytes.mid(start, kChunk);
        QString text;
        for (qsizetype i = 0; i < chunk.size(); i += 3) {
            const qsizetype n = std::min<qsizetype>(3, chunk.size() - i);
            std::uint32_t group = 0;
            for (qsizetype k = 0; k < n; ++k)
                group |= std::uint32_t{static_cast<std::uint8_t>(chunk[i + k])} << (8 * k);
            const qsizetype characters = n + 1;
            for (qsizetype k = 0; k < characters; ++k)
                text += QLatin1Char(kAlphabet[(group >> (6 * k)) & 0x3F]);
            text += QString(4 - characters, QLatin1Char('*'));
        }
        lines << QString::number(index) + QLatin1Char('=') + text;
    }
    return lines;
}

QByteArray DecodeSetData(const QStringList& lines) {
    QByteArray out;
    const auto appendBytes = [&out](std::uint32_t bits, int bytes) {
        for (int k = 0; k < bytes; ++k)
            out.append(static_cast<char>((bits >> (8 * k)) & 0xFF));
    };
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf('=');
        const QString text = eq < 0 ? line : line.mid(eq + 1);
        std::uint32_t bits = 0;
        int count = 0; // six-bit values of the current group
        for (qsizetype at = 0; at < text.size(); ++at) {
            if (text[at] == '*') {
                // The third character of a group: one byte, and the fourth is skipped; the
                // fourth: two bytes.
                if (count == 2) {
                    appendBytes(bits, 1);
                    ++at;
                } else if (count == 3) {
                    appendBytes(bits, 2);
                }
                bits = 0;
                count = 0;
                continue;
            }
            const int v = valueOf(text[at]);
            if (v < 0)
                continue;
            bits |= std::uint32_t(v) << (6 * count);
            if (++count == 4) {
                appendBytes(bits, 3);
                bits = 0;
                count = 0;
            }
        }
        // A group cut short by the end of its line gives the whole bytes it holds.
        appendBytes(bits, count * 6 / 8);
    }
    return out;
}

bool RestoreSetArchive(const QStringList& lines, const QString& path) {
    const QByteArray bytes = DecodeSetData(lines);
    if (bytes.isEmpty())
        return true;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

} // namespace telmira
