#include "frame/mainform.h"

#include "frame/singleinstance.h"
#include "frame/startup.h"

#include <QFile>

namespace telmira {

TMainForm::TMainForm(StartState& state, QWidget* parent) : QMainWindow(parent), state_(state) {
    setWindowTitle(QStringLiteral("Telmira"));
    setMinimumSize(500, 440);
    resize(800, 600);
}

TMainForm::~TMainForm() = default;

void TMainForm::runStartupOpening(const QString& project) {
    // Tool tabs and the phone panel open here as their modules arrive.
    if (state_.toolMode)
        show();
    if (!project.isEmpty()) {
        bringToFront();
        emit projectOpenRequested(project);
    }
    state_.startupDone = true;
}

void TMainForm::hideToTray() {
    showMinimized();
    state_.startHidden = true;
}

void TMainForm::restoreFromTray() {
    if (state_.toolMode)
        showNormal();
    state_.startHidden = false;
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == kInstanceMessageEvent) {
        secondInstanceArrived(static_cast<InstanceMessageEvent*>(event)->message());
        return true;
    }
    return QMainWindow::event(event);
}

void TMainForm::bringToFront() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

// Another start of zel has handed over its message: come forward, open the project it names,
// and finish a start that was hidden.
void TMainForm::secondInstanceArrived(const QByteArray& message) {
    if (state_.startHidden)
        restoreFromTray();
    if (isVisible())
        bringToFront();
    const QString text = QFile::decodeName(message);
    if (isExistingProjectFile(text)) {
        // Phone mode gives way to tool mode for a project once the phone panel exists.
        emit projectOpenRequested(text);
    }
    if (!state_.startupDone)
        runStartupOpening(QString());
}

} // namespace telmira
