#include "link/linkengine.h"
#include "tests/link/fakephone.h"

#include "tests/link/linkbytes.h"

#include <gtest/gtest.h>

using namespace telmira::link;
using namespace telmira::link::test;

namespace {

QByteArray frameOf(int command, const QByteArray& parameters = {}) {
    return *encodeCommandFrame(command, parameters);
}

const QByteArray kWakeUpFrame = frameOf(kWakeUp, QByteArray(20, '\0'));
const QByteArray kProbeFrame = frameOf(kProbe);
const QByteArray kIdleFrame = frameOf(kIdlePoll);

// A link on one port "ttyUSB0" with a scripted phone.
struct Rig {
    LinkShared link;
    FakeEnvironment environment;
    RecordingSink sink;
    ScriptedDevice& phone;
    LinkEngine engine;

    explicit Rig(bool testConnectMode = false)
        : phone(environment.addPort(QStringLiteral("ttyUSB0"))),
          engine((link.testConnectMode = testConnectMode, link), environment, sink) {
        link.SetPortSetting(QStringLiteral("ttyUSB0"), false);
    }

    // Probes a phone without answering machine (so no refresh flag posts every event).
    void connect(std::uint8_t modelByte = 0x02, std::uint8_t featureLevel = 2) {
        phone.answerReply(kStatusData);
        phone.answer(probeReply(modelByte, featureLevel));
        engine.RunCycle();
        ASSERT_TRUE(link.connected.load());
        phone.written.clear();
        sink.clear();
    }
    void queue(const CommandRecord& record) { ASSERT_TRUE(link.AppendCommand(record)); }
    // Cycles until the predicate holds (at most `limit` cycles); returns the cycles run.
    int cycleUntil(const std::function<bool()>& done, int limit = 1000) {
        int n = 0;
        while (!done() && n < limit) {
            engine.RunCycle();
            ++n;
        }
        return n;
    }
};

} // namespace

TEST(LinkProbe, WakesThePhoneThenProbesAndReadsModel) {
    Rig rig;
    rig.phone.answerReply(kStatusData);
    rig.phone.answer(probeReply(0x85, 3));
    rig.engine.RunCycle();
    EXPECT_EQ(rig.phone.written, (QList<QByteArray>{kWakeUpFrame, kProbeFrame}));
    EXPECT_TRUE(rig.link.connected);
    EXPECT_EQ(rig.link.modelCode, 5);
    EXPECT_TRUE(rig.link.answeringMachine);
    EXPECT_EQ(rig.link.featureLevel, 3);
    EXPECT_TRUE(rig.link.answeringMachineRefresh);
    EXPECT_EQ(rig.sink.count(kLinkStateEvent), 1);
}

TEST(LinkProbe, ReadsTheProbeItemAsThePhoneSendsIt) {
    struct Case {
        ItemList items;
        int model;
        bool machine;
        int feature; // the level was 7 before
    } cases[] = {
        {{Item{1, bytes({0x82, 0x01})}}, 2, true, 1},
        {{Item{1, bytes({0x93, 0x01})}}, 3, false, 1}, // high nibble not 8
        {{Item{
              1,
              bytes({0x04, 0x01}),
          },
          Item{2, bytes({})}},
         4,
         false,
         7},                                           // not alone
        {{Item{1, bytes({0x04})}}, 4, false, 7},       // no level byte
        {{Item{1, bytes({})}}, 0, false, 7},           // empty item: no byte read
        {{Item{4, bytes({0x82, 0x01})}}, 0, false, 0}, // another item first
        {{}, 0, false, 0},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.link.featureLevel = 7;
        rig.phone.answerReply(kStatusData);
        rig.phone.answerReply(kStatusData, c.items);
        rig.engine.RunCycle();
        EXPECT_TRUE(rig.link.connected);
        EXPECT_EQ(rig.link.modelCode, c.model);
        EXPECT_EQ(rig.link.answeringMachine, c.machine);
        EXPECT_EQ(rig.link.featureLevel, c.feature);
    }
}

