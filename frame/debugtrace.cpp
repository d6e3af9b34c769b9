#include "frame/debugtrace.h"

#include "frame/records.h"

#include <QStringList>

namespace telmira {

TraceKind traceKind(const QString& text) {
    if (text.isEmpty())
        return TraceKind::Line;
    switch (text.front().unicode()) {
    case 1:
        return TraceKind::Status0Changed;
    case 2:
        return TraceKind::Status1Changed;
    default:
        return TraceKind::Line;
    }
}

QString progressLinesAfter(const QString& lines, const QString& trace) {
    if (trace.contains(QStringLiteral("Соединяемся с портом")))
        return trace;
    if (trace.contains(QStringLiteral("Получен Handle")))
        return lines.isEmpty() ? trace : lines + QStringLiteral("\r\n") + trace;
    return lines;
}

int sendRowCommand(const QString& field) {
    return parseInteger(field.trimmed()).value_or(0);
}

QByteArray sendRowParameters(const QString& field) {
    QByteArray bytes;
    for (const QString& token : field.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const std::optional<int> value = parseInteger(token.trimmed());
        if (value && *value != -1)
            bytes.append(static_cast<char>(*value & 0xFF));
    }
    return bytes;
}

} // namespace telmira
