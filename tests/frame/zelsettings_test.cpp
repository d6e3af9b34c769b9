// The keys of zel.ini the frame reads and writes: the start and run settings and the recent
// projects (the home area is tested with the city-code directory, the bounds and the tools'
// keys on the main window).
#include "base/cp1251.h"
#include "frame/settings.h"
#include "frame/startup.h"
#include "frame/zelsettings.h"
#include "tests/common/testpaths.h"

#include <gtest/gtest.h>

#include <QSet>

namespace fs = std::filesystem;
using namespace telmira;
using telmira::test::TempDir;
using telmira::test::writeFile;

namespace {

std::string cp1251(const char* utf8) {
    return utf8ToCp1251(utf8);
}

QString str(const fs::path& path) {
    return QString::fromStdString(path.string());
}

TEST(StartSettings, DefaultsOfAnEmptySettingsFile) {
    TempDir dir;
    TMyIniFile ini(str(dir / "zel.ini"));
    StartState state;
    state.toolMode = true; // overwritten by the reading
    readStartSettings(ini, state);
    readRunSettings(ini, state);
    EXPECT_FALSE(state.minimizeToTrayAtStartup);
    EXPECT_TRUE(state.singleClickRestore);
    EXPECT_FALSE(state.autoDial);
    EXPECT_EQ(state.autoDialLength, "");
    EXPECT_FALSE(state.toolMode); // Windows.Phone defaults to phone mode
    EXPECT_FALSE(state.testConnectMode);
    EXPECT_TRUE(state.showPopupWindow);
    EXPECT_FALSE(state.oldStylePopupWindow);
    EXPECT_FALSE(state.lostCallsIsNew);
    EXPECT_EQ(state.popupLeft, 0);
    EXPECT_EQ(state.popupTop, 0);
    EXPECT_EQ(state.countryOrigin, "");
    EXPECT_EQ(state.cityOrigin, "");
    EXPECT_TRUE(state.minimizeToTrayOnClose);
    EXPECT_FALSE(state.debug);
    EXPECT_EQ(state.comPort, ""); // no port named: automatic search
    EXPECT_TRUE(state.clockSynchronize);
    EXPECT_TRUE(state.modeSwitchable);
    EXPECT_EQ(state.melodyResolution, 25);
    EXPECT_FALSE(fs::exists(dir / "zel.ini")); // reading writes nothing
}

TEST(StartSettings, StoredValuesWin) {
    TempDir dir;
    writeFile(dir / "zel.ini",
              cp1251("[common]\r\nMinimizeToTrayAtStartup=1\r\nSingleClickRestore=0\r\n"
                     "AutoDial=True\r\nAutoDialLength=7\r\nTestConnectMode=1\r\n"
                     "ShowPopupWindow=0\r\nOldStylePopupWindow=1\r\nPopupLeft=-20\r\n"
                     "PopupTop=abc\r\nCountryOrigin=Украина (380)\r\n"
                     "CityOrigin=Киев (44)\r\nMinimizeToTrayOnClose=0\r\nDebug=1\r\n"
                     "ComPort=ttyUSB0\r\nClockSynchronize=false\r\n"
                     "ModeSwitchable=0\r\n[Windows]\r\nPhone=0\r\n"
                     "[Archives]\r\nLostCallsIsNew=1\r\n"
                     "[MelodyList]\r\nResolution=50\r\n"));
    TMyIniFile ini(str(dir / "zel.ini"));
    StartState state;
    readStartSettings(ini, state);
    readRunSettings(ini, state);
    EXPECT_TRUE(state.minimizeToTrayAtStartup);
    EXPECT_FALSE(state.singleClickRestore);
    EXPECT_TRUE(state.autoDial);
    EXPECT_EQ(state.autoDialLength, "7");
    EXPECT_TRUE(state.toolMode);
    EXPECT_TRUE(state.testConnectMode);
    EXPECT_FALSE(state.showPopupWindow);
    EXPECT_TRUE(state.oldStylePopupWindow);
    EXPECT_TRUE(state.lostCallsIsNew);
    EXPECT_EQ(state.popupLeft, -20);
    EXPECT_EQ(state.popupTop, 0); // not a number: the default
    EXPECT_EQ(state.countryOrigin, QStringLiteral("Украина (380)"));
    EXPECT_EQ(state.cityOrigin, QStringLiteral("Киев (44)"));
    EXPECT_FALSE(state.minimizeToTrayOnClose);
    EXPECT_TRUE(state.debug);
    EXPECT_EQ(state.comPort, "ttyUSB0");
    EXPECT_FALSE(state.clockSynchronize);
    EXPECT_FALSE(state.modeSwitchable);
    EXPECT_EQ(state.melodyResolution, 50);
    // A mode that may not be switched pins phone mode for the next start.
    EXPECT_TRUE(TMyIniFile(str(dir / "zel.ini")).ReadBool("Windows", "Phone", false));
}

TEST(RecentProjects, PathComesFirstOnceAndVanishedFilesGo) {
    TempDir dir;
    TMyIniFile ini(QString::fromStdString((dir / "zel.ini").string()));
    QSet<QString> files{"/p/a.zel", "/p/b.zel", "/p/c.zel"};
    const auto exists = [&](const QString& path) { return files.contains(path); };
    recordRecentProject(ini, "/p/a.zel", exists);
    recordRecentProject(ini, "/p/b.zel", exists);
    recordRecentProject(ini, "/p/c.zel", exists);
    EXPECT_EQ(recordRecentProject(ini, "/p/b.zel", exists),
              (QStringList{"/p/b.zel", "/p/c.zel", "/p/a.zel"}));
    files.remove("/p/c.zel");
    recordRecentProject(ini, "/p/a.zel", exists);
    EXPECT_EQ(ini.ReadSection("Recent"), (QStringList{"0=/p/a.zel", "1=/p/b.zel"}));
    EXPECT_EQ(recentMenuEntries(ini).mid(0, 3), (QStringList{"/p/a.zel", "/p/b.zel", ""}));
}

TEST(RecentProjects, OnlyTenOldEntriesAreKept) {
    TempDir dir;
    TMyIniFile ini(QString::fromStdString((dir / "zel.ini").string()));
    for (int i = 0; i < 12; ++i)
        ini.WriteString("Recent", QString::number(i), QString("/p/%1.zel").arg(i));
    const auto exists = [](const QString&) { return true; };
    const QStringList kept = recordRecentProject(ini, "/p/new.zel", exists);
    ASSERT_EQ(kept.size(), 11);
    EXPECT_EQ(kept.first(), "/p/new.zel");
    EXPECT_EQ(kept.last(), "/p/9.zel");
    EXPECT_EQ(recentMenuEntries(ini).size(), 10);
}

TEST(DialogSettings, WrittenValuesAreReadBackAtTheNextStart) {
    TempDir dir;
    TMyIniFile ini(str(dir / "zel.ini"));
    StartState written;
    written.comPort = "ttyUSB0";
    written.clockSynchronize = false;
    written.showPopupWindow = false;
    written.oldStylePopupWindow = true;
    written.minimizeToTrayAtStartup = true;
    written.minimizeToTrayOnClose = false;
    written.singleClickRestore = false;
    written.autoDial = true;
    written.autoDialLength = "7";
    written.lostCallsIsNew = true;
    writeDialogSettings(ini, written);
    EXPECT_EQ(readPortSetting(ini), "ttyUSB0");

    StartState read;
    readStartSettings(ini, read);
    readRunSettings(ini, read);
    EXPECT_EQ(read.comPort, "ttyUSB0");
    EXPECT_FALSE(read.clockSynchronize);
    EXPECT_FALSE(read.showPopupWindow);
    EXPECT_TRUE(read.oldStylePopupWindow);
    EXPECT_TRUE(read.minimizeToTrayAtStartup);
    EXPECT_FALSE(read.minimizeToTrayOnClose);
    EXPECT_FALSE(read.singleClickRestore);
    EXPECT_TRUE(read.autoDial);
    EXPECT_EQ(read.autoDialLength, "7");
    EXPECT_TRUE(read.lostCallsIsNew);
    // Booleans are stored as 1 and 0.
    EXPECT_EQ(ini.ReadString("Common", "AutoDial", ""), "1");
    EXPECT_EQ(ini.ReadString("Common", "ClockSynchronize", ""), "0");
}

} // namespace