TEST(LinkProbe, TenFailedProbesDropTheQueue) {
    Rig rig;
    rig.queue(CommandRecord{kNameArchives, kReadNewArchive, {}, -1, 0});
    rig.link.status0 = 0x41;
    for (int i = 1; i < LinkEngine::kProbeCountdown; ++i) {
        rig.engine.RunCycle(); // the phone stays silent: every read times out
        EXPECT_EQ(rig.engine.probeCountdown(), LinkEngine::kProbeCountdown - i);
    }
    EXPECT_EQ(rig.link.status0, 0);
    EXPECT_EQ(rig.link.Count(), 1);
    rig.engine.RunCycle();
    EXPECT_EQ(rig.link.Count(), 0);
    EXPECT_EQ(rig.engine.probeCountdown(), LinkEngine::kProbeCountdown);
    EXPECT_FALSE(rig.link.connected);
    EXPECT_EQ(rig.sink.count(kLinkStateEvent), 0);
}

TEST(LinkProbe, AutomaticSearchAlternatesUntilAPortAnswers) {
    LinkShared link;
    FakeEnvironment environment;
    RecordingSink sink;
    environment.addPort(QStringLiteral("ttyS0"));
    ScriptedDevice& second = environment.addPort(QStringLiteral("ttyUSB0"));
    link.SetPortSetting(QString(), true);
    link.traceWindowOpen = true;
    LinkEngine engine(link, environment, sink);

    QStringList tried;
    for (int i = 0; i < 3; ++i) {
        engine.RunCycle();
        tried << link.PortName();
    }
    EXPECT_EQ(tried, (QStringList{"ttyS0", "ttyUSB0", "ttyS0"}));
    second.answerReply(kStatusData);
    second.answer(probeReply());
    engine.RunCycle();
    EXPECT_TRUE(link.connected);
    EXPECT_EQ(link.PortName(), "ttyUSB0");
    const auto traces = sink.texts(kTraceEvent);
    EXPECT_NE(std::find(traces.begin(), traces.end(),
                        QStringLiteral(
                            "-----------------------------\r\nCOM-порты системы: ttyS0, ttyUSB0")),
              traces.end());
    EXPECT_NE(
        std::find(traces.begin(), traces.end(), QStringLiteral("Соединяемся с портом: ttyUSB0")),
        traces.end());
}

TEST(LinkProbe, WithoutPortsOrWithAMissingPortNothingIsOpened) {
    LinkShared link;
    FakeEnvironment environment;
    RecordingSink sink;
    link.traceWindowOpen = true;
    link.SetPortSetting(QString(), true);
    LinkEngine engine(link, environment, sink);
    engine.RunCycle();
    EXPECT_EQ(sink.texts(kTraceEvent), std::vector<QString>{"В системе нет ни одного COM порта"});
    EXPECT_EQ(engine.searchIndex(), -1);

    // A fixed port that the system does not list is not even tried; one that fails to open
    // tells why.
    environment.ports << QStringLiteral("ttyS1");
    link.SetPortSetting(QStringLiteral("ttyACM0"), false);
    engine.RunCycle();
    EXPECT_EQ(environment.opened, 0);
    link.SetPortSetting(QStringLiteral("ttyS1"), false);
    sink.clear();
    engine.RunCycle();
    EXPECT_EQ(sink.texts(kTraceEvent).back(),
              QStringLiteral("Ошибка при открытии порта: \r\nNo such file or directory"));
}

