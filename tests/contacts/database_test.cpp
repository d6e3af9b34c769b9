#include "contacts/datamodule.h"
#include "contacts/schema.h"
#include "contacts/sqlfunctions.h"
#include "contacts/sqlitedb.h"

#include "tests/common/qtprint.h"
#include "tests/common/testpaths.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSet>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace telmira::contacts;
using telmira::test::TempDir;

namespace {

QString pathOf(const TempDir& dir) {
    return QString::fromStdString(dir.dir().string());
}

std::unique_ptr<TDataModule1> openModule(const TempDir& dir) {
    DbError error;
    auto module = TDataModule1::Open(pathOf(dir), error);
    EXPECT_TRUE(module) << error.message.toStdString();
    return module;
}

qint64 addContact(TDataModule1& db, const Record& values) {
    qint64 id = -1;
    const DbError error = db.Insert(Table::NoteBook, values, &id);
    EXPECT_FALSE(error) << error.message.toStdString();
    return id;
}

qint64 addCall(TDataModule1& db, const QString& country, const QString& code, const QString& phone,
               int type = 1, QDate date = QDate(2024, 3, 1), QTime time = QTime(12, 0)) {
    qint64 id = -1;
    const DbError error = db.Insert(Table::Archives,
                                    {{"Country", country},
                                     {"Code", code},
                                     {"Phone", phone},
                                     {"Type", type},
                                     {"CallDate", date},
                                     {"CallTime", time},
                                     {"Length", QTime(0, 1, 30)}},
                                    &id);
    EXPECT_FALSE(error) << error.message.toStdString();
    return id;
}

QStringList column(const LiveResult& result, const char* field) {
    QStringList out;
    for (int i = 0; i < result.RecordCount(); ++i)
        out << result.RecordAt(i).value(QString::fromUtf8(field)).toString();
    return out;
}

QStringList scalarColumn(SqliteConnection& db, const QString& sql) {
    QStringList out;
    const DbError error = db.query(sql, {}, [&](const QVariantList& row) {
        out << row.value(0).toString();
        return true;
    });
    EXPECT_FALSE(error) << error.message.toStdString();
    return out;
}

} // namespace

TEST(Database, CreatesEveryTableWithItsFieldsInAWriteAheadLoggedFile) {
    TempDir dir;
    auto db = openModule(dir);
    ASSERT_TRUE(db);
    EXPECT_TRUE(QFile::exists(TDataModule1::DatabasePath(pathOf(dir))));
    for (const TableDef* table : AllTables()) {
        QStringList expected;
        for (const FieldDef& f : table->fields)
            expected << f.name;
        EXPECT_EQ(scalarColumn(db->Connection(),
                               "SELECT name FROM pragma_table_info('" + table->name + "')"),
                  expected);
    }
    EXPECT_EQ(scalarColumn(db->Connection(), "PRAGMA journal_mode"), QStringList{"wal"});
    EXPECT_EQ(NoteBookTable().field("phone3label")->width, 14);
    EXPECT_EQ(ArchivesTable().field("Phone5")->width, 50);
    EXPECT_EQ(MelodyListTable().field("Position")->width, 6);
}

TEST(Database, RepairAddsMissingTablesFieldsAndIndexesAndKeepsRows) {
    TempDir dir;
    std::filesystem::create_directories(dir / "db");
    {
        DbError error;
        auto raw =
            SqliteConnection::open(TDataModule1::DatabasePath(pathOf(dir)), "t", true, error);
        ASSERT_TRUE(raw);
        ASSERT_FALSE(
            raw->exec("CREATE TABLE NoteBook (Id INTEGER PRIMARY KEY AUTOINCREMENT, "
                      "FamilyName VARCHAR(32), Name VARCHAR(32));"
                      "INSERT INTO NoteBook (FamilyName, Name) VALUES ('Петров', 'Пётр');"));
    }
    EXPECT_FALSE(TDataModule1::SetupDatabase(pathOf(dir)));
    auto db = openModule(dir);
    ASSERT_TRUE(db);
    const LiveResult rows = db->Rows(Table::NoteBook);
    ASSERT_EQ(rows.RecordCount(), 1);
    EXPECT_EQ(rows.RecordAt(0).value("Имя").toString(), QStringLiteral("Петров Пётр "));
    EXPECT_EQ(rows.RecordAt(0).value("Phone1Full").toString(), "");
    const QStringList indexes = scalarColumn(
        db->Connection(), "SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name");
    EXPECT_TRUE(indexes.contains("MelodyListPrimary"));
    EXPECT_TRUE(indexes.contains("NoteBookFullTail5"));
    EXPECT_FALSE(db->Insert(Table::MelodyList, {{"MelodySet", 3}, {"Position", "001"}}));
}

