#pragma once

#include <QMainWindow>
#include <QString>

// The main window: the application's main form and its face in tool mode. This build holds the
// frame only; menus, tool tabs, the tray icon and the phone panel join it with their modules.
namespace telmira {

struct StartState;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // `state` is the process-wide start state; it outlives the window.
    explicit TMainForm(StartState& state, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The start-up opening of windows, run once: in tool mode the window shows; a project named
    // on the command line (`project`, empty when none) is brought forward and asked to open.
    void runStartupOpening(const QString& project);

    // Starts as a tray icon. Until the tray icon exists the window shows minimised, as it does
    // on desktops without a tray.
    void hideToTray();

    // Brings the application back from a hidden start.
    void restoreFromTray();

signals:
    // A project file was handed over (by the command line or a second instance) to be opened.
    void projectOpenRequested(const QString& path);

protected:
    bool event(QEvent* event) override;

private:
    void secondInstanceArrived(const QByteArray& message);
    void bringToFront();

    StartState& state_;
};

} // namespace telmira
