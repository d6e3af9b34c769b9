#include "project/projectfile.h"

#include "project/exportdriver.h"
#include "tests/common/application.h"

#include "base/cp1251.h"
#include "frame/zelsettings.h"
#include "tests/common/testpaths.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <deque>

using namespace telmira;
using telmira::test::readFile;
using telmira::test::TempDir;
using telmira::test::writeFile;
namespace fs = std::filesystem;

namespace {

QString str(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// Answers the commands' questions from queues and keeps what was asked.
class ScriptedUi : public ProjectUi {
public:
    std::deque<Answer> answers;
    std::deque<std::optional<QString>> versions, openFiles, saveFiles;
    QStringList asked; // captions, titles and texts in order
    QStringList errors;

    Answer AskSaveChanges(const QString& caption, const QString& text) override {
        asked << caption << text;
        return take(answers, Answer::Stay);
    }
    std::optional<QString> ChooseVersion(const QString& caption) override {
        asked << caption;
        return take(versions, std::optional<QString>());
    }
    std::optional<QString> ChooseFileToOpen(const QString& title, const QString& folder) override {
        asked << title << folder;
        return take(openFiles, std::optional<QString>());
    }
    std::optional<QString> ChooseFileToSave(const QString& title, const QString& folder,
                                            const QString& preset) override {
        asked << title << folder << preset;
        return take(saveFiles, std::optional<QString>());
    }
    void ShowError(const QString& text) override { errors << text; }

private:
    template <typename T> static T take(std::deque<T>& queue, T fallback) {
        // The answer is moved into `fallback` rather than copied into a new local: GCC 12 at -O2
        // warns falsely (-Wmaybe-uninitialized) on that copy of a std::optional<QString>.
        if (!queue.empty()) {
            fallback = std::move(queue.front());
            queue.pop_front();
        }
        return fallback;
    }
};

struct Fixture {
    TempDir dir;
    std::unique_ptr<TMyIniFile> zelIni;
    ScriptedUi ui;
    std::unique_ptr<ProjectSession> session;
    Fixture() {
        telmira::test::ensureApplication();
        for (const char* name : {"korv28", "korv28v"})
            writeFile(dir / (std::string(name) + ".def"),
                      utf8ToCp1251(readFile(fs::path(TELMIRA_SOURCE_DIR) / "data/firmware" /
                                            (std::string(name) + ".def.txt"))));
        writeFile(dir / "zel.ini", utf8ToCp1251("[ProjectDefs]\r\n"
                                                "1=Name=Корвел 28 Талви; FileName=korv28.def; "
                                                "Code=1;\r\n"
                                                "2=Name=Корвел 28 Талви, 2 языка; "
                                                "FileName=korv28v.def; Code=2;\r\n"));
        zelIni = std::make_unique<TMyIniFile>(str(dir / "zel.ini"));
        session = std::make_unique<ProjectSession>(*zelIni, str(dir.dir()) + "/", ui);
    }
    QString path(const std::string& name) const { return str(dir / name); }
    QString value(const QString& section, const QString& key) const {
        return session->Project()->ReadString(section, key, "<none>");
    }
};

} // namespace

TEST(ProjectFile, NewProjectForAVersion) {
    Fixture f;
    QSignalSpy rebuilt(f.session.get(), &ProjectSession::toolsRebuildRequested);
    f.ui.versions = {QString("2")};
    ASSERT_TRUE(f.session->New(true));
    EXPECT_EQ(f.ui.asked, QStringList{" Новый проект создается для версии"});
    EXPECT_EQ(f.value("Project", "Ver"), "2.1.0.0");
    EXPECT_EQ(f.value("Project", "DefName"), "Корвел 28 Талви, 2 языка");
    EXPECT_EQ(f.value("Project", "DefFile"), "korv28v.def");
    for (int n = 0; n < 8; ++n) {
        const QString section = "Layout" + QString::number(n);
        EXPECT_EQ(f.session->Project()->ReadSection(section),
                  QStringList({"Name=Раскладка " + QString::number(n), "Type=0", "ColCount=1",
                               "RowCount=1"}));
        EXPECT_TRUE(f.session->Project()->SectionExists(section + ".FixedLines"));
    }
    const QStringList defaults = f.session->Project()->ReadSection("DefaultValues");
    EXPECT_EQ(defaults.size(), 22); // delimiters and the untyped entry 28 are left out
    EXPECT_TRUE(defaults.contains("25=Корвел 28;"));
    EXPECT_TRUE(defaults.contains("16=0730"));
    EXPECT_FALSE(defaults.join('\n').contains("1=Type"));
    EXPECT_EQ(f.value("MelodySet", "MelodySet"), "Стандартный набор");
    EXPECT_TRUE(f.session->IsOpen());
    EXPECT_TRUE(f.session->IsUntitled());
    EXPECT_FALSE(f.session->IsModified());
    EXPECT_TRUE(f.session->SaveEnabled());
    EXPECT_EQ(f.session->Caption(), "Telmira  [Новый проект - Корвел 28 Талви, 2 языка] ");
    EXPECT_EQ(rebuilt.count(), 1);

    // Cancelled by the user: nothing happens. Without a user action version "1" is taken.
    EXPECT_FALSE(f.session->New(true));
    EXPECT_EQ(f.value("Project", "DefFile"), "korv28v.def");
    ASSERT_TRUE(f.session->New(false));
    EXPECT_EQ(f.value("Project", "DefFile"), "korv28.def");
    EXPECT_EQ(f.value("Project", "Ver"), "2.0.0.0");
}

TEST(ProjectFile, SaveAnUntitledProjectAndOpenItAgain) {
    Fixture f;
    QSignalSpy recent(f.session.get(), &ProjectSession::recentListChanged);
    f.ui.versions = {QString("2")};
    ASSERT_TRUE(f.session->New(true));
    f.session->SetModified();
    f.ui.asked.clear();
    f.ui.saveFiles = {f.path("мой проект")}; // no extension: ".zel" is added
    ASSERT_TRUE(f.session->Save());
    EXPECT_EQ(f.ui.asked, QStringList({" Cохранить новый проект под именем", str(f.dir.dir()) + "/",
                                       str(f.dir.dir()) + "/Новый проект.zel"}));
    const QString saved = f.path("мой проект.zel");
    EXPECT_TRUE(QFileInfo(saved).isFile());
    EXPECT_FALSE(f.session->IsUntitled() || f.session->IsModified() || f.session->SaveEnabled());
    EXPECT_EQ(f.session->FileName(), saved);
    EXPECT_EQ(f.zelIni->ReadString("Recent", "0", ""), saved);
    EXPECT_EQ(f.zelIni->ReadString("Common", "LastProject", ""), saved);
    EXPECT_EQ(f.zelIni->ReadString("Common", "LastSavePath", ""), str(f.dir.dir()));
    ASSERT_GE(recent.count(), 1);
    EXPECT_EQ(recent.last().at(0).toStringList().value(0), saved);
    // The file is Windows-1251 text.
    EXPECT_NE(
        readFile(f.dir / "мой проект.zel").find(utf8ToCp1251("DefName=Корвел 28 Талви, 2 языка")),
        std::string::npos);

    const QByteArray before = f.session->Project()->ToBytes();
    ASSERT_TRUE(f.session->LoadProjectFile(saved, false));
    EXPECT_EQ(f.session->Project()->ToBytes(), before);
    EXPECT_FALSE(f.session->IsUpgraded());
    EXPECT_FALSE(f.session->SaveEnabled());
}

TEST(ProjectFile, OldFormatProjectIsConvertedAndUpgradedInOneLoad) {
    Fixture f;
    writeFile(
        f.dir / "old.zel",
        utf8ToCp1251("[Project]\r\nDefFile=korv28v.def\r\nDefName=Корвел 28 Талви, 2 языка\r\n"
                     "[Keys]\r\n1=Code=01;\r\n[Lines]\r\n0=Address=0000;\r\n"
                     "[DefaultValues]\r\n2=Value=7;\r\n6=Value=0;\r\n"
                     "21=Value=\"911\";\r\n29=Value=1;\r\n"
                     "[Layout0]\r\nName=Старая\r\nColCount=2\r\nRowCount=1\r\n"
                     "0=X=1; Y=0; ID=3;\r\n1=X=0; Y=1; ID=8;\r\n"
                     "2=X=1; Y=1; ID=5; CalcID=101;\r\n9=X=2; Y=1; ID=6;\r\n"
                     "[Layout0.FixedLines]\r\n0=Function=0x01; Address=0004;\r\n"
                     "1=Function=0x80;\r\n"));
    ASSERT_TRUE(f.session->LoadProjectFile(f.path("old.zel"), true));
    EXPECT_TRUE(f.session->IsUpgraded());
    EXPECT_TRUE(f.session->SaveEnabled());
    // Converted to 1.8.0.0, then upgraded to the description's version in the same load.
    EXPECT_EQ(f.value("Project", "Ver"), "2.1.0.0");
    EXPECT_FALSE(f.session->Project()->SectionExists("Keys"));
    EXPECT_FALSE(f.session->Project()->SectionExists("Lines"));
    const QStringList defaults = f.session->Project()->ReadSection("DefaultValues");
    EXPECT_TRUE(defaults.contains("2=5")); // Ver 2.0.0.0 > 1.8.0.0: the new default wins
    EXPECT_TRUE(defaults.contains("6=0")); // kept
    EXPECT_TRUE(defaults.contains("21=911;"));
    EXPECT_TRUE(defaults.contains("29=0")); // Ver 2.1.0.0
    EXPECT_TRUE(defaults.contains("25=;")); // a missing string is empty
    EXPECT_TRUE(defaults.contains("8=0"));  // a missing number is 0
    EXPECT_EQ(f.session->Project()->ReadSection("Layout0"),
              QStringList({"Name=Старая", "ColCount=2", "RowCount=1", "17=ID=3;", "1=ID=8;",
                           "18=ID=5;CalcID=101;"}));
    EXPECT_EQ(f.session->Project()->ReadSection("Layout0.FixedLines"),
              QStringList({"0=Address=0004; Code=01;", "1=Address=Err1; Code=80;"}));
    EXPECT_EQ(f.value("MelodySet", "MelodySet"), "Стандартный набор");

    // The prompt names the upgrade until the project is saved.
    f.ui.answers = {ProjectUi::Answer::Stay};
    EXPECT_FALSE(f.session->MayClose());
    ASSERT_EQ(f.ui.asked.size(), 2);
    EXPECT_EQ(f.ui.asked[0], " Предупреждение об изменениях");
    EXPECT_EQ(f.ui.asked[1],
              f.path("old.zel") + "\rПроект был изменен: Апгрейд проекта\r\rСохранить изменения?");
}

TEST(ProjectFile, UpgradeComparesVersionsAsText) {
    EXPECT_TRUE(VersionIsNewer("2.0.0.0", "10.0.0.0"));
    EXPECT_FALSE(VersionIsNewer("2.0.0.0", "2.0.0.0"));
    Fixture f;
    for (const char* ver : {"10.0.0.0", "2.1.0.0"}) {
        SCOPED_TRACE(ver);
        writeFile(f.dir / "p.zel", std::string("[Project]\r\nVer=") + ver +
                                       "\r\nDefFile=korv28v.def\r\n[DefaultValues]\r\n29=1\r\n");
        ASSERT_TRUE(f.session->LoadProjectFile(f.path("p.zel"), false));
        const bool older = std::string(ver) == "10.0.0.0";
        EXPECT_EQ(f.session->IsUpgraded(), older);
        EXPECT_EQ(f.value("DefaultValues", "29"), older ? "0" : "1");
        EXPECT_EQ(f.value("Project", "Ver"), "2.1.0.0");
    }
}

TEST(ProjectFile, ModifiedPromptOutcomes) {
    Fixture f;
    f.ui.versions = {QString("2")};
    ASSERT_TRUE(f.session->New(true));
    f.session->SetModified();
    bool layoutsChanged = true;
    int cleared = 0;
    f.session->SetEditors(
        {[] { return true; }, [&] { return layoutsChanged; }, [&] { ++cleared; }});

    // Stay: New is not carried out.
    f.ui.asked.clear();
    f.ui.answers = {ProjectUi::Answer::Stay};
    EXPECT_FALSE(f.session->New(true));
    EXPECT_EQ(f.ui.asked.value(1), "Новый проект\rПроект был изменен: Предустановленные "
                                   "переменные, Редактор раскладок\r\rСохранить изменения?");

    // Save on an untitled project with the dialog cancelled: closing stays, New goes ahead.
    f.ui.answers = {ProjectUi::Answer::Save};
    EXPECT_FALSE(f.session->MayClose());
    f.ui.answers = {ProjectUi::Answer::Save};
    f.ui.versions = {QString("1")};
    EXPECT_TRUE(f.session->New(true));
    EXPECT_EQ(f.value("Project", "DefFile"), "korv28.def");
    EXPECT_EQ(cleared, 0);

    // Discard continues without saving; Save on a titled project writes it.
    f.session->SetModified();
    f.ui.answers = {ProjectUi::Answer::Discard};
    EXPECT_TRUE(f.session->MayClose());
    f.ui.saveFiles = {f.path("a.zel")};
    ASSERT_TRUE(f.session->SaveAs());
    EXPECT_EQ(cleared, 1);
    f.session->Project()->WriteString("Project", "Key", "x");
    f.session->SetModified();
    f.ui.answers = {ProjectUi::Answer::Save};
    EXPECT_TRUE(f.session->MayClose());
    EXPECT_NE(readFile(f.dir / "a.zel").find("Key=x"), std::string::npos);
    EXPECT_FALSE(f.session->IsModified());

    // A save that fails keeps the project and the application.
    f.session->SetModified();
    fs::remove(f.dir / "a.zel");
    fs::create_directory(f.dir / "a.zel");
    f.ui.answers = {ProjectUi::Answer::Save};
    EXPECT_FALSE(f.session->MayClose());
    EXPECT_EQ(f.ui.errors.size(), 1);
    EXPECT_TRUE(f.session->IsModified());
}

TEST(ProjectFile, OpenAndTheRecentList) {
    Fixture f;
    // A missing project file turns into the Open dialog, starting in the Projects folder.
    EXPECT_FALSE(f.session->LoadProjectFile(f.path("gone.zel"), true));
    EXPECT_EQ(f.ui.asked, QStringList({"Открыть проект", str(f.dir.dir()) + "/Projects"}));

    for (int i = 0; i < 13; ++i)
        writeFile(f.dir / (std::to_string(i) + ".zel"),
                  "[Project]\r\nVer=2.1.0.0\r\nDefFile=gone.def\r\n");
    for (int i = 0; i < 13; ++i)
        recordRecentProject(*f.zelIni, f.path(std::to_string(i) + ".zel"));
    // "0" plus ten older entries are kept; the menu shows ten.
    EXPECT_EQ(f.zelIni->ReadSectionKeys("Recent").size(), 11);
    EXPECT_EQ(f.zelIni->ReadString("Recent", "10", ""), f.path("2.zel"));
    fs::remove(f.dir / "11.zel");
    recordRecentProject(*f.zelIni, f.path("5.zel"));
    const QStringList menu = recentMenuEntries(*f.zelIni);
    ASSERT_EQ(menu.size(), 10);
    EXPECT_EQ(menu.mid(0, 3), QStringList({f.path("5.zel"), f.path("12.zel"), f.path("10.zel")}));

    f.ui.asked.clear();
    ASSERT_TRUE(f.session->OpenRecent("&" + f.path("7.zel")));
    EXPECT_TRUE(f.ui.asked.isEmpty());
    EXPECT_EQ(f.session->FileName(), f.path("7.zel"));
    EXPECT_EQ(recentMenuEntries(*f.zelIni).value(0), f.path("7.zel"));
    EXPECT_EQ(f.zelIni->ReadString("Common", "LastOpenPath", ""), str(f.dir.dir()));
    // A project whose description is missing opens with an empty one.
    EXPECT_TRUE(f.session->Description().Keys().isEmpty());

    f.ui.openFiles = {f.path("3.zel")};
    ASSERT_TRUE(f.session->Open());
    EXPECT_EQ(f.ui.asked.value(1), str(f.dir.dir()));
    EXPECT_EQ(f.session->FileName(), f.path("3.zel"));
}

TEST(ProjectFile, ChangePhoneVersionKeepsLayoutsAndValues) {
    Fixture f;
    QSignalSpy caption(f.session.get(), &ProjectSession::captionChanged);
    f.ui.versions = {QString("2")};
    ASSERT_TRUE(f.session->New(true));
    f.session->Project()->WriteString("Layout3", "ColCount", "4");
    const QStringList defaults = f.session->Project()->ReadSection("DefaultValues");
    f.ui.versions = {QString("1")};
    ASSERT_TRUE(f.session->ChangePhoneVersion());
    EXPECT_EQ(f.ui.asked.last(), " Выберите версию телефона для проекта");
    EXPECT_EQ(f.value("Project", "DefFile"), "korv28.def");
    EXPECT_EQ(f.value("Project", "DefName"), "Корвел 28 Талви");
    EXPECT_EQ(f.value("Project", "Ver"), "2.0.0.0");
    EXPECT_EQ(f.value("Layout3", "ColCount"), "4");
    EXPECT_EQ(f.session->Project()->ReadSection("DefaultValues"), defaults);
    EXPECT_TRUE(f.session->IsModified());
    EXPECT_EQ(caption.last().at(0).toString(), "Telmira  [Новый проект - Корвел 28 Талви] *");
}

TEST(ProjectFile, ExportCommandRemembersTheImage) {
    Fixture f;
    f.ui.versions = {QString("2")};
    ASSERT_TRUE(f.session->New(true));
    const QString work = str(f.dir.dir()) + "/";
    // No image chosen before, no folder remembered: the dialog starts in RomData.
    RomChoiceStart start = RomDialogStart(*f.zelIni, *f.session->Project(), work,
                                          f.session->Description().VersionName());
    EXPECT_EQ(start.title, " Выберите код ПЗУ для версии Корвел 28 Талви, 2 языка");
    EXPECT_EQ(start.folder, work + "RomData");
    EXPECT_TRUE(start.selectedFile.isEmpty());

    // An untitled project keeps the choice in memory only.
    fs::create_directory(f.dir / "roms");
    writeFile(f.dir / "roms/a.rom", "x");
    RememberRomChoice(*f.zelIni, *f.session->Project(), false, f.path("roms/a.rom"));
    EXPECT_EQ(f.zelIni->ReadString("Common", "LastROMPath", ""), f.path("roms"));
    EXPECT_EQ(f.value("Project", "ROMFile"), f.path("roms/a.rom"));
    start = RomDialogStart(*f.zelIni, *f.session->Project(), work, "v");
    EXPECT_EQ(start.folder, f.path("roms"));
    EXPECT_EQ(start.selectedFile, f.path("roms/a.rom"));

    // A saved project also gets it in its file, without the rest of the unsaved changes.
    f.ui.saveFiles = {f.path("p.zel")};
    ASSERT_TRUE(f.session->SaveAs());
    f.session->Project()->WriteString("Project", "Key", "unsaved");
    writeFile(f.dir / "roms/b.rom", "x");
    RememberRomChoice(*f.zelIni, *f.session->Project(), true, f.path("roms/b.rom"));
    const TMyIniFile onDisk(f.path("p.zel"));
    EXPECT_EQ(onDisk.ReadString("Project", "ROMFile", ""), f.path("roms/b.rom"));
    EXPECT_EQ(onDisk.ReadString("Project", "Key", ""), "");

    // A remembered image that is gone: the remembered folder, else RomData.
    fs::remove(f.dir / "roms/b.rom");
    EXPECT_EQ(RomDialogStart(*f.zelIni, *f.session->Project(), work, "v").folder, f.path("roms"));
    fs::remove_all(f.dir / "roms");
    EXPECT_EQ(RomDialogStart(*f.zelIni, *f.session->Project(), work, "v").folder, work + "RomData");
}
