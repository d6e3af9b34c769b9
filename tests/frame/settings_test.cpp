#include "frame/settings.h"

#include "base/cp1251.h"
#include "tests/common/testpaths.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace telmira;
using telmira::test::readFile;
using telmira::test::TempDir;
using telmira::test::writeFile;

namespace {
std::string cp1251(const char* utf8) {
    return utf8ToCp1251(utf8);
}
QString path(const TempDir& dir, const char* name) {
    return QString::fromStdString((dir / name).string());
}
} // namespace

TEST(Settings, ReadsAFileWrittenByAnotherProgram) {
    TempDir dir;
    // Windows-1251, CR LF and LF mixed, blanks around names, a comment.
    writeFile(dir / "zel.ini", cp1251("[Common]\r\nCountryOrigin=Россия (7)\r\n ComPort = COM3 \n"
                                      "; comment\r\n[ProjectDefs]\r\n"
                                      "1=Name=Корвел 28 Талви, 2 языка; FileName=korv28v.def; "
                                      "Code=2;\r\n"));
    for (bool fileBacked : {true, false}) {
        std::unique_ptr<SettingsFile> ini;
        if (fileBacked)
            ini = std::make_unique<TMyIniFile>(path(dir, "zel.ini"));
        else
            ini = std::make_unique<TMyMemIniFile>(path(dir, "zel.ini"));
        EXPECT_EQ(ini->ReadString("common", "countryorigin", ""), QStringLiteral("Россия (7)"));
        EXPECT_EQ(ini->ReadString("COMMON", "ComPort", ""), "COM3");
        EXPECT_EQ(ini->ReadStringField("ProjectDefs", "1", "?", "FileName"), "korv28v.def");
        EXPECT_EQ(ini->ReadIntegerField("ProjectDefs", "1", -1, "Code"), 2);
        EXPECT_EQ(ini->ReadStringField("ProjectDefs", "9", "?", "FileName"), "?");
        EXPECT_EQ(ini->ReadSection("Common"),
                  (QStringList{QStringLiteral("CountryOrigin=Россия (7)"), "ComPort = COM3"}));
    }
}

TEST(Settings, IntegerAndBooleanReadingFallsBackToTheDefault) {
    TempDir dir;
    writeFile(dir / "a.ini", "[S]\r\nEmpty=\r\nText=abc\r\nTrue=true\r\nTwo=2\r\nZero=0\r\n");
    TMyMemIniFile ini(path(dir, "a.ini"));
    EXPECT_EQ(ini.ReadIntegerField("S", "Empty", 25), 25);
    EXPECT_EQ(ini.ReadIntegerField("S", "Text", 25), 25);
    EXPECT_EQ(ini.ReadIntegerField("S", "Two", 25), 2);
    EXPECT_TRUE(ini.ReadBoolField("S", "Empty", true));
    EXPECT_TRUE(ini.ReadBoolField("S", "True", false));
    EXPECT_TRUE(ini.ReadBoolField("S", "Two", false));
    EXPECT_FALSE(ini.ReadBoolField("S", "Zero", true));
    EXPECT_FALSE(ini.ReadBoolField("S", "Text", false));
    EXPECT_EQ(ini.ReadString("S", "Missing", "d"), "d");
    EXPECT_EQ(ini.ReadString("S", "Empty", "d"), ""); // present but empty is not missing
}

TEST(Settings, FileBackedWritesAreOnDiskAtOnceInWindows1251) {
    TempDir dir;
    TMyIniFile ini(path(dir, "zel.ini"));
    ASSERT_TRUE(ini.WriteBool("Common", "Debug", true));
    ASSERT_TRUE(ini.WriteString("Common", "CityOrigin", QStringLiteral("Москва (495)")));
    ASSERT_TRUE(ini.WriteInteger("Windows", "Left", -20));
    ASSERT_TRUE(ini.WriteBool("common", "DEBUG", false)); // same key, other spelling
    EXPECT_EQ(readFile(dir / "zel.ini"),
              cp1251("[Common]\r\nDebug=0\r\nCityOrigin=Москва (495)\r\n\r\n"
                     "[Windows]\r\nLeft=-20\r\n"));
}

