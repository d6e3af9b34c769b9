// The shipped city-code directory data/codes.voc: in step with its readable source, well formed,
// and splitting real numbers as a user expects.
#include "contacts/codedirectory.h"
#include "contacts/numbers.h"
#include "contacts/origin.h"
#include "contacts/splitnumber.h"
#include "contacts/voceditorstate.h"

#include "base/cp1251.h"
#include "tests/common/qtprint.h"
#include "tests/common/testpaths.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>

using namespace telmira;
using namespace telmira::contacts;

namespace {

const std::string kVocPath = std::string(TELMIRA_SOURCE_DIR) + "/data/codes.voc";
const std::string kSourcePath = std::string(TELMIRA_SOURCE_DIR) + "/data/contacts/codes-voc.txt";

std::unique_ptr<TCodeDirectory> shipped() {
    return TCodeDirectory::fromBytes(QByteArray::fromStdString(test::readFile(kVocPath)));
}

OriginSettings defaultOrigin(const TCodeDirectory& dir) {
    auto ini = TMyMemIniFile::fromBytes({});
    return ReadOriginSettings(*ini, dir);
}

} // namespace

TEST(ShippedVoc, IsTheNumberedWindows1251FormOfItsSource) {
    // The rules of make-codes-voc.sh: comments and blank lines dropped, the lines of every
    // section numbered from 1, a blank line between sections, CR LF.
    const QStringList source =
        QString::fromStdString(test::readFile(kSourcePath)).split(QLatin1Char('\n'));
    QString expected;
    int key = 0;
    bool firstSection = true;
    for (const QString& line : source) {
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!firstSection)
                expected += "\r\n";
            firstSection = false;
            expected += line + "\r\n";
            key = 0;
            continue;
        }
        expected += QString::number(++key) + QLatin1Char('=') + line + "\r\n";
    }
    bool lossless = false;
    const std::string bytes = utf8ToCp1251(expected.toStdString(), &lossless);
    EXPECT_TRUE(lossless) << "the source holds characters Windows-1251 lacks";
    EXPECT_TRUE(bytes == test::readFile(kVocPath))
        << "data/codes.voc is out of date: run data/contacts/make-codes-voc.sh";
}

TEST(ShippedVoc, RowsAreWellFormed) {
    const auto dir = shipped();
    const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    ASSERT_GT(dir->Countries().size(), 150u);
    EXPECT_EQ(dir->Countries()[0].rusName, QStringLiteral("Россия"));
    QSet<QString> marks;
    QSet<QString> names;
    for (const CountryRow& row : dir->Countries()) {
        EXPECT_TRUE(digits.match(row.code).hasMatch()) << row.rusName.toStdString();
        EXPECT_GT(row.length, 0) << row.rusName.toStdString();
        EXPECT_TRUE(row.length1 == 0 || row.length1 > row.length) << row.rusName.toStdString();
        EXPECT_FALSE(row.international.isEmpty()) << row.rusName.toStdString();
        EXPECT_FALSE(names.contains(row.rusName)) << row.rusName.toStdString();
        names.insert(row.rusName);
        // Choice lines are "name (code)": a bracket inside a name would break them.
        EXPECT_FALSE(row.rusName.contains(QLatin1Char('('))) << row.rusName.toStdString();
        marks.insert(row.code + QLatin1Char('/') + row.main);
    }
    int sections = 0;
    for (const CountryRow& row : dir->Countries()) {
        if (!row.main.isEmpty() || !dir->HasCityDirectory(row.code))
            continue;
        ++sections;
        for (const CityRow& city : dir->Cities(row.code)) {
            EXPECT_TRUE(digits.match(city.code).hasMatch()) << city.name.toStdString();
            EXPECT_FALSE(IsBlank(city.name));
            EXPECT_FALSE(city.name.contains(QLatin1Char('(')) || city.name.contains(')'))
                << city.name.toStdString();
            EXPECT_TRUE(marks.contains(row.code + QLatin1Char('/') + city.main))
                << city.name.toStdString() << " has a group mark of no country";
            // A code leaves room for a local part inside the national length.
            EXPECT_LT(city.code.size(), std::max(row.length, row.length1))
                << city.name.toStdString();
        }
    }
    EXPECT_GE(sections, 20);
    EXPECT_GT(dir->Cities("7").size(), 200u);
}

