// The main window itself: the tray and the close sequence, minimising, the recent projects and
// the window's bounds.
#include "frame/tooltable.h"
#include "frame/zelsettings.h"
#include "gui/frame/mainform.h"
#include "gui/frame/traycontrol.h"
#include "tests/common/windowfixture.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QScreen>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

namespace fs = std::filesystem;
using namespace telmira;
using namespace telmira::test;

namespace {

// A main window whose close sees the keyboard modifiers the test holds.
class TestForm : public TMainForm {
public:
    using TMainForm::TMainForm;
    Qt::KeyboardModifiers held = Qt::NoModifier;

protected:
    Qt::KeyboardModifiers CloseModifiers() const override { return held; }
};

class MainWindow : public ::testing::Test {
protected:
    std::unique_ptr<TestForm> makeForm(MainWindowServices services) {
        auto form = std::make_unique<TestForm>(work.state, *work.ini, std::move(services));
        closedSpy = std::make_unique<QSignalSpy>(form.get(), &TMainForm::closed);
        return form;
    }
    bool windowsKey(const char* name) {
        return work.ini->ReadBool("Windows", QString::fromLatin1(name), false);
    }

    // What the project module does when it records a project.
    void addRecent(TMainForm& form, const QString& path) {
        recordRecentProject(*work.ini, path);
        form.refreshRecentMenu();
    }

