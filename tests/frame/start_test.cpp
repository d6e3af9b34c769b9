// The rules of a normal start: work directory, home country and city, and
// whether the application starts visible.
#include "frame/settings.h"
#include "frame/startup.h"
#include "frame/workdir.h"
#include "tests/common/testpaths.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace telmira;
using telmira::test::TempDir;
using telmira::test::writeFile;

namespace {

QString str(const fs::path& path) {
    return QString::fromStdString(path.string());
}

TEST(WorkDirectory, ExecutableFolderFirstThenTheStoredSetting) {
    TempDir root;
    const fs::path install = root / "install", bare = root / "bare", folder = root / "folder";
    fs::create_directories(install);
    fs::create_directories(bare);
    fs::create_directories(folder / "zel"); // a folder named zel is not the program
    writeFile(install / "zel", "");
    struct Case {
        const char* name;
        QString exeDir;
        QString stored;
        QString expected;
    };
    const Case cases[] = {
        {"program beside", str(install), str(bare), str(install) + "/"},
        {"program beside, slash given", str(install) + "/", "", str(install) + "/"},
        {"stored setting", str(bare), str(install), str(install) + "/"},
        {"stored setting used as stored", str(bare), str(install) + "/", str(install) + "//"},
        {"stored folder lacks the program", str(bare), str(folder), ""},
        {"blank setting", str(bare), "   ", ""},
        {"no setting", str(folder), "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(findWorkDirectory(c.exeDir, c.stored), c.expected) << c.name;
}

TEST(StartSettings, MainWindowShowsAtCreationOnlyInPlainToolMode) {
    struct Case {
        bool toolMode, minimizeToTray, testConnect, shown;
    };
    const Case cases[] = {{true, false, false, true},
                          {false, false, false, false},
                          {true, true, false, false},
                          {true, false, true, false}};
    for (const Case& c : cases) {
        StartState state;
        state.toolMode = c.toolMode;
        state.minimizeToTrayAtStartup = c.minimizeToTray;
        state.testConnectMode = c.testConnect;
        EXPECT_EQ(showMainWindowAtCreation(state), c.shown)
            << c.toolMode << c.minimizeToTray << c.testConnect;
    }
}

TEST(HomeArea, NameAndCodeSplit) {
    struct Case {
        QString text, name, code;
    };
    const Case cases[] = {
        {"Россия (7)", "Россия", "7"},
        {"  Украина  ( 380 ) ", "Украина", "380"},
        {"Москва", "Москва", ""},
        {"(495)", "", "495"},
        {"Санкт-Петербург (812", "Санкт-Петербург", "812"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        const NameAndCode split = splitNameAndCode(c.text);
        EXPECT_EQ(split.name, c.name) << c.text.toStdString();
        EXPECT_EQ(split.code, c.code) << c.text.toStdString();
    }
}

TEST(HomeArea, CountryCityPrefixesAndLengths) {
    // CountryCodes lines as a settings file gives them: key, "=", record.
    const QStringList countries = {
        "1=Code=7; RusName=Россия; LocalCodes=; LongDistance=8; International=810; Length=10;",
        "2=Code=380;RusName=Украина;LongDistance=0;International=00;Length=9;Length1=9;",
        "3=Code=49;RusName=Германия;Length=6;Length1=11;",
        "4=Code=999;RusName=Нетландия;Length=abc;",
    };
    struct Case {
        const char* name;
        QString country, city, longDistance, international, localCodes;
        HomeArea expected;
    };
    const Case cases[] = {
        {"no country: Russia, prefixes of the row with code 7",
         "",
         "",
         "1",
         "2",
         "3",
         {"Россия", "7", "Москва", "495", "8", "810", "", 10, 0}},
        {"stored country and prefixes",
         "Украина (380)",
         "Киев (44)",
         "0",
         "00",
         "44,45",
         {"Украина", "380", "Киев", "44", "0", "00", "44,45", 9, 9}},
        {"lengths match the name in any letter case",
         "германия (49)",
         "  ",
         "",
         "",
         "",
         {"германия", "49", "Москва", "495", "", "", "", 6, 11}},
        {"unknown country",
         "Атлантида (0)",
         "Посейдония (1)",
         "",
         "",
         "",
         {"Атлантида", "0", "Посейдония", "1", "", "", "", 0, 0}},
        {"length that is no number",
         "Нетландия (999)",
         "",
         "",
         "",
         "",
         {"Нетландия", "999", "Москва", "495", "", "", "", 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HomeArea home = homeAreaFrom(c.country, c.city, c.longDistance, c.international,
                                           c.localCodes, countries);
        EXPECT_EQ(home.countryName, c.expected.countryName);
        EXPECT_EQ(home.countryCode, c.expected.countryCode);
        EXPECT_EQ(home.cityName, c.expected.cityName);
        EXPECT_EQ(home.cityCode, c.expected.cityCode);
        EXPECT_EQ(home.longDistance, c.expected.longDistance);
        EXPECT_EQ(home.international, c.expected.international);
        EXPECT_EQ(home.localCodes, c.expected.localCodes);
        EXPECT_EQ(home.length, c.expected.length);
        EXPECT_EQ(home.length1, c.expected.length1);
    }
    // Without a country list there are no prefixes and no lengths.
    const HomeArea bare = homeAreaFrom("", "", "", "", "", {});
    EXPECT_EQ(bare.longDistance, "");
    EXPECT_EQ(bare.length, 0);
}

TEST(StartHidden, TrayStartUnlessStartedOnAnExistingProject) {
    TempDir dir;
    writeFile(dir / "p.zel", "");
    writeFile(dir / "P2.ZeL", "");
    writeFile(dir / "image.rom", "");
    fs::create_directory(dir / "folder.zel");
    struct Case {
        bool minimizeToTray;
        QString argument;
        bool hidden;
    };
    const Case cases[] = {
        {false, "", false},
        {false, str(dir / "missing.zel"), false},
        {true, "", true},
        {true, str(dir / "p.zel"), false},
        {true, str(dir / "P2.ZeL"), false},
        {true, str(dir / "missing.zel"), true},
        {true, str(dir / "image.rom"), true},
        {true, str(dir / "folder.zel"), true},
        {true, "-zelpack", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(startsHidden(c.minimizeToTray, c.argument), c.hidden)
            << c.minimizeToTray << " " << c.argument.toStdString();
}

} // namespace
