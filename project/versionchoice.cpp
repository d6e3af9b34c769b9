#include "project/versionchoice.h"

namespace telmira {

QString NewProjectChooserCaption() {
    return QStringLiteral(" Новый проект создается для версии");
}

QString ChangeVersionChooserCaption() {
    return QStringLiteral(" Выберите версию телефона для проекта");
}

VersionChoice::VersionChoice(const ProjectDefs& defs) {
    for (const ProjectDefEntry& entry : defs.Entries()) {
        items_.append(entry.name);
        keys_.append(entry.key);
    }
}

std::optional<QString> VersionChoice::KeyForRow(int row) const {
    if (row < 0 || row >= keys_.size())
        return std::nullopt;
    // The entry shown in the row, whatever its key: a list whose keys are not 1, 2, 3 ... in
    // order still loads the version the user picked.
    return keys_[row];
}

} // namespace telmira
