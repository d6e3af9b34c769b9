#include "frame/inidocument.h"

#include "base/cp1251.h"

namespace telmira {
namespace {

bool isComment(const QString& line) {
    return line.startsWith(QLatin1Char(';'));
}

// The key of a key=value line (trimmed), or a null string for lines that hold none.
QString keyOf(const QString& line) {
    if (isComment(line))
        return QString();
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.left(eq).trimmed();
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Line breaks inside a value would split the line and corrupt the file's structure.
QString oneLine(QString value) {
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
}

} // namespace

IniDocument IniDocument::parse(const QByteArray& windows1251) {
    IniDocument doc;
    const QString text = QString::fromUtf8(cp1251ToUtf8(
        std::string_view(windows1251.constData(), static_cast<std::size_t>(windows1251.size()))));
    doc.sections_.push_back({QString(), {}, true});
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            if (close > 0) {
                doc.sections_.push_back({line.mid(1, close - 1).trimmed(), {}});
                continue;
            }
        }
        doc.sections_.back().lines << line;
    }
    return doc;
}

QByteArray IniDocument::serialize() const {
    QString text;
    bool first = true;
    for (const Section& s : sections_) {
        if (s.preamble) {
            for (const QString& line : s.lines)
                text += line + QLatin1String("\r\n");
            first = s.lines.isEmpty();
            continue;
        }
        if (!first)
            text += QLatin1String("\r\n");
        first = false;
        text += QLatin1Char('[') + s.name + QLatin1String("]\r\n");
        for (const QString& line : s.lines)
            text += line + QLatin1String("\r\n");
    }
    const std::string bytes = utf8ToCp1251(text.toStdString());
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

const IniDocument::Section* IniDocument::find(const QString& name) const {
    for (const Section& s : sections_)
        if (!s.preamble && sameName(s.name, name))
            return &s;
    return nullptr;
}

IniDocument::Section* IniDocument::find(const QString& name) {
    return const_cast<Section*>(std::as_const(*this).find(name));
}

std::optional<QString> IniDocument::value(const QString& section, const QString& key) const {
    if (const Section* s = find(section))
        for (const QString& line : s->lines)
            if (const QString k = keyOf(line); !k.isNull() && sameName(k, key))
                return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    return std::nullopt;
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    Section* s = find(section);
    if (!s) {
        sections_.push_back({section.trimmed(), {}, false});
        s = &sections_.back();
    }
    const QString clean = oneLine(value);
    for (QString& line : s->lines)
        if (const QString k = keyOf(line); !k.isNull() && sameName(k, key)) {
            line = k + QLatin1Char('=') + clean;
            return;
        }
    s->lines << key.trimmed() + QLatin1Char('=') + clean;
}

bool IniDocument::removeKey(const QString& section, const QString& key) {
    Section* s = find(section);
    if (!s)
        return false;
    for (qsizetype i = 0; i < s->lines.size(); ++i)
        if (const QString k = keyOf(s->lines[i]); !k.isNull() && sameName(k, key)) {
            s->lines.removeAt(i);
            return true;
        }
    return false;
}

bool IniDocument::removeSection(const QString& section) {
    bool removed = false;
    for (auto it = sections_.begin(); it != sections_.end();) {
        if (!it->preamble && sameName(it->name, section)) {
            it = sections_.erase(it);
            removed = true;
        } else {
            ++it;
        }
    }
    return removed;
}

void IniDocument::appendSection(const QString& section, const QStringList& lines) {
    Section s{section.trimmed(), {}, false};
    for (const QString& line : lines)
        s.lines << oneLine(line);
    sections_.push_back(std::move(s));
}

QStringList IniDocument::sectionLines(const QString& section) const {
    QStringList out;
    if (const Section* s = find(section))
        for (const QString& line : s->lines)
            if (!isComment(line))
                out << line;
    return out;
}

QStringList IniDocument::sectionKeys(const QString& section) const {
    QStringList out;
    if (const Section* s = find(section))
        for (const QString& line : s->lines)
            if (const QString k = keyOf(line); !k.isNull())
                out << k;
    return out;
}

QStringList IniDocument::sectionNames() const {
    QStringList out;
    for (const Section& s : sections_)
        if (!s.preamble)
            out << s.name;
    return out;
}

bool IniDocument::hasSection(const QString& section) const {
    return find(section) != nullptr;
}

} // namespace telmira
