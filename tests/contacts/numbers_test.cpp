#include "contacts/numbers.h"

#include "tests/common/qtprint.h"

#include <gtest/gtest.h>

using namespace telmira::contacts;

TEST(NumberFilter, KeepsDigitsTheExtraCharacterAndALeadingSign) {
    struct Case {
        const char* text;
        QChar extra;
        const char* expected;
    } cases[] = {
        {"+7 (495) 123-45-67", QChar(), "+74951234567"},
        {"-12-34", QChar(), "-1234"},
        {"12+34", QChar(), "1234"},
        {"12_34*5", QLatin1Char('_'), "12_345"},
        {"*100", QLatin1Char('*'), "*100"},
        {"8 (9l6) 1O0", QChar(), "89610"}, // letters that look like digits are dropped
        {"-------", QChar(), ""},
        {"--", QChar(), "-"},
        {"", QChar(), ""},
        {"\xd9\xa1\xd9\xa2", QChar(), ""}, // Arabic-Indic digits are not dialable digits
    };
    for (const Case& c : cases)
        EXPECT_EQ(NumberFilter(QString::fromUtf8(c.text), c.extra), QString::fromUtf8(c.expected))
            << c.text;
}

TEST(FormatByMask, LaysDigitsFromTheRightAndPilesTheRestOnTheFirstPosition) {
    struct Case {
        const char* mask;
        const char* digits;
        const char* expected;
    } cases[] = {
        {"000000-00-00", "1234567", "123-45-67"},
        {"000000-00-00", "123", "1-23"},
        {"000000-00-00", "1234", "12-34"},
        {"000000-00-00", "12345678901", "1234567-89-01"},
        {"000000-00-00", "", ""},
        {"0-00", "810", "8-10"},
        {"0-00", "8", "8"},
        {"0000", "12", "12"},
        {"000", "12345", "12345"},
        {"0000-000-00-00", "9161234567", "916-123-45-67"},
        {"", "123", "123"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatByMask(c.mask, c.digits), c.expected) << c.mask << " " << c.digits;
}

TEST(InRanges, MatchesPrefixesInsideTheListedRanges) {
    const QString list = QStringLiteral("521, 523-525, 5266");
    EXPECT_TRUE(InRanges(list, "5240000"));
    EXPECT_TRUE(InRanges(list, "5266123"));
    EXPECT_TRUE(InRanges(list, "5210000"));
    EXPECT_TRUE(InRanges(list, "5259999"));
    EXPECT_FALSE(InRanges(list, "5220000"));
    EXPECT_FALSE(InRanges(list, "5267000"));
    EXPECT_FALSE(InRanges(list, "52"));    // shorter than the range's prefix
    EXPECT_TRUE(InRanges("5", "5000000")); // a one-digit item takes every number starting with 5
    EXPECT_TRUE(InRanges("70260, 70262", "7026212"));
    EXPECT_TRUE(InRanges("5497-5499, 54915-54917", "5491612")); // the last item counts too
    EXPECT_FALSE(InRanges("", "123"));
    // Empty items of a sloppy list name no range (taken literally they would match anything).
    EXPECT_FALSE(InRanges("521, ,", "9990000"));
    EXPECT_TRUE(InRanges("521 - 523", "5225555"));
}

TEST(NumberDisplay, ContactNumbersShowCountryCityAndMaskedLocalPart) {
    struct Case {
        const char* country;
        const char* city;
        const char* local;
        const char* expected;
    } cases[] = {
        {"7", "495", "1234567", "+7(495) 123-45-67"},
        {"", "495", "1234567", "(495) 123-45-67"},
        {"7", "", "1234567", "+7 123-45-67"},
        {"", "", "1234567", "123-45-67"},
        {"", "", "123", "123"},          // three characters: the short mask
        {"", "", "1234", "12-34"},       // four: the long one
        {"7", "", "12", "+7 12"},        // the parts together have 3 characters
        {"", "", "12-34 P5", "1-23-45"}, // dial characters other than "_" are filtered out
        {"", "", "12_3456", "12_-34-56"},
        {"", "", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NumberDisplayText(c.country, c.city, c.local), QString::fromUtf8(c.expected))
            << c.local;
}

TEST(NumberDisplay, ArchiveNumbersKeepTheirExtensionAndShowAPlaceholderWhenEmpty) {
    EXPECT_EQ(ArchiveNumberText("7", "495", "1234567"), "7(495) 123-45-67");
    EXPECT_EQ(ArchiveNumberText("7", "495", "1234567*123"), "7(495) 123-45-67*123");
    // A star in front is no extension: the whole text goes into the mask.
    EXPECT_EQ(ArchiveNumberText("", "", "*100"), "*1-00");
    EXPECT_EQ(ArchiveNumberText("", "", "100"), "100");
    EXPECT_EQ(ArchiveNumberText("", "", ""), QString::fromUtf16(kNoNumberText));
}
