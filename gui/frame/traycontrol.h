#pragma once

#include "frame/windowrules.h"

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;

// The tray icon of the main window: shown while the application hides in the tray, with frames
// for the connected and the disconnected state, a blink while new calls wait, its tip and its
// menu. Where the desktop has no tray the main window minimises instead (TMainForm decides).
namespace telmira {

class TTrayControl : public QObject {
    Q_OBJECT
public:
    explicit TTrayControl(QObject* parent = nullptr);
    ~TTrayControl() override;

    // Whether the desktop shows tray icons.
    static bool Available();

    void Show();
    void Hide();
    bool IsShown() const { return shown_; }

    void SetConnected(bool connected);
    // Blinks while new calls wait.
    void SetNewCalls(bool waiting);
    bool Blinking() const { return blinking_; }
    int Frame() const { return frame_; }
    QString Tip() const;

    // The tray menu: "Восстановить ZEL", "Открыть записную книжку", "Открыть общий архив
    // звонков" (or the missed-call archive), "Снять выделение новых звонков", "Открывать окно при
    // звонке", "Закрыть Telmira".
    QMenu* Menu() const { return menu_; }
    QAction* RestoreCommand() const { return restore_; }
    QAction* NoteBookCommand() const { return noteBook_; }
    QAction* ArchiveCommand() const { return archive_; }
    QAction* ClearMarksCommand() const { return clearMarks_; }
    QAction* PopupCommand() const { return popup_; }
    QAction* CloseCommand() const { return close_; }
    // The archive command's caption follows Archives.LostCallsIsNew.
    void SetLostCallsOnly(bool lostOnly);

signals:
    void clicked(TrayClick click);

private:
    void blinkTick();
    void refresh();

    QSystemTrayIcon* icon_ = nullptr;
    QMenu* menu_ = nullptr;
    QTimer* blink_ = nullptr;
    QAction* restore_ = nullptr;
    QAction* noteBook_ = nullptr;
    QAction* archive_ = nullptr;
    QAction* clearMarks_ = nullptr;
    QAction* popup_ = nullptr;
    QAction* close_ = nullptr;
    bool shown_ = false;
    bool connected_ = false;
    bool blinking_ = false;
    int frame_ = 4;
    int phase_ = 0;
};

} // namespace telmira
