#include "gui/project/versionchooserdialog.h"
#include "tests/common/application.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace telmira;

namespace {

QPushButton* button(QWidget& dialog, const QString& text) {
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

} // namespace

TEST(VersionChooserDialogTest, ShowsTheVersionsAndReturnsTheChosenKey) {
    telmira::test::ensureApplication<QApplication>();
    const ProjectDefs defs(QStringList{"1=Name=Корвел 28 Талви; FileName=korv28.def; Code=1;",
                                       "2=Name=Корвел 28 Талви, 2 языка; FileName=korv28v.def;"});
    TVersionChooserDialog dialog(defs, NewProjectChooserCaption());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral(" Новый проект создается для версии"));
    EXPECT_EQ(dialog.size(), QSize(308, 141));
    QComboBox* versions = dialog.Versions();
    EXPECT_EQ(versions->geometry().topLeft(), QPoint(25, 16));
    EXPECT_EQ(versions->width(), 255);
    ASSERT_EQ(versions->count(), 2);
    EXPECT_EQ(versions->currentIndex(), 0);
    EXPECT_EQ(dialog.ChosenKey(), QStringLiteral("1"));

    versions->setCurrentIndex(1);
    ASSERT_TRUE(button(dialog, "OK"));
    ASSERT_TRUE(button(dialog, QStringLiteral("Отмена")));
    button(dialog, "OK")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.ChosenKey(), QStringLiteral("2"));
}

TEST(VersionChooserDialogTest, EmptyListCannotBeConfirmed) {
    telmira::test::ensureApplication<QApplication>();
    TVersionChooserDialog dialog(ProjectDefs(), ChangeVersionChooserCaption());
    EXPECT_FALSE(button(dialog, "OK")->isEnabled());
    EXPECT_FALSE(dialog.ChosenKey());
}