TEST(Database, StringsAreCutToTheirFieldWidthLikeTheOldEngineDid) {
    TempDir dir;
    auto db = openModule(dir);
    ASSERT_TRUE(db);
    const QString longName = QString(40, QChar(0x0416)); // Ж x 40
    QString surrogates = QString(31, QLatin1Char('a')) + QString::fromUtf8("\U0001F600\U0001F600");
    const qint64 id = addContact(*db, {{"FamilyName", longName},
                                       {"Name", surrogates},
                                       {"Phone1Country", "12345"},
                                       {"Address", QString(300, QLatin1Char('x'))},
                                       {"MainPhone", ""}});
    const Record r = *db->Read(Table::NoteBook, id);
    EXPECT_EQ(r.value("FamilyName").toString(), QString(32, QChar(0x0416)));
    EXPECT_EQ(r.value("Name").toString(), surrogates.left(33)); // 31 + one whole pair
    EXPECT_EQ(r.value("Phone1Country").toString(), "1234");
    EXPECT_EQ(r.value("Address").toString().size(), 240);
    EXPECT_EQ(r.value("Имя").toString().size(), 32); // the calculated name is cut too
    EXPECT_EQ(scalarColumn(db->Connection(), "SELECT typeof(MainPhone) FROM NoteBook"),
              QStringList{"null"}); // an empty text is a blank field

    // Updates are cut the same way, and other writers meet the limit in the file itself.
    EXPECT_FALSE(db->Update(Table::NoteBook, id, {{"Nick", QString(33, QLatin1Char('n'))}}));
    EXPECT_EQ(db->Read(Table::NoteBook, id)->value("Nick").toString().size(), 32);
    const DbError raw =
        db->Connection().exec("UPDATE NoteBook SET Nick = '" + QString(33, QLatin1Char('n')) + "'");
    EXPECT_EQ(raw.kind, DbError::Invalid);

    // Numbers out of a field's range and unknown fields are refused, not stored.
    EXPECT_EQ(db->Insert(Table::Archives, {{"Type", 70000}}).kind, DbError::Invalid);
    EXPECT_EQ(db->Insert(Table::NoteBook, {{"Surname2", "x"}}).kind, DbError::Invalid);
    EXPECT_EQ(db->Update(Table::NoteBook, id + 100, {{"Nick", "x"}}).kind, DbError::NotFound);
}

