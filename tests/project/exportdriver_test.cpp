#include "project/exportdriver.h"

#include "base/cp1251.h"
#include "base/romcontrol.h"
#include "project/setarchive.h"
#include "tests/common/testpaths.h"
#include "tests/project/driverwork.h"
#include "tests/project/exportfixtures.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace telmira;
using namespace telmira::test;
namespace fs = std::filesystem;

TEST(ExportDriver, MelodyStepWithACompilerThatSucceeds) {
    Work w;
    writeFile(w.work / "pdb.dat", std::string(100, 'x')); // too short to be a database
    ASSERT_TRUE(w.run()) << w.lines();
    const std::uint32_t capacity = readDescription(readImage(w.rom)).melodyCapacity();
    EXPECT_EQ(w.tail(5), (std::vector<std::string>{
                             "- Извлечение мелодий из проекта, набор: Демо-набор..",
                             "- Имя файла:" + w.rom.string(), "- Компилирование набора мелодий..",
                             "- Мелодии (1234 байт) экспортированы в ПЗУ (" +
                                 std::to_string(capacity) + " байт)",
                             "- Экспорт проекта завершен"}));
    // The compiler ran in the work directory on the set script with the patch line added.
    EXPECT_EQ(readFile(w.work / "seen.cwd"), w.work.string() + "\n");
    EXPECT_EQ(readFile(w.work / "seen.tcl"),
              kScript + "patch_zavra_rom " + w.rom.string() + "\r\n");
    EXPECT_TRUE(w.tempIsEmpty());
    EXPECT_FALSE(fs::exists(w.work / "pdb.dat"));
}

TEST(ExportDriver, ProjectKeyGoesIntoTheScript) {
    Work w;
    const std::string hex = "00112233445566778899AABBCCDDEEFF";
    const auto key = rom::parseProjectKey(hex);
    const rom::RomImage image = [&] {
        auto source = mkrom::parseRomSource(fs::path(TELMIRA_SOURCE_DIR) /
                                            "tools/mkrom/demo/korv28v-256.txt");
        return mkrom::buildRom(*source.source, *key).image.value();
    }();
    writeFile(w.rom, std::string(image.bytes().begin(), image.bytes().end()));
    w.project->WriteString("Project", "Key", QString::fromStdString(hex));
    writeFile(w.work / "pdb.dat", std::string(128, 'x'));
    ASSERT_TRUE(w.run()) << w.lines();
    // Line 2 (the set size) gives way to the key, so the size reads empty.
    EXPECT_EQ(readFile(w.work / "seen.tcl"),
              "read_dls zel.dls\r\nset_key " + hex +
                  "\r\nprecompiled_database pdb.dat\r\ncompile\r\npatch_zavra_rom " +
                  w.rom.string() + "\r\n");
    EXPECT_EQ(w.tail(2)[0].rfind("- Мелодии ( байт) экспортированы в ПЗУ (", 0), 0u);
    EXPECT_TRUE(fs::exists(w.work / "pdb.dat"));
}

TEST(ExportDriver, CompilerFailureReportsItsLastLine) {
    Work w;
    w.compiler("echo 'Reading x'; echo '  + ERR: no such bank'; echo '  +  '; echo; exit 3");
    EXPECT_FALSE(w.run());
    EXPECT_EQ(w.tail(2), (std::vector<std::string>{
                             "- ", "! Error201: Ошибка 3 midi2zavra.exe при экспорте мелодий: "
                                   "\r\nERR: no such bank"}));
    EXPECT_TRUE(w.tempIsEmpty());
    // The layouts and variables are in the image all the same.
    EXPECT_NE(readFile(w.rom), w.original);
}

TEST(ExportDriver, EveryReportedError) {
    struct Case {
        const char* name;
        std::function<void(Work&)> prepare;
        int number;
        std::string text; // the start of the error line
    };
    const Case cases[] = {
        {"no archiver", [](Work&) { qputenv("PATH", "/nonexistent"); }, 207,
         "Ошибка: не найден архиватор 7za.exe в каталоге Telmira"},
        {"no melodies", [](Work& w) { w.project->EraseSection("SetData"); }, 206,
         "В проекте нет мелодий, назначьте набор мелодий заново"},
        {"SetData without bytes", [](Work& w) { w.project->ReplaceSection("SetData", {"0=**"}); },
         205, "Ошибка, не найден файл архива "},
        {"archiver that cannot start",
         [](Work& w) {
             writeFile(w.work / "7za", "not a program");
             fs::permissions(w.work / "7za", fs::perms::owner_all);
         },
         204, "Ошибка при создании процесса 7za.exe"},
        {"archive the archiver refuses", [](Work& w) { w.setArchive("not an archive"); }, 203,
         "Ошибка 2 архиватора 7za.exe при извлечении файлов из архива "},
        {"archive without a script",
         [](Work& w) {
             w.setArchive(archiveOf({{"001.mid", "MThd"}}));
         },
         209, "Ошибка, в архиве набора нет сценария "},
        {"no instrument bank", [](Work& w) { fs::remove(w.work / "zel.dls"); }, 200,
         "Отсутствует zel.dls в каталоге ZEL"},
        {"no compiler", [](Work& w) { fs::remove(w.work / "midi2zavra"); }, 202,
         "! Ошибка при создании процесса midi2zavra.exe"},
    };
    const QByteArray path = qgetenv("PATH");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Work w;
        c.prepare(w);
        EXPECT_FALSE(w.run());
        qputenv("PATH", path);
        EXPECT_EQ(w.report.firstError(), c.number) << w.lines();
        bool found = false;
        for (const auto& line : w.report.entries())
            found = found || (line.number == c.number && line.text.rfind(c.text, 0) == 0);
        EXPECT_TRUE(found) << w.lines();
        EXPECT_TRUE(w.tempIsEmpty());
    }
}