TEST(ShippedVoc, RealNumbersSplitNameAndFormatAsAUserExpects) {
    const auto dir = shipped();
    const OriginSettings origin = defaultOrigin(*dir);
    ASSERT_EQ(origin.longDistance, "8");
    ASSERT_EQ(origin.international, "810");
    ASSERT_EQ(origin.length, 10);
    struct Case {
        const char* number;
        const char* country;
        const char* city;
        const char* local;
        const char* display;
        const char* place;
    } cases[] = {
        // national, with and without the long-distance prefix
        {"84951234567", "7", "495", "1234567", "+7(495) 123-45-67", "Москва"},
        {"4991234567", "7", "499", "1234567", "+7(499) 123-45-67", "Москва"},
        {"84955240000", "7", "495", "5240000", "+7(495) 524-00-00", "Балашиха, Московская обл."},
        {"80951234567", "7", "495", "1234567", "+7(495) 123-45-67", "Москва"},
        {"88121234567", "7", "812", "1234567", "+7(812) 123-45-67", "Санкт-Петербург"},
        {"83833123456", "7", "383", "3123456", "+7(383) 312-34-56", "Новосибирск"},
        {"83812123456", "7", "3812", "123456", "+7(3812) 12-34-56", "Омск"},
        {"84272212345", "7", "42722", "12345", "+7(42722) 1-23-45", "Анадырь, Чукотский АО"},
        {"88001234567", "7", "800", "1234567", "+7(800) 123-45-67", "Бесплатный вызов"},
        // mobile
        {"89161234567", "7", "916", "1234567", "+7(916) 123-45-67", "Мобильный МТС"},
        {"9031234567", "7", "903", "1234567", "+7(903) 123-45-67", "Мобильный Билайн"},
        {"87011234567", "7", "701", "1234567", "+7(701) 123-45-67", "Мобильный Kcell"},
        {"87272123456", "7", "727", "2123456", "+7(727) 212-34-56", "Алматы"},
        // local
        {"1234567", "", "", "1234567", "123-45-67", ""},
        {"123-45-67", "", "", "1234567", "123-45-67", ""},
        // international, by prefix and by "+"
        {"+74951234567", "7", "495", "1234567", "+7(495) 123-45-67", "Москва"},
        {"810380441234567", "380", "44", "1234567", "+380(44) 123-45-67", "Киев"},
        {"+375 17 123-45-67", "375", "17", "1234567", "+375(17) 123-45-67", "Минск"},
        {"+4930123456", "49", "30", "123456", "+49(30) 12-34-56", "Берлин"},
        {"+442079460958", "44", "20", "79460958", "+44(20) 7946-09-58", "Лондон"},
        {"+12125551234", "1", "212", "5551234", "+1(212) 555-12-34", "Нью-Йорк, Нью-Йорк"},
        {"+16135551234", "1", "613", "5551234", "+1(613) 555-12-34", "Оттава, Онтарио"},
        {"+390612345678", "39", "06", "12345678", "+39(06) 1234-56-78", "Рим"},
        {"+33142685300", "33", "1", "42685300", "+33(1) 4268-53-00", "Париж, Иль-де-Франс"},
        {"+97231234567", "972", "3", "1234567", "+972(3) 123-45-67", "Тель-Авив"},
        {"+861012345678", "86", "10", "12345678", "+86(10) 1234-56-78", "Пекин"},
        {"+37410123456", "374", "10", "123456", "+374(10) 12-34-56", "Ереван"},
        {"+35891234567", "358", "", "91234567", "+358 9123-45-67", ""}, // no city directory
        // unknown country, too short, too long, garbage
        {"+999123456", "", "", "+999123456", "+99912-34-56", ""},
        {"12", "", "", "12", "12", ""},
        {"849512345678901", "", "", "849512345678901", "84951234567-89-01", ""},
        {"8 (495) 123-45-67 доб.", "7", "495", "1234567", "+7(495) 123-45-67", "Москва"},
        {"тел.", "", "", "", "", ""},
    };
    for (const Case& c : cases) {
        const SplitResult r = SplitNumber(QString::fromUtf8(c.number), true, origin, *dir);
        EXPECT_EQ(r.country, c.country) << c.number;
        EXPECT_EQ(r.city, c.city) << c.number;
        EXPECT_EQ(r.local, c.local) << c.number;
        EXPECT_EQ(NumberDisplayText(r.country, r.city, r.local), QString::fromUtf8(c.display))
            << c.number;
        EXPECT_EQ(dir->CityName(r.country, r.city, r.local), QString::fromUtf8(c.place))
            << c.number;
    }
    // The forms shown for phone events and the extension of archive numbers.
    EXPECT_EQ(SplitNumber("89161234567", false, origin, *dir).country, "8");
    EXPECT_EQ(SplitNumber("+74951234567", false, origin, *dir).country, "8-10-7");
    const SplitResult ext = SplitNumberWithExtension("84951234567*205", true, origin, *dir);
    EXPECT_EQ(ext, (SplitResult{"7", "495", "1234567", "205"}));
    EXPECT_EQ(dir->CountryName("380"), QStringLiteral("Украина"));
    EXPECT_EQ(dir->CountryName("1"), QStringLiteral("США"));
}

TEST(ShippedVoc, ReadsAndWritesBackByteForByte) {
    const std::string original = test::readFile(kVocPath);
    test::TempDir dir;
    test::writeFile(dir / "codes.voc", original);
    const QString path = QString::fromStdString((dir / "codes.voc").string());
    {
        TCodeDirectory voc(path);
        EXPECT_TRUE(voc.LastError().isEmpty());
        ASSERT_TRUE(voc.Save());
    }
    EXPECT_TRUE(test::readFile(dir / "codes.voc") == original);

    // An editor pass over Russia that changes nothing but the order of its rows keeps every
    // row, Kazakhstan's included.
    TCodeDirectory voc(path);
    const size_t rows = voc.Cities("7").size();
    VocEditorState editor(voc, nullptr);
    editor.SelectCountry(QStringLiteral("Россия (7)"));
    editor.SetCell(0, VocEditorState::RepublicColumn, QStringLiteral("Москва"));
    ASSERT_TRUE(editor.SaveVocabulary());
    TCodeDirectory reread(path);
    EXPECT_EQ(reread.Cities("7").size(), rows);
    EXPECT_EQ(reread.CityName("7", "727", "1234567"), QStringLiteral("Алматы"));
    EXPECT_EQ(reread.CityName("7", "495", "5240000"), QStringLiteral("Балашиха, Московская обл."));
    EXPECT_EQ(reread.Countries().size(), voc.Countries().size());
}
