#include "gui/frame/linkbridge.h"

#include "frame/startup.h"
#include "frame/tooltable.h"
#include "frame/windowrules.h"
#include "frame/zelsettings.h"
#include "gui/frame/mainform.h"
#include "gui/frame/pictures.h"
#include "gui/frame/tooltabmanager.h"
#include "link/broadcast.h"
#include "link/catalogue.h"
#include "link/commthread.h"
#include "link/linkevents.h"
#include "link/numberdisplay.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace telmira {

TLinkBridge::TLinkBridge(TMainForm& form, SettingsFile& ini, StartState& state,
                         TToolTabManager& tools, const MainWindowServices& services, QToolBar& bar)
    : form_(form), ini_(ini), state_(state), tools_(tools), numbers_(services.numbers) {
    buildToolbar(bar);
    pollTimer_ = new QTimer(this);
    pollTimer_->setObjectName(QStringLiteral("PollTimer"));
    pollTimer_->setInterval(100);
    connect(pollTimer_, &QTimer::timeout, this, &TLinkBridge::pollTick);
    broadcaster_ = std::make_unique<link::DBusNumberBroadcaster>();
    if (services.archiveHandler) {
        ToolContext context{form_, ini_, state_, nullptr};
        archiveHandler_ = services.archiveHandler(context);
    }
    form_.installEventFilter(this);
}

TLinkBridge::~TLinkBridge() {
    form_.removeEventFilter(this);
    if (thread_)
        thread_->StopLink();
}

void TLinkBridge::buildToolbar(QToolBar& bar) {
    lastNumberLabel_ = new QLabel;
    lastNumberLabel_->setObjectName(QStringLiteral("LastNumberLabel"));
    QFont bold = lastNumberLabel_->font();
    bold.setBold(true);
    lastNumberLabel_->setFont(bold);
    lastNumberLabel_->setContentsMargins(0, 0, 6, 0);
    // Widgets on a toolbar show and hide through their actions.
    lastNumberLabelAction_ = bar.addWidget(lastNumberLabel_);
    lastNumberLabelAction_->setVisible(false);

    lastNumberButton_ = new QToolButton;
    lastNumberButton_->setObjectName(QStringLiteral("LastNumberButton"));
    lastNumberButton_->setIcon(buttonIcon(ButtonPicture::LastIncoming));
    connect(lastNumberButton_, &QToolButton::clicked, this, &TLinkBridge::dialLastNumber);
    lastNumberAction_ = bar.addWidget(lastNumberButton_);
    lastNumberAction_->setVisible(false);

    connectionButton_ = new QToolButton;
    connectionButton_->setObjectName(QStringLiteral("ConnectionButton"));
    connectionButton_->setIcon(buttonIcon(ButtonPicture::Connection));
    connect(connectionButton_, &QToolButton::clicked, this, &TLinkBridge::showConnectionHint);
    bar.addWidget(connectionButton_);
}

void TLinkBridge::AttachLink(std::unique_ptr<link::TCommThread> thread) {
    thread_ = std::move(thread);
    tools_.SetLink(Link());
    if (!thread_)
        return;
    link::DispatchHost& host = *this;
    dispatcher_ =
        std::make_unique<link::ReplyDispatcher>(thread_->link(), host, broadcaster_.get());
    pollTimer_->start();
    updateLinkState();
}

link::LinkShared* TLinkBridge::Link() const {
    return thread_ ? &thread_->link() : nullptr;
}

bool TLinkBridge::Connected() const {
    return thread_ && thread_->link().connected.load();
}

bool TLinkBridge::HandleEvent(QEvent* event) {
    switch (static_cast<int>(event->type())) {
    case link::kReplyEvent:
        if (dispatcher_)
            dispatcher_->Dispatch(static_cast<link::ReplyEvent*>(event)->buffer());
        return true;
    case link::kTraceEvent:
        emit traceReceived(static_cast<link::TextEvent*>(event)->text());
        return true;
    case link::kLinkStateEvent:
        updateLinkState();
        return true;
    case link::kErrorEvent:
        ShowError(static_cast<link::TextEvent*>(event)->text());
        return true;
    case link::kCursorEvent:
        SetCursorShape(static_cast<link::CursorEvent*>(event)->cursor());
        return true;
    default:
        return false;
    }
}

// The poll timer wakes the link: every 100 ms, every second while the phone is in a call.
void TLinkBridge::pollTick() {
    if (!thread_)
        return;
    thread_->Wake();
    pollTimer_->setInterval(thread_->PollInterval());
}

void TLinkBridge::StopLink() {
    if (thread_) {
        thread_->link().traceWindowOpen = false;
        thread_->StopLink();
    }
    pollTimer_->stop();
}

