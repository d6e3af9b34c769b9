// The modules this build hands to the start: the city-code directory, the number services and
// the database module, seen through the main window as a normal run sets it up.
#include "contacts/datamodule.h"
#include "frame/tooltable.h"
#include "gui/contacts/voceditor.h"
#include "gui/frame/mainform.h"
#include "link/commthread.h"
#include "link/linkevents.h"
#include "link/protocol.h"
#include "tests/common/windowfixture.h"
#include "zel/modules.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QTableView>

#include <algorithm>

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
    ASSERT_TRUE(services.codes);
    EXPECT_TRUE(services.codes->CountryChoiceList(false).lines.contains("Россия (7)"));

    StartState state;
    state.workDir = str(work.dir());
    auto ini = std::make_unique<TMyIniFile>(str(work.dir()) + "zel.ini");
    state.home = readHomeArea(*ini, services.codes->CountryList());
    TMainForm form(state, *ini, services);
    // A fixed port on which no phone answers: the window gets no replies but those posted here.
    form.AttachLink(link::TCommThread::StartLink("/dev/null", &form));
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

TEST_F(NormalRunModules, TheCityCodeEditorEditsTheDirectoryTheWindowReads) {
    MainWindowServices services = prepared();
    ASSERT_TRUE(services.tools.contains("VocEditor"));
    StartState state;
    state.workDir = str(work.dir());
    state.toolMode = true;
    auto ini = std::make_unique<TMyIniFile>(str(work.dir()) + "zel.ini");
    TMainForm form(state, *ini, services);
    ASSERT_TRUE(form.ToolTabs().ToolCommand(kToolVocEditor)->isEnabled());
    form.ToolTabs().ToggleTool(kToolVocEditor, true);
    auto* editor = dynamic_cast<contacts::TVocEditor*>(form.ToolTabs().Tool("VocEditor"));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->CountryChooser()->currentText(), "Россия (7)");

    // A city renamed in the grid reaches the one directory once the tab is left.
    QAbstractItemModel* grid = editor->Grid()->model();
    ASSERT_TRUE(grid->setData(grid->index(0, 0), "Тестоград"));
    form.ToolTabs().ToggleTool(kToolVocEditor, false);
    EXPECT_EQ(form.ToolTabs().Tool("VocEditor"), editor); // changed: kept, hidden
    const QStringList cities = services.codes->CityChoiceList("7", false).lines;
    EXPECT_TRUE(std::any_of(cities.begin(), cities.end(),
                            [](const QString& line) { return line.startsWith("Тестоград ("); }));
}
