#include "gui/project/exportwindow.h"

#include "project/exportrunner.h"
#include "tests/common/application.h"
#include "tests/project/driverwork.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

using namespace telmira;
using namespace telmira::test;

// The text widgets make Qt load the system font configuration, whose library keeps its caches
// until the process ends; the leak checker is told so, for that library only.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {} // namespace

TEST(ExportWindow, ShowsTheReportWhileTheWindowThreadRuns) {
    telmira::test::ensureApplication<QApplication>();
    Work w;
    w.compiler("sleep 1; exit 0");
    auto* runner = new ExportRunner(w.job());
    // Not shown: the offscreen platform would only load fonts for nothing.
    QPointer<TExportWindow> window = new TExportWindow(runner);
    EXPECT_FALSE(window->OkButton()->isEnabled());
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    QSignalSpy finished(runner, &ExportRunner::finished);
    runner->Start();
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_TRUE(finished.at(0).at(0).toBool());
    // The window thread went on while the compiler ran for a second.
    EXPECT_GT(ticks, 10);
    const QString text = window->Memo()->toPlainText();
    EXPECT_TRUE(text.contains("Компилирование набора мелодий..")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("- Экспорт проекта завершен\n"));
    EXPECT_TRUE(window->OkButton()->isEnabled());
    EXPECT_FALSE(window->CancelButton()->isEnabled());
    window->OkButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull()); // closed and gone
    delete runner;
}

TEST(ExportWindow, CancelClosesTheWindowAndStopsTheRun) {
    telmira::test::ensureApplication<QApplication>();
    Work w;
    auto* runner = new ExportRunner(w.job());
    QPointer<TExportWindow> window = new TExportWindow(runner);
    QSignalSpy finished(runner, &ExportRunner::finished);
    window->CancelButton()->click();
    runner->Start();
    EXPECT_TRUE(runner->IsCancelled());
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_FALSE(finished.at(0).at(0).toBool());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    // Cancelled before the image was read: nothing ran.
    EXPECT_EQ(readFile(w.rom), w.original);
    EXPECT_TRUE(runner->Lines().isEmpty());
    delete runner;
}
