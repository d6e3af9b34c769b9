#include "gui/project/versionchooserdialog.h"

#include <QComboBox>
#include <QPushButton>

namespace telmira {

TVersionChooserDialog::TVersionChooserDialog(const ProjectDefs& defs, const QString& caption,
                                             QWidget* parent)
    : QDialog(parent), choice_(defs) {
    setWindowTitle(caption);
    setFixedSize(308, 141);

    versions_ = new QComboBox(this);
    versions_->setGeometry(25, 16, 255, 21);
    versions_->addItems(choice_.Items());
    versions_->setCurrentIndex(choice_.InitialRow());

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(124, 96, 75, 25);
    ok->setDefault(true);
    ok->setEnabled(choice_.InitialRow() >= 0);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setGeometry(205, 96, 75, 25);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<QString> TVersionChooserDialog::ChosenKey() const {
    return choice_.KeyForRow(versions_->currentIndex());
}

std::optional<QString> TVersionChooserDialog::Choose(const ProjectDefs& defs,
                                                     const QString& caption, QWidget* parent) {
    TVersionChooserDialog dialog(defs, caption, parent);
    if (parent) {
        const QRect frame = parent->frameGeometry();
        dialog.move(frame.center() - dialog.rect().center());
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.ChosenKey();
}

} // namespace telmira
