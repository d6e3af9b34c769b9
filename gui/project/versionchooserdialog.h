#pragma once

#include "project/versionchoice.h"

#include <QDialog>

#include <optional>

class QComboBox;

// The modal version chooser of the new-project and change-version commands.
namespace telmira {

class TVersionChooserDialog : public QDialog {
    Q_OBJECT
public:
    TVersionChooserDialog(const ProjectDefs& defs, const QString& caption,
                          QWidget* parent = nullptr);

    // The version key of the selected row.
    std::optional<QString> ChosenKey() const;
    QComboBox* Versions() const { return versions_; }

    // Shows the dialog centred on the parent; the chosen key, or no value on cancel.
    static std::optional<QString> Choose(const ProjectDefs& defs, const QString& caption,
                                         QWidget* parent);

private:
    VersionChoice choice_;
    QComboBox* versions_ = nullptr;
};

} // namespace telmira