    WorkFolder work;
    std::unique_ptr<QSignalSpy> closedSpy;
};

TEST_F(MainWindow, CloseHidesToTheTrayUnlessCtrlIsHeld) {
    work.state.minimizeToTrayOnClose = true;
    auto form = makeForm({});
    form->runStartupOpening(QString());

    form->close();
    EXPECT_EQ(closedSpy->count(), 0);
    EXPECT_TRUE(work.state.startHidden);
    EXPECT_TRUE(work.state.showPopupWindow);
    EXPECT_TRUE(!form->isVisible() || form->isMinimized());
    form->restoreFromTray();
    EXPECT_FALSE(work.state.startHidden);

    // Alt: hidden, and the incoming-call window is switched off.
    form->held = Qt::AltModifier;
    form->close();
    EXPECT_EQ(closedSpy->count(), 0);
    EXPECT_TRUE(work.state.startHidden);
    EXPECT_FALSE(work.state.showPopupWindow);
    EXPECT_FALSE(work.ini->ReadBool("Common", "ShowPopupWindow", true));
    EXPECT_FALSE(findAction(*form, "ShowPopupWindowCommand")->isChecked());
    EXPECT_FALSE(trayOf(*form)->PopupCommand()->isChecked());
    form->restoreFromTray();

    // Ctrl: the application closes.
    form->held = Qt::ControlModifier | Qt::AltModifier;
    form->close();
    EXPECT_EQ(closedSpy->count(), 1);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainWindow, CloseWithoutCloseToTrayOrInTestConnectModeCloses) {
    for (const bool testConnect : {false, true}) {
        SCOPED_TRACE(testConnect);
        work.state.minimizeToTrayOnClose = testConnect;
        work.state.testConnectMode = testConnect;
        auto form = makeForm({});
        form->close();
        EXPECT_EQ(closedSpy->count(), 1);
        EXPECT_FALSE(work.state.startHidden);
        if (testConnect) {
            form->hideToTray(); // test-connect mode never hides in the tray
            EXPECT_FALSE(work.state.startHidden);
        }
    }
}

TEST_F(MainWindow, MinimisingHidesToTheTrayExceptInTestConnectMode) {
    for (const bool testConnect : {false, true}) {
        SCOPED_TRACE(testConnect);
        work.state.testConnectMode = testConnect;
        work.state.startHidden = false;
        auto form = makeForm({});
        form->runStartupOpening(QString());
        form->show();
        form->showMinimized();
        QCoreApplication::processEvents();
        EXPECT_EQ(work.state.startHidden, !testConnect);
        EXPECT_EQ(closedSpy->count(), 0);
        if (testConnect)
            continue;
        form->restoreFromTray();
        EXPECT_FALSE(work.state.startHidden);
        EXPECT_TRUE(form->isVisible());
        EXPECT_FALSE(form->isMinimized());
        QCoreApplication::processEvents();
        EXPECT_FALSE(work.state.startHidden); // coming back is no new minimise
    }
}

TEST_F(MainWindow, TrayClicksRestoreAsSingleClickRestoreSays) {
    for (const bool single : {true, false}) {
        SCOPED_TRACE(single);
        work.state.singleClickRestore = single;
        work.state.startupDone = false;
        auto form = makeForm({});
        form->hideToTray();
        ASSERT_TRUE(work.state.startHidden);
        form->TrayClicked(single ? TrayClick::Double : TrayClick::Single);
        EXPECT_TRUE(work.state.startHidden);
        form->TrayClicked(single ? TrayClick::Single : TrayClick::Double);
        EXPECT_FALSE(work.state.startHidden);
        // The first restore of a hidden start runs the start-up opening.
        EXPECT_TRUE(work.state.startupDone);
        EXPECT_TRUE(form->isVisible());
    }
}

TEST_F(MainWindow, RestoringWhileNewCallsBlinkOpensTheArchives) {
    auto form = makeForm(fakeToolServices({"Archives"}));
    form->runStartupOpening(QString());
    form->hideToTray();
    form->SetNewCallsWaiting(true);
    EXPECT_TRUE(trayOf(*form)->Blinking());
    EXPECT_TRUE(trayOf(*form)->Tip().contains("В архиве есть новые звонки"));
    form->restoreFromTray();
    EXPECT_NE(form->ToolTabs().Tool("Archives"), nullptr);
    EXPECT_EQ(form->ToolTabs().ActiveTool(), form->ToolTabs().Tool("Archives"));
    EXPECT_FALSE(trayOf(*form)->Blinking());
}

TEST_F(MainWindow, CloseSequenceWritesBoundsAndTheLastTabAndEmptiesTheScratchFolder) {
    fs::create_directories(work.dir / "Media/Temp");
    writeFile(work.dir / "Media/Temp/set.tcl", "x");
    writeFile(work.dir / "Media/Temp/.hidden", "x");
    work.state.minimizeToTrayOnClose = false;
    work.state.popupLeft = 33;
    auto form = makeForm(fakeToolServices({"Archives", "NoteBook"}));
    form->runStartupOpening(QString());
    form->ToolTabs().ToggleTool(kToolNoteBook, true);
    form->ToolTabs().ToggleTool(kToolArchives, true);
    form->setGeometry(60, 50, 700, 500);

    // A tool that keeps the application open cancels the close.
    fakeTool(*form, "Archives")->allowClose = false;
    form->close();
    EXPECT_EQ(closedSpy->count(), 0);
    EXPECT_NE(form->ToolTabs().Tool("Archives"), nullptr);
    fakeTool(*form, "Archives")->allowClose = true;

    form->CloseApplication();
    ASSERT_EQ(closedSpy->count(), 1);
    EXPECT_EQ(work.ini->ReadString("Common", "LastTab", ""), "Archives");
    EXPECT_EQ(work.ini->ReadInteger("Common", "Left", 0), 60);
    EXPECT_EQ(work.ini->ReadInteger("Common", "Top", 0), 50);
    EXPECT_EQ(work.ini->ReadInteger("Common", "Width", 0), 700);
    EXPECT_EQ(work.ini->ReadInteger("Common", "Height", 0), 500);
    EXPECT_EQ(work.ini->ReadInteger("Common", "PopupLeft", -1), 33);
    EXPECT_TRUE(windowsKey("Archives"));
    EXPECT_TRUE(windowsKey("NoteBook"));
    EXPECT_EQ(form->ToolTabs().Tool("Archives"), nullptr);
    EXPECT_TRUE(fs::is_empty(work.dir / "Media/Temp"));

    // The next start finds the same bounds, tools and tab.
    auto again = makeForm(fakeToolServices({"Archives", "NoteBook"}));
    again->runStartupOpening(QString());
    EXPECT_EQ(again->geometry(), QRect(60, 50, 700, 500));
    EXPECT_EQ(again->ToolTabs().ActiveTool(), again->ToolTabs().Tool("Archives"));
    EXPECT_NE(again->ToolTabs().Tool("NoteBook"), nullptr);
}

TEST_F(MainWindow, BoundsKeepTheMinimumSize) {
    work.writeIni("[Common]\r\nLeft=10\r\nTop=10\r\nWidth=100\r\nHeight=50\r\n");
    auto form = makeForm({});
    EXPECT_EQ(form->minimumSize(), QSize(500, 440));
    EXPECT_GE(form->width(), 500);
    EXPECT_GE(form->height(), 440);
}

// Damaged bounds in zel.ini: far off-screen, absurd or negative sizes, numbers at the ends of
// the integer range. The window comes up whole on the screen.
TEST_F(MainWindow, DamagedBoundsStillPutTheWindowOnTheScreen) {
    const char* const rows[] = {
        "Left=2147483647\r\nTop=2147483647\r\nWidth=2147483647\r\nHeight=2147483647",
        "Left=-2147483648\r\nTop=-2147483648\r\nWidth=-2147483648\r\nHeight=-1",
        "Left=$7FFFFFFF\r\nTop=-99999\r\nWidth=0\r\nHeight=$FFFFFFFF",
        "Left=100000\r\nTop=100000\r\nWidth=600\r\nHeight=500",
    };
    for (const char* row : rows) {
        work.writeIni(std::string("[Common]\r\n") + row + "\r\n");
        work.ini = std::make_unique<TMyIniFile>(work.path("zel.ini"));
        auto form = makeForm({});
        const QRect screen = form->screen()->availableGeometry();
        EXPECT_TRUE(screen.contains(form->geometry())) << row;
        EXPECT_GE(form->width(), 500) << row;
        EXPECT_GE(form->height(), 440) << row;
    }
}

TEST_F(MainWindow, RecentProjectsAppearOnceMostRecentFirst) {
    for (const char* name : {"a.zel", "b.zel", "c.zel"})
        writeFile(work.dir / name, "[Project]\r\n");
    auto form = makeForm({});
    QSignalSpy chosen(form.get(), &TMainForm::recentProjectChosen);
    addRecent(*form, work.path("a.zel"));
    addRecent(*form, work.path("b.zel"));
    addRecent(*form, work.path("a.zel"));
    addRecent(*form, work.path("missing.zel"));
    EXPECT_EQ(recentMenuEntries(*work.ini).mid(0, 4),
              (QStringList{QString(), work.path("a.zel"), work.path("b.zel"), QString()}));
    EXPECT_FALSE(work.ini->ValueExists("Recent", "0"));

    const QList<QAction*> commands = recentCommands(*form);
    ASSERT_EQ(commands.size(), 10);
    EXPECT_FALSE(commands[0]->isVisible()); // "0" went with the missing project
    EXPECT_TRUE(commands[1]->isVisible());
    EXPECT_TRUE(commands[2]->isVisible());
    EXPECT_FALSE(commands[3]->isVisible());
    commands[2]->trigger();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), work.path("b.zel"));
}

} // namespace
