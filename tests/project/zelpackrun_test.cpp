// zel -zelpack end to end: the real zel, 7za and midi2zavra in a copy of the work directory.
#include "base/cp1251.h"
#include "base/firmware.h"
#include "base/romcontrol.h"
#include "tests/common/testpaths.h"
#include "tests/common/zelprocess.h"
#include "tests/project/exportfixtures.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace telmira;
using namespace telmira::test;
namespace fs = std::filesystem;

namespace {

struct ZelpackOutcome {
    int exitCode = -1;
    std::string log;    // zel.log, as UTF-8
    std::string report; // the .zl file, as UTF-8
};

// Runs zel in `here` (no time limit short of ten minutes: the compiler may take a while).
ZelpackOutcome zelpack(const WorkCopy& work, const fs::path& here, const std::string& rom,
                       const std::string& project) {
    ZelEnvironment environment;
    QProcess zel;
    zel.setProcessEnvironment(environment.processEnvironment());
    zel.setWorkingDirectory(QString::fromStdString(here.string()));
    zel.setStandardOutputFile(QProcess::nullDevice());
    zel.start(QString::fromStdString((work / "zel").string()),
              {"-zelpack", QString::fromStdString(rom), QString::fromStdString(project)});
    ZelpackOutcome run;
    if (!zel.waitForFinished(600000)) {
        zel.kill();
        zel.waitForFinished();
        ADD_FAILURE() << "zel -zelpack did not end";
        return run;
    }
    run.exitCode = zel.exitStatus() == QProcess::NormalExit ? zel.exitCode() : -1;
    run.log = cp1251ToUtf8(readFile(here / "zel.log"));
    if (fs::exists(here / (rom + ".zl")))
        run.report = cp1251ToUtf8(readFile(here / (rom + ".zl")));
    return run;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(ZelpackRun, DemoProjectIntoACopyOfADemoImage) {
    WorkCopy work;
    TempDir here;
    fs::copy_file(work / "RomData/korv28v-256.rom", here / "image.rom");
    const ZelpackOutcome run =
        zelpack(work, here.dir(), "image.rom", (work / "Projects/demo.zel").string());
    ASSERT_FALSE(run.report.empty()) << run.log;
    // Every report line is in the log as well.
    EXPECT_TRUE(contains(run.log, run.report)) << run.log << "\n---\n" << run.report;
    EXPECT_TRUE(contains(run.report, "- Проект \"" + (work / "Projects/demo.zel").string() +
                                         "\"\r\n  файл ПЗУ \"image.rom\"\r\n"));
    EXPECT_TRUE(
        contains(run.report, "- Предустановленные переменные экспортированы в код ПЗУ\r\n"));
    EXPECT_TRUE(contains(run.report, "- Извлечение мелодий из проекта, набор: Демо-набор..\r\n"));
    EXPECT_TRUE(contains(run.report, "- Имя файла:" + (here / "image.rom").string() + "\r\n"));

    // Layouts and variables are in the image, read back through its control structure.
    const rom::RomImage image = readImage(here / "image.rom");
    const rom::RomDescription rom = readDescription(image, 9);
    ASSERT_TRUE(rom.calculator && rom.keyboard);
    EXPECT_EQ(bytesAt(image, rom.calculator->keyTable, 4),
              (std::vector<std::uint8_t>{1, 2, 3, 0x10}));
    EXPECT_EQ(bytesAt(image, 0x19000, 5), (std::vector<std::uint8_t>{0x80, 3, 0x01, 0x11, 0xB2}));
    ASSERT_TRUE(rom.checksum && rom.checksum->end());

    EXPECT_EQ(run.exitCode, 0) << run.report;
    EXPECT_TRUE(contains(run.report, "- Экспорт проекта завершен\r\n")) << run.report;
    // The melodies were patched in: the checksum was restored after them and the song table
    // counts the set's two melodies.
    EXPECT_TRUE(rom::checksumMatches(image, *rom.checksum->end()));
    const auto patch = rom::readPatchLayout(image, firmware::kDefaultDataKey);
    ASSERT_TRUE(patch.layout) << patch.problem;
    for (const rom::PatchPoint& point : patch.layout->patchPoints) {
        if (point.type == 2) {
            EXPECT_EQ(image.byteAt(point.address), 2);
        }
    }
}

TEST(ZelpackRun, BrokenCasesEndWithCodeOneAndAnUntouchedImage) {
    WorkCopy work;
    TempDir here;
    struct Case {
        const char* image;
        std::string project;
        std::string error;
    };
    // The demo project (new-style layouts) into an old-style image; a missing image.
    fs::copy_file(work / "RomData/korv28-256.rom", here / "old.rom");
    const std::string before = readFile(here / "old.rom");
    const ZelpackOutcome wrongVersion =
        zelpack(work, here.dir(), "old.rom", (work / "Projects/demo.zel").string());
    EXPECT_EQ(wrongVersion.exitCode, 1);
    EXPECT_TRUE(contains(wrongVersion.log, "! Error221: ZELMakeTable: Попытка записать новую "
                                           "раскладку 1 в старый контейнер\r\n"))
        << wrongVersion.log;
    EXPECT_EQ(wrongVersion.report.substr(wrongVersion.report.find("- Проект")),
              wrongVersion.log.substr(wrongVersion.log.find("- Проект")));
    EXPECT_EQ(readFile(here / "old.rom"), before);

    writeFile(here / "short.rom", std::string(300000, '\xFF'));
    const ZelpackOutcome badSize =
        zelpack(work, here.dir(), "short.rom", (work / "Projects/demo.zel").string());
    EXPECT_EQ(badSize.exitCode, 1);
    EXPECT_TRUE(contains(badSize.log, "- Успешно прочитано из файла ПЗУ... (300000 байт)\r\n"
                                      "! Error3: Недопустимый размер файла ПЗУ short.rom\r\n"));
    EXPECT_EQ(readFile(here / "short.rom"), std::string(300000, '\xFF'));
}
