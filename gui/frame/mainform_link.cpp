// The main window's side of the phone link: the events the link thread posts (replies, trace,
// link state, errors, cursor), the reply dispatch's requests, the last number, and the debug,
// connection-test and settings windows.
#include "gui/frame/mainform.h"

#include "frame/debugtrace.h"
#include "frame/settings.h"
#include "frame/startup.h"
#include "frame/tooltable.h"
#include "gui/frame/pictures.h"
#include "gui/frame/settingsdialog.h"
#include "gui/frame/traycontrol.h"
#include "gui/link/debugform.h"
#include "gui/link/testconnect.h"
#include "link/catalogue.h"
#include "link/commthread.h"
#include "link/linkevents.h"
#include "link/numberdisplay.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

namespace telmira {

void TMainForm::AttachLink(std::unique_ptr<link::TCommThread> thread) {
    thread_ = std::move(thread);
    if (!thread_)
        return;
    link::DispatchHost& host = *this;
    dispatcher_ =
        std::make_unique<link::ReplyDispatcher>(thread_->link(), host, broadcaster_.get());
    thread_->link().traceWindowOpen = static_cast<bool>(debugForm_);
    if (debugForm_)
        debugForm_->SetLink(&thread_->link());
    pollTimer_->start();
    linkStateChanged();
}

link::LinkShared* TMainForm::Link() const {
    return thread_ ? &thread_->link() : nullptr;
}

bool TMainForm::Connected() const {
    return thread_ && thread_->link().connected.load();
}

bool TMainForm::handleLinkEvent(QEvent* event) {
    switch (static_cast<int>(event->type())) {
    case link::kReplyEvent:
        if (dispatcher_)
            dispatcher_->Dispatch(static_cast<link::ReplyEvent*>(event)->buffer());
        return true;
    case link::kTraceEvent:
        processDebugMessage(static_cast<link::TextEvent*>(event)->text());
        return true;
    case link::kLinkStateEvent:
        linkStateChanged();
        return true;
    case link::kErrorEvent:
        ShowError(static_cast<link::TextEvent*>(event)->text());
        return true;
    case link::kCursorEvent:
        setCursorShape(static_cast<link::CursorEvent*>(event)->cursor());
        return true;
    default:
        return false;
    }
}

// The poll timer wakes the link: every 100 ms, every second while the phone is in a call.
void TMainForm::pollTick() {
    if (!thread_)
        return;
    thread_->Wake();
    pollTimer_->setInterval(thread_->PollInterval());
}

void TMainForm::prepareForSleep(bool sleeping) {
    if (!thread_)
        return;
    if (sleeping) {
        pollTimer_->stop();
        thread_->link().linkDownRequest = true;
    } else if (!closing_ && !closed_) {
        pollTimer_->start();
    }
}

// Event 1111: the link came up or was lost.
void TMainForm::linkStateChanged() {
    const bool connected = Connected();
    const link::LinkShared* shared = Link();
    const QString phone =
        shared ? link::PhoneNameForModel(ini_.ReadSection(QStringLiteral("ProjectDefs")),
                                         shared->modelCode.load())
               : QString();
    const QString port = shared ? shared->PortName() : QString();
    linkHint_ = link::LinkStateHint(connected, phone, port);
    connectionButton_->setEnabled(connected);
    connectionButton_->setToolTip(shortHint(linkHint_));
    if (!connected && thread_)
        thread_->link().answeringMachine = false;
    tray_->SetConnected(connected);
    if (state_.testConnectMode && testConnectForm_)
        testConnectForm_->SetLinkState(connected,
                                       link::TestConnectLinkText(connected, phone, port));
    if (QAction* phoneSetup = ToolCommand(kToolPhoneSetup))
        phoneSetup->setEnabled(connected && ToolAvailable(kToolPhoneSetup));
    for (const auto& tool : tools_)
        if (tool)
            tool->LinkStateChanged(connected);
}

void TMainForm::showConnectionHint() {
    QString text = shortHint(linkHint_);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Telmira"), text,
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// Event 1110: trace text for the connection test and the debug window.
void TMainForm::processDebugMessage(const QString& text) {
    if (state_.testConnectMode && testConnectForm_ && traceKind(text) == TraceKind::Line)
        testConnectForm_->Trace(text);
    if (debugForm_)
        debugForm_->Trace(text);
}

// Event 1113 (the link gave up on a command) and other errors of the normal run. While a box is
// open further errors join it (each text once, the latest ten), so a failing link never piles
// up boxes.
void TMainForm::ShowError(const QString& text) {
    const QString shown = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (errorBox_ && errorBox_->isVisible()) {
        if (!errorTexts_.contains(shown)) {
            errorTexts_ << shown;
            while (errorTexts_.size() > kErrorBoxTexts)
                errorTexts_.removeFirst();
            errorBox_->setText(errorTexts_.join(QStringLiteral("\n\n")));
        }
        return;
    }
    errorTexts_ = {shown};
    auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral(" Ошибка"), shown,
                                QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("LinkErrorBox"));
    box->addButton(QStringLiteral("Закрыть"), QMessageBox::AcceptRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    errorBox_ = box;
}

// Event 1120: 0 the default cursor, 5 the busy cursor.
void TMainForm::setCursorShape(int cursor) {
    if (cursor == 5) {
        if (!QApplication::overrideCursor())
            QApplication::setOverrideCursor(Qt::BusyCursor);
        return;
    }
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

// --- the reply dispatch's requests ---

ReplyAddressee* TMainForm::openTool(int name) {
    const ToolInfo* info = toolByReplyName(name);
    return info ? Tool(info->index) : nullptr;
}

ReplyAddressee* TMainForm::archiveHandler() {
    return archiveHandler_.get();
}

void TMainForm::clearActiveLayoutMatrix() {
    if (TMyTabControl* layouts = Tool(kToolMatrix))
        layouts->PrepareReply(link::kReadKeyMatrix);
}

void TMainForm::dayChanged() {
    if (TMyTabControl* archives = Tool(kToolArchives))
        archives->DayChanged();
}

void TMainForm::openAlarmForm(const QByteArray& buffer) {
    emit alarmReceived(buffer);
}

void TMainForm::rereadVariables() {
    if (TMyTabControl* settings = Tool(kToolPhoneSetup))
        settings->PhoneVariablesChanged();
}

void TMainForm::clearAnsweringMachineList() {
    emit answeringMachineListClearRequested();
}

void TMainForm::clearNewCallMarks() {
    emit newCallMarksClearRequested();
    SetNewCallsWaiting(false);
}

// Events 60 and 61 taken by the dispatch (and already broadcast): the last-number label and
// button, then the phone book and the caller window.
void TMainForm::showNumber(const link::NumberEvent& event) {
    link::NumberParts parts{{}, {}, event.number, {}};
    if (services_.numbers.split)
        parts = services_.numbers.split(event.number, false, state_.home);
    const QString shown = event.number.trimmed().isEmpty()
                              ? QString()
                              : eventNumberText(parts, services_.numbers.formatByMask);
    const LastNumberDisplay display = lastNumberDisplay(shown, event.dialled);
    lastNumber_ = event.number.trimmed();
    lastNumberLabel_->setText(display.label);
    lastNumberShown_ = true;
    updateLastNumberLabel();
    lastNumberButton_->setToolTip(shortHint(display.hint));
    lastNumberButton_->setIcon(
        buttonIcon(event.dialled ? ButtonPicture::LastDialled : ButtonPicture::LastIncoming));
    lastNumberButton_->setProperty("tag", display.tag);
    lastNumberAction_->setVisible(true);
    if (services_.numbers.shown)
        services_.numbers.shown(*this, event, shown);
}

void TMainForm::updateLastNumberLabel() {
    lastNumberLabelAction_->setVisible(lastNumberShown_ && width() >= kLastNumberLabelMinWidth);
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    updateLastNumberLabel();
}

// The last-number button dials the number through the phone (name 8).
void TMainForm::dialLastNumber() {
    link::LinkShared* shared = Link();
    if (!shared || lastNumber_.isEmpty())
        return;
    const HomeArea& home = state_.home;
    const link::DialSettings settings{home.countryCode, home.cityCode, home.international,
                                      home.longDistance};
    link::NumberSplitter split;
    if (services_.numbers.split)
        split = [this](const QString& number) {
            return services_.numbers.split(number, true, state_.home);
        };
    link::DialNumber(*shared, lastNumber_, link::kNameNoAddressee, settings, split);
}

// --- service windows ---

TForm12* TMainForm::DebugForm() const {
    return debugForm_.data();
}

TForm15* TMainForm::TestConnectForm() const {
    return testConnectForm_.data();
}

void TMainForm::ShowDebugWindow(bool on) {
    if (debugForm_) {
        debugForm_->disconnect(this);
        delete debugForm_.data();
        debugFormClosed();
    }
    if (!on)
        return;
    debugForm_ = new TForm12(Link(), this);
    connect(debugForm_, &TForm12::closed, this, [this] {
        if (debugForm_)
            debugForm_->deleteLater();
        debugForm_ = nullptr;
        debugFormClosed();
    });
    if (link::LinkShared* shared = Link())
        shared->traceWindowOpen = true;
    // The debug window stands left of the main window; where the screen has no room for it
    // there, the main window gives it the room at its left edge.
    const QRect bounds = geometry();
    const QRect frame = frameGeometry();
    const QScreen* display = screen();
    const int spare = display ? frame.left() - display->availableGeometry().left() : 0;
    if (spare >= TForm12::kWidth) {
        debugRoom_ = 0;
        debugForm_->move(frame.left() - TForm12::kWidth - (frame.width() - bounds.width()),
                         bounds.top());
    } else {
        debugRoom_ = std::clamp(bounds.width() - minimumWidth(), 0, TForm12::kWidth);
        setGeometry(bounds.adjusted(debugRoom_, 0, 0, 0));
        debugForm_->move(bounds.left(), bounds.top());
    }
    debugForm_->show();
    if (isVisible())
        activateWindow();
}

// The debug window went: the link stops tracing and the main window takes its room back.
void TMainForm::debugFormClosed() {
    if (link::LinkShared* shared = Link())
        shared->traceWindowOpen = false;
    if (debugRoom_ > 0 && !closed_)
        setGeometry(geometry().adjusted(-debugRoom_, 0, 0, 0));
    debugRoom_ = 0;
}

void TMainForm::ShowTestConnect() {
    if (!testConnectForm_) {
        testConnectForm_ = new TForm15(*this);
        connect(testConnectForm_, &TForm15::closeRequested, this, &TMainForm::CloseApplication);
    }
    testConnectForm_->show();
    linkStateChanged();
}

void TMainForm::ShowSettingsDialog(bool firstTabOnly) {
    QWidget* owner = testConnectForm_ && testConnectForm_->isVisible()
                         ? static_cast<QWidget*>(testConnectForm_)
                         : static_cast<QWidget*>(this);
    TSettingsDialog dialog(ini_, state_, thread_.get(), *services_.codes, firstTabOnly, owner);
    if (dialog.exec() != QDialog::Accepted)
        return;
    popupCommand_->setChecked(state_.showPopupWindow);
    tray_->PopupCommand()->setChecked(state_.showPopupWindow);
    tray_->SetLostCallsOnly(state_.lostCallsIsNew);
}

} // namespace telmira