TEST(Database, PhoneBookSearchFoldsCyrillicCaseAndOrdersNamesLikeADictionary) {
    TempDir dir;
    auto db = openModule(dir);
    ASSERT_TRUE(db);
    addContact(*db, {{"FamilyName", "Иванов"}, {"Name", "Пётр"}, {"ImportToPhone", true}});
    addContact(*db, {{"FamilyName", "иванова"}, {"Name", "Анна"}});
    addContact(*db, {{"FamilyName", "ЁЛКИН"}, {"Name", "Иван"}});
    addContact(*db, {{"FamilyName", "Сивков"},
                     {"Phone1Country", "7"},
                     {"Phone1City", "495"},
                     {"Phone1", "1234567"}});
    addContact(*db, {{"FamilyName", "Еремин"}, {"Nick", "Рыжий кот"}});
    addContact(*db, {{"Nick", "Abc"}, {"Phone2", "4951234"}});

    auto names = [&](NoteBookSearchForm form, bool filter, const char* search) {
        return column(db->NoteBookQuery(form, filter, QString::fromUtf8(search)), "Имя");
    };
    using F = NoteBookSearchForm;
    EXPECT_EQ(names(F::Start, false, "%"),
              (QStringList{"Abc", QStringLiteral("Еремин "), QStringLiteral("ЁЛКИН Иван "),
                           QStringLiteral("Иванов Пётр "), QStringLiteral("иванова Анна "),
                           QStringLiteral("Сивков ")}));
    EXPECT_EQ(names(F::SingleWord, false, "ИВ%"),
              (QStringList{QStringLiteral("ЁЛКИН Иван "), QStringLiteral("Иванов Пётр "),
                           QStringLiteral("иванова Анна ")}));
    EXPECT_EQ(names(F::SingleWord, true, "ИВ%"), QStringList{QStringLiteral("Иванов Пётр ")});
    EXPECT_EQ(names(F::SingleWord, false, "КОТ%"), QStringList{QStringLiteral("Еремин ")});
    EXPECT_EQ(names(F::SingleWord, false, "%4951234%"),
              (QStringList{"Abc", QStringLiteral("Сивков ")}));
    EXPECT_EQ(names(F::SingleWord, false, "Ив%"), QStringList{}); // patterns come upper-cased
    EXPECT_EQ(names(F::SeveralWords, false, "ПЁТР%ИВАНОВ%"),
              QStringList{QStringLiteral("Иванов Пётр ")});
    EXPECT_EQ(names(F::SeveralWords, false, "ЕРЕМ%РЫЖ%"), QStringList{QStringLiteral("Еремин ")});

    const LiveResult marked = db->ExportNotebookQuery(true);
    EXPECT_EQ(marked.RecordCount(), 1);
    EXPECT_EQ(db->ExportNotebookQuery(false).RecordCount(), 6);
    EXPECT_EQ(ZelUpper(QStringLiteral("ёжик straße")), QStringLiteral("ЁЖИК STRASSE"));
    EXPECT_LT(ZelCompare(QStringLiteral("ежов"), QStringLiteral("Ёлкин")), 0);
    EXPECT_LT(ZelCompare(QStringLiteral("Ёлкин"), QStringLiteral("жуков")), 0);
    EXPECT_TRUE(ZelLike(QStringLiteral("%ИВ_Н%"), QStringLiteral("ПЁТР ИВАНОВ")));
    EXPECT_FALSE(ZelLike(QStringLiteral("ИВ%"), QStringLiteral("ив")));
}

TEST(Database, ArchiveFiltersByTypePeriodAndNumberNewestFirst) {
    TempDir dir;
    auto db = openModule(dir);
    ASSERT_TRUE(db);
    const qint64 a = addCall(*db, "7", "495", "1111111", 1, QDate(2023, 3, 5), QTime(10, 0));
    const qint64 b = addCall(*db, "7", "812", "2222222", 2, QDate(2024, 3, 20), QTime(9, 0));
    const qint64 c = addCall(*db, "", "", "3333333", 0, QDate(2024, 4, 1), QTime(8, 0));
    const qint64 d = addCall(*db, "", "", "", 1, QDate(2024, 3, 20), QTime(9, 0));
    auto ids = [&](int type, int period, QDate d1 = {}, QDate d2 = {}, const char* search = "%") {
        const LiveResult r = db->ArchiveTableQuery({type, period, d1, d2, search});
        EXPECT_FALSE(r.Error()) << r.Error().message.toStdString();
        return r.Keys();
    };
    using V = std::vector<qint64>;
    EXPECT_EQ(ids(0, 2), (V{c, d, b, a})); // by date and time, then Id, all descending
    EXPECT_EQ(ids(1, 2), V{c});
    EXPECT_EQ(ids(4, 2), (V{d, b, a}));
    EXPECT_EQ(ids(3, 2), V{b});
    EXPECT_EQ(ids(0, 1, QDate(2024, 3, 10)), (V{d, b, a})); // March of any year
    EXPECT_EQ(ids(0, 0, QDate(2024, 3, 20)), (V{d, b}));
    EXPECT_EQ(ids(0, 3, QDate(2024, 3, 21), QDate(2024, 4, 1)), V{c});
    EXPECT_EQ(ids(0, 0, QDate()), V{}); // no date, no day
    EXPECT_EQ(ids(0, 2, {}, {}, "%812%"), V{b});
    EXPECT_EQ(ids(0, 2, {}, {}, "%3333%"), V{c});
    EXPECT_EQ(db->ArchivesFrom(0).Keys(), (V{d, c, b, a}));
    EXPECT_EQ(db->ArchivesFrom(c).Keys(), (V{d, c}));

    const LiveResult all = db->ArchiveTableQuery({});
    EXPECT_EQ(all.RecordAt(all.Locate(b)).value("Телефон").toString(), "7(812) 222-22-22");
    EXPECT_EQ(all.RecordAt(all.Locate(d)).value("Телефон").toString(), "[-------]");
    EXPECT_EQ(all.RecordAt(all.Locate(d)).value("Имя1").toString(),
              QStringLiteral("(Номер не определен)"));
    EXPECT_EQ(all.RecordAt(all.Locate(c)).value("Имя1").toString(),
              QStringLiteral("(Неизвестный номер)"));
    EXPECT_EQ(all.RecordAt(all.Locate(c)).value("CalculatedType").toInt(), 0);
}

