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

namespace {

// The image as ZelPack alone leaves it: the melody step of a refused set must not touch it.
std::string imageWithoutMelodies() {
    Work w;
    w.compiler("exit 0");
    EXPECT_TRUE(w.run()) << w.lines();
    return readFile(w.rom);
}

bool reported(const Work& w, int number, const std::string& part) {
    for (const auto& line : w.report.entries())
        if (line.number == number && line.text.find(part) != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST(ExportDriver, HostileArchivesAreRefusedBeforeUnpacking) {
    const std::string packed = imageWithoutMelodies();
    TempDir outside; // where an escaping entry would land
    struct Case {
        const char* name;
        std::function<QByteArray(Work&)> archive;
        int number;
        std::string shown; // part of the error line
        fs::path escaped;  // must not exist after the run
    };
    const Case cases[] = {
        {"parent folders",
         [](Work&) {
             // Unpacked into work/Media/Temp/, "../../x" would name work/x.
             TempDir dir;
             fs::create_directories(dir / "a/b");
             writeFile(dir / "a/b/set.tcl", kScript);
             writeFile(dir / "x", "escaped");
             return packIn(dir / "a/b", {"a", "-spf", "set.7z", "set.tcl", "../../x"});
         },
         210, "../../x", "x"},
        {"absolute path",
         [&outside](Work&) {
             writeFile(outside / "abs.txt", "escaped");
             TempDir dir;
             writeFile(dir / "set.tcl", kScript);
             const QByteArray bytes =
                 packIn(dir.dir(), {"a", "-spf", "set.7z", "set.tcl", str(outside / "abs.txt")});
             fs::remove(outside / "abs.txt");
             return bytes;
         },
         210, (outside / "abs.txt").string(), outside / "abs.txt"},
        {"link",
         [](Work& w) {
             TempDir dir;
             writeFile(dir / "set.tcl", kScript);
             fs::create_symlink(w.rom, dir / "001.mid");
             return packIn(dir.dir(), {"a", "set.7z", "set.tcl", "001.mid"});
         },
         210,
         "001.mid",
         {}},
        {"more than 64 MB",
         [](Work&) {
             TempDir dir;
             writeFile(dir / "set.tcl", kScript);
             writeFile(dir / "001.mid", std::string(64 * 1024 * 1024, '\0'));
             return packIn(dir.dir(), {"a", "set.7z", "set.tcl", "001.mid"});
         },
         211,
         "67108864",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Work w;
        // A compiler that would patch the image: it must never run.
        w.compiler("echo patched >> '" + w.rom.string() + "'; exit 0");
        w.setArchive(c.archive(w));
        EXPECT_FALSE(w.run());
        EXPECT_EQ(w.report.firstError(), c.number) << w.lines();
        EXPECT_TRUE(reported(w, c.number, c.shown)) << w.lines();
        EXPECT_TRUE(readFile(w.rom) == packed) << "the image was changed";
        if (!c.escaped.empty()) {
            EXPECT_FALSE(fs::exists(c.escaped.is_absolute() ? c.escaped : w.work / c.escaped));
        }
        // Nothing was unpacked anywhere: the work directory holds what it held before.
        for (const auto& entry : fs::recursive_directory_iterator(w.work))
            EXPECT_TRUE(entry.path().filename() == "zel.dls" ||
                        entry.path().filename() == "midi2zavra" || entry.is_directory())
                << entry.path();
        EXPECT_TRUE(w.tempIsEmpty());
    }
}

TEST(ExportDriver, SetScriptsZelDoesNotWriteAreRefused) {
    const std::string packed = imageWithoutMelodies();
    Work first;
    const fs::path other = first.root / "other.rom";
    fs::copy_file(first.rom, other);
    const std::string otherBefore = readFile(other);
    const fs::path stat = first.root / "stat.txt";
    struct Case {
        const char* name;
        std::string line;
    };
    const Case cases[] = {
        {"statistics to an absolute path", "write_stat " + stat.string()},
        {"patches another image", "patch_zavra_rom " + other.string()},
        {"statistics above the scratch folder", "write_stat Media/Temp/../../stat.txt"},
        {"command in upper case", "WRITE_STAT " + stat.string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Work w;
        w.compiler("echo patched >> '" + w.rom.string() + "'; exit 0");
        w.setArchive(archiveOf({{"set.tcl", kScript + c.line + "\r\n"}, {"001.mid", "MThd"}}));
        EXPECT_FALSE(w.run());
        EXPECT_EQ(w.report.firstError(), 213) << w.lines();
        // The line is named by its number and its text.
        EXPECT_TRUE(reported(w, 213, "строка 5 (")) << w.lines();
        EXPECT_TRUE(reported(w, 213, c.line)) << w.lines();
        EXPECT_TRUE(readFile(w.rom) == packed) << "the image was changed";
        EXPECT_FALSE(fs::exists(w.work / "seen.tcl"));
        EXPECT_TRUE(w.tempIsEmpty());
    }
    EXPECT_EQ(readFile(other), otherBefore);
    EXPECT_FALSE(fs::exists(stat));
}

TEST(ExportDriver, SetScriptVetting) {
    // What zel writes passes: the demo set and the lines of every kind the writer makes.
    const QStringList demo =
        QString::fromStdString(readFile(fs::path(TELMIRA_SOURCE_DIR) / "data/demo/set.tcl"))
            .split('\n');
    EXPECT_EQ(VetSetScript(demo), std::nullopt);
    EXPECT_EQ(VetSetScript({"read_dls zel.dls", ";MelodySetSize=1234", "", "  \t",
                            "precompiled_database pdb.dat", "set_egtiming 5.85",
                            "remap_region instr03 mel * 0 0 50 * * 0 0 44 127",
                            "remap_region Drum353535 delete", "remap_program * 5 0 7",
                            "set_instr_volume_adjustment * 7 * -3", "set_song_type bell",
                            "read_pt3 Media/Temp/101.pt3", "read_fxm Media/Temp/102.fxm",
                            "set_channel_mask 3 0", "read_midi Media/Temp/005.mid", "compile",
                            "write_stat Media/Temp/set.stt"}),
              std::nullopt);
    struct Case {
        const char* line;
        const char* reason;
    };
    const Case cases[] = {
        {"set_key 00112233445566778899AABBCCDDEEFF", "недопустимая команда"},
        {"patch_zavra_rom image.rom", "недопустимая команда"},
        {"write_samples_bin 1 Media/Temp/song.zmid", "недопустимая команда"},
        {"write_log /tmp/log", "недопустимая команда"},
        {"read_dls /usr/share/sounds/gm.dls", "файл вне рабочего каталога набора"},
        {"precompiled_database ../pdb.dat", "файл вне рабочего каталога набора"},
        {"read_midi 005.mid", "файл вне рабочего каталога набора"},
        {"read_midi Media/Temp/", "файл вне рабочего каталога набора"},
        {"read_midi Media/Temp/sub/005.mid", "файл вне рабочего каталога набора"},
        {"read_midi Media/Temp/..", "файл вне рабочего каталога набора"},
        {"read_midi Media\\Temp\\005.mid", "файл вне рабочего каталога набора"},
        {"read_midi Media/Temp/005.mid extra", "нужно одно имя файла"},
        {"write_stat", "нужно одно имя файла"},
        {"compile now", "лишние параметры"},
        {"set_resolution ../25", "недопустимый параметр"},
        {"remap_region a/b delete", "недопустимый параметр"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto fault = VetSetScript({"read_dls zel.dls", c.line, "compile"});
        ASSERT_TRUE(fault);
        EXPECT_EQ(fault->line, 2);
        EXPECT_EQ(fault->reason.toStdString(), c.reason);
    }
}
