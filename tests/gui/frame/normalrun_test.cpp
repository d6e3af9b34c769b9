// The normal run end to end against the phone simulator on a pseudo-terminal: the connection
// test names the phone and the port; the main window shows an incoming call in the last-number
// label and the debug trace; the real zel closes on SIGTERM with its close sequence.
#include "frame/settings.h"
#include "gui/frame/mainform.h"
#include "gui/frame/normalrun.h"
#include "gui/link/debugform.h"
#include "gui/link/testconnect.h"
#include "tests/common/simprocess.h"
#include "tests/common/windowfixture.h"
#include "tests/common/zelprocess.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QTest>
#include <QToolButton>

namespace fs = std::filesystem;
using namespace telmira;
using namespace telmira::test;
using telmira::link::test::Simulator;

namespace {

QString str(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// A copy of the work directory whose zel.ini names the simulator's terminal as the port.
class SimulatedPhone : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication<QApplication>();
        ASSERT_TRUE(phone.started());
        TMyIniFile ini(str(work / "zel.ini"));
        ini.WriteString("Common", "ComPort", phone.path());
        ini.WriteBool("Windows", "Phone", false);
        ini.WriteBool("Common", "MinimizeToTrayOnClose", false);
    }
    QString workDir() const { return str(work.dir()) + "/"; }

    Simulator phone{{"--model", "2"}};
    WorkCopy work;
};

TEST_F(SimulatedPhone, ConnectionTestNamesThePhoneAndThePort) {
    TMyIniFile(str(work / "zel.ini")).WriteBool("Common", "TestConnectMode", true);
    NormalRun run(workDir(), {}, {});
    run.Start(nullptr);
    TForm15* test = run.MainForm()->findChild<TForm15*>("TestConnectForm");
    ASSERT_NE(test, nullptr);
    EXPECT_TRUE(test->isVisible());
    EXPECT_FALSE(run.MainForm()->isVisible());
    const QString connected =
        "Связь с телефоном Корвел 28 Талви, 2 языка\n установлена через " + phone.path();
    EXPECT_TRUE(QTest::qWaitFor([&] { return test->LinkLine()->text() == connected; }, 20000))
        << test->LinkLine()->text().toStdString();
    EXPECT_TRUE(test->MelodyButton()->property("highlighted").toBool());
    run.MainForm()->CloseApplication();
}

TEST_F(SimulatedPhone, IncomingCallShowsInTheLabelAndTheDebugTrace) {
    TMyIniFile(str(work / "zel.ini")).WriteBool("Common", "Debug", true);
    NormalRun run(workDir(), {}, {});
    run.Start(nullptr);
    TMainForm& form = *run.MainForm();
    ASSERT_TRUE(form.isVisible());
    ASSERT_NE(form.DebugForm(), nullptr);
    form.resize(760, form.height());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return form.LinkBridge().LinkHint().endsWith("установлена через " + phone.path() + "|");
        },
        20000))
        << form.LinkBridge().LinkHint().toStdString();

    EXPECT_TRUE(phone.order("ring 4951234567").startsWith("OK"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return form.findChild<QLabel*>("LastNumberLabel")->text() ==
                   "Последний номер: 4951234567";
        },
        20000))
        << form.findChild<QLabel*>("LastNumberLabel")->text().toStdString();
    QListWidget* trace = form.DebugForm()->TraceList();
    bool traced = false;
    for (int i = 0; i < trace->count() && !traced; ++i)
        traced = trace->item(i)->text().contains("04 09 05 01 02 03 04 05 06 07");
    QStringList lines;
    for (int i = 0; i < trace->count(); ++i)
        lines << trace->item(i)->text();
    EXPECT_TRUE(traced) << lines.join("\n").toStdString();
    form.CloseApplication();
}

// The real program: started on the simulator, closed by SIGTERM like at the end of a session.
TEST_F(SimulatedPhone, ZelClosesOnSignalWithItsCloseSequence) {
    fs::create_directories(work / "Media/Temp");
    writeFile(work / "Media/Temp/song.tcl", "scratch");
    ZelEnvironment environment;
    QProcess zel;
    zel.setProcessEnvironment(environment.processEnvironment());
    zel.setWorkingDirectory(str(work.dir()));
    zel.setStandardOutputFile(QProcess::nullDevice());
    zel.start(str(work / "zel"), {});
    ASSERT_TRUE(zel.waitForStarted(10000));

    // The link comes up: the probe, then the clock (command 3A).
    QDeadlineTimer deadline(30000);
    bool clockSet = false;
    while (!clockSet && !deadline.hasExpired() && zel.state() == QProcess::Running) {
        for (const QString& line : phone.commands())
            clockSet = clockSet || line.startsWith("CMD 3A");
        QTest::qWait(50);
    }
    EXPECT_TRUE(clockSet) << zel.readAllStandardError().toStdString();

    zel.terminate();
    ASSERT_TRUE(zel.waitForFinished(30000));
    EXPECT_EQ(zel.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(zel.exitCode(), 0);
    const TMyIniFile ini(str(work / "zel.ini"));
    EXPECT_GE(ini.ReadInteger("Common", "Width", 0), 500);
    EXPECT_TRUE(ini.ValueExists("Common", "Left"));
    EXPECT_TRUE(fs::is_empty(work / "Media/Temp"));
}

} // namespace
