#include "frame/settings.h"

#include "base/cp1251.h"
#include "tests/common/testpaths.h"

#include <gtest/gtest.h>

#include <QFile>

#include <filesystem>
#include <functional>

#include <sys/wait.h>
#include <unistd.h>

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

// Runs `body` without the right to read files of others: directly for an ordinary user, in a
// child process that drops root's rights otherwise. `body` returns 0 when all went as expected,
// else the number of the first failed step. Returns that number, or -1 when rights cannot be
// dropped.
int withoutReadRights(const TempDir& dir, const std::function<int()>& body) {
    if (geteuid() != 0)
        return body();
    std::filesystem::permissions(dir.dir(), std::filesystem::perms::all);
    const pid_t child = fork();
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0)
            _exit(100);
        _exit(body());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return 99;
    return WEXITSTATUS(status) == 100 ? -1 : WEXITSTATUS(status);
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

// A file that exists but cannot be read is reported and never written over; a folder in place
// of the file covers the same path for any user.
TEST(Settings, AnUnreadableFileIsReportedAndNeverWrittenOver) {
    TempDir dir;
    std::filesystem::create_directories(dir / "zel.ini" / "inside");
    TMyIniFile ini(path(dir, "zel.ini"));
    EXPECT_EQ(ini.ReadString("Common", "ComPort", "auto"), "auto");
    EXPECT_TRUE(ini.LastError().contains("cannot read")) << ini.LastError().toStdString();
    EXPECT_FALSE(ini.WriteString("Common", "ComPort", "COM3"));
    EXPECT_TRUE(ini.LastError().contains("cannot be read")) << ini.LastError().toStdString();
    EXPECT_TRUE(std::filesystem::is_directory(dir / "zel.ini" / "inside"));

    writeFile(dir / "codes.voc", "[Countries]\r\n7=Россия\r\n");
    std::filesystem::rename(dir / "codes.voc", dir / "voc");
    std::filesystem::create_directories(dir / "codes.voc");
    TMyMemIniFile codes(path(dir, "codes.voc"));
    EXPECT_FALSE(codes.LastError().isEmpty());
    codes.WriteString("Countries", "380", "Украина");
    EXPECT_FALSE(codes.UpdateFile());
    EXPECT_TRUE(codes.LastError().contains("cannot be read"));
    // Saved under another name the content may go.
    codes.SetFileName(path(dir, "copy.voc"));
    EXPECT_TRUE(codes.UpdateFile());

    // Once the file is gone it is created as usual.
    std::filesystem::remove_all(dir / "zel.ini");
    EXPECT_TRUE(ini.WriteString("Common", "ComPort", "COM3"));
    EXPECT_EQ(readFile(dir / "zel.ini"), "[Common]\r\nComPort=COM3\r\n");
}

TEST(Settings, AWriteOnlyFileKeepsItsContent) {
    TempDir dir;
    const std::string content = "[Common]\r\nComPort=COM7\r\n";
    writeFile(dir / "zel.ini", content);
    writeFile(dir / "codes.voc", content);
    // Write-only: a file that cannot be written is already kept by the temporary-file write.
    constexpr auto writeOnly = std::filesystem::perms::owner_write |
                               std::filesystem::perms::group_write |
                               std::filesystem::perms::others_write;
    for (const char* name : {"zel.ini", "codes.voc"})
        std::filesystem::permissions(dir / name, writeOnly);
    const QString ini = path(dir, "zel.ini");
    const QString voc = path(dir, "codes.voc");
    const int failedStep = withoutReadRights(dir, [&] {
        TMyIniFile file(ini);
        if (file.ReadString("Common", "ComPort", "auto") != "auto" || file.LastError().isEmpty())
            return 1;
        if (file.WriteString("Common", "ComPort", "COM3"))
            return 2;
        TMyMemIniFile memory(voc);
        if (memory.LastError().isEmpty())
            return 3;
        if (memory.UpdateFile())
            return 4;
        return 0;
    });
    if (failedStep < 0)
        GTEST_SKIP() << "running as root and cannot drop the rights to read files";
    EXPECT_EQ(failedStep, 0);
    for (const char* name : {"zel.ini", "codes.voc"}) {
        std::filesystem::permissions(dir / name, std::filesystem::perms::owner_read);
        EXPECT_EQ(readFile(dir / name), content) << name;
    }
    // Readable again, the file-backed object writes on top of the real content.
    std::filesystem::permissions(dir / "zel.ini", std::filesystem::perms::owner_all);
    TMyIniFile file(ini);
    ASSERT_TRUE(file.WriteString("Common", "Debug", "1"));
    EXPECT_EQ(readFile(dir / "zel.ini"), content + "Debug=1\r\n");
}

TEST(Settings, TextWindows1251CannotStoreIsRefusedAndTheOldValueStays) {
    TempDir dir;
    writeFile(dir / "zel.ini", cp1251("[Common]\r\nCityOrigin=Москва (495)\r\n"));
    const std::string before = readFile(dir / "zel.ini");
    const QString cjk = QString::fromUtf8("\xE4\xB8\xAD");
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    TMyIniFile ini(path(dir, "zel.ini"));
    TMyMemIniFile memory(path(dir, "zel.ini"));
    for (SettingsFile* file : std::initializer_list<SettingsFile*>{&ini, &memory}) {
        EXPECT_FALSE(file->WriteString("Common", "CityOrigin", "Peking " + cjk));
        EXPECT_TRUE(file->LastError().contains("Windows-1251")) << file->LastError().toStdString();
        EXPECT_FALSE(file->WriteString("Common", "City" + emoji, "x"));
        EXPECT_FALSE(file->WriteString(QString::fromUtf8("Caf\xC3\xA9"), "K", "x"));
        EXPECT_EQ(file->ReadString("Common", "CityOrigin", ""), QStringLiteral("Москва (495)"));
        EXPECT_EQ(file->ReadSectionNames(), QStringList{"Common"});
        EXPECT_TRUE(file->WriteString("Common", "CityOrigin", QStringLiteral("Киев (44)")));
    }
    EXPECT_EQ(readFile(dir / "zel.ini"), cp1251("[Common]\r\nCityOrigin=Киев (44)\r\n"));

    EXPECT_FALSE(memory.ReplaceSection("Common", {"A=1", "B=" + cjk}));
    EXPECT_EQ(memory.UpdateSectionRecord("Common", "Киев (44)", "x", cjk, "Name"), -1);
    EXPECT_EQ(memory.ReadSection("Common"), QStringList{QStringLiteral("CityOrigin=Киев (44)")});
    ASSERT_TRUE(memory.UpdateFile());
    EXPECT_EQ(readFile(dir / "zel.ini"), cp1251("[Common]\r\nCityOrigin=Киев (44)\r\n"));
    EXPECT_NE(readFile(dir / "zel.ini"), before);
}