TEST(Database, CallerMatchingJoinsContactsWhoseNumbersEndWithTheCall) {
    TempDir dir;
    auto db = openModule(dir);
    ASSERT_TRUE(db);
    const qint64 full = addContact(*db, {{"FamilyName", "Полный"},
                                         {"Phone2Country", "7"},
                                         {"Phone2City", "495"},
                                         {"Phone2", "1234567"}});
    const qint64 local = addContact(*db, {{"FamilyName", "Местный"}, {"Phone1", "1234567"}});
    const qint64 other = addContact(*db, {{"FamilyName", "Другой"}, {"Phone1", "7654321"}});
    const qint64 first = addCall(*db, "7", "495", "1234567");
    const qint64 bare = addCall(*db, "", "", "1234567");
    const qint64 none = addCall(*db, "", "", "");
    const qint64 third = addCall(*db, "", "", "54321");

    auto pairs = [&](qint64 bound) {
        const RecordSet set = db->SortArchiveQuery(bound);
        EXPECT_FALSE(set.error) << set.error.message.toStdString();
        std::vector<std::pair<qint64, qint64>> out;
        for (const Record& r : set.rows)
            out.emplace_back(r.value("ArchiveID").toLongLong(), r.value("UserID").toLongLong());
        return out;
    };
    using P = std::vector<std::pair<qint64, qint64>>;
    EXPECT_EQ(pairs(0),
              (P{{third, other}, {bare, full}, {bare, local}, {first, full}, {first, local}}));
    // The call without a number (`none`) joins nobody.
    EXPECT_GT(none, bare);
    EXPECT_EQ(pairs(bare), (P{{third, other}, {bare, full}, {bare, local}}));
    const RecordSet set = db->SortArchiveQuery(third);
    ASSERT_EQ(set.rows.size(), 1u);
    EXPECT_EQ(set.rows[0].value("Phone1").toString(), "7654321");
    EXPECT_EQ(set.rows[0].value("CallDate").toDate(), QDate(2024, 3, 1));

    auto found = [&](const char* number) { return db->ContactSearchByNumberQuery(number).Keys(); };
    using V = std::vector<qint64>;
    EXPECT_EQ(found("74951234567"), (V{full, local}));
    EXPECT_EQ(found("84951234567"), (V{full, local})); // both local parts end it
    EXPECT_EQ(found("4567"), (V{full, local}));
    EXPECT_EQ(found("67"), (V{full, local})); // short numbers go the slow way
    EXPECT_EQ(found(""), V{});
}

