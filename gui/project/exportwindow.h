#pragma once

#include <QDialog>
#include <QPointer>

class QPlainTextEdit;
class QPushButton;

// The progress window of the ROM export and the export command of the main window.
namespace telmira {

class ExportRunner;
class ProjectSession;
class SettingsFile;

// Shows the report of a running export, non-modal and on top. "OK" closes it once the run has
// ended; "Отмена" asks the run to stop at its next cancel point and closes the window.
class TExportWindow : public QDialog {
    Q_OBJECT
public:
    TExportWindow(ExportRunner* runner, QWidget* parent = nullptr);

    QPlainTextEdit* Memo() const { return memo_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

    // "Отмена", Esc and the window's close box: the run is asked to stop.
    void reject() override;

private:
    void showLines(const QStringList& lines);
    void runFinished();

    QPointer<ExportRunner> runner_;
    QPlainTextEdit* memo_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// MenuExport, ExportButton, F5: chooses the ROM image, remembers it, and runs the export with
// the progress window. Returns the window (null when nothing was started).
TExportWindow* RunExportCommand(ProjectSession& session, SettingsFile& zelIni,
                                const QString& workDir, QWidget* parent);

} // namespace telmira
