// Rules of the main window that need no display: the tool table, closing and the tray, the debug
// window's send rows and trace, and the number display.
#include "base/cp1251.h"
#include "frame/debugtrace.h"
#include "frame/settings.h"
#include "frame/tooltable.h"
#include "frame/windowrules.h"
#include "link/numberdisplay.h"
#include "tests/common/testpaths.h"

#include <gtest/gtest.h>

using namespace telmira;
using telmira::test::TempDir;
using telmira::test::writeFile;

namespace {

TEST(ToolTable, EightToolsWithTheirNamesPicturesAndReplyNames) {
    ASSERT_EQ(toolTable().size(), 8u);
    for (int i = 1; i <= kToolCount; ++i) {
        const ToolInfo* tool = toolByIndex(i);
        ASSERT_NE(tool, nullptr);
        EXPECT_EQ(tool->index, i);
        EXPECT_LE(strlen(tool->name), 35u);
        EXPECT_EQ(toolByName(QString::fromLatin1(tool->name).toLower()), tool);
    }
    EXPECT_EQ(toolByIndex(0), nullptr);
    EXPECT_EQ(toolByIndex(9), nullptr);
    EXPECT_EQ(toolByName("Phone"), nullptr);
    EXPECT_EQ(toolByIndex(kToolAutoSetup)->menuCommand, nullptr);
    EXPECT_STREQ(toolByIndex(kToolVarList)->menuCommand, "Предустановленные переменные");
    EXPECT_EQ(toolByReplyName(0)->index, kToolMatrix);
    EXPECT_EQ(toolByReplyName(1)->index, kToolNoteBook);
    EXPECT_EQ(toolByReplyName(2)->index, kToolVarList);
    EXPECT_EQ(toolByReplyName(3)->index, kToolPhoneSetup);
    EXPECT_EQ(toolByReplyName(10)->index, kToolAutoSetup);
    for (int name : {4, 5, 6, 8, 9, -1})
        EXPECT_EQ(toolByReplyName(name), nullptr) << name;
    EXPECT_EQ(tabImage(kToolMatrix, false, true, false), 4);
    EXPECT_EQ(tabImage(kToolVocEditor, false, false, false), 10);
    EXPECT_EQ(tabImage(kToolMatrix, true, false, true), 2);
    EXPECT_EQ(tabImage(kToolMatrix, true, true, true), 3);
}

TEST(ToolTable, UncheckedToolsGoUnlessTheyHoldEditorChanges) {
    for (int tool : {kToolMelodyList, kToolPhoneSetup, kToolNoteBook, kToolArchives}) {
        EXPECT_TRUE(destroyedWhenUnchecked(tool, false));
        EXPECT_TRUE(destroyedWhenUnchecked(tool, true));
    }
    for (int tool : {kToolMatrix, kToolVarList, kToolVocEditor}) {
        EXPECT_TRUE(destroyedWhenUnchecked(tool, false));
        EXPECT_FALSE(destroyedWhenUnchecked(tool, true));
    }
}

TEST(ToolTable, TabAfterClosingOne) {
    EXPECT_EQ(tabPositionAfterClose(2, 3), 1); // the last: the previous one
    EXPECT_EQ(tabPositionAfterClose(0, 3), 0); // the one that moves up
    EXPECT_EQ(tabPositionAfterClose(1, 3), 1);
    EXPECT_EQ(tabPositionAfterClose(0, 1), -1);
}

TEST(WindowRules, ClosingDecision) {
    struct Case {
        bool toTray, testConnect, ctrl, alt;
        CloseAction action;
    };
    const Case cases[] = {
        {true, false, false, false, CloseAction::HideToTray},
        {true, false, false, true, CloseAction::HideToTrayWithoutPopups},
        {true, false, true, false, CloseAction::Close},
        {true, false, true, true, CloseAction::Close},
        {false, false, false, true, CloseAction::Close},
        {true, true, false, false, CloseAction::Close},
    };
    for (const Case& c : cases)
        EXPECT_EQ(closeActionFor(c.toTray, c.testConnect, c.ctrl, c.alt), c.action)
            << c.toTray << c.testConnect << c.ctrl << c.alt;
}

TEST(WindowRules, TrayFramesTipsAndClicks) {
    EXPECT_EQ(trayFrame(true, 0), 0);
    EXPECT_EQ(trayFrame(true, 3), 3);
    EXPECT_EQ(trayFrame(false, 2), 6);
    EXPECT_EQ(trayTip(false, true), "Telmira\rСвязь установлена");
    EXPECT_EQ(trayTip(false, false), "Telmira\rСвязь отсутствует");
    EXPECT_EQ(trayTip(true, false), "Telmira\rВ архиве есть новые звонки\rСвязь отсутствует");
    EXPECT_LE(trayTip(true, true).size(), 63);
    EXPECT_TRUE(trayClickRestores(TrayClick::Single, true));
    EXPECT_FALSE(trayClickRestores(TrayClick::Double, true));
    EXPECT_FALSE(trayClickRestores(TrayClick::Single, false));
    EXPECT_TRUE(trayClickRestores(TrayClick::Double, false));
    EXPECT_EQ(shortHint("Связь с телефоном отсутствует|"), "Связь с телефоном отсутствует");
    EXPECT_EQ(shortHint("a|b"), "a");
    EXPECT_EQ(shortHint("plain"), "plain");
}

TEST(WindowRules, FitToScreen) {
    const QRect screen(0, 0, 1024, 768);
    EXPECT_EQ(fitToScreen(QRect(10, 10, 500, 400), screen), QRect(10, 10, 500, 400));
    EXPECT_EQ(fitToScreen(QRect(-50, -20, 500, 400), screen), QRect(0, 0, 500, 400));
    EXPECT_EQ(fitToScreen(QRect(800, 600, 500, 400), screen), QRect(524, 368, 500, 400));
    EXPECT_EQ(fitToScreen(QRect(100, 100, 2000, 1000), screen), QRect(0, 0, 1024, 768));
    const QRect second(1024, 0, 800, 600);
    EXPECT_EQ(fitToScreen(QRect(900, 50, 500, 400), second), QRect(1024, 50, 500, 400));
}

TEST(DebugTrace, SendRowsReadTheCommandAndTheParameterBytes) {
    EXPECT_EQ(sendRowCommand("17"), 17);
    EXPECT_EQ(sendRowCommand(" 8 "), 8);
    EXPECT_EQ(sendRowCommand("x"), 0);
    EXPECT_EQ(sendRowCommand(""), 0);
    EXPECT_EQ(sendRowCommand("$3D"), 61);
    EXPECT_EQ(sendRowCommand("0x3d"), 61);
    EXPECT_EQ(sendRowCommand("$FFFFFFFFFFFFFFFFFFFF"), 0);
    struct Case {
        const char* field;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"1 2", QByteArray("\x01\x02", 2)},
        {"5", QByteArray("\x05", 1)},
        {"-1", QByteArray()},
        {"abc", QByteArray()},
        {"300", QByteArray("\x2C", 1)},
        {"  7   -1 x 255 -2 ", QByteArray("\x07\xFF\xFE", 3)},
        {"$A2 0x1f $", QByteArray("\xA2\x1F", 2)},
        // Hexadecimal -1 and numbers beyond 32 bits are no bytes.
        {"$FFFFFFFF 4294967296 $123456789 99999999999999999999", QByteArray()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sendRowParameters(c.field), c.bytes) << c.field;
}

TEST(DebugTrace, KindsAndTheConnectionTestProgress) {
    EXPECT_EQ(traceKind(QString(QChar(1))), TraceKind::Status0Changed);
    EXPECT_EQ(traceKind(QString(QChar(2))), TraceKind::Status1Changed);
    EXPECT_EQ(traceKind("TX: 3F"), TraceKind::Line);
    EXPECT_EQ(traceKind(""), TraceKind::Line);
    QString lines = progressLinesAfter("old", "Соединяемся с портом: ttyUSB0");
    EXPECT_EQ(lines, "Соединяемся с портом: ttyUSB0");
    lines = progressLinesAfter(lines, "Получен Handle: 12");
    EXPECT_EQ(lines, "Соединяемся с портом: ttyUSB0\r\nПолучен Handle: 12");
    EXPECT_EQ(progressLinesAfter(lines, "RX: 00"), lines);
    EXPECT_FALSE(traceListEmptiedBefore(4999));
    EXPECT_TRUE(traceListEmptiedBefore(5000));
}

TEST(NumberDisplay, MaskCityAndExtension) {
    const MaskFormatter mask = [](const QString& m, const QString& digits) {
        return "[" + m + "]" + digits;
    };
    struct Case {
        link::NumberParts parts;
        const char* shown;
    };
    const Case cases[] = {
        {{"", "", "123", ""}, "[0000]123"},
        {{"", "", "1234", ""}, "[0000-000-00-00]1234"},
        {{"8", "", "12", ""}, "[0000-000-00-00]12"},
        {{"8", "495", "1234567", ""}, "(495) [0000-000-00-00]1234567"},
        {{"", "", "1234567", "12"}, "[0000-000-00-00]1234567*12"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(eventNumberText(c.parts, mask), QString::fromUtf8(c.shown));
    EXPECT_EQ(eventNumberText({"", "", "4951234567", ""}, nullptr), "4951234567");

    const LastNumberDisplay incoming = lastNumberDisplay("(495) 123-45-67", false);
    EXPECT_EQ(incoming.label, "Последний номер: (495) 123-45-67");
    EXPECT_EQ(incoming.hint, "Набрать последний номер (495) 123-45-67 в линию через связь|");
    EXPECT_EQ(incoming.tag, 1);
    const LastNumberDisplay unknown = lastNumberDisplay("", true);
    EXPECT_EQ(unknown.label, "Последний номер: [-------]");
    EXPECT_EQ(unknown.hint, "Номер не определен|");
    EXPECT_EQ(unknown.tag, 2);
}

// Every taken number event updates the label: a local call has no country code and must still
// show; only a number with nothing to show reads "[-------]".
TEST(NumberDisplay, LocalNumbersShowAndEmptyOnesReadUnknown) {
    const MaskFormatter mask = [](const QString& m, const QString& digits) {
        return "[" + m + "]" + digits;
    };
    struct Case {
        link::NumberParts parts;
        const char* label;
        const char* hint;
    };
    const Case cases[] = {
        {{"", "", "1234567", ""},
         "Последний номер: [0000-000-00-00]1234567",
         "Набрать последний номер [0000-000-00-00]1234567 в линию через связь|"},
        {{"", "495", "1234567", ""},
         "Последний номер: (495) [0000-000-00-00]1234567",
         "Набрать последний номер (495) [0000-000-00-00]1234567 в линию через связь|"},
        {{"", "", "", ""}, "Последний номер: [-------]", "Номер не определен|"},
        {{" ", " ", "  ", " "}, "Последний номер: [-------]", "Номер не определен|"},
        {{"8", "", "", ""}, "Последний номер: [-------]", "Номер не определен|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const LastNumberDisplay display = lastNumberDisplay(eventNumberText(c.parts, mask), false);
        EXPECT_EQ(display.label, QString::fromUtf8(c.label));
        EXPECT_EQ(display.hint, QString::fromUtf8(c.hint));
        EXPECT_EQ(display.tag, 1);
    }
}

} // namespace
