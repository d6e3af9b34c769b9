// The modules this build hands to the start: the city-code directory, the number services and
// the database module, seen through the main window as a normal run sets it up.
#include "contacts/datamodule.h"
#include "gui/frame/mainform.h"
#include "link/commthread.h"
#include "link/linkevents.h"
#include "link/protocol.h"
#include "tests/common/windowfixture.h"
#include "zel/modules.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>

using namespace telmira;
using namespace telmira::test;

namespace {

QString str(const std::filesystem::path& path) {
    return QString::fromStdString(path.string()) + QLatin1Char('/');
}

QByteArray digits(const QString& number) {
    QByteArray bytes;
    for (QChar c : number)
        bytes.append(char(c.digitValue()));
    return bytes;
}

struct NormalRunModules : ::testing::Test {
    void SetUp() override { ensureApplication<QApplication>(); }
    // The window's services as the normal run gets them for the work copy.
    MainWindowServices prepared() {
        MainWindowServices services;
        hooks.prepareWindow(str(work.dir()), services);
        return services;
    }
    WorkCopy work;
    ZelHooks hooks = app::ZelHooksOfThisBuild();
};

} // namespace

TEST_F(NormalRunModules, IncomingNumbersAreSplitAgainstTheHomeArea) {
    MainWindowServices services = prepared();
    ASSERT_TRUE(services.origins);
    EXPECT_TRUE(services.origins->CountryChoices().contains("Россия (7)"));

    StartState state;
    state.workDir = str(work.dir());
    auto ini = std::make_unique<TMyIniFile>(str(work.dir()) + "zel.ini");
    state.home = readHomeArea(*ini, services.origins->CountryList());
    TMainForm form(state, *ini, services);
    // A fixed port that does not exist: the link waits for it and the window gets no replies
    // but those posted here.
    form.AttachLink(link::TCommThread::StartLink(str(work.dir()) + "no-phone", &form));
    form.resize(900, 500);
    struct Case {
        const char* number;
        const char* shown;
    };
    const Case cases[] = {
        {"84991234567", "(499) 123-45-67"}, // another Moscow code, dialled with the 8
        {"88121234567", "(812) 123-45-67"}, // the prefix is not shown
        {"1234567", "123-45-67"},
        {"12", "12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        QCoreApplication::postEvent(&form, new link::ReplyEvent(link::eventBuffer(
                                               link::Item{link::kItemIncoming, digits(c.number)})));
        QCoreApplication::sendPostedEvents(&form);
        EXPECT_EQ(form.findChild<QLabel*>("LastNumberLabel")->text().toStdString(),
                  std::string("Последний номер: ") + c.shown);
    }
}

TEST_F(NormalRunModules, DatabaseOpensInTheWorkDirectoryAndADamagedOneIsReported) {
    prepared();
    StartState state;
    state.workDir = str(work.dir());
    QString error;
    std::unique_ptr<QObject> module = hooks.openDataModule(state, &error);
    ASSERT_TRUE(module) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(std::filesystem::exists(work / "db/zel.sqlite"));
    module.reset();

    // Not a database: nothing opens, the message names the file, and the file stays as it was.
    const QByteArray junk(4096, 'x');
    writeFile(work / "db/zel.sqlite", junk.toStdString());
    module = hooks.openDataModule(state, &error);
    EXPECT_FALSE(module);
    EXPECT_TRUE(
        error.startsWith("База данных " + contacts::TDataModule1::DatabasePath(state.workDir)))
        << error.toStdString();
    EXPECT_EQ(readFile(work / "db/zel.sqlite"), junk.toStdString());
}
