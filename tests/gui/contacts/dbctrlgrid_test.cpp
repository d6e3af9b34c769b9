// The record grid's drawing under the offscreen platform: one record rendered into an image.
#include "contacts/recordgridmodel.h"
#include "gui/contacts/dbctrlgrid.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

using namespace telmira::contacts;

namespace {

const QStringList kArchive = {
    "Name=Телефон; Bold=TRUE; Shift=4; Color=$C0E1EB; SelColor=$C0C0C0; CheckedColor=$B1BA97; "
    "CheckedFieldName=Checked; Select=; Name1=ДатаВремя;",
    "Name=Имя1; NameMaxWidth=300; Bold=TRUE; Underline=TRUE; Select=; Shift=50; YShift=3; "
    "YCenter=TRUE; Name1=Имя11;",
    "Picture=1; Shift=3; PictureIndex=CalculatedType; PicTop=-1; MinRecordHeight=68;"};

LiveResult resultOf(std::vector<Record> records) {
    std::vector<qint64> keys;
    for (size_t i = 0; i < records.size(); ++i)
        keys.push_back(qint64(i) + 1);
    return LiveResult(keys, [records](const std::vector<qint64>& page, DbError&) {
        std::vector<Record> out;
        for (qint64 key : page)
            out.push_back(records[size_t(key - 1)]);
        return out;
    });
}

bool anyDarkPixel(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 100)
                return true;
    return false;
}

} // namespace

TEST(DBCtrlGrid, DrawsANewCallOnItsCheckedColourWithTextAndPicture) {
    TDBCtrlGridDelegate delegate(GridLayout::parse(kArchive));
    TRecordGridModel model;
    model.SetResult(resultOf({{{"Телефон", QStringLiteral("7(495) 123-45-67")},
                               {"Имя1", QStringLiteral("Иванов Иван")},
                               {"CalculatedType", 2},
                               {"Checked", true}}}));
    ASSERT_EQ(model.rowCount(), 1);
    const QModelIndex index = model.index(0, 0);
    EXPECT_EQ(model.data(index, TRecordGridModel::KeyRole).toLongLong(), 1);

    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 400, delegate.sizeHint(option, index).height());
    EXPECT_EQ(option.rect.height(), 73);
    option.font = QFont();
    option.palette = QPalette(Qt::white);
    option.palette.setColor(QPalette::Base, Qt::white);
    option.palette.setColor(QPalette::Text, Qt::black);
    QImage image(option.rect.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    {
        QPainter painter(&image);
        delegate.paint(&painter, option, index);
    }
    // The first line's band on the checked colour $B1BA97, with dark text in it.
    EXPECT_EQ(QColor(image.pixel(395, 4)), QColor(0x97, 0xBA, 0xB1));
    EXPECT_TRUE(anyDarkPixel(image, QRect(7, 3, 150, 18)));
    // The name line is drawn in the grid colour (white), with text.
    EXPECT_EQ(QColor(image.pixel(395, 40)), QColor(Qt::white));
    EXPECT_TRUE(anyDarkPixel(image, QRect(53, 37, 150, 18)));
    // The missed-call picture, centred vertically at x = 3, is drawn in red.
    bool red = false;
    for (int y = 28; y < 45; ++y)
        for (int x = 3; x < 19; ++x) {
            const QColor c(image.pixel(x, y));
            red = red || (c.red() > 150 && c.green() < 100 && c.blue() < 100);
        }
    EXPECT_TRUE(red);
    // Nothing is left unpainted.
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_NE(QColor(image.pixel(x, y)), QColor(Qt::magenta)) << x << "," << y;
}

TEST(DBCtrlGrid, KeysRaiseTheOwnersRequestsUnlessBusy) {
    TDBCtrlGrid grid(kArchive);
    TRecordGridModel model;
    model.SetResult(resultOf({{{"Телефон", "1"}}, {{"Телефон", "2"}}}));
    grid.setModel(&model);
    grid.SetDeleteAllowed(true);
    QSignalSpy deletes(&grid, &TDBCtrlGrid::DeleteRequested);
    QSignalSpy inserts(&grid, &TDBCtrlGrid::InsertRequested);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(&grid, Qt::Key_Insert); // inserting is not allowed
    EXPECT_EQ(deletes.count(), 1);
    EXPECT_EQ(inserts.count(), 0);
    grid.SetInsertAllowed(true);
    QTest::keyClick(&grid, Qt::Key_Insert, Qt::ControlModifier);
    ASSERT_EQ(inserts.count(), 1);
    EXPECT_TRUE(inserts.at(0).at(0).toBool()); // Ctrl+Insert appends
    grid.SetBusy(true);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(deletes.count(), 1);
}

// The application object lives in main, so it goes before Qt's own static objects do. The tests
// draw offscreen, also when only listed (test discovery runs them without the environment).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
