// The main window's side of the link (TLinkBridge): reply dispatch to the open tools, the
// last-number label and button, the link state, error and cursor events, the debug and
// connection-test windows.
#include "frame/tooltable.h"
#include "gui/frame/mainform.h"
#include "gui/frame/traycontrol.h"
#include "gui/link/debugform.h"
#include "gui/link/testconnect.h"
#include "link/commandrecord.h"
#include "link/commthread.h"
#include "link/linkevents.h"
#include "link/protocol.h"
#include "tests/common/windowfixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

using namespace telmira;
using namespace telmira::test;

namespace {

// Keeps the link thread in its first cycle until the test ends, so the link state is the
// test's to set.
class HeldEnvironment : public link::LinkEnvironment {
public:
    explicit HeldEnvironment(QSemaphore& gate) : gate_(gate) {}
    QStringList listPorts(const QString&) override {
        gate_.acquire();
        return {};
    }
    Opened openPort(const QString&) override { return {}; }
    link::LinkClock& clock() override { return clock_; }

private:
    QSemaphore& gate_;
    link::SystemClock clock_;
};

// The archive reply handler of the archive module.
struct ArchiveHandler : ReplyAddressee {
    void CommandReply(const QByteArray& buffer) override { replies << buffer; }
    QList<QByteArray> replies;
};

class LinkWindow : public ::testing::Test {
protected:
    void SetUp() override {
        work.writeIni("[ProjectDefs]\r\n1=Name=Корвел 28 Талви; FileName=korv28.def; Code=1;\r\n"
                      "2=Name=Корвел 28 Талви, 2 языка; FileName=korv28v.def; Code=2;\r\n");
        services = fakeToolServices({"Matrix", "NoteBook", "PhoneSetup", "Archives"});
        services.archiveHandler = [this](ToolContext&) {
            auto handler = std::make_unique<ArchiveHandler>();
            archive = handler.get();
            return handler;
        };
        services.numbers.shown = [this](TMainForm&, const link::NumberEvent& event,
                                        const QString& shown) {
            shownNumbers << (event.number + "|" + shown);
        };
    }
    void TearDown() override {
        gate.release(1000);
        form.reset();
    }
    void makeForm() {
        form = std::make_unique<TMainForm>(work.state, *work.ini, services);
        form->AttachLink(link::TCommThread::StartLink(
            "/dev/phone", form.get(), [this] { return std::make_unique<HeldEnvironment>(gate); }));
        shared().SetPortSetting("/dev/phone", false); // the port the held environment plays
        form->LinkBridge().findChild<QTimer*>("PollTimer")->stop();
        form->runStartupOpening(QString());
    }
    link::LinkShared& shared() { return *form->Link(); }
    void post(QEvent* event) {
        QCoreApplication::postEvent(form.get(), event);
        QCoreApplication::sendPostedEvents(form.get());
        QCoreApplication::processEvents(); // the toolbar lays its widgets out
    }
    void reply(const QByteArray& buffer) { post(new link::ReplyEvent(buffer)); }
    void number(std::uint8_t item, const QByteArray& digits) {
        reply(link::eventBuffer(link::Item{item, digits}));
    }
    void setConnected(bool connected) {
        shared().connected = connected;
        post(new link::LinkStateEvent);
    }
    QList<link::CommandRecord> queued() {
        QList<link::CommandRecord> records;
        for (const QString& text : shared().Records())
            if (auto record = link::parseCommandRecord(text))
                records << *record;
        return records;
    }

    WorkFolder work;
    MainWindowServices services;
    QSemaphore gate;
    std::unique_ptr<TMainForm> form;
    ArchiveHandler* archive = nullptr;
    QStringList shownNumbers;
};

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray result;
    for (int v : values)
        result.append(static_cast<char>(v));
    return result;
}

