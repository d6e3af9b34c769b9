#pragma once

#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// `TForm12`, the debug window "Отладчик": the link's trace, the sixteen status flags, the
// idle-poll trace box, three rows that send any command to the phone and the queue clear. The
// link traces while it exists.
namespace telmira {

namespace link {
class LinkShared;
}

class TForm12 : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 259;
    static constexpr int kHeight = 703;
    static constexpr int kSendRows = 3;

    // `link` may be null (the application runs without a link). `owner` keeps the window.
    TForm12(link::LinkShared* link, QWidget* owner);
    ~TForm12() override;

    // The link whose status it shows and to which it sends (set when the link starts later).
    void SetLink(link::LinkShared* link);
    // A trace text of the link (event 1110).
    void Trace(const QString& text);
    // Sends row `row` (0-2) while the link is up.
    void Send(int row);
    // "ОчОч": the link empties its queue.
    void ClearQueue();

    QListWidget* TraceList() const { return trace_; }
    QCheckBox* PauseBox() const { return pause_; }
    QCheckBox* PingsBox() const { return pings_; }
    QLabel* StatusLabel(int status) const { return status == 0 ? status0_ : status1_; }
    // The flag box of bit `bit` (0-7) of Status0 (`status` 0) or Status1 (1).
    QCheckBox* FlagBox(int status, int bit) const { return flags_[status & 1][bit & 7]; }
    QLineEdit* CommandField(int row) const { return commands_[row]; }
    QLineEdit* ParametersField(int row) const { return parameters_[row]; }
    QPushButton* SendButton(int row) const { return sendButtons_[row]; }
    QPushButton* ClearQueueButton() const { return clearQueue_; }

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void markStatus(int changed);
    void showFlags();
    void addLine(const QString& text);

    link::LinkShared* link_;
    QListWidget* trace_ = nullptr;
    QCheckBox* pause_ = nullptr;
    QCheckBox* pings_ = nullptr;
    QLabel* status0_ = nullptr;
    QLabel* status1_ = nullptr;
    std::array<std::array<QCheckBox*, 8>, 2> flags_{};
    std::array<QLineEdit*, kSendRows> commands_{};
    std::array<QLineEdit*, kSendRows> parameters_{};
    std::array<QPushButton*, kSendRows> sendButtons_{};
    QPushButton* clearQueue_ = nullptr;
};

} // namespace telmira