void TLinkBridge::Suspend(bool sleeping, bool mayResume) {
    if (!thread_)
        return;
    if (sleeping) {
        pollTimer_->stop();
        thread_->link().linkDownRequest = true;
    } else if (mayResume) {
        pollTimer_->start();
    }
}

void TLinkBridge::RefreshLinkState() {
    updateLinkState();
}

// Event 1111: the link came up or was lost.
void TLinkBridge::updateLinkState() {
    const bool connected = Connected();
    const link::LinkShared* shared = Link();
    const QString phone =
        shared ? link::PhoneNameForModel(readPhoneDescriptions(ini_), shared->modelCode.load())
               : QString();
    const QString port = shared ? shared->PortName() : QString();
    linkHint_ = link::LinkStateHint(connected, phone, port);
    connectionButton_->setEnabled(connected);
    connectionButton_->setToolTip(shortHint(linkHint_));
    if (!connected && thread_)
        thread_->link().answeringMachine = false;
    tools_.LinkStateChanged(connected);
    emit linkStateChanged(connected, phone, port);
}

void TLinkBridge::showConnectionHint() {
    QString text = shortHint(linkHint_);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Telmira"), text,
                                QMessageBox::Ok, &form_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// Event 1113 (the link gave up on a command) and other errors of the normal run. While a box is
// open further errors join it (each text once, the latest ten), so a failing link never piles
// up boxes.
void TLinkBridge::ShowError(const QString& text) {
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
                                QMessageBox::NoButton, &form_);
    box->setObjectName(QStringLiteral("LinkErrorBox"));
    box->addButton(QStringLiteral("Закрыть"), QMessageBox::AcceptRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    errorBox_ = box;
}

// Event 1120: 0 the default cursor, 5 the busy cursor.
void TLinkBridge::SetCursorShape(int cursor) {
    if (cursor == 5) {
        if (!QApplication::overrideCursor())
            QApplication::setOverrideCursor(Qt::BusyCursor);
        return;
    }
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

// --- the reply dispatch's requests ---

ReplyAddressee* TLinkBridge::openTool(int name) {
    const ToolInfo* info = toolByReplyName(name);
    return info ? tools_.Tool(info->index) : nullptr;
}

ReplyAddressee* TLinkBridge::archiveHandler() {
    return archiveHandler_.get();
}

void TLinkBridge::clearActiveLayoutMatrix() {
    if (TMyTabControl* layouts = tools_.Tool(kToolMatrix))
        layouts->PrepareReply(link::kReadKeyMatrix);
}

void TLinkBridge::dayChanged() {
    if (TMyTabControl* archives = tools_.Tool(kToolArchives))
        archives->DayChanged();
}

void TLinkBridge::openAlarmForm(const QByteArray& buffer) {
    emit alarmReceived(buffer);
}

void TLinkBridge::rereadVariables() {
    if (TMyTabControl* settings = tools_.Tool(kToolPhoneSetup))
        settings->PhoneVariablesChanged();
}

void TLinkBridge::clearAnsweringMachineList() {
    emit answeringMachineListClearRequested();
}

void TLinkBridge::clearNewCallMarks() {
    emit newCallMarksClearRequested();
}

// Events 60 and 61 taken by the dispatch (and already broadcast): the last-number label and
// button, then the phone book and the caller window.
void TLinkBridge::showNumber(const link::NumberEvent& event) {
    link::NumberParts parts{{}, {}, event.number, {}};
    if (numbers_.split)
        parts = numbers_.split(event.number, false, state_.home);
    const QString shown = eventNumberText(parts, numbers_.formatByMask);
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
    if (numbers_.shown)
        numbers_.shown(form_, event, shown);
}

// The label needs room: a narrow window shows the button alone.
void TLinkBridge::updateLastNumberLabel() {
    lastNumberLabelAction_->setVisible(lastNumberShown_ &&
                                       form_.width() >= kLastNumberLabelMinWidth);
}

bool TLinkBridge::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &form_ && event->type() == QEvent::Resize)
        updateLastNumberLabel();
    return QObject::eventFilter(watched, event);
}

// The last-number button dials the number through the phone (name 8).
void TLinkBridge::dialLastNumber() {
    link::LinkShared* shared = Link();
    if (!shared || lastNumber_.isEmpty())
        return;
    const HomeArea& home = state_.home;
    const link::DialSettings settings{home.countryCode, home.cityCode, home.international,
                                      home.longDistance};
    link::NumberSplitter split;
    if (numbers_.split)
        split = [this](const QString& number) { return numbers_.split(number, true, state_.home); };
    link::DialNumber(*shared, lastNumber_, link::kNameNoAddressee, settings, split);
}

} // namespace telmira