// The indexed caller matching must return exactly the rows of the plain join, whatever the
// numbers hold: short parts, wildcards, blanks stored as NULL or as empty text.
TEST(Database, IndexedCallerMatchingReturnsTheRowsOfThePlainJoin) {
    TempDir dir;
    auto db = openModule(dir);
    ASSERT_TRUE(db);
    std::srand(12345);
    const char* alphabet = "0123456789_%";
    auto randomNumber = [&](int maxLength, bool wild) {
        QString out;
        const int length = std::rand() % (maxLength + 1);
        for (int i = 0; i < length; ++i)
            out += QLatin1Char(alphabet[std::rand() % (wild && std::rand() % 8 == 0 ? 12 : 3)]);
        return out;
    };
    ASSERT_FALSE(db->RunInTransaction([&]() -> DbError {
        for (int i = 0; i < 150; ++i) {
            Record contact{{"Name", QString::number(i)}};
            for (int n = 1; n <= 5; ++n) {
                const QString p = QStringLiteral("Phone%1").arg(n);
                contact.insert(p + "Country", randomNumber(1, false));
                contact.insert(p + "City", randomNumber(3, false));
                contact.insert(p, randomNumber(7, true));
            }
            if (DbError e = db->Insert(Table::NoteBook, contact))
                return e;
        }
        for (int i = 0; i < 120; ++i)
            if (DbError e = db->Insert(Table::Archives, {{"Country", randomNumber(1, false)},
                                                         {"Code", randomNumber(3, false)},
                                                         {"Phone", randomNumber(7, true)}}))
                return e;
        // Blanks written by another program as empty text rather than NULL.
        return db->Connection().exec("UPDATE NoteBook SET Phone1 = '' WHERE Id % 7 = 0;"
                                     "UPDATE Archives SET Phone = '' WHERE Id % 9 = 0;");
    }));
    auto rows = [&](const QString& sql, const SqlParams& params) {
        QStringList out;
        EXPECT_FALSE(db->Connection().query(sql, params, [&](const QVariantList& row) {
            out << row.value(0).toString() + "/" + row.value(1).toString();
            return true;
        }));
        return out;
    };
    for (qint64 bound : {0, 60}) {
        const QStringList plain = rows(SortArchiveQuerySql(false), {{"CurrentId", bound}});
        EXPECT_GT(plain.size(), 20);
        EXPECT_EQ(rows(SortArchiveQuerySql(true), {{"CurrentId", bound}}), plain);
    }
    int compared = 0;
    for (int i = 0; i < 200; ++i) {
        const QString number = randomNumber(11, false);
        if (!CanSearchNumberByTail(number))
            continue;
        ++compared;
        EXPECT_EQ(rows(ContactSearchByNumberQuerySql(true), {{"Search", number}}),
                  rows(ContactSearchByNumberQuerySql(false), {{"Search", number}}))
            << number.toStdString();
    }
    EXPECT_GT(compared, 50);
}

TEST(Database, MelodyPositionsAreUniqueInsideASet) {
    TempDir dir;
    auto db = openModule(dir);
    ASSERT_TRUE(db);
    qint64 row = 0;
    ASSERT_FALSE(db->Insert(Table::MelodyList,
                            {{"MelodySet", 3}, {"Position", "002"}, {"Name", "Вальс"}, {"Type", 1}},
                            &row));
    ASSERT_FALSE(
        db->Insert(Table::MelodyList,
                   {{"MelodySet", 3}, {"Position", "00"}, {"Name", "Раздел"}, {"Type", 4}}));
    ASSERT_FALSE(db->Insert(Table::MelodyList, {{"MelodySet", 4}, {"Position", "002"}}));
    const DbError twice = db->Insert(Table::MelodyList, {{"MelodySet", 3}, {"Position", "002"}});
    EXPECT_EQ(twice.kind, DbError::Unique);
    EXPECT_TRUE(twice.message.contains("002")) << twice.message.toStdString();
    const auto section = db->LocateMelody(Table::MelodyList, 3, "00");
    ASSERT_TRUE(section);
    EXPECT_EQ(db->Update(Table::MelodyList, *section, {{"Position", "002"}}).kind, DbError::Unique);

    const LiveResult set3 = db->MelodyRows(Table::MelodyList, {3, {}});
    EXPECT_EQ(column(set3, "Имя"),
              (QStringList{QStringLiteral("Раздел"), QStringLiteral("002 - Вальс")}));
    EXPECT_EQ(db->MelodyRows(Table::MelodyList, {{}, {1}}).Keys(), std::vector<qint64>{row});
    EXPECT_EQ(db->Insert(Table::Template, {{"MelodySet", 1}}).kind, DbError::ReadOnly);
    db->SetTemplateWritable(true);
    EXPECT_FALSE(db->Insert(Table::Template, {{"MelodySet", 1}, {"Position", "001"}}));
}

TEST(Database, APostIsVisibleToAnotherConnectionAtOnce) {
    TempDir dir;
    auto db = openModule(dir);
    ASSERT_TRUE(db);
    DbError error;
    auto other =
        SqliteConnection::open(TDataModule1::DatabasePath(pathOf(dir)), "other", false, error);
    ASSERT_TRUE(other) << error.message.toStdString();
    const qint64 id = addContact(*db, {{"Nick", "Сразу"}});
    EXPECT_EQ(scalarColumn(*other, "SELECT Nick FROM NoteBook WHERE Id = " + QString::number(id)),
              QStringList{QStringLiteral("Сразу")});
    ASSERT_FALSE(db->Delete(Table::NoteBook, id));
    EXPECT_EQ(scalarColumn(*other, "SELECT count(*) FROM NoteBook"), QStringList{"0"});
}

