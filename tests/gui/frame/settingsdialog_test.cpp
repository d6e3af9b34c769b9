// The settings dialog "Настройки программы": filled from zel.ini, codes.voc and the link; the
// country and city lists with the Replace rule; the checks; OK writing every key and handing a
// changed port to the link.
#include "contacts/codedirectory.h"
#include "gui/frame/mainform.h"
#include "gui/frame/settingsdialog.h"
#include "link/commthread.h"
#include "tests/common/windowfixture.h"

#include "base/cp1251.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

using namespace telmira;
using namespace telmira::test;

namespace {

const char* const kCodes = "[CountryCodes]\r\n"
                           "1=Code=7; RusName=Россия; Length=10; LongDistance=8; "
                           "International=810; LocalCodes=;\r\n"
                           "2=Code=380; RusName=Украина; Length=9; LongDistance=0; "
                           "International=00;\r\n"
                           "[Country7]\r\n"
                           "1=Name=Москва; Code=495; LocalCodes=495,499;\r\n"
                           "2=Name=Москва; Code=095; Replace=495;\r\n"
                           "3=Name=Тверь; Code=4822; LocalCodes=4822;\r\n"
                           "4=Name=Посёлок; Code=0123; Replace=12;\r\n";

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(work.dir / "codes.voc", utf8ToCp1251(kCodes));
        codes = std::make_unique<contacts::TCodeDirectory>(work.path("codes.voc"));
        work.writeIni("[Common]\r\nComPort=/dev/null\r\nCountryOrigin=Россия (7)\r\n"
                      "CityOrigin=Москва (495)\r\nLongDistance=8\r\nInternational=810\r\n");
        readStartSettings(*work.ini, work.state);
        work.state.home = readHomeArea(*work.ini, codes->CountryList());
        work.state.autoDial = false;
    }
    std::unique_ptr<TSettingsDialog> dialog(link::TCommThread* link = nullptr,
                                            bool firstTabOnly = false) {
        return std::make_unique<TSettingsDialog>(*work.ini, work.state, link, *codes, firstTabOnly);
    }
    QString common(const char* key) { return work.ini->ReadString("Common", key, "<none>"); }

    WorkFolder work;
    std::unique_ptr<contacts::TCodeDirectory> codes;
};

TEST_F(SettingsDialog, FilledFromTheSettingsAndTheDirectory) {
    auto d = dialog();
    EXPECT_EQ(d->windowTitle(), "Настройки программы");
    ASSERT_GE(d->Ports()->count(), 2);
    EXPECT_EQ(d->Ports()->itemText(0), "Определять автоматически");
    EXPECT_EQ(d->Ports()->currentText(), "/dev/null");
    EXPECT_TRUE(d->ClockSynchronize()->isChecked());
    EXPECT_TRUE(d->ShowPopup()->isChecked());
    EXPECT_TRUE(d->CloseToTray()->isChecked());
    EXPECT_TRUE(d->SingleClickRestore()->isChecked());
    EXPECT_FALSE(d->AutoDialLength()->isEnabled());
    EXPECT_FALSE(d->AutoDialLengthLabel()->isEnabled());
    d->AutoDial()->setChecked(true);
    EXPECT_TRUE(d->AutoDialLength()->isEnabled());
    EXPECT_TRUE(d->AutoDialLengthLabel()->isEnabled());

    ASSERT_EQ(d->Country()->count(), 2);
    EXPECT_EQ(d->Country()->itemText(1), "Украина (380)");
    EXPECT_EQ(d->Country()->currentText(), "Россия (7)");
    EXPECT_EQ(d->City()->count(), 4);
    EXPECT_EQ(d->City()->currentText(), "Москва (495)");
    EXPECT_EQ(d->LongDistance()->text(), "8");
    EXPECT_EQ(d->International()->text(), "810");
}

TEST_F(SettingsDialog, CountryAndCityChoicesFollowTheDirectory) {
    auto d = dialog();
    d->countryChosen("Украина (380)");
    EXPECT_EQ(d->City()->count(), 0);
    EXPECT_EQ(d->City()->currentText(), "");
    EXPECT_EQ(d->LongDistance()->text(), "0");
    EXPECT_EQ(d->International()->text(), "00");

    d->countryChosen("Россия (7)");
    d->cityChosen("Тверь (4822)");
    EXPECT_EQ(d->LocalCodes()->text(), "4822");
    // A renumbered city: the typed code gives way to its replacement of the same length.
    d->City()->setEditText("Москва (095)");
    d->cityChosen("Москва (095)");
    EXPECT_EQ(d->City()->currentText(), "Москва (495)");
    EXPECT_EQ(d->City()->currentIndex(), 0);
    EXPECT_EQ(d->LocalCodes()->text(), "495,499");
    // A replacement of another length is ignored.
    d->cityChosen("Посёлок (0123)");
    EXPECT_EQ(d->City()->currentText(), "Посёлок (0123)");
}

