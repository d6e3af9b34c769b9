#include "gui/frame/zelstart.h"

#include "frame/singleinstance.h"
#include "frame/workdir.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <memory>

namespace telmira {
namespace {

enum class StartKind { Batch, DatabaseSetup, Upgrade, DriverSetup, Normal };

StartKind startKindFor(const QString& firstArgument) {
    const QString first = firstArgument.toLower();
    if (first == QStringLiteral("-bdesetup"))
        return StartKind::DatabaseSetup;
    if (first == QStringLiteral("-upgrade"))
        return StartKind::Upgrade;
    if (first == QStringLiteral("-pl2install"))
        return StartKind::DriverSetup;
    if (first == QStringLiteral("-zelpack") || first == QStringLiteral("-?") ||
        first == QStringLiteral("/?"))
        return StartKind::Batch;
    return StartKind::Normal;
}

// A display the windows can go to: a platform chosen by hand, or an X11 or Wayland session.
bool displayAvailable() {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void printLine(const QString& text) {
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

// A message for the user: always on standard error, and in a message box when windows go to a
// real screen (never on the offscreen or minimal platforms, so headless runs do not wait).
void showMessage(const QString& caption, const QString& text, QMessageBox::Icon icon) {
    printLine(text);
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    const QString platform = QGuiApplication::platformName();
    if (platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal"))
        return;
    QMessageBox box(icon, caption, QString(text).replace(QStringLiteral("\r\n"), "\n"),
                    QMessageBox::Ok);
    box.exec();
}

int notInThisBuild(const QString& option) {
    printLine(QStringLiteral("zel: ключ %1 недоступен в этой сборке").arg(option));
    return 1;
}

int normalRun(const QString& workDir, const QStringList& arguments, InstanceServer& channel,
              const ZelHooks& hooks) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        printLine(QStringLiteral("zel: нет экрана для окон (не заданы DISPLAY, WAYLAND_DISPLAY "
                                 "и QT_QPA_PLATFORM)"));
        return 1;
    }
    MainWindowServices window = hooks.window;
    if (hooks.prepareWindow)
        hooks.prepareWindow(workDir, window);
    NormalRun run(workDir, arguments, std::move(window), hooks.openDataModule);
    run.Start(&channel);
    return run.Exec();
}

} // namespace

int zelMain(int argc, char** argv, const ZelHooks& hooks) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StartKind kind = startKindFor(arguments.value(0));

    // Windows are needed for the normal run and the driver note; the rest runs without them.
    std::unique_ptr<QCoreApplication> app;
    if ((kind == StartKind::Normal || kind == StartKind::DriverSetup) && displayAvailable())
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);

    QString error;
    const std::optional<QString> channelPath = instanceChannelPath(&error);
    if (!channelPath) {
        printLine(QStringLiteral("zel: ") + error);
        return 1;
    }
    InstanceClaim claim = claimInstance(*channelPath, secondInstanceMessage(arguments));
    if (claim.outcome == InstanceClaim::Outcome::Second)
        return 0;
    if (claim.outcome == InstanceClaim::Outcome::Failed) {
        printLine(QStringLiteral("zel: ") + claim.error);
        return 1;
    }

    const QString workDir =
        findWorkDirectory(QCoreApplication::applicationDirPath(), storedWorkDirSetting());
    if (workDir.isEmpty()) {
        showMessage(QStringLiteral(" Ошибка"), workDirectoryNotFoundMessage(),
                    QMessageBox::Critical);
        return 0;
    }

    switch (kind) {
    case StartKind::DatabaseSetup:
        return notInThisBuild(QStringLiteral("-bdesetup"));
    case StartKind::Upgrade:
        return notInThisBuild(QStringLiteral("-upgrade"));
    case StartKind::DriverSetup:
        showMessage(QStringLiteral("Telmira"),
                    QStringLiteral("Драйверы последовательных портов Linux принимают скорость "
                                   "1000 бод без настройки: изменять ничего не нужно."),
                    QMessageBox::Information);
        return 0;
    case StartKind::Batch: {
        QStringList batch = arguments;
        batch[0] = batch[0].toLower();
        const BatchOutcome outcome = runBatch(batch, hooks.romExport);
        if (!outcome.error.isEmpty())
            printLine(QStringLiteral("zel: ") + outcome.error);
        return outcome.exitCode;
    }
    case StartKind::Normal:
        break;
    }
    return normalRun(workDir, arguments, *claim.server, hooks);
}

} // namespace telmira