TEST(ExportDriver, RomPathsTheScriptCannotCarry) {
    EXPECT_EQ(ScriptRomPath("/a/b.rom", "/w/"), QString("/a/b.rom"));
    // White space: the path relative to the work directory is used when it has none.
    EXPECT_EQ(ScriptRomPath("/my work/RomData/a.rom", "/my work/"), QString("RomData/a.rom"));
    EXPECT_EQ(ScriptRomPath("/my roms/a.rom", "/w/"), std::nullopt);
    EXPECT_EQ(ScriptRomPath("/roms/\xe2\x98\x83.rom", "/w/"), std::nullopt); // no Windows-1251 form
    EXPECT_EQ(ScriptRomPath("/" + QString(182, 'a'), "/x/"), QString("/" + QString(182, 'a')));
    EXPECT_EQ(ScriptRomPath("/" + QString(183, 'a'), "/x/"), std::nullopt);

    Work w;
    const fs::path spaced = w.root / "my roms" / "a.rom";
    fs::create_directories(spaced.parent_path());
    fs::copy_file(w.rom, spaced);
    EXPECT_FALSE(w.run({}, str(spaced)));
    EXPECT_EQ(w.report.firstError(), 208) << w.lines();
    EXPECT_FALSE(fs::exists(w.work / "seen.tcl"));
}

TEST(ExportDriver, CancelPoints) {
    {
        Work w;
        const std::string before = readFile(w.rom);
        EXPECT_FALSE(w.run({[] { return true; }, {}}));
        EXPECT_TRUE(w.report.entries().empty());
        EXPECT_EQ(readFile(w.rom), before);
    }
    // Cancelled after the image was written: nothing is unpacked or compiled.
    for (const int after : {1, 2}) {
        Work w;
        int checks = 0;
        w.run({[&] { return ++checks > after; }, {}});
        EXPECT_EQ(checks, after + 1);
        EXPECT_FALSE(fs::exists(w.work / "seen.tcl"));
        EXPECT_TRUE(w.tempIsEmpty());
    }
}

TEST(ExportDriver, BatchReportFileBesideTheTypedPath) {
    Work w;
    fs::create_directories(w.root / "roms");
    fs::copy_file(w.rom, w.root / "roms/a.rom");
    writeFile(w.work / "korv28v.def", utf8ToCp1251(readFile(fs::path(TELMIRA_SOURCE_DIR) /
                                                            "data/firmware/korv28v.def.txt")));
    w.project->SetFileName(str(w.root / "demo.zel"));
    ASSERT_TRUE(w.project->UpdateFile());
    const QString previous = QDir::currentPath();
    QDir::setCurrent(str(w.root.dir()));
    const rom::ExportReport result = RunBatchExport(str(w.work) + "/", "roms/a.rom", "demo.zel");
    QDir::setCurrent(previous);
    const std::vector<std::string> lines = result.lines();
    EXPECT_FALSE(result.failed()) << (lines.empty() ? std::string() : lines.back());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "- Проект \"demo.zel\"\r\n  файл ПЗУ \"roms/a.rom\"");
    EXPECT_EQ(
        readFile(w.work / "seen.tcl").find("patch_zavra_rom " + (w.root / "roms/a.rom").string()) !=
            std::string::npos,
        true);
    std::string expected;
    for (const std::string& line : lines)
        expected += utf8ToCp1251(line) + "\r\n";
    EXPECT_EQ(readFile(w.root / "roms/a.rom.zl"), expected);

    const rom::ExportReport unreadable =
        RunBatchExport(str(w.work) + "/", "roms/a.rom", str(w.root / "roms"));
    EXPECT_TRUE(unreadable.failed());
    EXPECT_EQ(unreadable.firstError(), 9);
}
