#include "link/commandrecord.h"

#include "base/cp1251.h"
#include "base/linkvocabulary.h"
#include "frame/records.h"

namespace telmira::link {
namespace {
const QString kEnd = QStringLiteral("[End]");
}

QString bytesToRecordText(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

QByteArray recordTextToBytes(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() <= 0xFF) {
            out.append(static_cast<char>(c.unicode()));
        } else {
            const std::string encoded = utf8ToCp1251(QString(c).toStdString());
            out.append(encoded.data(), static_cast<qsizetype>(encoded.size()));
        }
    }
    return out;
}

std::optional<QString> commandRecordText(const CommandRecord& record) {
    if (record.command < 0 || record.command > kMaxCommand || record.name < 0 ||
        record.name > 255 || record.parameters.size() > 255 || record.parameters.contains("[End]"))
        return std::nullopt;
    QString text = QStringLiteral("Name=%1; Parameters=").arg(record.name) +
                   bytesToRecordText(record.parameters) +
                   QStringLiteral("[End]; Command=%1[End];").arg(record.command);
    if (record.flags != -1)
        text += QStringLiteral(" Flags=%1;").arg(record.flags);
    if (record.skip != 0)
        text += QStringLiteral(" Skip=%1;").arg(record.skip);
    return text;
}

std::optional<CommandRecord> parseCommandRecord(const QString& text, QString* problem) {
    auto fail = [problem](const QString& why) -> std::optional<CommandRecord> {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    CommandRecord record;
    const std::optional<int> name = FieldNumberOf(text, QStringLiteral("Name"), 0);
    if (!name || *name < 0 || *name > 255)
        return fail(QStringLiteral("Name"));
    const std::optional<int> command = NumberBetween(text, QStringLiteral("Command="), 0, kEnd);
    if (!command || *command < 0 || *command > kMaxCommand)
        return fail(QStringLiteral("Command"));
    record.name = *name;
    record.command = *command;
    record.parameters =
        recordTextToBytes(ExtractBetween(text, QStringLiteral("Parameters="), QString(), kEnd));
    if (record.parameters.size() > 255)
        return fail(QStringLiteral("Parameters"));
    record.flags = FieldIntOf(text, QStringLiteral("Flags"), -1);
    record.skip = FieldIntOf(text, QStringLiteral("Skip"), 0);
    return record;
}

} // namespace telmira::link
