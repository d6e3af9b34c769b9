// gridshot: the record grid as the phone-book tab shows it, with a few dozen contacts read
// through the contacts data module (a scratch database), saved as a PNG. The screenshot script
// (shoot.sh) runs it; it needs no display of its own (offscreen when none is set).
//   gridshot OUT.png [SEARCH]
// SEARCH is highlighted in the name lines, as the phone-book search does.
#include "contacts/datamodule.h"
#include "contacts/recordgridmodel.h"
#include "contacts/recordlooks.h"
#include "gui/contacts/dbctrlgrid.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace telmira::contacts;

namespace {

const char* kFamilies[] = {"Иванов",  "Петров",   "Сидоров", "Кузнецов", "Смирнов",
                           "Попов",   "Васильев", "Соколов", "Михайлов", "Новиков",
                           "Фёдоров", "Морозов",  "Волков",  "Алексеев", "Лебедев"};
const char* kNames[] = {"Иван", "Пётр", "Сергей", "Анна", "Мария", "Ольга", "Алексей"};
const char* kNicks[] = {"", "", "Ваня", "", "Шеф", "", "", "Дача", ""};
const char* kLabels[] = {"", "Дача:", "", "-Сосед:", ""};

DbError fill(TDataModule1& db) {
    return db.RunInTransaction([&]() -> DbError {
        for (int i = 0; i < 36; ++i) {
            Record c{{"FamilyName", QString::fromUtf8(kFamilies[i % 15])},
                     {"Name", QString::fromUtf8(kNames[i % 7])},
                     {"Nick", QString::fromUtf8(kNicks[i % 9])},
                     {"ImportToPhone", i % 5 == 0}};
            const int numbers = 1 + (i * 7) % 4;
            for (int n = 1; n <= numbers; ++n) {
                const QString p = QStringLiteral("Phone%1").arg(n);
                c.insert(p + "Country", n == 3 ? QString() : QStringLiteral("7"));
                c.insert(p + "City", n == 2 ? QStringLiteral("916") : QStringLiteral("495"));
                c.insert(p, QString::number(1234567 + i * 7919 * n));
                c.insert(p + "Label", QString::fromUtf8(kLabels[(i + n) % 5]));
            }
            if (DbError e = db.Insert(Table::NoteBook, c))
                return e;
        }
        return {};
    });
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        std::fprintf(stderr, "usage: gridshot OUT.png [SEARCH]\n");
        return 1;
    }
    QTemporaryDir work;
    DbError error;
    std::unique_ptr<TDataModule1> db = TDataModule1::Open(work.path(), error);
    if (db && !error)
        error = fill(*db);
    if (!db || error) {
        std::fprintf(stderr, "gridshot: %s\n", qPrintable(error.message));
        return 1;
    }

    TRecordGridModel model;
    model.SetResult(db->NoteBookQuery(NoteBookSearchForm::Start, false, QStringLiteral("%")));
    TDBCtrlGrid grid(PhoneBookRecordLook());
    grid.setWindowTitle(QStringLiteral("Записная книжка"));
    grid.SetSelectedColor(GridColor::parse(QStringLiteral("$E7E9EA")));
    grid.SetModel(&model);
    if (arguments.size() > 1) {
        grid.SetSelect(0, arguments[1]);
        grid.SetSelect(1, arguments[1]);
    }
    grid.resize(900, 560);
    grid.show();
    grid.SetCurrentRow(6);
    grid.setFocus();
    QApplication::processEvents();
    if (!grid.grab().save(arguments[0])) {
        std::fprintf(stderr, "gridshot: cannot write %s\n", qPrintable(arguments[0]));
        return 1;
    }
    return 0;
}
