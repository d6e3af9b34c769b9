#include "gui/frame/traycontrol.h"

#include "gui/frame/pictures.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace telmira {

TTrayControl::TTrayControl(QObject* parent) : QObject(parent) {
    menu_ = new QMenu;
    restore_ = menu_->addAction(QStringLiteral("Восстановить ZEL"));
    QFont bold = restore_->font();
    bold.setBold(true);
    restore_->setFont(bold);
    menu_->addSeparator();
    noteBook_ = menu_->addAction(QStringLiteral("Открыть записную книжку"));
    archive_ = menu_->addAction(QStringLiteral("Открыть общий архив звонков"));
    clearMarks_ = menu_->addAction(QStringLiteral("Снять выделение новых звонков"));
    menu_->addSeparator();
    popup_ = menu_->addAction(QStringLiteral("Открывать окно при звонке"));
    popup_->setCheckable(true);
    menu_->addSeparator();
    close_ = menu_->addAction(QStringLiteral("Закрыть Telmira"));

    icon_ = new QSystemTrayIcon(this);
    icon_->setContextMenu(menu_);
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    emit clicked(TrayClick::Single);
                else if (reason == QSystemTrayIcon::DoubleClick)
                    emit clicked(TrayClick::Double);
            });

    blink_ = new QTimer(this);
    blink_->setSingleShot(true);
    connect(blink_, &QTimer::timeout, this, &TTrayControl::blinkTick);
    refresh();
}

TTrayControl::~TTrayControl() {
    delete menu_;
}

bool TTrayControl::Available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayControl::Show() {
    shown_ = true;
    refresh();
    icon_->show();
}

void TTrayControl::Hide() {
    shown_ = false;
    icon_->hide();
}

void TTrayControl::SetConnected(bool connected) {
    connected_ = connected;
    refresh();
}

void TTrayControl::SetNewCalls(bool waiting) {
    if (waiting == blinking_)
        return;
    blinking_ = waiting;
    phase_ = 0;
    if (waiting)
        blink_->start(kTrayBlinkFrameMs);
    else
        blink_->stop();
    refresh();
}

QString TTrayControl::Tip() const {
    return trayTip(blinking_, connected_);
}

void TTrayControl::SetLostCallsOnly(bool lostOnly) {
    archive_->setText(lostOnly ? QStringLiteral("Открыть архив пропущенных звонков")
                               : QStringLiteral("Открыть общий архив звонков"));
}

// Four frames of 50 ms, then the first frame rests for three seconds.
void TTrayControl::blinkTick() {
    phase_ = (phase_ + 1) % 4;
    blink_->start(phase_ == 0 ? kTrayBlinkRestMs : kTrayBlinkFrameMs);
    refresh();
}

void TTrayControl::refresh() {
    frame_ = trayFrame(connected_, blinking_ ? phase_ : 0);
    icon_->setIcon(trayFrameIcon(frame_));
    QString tip = Tip();
    tip.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    icon_->setToolTip(tip);
}

} // namespace telmira
