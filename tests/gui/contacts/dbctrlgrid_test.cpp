// The record grid driven as a user drives it, on the offscreen platform: placement, keys,
// mouse, wheel, drag and drop, the busy flag and what the panels look like.
#include "contacts/recordgridmodel.h"
#include "gui/contacts/dbctrlgrid.h"

#include "tests/common/application.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace telmira::contacts;

// Drawing text makes Qt load the system font configuration, whose library keeps its caches
// until the process ends; the leak checker is told so, for that library only.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

const QStringList kArchive = {
    "Name=Телефон; Bold=TRUE; Shift=4; Color=$C0E1EB; SelColor=$C0C0C0; CheckedColor=$B1BA97; "
    "CheckedFieldName=Checked; Select=; Name1=ДатаВремя;",
    "Name=Имя1; NameMaxWidth=300; Bold=TRUE; Underline=TRUE; Select=; Shift=50; YShift=3; "
    "YCenter=TRUE; Name1=Имя11;",
    "Picture=1; Shift=3; PictureIndex=CalculatedType; PicTop=-1; MinRecordHeight=68;"};

// One text line: records of 18 + 5 = 23 pixels.
const QStringList kOneLine = {"Name=N; Shift=3;"};

const QColor kSelected(0xEA, 0xE9, 0xE7); // $E7E9EA

// A result of records held in memory; `reads` counts the records the grid asked for.
struct Records {
    std::vector<Record> rows;
    std::shared_ptr<int> reads = std::make_shared<int>(0);

    LiveResult result() const {
        std::vector<qint64> keys;
        for (size_t i = 0; i < rows.size(); ++i)
            keys.push_back(qint64(i) + 101);
        return LiveResult(keys,
                          [rows = rows, reads = reads](const std::vector<qint64>& page, DbError&) {
                              std::vector<Record> out;
                              for (qint64 key : page)
                                  out.push_back(rows[size_t(key - 101)]);
                              *reads += int(page.size());
                              return out;
                          });
    }
};

Records numbered(int count) {
    Records records;
    for (int i = 0; i < count; ++i)
        records.rows.push_back({{"N", QStringLiteral("Запись %1").arg(i)}});
    return records;
}

// A grid whose panel area is `width` × `height` pixels, shown offscreen.
struct Grid {
    bool app = (telmira::test::ensureApplication<QApplication>(), true);
    TRecordGridModel model;
    TDBCtrlGrid grid;

    explicit Grid(const QStringList& layout, const Records& records, int width = 900,
                  int height = 200)
        : grid(layout) {
        model.SetResult(records.result());
        grid.SetModel(&model);
        grid.resize(width + grid.verticalScrollBar()->sizeHint().width() + 2 * grid.frameWidth(),
                    height + 2 * grid.frameWidth());
        grid.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }

    QImage image() { return grid.viewport()->grab().toImage(); }
    QPoint centre(int row) { return grid.PanelRect(row).center(); }
};

bool anyDarkPixel(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 100)
                return true;
    return false;
}

} // namespace

TEST(DBCtrlGrid, PlacesRecordsDownEachOfFiveColumnsAt900Pixels) {
    Grid g(kOneLine, numbered(100));
    EXPECT_EQ(g.grid.Columns(), (GridColumns{5, 180}));
    // 23-pixel records in 200 pixels: eight fit a column (161 + 23 + 10 <= 200), the eighth
    // stretched to the bottom; the ninth heads the second column.
    EXPECT_EQ(g.grid.PanelRect(0), QRect(0, 0, 180, 23));
    EXPECT_EQ(g.grid.PanelRect(1), QRect(0, 23, 180, 23));
    EXPECT_EQ(g.grid.PanelRect(7), QRect(0, 161, 180, 39));
    EXPECT_EQ(g.grid.PanelRect(8), QRect(180, 0, 180, 23));
    EXPECT_EQ(g.grid.PanelRect(39), QRect(720, 161, 180, 39));
    EXPECT_TRUE(g.grid.PanelRect(40).isNull());
    EXPECT_EQ(g.grid.RowAt(QPoint(200, 30)), 9);
    // The scroll bar runs over the top records, up to the one that shows the last record last.
    EXPECT_EQ(g.grid.verticalScrollBar()->maximum(), 60);
    EXPECT_EQ(g.grid.verticalScrollBar()->pageStep(), 40);

    // Narrower: one column of the whole width.
    g.grid.resize(250, g.grid.height());
    EXPECT_EQ(g.grid.Columns().count, 1);
    EXPECT_EQ(g.grid.PanelRect(8), QRect());
}

