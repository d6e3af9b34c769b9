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

SetArchiveFault unreadableListing() {
    return {212, QStringLiteral("Ошибка, оглавление архива набора не прочитано или это не архив "
                                "7-Zip")};
}

SetArchiveFault badEntry(const QString& path, const QString& why) {
    return {210,
            QStringLiteral("Ошибка, архив набора отклонён (") + why + QStringLiteral("): ") + path};
}

// One entry of the listing: its keys in order.
struct ListedEntry {
    QString path;
    QString attributes;
    QString size;
    QStringList links; // values of the link keys
};

std::optional<SetArchiveFault> checkEntry(const ListedEntry& entry, qint64& total,
                                          qint64 maxBytes) {
    const QString& path = entry.path;
    if (path.isEmpty())
        return badEntry(path, QStringLiteral("пустое имя"));
    if (path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char('\\')) ||
        (path.size() >= 2 && path[1] == QLatin1Char(':')))
        return badEntry(path, QStringLiteral("абсолютный путь"));
    if (path.contains(QStringLiteral("..")))
        return badEntry(path, QStringLiteral("путь с \"..\""));
    if (path.contains(QLatin1Char('\\')))
        return badEntry(path, QStringLiteral("обратная косая черта в имени"));
    for (const QChar c : path)
        if (c.unicode() < 0x20)
            return badEntry(path, QStringLiteral("управляющий символ в имени"));
    for (const QString& link : entry.links)
        if (!link.isEmpty())
            return badEntry(path, QStringLiteral("ссылка"));
    // "A -rw-r--r--": the Windows attributes, then the Unix mode when the archive has one.
    const QStringList attributes = entry.attributes.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (attributes.size() > 1) {
        const QChar type = attributes[1].at(0);
        if (type != QLatin1Char('-') && type != QLatin1Char('d'))
            return badEntry(path, QStringLiteral("ссылка или устройство"));
    }
    if (!entry.size.isEmpty()) {
        bool ok = false;
        const qint64 size = entry.size.toLongLong(&ok);
        if (!ok || size < 0)
            return unreadableListing();
        if (size > maxBytes - total)
            return SetArchiveFault{
                211, QStringLiteral("Ошибка, архив набора распаковывается больше чем в ") +
                         QString::number(maxBytes) + QStringLiteral(" байт")};
        total += size;
    }
    return std::nullopt;
}

} // namespace

std::optional<SetArchiveFault> CheckSetListing(const QByteArray& listing, qint64 maxBytes) {
    QStringList lines = QString::fromUtf8(listing).split(QLatin1Char('\n'));
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    const qsizetype separator = lines.indexOf(QStringLiteral("----------"));
    if (separator < 0)
        return unreadableListing();
    // The archive's own block, between "--" and the separator, names its type.
    const qsizetype header = lines.lastIndexOf(QStringLiteral("--"), separator);
    if (header < 0 ||
        !lines.mid(header + 1, separator - header - 1).contains(QStringLiteral("Type = 7z")))
        return unreadableListing();

    qint64 total = 0;
    std::optional<ListedEntry> entry;
    const auto finish = [&]() -> std::optional<SetArchiveFault> {
        if (!entry)
            return std::nullopt;
        const auto fault = checkEntry(*entry, total, maxBytes);
        entry.reset();
        return fault;
    };
    for (qsizetype i = separator + 1; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.isEmpty()) {
            if (const auto fault = finish())
                return fault;
            continue;
        }
        // Every line of an entry is "Key = Value"; anything else (a name with a line break,
        // a warning) means the listing cannot be trusted.
        const qsizetype eq = line.indexOf(QStringLiteral(" = "));
        const QString key = eq < 0 ? QString() : line.left(eq);
        const QString value = eq < 0 ? QString() : line.mid(eq + 3);
        if (eq < 0) {
            if (!line.endsWith(QStringLiteral(" =")))
                return unreadableListing();
        }
        const QString name = eq < 0 ? line.chopped(2) : key;
        if (name == QStringLiteral("Path")) {
            if (entry)
                return unreadableListing();
            entry = ListedEntry{value, {}, {}, {}};
        } else if (!entry) {
            return unreadableListing();
        } else if (name == QStringLiteral("Attributes")) {
            entry->attributes = value;
        } else if (name == QStringLiteral("Size")) {
            entry->size = value;
        } else if (name.contains(QStringLiteral("Link"))) {
            entry->links << value;
        }
    }
    return finish();
}

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
