#include "contacts/codedirectory.h"
#include "contacts/origin.h"
#include "contacts/splitnumber.h"

#include "base/cp1251.h"
#include "tests/common/qtprint.h"

#include <gtest/gtest.h>

using namespace telmira;
using namespace telmira::contacts;

namespace {

std::unique_ptr<TCodeDirectory> directoryOf(const char* utf8) {
    return TCodeDirectory::fromBytes(QByteArray::fromStdString(utf8ToCp1251(utf8)));
}

// The directory of the documented examples: Russia with Moscow, a renumbered old code, a
// Moscow-region town with its number ranges, and a second country sharing code 7.
const char* kSmallVoc = "[CountryCodes]\r\n"
                        "1=Code=7; RusName=Россия; Length=10; LongDistance=8; "
                        "International=810; LocalCodes=499;\r\n"
                        "2=Code=7; RusName=Казахстан; Length=10; LongDistance=8; "
                        "International=810; Main=KZ;\r\n"
                        "3=Code=44; RusName=Великобритания; Length=9; Length1=10; "
                        "LongDistance=0; International=00;\r\n"
                        "4=Code=49; RusName=Германия; Length=6; Length1=13;\r\n"
                        "[Country7]\r\n"
                        "1=Name=Москва;Code=495;LocalCodes=499;\r\n"
                        "2=Name=Москва;Code=095;Replace=495;\r\n"
                        "3=Name=Балашиха;Republic=Московская обл.;Code=495;"
                        "Range=521, 523-525, 5266, 529, 70260, 70262, 96463;\r\n"
                        "4=Name=Старый код;Code=0812;Replace=81;\r\n"
                        "5=Name=Санкт-Петербург;Code=812;\r\n"
                        "6=Name=Алматы;Code=727;Main=KZ;\r\n"
                        "[Country44]\r\n"
                        "1=Name=Лондон;Code=20;\r\n";

OriginSettings moscow() {
    OriginSettings origin;
    origin.longDistance = "8";
    origin.international = "810";
    origin.length = 10;
    return origin;
}

} // namespace

TEST(SplitNumber, DocumentedCasesAgainstASmallDirectory) {
    const auto dir = directoryOf(kSmallVoc);
    const OriginSettings origin = moscow();
    struct Case {
        const char* number;
        bool keepCodes;
        SplitResult expected;
    } cases[] = {
        {"84951234567", true, {"7", "495", "1234567", ""}},
        {"84951234567", false, {"8", "495", "1234567", ""}},
        {"4951234567", true, {"7", "495", "1234567", ""}},
        {"1234567", true, {"", "", "1234567", ""}},
        {"+74951234567", true, {"7", "495", "1234567", ""}},
        {"+74951234567", false, {"8-10-7", "495", "1234567", ""}},
        {"84951234", true, {"", "", "84951234", ""}},       // neither national nor a country
        {"8495123456", true, {"", "", "8495123456", ""}},   // national length, no city code
        {"80951234567", true, {"7", "495", "1234567", ""}}, // a renumbered code
        {"80812123456", true, {"7", "0812", "123456", ""}}, // a Replace of another length is unused
        {"88121234567", true, {"7", "812", "1234567", ""}},
        {"8101234567", true, {"", "", "8101234567", ""}},
        {"81044201234567", true, {"44", "20", "1234567", ""}},
        {"81044201234567", false, {"8-10-44", "20", "1234567", ""}},
        {"+44201234567", true, {"44", "20", "1234567", ""}},
        {"+4930123456", true, {"49", "", "30123456", ""}}, // no city directory for 49
        {"+99912345", true, {"", "", "+99912345", ""}},    // unknown country: number kept whole
        {"81099912345", true, {"", "", "81099912345", ""}},
        {"+7 (495) 123-45-67", true, {"7", "495", "1234567", ""}},
        {"8-495-123-45-67", true, {"7", "495", "1234567", ""}},
        {"", true, {"", "", "", ""}},
        {"abc", true, {"", "", "", ""}},
        {"8 495 12x34567", true, {"7", "495", "1234567", ""}},
        {"849512345678", true, {"", "", "849512345678", ""}}, // one digit too many
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitNumber(QString::fromUtf8(c.number), c.keepCodes, origin, *dir), c.expected)
            << c.number << " keep=" << c.keepCodes;
}

TEST(SplitNumber, AWrittenPlusIsNeverTakenForANationalNumber) {
    // +49 30 123456 has ten digits, the Russian national length; it stays German.
    const auto dir = directoryOf(kSmallVoc);
    EXPECT_EQ(SplitNumber("+4930123456", true, moscow(), *dir).country, "49");
    EXPECT_EQ(SplitNumber("4951234567", true, moscow(), *dir).country, "7");
}