TEST(Database, ADamagedFileIsReportedAndLeftAsItWas) {
    TempDir dir;
    std::filesystem::create_directories(dir / "db");
    const auto file = dir / "db" / "zel.sqlite";
    const std::string garbage(8192, 'x');
    telmira::test::writeFile(file, garbage);
    DbError error;
    EXPECT_FALSE(TDataModule1::Open(pathOf(dir), error));
    EXPECT_EQ(error.kind, DbError::Corrupt);
    EXPECT_TRUE(error.message.contains("zel.sqlite"));
    EXPECT_EQ(telmira::test::readFile(file), garbage);

    // A real database whose pages were overwritten in the middle.
    TempDir dir2;
    {
        auto db = openModule(dir2);
        ASSERT_TRUE(db);
        ASSERT_FALSE(db->RunInTransaction([&]() -> DbError {
            for (int i = 0; i < 300; ++i)
                if (DbError e = db->Insert(Table::NoteBook,
                                           {{"FamilyName", QString(30, QChar(0x0410 + i % 32))},
                                            {"Address", QString(200, QLatin1Char('a'))}}))
                    return e;
            return {};
        }));
        ASSERT_FALSE(db->Connection().exec("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    const auto file2 = dir2 / "db" / "zel.sqlite";
    std::string bytes = telmira::test::readFile(file2);
    ASSERT_GT(bytes.size(), 40000u);
    for (size_t i = 20000; i < 36000; ++i)
        bytes[i] = char(0xA5);
    telmira::test::writeFile(file2, bytes);
    EXPECT_FALSE(TDataModule1::Open(pathOf(dir2), error));
    EXPECT_EQ(error.kind, DbError::Corrupt) << error.message.toStdString();
    EXPECT_EQ(telmira::test::readFile(file2), bytes);
}

TEST(Database, AnUnwritableFileIsReportedNotReplaced) {
    TempDir dir;
    {
        auto db = openModule(dir);
        ASSERT_TRUE(db);
        addContact(*db, {{"Nick", "Старый"}});
    }
    const auto folder = dir / "db";
    const auto file = folder / "zel.sqlite";
    const std::string before = telmira::test::readFile(file);
    ::chmod(file.c_str(), 0444);
    ::chmod(folder.c_str(), 0555);
    ::chmod(dir.dir().c_str(), 0755);
    // Permissions bind root only through another user: the check runs in a child that gives
    // up root first when there is root to give up.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(90);
        DbError error;
        auto db = TDataModule1::Open(pathOf(dir), error);
        _exit(db ? 91 : int(error.kind));
    }
    int status = 0;
    waitpid(child, &status, 0);
    ::chmod(folder.c_str(), 0755);
    ::chmod(file.c_str(), 0644);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), int(DbError::ReadOnly));
    EXPECT_EQ(telmira::test::readFile(file), before);
}

