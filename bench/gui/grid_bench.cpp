// The record grid at scale: the call archive with 200 000 calls, read through the contacts data
// module as the archive tab reads it, drawn offscreen. Goal: the first paint of a freshly opened
// result and a Page Down (with its paint) each under 50 ms, so the window never stalls.
#include "contacts/datamodule.h"
#include "contacts/recordgridmodel.h"
#include "contacts/recordlooks.h"
#include "gui/contacts/dbctrlgrid.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>

using namespace telmira::contacts;

namespace {

constexpr int kCalls = 200000;

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<TDataModule1> db;
};

Fixture* fixture = nullptr;

bool build(Fixture& f) {
    DbError error;
    f.db = TDataModule1::Open(f.dir.path(), error);
    if (!f.db) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message));
        return false;
    }
    std::mt19937 random(2026);
    error = f.db->RunInTransaction([&]() -> DbError {
        qint64 contact = 0;
        for (int i = 0; i < 500; ++i) {
            Record c{{"FamilyName", QStringLiteral("Абонент %1").arg(i)},
                     {"Phone1Country", "7"},
                     {"Phone1City", "495"},
                     {"Phone1", QString::number(2000000 + i)}};
            if (DbError e = f.db->Insert(Table::NoteBook, c, &contact))
                return e;
        }
        QDate date(2020, 1, 1);
        for (int i = 0; i < kCalls; ++i) {
            if (i % 110 == 0)
                date = date.addDays(1);
            const bool known = random() % 2;
            Record call{{"Country", "7"},
                        {"Code", "495"},
                        {"Phone", QString::number(known ? 2000000 + random() % 500
                                                        : 1000000 + random() % 9000000)},
                        {"Type", int(random() % 3)},
                        {"CallDate", date},
                        {"CallTime", QTime(int(random() % 24), int(random() % 60))},
                        {"Length", QTime(0, int(random() % 10), int(random() % 60))}};
            if (known)
                call.insert("User1", contact - qint64(random() % 500));
            if (DbError e = f.db->Insert(Table::Archives, call))
                return e;
        }
        return {};
    });
    if (error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message));
        return false;
    }
    return true;
}

// A grid of the archive tab's size on a 1280-pixel screen: two columns.
struct Window {
    TRecordGridModel model;
    TDBCtrlGrid grid{ArchiveRecordLook()};
    QImage image{QSize(1200, 700), QImage::Format_RGB32};

    Window() {
        grid.SetMinColumnWidth(600);
        grid.resize(image.size());
        grid.SetModel(&model);
    }
    void paint() { grid.render(&image); }
    void key(int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&grid, &press);
    }
};

// A freshly opened result (no record read yet) shown and painted.
void FirstPaint(benchmark::State& state) {
    Window w;
    for (auto _ : state) {
        state.PauseTiming();
        LiveResult result = fixture->db->ArchiveTableQuery(ArchiveFilter());
        state.ResumeTiming();
        w.model.SetResult(std::move(result));
        w.paint();
    }
    state.counters["records"] = w.model.rowCount();
    state.counters["in view"] = double(w.grid.Places().size());
}

// Page Down and the paint that follows, through the whole result from a fresh start.
void PageDown(benchmark::State& state) {
    Window w;
    w.model.SetResult(fixture->db->ArchiveTableQuery(ArchiveFilter()));
    w.paint();
    for (auto _ : state) {
        if (w.grid.CurrentRow() + 1 >= w.model.rowCount()) {
            state.PauseTiming();
            w.model.SetResult(fixture->db->ArchiveTableQuery(ArchiveFilter()));
            w.paint();
            state.ResumeTiming();
        }
        w.key(Qt::Key_PageDown);
        w.paint();
    }
    state.counters["top"] = w.grid.TopRow();
}

// End: to the last page of the result, with its paint.
void End(benchmark::State& state) {
    Window w;
    for (auto _ : state) {
        state.PauseTiming();
        w.model.SetResult(fixture->db->ArchiveTableQuery(ArchiveFilter()));
        w.paint();
        state.ResumeTiming();
        w.key(Qt::Key_End);
        w.paint();
    }
    state.counters["top"] = w.grid.TopRow();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Fixture f;
    std::fprintf(stderr, "building %d calls...\n", kCalls);
    if (!build(f))
        return 1;
    fixture = &f;
    benchmark::RegisterBenchmark("record grid: first paint of 200 000 calls (goal < 50 ms)",
                                 FirstPaint)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("record grid: Page Down and paint (goal < 50 ms)", PageDown)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("record grid: End and paint (goal < 50 ms)", End)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fixture = nullptr;
    return 0;
}
