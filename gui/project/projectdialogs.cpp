#include "gui/project/projectdialogs.h"

#include "gui/project/versionchooserdialog.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace telmira {

ProjectUi::Answer ProjectDialogs::AskSaveChanges(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Warning, caption, QString(text).replace('\r', '\n'),
                    QMessageBox::NoButton, parent_);
    QPushButton* save = box.addButton(QStringLiteral("Сохранить"), QMessageBox::AcceptRole);
    QPushButton* discard =
        box.addButton(QStringLiteral("Отказаться"), QMessageBox::DestructiveRole);
    QPushButton* stay = box.addButton(QStringLiteral("Продолжить"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(stay);
    box.exec();
    if (box.clickedButton() == save)
        return Answer::Save;
    if (box.clickedButton() == discard)
        return Answer::Discard;
    return Answer::Stay; // "Продолжить" or the box closed
}

std::optional<QString> ProjectDialogs::ChooseVersion(const QString& caption) {
    return TVersionChooserDialog::Choose(ProjectDefs::Read(zelIni_), caption, parent_);
}

std::optional<QString> ProjectDialogs::ChooseFileToOpen(const QString& title,
                                                        const QString& folder) {
    const QString path = QFileDialog::getOpenFileName(parent_, title, folder, ProjectFileFilter());
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> ProjectDialogs::ChooseFileToSave(const QString& title, const QString& folder,
                                                        const QString& preset) {
    QFileDialog dialog(parent_, title, folder, ProjectFileFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("zel"));
    if (!preset.isEmpty())
        dialog.selectFile(preset);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

void ProjectDialogs::ShowError(const QString& text) {
    QMessageBox::critical(parent_, QStringLiteral(" Ошибка"), text);
}

} // namespace telmira