TEST_F(SettingsDialog, OkWritesEveryKeyAndTakesTheRunningValues) {
    auto d = dialog();
    d->Country()->setEditText("украина (380)");
    d->City()->setEditText("киев (44)");
    d->LongDistance()->setText("0");
    d->International()->setText("00");
    d->LocalCodes()->setText("44");
    d->ClockSynchronize()->setChecked(false);
    d->ShowPopup()->setChecked(false);
    d->OldStylePopup()->setChecked(true);
    d->StartInTray()->setChecked(true);
    d->CloseToTray()->setChecked(false);
    d->SingleClickRestore()->setChecked(false);
    d->LostCallsAreNew()->setChecked(true);
    d->AutoDial()->setChecked(true);
    d->AutoDialLength()->setText("7");
    d->Ports()->setCurrentIndex(0);
    d->accept();
    ASSERT_EQ(d->result(), QDialog::Accepted) << d->Problem().toStdString();

    EXPECT_EQ(common("CountryOrigin"), "Украина (380)");
    EXPECT_EQ(common("CityOrigin"), "Киев (44)");
    EXPECT_EQ(common("LongDistance"), "0");
    EXPECT_EQ(common("International"), "00");
    EXPECT_EQ(common("LocalCodes"), "44");
    EXPECT_EQ(common("ClockSynchronize"), "0");
    EXPECT_EQ(common("ComPort"), "Определять автоматически");
    EXPECT_EQ(common("ShowPopupWindow"), "0");
    EXPECT_EQ(common("OldStylePopupWindow"), "1");
    EXPECT_EQ(common("MinimizeToTrayAtStartup"), "1");
    EXPECT_EQ(common("MinimizeToTrayOnClose"), "0");
    EXPECT_EQ(common("SingleClickRestore"), "0");
    EXPECT_EQ(common("AutoDial"), "1");
    EXPECT_EQ(common("AutoDialLength"), "7");
    EXPECT_EQ(work.ini->ReadString("Archives", "LostCallsIsNew", ""), "1");

    const HomeArea& home = work.state.home;
    EXPECT_EQ(home.countryName, "Украина");
    EXPECT_EQ(home.countryCode, "380");
    EXPECT_EQ(home.cityCode, "44");
    EXPECT_EQ(home.length, 9);
    EXPECT_EQ(home.international, "00");
    EXPECT_FALSE(work.state.minimizeToTrayOnClose);
    EXPECT_FALSE(work.state.singleClickRestore);
    EXPECT_TRUE(work.state.lostCallsIsNew);
    EXPECT_EQ(work.state.autoDialLength, "7");
}

TEST_F(SettingsDialog, ChecksRefuseAPlaceWithoutItsCode) {
    struct Case {
        const char* country;
        const char* city;
        bool autoDial;
        const char* length;
    };
    const Case cases[] = {
        {"Россия", "Москва (495)", false, ""},
        {"Россия (7)", "Москва (abc)", false, ""},
        {"(7)", "Москва (495)", false, ""},
        {"Россия (7)", "Москва (495)", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.country + std::string(" / ") + c.city);
        auto d = dialog();
        d->Country()->setEditText(c.country);
        d->City()->setEditText(c.city);
        d->AutoDial()->setChecked(c.autoDial);
        d->AutoDialLength()->setText(c.length);
        d->accept();
        EXPECT_NE(d->result(), QDialog::Accepted);
        EXPECT_FALSE(d->Problem().isEmpty());
        EXPECT_EQ(common("CountryOrigin"), "Россия (7)"); // nothing written
    }
    // Blank places are the defaults.
    auto d = dialog();
    d->Country()->setEditText("");
    d->City()->setEditText("");
    d->accept();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(common("CountryOrigin"), "");
    EXPECT_EQ(work.state.home.countryName, "Россия");
}

TEST_F(SettingsDialog, ChangedPortAndClockGoToTheLink) {
    work.writeIni("[Common]\r\nComPort=Определять автоматически\r\n");
    std::unique_ptr<link::TCommThread> thread =
        link::TCommThread::StartLink("Определять автоматически", nullptr, [] {
            struct Quiet : link::LinkEnvironment {
                QStringList listPorts(const QString&) override { return {}; }
                Opened openPort(const QString&) override { return {}; }
                link::LinkClock& clock() override { return clock_; }
                link::SystemClock clock_;
            };
            return std::make_unique<Quiet>();
        });
    thread->link().clockSynchronize = true;
    auto d = dialog(thread.get(), true);
    EXPECT_FALSE(d->Tabs()->isTabVisible(1));
    EXPECT_FALSE(d->Tabs()->isTabVisible(2));
    EXPECT_TRUE(d->ClockSynchronize()->isChecked());
    d->ClockSynchronize()->setChecked(false);
    const int null = d->Ports()->findText("/dev/null");
    if (null < 0) {
        d->Ports()->addItem("/dev/null"); // listed only when configured; as the user picks it
        d->Ports()->setCurrentIndex(d->Ports()->count() - 1);
    } else {
        d->Ports()->setCurrentIndex(null);
    }
    d->accept();
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_FALSE(thread->link().clockSynchronize.load());
    EXPECT_EQ(thread->link().PortName(), "/dev/null");
    EXPECT_FALSE(thread->link().AutomaticSearch());
    EXPECT_EQ(common("ComPort"), "/dev/null");
    thread->StopLink();
}

} // namespace