TEST(LinkPoll, IdlePollPostsOnlyEventsThatMatter) {
    Rig rig;
    rig.connect();
    // The first report of Status1 $40 (line busy) is news; the same value again is not.
    rig.phone.answer(statusReply(0x00, 0x40));
    rig.phone.answer(statusReply(0x00, 0x40));
    rig.engine.RunCycle();
    EXPECT_EQ(rig.phone.written, QList<QByteArray>{kIdleFrame});
    EXPECT_EQ(rig.sink.replies(), std::vector<QByteArray>{bytes({0x3E, 1, 0xC0, 0, 0x3E, 8})});
    EXPECT_EQ(rig.link.status1, 0x40);
    rig.sink.clear();
    rig.engine.RunCycle();
    EXPECT_TRUE(rig.sink.replies().empty());

    // FL_ARCHIVE is posted every time it comes; an unchanged FL_AUTO (inside $D8) is not.
    rig.phone.answer(statusReply(0x01, 0x40));
    rig.phone.answer(statusReply(0x01, 0x40));
    rig.phone.answer(statusReply(0x08, 0x40));
    rig.phone.answer(statusReply(0x08, 0x40));
    for (int i = 0; i < 4; ++i)
        rig.engine.RunCycle();
    EXPECT_EQ(rig.sink.replies(), (std::vector<QByteArray>{bytes({0x3F, 1, 0x01, 0, 0x3F, 8}),
                                                           bytes({0x3F, 1, 0x01, 0, 0x3F, 8}),
                                                           bytes({0x3F, 1, 0x08, 0, 0x3F, 8})}));
    EXPECT_EQ(rig.link.status0, 0x08);
}

TEST(LinkPoll, OtherEventsArePostedOneBufferEachAndTheRefreshFlagPostsAll) {
    Rig rig;
    rig.connect();
    const Item call{kItemIncoming, bytes({4, 9, 5})};
    rig.phone.answer(statusReply(0, 0, {call}));
    rig.engine.RunCycle();
    EXPECT_EQ(rig.sink.replies(), std::vector<QByteArray>{eventBuffer(call)});
    rig.sink.clear();
    rig.link.answeringMachineRefresh = true;
    rig.phone.answer(statusReply(0, 0));
    rig.engine.RunCycle();
    EXPECT_EQ(rig.sink.replies().size(), 2u);
}

TEST(LinkPoll, InteractiveLayoutModePollsWithItsOwnCommandAndPostsToTheLayoutTool) {
    Rig rig;
    rig.connect();
    rig.link.matrixInteractive = true;
    rig.phone.answerReply(kStatusData, {Item{15, bytes({0x42})}});
    rig.engine.RunCycle();
    EXPECT_EQ(rig.phone.written, QList<QByteArray>{frameOf(kIdlePollInteractive)});
    EXPECT_EQ(rig.sink.replies(), std::vector<QByteArray>{bytes({15, 1, 0x42, 0, 0x3E, 0})});
}

TEST(LinkQueue, FlagsHoldBackARecordAndTheOnesItSkips) {
    struct Case {
        std::uint8_t status1;
        int expectedCommand;
    } cases[] = {{FL_BUSY, 20}, {0, 17}};
    for (const Case& c : cases) {
        Rig rig;
        rig.connect();
        rig.link.status1 = c.status1;
        rig.queue(CommandRecord{kNamePhonePanel, kSelectMessage, bytes({10}), 32792, 1}); // A
        rig.queue(CommandRecord{kNamePhonePanel, kReportMessageLength, {}, -1, 0});       // B
        rig.queue(CommandRecord{kNamePhonePanel, kLineKey, bytes({5}), -1, 0});           // C
        rig.phone.answerReply(kStatusData);
        rig.engine.RunCycle();
        ASSERT_EQ(rig.phone.written.size(), 1);
        EXPECT_EQ(decodeCommandFrame(rig.phone.written[0])->command, c.expectedCommand);
        EXPECT_EQ(rig.link.Count(), 2);
    }
}

TEST(LinkQueue, AnsweredCommandsArePostedAndRemovedInOrder) {
    Rig rig;
    rig.connect();
    rig.queue(CommandRecord{kNamePhonePanel, kReadVolume, "1", -1, 0});
    rig.queue(CommandRecord{kNameArchives, kReadArchive, bytes({2}), -1, 0});
    rig.phone.inject(bytes({0x55, 0x66})); // stale bytes are purged before the write
    rig.phone.answerReply(kStatusData, {Item{3, bytes({'1', 5})}});
    rig.phone.answerReply(kStatusData);
    rig.engine.RunCycle();
    rig.engine.RunCycle();
    EXPECT_EQ(rig.phone.written, (QList<QByteArray>{frameOf(24, "1"), frameOf(19, bytes({2}))}));
    EXPECT_EQ(rig.sink.replies(),
              (std::vector<QByteArray>{bytes({3, 2, '1', 5, 0, 24, 9}), bytes({0, 19, 5})}));
    EXPECT_EQ(rig.link.Count(), 0);
}

