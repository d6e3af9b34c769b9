#include "project/versionchoice.h"

#include <gtest/gtest.h>

using namespace telmira;

TEST(VersionChoiceTest, OffersTheNamesInOrderAndYieldsTheChosenEntrysKey) {
    const VersionChoice choice(
        ProjectDefs(QStringList{"1=Name=Корвел 28 Талви; FileName=korv28.def; Code=1;",
                                "2=Name=Корвел 28 Талви, 2 языка; FileName=korv28v.def; Code=2;"}));
    EXPECT_EQ(choice.Items(), (QStringList{QStringLiteral("Корвел 28 Талви"),
                                           QStringLiteral("Корвел 28 Талви, 2 языка")}));
    EXPECT_EQ(choice.InitialRow(), 0);
    EXPECT_EQ(choice.KeyForRow(0), QStringLiteral("1"));
    EXPECT_EQ(choice.KeyForRow(1), QStringLiteral("2"));
    EXPECT_FALSE(choice.KeyForRow(2));
    EXPECT_FALSE(choice.KeyForRow(-1));
}

TEST(VersionChoiceTest, KeysOutOfOrderStillLoadTheVersionShown) {
    const ProjectDefs defs(
        QStringList{"2=Name=Второй; FileName=b.def;", "1=Name=Первый; FileName=a.def;"});
    const VersionChoice choice(defs);
    ASSERT_EQ(choice.KeyForRow(0), QStringLiteral("2"));
    EXPECT_EQ(defs.FileNameForKey(*choice.KeyForRow(0)), QStringLiteral("b.def"));
}

TEST(VersionChoiceTest, EmptyListHasNoRow) {
    const VersionChoice choice{ProjectDefs()};
    EXPECT_EQ(choice.InitialRow(), -1);
    EXPECT_FALSE(choice.KeyForRow(0));
    EXPECT_EQ(NewProjectChooserCaption(), QStringLiteral(" Новый проект создается для версии"));
    EXPECT_EQ(ChangeVersionChooserCaption(),
              QStringLiteral(" Выберите версию телефона для проекта"));
}
