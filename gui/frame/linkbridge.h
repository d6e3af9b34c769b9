#pragma once

#include "gui/frame/mainwindowservices.h"
#include "link/dispatch.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class QAction;
class QEvent;
class QLabel;
class QMessageBox;
class QTimer;
class QToolBar;
class QToolButton;

// The main window's side of the phone link: it takes the events the link thread posts (replies,
// trace, link state, errors, cursor), dispatches the replies to the tools and the archive
// handler, wakes the link with the poll timer, keeps the link state and its hint, the
// last-number label and button (and dials that number), the error box, the busy cursor and the
// broadcast of every number.
namespace telmira {

class SettingsFile;
class TMainForm;
class TToolTabManager;
struct StartState;
namespace link {
class TCommThread;
class ReplyDispatcher;
} // namespace link

class TLinkBridge : public QObject, private link::DispatchHost {
    Q_OBJECT
public:
    // Puts the last-number label and button and the connection button at the end of `bar`.
    // The window (`form`) is the parent of the boxes and is watched for its width.
    TLinkBridge(TMainForm& form, SettingsFile& ini, StartState& state, TToolTabManager& tools,
                const MainWindowServices& services, QToolBar& bar);
    ~TLinkBridge() override;

    // Takes the started link thread: its replies are dispatched here and the poll timer wakes
    // it. Without a link the application runs with the connection shown as absent.
    void AttachLink(std::unique_ptr<link::TCommThread> thread);
    link::TCommThread* LinkThread() const { return thread_.get(); }
    link::LinkShared* Link() const;
    bool Connected() const;

    // One of the link's events (1109-1120): handled, true; any other event: false.
    bool HandleEvent(QEvent* event);
    // The close sequence: the link stops tracing and stops, the poll timer stops.
    void StopLink();
    // Suspend (the poll timer stops and the link is declared lost) and resume (it starts again,
    // when `mayResume`).
    void Suspend(bool sleeping, bool mayResume);

    // The link state's hint ("...|"), shown by the connection button.
    const QString& LinkHint() const { return linkHint_; }
    const QString& LastNumber() const { return lastNumber_; }
    // The error dialog " Ошибка" (not modal: the window goes on working behind it). Errors that
    // arrive while it is open join it.
    void ShowError(const QString& text);
    // 0 the default cursor, 5 the busy cursor.
    void SetCursorShape(int cursor);
    // Rereads the link state (after a window that follows it opened).
    void RefreshLinkState();

signals:
    // The link came up or was lost; `phone` names the connected model, `port` its port.
    void linkStateChanged(bool connected, const QString& phone, const QString& port);
    // Trace text for the debug and connection-test windows.
    void traceReceived(const QString& text);
    // The phone reported an alarm (event 59) for the alarm module.
    void alarmReceived(const QByteArray& buffer);
    // The new-call marks of the archive are to be cleared.
    void newCallMarksClearRequested();
    // The archive's answering-machine message list is to be emptied.
    void answeringMachineListClearRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // DispatchHost
    ReplyAddressee* openTool(int name) override;
    ReplyAddressee* archiveHandler() override;
    void clearActiveLayoutMatrix() override;
    void dayChanged() override;
    void openAlarmForm(const QByteArray& buffer) override;
    void showNumber(const link::NumberEvent& event) override;
    void rereadVariables() override;
    void clearAnsweringMachineList() override;
    void clearNewCallMarks() override;

    void buildToolbar(QToolBar& bar);
    void pollTick();
    void updateLinkState();
    void dialLastNumber();
    void showConnectionHint();
    void updateLastNumberLabel();

    TMainForm& form_;
    SettingsFile& ini_;
    StartState& state_;
    TToolTabManager& tools_;
    NumberServices numbers_;
    std::unique_ptr<link::TCommThread> thread_;
    std::unique_ptr<link::ReplyDispatcher> dispatcher_;
    std::unique_ptr<link::NumberBroadcaster> broadcaster_;
    std::unique_ptr<ReplyAddressee> archiveHandler_;
    QTimer* pollTimer_ = nullptr;

    // The open error box and the texts it shows.
    static constexpr int kErrorBoxTexts = 10;
    QPointer<QMessageBox> errorBox_;
    QStringList errorTexts_;

    QAction* lastNumberAction_ = nullptr;
    QAction* lastNumberLabelAction_ = nullptr;
    QLabel* lastNumberLabel_ = nullptr;
    QToolButton* lastNumberButton_ = nullptr;
    QToolButton* connectionButton_ = nullptr;
    QString lastNumber_;
    QString linkHint_;
    bool lastNumberShown_ = false;
};

} // namespace telmira
