// The main window's tray behaviour, its fit to the screen, and the close sequence.
#include "gui/frame/mainform.h"

#include "frame/settings.h"
#include "frame/startup.h"
#include "gui/frame/traycontrol.h"
#include "gui/link/debugform.h"
#include "gui/link/testconnect.h"
#include "link/commthread.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace telmira {
namespace {
const QString kCommon = QStringLiteral("Common");
} // namespace

void TMainForm::hideToTray() {
    if (state_.testConnectMode)
        return;
    if (state_.toolMode && isVisible() && !isMinimized())
        emit archiveSelectionClearRequested();
    state_.startHidden = true;
    if (TTrayControl::Available()) {
        tray_->Show();
        hide();
    } else {
        // No tray on this desktop: the window minimises and comes back from the taskbar.
        minimisedAsTray_ = true;
        showMinimized();
    }
}

void TMainForm::restoreFromTray() {
    tray_->Hide();
    minimisedAsTray_ = false;
    if (state_.toolMode) {
        if (isMinimized())
            showNormal();
        else
            show();
        raise();
        activateWindow();
        if (!state_.startupDone)
            runStartupOpening(QString());
    }
    if (newCallsWaiting_) {
        OpenTool(QStringLiteral("Archives"));
        SetNewCallsWaiting(false);
    }
    state_.startHidden = false;
}

void TMainForm::TrayClicked(TrayClick click) {
    if (state_.startHidden && trayClickRestores(click, state_.singleClickRestore))
        restoreFromTray();
}

void TMainForm::SetNewCallsWaiting(bool waiting) {
    newCallsWaiting_ = waiting;
    tray_->SetNewCalls(waiting);
}

void TMainForm::SetShowPopupWindow(bool show) {
    state_.showPopupWindow = show;
    ini_.WriteBool(kCommon, QStringLiteral("ShowPopupWindow"), show);
    popupCommand_->setChecked(show);
    tray_->PopupCommand()->setChecked(show);
}

void TMainForm::CloseApplication() {
    quitting_ = true;
    close();
    quitting_ = false;
}

Qt::KeyboardModifiers TMainForm::CloseModifiers() const {
    return QGuiApplication::queryKeyboardModifiers();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    // A second close while one runs is ignored.
    if (closing_) {
        event->ignore();
        return;
    }
    if (!quitting_) {
        const Qt::KeyboardModifiers held = CloseModifiers();
        switch (closeActionFor(state_.minimizeToTrayOnClose, state_.testConnectMode,
                               held.testFlag(Qt::ControlModifier),
                               held.testFlag(Qt::AltModifier))) {
        case CloseAction::HideToTrayWithoutPopups:
            SetShowPopupWindow(false);
            [[fallthrough]];
        case CloseAction::HideToTray:
            event->ignore();
            hideToTray();
            return;
        case CloseAction::Close:
            break;
        }
    }
    closing_ = true;
    const bool done = runCloseSequence();
    closing_ = false;
    if (!done) {
        event->ignore();
        return;
    }
    event->accept();
    emit closed();
}

// The close sequence: unsaved changes asked about, the link stopped, the tools closed with the
// active one remembered, the bounds written, the scratch folder emptied.
bool TMainForm::runCloseSequence() {
    for (const auto& query : closeQueries_) {
        if (!query()) {
            if (state_.startHidden)
                restoreFromTray();
            return false;
        }
    }
    for (const auto& tool : tools_) {
        if (tool && !tool->QueryClose()) {
            if (state_.startHidden)
                restoreFromTray();
            return false;
        }
    }

    if (thread_) {
        thread_->link().traceWindowOpen = false;
        thread_->StopLink();
    }
    pollTimer_->stop();

    if (activeTool_)
        ini_.WriteString(kCommon, QStringLiteral("LastTab"), activeTool_->ToolName());
    destroyAllTools();

    const QRect bounds = boundsToWrite();
    ini_.WriteInteger(kCommon, QStringLiteral("Left"), bounds.left());
    ini_.WriteInteger(kCommon, QStringLiteral("Top"), bounds.top());
    ini_.WriteInteger(kCommon, QStringLiteral("Width"), bounds.width());
    ini_.WriteInteger(kCommon, QStringLiteral("Height"), bounds.height());
    ini_.WriteInteger(kCommon, QStringLiteral("PopupLeft"), state_.popupLeft);
    ini_.WriteInteger(kCommon, QStringLiteral("PopupTop"), state_.popupTop);

    closed_ = true;
    emptyTempFolder();
    if (debugForm_) {
        debugForm_->disconnect(this);
        debugForm_->deleteLater();
        debugForm_ = nullptr;
        debugRoom_ = 0;
    }
    if (testConnectForm_) {
        testConnectForm_->disconnect(this);
        testConnectForm_->hide();
    }
    tray_->Hide();
    setCursorShape(0);
    return true;
}

// Every file of Media/Temp/ in the work directory goes.
void TMainForm::emptyTempFolder() {
    if (state_.workDir.isEmpty())
        return;
    QDir temp(state_.workDir + QStringLiteral("Media/Temp/"));
    if (!temp.exists())
        return;
    for (const QString& name : temp.entryList(QDir::Files | QDir::Hidden | QDir::System))
        temp.remove(name);
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        // Where no tray exists, restoring the minimised window from the taskbar is the restore.
        if (minimisedAsTray_ && !isMinimized() && isVisible())
            QTimer::singleShot(0, this, [this] {
                if (minimisedAsTray_ && !isMinimized())
                    restoreFromTray();
            });
    } else if (event->type() == QEvent::ActivationChange && isActiveWindow() && !isMaximized()) {
        // On activation the window moves and shrinks to fit the screen.
        const QScreen* display = screen();
        if (!display)
            return;
        const QRect frame = frameGeometry();
        const QRect fitted = fitToScreen(frame, display->availableGeometry());
        if (fitted != frame) {
            const QRect client = geometry();
            setGeometry(QRect(client.left() + fitted.left() - frame.left(),
                              client.top() + fitted.top() - frame.top(),
                              client.width() + fitted.width() - frame.width(),
                              client.height() + fitted.height() - frame.height()));
        }
    }
}

} // namespace telmira
