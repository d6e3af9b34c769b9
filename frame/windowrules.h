#pragma once

#include <QRect>
#include <QString>

// Rules of the main window's frame that need no widgets: what closing does, the tray icon's
// frames, tip and clicks, and fitting the window to the screen.
namespace telmira {

enum class CloseAction {
    Close,                   // the application ends
    HideToTray,              // the window goes to the tray
    HideToTrayWithoutPopups, // as HideToTray, and the incoming-call window is switched off
};

// Closing the main window: with close-to-tray on it hides to the tray unless Ctrl is held; Alt
// held while it hides also switches the incoming-call window off. In test-connect mode closing
// always closes.
CloseAction closeActionFor(bool minimizeToTrayOnClose, bool testConnectMode, bool ctrlHeld,
                           bool altHeld);

// The tray icon's frame: 0-3 while connected, 4-7 otherwise; `phase` is the blink phase 0-3.
int trayFrame(bool connected, int phase);

// The blink of the tray icon while new calls wait: four frames of 50 ms, then a rest of 3 s.
inline constexpr int kTrayBlinkFrameMs = 50;
inline constexpr int kTrayBlinkRestMs = 3000;

// The tray tip: "Telmira" (with "\rВ архиве есть новые звонки" while new calls wait) and
// "\rСвязь установлена" or "\rСвязь отсутствует", cut to 63 characters.
QString trayTip(bool newCallsWaiting, bool connected);

enum class TrayClick { Single, Double };
// A single click restores when Common.SingleClickRestore is on, a double click when it is off.
bool trayClickRestores(TrayClick click, bool singleClickRestore);

// The window moved and shrunk to fit the screen's available area: width within the screen,
// left not beyond its left edge, bottom within it, top not above it.
QRect fitToScreen(const QRect& window, const QRect& screen);

// The last-number label shows only while the main window is wider than this.
inline constexpr int kLastNumberLabelMinWidth = 710;

// The short hint of a "short|long" hint text (all of it when there is no "|").
QString shortHint(const QString& hint);

} // namespace telmira
