#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace telmira {

// The content of one INI file in memory: sections in file order, each with its lines (key=value
// lines and comment lines; blank lines are not kept, one is written before every section).
class IniDocument {
public:
    struct Section {
        QString name;
        QStringList lines;
        bool preamble = false; // the lines before the first section header
    };

    static IniDocument parse(const QByteArray& windows1251);
    QByteArray serialize() const;

    // The stored value, or no value when the key is missing.
    std::optional<QString> value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    bool removeKey(const QString& section, const QString& key);
    bool removeSection(const QString& section);
    void appendSection(const QString& section, const QStringList& lines);

    QStringList sectionLines(const QString& section) const;
    QStringList sectionKeys(const QString& section) const;
    QStringList sectionNames() const;
    bool hasSection(const QString& section) const;

private:
    const Section* find(const QString& name) const;
    Section* find(const QString& name);

    // Lines before the first section header are kept as they are but never read.
    std::vector<Section> sections_;
};

} // namespace telmira