TEST(LinkQueue, IdlePollDataBelongsToTheLastQueuedCommand) {
    Rig rig;
    rig.connect();
    rig.queue(CommandRecord{kNamePhoneBookTool, kReadPhoneBook, bytes({2}), -1, 0});
    rig.phone.answerReply(kStatusData, {Item{30, bytes({2})}});
    rig.phone.answer(statusReply(0, 0, {Item{26, bytes({1, 0, 0, 1, 0x21})}}));
    rig.phone.answer(statusReply(0, 0));
    for (int i = 0; i < 3; ++i)
        rig.engine.RunCycle();
    EXPECT_EQ(rig.sink.replies(),
              (std::vector<QByteArray>{bytes({30, 1, 2, 0, 10, 1}),
                                       bytes({26, 5, 1, 0, 0, 1, 0x21, 0, 10, 1})}));
}

TEST(LinkQueue, AnIdlePollDuringAPhoneBookEraseReportsTheEraseFinished) {
    Rig rig;
    rig.connect();
    rig.link.phoneBookErasing = true;
    rig.phone.answerReply(kStatusData);
    rig.engine.RunCycle();
    EXPECT_EQ(rig.sink.replies(), std::vector<QByteArray>{bytes({0, 1, 1})});
}

TEST(LinkQueue, WaitRepliesKeepTheCommandAndThreeHundredDropTheQueue) {
    Rig rig;
    rig.connect();
    rig.link.transferProgressShown = true;
    rig.queue(
        CommandRecord{kNamePhoneBookTool, kWriteBlock, bytes({kWritePhoneBookRecord, 1}), -1, 0});
    rig.queue(
        CommandRecord{kNamePhoneBookTool, kWriteBlock, bytes({kWritePhoneBookRecord, 2}), -1, 0});
    rig.phone.setResponder([](const QByteArray&) { return replyFrame(kStatusWait); });
    rig.engine.RunCycle();
    EXPECT_TRUE(rig.link.phoneBusy);
    EXPECT_EQ(rig.link.Count(), 2);
    EXPECT_EQ(rig.engine.waitCountdown(), LinkEngine::kWaitCountdown - 1);
    // While a transfer shows its progress every "wait" reaches the phone-book tool.
    EXPECT_EQ(rig.sink.replies(), std::vector<QByteArray>{bytes({0x80, 32, 1})});
    rig.sink.clear();
    rig.link.transferProgressShown = false;
    EXPECT_EQ(rig.cycleUntil([&] { return rig.link.Count() == 0; }),
              LinkEngine::kWaitCountdown - 1);
    // The phone-book transfer learns that it failed.
    EXPECT_EQ(rig.sink.replies(), std::vector<QByteArray>{bytes({0xC0, 32, 1})});
    EXPECT_EQ(rig.engine.waitCountdown(), LinkEngine::kWaitCountdown);
    EXPECT_TRUE(rig.link.connected);
}

TEST(LinkQueue, ACommandThatKeepsFailingIsDroppedAfterTenTries) {
    for (bool trace : {false, true}) {
        Rig rig;
        rig.connect();
        rig.link.traceWindowOpen = trace;
        rig.queue(CommandRecord{kNameLayoutTool, kReadKeyMatrix, bytes({1}), -1, 0});
        rig.queue(CommandRecord{kNamePhoneSettingsTool, kReadSettings, {}, -1, 0});
        rig.phone.setResponder([](const QByteArray& frame) {
            return decodeCommandFrame(frame)->command == 9 ? replyFrame(kStatusError40)
                                                           : replyFrame(kStatusData);
        });
        for (int i = 0; i < LinkEngine::kRetryCountdown - 1; ++i)
            rig.engine.RunCycle();
        EXPECT_EQ(rig.link.Count(), 2);
        rig.engine.RunCycle();
        EXPECT_EQ(rig.link.Count(), 1);
        EXPECT_EQ(rig.phone.written.size(), LinkEngine::kRetryCountdown);
        EXPECT_EQ(rig.sink.count(kCursorEvent), 1);
        EXPECT_EQ(rig.sink.texts(kErrorEvent),
                  trace ? std::vector<QString>{"Превышен интервал ожидания матрицы из телефона"}
                        : std::vector<QString>{});
        EXPECT_TRUE(rig.link.connected);
        rig.engine.RunCycle();
        EXPECT_EQ(rig.link.Count(), 0);
    }
}