TEST(Settings, FileBackedReadsSeeChangesMadeByOthers) {
    TempDir dir;
    TMyIniFile ini(path(dir, "zel.ini"));
    EXPECT_EQ(ini.ReadString("A", "B", "none"), "none");
    writeFile(dir / "zel.ini", "[A]\r\nB=from outside\r\n");
    EXPECT_EQ(ini.ReadString("A", "B", "none"), "from outside");
    ASSERT_TRUE(ini.WriteString("A", "C", "mine"));
    EXPECT_EQ(readFile(dir / "zel.ini"), "[A]\r\nB=from outside\r\nC=mine\r\n");
}

TEST(Settings, LongValuesComeBackWhole) {
    TempDir dir;
    TMyIniFile ini(path(dir, "zel.ini"));
    const QString longValue(5000, QChar(0x0416)); // Ж
    ASSERT_TRUE(ini.WriteString("S", "K", longValue));
    TMyIniFile again(path(dir, "zel.ini"));
    EXPECT_EQ(again.ReadString("S", "K", ""), longValue);
}

TEST(Settings, AFailedWriteKeepsTheFileAndSaysSo) {
    TempDir dir;
    TMyIniFile ini(path(dir, "missing-folder/zel.ini"));
    EXPECT_FALSE(ini.WriteString("S", "K", "v"));
    EXPECT_FALSE(ini.LastError().isEmpty());
}

TEST(Settings, LineBreaksInAValueCannotSplitTheFile) {
    TempDir dir;
    TMyIniFile ini(path(dir, "zel.ini"));
    ASSERT_TRUE(ini.WriteString("S", "K", "a\r\n[Evil]\r\nX=1"));
    EXPECT_FALSE(ini.SectionExists("Evil"));
    EXPECT_EQ(ini.ReadSectionNames(), QStringList{"S"});
}

TEST(Settings, MemoryBackedChangesWaitForUpdateFile) {
    TempDir dir;
    writeFile(dir / "p.zel", "[Main]\r\nVer=1\r\n[Layouts]\r\n0=Name=A; Keys=1;\r\n"
                             "1=Name=B; Keys=2;\r\n[Tail]\r\nX=1\r\n");
    TMyMemIniFile project(path(dir, "p.zel"));
    project.WriteString("Main", "Ver", "2");
    EXPECT_EQ(readFile(dir / "p.zel").substr(0, 15), "[Main]\r\nVer=1\r\n");

    EXPECT_EQ(project.UpdateSectionRecord("Layouts", "Name", " B ", "7", "Keys"), 1);
    EXPECT_EQ(project.ReadString("Layouts", "1", ""), "Name=B; Keys=7;");
    EXPECT_EQ(project.UpdateSectionRecord("Layouts", "Name", "C", "7", "Keys"), -1);

    project.ReplaceSection("Main", {"Ver=3", "Key=1"});
    ASSERT_TRUE(project.UpdateFile());
    EXPECT_EQ(readFile(dir / "p.zel"), "[Layouts]\r\n0=Name=A; Keys=1;\r\n1=Name=B; Keys=7;\r\n"
                                       "\r\n[Tail]\r\nX=1\r\n\r\n[Main]\r\nVer=3\r\nKey=1\r\n");
}

TEST(Settings, MissingFileReadsEmpty) {
    TempDir dir;
    TMyMemIniFile ini(path(dir, "none.ini"));
    EXPECT_TRUE(ini.ReadSectionNames().isEmpty());
    EXPECT_TRUE(ini.LastError().isEmpty());
    EXPECT_EQ(ini.ReadIntegerField("A", "B", 3), 3);
}
