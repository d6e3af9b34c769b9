// settingsshot: shows the settings dialog "Настройки программы" as zel fills it for a work
// directory (its zel.ini and codes.voc, read only), on the page asked for, until the time is
// up. The screenshot script (shoot.sh) takes its picture.
//   settingsshot WORK_DIR [PAGE [SECONDS]]
#include "contacts/codedirectory.h"
#include "frame/settings.h"
#include "frame/startup.h"
#include "frame/zelsettings.h"
#include "gui/frame/settingsdialog.h"

#include <QApplication>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

using namespace telmira;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        std::fprintf(stderr, "usage: settingsshot WORK_DIR [PAGE [SECONDS]]\n");
        return 1;
    }
    const QString workDir = arguments[0] + QStringLiteral("/");
    const int page = arguments.value(1, QStringLiteral("0")).toInt();
    const int seconds = arguments.value(2, QStringLiteral("30")).toInt();

    // A memory copy of zel.ini: nothing is written back.
    TMyMemIniFile ini(workDir + QStringLiteral("zel.ini"));
    StartState state;
    state.workDir = workDir;
    readStartSettings(ini, state);
    readRunSettings(ini, state);
    const contacts::TCodeDirectory codes(workDir + QStringLiteral("codes.voc"));
    state.home = readHomeArea(ini, codes.CountryList());

    TSettingsDialog dialog(ini, state, nullptr, codes, false);
    dialog.Tabs()->setCurrentIndex(page);
    dialog.move(40, 40);
    dialog.show();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    return app.exec();
}