TEST(LinkQueue, ACorruptedReplyIsRetriedOnTheNextCycle) {
    Rig rig;
    rig.connect();
    rig.link.traceWindowOpen = true;
    rig.queue(CommandRecord{kNamePhonePanel, kReadVolume, "2", -1, 0});
    QByteArray spoiled = replyFrame(kStatusData, {Item{3, bytes({'2', 4})}});
    spoiled[spoiled.size() - 1] = static_cast<char>(spoiled.back() ^ 0x5A);
    rig.phone.answer(spoiled);
    rig.phone.answerReply(kStatusData, {Item{3, bytes({'2', 4})}});
    rig.engine.RunCycle();
    EXPECT_EQ(rig.link.Count(), 1);
    EXPECT_TRUE(rig.sink.replies().empty());
    const auto traces = rig.sink.texts(kTraceEvent);
    EXPECT_NE(std::find(traces.begin(), traces.end(),
                        QStringLiteral("Err: Ошибка при чтении ответа телефона 10h")),
              traces.end());
    rig.engine.RunCycle();
    EXPECT_EQ(rig.link.Count(), 0);
    EXPECT_EQ(rig.phone.written.size(), 2);
    EXPECT_EQ(rig.sink.replies(), std::vector<QByteArray>{bytes({3, 2, '2', 4, 0, 24, 9})});
}

TEST(LinkState, ThreeSilentExchangesLoseTheLinkAndTheNextCycleProbes) {
    Rig rig;
    rig.connect();
    rig.link.clockSynchronize = true;
    // The phone is silent: each cycle's idle poll times out, and so does the first step of the
    // clock setting that follows it.
    for (int i = 0; i < 3; ++i)
        rig.engine.RunCycle();
    EXPECT_EQ(rig.engine.linkCountdown(), 0);
    EXPECT_TRUE(rig.link.connected);
    EXPECT_EQ(rig.phone.written.size(), 6);
    rig.engine.RunCycle(); // declares the link lost; nothing is sent, no clock setting
    EXPECT_FALSE(rig.link.connected);
    EXPECT_EQ(rig.sink.count(kLinkStateEvent), 1);
    EXPECT_EQ(rig.phone.written.size(), 6);
    EXPECT_EQ(rig.engine.linkCountdown(), 3);
    rig.engine.RunCycle();
    EXPECT_EQ(rig.phone.written.mid(6), (QList<QByteArray>{kWakeUpFrame, kProbeFrame}));
}

TEST(LinkState, PortFailuresCountAsFailedExchanges) {
    Rig rig;
    rig.connect();
    rig.link.traceWindowOpen = true;
    rig.link.pingTrace = PingTrace::Shown;
    rig.phone.failWrites(true);
    rig.engine.RunCycle();
    EXPECT_EQ(rig.engine.linkCountdown(), 2);
    rig.phone.failWrites(false);
    rig.phone.failReadsAfter(0);
    rig.engine.RunCycle();
    EXPECT_EQ(rig.engine.linkCountdown(), 1);
    const auto traces = rig.sink.texts(kTraceEvent);
    EXPECT_EQ(std::count(traces.begin(), traces.end(),
                         QStringLiteral("Input/output error, при чтении порта")),
              2);
    EXPECT_EQ(std::count(traces.begin(), traces.end(), QStringLiteral("ReadStrFromPort_ERROR")), 1);
}

TEST(LinkState, TestConnectModeLosesTheLinkAfterOneFailure) {
    Rig rig(true);
    rig.connect();
    rig.engine.RunCycle();
    rig.engine.RunCycle();
    EXPECT_FALSE(rig.link.connected);
}