TEST(SplitNumber, ExtensionsAreCutAfterTheFirstStarOrT) {
    const auto dir = directoryOf(kSmallVoc);
    const OriginSettings origin = moscow();
    struct Case {
        const char* number;
        SplitResult expected;
    } cases[] = {
        {"84951234567*123", {"7", "495", "1234567", "123"}},
        {"84951234567t45", {"7", "495", "1234567", "45"}},
        {"*100", {"", "", "*100", ""}},
        {"1*2", {"", "", "1", "2"}},
        {"84951234567*", {"7", "495", "1234567", ""}},
        {"8495123*4567t9", {"", "", "8495123", "4567t9"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitNumberWithExtension(c.number, true, origin, *dir), c.expected) << c.number;
}

TEST(SplitNumber, AMissingOrEmptyDirectoryLeavesEveryNumberWhole) {
    for (const char* voc :
         {"", "[CountryCodes]\r\n", "[Country7]\r\n1=Name=Москва;Code=495;\r\n"}) {
        const auto dir = directoryOf(voc);
        OriginSettings origin = moscow();
        LookupNationalLength(origin, *dir);
        EXPECT_EQ(origin.length, 0);
        for (const char* number : {"84951234567", "+74951234567", "4951234567", "1234567"}) {
            const SplitResult r = SplitNumber(number, true, origin, *dir);
            EXPECT_TRUE(r.country.isEmpty() && r.city.isEmpty()) << voc << number;
            EXPECT_EQ(r.local, number);
        }
    }
}

TEST(CodeDirectory, CityNamesFollowRangesWithAFallbackRow) {
    const auto dir = directoryOf(kSmallVoc);
    EXPECT_EQ(dir->CityName("7", "495", "5240000"), QStringLiteral("Балашиха, Московская обл."));
    EXPECT_EQ(dir->CityName("7", "495", "1234567"), QStringLiteral("Москва"));
    EXPECT_EQ(dir->CityName("7", "727", "1234567"), QStringLiteral("Алматы"));
    EXPECT_EQ(dir->CityName("7", "999", "1234567"), "");
    EXPECT_EQ(dir->CityName("7", " ", "1234567"), "");
    EXPECT_EQ(dir->CityName("49", "30", "1234567"), ""); // no directory
    EXPECT_EQ(dir->CountryName(" 44 "), QStringLiteral("Великобритания"));
    EXPECT_EQ(dir->CountryName("7"), QStringLiteral("Россия"));
    EXPECT_EQ(dir->CountryName("999"), "");
    EXPECT_TRUE(dir->HasCityDirectory(" 7"));
    EXPECT_FALSE(dir->HasCityDirectory("49"));
}

TEST(CodeDirectory, ChoiceListsNameEveryRowAndMeasureTheWidest) {
    const auto dir = directoryOf(kSmallVoc);
    const auto width = [](const QString& s) { return int(s.size()) * 7; };
    const ChoiceList countries = dir->CountryChoiceList(false, width);
    ASSERT_EQ(countries.lines.size(), 4);
    EXPECT_EQ(countries.lines[0], QStringLiteral("Россия (7)"));
    EXPECT_EQ(countries.widest, int(QStringLiteral("Великобритания (44)").size()) * 7);
    EXPECT_EQ(dir->CountryChoiceList(true).lines[2], QStringLiteral("44 (Великобритания)"));
    const ChoiceList cities = dir->CityChoiceList("7", true);
    ASSERT_EQ(cities.lines.size(), 6);
    EXPECT_EQ(cities.lines[1], QStringLiteral("095 (Москва)"));
    EXPECT_TRUE(dir->CityChoiceList("49", false).lines.isEmpty());
}

TEST(CodeDirectory, AChosenHomeCityTakesItsReplacementCodeAndLocalCodes) {
    const auto dir = directoryOf("[CountryCodes]\r\n"
                                 "a=Code=7; RusName=Россия; Length=10; LongDistance=8;\r\n"
                                 "b=Code=1; RusName=США; Length=10;\r\n"
                                 "[Country7]\r\n"
                                 "1=Name=Москва; Code=495; LocalCodes=495,499;\r\n"
                                 "1=Name=Москва; Code=095; Replace=495;\r\n"
                                 "2=Name=Город; Code=12; Replace=345;\r\n");
    const QStringList cities = dir->CityChoiceList(" 7 ", false).lines;
    ASSERT_EQ(cities.size(), 3);
    const OriginCityChoice renumbered = ChooseOriginCity(*dir, "7", "Москва (095)", cities);
    EXPECT_TRUE(renumbered.applies);
    EXPECT_EQ(renumbered.text, QStringLiteral("Москва (495)"));
    EXPECT_EQ(renumbered.listIndex, 0);
    EXPECT_EQ(renumbered.localCodes, "495,499");
    // A replacement of another length is ignored.
    const OriginCityChoice otherLength = ChooseOriginCity(*dir, "7", "Город (12)", cities);
    EXPECT_EQ(otherLength.text, QStringLiteral("Город (12)"));
    EXPECT_EQ(otherLength.listIndex, 2);
    // A country without a city directory changes nothing.
    EXPECT_FALSE(ChooseOriginCity(*dir, "1", "Нью-Йорк (212)", {}).applies);
}

TEST(CodeDirectory, CountryCodeSearchStopsAtTheFirstCodeWhoseLengthsFail) {
    const auto dir = directoryOf(kSmallVoc);
    // "44" + 9 or 10 digits fits; + 8 digits does not, and no shorter prefix is tried.
    EXPECT_EQ(dir->FindCountryCode("44123456789")->code, "44");
    EXPECT_EQ(dir->FindCountryCode("441234567890")->prefixLength, 2);
    EXPECT_FALSE(dir->FindCountryCode("4412345678").has_value());
    EXPECT_EQ(dir->FindCountryCode("491234567")->code, "49"); // variable length 6..13
    EXPECT_FALSE(dir->FindCountryCode("4912345").has_value());
    EXPECT_FALSE(dir->FindCountryCode("").has_value());
}

TEST(Origin, ReadFromSettingsOrFromTheCountryRowOfCode7) {
    const auto dir = directoryOf(kSmallVoc);
    auto ini = TMyMemIniFile::fromBytes({});
    OriginSettings origin = ReadOriginSettings(*ini, *dir);
    EXPECT_EQ(origin.countryName, QStringLiteral("Россия"));
    EXPECT_EQ(origin.cityCode, "495");
    EXPECT_EQ(origin.longDistance, "8");
    EXPECT_EQ(origin.international, "810");
    EXPECT_EQ(origin.localCodes, "499");
    EXPECT_EQ(origin.length, 10);

    ini->WriteString("Common", "CountryOrigin", QStringLiteral(" великобритания ( 44 )"));
    ini->WriteString("Common", "CityOrigin", QStringLiteral("Лондон (20)"));
    ini->WriteString("Common", "International", "00");
    origin = ReadOriginSettings(*ini, *dir);
    EXPECT_EQ(origin.countryName, QStringLiteral("великобритания"));
    EXPECT_EQ(origin.countryCode, "44");
    EXPECT_EQ(origin.cityName, QStringLiteral("Лондон"));
    EXPECT_EQ(origin.longDistance, ""); // from zel.ini now, where it is not set
    EXPECT_EQ(origin.international, "00");
    EXPECT_EQ(origin.length, 9); // the row is found whatever the letter case
    EXPECT_EQ(origin.length1, 10);

    ASSERT_TRUE(WriteOriginSettings(*ini, origin));
    EXPECT_EQ(ini->ReadString("Common", "CountryOrigin", ""),
              QStringLiteral("Великобритания (44)"));
    EXPECT_EQ(SplitNumber("02012345678", true, origin, *dir).local, "02012345678");
}

TEST(SplitNumber, APartialDirectoryStillSplitsWhatItKnows) {
    // Russia without lengths, a city row without a code, a row without a name, a section of a
    // country the list does not hold, and a country row without a code.
    const auto dir = directoryOf("[CountryCodes]\r\n"
                                 "1=Code=7; RusName=Россия; LongDistance=8;\r\n"
                                 "2=RusName=Нигде;\r\n"
                                 "3=Code=44; RusName=Великобритания; Length=10;\r\n"
                                 "[Country7]\r\n"
                                 "1=Name=Без кода;\r\n"
                                 "2=Code=812;\r\n"
                                 "3=Name=Москва;Code=495;Range=;\r\n"
                                 "[Country44]\r\n"
                                 "[Country999]\r\n"
                                 "1=Name=Остров;Code=1;\r\n");
    OriginSettings origin = moscow();
    LookupNationalLength(origin, *dir);
    EXPECT_EQ(origin.length, 0); // no length: no number counts as national
    EXPECT_EQ(SplitNumber("84951234567", true, origin, *dir),
              (SplitResult{"", "", "84951234567", ""}));
    // International numbers still find their country and its (empty) section.
    EXPECT_EQ(SplitNumber("+442012345678", true, origin, *dir),
              (SplitResult{"44", "", "2012345678", ""}));
    // With the length given by hand, the rows that have codes still work.
    origin.length = 10;
    EXPECT_EQ(SplitNumber("88121234567", true, origin, *dir),
              (SplitResult{"7", "812", "1234567", ""}));
    EXPECT_EQ(dir->CityName("7", "812", "1234567"), ""); // the row has no name
    EXPECT_EQ(dir->CityName("7", "495", "1234567"), QStringLiteral("Москва"));
    EXPECT_EQ(dir->CityChoiceList("7", false).lines.size(), 3);
    EXPECT_EQ(dir->CountryName(""), "");
    EXPECT_FALSE(dir->FindCountryCode("1234").has_value());
}
