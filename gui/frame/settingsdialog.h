#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;

// The settings dialog "Настройки программы": the link's port and clock setting, the windows and
// calls settings, and the home country and city with the dialling prefixes. OK checks the
// entries, writes every key to zel.ini, takes the new values into the running settings and
// hands a changed port to the link.
namespace telmira {

class SettingsFile;
struct StartState;
namespace link {
class TCommThread;
}
namespace contacts {
class TCodeDirectory;
}

class TSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // `link` may be null (no link). `codes` is the application's city-code directory: the
    // country and city lists show it as it is now, the city-code editor's changes included.
    // `firstTabOnly` shows only the link's tab (the connection test opens it so).
    TSettingsDialog(SettingsFile& ini, StartState& state, link::TCommThread* link,
                    const contacts::TCodeDirectory& codes, bool firstTabOnly,
                    QWidget* parent = nullptr);
    ~TSettingsDialog() override;

    // OK: when the entries pass the checks they are written and the dialog closes; otherwise
    // a message says what is wrong and the dialog stays.
    void accept() override;
    // The text of the last refused OK (empty when none).
    const QString& Problem() const { return problem_; }

    QTabWidget* Tabs() const { return tabs_; }
    QComboBox* Ports() const { return ports_; }
    QCheckBox* ClockSynchronize() const { return clock_; }
    QCheckBox* ShowPopup() const { return popup_; }
    QCheckBox* OldStylePopup() const { return oldStyle_; }
    QCheckBox* StartInTray() const { return startInTray_; }
    QCheckBox* CloseToTray() const { return closeToTray_; }
    QCheckBox* SingleClickRestore() const { return singleClick_; }
    QCheckBox* LostCallsAreNew() const { return lostCalls_; }
    QCheckBox* AutoDial() const { return autoDial_; }
    QLineEdit* AutoDialLength() const { return autoDialLength_; }
    QLabel* AutoDialLengthLabel() const { return autoDialLengthLabel_; }
    QComboBox* Country() const { return country_; }
    QComboBox* City() const { return city_; }
    QLineEdit* LongDistance() const { return longDistance_; }
    QLineEdit* International() const { return international_; }
    QLineEdit* LocalCodes() const { return localCodes_; }

    // A country chosen in the list (or typed): its cities, its prefixes, an empty city.
    void countryChosen(const QString& text);
    // A city chosen or typed: the replacement code of a renumbered city, its local codes.
    void cityChosen(const QString& text);

private:
    QWidget* linkPage();
    QWidget* windowsPage();
    QWidget* originPage();
    void fill();
    bool check();
    void apply();

    SettingsFile& ini_;
    StartState& state_;
    link::TCommThread* link_;
    const contacts::TCodeDirectory& codes_;
    QString problem_;

    QTabWidget* tabs_ = nullptr;
    QComboBox* ports_ = nullptr;
    QCheckBox* clock_ = nullptr;
    QCheckBox* popup_ = nullptr;
    QCheckBox* oldStyle_ = nullptr;
    QCheckBox* startInTray_ = nullptr;
    QCheckBox* closeToTray_ = nullptr;
    QCheckBox* singleClick_ = nullptr;
    QCheckBox* lostCalls_ = nullptr;
    QCheckBox* autoDial_ = nullptr;
    QLineEdit* autoDialLength_ = nullptr;
    QLabel* autoDialLengthLabel_ = nullptr;
    QComboBox* country_ = nullptr;
    QComboBox* city_ = nullptr;
    QLineEdit* longDistance_ = nullptr;
    QLineEdit* international_ = nullptr;
    QLineEdit* localCodes_ = nullptr;
};

} // namespace telmira
