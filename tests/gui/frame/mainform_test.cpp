// The main window's side of the single-instance channel: event 1026 brings the application
// forward, asks for an existing project to be opened and finishes a hidden start.
#include "frame/settings.h"
#include "frame/singleinstance.h"
#include "frame/startup.h"
#include "gui/frame/mainform.h"
#include "tests/common/testpaths.h"
#include "tests/common/windowfixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>

namespace fs = std::filesystem;
using namespace telmira;
using telmira::test::TempDir;
using telmira::test::writeFile;

namespace {

bool ensureApplication() {
    telmira::test::ensureApplication<QApplication>();
    return true;
}

class MainFormArrival : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir / "Проект.ZEL", "[Project]\r\n");
        project = QString::fromStdString((dir / "Проект.ZEL").string());
        state.toolMode = true;
    }
    void arrive(const QByteArray& message) {
        QCoreApplication::postEvent(&form, new InstanceMessageEvent(message));
        QCoreApplication::sendPostedEvents(&form);
    }

    bool haveApplication = ensureApplication(); // before any widget
    TempDir dir;
    QString project;
    StartState state;
    TMyIniFile ini{QString::fromStdString((dir / "zel.ini").string())};
    TMainForm form{state, ini};
    QSignalSpy opened{&form, &TMainForm::projectOpenRequested};
};

TEST_F(MainFormArrival, ExistingProjectIsAskedToOpen) {
    form.runStartupOpening(QString());
    arrive(QFile::encodeName(project));
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).toString(), project);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), "Telmira");
}

TEST_F(MainFormArrival, SlashSOrAMissingProjectOnlyBringsForward) {
    form.runStartupOpening(QString());
    for (const QByteArray& message :
         {QByteArray("/s"), QFile::encodeName(project + ".missing.zel"), QByteArray()}) {
        arrive(message);
        EXPECT_EQ(opened.count(), 0) << message.toStdString();
        EXPECT_TRUE(form.isVisible());
    }
}

TEST_F(MainFormArrival, FinishesAHiddenStart) {
    form.hideToTray();
    EXPECT_TRUE(state.startHidden);
    EXPECT_FALSE(state.startupDone);
    arrive("/s");
    EXPECT_FALSE(state.startHidden);
    EXPECT_TRUE(state.startupDone);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized());
}

// Closed from the tray before it was ever shown: a hand-over that arrives before the loop ends
// neither brings the window back nor opens a project behind the written settings.
TEST_F(MainFormArrival, IsDroppedOnceTheWindowHasClosed) {
    form.hideToTray();
    form.CloseApplication();
    arrive(QFile::encodeName(project));
    EXPECT_EQ(opened.count(), 0);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(state.startupDone);
}

TEST_F(MainFormArrival, StartupOpeningHandsOnTheCommandLineProject) {
    form.runStartupOpening(project);
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).toString(), project);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(state.startupDone);
}

// The whole way in one process: a later start's message through the channel to the window.
TEST_F(MainFormArrival, ChannelMessageReachesTheWindow) {
    TempDir runtime;
    const QString path = QString::fromStdString((runtime / "channel").string());
    InstanceClaim claim = claimInstance(path, "unused");
    ASSERT_EQ(claim.outcome, InstanceClaim::Outcome::First) << claim.error.toStdString();
    claim.server->setReceiver(&form);
    InstanceClaim second = claimInstance(path, QFile::encodeName(project));
    ASSERT_EQ(second.outcome, InstanceClaim::Outcome::Second) << second.error.toStdString();
    QDeadlineTimer deadline(10000);
    while (opened.isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).toString(), project);
    EXPECT_TRUE(state.startupDone);
}

} // namespace
