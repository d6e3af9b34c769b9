#include "gui/project/exportwindow.h"

#include "project/exportdriver.h"
#include "project/exportrunner.h"
#include "project/projectfile.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace telmira {

TExportWindow::TExportWindow(ExportRunner* runner, QWidget* parent)
    : QDialog(parent), runner_(runner) {
    setWindowTitle(QStringLiteral(" Экспорт проекта в код ПЗУ"));
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(451, 240);

    memo_ = new QPlainTextEdit(this);
    memo_->setGeometry(25, 20, 400, 130);
    memo_->setReadOnly(true);
    memo_->setFrameShape(QFrame::NoFrame);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setBackgroundRole(QPalette::Window);
    memo_->viewport()->setAutoFillBackground(false);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(154, 195, 75, 25);
    ok_->setEnabled(false);
    cancel_ = new QPushButton(QStringLiteral("Отмена"), this);
    cancel_->setGeometry(250, 195, 75, 25);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &TExportWindow::reject);
    if (parent)
        move(parent->frameGeometry().center() - rect().center());
    if (runner) {
        connect(runner, &ExportRunner::reportChanged, this, &TExportWindow::showLines);
        connect(runner, &ExportRunner::finished, this, &TExportWindow::runFinished);
        showLines(runner->Lines());
    }
}

void TExportWindow::reject() {
    if (runner_)
        runner_->Cancel();
    QDialog::reject();
}

void TExportWindow::showLines(const QStringList& lines) {
    QString text = lines.join(QLatin1Char('\n')) + QStringLiteral("\n");
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), '\n');
    memo_->setPlainText(text);
    memo_->moveCursor(QTextCursor::End);
}

void TExportWindow::runFinished() {
    ok_->setEnabled(true);
    ok_->setDefault(true);
    cancel_->setEnabled(false);
    raise();
    activateWindow();
}

TExportWindow* RunExportCommand(ProjectSession& session, SettingsFile& zelIni,
                                const QString& workDir, QWidget* parent) {
    if (!session.IsOpen() || !session.Project()) {
        QMessageBox::warning(parent, QStringLiteral(" Внимание"),
                             QStringLiteral("Нет открытого проекта, откройте сначала проект!"));
        return nullptr;
    }
    const RomChoiceStart start =
        RomDialogStart(zelIni, *session.Project(), workDir, session.Description().VersionName());
    QFileDialog dialog(parent, start.title, start.folder, RomFileFilter());
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!start.selectedFile.isEmpty())
        dialog.selectFile(start.selectedFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return nullptr;
    const QString romPath = dialog.selectedFiles().first();
    RememberRomChoice(zelIni, *session.Project(), !session.IsUntitled(), romPath);

    auto* runner = new ExportRunner(
        MakeExportJob(*session.Project(), session.Description(), workDir, romPath, false), parent);
    auto* window = new TExportWindow(runner, parent);
    QObject::connect(runner, &ExportRunner::finished, runner, &QObject::deleteLater);
    window->show();
    runner->Start();
    return window;
}

} // namespace telmira
