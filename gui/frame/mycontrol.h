#pragma once

#include <QWidget>

class QTimer;

// `TMyControl`: the base of the application's own drawn controls (the keys of the layout
// editor, ...). It can flash: three times, a phase change every 150 ms.
namespace telmira {

class TMyControl : public QWidget {
    Q_OBJECT
public:
    // Without a flash timer the control never flashes.
    explicit TMyControl(QWidget* parent = nullptr, bool flashTimer = true);
    ~TMyControl() override;

    // Starts three flashes, or stops flashing.
    void SetFlashing(bool flashing);
    bool Flashing() const { return flashing_; }
    // The flash phase a derived control draws (true: the highlighted look).
    bool FlashPhase() const { return phase_; }
    int FlashCount() const { return counter_; }

    // Derived controls show a value and redraw themselves.
    virtual void SetCaption(int value) { (void)value; }
    virtual void Refresh() { update(); }

    static constexpr int kFlashIntervalMs = 150;
    static constexpr int kFlashes = 3;

private:
    void flashTick();

    QTimer* flashTimer_ = nullptr;
    bool flashing_ = false;
    bool phase_ = false;
    int counter_ = 0;
};

} // namespace telmira
