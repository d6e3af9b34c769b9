// Query speed of the contact tables at scale: 20 000 contacts and 200 000 call records.
// Goal: each query (with the first screen of records read) under 50 ms.
#include "contacts/datamodule.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>

using namespace telmira::contacts;

namespace {

const char* kFamilies[] = {"Иванов",   "Петров",   "Сидоров",  "Кузнецов", "Смирнов", "Попов",
                           "Васильев", "Соколов",  "Михайлов", "Новиков",  "Фёдоров", "Морозов",
                           "Волков",   "Алексеев", "Лебедев",  "Семёнов",  "Егоров",  "Павлов",
                           "Козлов",   "Степанов", "Николаев", "Орлов",    "Андреев", "Макаров"};
const char* kNames[] = {"Иван",    "Пётр",  "Сергей",  "Анна",   "Мария", "Ольга",  "Алексей",
                        "Дмитрий", "Елена", "Наталья", "Андрей", "Юлия",  "Михаил", "Татьяна"};
const char* kCities[] = {"495", "499", "812", "383", "343", "916", "903", "926", "985"};

constexpr int kContacts = 20000;
constexpr int kCalls = 200000;

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<TDataModule1> db;
    qint64 newestId = 0;
    QString knownNumber;
};

Fixture* fixture = nullptr;

QString localPart(std::mt19937& random) {
    return QString::number(1000000 + random() % 9000000);
}

bool build(Fixture& f) {
    DbError error;
    f.db = TDataModule1::Open(f.dir.path(), error);
    if (!f.db) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message));
        return false;
    }
    std::mt19937 random(2026);
    std::vector<std::pair<QString, QString>> numbers; // city, local
    error = f.db->RunInTransaction([&]() -> DbError {
        for (int i = 0; i < kContacts; ++i) {
            const bool female = random() % 2;
            Record c{{"FamilyName", QString::fromUtf8(kFamilies[random() % 24]) +
                                        (female ? QStringLiteral("а") : QString())},
                     {"Name", QString::fromUtf8(kNames[random() % 14])},
                     {"ImportToPhone", random() % 3 == 0}};
            const int count = 1 + int(random() % 3);
            for (int n = 1; n <= count; ++n) {
                const QString city = QString::fromLatin1(kCities[random() % 9]);
                const QString local = localPart(random);
                c.insert(QStringLiteral("Phone%1Country").arg(n), "7");
                c.insert(QStringLiteral("Phone%1City").arg(n), city);
                c.insert(QStringLiteral("Phone%1").arg(n), local);
                numbers.emplace_back(city, local);
            }
            if (DbError e = f.db->Insert(Table::NoteBook, c))
                return e;
        }
        QDate date(2020, 1, 1);
        for (int i = 0; i < kCalls; ++i) {
            if (i % 110 == 0)
                date = date.addDays(1);
            const bool known = random() % 2;
            const auto& number = numbers[random() % numbers.size()];
            Record call{{"Country", known ? "7" : ""},
                        {"Code", known ? number.first : QString()},
                        {"Phone", known ? number.second : localPart(random)},
                        {"Type", int(random() % 3)},
                        {"CallDate", date},
                        {"CallTime", QTime(int(random() % 24), int(random() % 60))},
                        {"Length", QTime(0, int(random() % 10), int(random() % 60))}};
            if (DbError e = f.db->Insert(Table::Archives, call, &f.newestId))
                return e;
        }
        return {};
    });
    if (error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message));
        return false;
    }
    f.knownNumber = "7" + numbers[777].first + numbers[777].second;
    return true;
}

// Opening a query and reading the first screen of records, as a grid does.
void readScreen(const LiveResult& result) {
    for (int i = 0; i < std::min(30, result.RecordCount()); ++i)
        benchmark::DoNotOptimize(result.RecordAt(i));
}

void PhoneBookSearch(benchmark::State& state) {
    for (auto _ : state) {
        LiveResult r = fixture->db->NoteBookQuery(NoteBookSearchForm::SingleWord, false,
                                                  QStringLiteral("ПЕТРОВА%"));
        readScreen(r);
        state.counters["rows"] = r.RecordCount();
    }
}

void PhoneBookSearchSeveralWords(benchmark::State& state) {
    for (auto _ : state) {
        LiveResult r = fixture->db->NoteBookQuery(NoteBookSearchForm::SeveralWords, false,
                                                  QStringLiteral("АННА%ПЕТРОВА%"));
        readScreen(r);
        state.counters["rows"] = r.RecordCount();
    }
}

void ArchiveFilterQuery(benchmark::State& state) {
    for (auto _ : state) {
        LiveResult r = fixture->db->ArchiveTableQuery(
            {4, 1, QDate(2024, 3, 15), QDate(), QStringLiteral("%495%")});
        readScreen(r);
        state.counters["rows"] = r.RecordCount();
    }
}

void CallerMatchingNewest100(benchmark::State& state) {
    for (auto _ : state) {
        RecordSet r = fixture->db->SortArchiveQuery(fixture->newestId - 99);
        state.counters["rows"] = double(r.rows.size());
    }
}

void ContactSearchByNumber(benchmark::State& state) {
    for (auto _ : state) {
        LiveResult r = fixture->db->ContactSearchByNumberQuery(fixture->knownNumber);
        readScreen(r);
        state.counters["rows"] = r.RecordCount();
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Fixture f;
    // TELMIRA_BENCH_KEEP=1 keeps the database for a look at the query plans.
    if (qEnvironmentVariableIsSet("TELMIRA_BENCH_KEEP")) {
        f.dir.setAutoRemove(false);
        std::fprintf(stderr, "database kept in %s\n", qPrintable(f.dir.path()));
    }
    std::fprintf(stderr, "building %d contacts and %d calls...\n", kContacts, kCalls);
    if (!build(f))
        return 1;
    fixture = &f;
    const char* goal = "goal < 50 ms";
    benchmark::RegisterBenchmark("phone-book search", PhoneBookSearch)
        ->Unit(benchmark::kMillisecond)
        ->Name("phone-book search (" + std::string(goal) + ")");
    benchmark::RegisterBenchmark("x", PhoneBookSearchSeveralWords)
        ->Unit(benchmark::kMillisecond)
        ->Name("phone-book search, several words (" + std::string(goal) + ")");
    benchmark::RegisterBenchmark("x", ArchiveFilterQuery)
        ->Unit(benchmark::kMillisecond)
        ->Name("archive filter query (" + std::string(goal) + ")");
    benchmark::RegisterBenchmark("x", CallerMatchingNewest100)
        ->Unit(benchmark::kMillisecond)
        ->Name("caller matching, SortArchiveQuery newest 100 (" + std::string(goal) + ")");
    benchmark::RegisterBenchmark("x", ContactSearchByNumber)
        ->Unit(benchmark::kMillisecond)
        ->Name("caller matching, ContactSearchByNumberQuery (" + std::string(goal) + ")");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fixture = nullptr;
    return 0;
}
