// zel's batch runs and work-directory discovery, run as the real program.
#include "tests/common/zelprocess.h"

#include "base/version.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace telmira::test;

namespace {

const std::string kHeader =
    cp1251("\r\nTelmira, версия " TELMIRA_VERSION "\r\n" TELMIRA_MAKER "\r\n\r\n");
const std::string kUsage = cp1251("Экспорт проекта в ПЗУ: zel.exe -zelpack RomFile.rom "
                                  "ProjectFile.zel\r\nОткрыть проект: zel.exe ProjectFile.zel\r\n");

// zel lies in a copy of the work directory; it runs from another folder, where the log lands.
class ZelBatch : public ::testing::Test {
protected:
    ZelResult run(const QStringList& arguments) {
        return runZel(work / "zel", arguments, here.dir(), environment);
    }
    std::string log() const { return readFile(here / "zel.log"); }

    WorkCopy work;
    TempDir here;
    ZelEnvironment environment;
};

TEST_F(ZelBatch, UsageRunWritesHeaderAndUsageIntoTheCurrentFolder) {
    for (const char* option : {"-?", "/?"}) {
        SCOPED_TRACE(option);
        const ZelResult result = run({option});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(log(), kHeader + kUsage);
        EXPECT_FALSE(fs::exists(work / "zel.log"));
        fs::remove(here / "zel.log");
    }
}

TEST_F(ZelBatch, ZelpackWithWrongArgumentCountWritesTheUsageBlock) {
    const std::string block = cp1251("Ошибка: Неверное количество параметров -zelpack\r\n"
                                     "Формат командной строки:\r\n") +
                              kUsage;
    for (const QStringList& arguments :
         {QStringList{"-ZELPACK", "a.rom"}, QStringList{"-ZELPACK", "a.rom", "b.zel", "c"},
          QStringList{"-zelpack"}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const ZelResult result = run(arguments);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(log(), kHeader + block);
    }
}

TEST_F(ZelBatch, ZelpackReportsEachMissingFile) {
    const ZelResult both = run({"-ZelPack", "нет.rom", "нет.zel"});
    ASSERT_TRUE(both.finished);
    EXPECT_EQ(both.exitCode, 1);
    EXPECT_EQ(log(), kHeader + cp1251("Ошибка: файл не найден: нет.rom\r\n"
                                      "Ошибка: файл не найден: нет.zel\r\n"));

    writeFile(here / "a.rom", std::string(256 * 1024, '\xff'));
    fs::create_directory(here / "folder.zel"); // a folder is no project file
    const ZelResult project = run({"-zelpack", "a.rom", "folder.zel"});
    EXPECT_EQ(project.exitCode, 1);
    EXPECT_EQ(log(), kHeader + cp1251("Ошибка: файл не найден: folder.zel\r\n"));
}

TEST_F(ZelBatch, ZelpackWithBothFilesRunsTheExport) {
    writeFile(here / "a.rom", std::string(256 * 1024, '\xff'));
    writeFile(here / "p.zel", "[Project]\r\n");
    const ZelResult result = run({"-zelpack", "a.rom", "p.zel"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(log(), kHeader + cp1251("- Проект \"p.zel\"\r\n  файл ПЗУ \"a.rom\"\r\n"
                                      "- Успешно прочитано из файла ПЗУ... (262144 байт)\r\n"
                                      "! Error5: Ошибка в файле ПЗУ a.rom\r\n"));
    EXPECT_EQ(readFile(here / "a.rom"), std::string(256 * 1024, '\xff'));
}

TEST_F(ZelBatch, LogThatCannotBeCreatedIsAnError) {
    fs::create_directory(here / "zel.log");
    const ZelResult result = run({"-?"});
    ASSERT_TRUE(result.finished);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.standardError.indexOf("zel.log"), -1) << result.standardError.toStdString();
}

TEST_F(ZelBatch, MaintenanceSwitchesOfLaterBuildsRefuseClearly) {
    for (const char* option : {"-bdesetup", "-UPGRADE"}) {
        SCOPED_TRACE(option);
        const ZelResult result = run({option, "x"});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.standardError.indexOf(QString("недоступен").toUtf8()), -1);
    }
    const ZelResult driver = run({"-PL2Install"});
    EXPECT_EQ(driver.exitCode, 0);
    EXPECT_NE(driver.standardError.indexOf(QString("ничего не нужно").toUtf8()), -1);
    EXPECT_FALSE(fs::exists(here / "zel.log"));
}

// A copy of zel under another name, in a folder without `zel`, finds the work directory only
// through the per-user WorkDir setting.
TEST(ZelWorkDirectory, ElsewhereTheProgramNeedsTheStoredSetting) {
    WorkCopy work;
    TempDir bin;
    fs::copy_file(work / "zel", bin / "zel-copy");
    struct Case {
        const char* name;
        std::string setting; // empty: no settings file
        bool found;
    };
    const Case cases[] = {
        {"setting names the work directory", work.dir().string(), true},
        {"a trailing slash doubles and still works", work.dir().string() + "/", true},
        {"no setting", "", false},
        {"setting names a folder without zel", bin.dir().string() + "/none", false},
        {"blank setting", "\"   \"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir here;
        ZelEnvironment environment;
        if (!c.setting.empty())
            environment.setStoredWorkDir(c.setting);
        const ZelResult result = runZel(bin / "zel-copy", {"-?"}, here.dir(), environment);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(fs::exists(here / "zel.log"), c.found);
        const QString message = "Невозможно определить рабочий каталог Telmira\nПереустановите "
                                "программу";
        EXPECT_EQ(result.standardError.contains(message.toUtf8()), !c.found)
            << result.standardError.toStdString();
    }
}

} // namespace