TEST_F(LinkWindow, RepliesReachTheOpenToolTheyAreAddressedTo) {
    makeForm();
    form->ToolTabs().ToggleTool(kToolMatrix, true);
    FakeTool* matrix = fakeTool(*form, "Matrix");
    // Item 13 of a key matrix, then status, command 9, name 0.
    reply(bytes({13, 1, 0x55, 0x00, 9, 0}));
    ASSERT_EQ(matrix->replies.size(), 1);
    EXPECT_EQ(matrix->replies[0], bytes({13, 1, 0x55}));
    EXPECT_EQ(matrix->prepared, QList<int>{9});

    // The phone book is not open: its reply goes nowhere. Archive data always reaches the
    // archive handler, and the day change the archive tool.
    reply(bytes({26, 1, 7, 0x00, 10, 3}));
    ASSERT_NE(archive, nullptr);
    reply(bytes({25, 1, 1, 0x00, 2, 5}));
    ASSERT_EQ(archive->replies.size(), 1);
    EXPECT_EQ(archive->replies[0], bytes({25, 1, 1}));

    // Phone-book data goes to the phone book whatever the name byte says; a reply for name 1
    // keeps its trailer.
    form->ToolTabs().ToggleTool(kToolNoteBook, true);
    reply(bytes({26, 1, 7, 0x00, 10, 3}));
    reply(bytes({30, 1, 2, 0x00, 10, 1}));
    ASSERT_EQ(fakeTool(*form, "NoteBook")->replies.size(), 2);
    EXPECT_EQ(fakeTool(*form, "NoteBook")->replies[0], bytes({26, 1, 7}));
    EXPECT_EQ(fakeTool(*form, "NoteBook")->replies[1], bytes({30, 1, 2, 0x00, 10, 1}));
    EXPECT_TRUE(fakeTool(*form, "Archives") == nullptr);

    form->ToolTabs().ToggleTool(kToolArchives, true);
    reply(bytes({0, 0, 6}));
    EXPECT_EQ(fakeTool(*form, "Archives")->dayChanges, 1);
    EXPECT_EQ(matrix->replies.size(), 1);
}

