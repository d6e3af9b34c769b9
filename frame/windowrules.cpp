#include "frame/windowrules.h"

#include <algorithm>

namespace telmira {

CloseAction closeActionFor(bool minimizeToTrayOnClose, bool testConnectMode, bool ctrlHeld,
                           bool altHeld) {
    if (!minimizeToTrayOnClose || testConnectMode || ctrlHeld)
        return CloseAction::Close;
    return altHeld ? CloseAction::HideToTrayWithoutPopups : CloseAction::HideToTray;
}

int trayFrame(bool connected, int phase) {
    return (connected ? 0 : 4) + (phase & 3);
}

QString trayTip(bool newCallsWaiting, bool connected) {
    QString tip = QStringLiteral("Telmira");
    if (newCallsWaiting)
        tip += QStringLiteral("\rВ архиве есть новые звонки");
    tip += QStringLiteral("\rСвязь") +
           (connected ? QStringLiteral(" установлена") : QStringLiteral(" отсутствует"));
    // The tip once held 64 bytes with its terminating zero.
    return tip.left(63);
}

bool trayClickRestores(TrayClick click, bool singleClickRestore) {
    return singleClickRestore ? click == TrayClick::Single : click == TrayClick::Double;
}

QRect fitToScreen(const QRect& window, const QRect& screen) {
    if (!screen.isValid())
        return window;
    QRect r = window;
    r.setWidth(std::min(r.width(), screen.width()));
    r.setHeight(std::min(r.height(), screen.height()));
    if (r.left() < screen.left())
        r.moveLeft(screen.left());
    if (r.right() > screen.right())
        r.moveRight(screen.right());
    if (r.bottom() > screen.bottom())
        r.moveBottom(screen.bottom());
    if (r.top() < screen.top())
        r.moveTop(screen.top());
    return r;
}

QString shortHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.left(bar);
}

} // namespace telmira
