#pragma once

#include <QMainWindow>

class QLabel;
class QToolButton;

// `TForm15`, the connection-test window "Проверка связи Корвел Коннект": the whole face of the
// application in test-connect mode. It tells whether a phone answers, on which port and as
// which phone, shows the port search's progress, and can make the phone play a melody.
namespace telmira {

class TMainForm;

class TForm15 : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kWidth = 513;
    static constexpr int kHeight = 178;

    explicit TForm15(TMainForm& mainForm);
    ~TForm15() override;

    // The link came up (`text` names the phone and the port) or was lost.
    void SetLinkState(bool connected, const QString& text);
    // A trace line: the port being tried and the handle obtained.
    void Trace(const QString& text);
    // The melody button: on plays a melody, off stops it (only while the link is up).
    void ToggleMelody();

    QLabel* LinkLine() const { return linkLine_; }
    QLabel* ProgressLines() const { return progress_; }
    QToolButton* MelodyButton() const { return melody_; }
    bool MelodyOn() const { return melodyOn_; }

signals:
    // "Закрыть Коннект тестер" or the window's close: the application ends.
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TMainForm& mainForm_;
    QLabel* linkLine_ = nullptr;
    QLabel* progress_ = nullptr;
    QToolButton* melody_ = nullptr;
    QString progressText_;
    bool connected_ = false;
    bool melodyOn_ = false;
};

} // namespace telmira