TEST_F(LinkWindow, NumberEventsShowTheLastNumber) {
    makeForm();
    form->resize(800, 500);
    EXPECT_FALSE(form->findChild<QToolButton*>("LastNumberButton")->isVisible());
    number(link::kItemIncoming, bytes({4, 9, 5, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(form->findChild<QLabel*>("LastNumberLabel")->text(), "Последний номер: 4951234567");
    EXPECT_TRUE(form->findChild<QLabel*>("LastNumberLabel")->isVisible());
    EXPECT_TRUE(form->findChild<QToolButton*>("LastNumberButton")->isVisible());
    EXPECT_EQ(form->findChild<QToolButton*>("LastNumberButton")->toolTip(),
              "Набрать последний номер 4951234567 в линию через связь");
    EXPECT_EQ(form->findChild<QToolButton*>("LastNumberButton")->property("tag").toInt(), 1);
    EXPECT_EQ(shownNumbers, QStringList{"4951234567|4951234567"});

    // The same number dialled on the phone: tag 2; repeating it with the handset down is
    // ignored.
    number(link::kItemDialled, bytes({4, 9, 5, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(form->findChild<QToolButton*>("LastNumberButton")->property("tag").toInt(), 2);
    number(link::kItemDialled, bytes({4, 9, 5, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(shownNumbers.size(), 2);

    // A caller without a number; a narrow window hides the label, not the button.
    number(link::kItemIncoming, QByteArray());
    EXPECT_EQ(form->findChild<QLabel*>("LastNumberLabel")->text(), "Последний номер: [-------]");
    EXPECT_EQ(form->findChild<QToolButton*>("LastNumberButton")->toolTip(), "Номер не определен");
    form->resize(709, 500);
    QCoreApplication::processEvents();
    EXPECT_FALSE(form->findChild<QLabel*>("LastNumberLabel")->isVisible());
    EXPECT_TRUE(form->findChild<QToolButton*>("LastNumberButton")->isVisible());
}

TEST_F(LinkWindow, NumbersAreSplitAndLaidIntoTheMask) {
    services.numbers.split = [](const QString& number, bool keepCodes, const HomeArea&) {
        EXPECT_FALSE(keepCodes);
        return number.size() == 10 ? link::NumberParts{"8", number.left(3), number.mid(3), ""}
                                   : link::NumberParts{"", "", number, ""};
    };
    services.numbers.formatByMask = [](const QString& mask, const QString& digits) {
        return mask + ":" + digits;
    };
    makeForm();
    form->resize(800, 500);
    number(link::kItemIncoming, bytes({4, 9, 5, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(form->findChild<QLabel*>("LastNumberLabel")->text(),
              "Последний номер: (495) 0000-000-00-00:1234567");
    number(link::kItemIncoming, bytes({1, 2}));
    EXPECT_EQ(form->findChild<QLabel*>("LastNumberLabel")->text(), "Последний номер: 0000:12");
    // A caller without a number is not laid into the mask.
    number(link::kItemIncoming, QByteArray());
    EXPECT_EQ(form->findChild<QLabel*>("LastNumberLabel")->text(), "Последний номер: [-------]");
}

TEST_F(LinkWindow, LastNumberButtonDialsWhileConnected) {
    makeForm();
    number(link::kItemIncoming, bytes({4, 9, 5, 1, 2}));
    form->findChild<QToolButton*>("LastNumberButton")->click();
    EXPECT_TRUE(queued().isEmpty()); // no link yet
    shared().connected = true;
    form->findChild<QToolButton*>("LastNumberButton")->click();
    ASSERT_EQ(queued().size(), 1);
    EXPECT_EQ(queued()[0], (link::CommandRecord{8, 32, bytes({0xA2, 4, 9, 5, 1, 2}), -1, 0}));
}

TEST_F(LinkWindow, LinkStateNamesThePhoneAndThePort) {
    makeForm();
    form->ToolTabs().ToggleTool(kToolNoteBook, true);
    EXPECT_FALSE(form->findChild<QToolButton*>("ConnectionButton")->isEnabled());
    EXPECT_EQ(form->findChild<QToolButton*>("ConnectionButton")->toolTip(),
              "Связь с телефоном отсутствует");
    EXPECT_FALSE(form->ToolTabs().ToolCommand(kToolPhoneSetup)->isEnabled());

    shared().modelCode = 2;
    shared().answeringMachine = true;
    setConnected(true);
    EXPECT_TRUE(form->findChild<QToolButton*>("ConnectionButton")->isEnabled());
    EXPECT_EQ(form->LinkBridge().LinkHint(),
              "Связь с телефоном Корвел 28 Талви, 2 языка\r\nустановлена через /dev/phone|");
    EXPECT_TRUE(form->ToolTabs().ToolCommand(kToolPhoneSetup)->isEnabled());
    EXPECT_TRUE(trayOf(*form)->Tip().endsWith("Связь установлена"));
    EXPECT_EQ(trayOf(*form)->Frame(), 0);

    setConnected(false);
    EXPECT_FALSE(form->findChild<QToolButton*>("ConnectionButton")->isEnabled());
    EXPECT_FALSE(shared().answeringMachine.load());
    EXPECT_FALSE(form->ToolTabs().ToolCommand(kToolPhoneSetup)->isEnabled());
    EXPECT_EQ(trayOf(*form)->Frame(), 4);
    // Created while the link was down, then told each change.
    EXPECT_EQ(fakeTool(*form, "NoteBook")->linkStates, (QList<bool>{false, true, false}));
}

TEST_F(LinkWindow, ErrorTextsOpenABoxAndCursorEventsSetTheCursor) {
    makeForm();
    post(new link::TextEvent(link::kErrorEvent, "Превышен интервал ожидания матрицы из телефона"));
    auto* box = form->findChild<QMessageBox*>("LinkErrorBox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), " Ошибка");
    EXPECT_EQ(box->text(), "Превышен интервал ожидания матрицы из телефона");
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons()[0]->text(), "Закрыть");
    // Further errors join the open box, each text once, instead of piling up boxes.
    post(new link::TextEvent(link::kErrorEvent, "Нет ответа\r\nот телефона"));
    post(new link::TextEvent(link::kErrorEvent, "Превышен интервал ожидания матрицы из телефона"));
    EXPECT_EQ(form->findChildren<QMessageBox*>("LinkErrorBox").size(), 1);
    EXPECT_EQ(box->text(),
              "Превышен интервал ожидания матрицы из телефона\n\nНет ответа\nот телефона");
    for (int i = 0; i < 12; ++i)
        post(new link::TextEvent(link::kErrorEvent, QString("Ошибка %1").arg(i)));
    EXPECT_EQ(box->text().count("\n\n"), 9);
    EXPECT_TRUE(box->text().endsWith("Ошибка 11"));
    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Once it is closed, the next error opens a box of its own.
    post(new link::TextEvent(link::kErrorEvent, "Нет ответа\r\nот телефона"));
    const auto boxes = form->findChildren<QMessageBox*>("LinkErrorBox");
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0]->text(), "Нет ответа\nот телефона");
    boxes[0]->close();

    post(new link::CursorEvent(5));
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    post(new link::CursorEvent(0));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(LinkWindow, DebugWindowTracesAndShowsTheStatusFlags) {
    makeForm();
    form->setGeometry(20, 40, 770, 500);
    form->ShowDebugWindow(true);
    TForm12* debug = form->DebugForm();
    ASSERT_NE(debug, nullptr);
    EXPECT_EQ(debug->windowTitle(), "Отладчик");
    EXPECT_TRUE(shared().traceWindowOpen.load());
    EXPECT_EQ(form->geometry(), QRect(20 + 259, 40, 770 - 259, 500));

    post(new link::TextEvent(link::kTraceEvent, "\r\nCommandSend: 3D"));
    ASSERT_EQ(debug->TraceList()->count(), 1);
    EXPECT_EQ(debug->TraceList()->item(0)->text(), "CommandSend: 3D");
    post(new link::TextEvent(link::kTraceEvent, "TX: 3D 00 \r\nLoopBack:"));
    ASSERT_EQ(debug->TraceList()->count(), 3);
    EXPECT_EQ(debug->TraceList()->item(2)->text(), "LoopBack:");
    debug->PauseBox()->setChecked(true);
    post(new link::TextEvent(link::kTraceEvent, "dropped"));
    EXPECT_EQ(debug->TraceList()->count(), 3);
    debug->PauseBox()->setChecked(false);

    shared().status0 = link::FL_ARCHIVE | link::FL_DOT;
    shared().status1 = link::FL_TUBE | link::FL_BUSY;
    post(new link::TextEvent(link::kTraceEvent, QString(QChar(1))));
    EXPECT_TRUE(debug->StatusLabel(0)->styleSheet().contains("#d01010"));
    EXPECT_TRUE(debug->StatusLabel(1)->styleSheet().isEmpty());
    EXPECT_TRUE(debug->FlagBox(0, 0)->isChecked());
    EXPECT_TRUE(debug->FlagBox(0, 6)->isChecked());
    EXPECT_FALSE(debug->FlagBox(0, 1)->isChecked());
    EXPECT_TRUE(debug->FlagBox(1, 0)->isChecked());
    EXPECT_TRUE(debug->FlagBox(1, 7)->isChecked());
    EXPECT_EQ(debug->FlagBox(1, 1)->text(), "FL_TALKING");
    EXPECT_EQ(debug->FlagBox(0, 5)->text(), "");
    post(new link::TextEvent(link::kTraceEvent, QString(QChar(2))));
    EXPECT_TRUE(debug->StatusLabel(1)->styleSheet().contains("#d01010"));
    EXPECT_EQ(debug->TraceList()->count(), 3);

    // The three-state box sets how idle polls are traced.
    debug->PingsBox()->setCheckState(Qt::PartiallyChecked);
    EXPECT_EQ(shared().pingTrace.load(), link::PingTrace::WhenData);
    debug->PingsBox()->setCheckState(Qt::Checked);
    EXPECT_EQ(shared().pingTrace.load(), link::PingTrace::Shown);

    // Closing it stops the trace and gives the room back.
    debug->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form->DebugForm(), nullptr);
    EXPECT_FALSE(shared().traceWindowOpen.load());
    EXPECT_EQ(form->geometry(), QRect(20, 40, 770, 500));
}

TEST_F(LinkWindow, DebugWindowStandsLeftOfTheMainWindowWhereThereIsRoom) {
    makeForm();
    form->setGeometry(280, 40, 500, 500);
    form->ShowDebugWindow(true);
    ASSERT_NE(form->DebugForm(), nullptr);
    EXPECT_EQ(form->geometry(), QRect(280, 40, 500, 500));
    EXPECT_LT(form->DebugForm()->geometry().right(), form->geometry().left());
    form->ShowDebugWindow(false);
    EXPECT_EQ(form->DebugForm(), nullptr);
    EXPECT_FALSE(shared().traceWindowOpen.load());
    EXPECT_EQ(form->geometry(), QRect(280, 40, 500, 500));
}

TEST_F(LinkWindow, TraceListEmptiesWhenFull) {
    makeForm();
    form->ShowDebugWindow(true);
    TForm12* debug = form->DebugForm();
    for (int i = 0; i < 5000; ++i)
        debug->Trace(QString::number(i));
    EXPECT_EQ(debug->TraceList()->count(), 5000);
    debug->Trace("5001st");
    ASSERT_EQ(debug->TraceList()->count(), 1);
    EXPECT_EQ(debug->TraceList()->item(0)->text(), "5001st");
}

TEST_F(LinkWindow, DebugSendRowsQueueForNameEightWhileConnected) {
    makeForm();
    form->ShowDebugWindow(true);
    TForm12* debug = form->DebugForm();
    debug->CommandField(0)->setText("17");
    debug->ParametersField(0)->setText(" 1 2 -1 abc 300 ");
    debug->SendButton(0)->click();
    EXPECT_TRUE(queued().isEmpty()); // link down

    shared().connected = true;
    debug->SendButton(0)->click();
    debug->CommandField(1)->setText("x");
    debug->SendButton(1)->click();
    debug->CommandField(2)->setText("99");
    debug->SendButton(2)->click();
    ASSERT_EQ(queued().size(), 2);
    EXPECT_EQ(queued()[0], (link::CommandRecord{8, 17, bytes({1, 2, 0x2C}), -1, 0}));
    EXPECT_EQ(queued()[1], (link::CommandRecord{8, 0, {}, -1, 0}));
    EXPECT_TRUE(debug->TraceList()->item(debug->TraceList()->count() - 1)->text().contains("99"));
    debug->CommandField(2)->setText("$11");
    debug->ParametersField(2)->setText(QString("1 ").repeated(256));
    debug->SendButton(2)->click();
    EXPECT_EQ(queued().size(), 2);
    EXPECT_TRUE(debug->TraceList()->item(debug->TraceList()->count() - 1)->text().contains("255"));

    debug->ClearQueueButton()->click();
    EXPECT_TRUE(shared().clearRequest.load());
    EXPECT_EQ(queued().size(), 3);
}

// A tool that stops what it made the phone do when it goes (a melody it plays).
class StoppingTool : public FakeTool {
public:
    explicit StoppingTool(link::LinkShared* link) : FakeTool("PhoneSetup"), link_(link) {}
    ~StoppingTool() override {
        if (link_)
            link_->AppendCommand(link::CommandRecord{3, 3, {}, -1, 0});
    }

private:
    link::LinkShared* link_;
};

TEST_F(LinkWindow, ToolsMayQueueOnTheLinkWhileTheWindowGoes) {
    services.tools["PhoneSetup"] = [](ToolContext& context) {
        return std::make_unique<StoppingTool>(context.link);
    };
    makeForm();
    setConnected(true);
    form->ToolTabs().ToggleTool(kToolPhoneSetup, true);
    ASSERT_NE(form->ToolTabs().Tool(kToolPhoneSetup), nullptr);
    gate.release(1000);
    form.reset(); // without a close sequence, as when the loop ends otherwise
}

TEST_F(LinkWindow, ConnectionTestWindowFollowsTheLink) {
    work.state.testConnectMode = true;
    makeForm();
    form->ShowTestConnect();
    TForm15* test = form->findChild<TForm15*>("TestConnectForm");
    ASSERT_NE(test, nullptr);
    EXPECT_EQ(test->windowTitle(), "Проверка связи Корвел Коннект");
    EXPECT_EQ(test->size(), QSize(513, 178));
    EXPECT_EQ(test->LinkLine()->text(), "Связь с телефоном отсутствует");
    EXPECT_FALSE(form->isVisible());

    post(new link::TextEvent(link::kTraceEvent, "Соединяемся с портом: /dev/phone"));
    post(new link::TextEvent(link::kTraceEvent, "Получен Handle: 7"));
    post(new link::TextEvent(link::kTraceEvent, "TX: 3F"));
    EXPECT_EQ(test->ProgressLines()->text(), "Соединяемся с портом: /dev/phone\nПолучен Handle: 7");

    test->MelodyButton()->click(); // link down: the state turns, nothing is queued
    EXPECT_TRUE(test->MelodyOn());
    EXPECT_TRUE(queued().isEmpty());

    shared().modelCode = 1;
    setConnected(true);
    EXPECT_EQ(test->LinkLine()->text(),
              "Связь с телефоном Корвел 28 Талви\n установлена через /dev/phone");
    EXPECT_TRUE(test->MelodyButton()->property("highlighted").toBool());
    EXPECT_TRUE(test->ProgressLines()->text().isEmpty());
    test->MelodyButton()->click();
    test->MelodyButton()->click();
    ASSERT_EQ(queued().size(), 2);
    EXPECT_EQ(queued()[0], (link::CommandRecord{3, 3, {}, -1, 0}));
    EXPECT_EQ(queued()[1], (link::CommandRecord{3, 8, QByteArray(1, 0), -1, 0}));

    // Closing the tester ends the application (the link stops: let it leave its first cycle).
    gate.release(1000);
    QSignalSpy closed(form.get(), &TMainForm::closed);
    test->close();
    EXPECT_EQ(closed.count(), 1);
}

} // namespace
