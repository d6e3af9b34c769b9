#include "gui/frame/mycontrol.h"

#include <QTimer>

namespace telmira {

TMyControl::TMyControl(QWidget* parent, bool flashTimer) : QWidget(parent) {
    if (flashTimer) {
        flashTimer_ = new QTimer(this);
        flashTimer_->setInterval(kFlashIntervalMs);
        connect(flashTimer_, &QTimer::timeout, this, &TMyControl::flashTick);
    }
}

TMyControl::~TMyControl() = default;

void TMyControl::SetFlashing(bool flashing) {
    if (!flashTimer_)
        return;
    flashing_ = flashing;
    counter_ = flashing ? kFlashes : 0;
    phase_ = false;
    if (flashing)
        flashTimer_->start();
    else
        flashTimer_->stop();
    Refresh();
}

// Each tick toggles the phase; a flash is over when the phase turns back.
void TMyControl::flashTick() {
    phase_ = !phase_;
    if (!phase_ && --counter_ <= 0) {
        counter_ = 0;
        flashTimer_->stop();
        flashing_ = false;
    }
    Refresh();
}

} // namespace telmira
