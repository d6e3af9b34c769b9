#include "frame/records.h"

#include <gtest/gtest.h>

using namespace telmira;

namespace {
const QString kDefRow =
    QStringLiteral("Name=Корвел 28 Талви, 2 языка; FileName=korv28v.def; Code=2;");
}

TEST(Records, FieldOfFindsFieldsByTheirOwnKeyOnly) {
    struct Case {
        const char* record;
        const char* key;
        const char* expected;
    } cases[] = {
        {"FileName=a.def; Name=x;", "Name", "x"},
        {"FileName=a.def;", "Name", "<def>"}, // "Name=" inside "FileName=" does not count
        {"Name= x;", "Name", " x"},           // values keep their leading blank
        {"Name=x", "Name", "x"},              // the last field may lack its ';'
        {"A=1;B=2;", "B", "2"},
        {"2=Name=Корвел 28 Талви, 2 языка; FileName=korv28v.def; Code=2;", "Name",
         "Корвел 28 Талви, 2 языка"}, // the first field of a whole INI line
        {"Name=;", "Name", ""},
        {"", "Name", "<def>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            FieldOf(QString::fromUtf8(c.record), QString::fromUtf8(c.key), QStringLiteral("<def>")),
            QString::fromUtf8(c.expected))
            << c.record << " / " << c.key;
}

TEST(Records, FieldOfTriesTheBlankFormBeforeTheOthers) {
    // " Code=" is searched first, so it wins over an earlier ";Code=".
    EXPECT_EQ(FieldOf(QStringLiteral("X=1;Code=a; Code=b;"), QStringLiteral("Code")), "b");
    EXPECT_EQ(FieldOf(kDefRow, QStringLiteral("Code")), "2");
}

TEST(Records, WithFieldSetsOrAppends) {
    struct Case {
        const char* record;
        const char* key;
        const char* value;
        const char* expected;
    } cases[] = {
        {"", "Code", "5", "Code=5;"},
        {"Name=a", "Code", "5", "Name=a;Code=5;"},
        {"Name=a;", "Name", "b", "Name=b;"},
        {"Name=a; Code=1;", "Code", "22", "Name=a; Code=22;"},
        // The field the lookup found is the one changed, not a longer key with the same value.
        {"FileName=a; Name=a;", "Name", "b", "FileName=a; Name=b;"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WithField(QString::fromUtf8(c.record), QString::fromUtf8(c.key),
                            QString::fromUtf8(c.value)),
                  QString::fromUtf8(c.expected))
            << c.record;
}

TEST(Records, WithReplacedFieldLeavesRecordsWithoutTheKeyAlone) {
    EXPECT_EQ(WithReplacedField(QStringLiteral("Name=a;"), QStringLiteral("Code"), "5"), "Name=a;");
    EXPECT_EQ(WithReplacedField(QStringLiteral("Name=a; Code=1"), QStringLiteral("Code"), "5"),
              "Name=a; Code=5");
}

TEST(Records, ExtractBetweenTakesBracketsAndCommandFields) {
    const QString country = QStringLiteral("Россия (7)");
    EXPECT_EQ(ExtractBetween(country, "(", "", ")"), "7");
    EXPECT_EQ(ExtractBetween(country, "", "", "("), "Россия "); // callers trim
    EXPECT_EQ(ExtractBetween(country, "[", "none", ")"), "none");
    const QString command = QStringLiteral("Name=9;Parameters=a;b=c[End]Command=24[End]");
    EXPECT_EQ(ExtractBetween(command, "Parameters=", "", "[End]"), "a;b=c");
    EXPECT_EQ(NumberBetween(command, "Command=", -1, "[End]"), 24);
    EXPECT_EQ(NumberBetween(command, "Flags=", -1, "[End]"), -1);
    EXPECT_EQ(NumberBetween(QStringLiteral("Command=x[End]"), "Command=", -1, "[End]"),
              std::nullopt);
}

TEST(Records, NumbersReadDecimalAndDollarHex) {
    EXPECT_EQ(FieldIntOf(QStringLiteral("A=12;"), "A", -1), 12);
    EXPECT_EQ(FieldIntOf(QStringLiteral("A=$1F;"), "A", -1), 31);
    EXPECT_EQ(FieldIntOf(QStringLiteral("A=-3;"), "A", 0), -3);
    EXPECT_EQ(FieldIntOf(QStringLiteral("A=12x;"), "A", -1), -1);
    EXPECT_EQ(FieldIntOf(QStringLiteral("A=;"), "A", 7), 7);
    EXPECT_EQ(FieldIntOf(QStringLiteral("A=99999999999;"), "A", 7), 7);
    EXPECT_EQ(FieldNumberOf(QStringLiteral("A=;"), "A", 4), 4);
    EXPECT_EQ(FieldNumberOf(QStringLiteral("A=z;"), "A", 4), std::nullopt);
    EXPECT_EQ(parseInteger(QStringLiteral("$FFFFFFFF")), -1);
    EXPECT_EQ(parseBool(QStringLiteral("TRUE")), true);
    EXPECT_EQ(parseBool(QStringLiteral("0")), false);
    EXPECT_EQ(parseBool(QStringLiteral("yes")), std::nullopt);
}

TEST(Records, ListOperationsUseTheirOwnMatchingRules) {
    QStringList list = {QStringLiteral("Name=Москва ; Code=495;"),
                        QStringLiteral("Name=Тверь; Code=4822;"),
                        QStringLiteral("Name=москва; Code=499;")};
    // LookupField: trimmed and upper-cased, Cyrillic included.
    EXPECT_EQ(LookupField(list, "Name", QStringLiteral("МОСКВА"), "?", "Code"), "495");
    EXPECT_EQ(LookupField(list, "Name", QStringLiteral("Омск"), "?", "Code"), "?");
    // IndexOfField: exact, no trimming.
    EXPECT_EQ(IndexOfField(list, "Name", QStringLiteral("Москва")), -1);
    EXPECT_EQ(IndexOfField(list, "Name", QStringLiteral("москва")), 2);
    // FindRecordByField: trimmed and lower-cased.
    EXPECT_EQ(FindRecordByField(list, "Code", QStringLiteral(" 4822 ")), list[1]);
    EXPECT_EQ(FindRecordByField(list, "Code", QStringLiteral("1")), QString());
    EXPECT_EQ(ColumnOf(list, "Code"), (QStringList{"495", "4822", "499"}));
    // SetFieldInList: trimmed, exact case.
    EXPECT_EQ(SetFieldInList(list, "Name", QStringLiteral("москва"), "1", "Flag"), 2);
    EXPECT_EQ(list[2], QStringLiteral("Name=москва; Code=499;Flag=1;"));
    EXPECT_EQ(SetFieldInList(list, " ", "  ", "1", "Flag"), -1);
}