TEST(LinkState, APortChangeDeclaresTheLinkLost) {
    Rig rig;
    rig.connect();
    rig.link.linkDownRequest = true;
    rig.phone.answerReply(kStatusData);
    rig.phone.answer(probeReply());
    rig.engine.RunCycle();
    EXPECT_EQ(rig.sink.count(kLinkStateEvent), 2); // lost, then found again by the probe
    EXPECT_EQ(rig.phone.written.size(), 2);
}

TEST(LinkClock, SetsThePhoneClockAfterTheLinkComesUpAndEveryHalfHour) {
    Rig rig;
    rig.connect();
    rig.link.clockSynchronize = true;
    std::vector<bool> runningAtStep;
    rig.phone.setResponder([&](const QByteArray& frame) {
        if (decodeCommandFrame(frame)->command == kSetClock)
            runningAtStep.push_back(rig.link.clockSettingRunning);
        return replyFrame(kStatusData);
    });
    // Saturday 2026-03-14 15:09:26.530: fraction (26 * 100 + 53) / 24 = 110.
    rig.engine.RunCycle();
    QList<QByteArray> clock = rig.phone.written.mid(1);
    EXPECT_EQ(clock, (QList<QByteArray>{frameOf(58, bytes({0, 0})), frameOf(58, bytes({6, 26})),
                                        frameOf(58, bytes({5, 3})), frameOf(58, bytes({4, 14})),
                                        frameOf(58, bytes({3, 6})), frameOf(58, bytes({2, 15})),
                                        frameOf(58, bytes({1, 9})), frameOf(58, bytes({0, 110}))}));
    EXPECT_EQ(runningAtStep, (std::vector<bool>{true, true, true, true, true, true, true, false}));
    EXPECT_FALSE(rig.link.clockSettingRunning);

    rig.phone.written.clear();
    rig.engine.RunCycle();
    EXPECT_EQ(rig.phone.written.size(), 1);
    rig.environment.clock_.advance(LinkEngine::kClockInterval + 1);
    rig.engine.RunCycle();
    EXPECT_EQ(rig.phone.written.size(), 1 + 1 + 8);
}

TEST(LinkClock, AFailedStepEndsTheSettingAndTheNextCycleTriesAgain) {
    Rig rig;
    rig.connect();
    rig.link.clockSynchronize = true;
    rig.phone.answerReply(kStatusData);    // idle poll
    rig.phone.answerReply(kStatusData);    // start
    rig.phone.answerReply(kStatusError40); // year
    rig.phone.setResponder([](const QByteArray&) { return replyFrame(kStatusData); });
    rig.engine.RunCycle();
    EXPECT_EQ(rig.phone.written.size(), 3);
    EXPECT_FALSE(rig.link.clockSettingRunning);
    rig.engine.RunCycle();
    EXPECT_EQ(rig.phone.written.size(), 3 + 1 + 8);

    Rig off;
    off.connect();
    off.phone.setResponder([](const QByteArray&) { return replyFrame(kStatusData); });
    off.engine.RunCycle();
    EXPECT_EQ(off.phone.written.size(), 1);
}

TEST(LinkTrace, IdlePollTraceFollowsThePingsBox) {
    struct Case {
        PingTrace pings;
        int quietPoll;    // trace messages of an idle poll that brings nothing
        int eventfulPoll; // ... and of one that brings an event
    } cases[] = {{PingTrace::Hidden, 0, 0}, {PingTrace::WhenData, 0, 1}, {PingTrace::Shown, 6, 6}};
    for (const Case& c : cases) {
        Rig rig;
        rig.connect();
        rig.link.traceWindowOpen = true;
        rig.link.pingTrace = c.pings;
        rig.phone.answer(statusReply(0, 0));
        rig.engine.RunCycle();
        EXPECT_EQ(rig.sink.count(kTraceEvent) - 2, c.quietPoll); // minus the two status marks
        rig.sink.clear();
        rig.phone.answer(statusReply(0, 0, {Item{kItemIncoming, bytes({1})}}));
        rig.engine.RunCycle();
        const auto traces = rig.sink.texts(kTraceEvent);
        EXPECT_EQ(static_cast<int>(traces.size()) - 2, c.eventfulPoll);
        if (c.pings == PingTrace::WhenData) {
            EXPECT_TRUE(
                traces.back().startsWith(QStringLiteral("\r\nCommandSend: 3D\r\nTX: 3D E6 ")))
                << traces.back().toStdString();
        }
    }
}