TEST(Database, AWriterKilledMidTransactionLosesNothingCommitted) {
    TempDir dir;
    {
        auto db = openModule(dir);
        ASSERT_TRUE(db);
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DbError error;
        auto db = TDataModule1::Open(pathOf(dir), error);
        if (!db)
            _exit(2);
        for (int i = 0; i < 10; ++i)
            if (db->Insert(Table::NoteBook, {{"Nick", QString::number(i)}}))
                _exit(3);
        db->RunInTransaction([&]() -> DbError {
            for (int i = 0; i < 5; ++i)
                db->Insert(Table::NoteBook, {{"Nick", "uncommitted"}});
            ::raise(SIGKILL); // the writer dies with the transaction open
            return {};
        });
        _exit(4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child exit " << WEXITSTATUS(status);
    auto db = openModule(dir);
    ASSERT_TRUE(db);
    EXPECT_EQ(column(db->Rows(Table::NoteBook), "Nick"),
              (QStringList{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
    EXPECT_EQ(scalarColumn(db->Connection(), "PRAGMA integrity_check"), QStringList{"ok"});
}

// The texts the module runs (registered LIKE helpers, the archive filter cut to its parameter
// values) must return exactly the rows of the literal translations.
TEST(Database, FastQueryTextsReturnTheRowsOfTheLiteralOnes) {
    TempDir dir;
    auto db = openModule(dir);
    ASSERT_TRUE(db);
    std::srand(777);
    const QString letters = QStringLiteral("аАбБёЁеЕиИвВzZ 5_");
    auto randomText = [&](int maxLength) {
        QString out;
        const int length = std::rand() % (maxLength + 1);
        for (int i = 0; i < length; ++i)
            out += letters[std::rand() % letters.size()];
        return out;
    };
    auto randomDigits = [&](int maxLength) {
        QString out;
        const int length = std::rand() % (maxLength + 1);
        for (int i = 0; i < length; ++i)
            out += QLatin1Char("0123456789"[std::rand() % 3]);
        return out;
    };
    ASSERT_FALSE(db->RunInTransaction([&]() -> DbError {
        for (int i = 0; i < 200; ++i) {
            Record c{{"FamilyName", randomText(4)},
                     {"Name", randomText(3)},
                     {"SurName", randomText(3)},
                     {"Nick", randomText(4)},
                     {"ImportToPhone", std::rand() % 2 == 0}};
            for (int n = 1; n <= 5; ++n) {
                c.insert(QStringLiteral("Phone%1Country").arg(n), randomDigits(1));
                c.insert(QStringLiteral("Phone%1City").arg(n), randomDigits(2));
                c.insert(QStringLiteral("Phone%1").arg(n), randomDigits(4));
            }
            if (DbError e = db->Insert(Table::NoteBook, c))
                return e;
        }
        for (int i = 0; i < 300; ++i) {
            const QDate date = QDate(2022, 1, 1).addDays(std::rand() % 900);
            if (DbError e = db->Insert(Table::Archives,
                                       {{"Country", randomDigits(1)},
                                        {"Code", randomDigits(2)},
                                        {"Phone", randomDigits(4)},
                                        {"Type", std::rand() % 3},
                                        {"CallDate", date},
                                        {"CallTime", QTime(std::rand() % 24, std::rand() % 4)}}))
                return e;
        }
        return {};
    }));
    auto keys = [&](const QString& sql, const SqlParams& params) {
        QStringList out;
        const DbError error = db->Connection().query(sql, params, [&](const QVariantList& row) {
            out << row.value(0).toString();
            return true;
        });
        EXPECT_FALSE(error) << error.message.toStdString() << "\n" << sql.toStdString();
        return out;
    };

    const char* patterns[] = {"%",      "",   "%%", "А%",  "%Б%", "_А%",  "ИВ%",
                              "АБ%ВГ%", "%Ё", "Е%", "%5%", "12%", "0%1",  "___",
                              "%_%_",   "Z%", "Z",  "z%",  "% %", "%А%Е%"};
    int nonEmpty = 0;
    for (auto form : {NoteBookSearchForm::Start, NoteBookSearchForm::SeveralWords}) {
        for (int filter : {0, 1}) {
            for (const char* pattern : patterns) {
                const SqlParams params{{"FilterType", filter},
                                       {"Search", QString::fromUtf8(pattern)}};
                const QStringList literal =
                    keys(NoteBookQuerySql(form, "Id", QueryText::Literal), params);
                nonEmpty += literal.isEmpty() ? 0 : 1;
                EXPECT_EQ(keys(NoteBookQuerySql(form, "Id", QueryText::Fast), params), literal)
                    << pattern << " form " << int(form) << " filter " << filter;
            }
        }
    }
    EXPECT_GT(nonEmpty, 40);

    int archiveRows = 0;
    for (int type = -1; type <= 5; ++type) {
        for (int period = -1; period <= 4; ++period) {
            for (const char* search : {"%", "%1%", "2%", "_0%"}) {
                ArchiveFilter filter{type, period, QDate(2022, 1, 1).addDays(std::rand() % 900),
                                     QDate(2022, 1, 1).addDays(std::rand() % 900), search};
                if (std::rand() % 8 == 0)
                    filter.date1 = QDate();
                const SqlParams params{{"FilterType", filter.filterType},
                                       {"DateFilter", filter.dateFilter},
                                       {"Date1", filter.date1.isValid()
                                                     ? QVariant(filter.date1.toString(Qt::ISODate))
                                                     : QVariant()},
                                       {"Date2", filter.date2.toString(Qt::ISODate)},
                                       {"Search", filter.search}};
                const QStringList literal = keys(ArchiveTableQuerySql("Id"), params);
                archiveRows += int(literal.size());
                EXPECT_EQ(keys(ArchiveTableQuerySql("Id", filter), params), literal)
                    << type << " " << period << " " << search;
            }
        }
    }
    EXPECT_GT(archiveRows, 1000);
}
