#include "project/descriptions.h"

#include "tests/common/testpaths.h"

#include "base/cp1251.h"

#include <gtest/gtest.h>

using namespace telmira;
using telmira::test::TempDir;

namespace {

void writeText(const std::filesystem::path& path, const std::string& utf8) {
    test::writeFile(path, utf8ToCp1251(utf8));
}

QString str(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

const char* const kZelIni = "[ProjectDefs]\r\n"
                            "1=Name=Корвел 28 Талви; FileName=korv28.def; Code=1;\r\n"
                            "2=Name=Корвел 28 Талви, 2 языка; FileName=korv28v.def; Code=2;\r\n"
                            "3=Name=Без файла; Code= 7 ;\r\n"
                            "4=FileName=other.def; Code=9;\r\n";

const char* const kDescription = "[Common]\r\nVer=2.1.0.0\r\n"
                                 "[Lines]\r\n0=Name=KBD0; Address=0000;\r\n"
                                 "16=Name=Нет линии; Address=0040; Hint=Никуда;\r\n"
                                 "[Keys]\r\n1=Name=1; Code=01; CalcKey=0;\r\n"
                                 "2=Name=Без кода; CalcKey=0;\r\n"
                                 "101=Name=+; Code=60; CalcKey=1;\r\n"
                                 "[Devices]\r\n1=Name=VSCL; Code=01;\r\n"
                                 "[DefaultValues]\r\n1=Type=spinedit; Name=Громкость;\r\n"
                                 "[MelodySet]\r\nMelodySet=Стандартный набор\r\n"
                                 "[SetData]\r\n0=abc\r\n1=d=e;f\r\n"
                                 "[ServiceArea]\r\nx=Name=Ячейка 0; ImageIndex=3;\r\n"
                                 "y=Name=Ячейка 1;\r\n";

struct WorkDir {
    TempDir dir;
    std::unique_ptr<TMyMemIniFile> zelIni;
    WorkDir() {
        writeText(dir / "zel.ini", kZelIni);
        writeText(dir / "korv28v.def", kDescription);
        writeText(dir / "korv28.def", "[Lines]\r\n5=Name=KBD5; Address=0005;\r\n");
        zelIni = std::make_unique<TMyMemIniFile>(str(dir / "zel.ini"));
    }
    QString path() const { return str(dir.dir()); }
};

} // namespace

TEST(ProjectDefsTest, EntriesAndLookupsWithFallbacks) {
    WorkDir work;
    const ProjectDefs defs = ProjectDefs::Read(*work.zelIni);
    ASSERT_EQ(defs.Entries().size(), 4);
    EXPECT_EQ(defs.Entries()[1].name, QStringLiteral("Корвел 28 Талви, 2 языка"));
    EXPECT_EQ(defs.Entries()[1].fileName, QStringLiteral("korv28v.def"));

    EXPECT_EQ(defs.FileNameForKey("2"), QStringLiteral("korv28v.def"));
    EXPECT_EQ(defs.NameForKey("2"), QStringLiteral("Корвел 28 Талви, 2 языка"));
    // A missing entry or field takes the fallbacks.
    EXPECT_EQ(defs.FileNameForKey("9"), QStringLiteral("korv28.def"));
    EXPECT_EQ(defs.NameForKey("9"), QStringLiteral("Корвел 28 Талви"));
    EXPECT_EQ(defs.FileNameForKey("3"), QStringLiteral("korv28.def"));
    EXPECT_EQ(defs.NameForKey("4"), QStringLiteral("Корвел 28 Талви"));

    // Codes compare after trimming and upper-casing.
    EXPECT_EQ(defs.FileNameForCode(" 2", "none"), QStringLiteral("korv28v.def"));
    EXPECT_EQ(defs.FileNameForCode("9", "none"), QStringLiteral("other.def"));
    EXPECT_EQ(defs.FileNameForCode("5", "none"), QStringLiteral("none"));
    EXPECT_EQ(defs.FileNameForCode("", "none"), QStringLiteral("none"));
    EXPECT_EQ(defs.FileNameForCode("7", "none"), QStringLiteral("none")); // entry without file
    EXPECT_EQ(defs.NameForCode("7", "none"), QStringLiteral("Без файла"));
}

TEST(PhoneDescriptionTest, LoadsTheFourListsOfAVersion) {
    WorkDir work;
    PhoneDescription description;
    description.LoadForVersion(*work.zelIni, "2", work.path());
    ASSERT_TRUE(description.IsLoaded());
    EXPECT_EQ(description.VersionName(), QStringLiteral("Корвел 28 Талви, 2 языка"));
    EXPECT_EQ(description.FileName(), QStringLiteral("korv28v.def"));
    EXPECT_EQ(description.Lines(),
              (QStringList{QStringLiteral("0=Name=KBD0; Address=0000;"),
                           QStringLiteral("16=Name=Нет линии; Address=0040; Hint=Никуда;")}));
    EXPECT_EQ(description.Keys().size(), 3);
    EXPECT_EQ(description.Devices().size(), 1);
    EXPECT_EQ(description.Variables().size(), 1);
    EXPECT_EQ(description.Ver(), QStringLiteral("2.1.0.0"));
    EXPECT_EQ(description.MelodySetName(), QStringLiteral("Стандартный набор"));
    EXPECT_EQ(description.SetData(), (QStringList{"0=abc", "1=d=e;f"}));
    const auto cells = description.ServiceArea();
    ASSERT_EQ(cells.size(), 2);
    EXPECT_EQ(cells[0].name, QStringLiteral("Ячейка 0"));
    EXPECT_EQ(cells[0].imageIndex, 3);
    EXPECT_EQ(cells[1].imageIndex, -1);

    // Loading another version refills every list.
    description.LoadForVersion(*work.zelIni, "7", work.path());
    EXPECT_EQ(description.FileName(), QStringLiteral("korv28.def"));
    EXPECT_EQ(description.Lines(), QStringList{"5=Name=KBD5; Address=0005;"});
    EXPECT_TRUE(description.Keys().isEmpty());
    EXPECT_EQ(description.Ver(), QStringLiteral("2.0.0.0"));
}

TEST(PhoneDescriptionTest, MissingOrUnsafeFilesLoadAsEmptyDescriptions) {
    WorkDir work;
    test::writeFile(work.dir / "outside.def", "[Lines]\r\n0=Name=X; Address=0000;\r\n");
    std::filesystem::create_directories(work.dir / "sub" / "folder.def");
    struct Case {
        std::string project;
        QString fileName;
        QString versionName;
    };
    const Case cases[] = {
        {"[Project]\r\nDefFile=missing.def\r\nDefName=Нет\r\n", "missing.def", "Нет"},
        {"[Project]\r\nDefFile=../outside.def\r\n", "../outside.def", "Корвел 28 Талви"},
        {"[Project]\r\nDefFile=folder.def\r\n", "folder.def", "Корвел 28 Талви"},
    };
    for (const Case& c : cases) {
        const auto project =
            TMyMemIniFile::fromBytes(QByteArray::fromStdString(utf8ToCp1251(c.project)));
        PhoneDescription description;
        // The work directory is "sub": a path leading out of it is not followed.
        description.LoadForProject(*project, work.path() + "/sub");
        EXPECT_TRUE(description.IsLoaded());
        EXPECT_EQ(description.FileName(), c.fileName);
        EXPECT_EQ(description.VersionName(), c.versionName);
        EXPECT_TRUE(description.Lines().isEmpty()) << c.project;
        EXPECT_TRUE(description.PhoneSetup().isEmpty());
        EXPECT_TRUE(description.ServiceArea().isEmpty());
    }

    // Without DefFile and DefName the fallbacks name the file and the version.
    const auto empty = TMyMemIniFile::fromBytes(QByteArray());
    PhoneDescription description;
    description.LoadForProject(*empty, work.path());
    EXPECT_EQ(description.FileName(), QStringLiteral("korv28.def"));
    EXPECT_EQ(description.VersionName(), QStringLiteral("Корвел 28 Талви"));
    EXPECT_EQ(description.Lines().size(), 1);
    description.Release();
    EXPECT_FALSE(description.IsLoaded());
    EXPECT_EQ(description.Ver(), QStringLiteral("2.0.0.0"));
}

TEST(DescriptionLookups, ByIdentifierByFieldAndHexadecimalFields) {
    const QStringList keys = {"1=Name=1; Code=01;", "2=Name=Без кода;", " 17 =Name=x; Code=;",
                              "101=Name=+; Code=60;"};
    EXPECT_EQ(IndexById(keys, "101"), 3);
    EXPECT_EQ(IndexById(keys, "17"), 2);
    EXPECT_EQ(IndexById(keys, "5"), -1);
    EXPECT_EQ(RecordById(keys, "101"), QStringLiteral("Name=+; Code=60;"));
    EXPECT_EQ(IndexByField(keys, "Code", "60"), 3);
    // Records lacking the field never match, even an empty value; an empty field does.
    EXPECT_EQ(IndexByField(keys, "Code", ""), 2);
    EXPECT_EQ(IndexByField(keys, "Code", "6"), -1);

    struct Case {
        QString record;
        int value;
    };
    const Case cases[] = {{"Code=0A;", 10},    {"Address=0040;", 64}, {"Code=zz;", -1},
                          {"Name=x;", -1},     {"Code=;", -1},        {"Code=-1;", -1},
                          {"Address=000F", 15}};
    for (const Case& c : cases)
        EXPECT_EQ(HexFieldOf(c.record, c.record.startsWith("Address") ? "Address" : "Code"),
                  c.value)
            << c.record.toStdString();
}

TEST(ConnectedPhoneSection, FindsTheDescriptionOfThePhoneOrSaysWhy) {
    WorkDir work;
    writeText(work.dir / "korv28.def", "[PhoneSetup]\r\n1=Type=delimiter; Name=Звонок;\r\n");
    TMyIniFile zelIni(str(work.dir / "zel.ini"));
    const QString korv28 = str(work.dir / "korv28.def");

    SetupSection ok = ReadConnectedPhoneSection(zelIni, work.path(), true, 1, "PhoneSetup");
    EXPECT_EQ(ok.errorText, QString());
    EXPECT_EQ(ok.lines, QStringList{QStringLiteral("1=Type=delimiter; Name=Звонок;")});
    EXPECT_EQ(ok.filePath, korv28);

    struct Case {
        bool linkUp;
        int code;
        QString section;
        QString error;
    };
    const Case cases[] = {
        {true, 5, "PhoneSetup",
         QStringLiteral("Отсутствует строка описания в разделе [ProjectDefs] для Code=5")},
        {true, 2, "PhoneSetup",
         QStringLiteral("Отсутствует секция [PhoneSetup] в файле ") +
             str(work.dir / "korv28v.def")},
        {true, 9, "AutoSetup",
         QStringLiteral("Отсутствует файл описаний версии ") + str(work.dir / "other.def")},
        // With the link down the code last reported is used.
        {false, 0, "AutoSetup",
         QStringLiteral("Отсутствует файл описаний версии ") + str(work.dir / "other.def")},
    };
    for (const Case& c : cases) {
        const SetupSection result =
            ReadConnectedPhoneSection(zelIni, work.path(), c.linkUp, c.code, c.section);
        EXPECT_TRUE(result.lines.isEmpty());
        EXPECT_EQ(result.errorText, c.error);
    }
    EXPECT_EQ(zelIni.ReadInteger("PhoneSetup", "LastPhoneType", 0), 9);

    // Without a remembered code the link-down default is 1.
    zelIni.DeleteKey("PhoneSetup", "LastPhoneType");
    const SetupSection down =
        ReadConnectedPhoneSection(zelIni, work.path(), false, 0, "PhoneSetup");
    EXPECT_EQ(down.errorText, QString());
    EXPECT_EQ(down.filePath, korv28);
    EXPECT_EQ(ErrorTitle(), QStringLiteral(" Ошибка"));
}
