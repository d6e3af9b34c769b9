#pragma once

#include "frame/settings.h"
#include "project/projectfile.h"

class QWidget;

// The dialogs the project commands ask through: the three-button save prompt, the version
// chooser and the file dialogs, all over the main window.
namespace telmira {

class ProjectDialogs : public ProjectUi {
public:
    ProjectDialogs(const SettingsFile& zelIni, QWidget* parent)
        : zelIni_(zelIni), parent_(parent) {}

    Answer AskSaveChanges(const QString& caption, const QString& text) override;
    std::optional<QString> ChooseVersion(const QString& caption) override;
    std::optional<QString> ChooseFileToOpen(const QString& title, const QString& folder) override;
    std::optional<QString> ChooseFileToSave(const QString& title, const QString& folder,
                                            const QString& preset) override;
    void ShowError(const QString& text) override;

private:
    const SettingsFile& zelIni_;
    QWidget* parent_;
};

} // namespace telmira