TEST(LinkTrace, StatusMarksAndNoTraceWithoutTheDebugWindow) {
    Rig rig;
    rig.connect();
    rig.link.traceWindowOpen = true;
    rig.phone.answer(statusReply(0, 0));
    rig.engine.RunCycle();
    EXPECT_EQ(rig.sink.texts(kTraceEvent),
              (std::vector<QString>{QString(QChar(2)), QString(QChar(1))}));

    rig.sink.clear();
    rig.link.traceWindowOpen = false;
    rig.queue(CommandRecord{kNamePhonePanel, kReadVolume, "0", -1, 0});
    rig.phone.answerReply(kStatusData);
    rig.engine.RunCycle();
    EXPECT_EQ(rig.sink.count(kTraceEvent), 0);
}

TEST(LinkTrace, AQueuedCommandIsTracedLineByLine) {
    Rig rig;
    rig.connect();
    rig.link.testConnectMode = true;
    rig.queue(CommandRecord{kNamePhonePanel, kReadVolume, "0", -1, 0});
    rig.phone.answerReply(kStatusData);
    rig.engine.RunCycle();
    EXPECT_EQ(rig.sink.texts(kTraceEvent),
              (std::vector<QString>{"\r\nCommandSend: 18", "TX: 58 30 2F \r\nLoopBack:",
                                    "RX: 58 30 2F ", "ReadCommandReply:", "RX: 00 A5 "}));
}

TEST(LinkCycle, MidnightNoticeOncePerMidnight) {
    Rig rig;
    rig.connect();
    rig.phone.setResponder([](const QByteArray&) { return replyFrame(kStatusData); });
    rig.environment.clock_.setNow(QDateTime(QDate(2026, 3, 15), QTime(0, 0, 30)));
    rig.engine.RunCycle();
    rig.engine.RunCycle();
    EXPECT_EQ(rig.sink.replies(), std::vector<QByteArray>{bytes({0, 0, 6})});
    rig.environment.clock_.setNow(QDateTime(QDate(2026, 3, 15), QTime(0, 1, 40)));
    rig.engine.RunCycle();
    rig.environment.clock_.setNow(QDateTime(QDate(2026, 3, 16), QTime(0, 0, 0)));
    rig.engine.RunCycle();
    EXPECT_EQ(rig.sink.replies().size(), 2u);
}

TEST(LinkCycle, ClearRequestEmptiesTheQueue) {
    Rig rig;
    rig.connect();
    rig.queue(
        CommandRecord{kNamePhoneBookTool, kWriteBlock, bytes({kWritePhoneBookRecord}), -1, 0});
    rig.link.clearRequest = true;
    rig.phone.answerReply(kStatusData);
    rig.engine.RunCycle();
    EXPECT_EQ(rig.link.Count(), 0);
    EXPECT_FALSE(rig.link.clearRequest);
    EXPECT_EQ(rig.phone.written, QList<QByteArray>{kIdleFrame});
}

TEST(LinkCycle, BrokenRecordsAreDroppedNotSent) {
    Rig rig;
    rig.connect();
    rig.link.traceWindowOpen = true;
    rig.link.AppendRecord(QStringLiteral("Name=x; Command=3[End];"));
    rig.link.AppendRecord(QStringLiteral("Name=1; Command=70[End];"));
    rig.queue(CommandRecord{kNameNoAddressee, kStop, {}, -1, 0});
    rig.phone.answerReply(kStatusData);
    rig.engine.RunCycle();
    EXPECT_EQ(rig.phone.written, QList<QByteArray>{frameOf(3)});
    EXPECT_EQ(rig.link.Count(), 0);
}

TEST(LinkCycle, AStopRequestEndsReadsAtOnce) {
    Rig rig;
    rig.connect();
    rig.link.RequestStop();
    rig.engine.RunCycle();
    EXPECT_TRUE(rig.phone.written.isEmpty());
    EXPECT_EQ(rig.engine.linkCountdown(), 2);
}
