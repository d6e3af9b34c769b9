#pragma once

#include "project/descriptions.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the version chooser offers: the names of all ProjectDefs entries in order, the first
// one preselected; a chosen row yields its entry's version key.
namespace telmira {

QString NewProjectChooserCaption(); // " Новый проект создается для версии"
QString ChangeVersionChooserCaption(); // " Выберите версию телефона для проекта"

class VersionChoice {
public:
    explicit VersionChoice(const ProjectDefs& defs);

    const QStringList& Items() const { return items_; }
    // The preselected row; -1 when the list is empty.
    int InitialRow() const { return items_.isEmpty() ? -1 : 0; }
    // The version key of a row (counted from 0); no value for a row outside the list.
    std::optional<QString> KeyForRow(int row) const;

private:
    QStringList items_;
    QStringList keys_;
};

} // namespace telmira