TEST(DBCtrlGrid, KeysAndWheelMoveTheCurrentRecord) {
    Grid g(kOneLine, numbered(100));
    QSignalSpy moved(&g.grid, &TDBCtrlGrid::SelectionMoved);
    QSignalSpy wheel(&g.grid, &TDBCtrlGrid::MouseWheel);
    EXPECT_EQ(g.grid.CurrentRow(), 0);
    EXPECT_EQ(g.grid.CurrentKey(), 101);

    QTest::keyClick(&g.grid, Qt::Key_PageDown); // a page is the 40 records in view
    EXPECT_EQ(g.grid.CurrentRow(), 40);
    EXPECT_EQ(g.grid.TopRow(), 40);
    EXPECT_EQ(g.grid.verticalScrollBar()->value(), 40);
    QTest::keyClick(&g.grid, Qt::Key_Right);
    EXPECT_EQ(g.grid.CurrentRow(), 48);
    QTest::keyClick(&g.grid, Qt::Key_Down);
    EXPECT_EQ(g.grid.CurrentRow(), 49);
    QTest::keyClick(&g.grid, Qt::Key_PageUp);
    EXPECT_EQ(g.grid.CurrentRow(), 9);
    EXPECT_EQ(g.grid.TopRow(), 0);
    QTest::keyClick(&g.grid, Qt::Key_End);
    EXPECT_EQ(g.grid.CurrentRow(), 99);
    EXPECT_EQ(g.grid.TopRow(), 60);
    QTest::keyClick(&g.grid, Qt::Key_Home);
    EXPECT_EQ(g.grid.CurrentRow(), 0);
    EXPECT_EQ(g.grid.TopRow(), 0);
    EXPECT_EQ(moved.count(), 6);
    EXPECT_EQ(moved.last().at(0).toInt(), 0);

    // One wheel step, one record; half steps add up.
    auto turn = [&](int delta) {
        QWheelEvent event(QPointF(10, 10), g.grid.mapToGlobal(QPointF(10, 10)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(g.grid.viewport(), &event);
    };
    turn(-120);
    EXPECT_EQ(g.grid.CurrentRow(), 1);
    turn(-60);
    EXPECT_EQ(g.grid.CurrentRow(), 1);
    turn(-60);
    EXPECT_EQ(g.grid.CurrentRow(), 2);
    turn(120);
    EXPECT_EQ(g.grid.CurrentRow(), 1);
    ASSERT_EQ(wheel.count(), 3);
    EXPECT_EQ(wheel.at(2).at(0).toInt(), -1);

    // The scroll bar moves the view record by record and leaves the current record.
    g.grid.verticalScrollBar()->setValue(7);
    EXPECT_EQ(g.grid.TopRow(), 7);
    EXPECT_EQ(g.grid.CurrentRow(), 1);
    EXPECT_EQ(g.grid.PanelRect(7).topLeft(), QPoint(0, 0));
    QTest::keyClick(&g.grid, Qt::Key_Down); // the current record comes back into view
    EXPECT_EQ(g.grid.CurrentRow(), 2);
    EXPECT_EQ(g.grid.TopRow(), 1);
}

TEST(DBCtrlGrid, OwnerRequestsOnlyWhenAllowedAndNothingWhileBusy) {
    Grid g(kOneLine, numbered(30));
    QSignalSpy deletes(&g.grid, &TDBCtrlGrid::DeleteRequested);
    QSignalSpy inserts(&g.grid, &TDBCtrlGrid::InsertRequested);
    QSignalSpy edits(&g.grid, &TDBCtrlGrid::EditToggled);
    QSignalSpy cancels(&g.grid, &TDBCtrlGrid::EditCancelled);
    QTest::keyClick(&g.grid, Qt::Key_Delete, Qt::ControlModifier); // deleting is not allowed
    QTest::keyClick(&g.grid, Qt::Key_Insert);                      // nor inserting
    EXPECT_EQ(deletes.count(), 0);
    EXPECT_EQ(inserts.count(), 0);
    g.grid.SetDeleteAllowed(true);
    g.grid.SetInsertAllowed(true);
    QTest::keyClick(&g.grid, Qt::Key_Delete); // without Ctrl: not a delete request
    EXPECT_EQ(deletes.count(), 0);
    QTest::keyClick(&g.grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(deletes.count(), 1);
    QTest::keyClick(&g.grid, Qt::Key_Insert);
    QTest::keyClick(&g.grid, Qt::Key_Insert, Qt::ControlModifier);
    ASSERT_EQ(inserts.count(), 2);
    EXPECT_FALSE(inserts.at(0).at(0).toBool());
    EXPECT_TRUE(inserts.at(1).at(0).toBool()); // Ctrl+Insert appends
    QTest::keyClick(&g.grid, Qt::Key_F2);
    QTest::keyClick(&g.grid, Qt::Key_Return);
    QTest::keyClick(&g.grid, Qt::Key_Escape);
    EXPECT_EQ(edits.count(), 2);
    EXPECT_EQ(cancels.count(), 1);

    g.grid.SetBusy(true);
    QSignalSpy downs(&g.grid, &TDBCtrlGrid::MouseDown);
    QTest::keyClick(&g.grid, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(&g.grid, Qt::Key_F2);
    QTest::keyClick(&g.grid, Qt::Key_PageDown);
    QTest::mouseClick(g.grid.viewport(), Qt::LeftButton, {}, g.centre(3));
    EXPECT_EQ(deletes.count(), 1);
    EXPECT_EQ(edits.count(), 2);
    EXPECT_EQ(downs.count(), 0);
    EXPECT_EQ(g.grid.CurrentRow(), 0);
    g.grid.SetBusy(false);
    QTest::keyClick(&g.grid, Qt::Key_PageDown);
    EXPECT_EQ(g.grid.CurrentRow(), 29);
}

TEST(DBCtrlGrid, ClicksSelectTheRecordUnderTheMouse) {
    Grid g(kOneLine, numbered(30));
    QSignalSpy downs(&g.grid, &TDBCtrlGrid::MouseDown);
    QSignalSpy doubles(&g.grid, &TDBCtrlGrid::DoubleClicked);
    int rowAtMenu = -2;
    // A right click selects the record before the owner's menu (on the mouse-down) opens.
    QObject::connect(&g.grid, &TDBCtrlGrid::MouseDown,
                     [&](Qt::MouseButton button, Qt::KeyboardModifiers, const QPoint&, int) {
                         if (button == Qt::RightButton)
                             rowAtMenu = g.grid.CurrentRow();
                     });
    QTest::mouseClick(g.grid.viewport(), Qt::LeftButton, {}, g.centre(10));
    EXPECT_EQ(g.grid.CurrentRow(), 10);
    QTest::mouseClick(g.grid.viewport(), Qt::RightButton, {}, g.centre(3));
    EXPECT_EQ(g.grid.CurrentRow(), 3);
    EXPECT_EQ(rowAtMenu, 3);
    ASSERT_EQ(downs.count(), 2);
    EXPECT_EQ(downs.at(1).at(3).toInt(), 3);
    QTest::mouseDClick(g.grid.viewport(), Qt::LeftButton, {}, g.centre(12));
    EXPECT_EQ(g.grid.CurrentRow(), 12);
    ASSERT_GE(doubles.count(), 1);
    EXPECT_EQ(doubles.last().at(0).toInt(), 12);
    // Below the last record there is no record to select.
    QTest::mouseClick(g.grid.viewport(), Qt::LeftButton, {}, QPoint(800, 100));
    EXPECT_EQ(g.grid.CurrentRow(), 12);
    EXPECT_EQ(downs.last().at(3).toInt(), -1);
}

TEST(DBCtrlGrid, CurrentRecordShowsTheSelectedColourAndFocusRectangle) {
    Grid g(kOneLine, numbered(30));
    g.grid.SetCurrentRow(9);
    g.grid.clearFocus();
    ASSERT_FALSE(g.grid.hasFocus());
    const QRect panel = g.grid.PanelRect(9);
    QImage image = g.image();
    EXPECT_EQ(QColor(image.pixel(panel.right() - 5, panel.top() + 10)), kSelected);
    EXPECT_NE(
        QColor(image.pixel(g.grid.PanelRect(10).right() - 5, g.grid.PanelRect(10).top() + 10)),
        kSelected);
    EXPECT_TRUE(anyDarkPixel(image, QRect(panel.left() + 3, panel.top() + 3, 60, 18)));
    EXPECT_FALSE(
        anyDarkPixel(image, QRect(panel.left() + 1, panel.top() + 1, panel.width() - 2, 1)));

    g.grid.activateWindow();
    g.grid.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return g.grid.hasFocus(); }));
    image = g.image();
    // The dotted focus rectangle along the panel's top edge.
    EXPECT_TRUE(
        anyDarkPixel(image, QRect(panel.left() + 1, panel.top() + 1, panel.width() - 2, 1)));
    const QRect other = g.grid.PanelRect(10);
    EXPECT_FALSE(
        anyDarkPixel(image, QRect(other.left() + 1, other.top() + 1, other.width() - 2, 1)));
}

TEST(DBCtrlGrid, EmptyGridSaysNoRecordsAndInsertingShowsTheBand) {
    Grid g(kOneLine, Records{});
    EXPECT_EQ(g.grid.CurrentRow(), -1);
    EXPECT_EQ(g.grid.CurrentKey(), -1);
    QImage image = g.image();
    EXPECT_EQ(QColor(image.pixel(5, 5)), kSelected);
    EXPECT_EQ(QColor(image.pixel(895, 195)), kSelected);
    // The text in the middle, and nowhere near the edges.
    EXPECT_TRUE(anyDarkPixel(image, QRect(400, 90, 100, 20)));
    EXPECT_FALSE(anyDarkPixel(image, QRect(0, 0, 300, 200)));
    EXPECT_FALSE(anyDarkPixel(image, QRect(600, 0, 300, 200)));
    QTest::keyClick(&g.grid, Qt::Key_Down); // nothing to move to
    EXPECT_EQ(g.grid.CurrentRow(), -1);

    // A new record being inserted: the band heads the grid and the records move below it.
    Grid h(kOneLine, numbered(5));
    h.grid.SetInserting(true);
    EXPECT_EQ(h.grid.PanelRect(0), QRect(0, 24, 180, 23));
    image = h.image();
    EXPECT_EQ(QColor(image.pixel(890, 3)), kSelected);
    EXPECT_TRUE(anyDarkPixel(image, QRect(0, 0, 200, 24)));
    h.grid.SetInserting(false);
    EXPECT_EQ(h.grid.PanelRect(0).top(), 0);
}

TEST(DBCtrlGrid, DrawsANewCallOnItsCheckedColourWithTextAndPicture) {
    Records calls;
    calls.rows.push_back({{"Телефон", QStringLiteral("7(495) 123-45-67")},
                          {"Имя1", QStringLiteral("Иванов Иван")},
                          {"CalculatedType", 2},
                          {"Checked", true}});
    calls.rows.push_back({{"Телефон", QStringLiteral("123-45-67")}, {"CalculatedType", 1}});
    Grid g(kArchive, calls, 400, 300);
    g.grid.SetMinColumnWidth(400);
    g.grid.SetCurrentRow(1);
    ASSERT_EQ(g.grid.PanelRect(0), QRect(0, 0, 400, 73));
    const QImage image = g.image();
    // The first line's band on the checked colour $B1BA97, with dark text in it.
    EXPECT_EQ(QColor(image.pixel(395, 4)), QColor(0x97, 0xBA, 0xB1));
    EXPECT_TRUE(anyDarkPixel(image, QRect(7, 3, 150, 18)));
    // The name line on the grid colour, with text.
    EXPECT_EQ(QColor(image.pixel(395, 40)), g.grid.palette().color(QPalette::Base));
    EXPECT_TRUE(anyDarkPixel(image, QRect(53, 37, 150, 18)));
    // The missed-call picture, centred in the record at x = 3, is drawn in red.
    bool red = false;
    for (int y = 28; y < 45; ++y)
        for (int x = 3; x < 19; ++x) {
            const QColor c(image.pixel(x, y));
            red = red || (c.red() > 150 && c.green() < 100 && c.blue() < 100);
        }
    EXPECT_TRUE(red);
    // The second record is stretched to the bottom; its picture stays centred in its own
    // height, not in the stretched panel.
    const QRect second = g.grid.PanelRect(1);
    EXPECT_EQ(second, QRect(0, 73, 400, 227));
    bool blue = false;
    for (int y = second.top() + 28; y < second.top() + 45; ++y)
        for (int x = 3; x < 19; ++x) {
            const QColor c(image.pixel(x, y));
            blue = blue || (c.blue() > 150 && c.red() < 100);
        }
    EXPECT_TRUE(blue);
}

TEST(DBCtrlGrid, ReadsOnlyTheRecordsInViewOfALargeResult) {
    const Records records = numbered(200000);
    Grid g(kOneLine, records);
    int painted = 0;
    QObject::connect(&g.grid, &TDBCtrlGrid::PanelPainted,
                     [&](QPainter* painter, int, const QRect& panel) {
                         EXPECT_TRUE(painter->hasClipping());
                         EXPECT_FALSE(panel.isEmpty());
                         ++painted;
                     });
    g.image();
    EXPECT_EQ(painted, 40);
    QTest::keyClick(&g.grid, Qt::Key_End);
    EXPECT_EQ(g.grid.CurrentRow(), 199999);
    EXPECT_EQ(g.grid.TopRow(), 199960);
    QTest::keyClick(&g.grid, Qt::Key_PageUp);
    EXPECT_EQ(g.grid.TopRow(), 199920);
    g.image();
    // The first page, the last pages and the scroll range: a few pages of 64 records.
    EXPECT_LT(*records.reads, 1000);
}

TEST(DBCtrlGrid, DragOverAndDropAskTheOwner) {
    Grid g(kOneLine, numbered(30));
    std::vector<int> drops;
    QObject::connect(&g.grid, &TDBCtrlGrid::Dropped,
                     [&](const QMimeData*, int row) { drops.push_back(row); });
    QObject::connect(&g.grid, &TDBCtrlGrid::DragOver,
                     [](const QMimeData* data, int row, bool& accept) {
                         accept = row == 2 && data->hasFormat(TDBCtrlGrid::RecordMimeType());
                     });
    QMimeData data;
    data.setData(TDBCtrlGrid::RecordMimeType(), "105");
    // A drag enters before it moves over the records or drops.
    auto enter = [&](QPoint pos) {
        QDragEnterEvent event(pos, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(g.grid.viewport(), &event);
        return event.isAccepted();
    };
    auto dragTo = [&](QPoint pos) {
        enter(pos);
        QDragMoveEvent move(pos, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(g.grid.viewport(), &move);
        return move.isAccepted();
    };
    auto dropAt = [&](QPoint pos) {
        enter(pos);
        QDropEvent drop(QPointF(pos), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(g.grid.viewport(), &drop);
    };
    EXPECT_FALSE(dragTo(g.centre(5)));
    EXPECT_TRUE(dragTo(g.centre(2)));
    EXPECT_FALSE(enter(g.centre(5)));
    dropAt(g.centre(5)); // refused there
    EXPECT_TRUE(drops.empty());
    dropAt(g.centre(2));
    EXPECT_EQ(drops, std::vector<int>{2});
    g.grid.SetBusy(true);
    EXPECT_FALSE(dragTo(g.centre(2)));
    dropAt(g.centre(2));
    EXPECT_EQ(drops.size(), 1u);
}

TEST(DBCtrlGrid, FollowsTheModelAndOutlivesIt) {
    telmira::test::ensureApplication<QApplication>();
    auto model = std::make_unique<TRecordGridModel>();
    model->SetResult(numbered(50).result());
    TDBCtrlGrid grid(kOneLine);
    grid.SetModel(model.get());
    grid.resize(400, 200);
    grid.SetCurrentRow(45);
    EXPECT_EQ(grid.CurrentRow(), 45);
    model->SetResult(numbered(10).result()); // a re-opened query with fewer records
    EXPECT_EQ(grid.CurrentRow(), 9);
    EXPECT_EQ(grid.TopRow(), 0);
    model.reset();
    EXPECT_EQ(grid.CurrentRow(), -1);
    QTest::keyClick(&grid, Qt::Key_End);
    EXPECT_FALSE(grid.grab().isNull());
}
