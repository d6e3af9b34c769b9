// The real link (TCommThread with QSerialPort) against tools/phonesim on pseudo-terminals.
#include "link/catalogue.h"
#include "link/commthread.h"
#include "link/protocol.h"
#include "tests/common/simprocess.h"
#include "tests/common/testpaths.h"

#include "tests/link/linkbytes.h"

#include <gtest/gtest.h>

using namespace telmira::link;
using namespace telmira::link::test;

namespace {

// Real ticks, but the date and time of a fixed moment (the clock setting's parameters).
class FixedDateClock : public SystemClock {
public:
    QDateTime now() override { return QDateTime(QDate(2026, 3, 14), QTime(15, 9, 26, 530)); }
};

class PhoneSim : public ::testing::Test {
protected:
    static void SetUpTestSuite() { telmira::test::ensureApplication(); }

    // Starts the link on the simulator's terminal; with a lister, on the ports it names.
    void startLink(const QString& port, SerialEnvironment::PortLister lister = nullptr,
                   bool fixedDate = false, bool trace = false) {
        link_ = TCommThread::StartLink(
            port, &collector_,
            [lister, fixedDate] {
                return std::make_unique<SerialEnvironment>(
                    fixedDate ? std::make_unique<FixedDateClock>() : nullptr, lister);
            },
            [trace](LinkShared& link) { link.traceWindowOpen = trace; });
    }
    bool waitConnected(bool connected, int timeoutMs = 8000) {
        return waitUntil(
            *link_, [&] { return link_->link().connected.load() == connected; }, timeoutMs);
    }
    int countCommands(Simulator& sim, const QString& prefix) {
        const QStringList commands = sim.commands();
        return static_cast<int>(
            std::count_if(commands.begin(), commands.end(),
                          [&](const QString& c) { return c.startsWith(prefix); }));
    }
    std::vector<QByteArray> repliesFor(int command, int name) {
        std::vector<QByteArray> out;
        for (const QByteArray& b : collector_.replies())
            if (b.size() >= 3 && static_cast<std::uint8_t>(b[b.size() - 2]) == command &&
                static_cast<std::uint8_t>(b.back()) == name)
                out.push_back(b);
        return out;
    }
    void TearDown() override {
        if (link_)
            link_->StopLink();
    }

    Collector collector_;
    std::unique_ptr<TCommThread> link_;
};

} // namespace

TEST_F(PhoneSim, ProbesPollsAndPostsTheEventsThatMatter) {
    Simulator sim({"--model", "5", "--feature-level", "1", "--no-answering-machine"});
    ASSERT_TRUE(sim.started());
    startLink(sim.path());
    ASSERT_TRUE(waitConnected(true));
    EXPECT_EQ(link_->link().modelCode, 5);
    EXPECT_EQ(link_->link().featureLevel, 1);
    EXPECT_FALSE(link_->link().answeringMachine);
    EXPECT_EQ(sim.commands().mid(0, 2),
              (QStringList{"CMD 3B 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
                           "CMD 3F"}));

    // A ringing call: the number arrives once, the line-busy bit once; the polls after that
    // repeat an unchanged Status1 and post nothing more.
    ASSERT_EQ(sim.order("ring 4951234567"), "OK");
    const QByteArray call = bytes({0x3D, 10, 4, 9, 5, 1, 2, 3, 4, 5, 6, 7, 0, 0x3D, 8});
    const QByteArray busy = bytes({0x3E, 1, 0xC0, 0, 0x3E, 8});
    ASSERT_TRUE(waitUntil(
        *link_,
        [&] {
            const auto r = collector_.replies();
            return std::count(r.begin(), r.end(), busy) == 1;
        },
        5000));
    const int polls = countCommands(sim, "CMD 3D");
    ASSERT_TRUE(waitUntil(
        *link_, [&] { return countCommands(sim, "CMD 3D") >= polls + 5; }, 5000));
    auto replies = collector_.replies();
    EXPECT_EQ(std::count(replies.begin(), replies.end(), call), 1);
    EXPECT_EQ(std::count(replies.begin(), replies.end(), busy), 1);
    EXPECT_EQ(link_->link().status1, FL_LINESTATE);

    // New archive records: FL_ARCHIVE comes with every poll and is posted every time.
    ASSERT_EQ(sim.order("archive in 123"), "OK");
    const QByteArray archive = bytes({0x3F, 1, FL_ARCHIVE, 0, 0x3F, 8});
    ASSERT_TRUE(waitUntil(
        *link_,
        [&] {
            const auto r = collector_.replies();
            return std::count(r.begin(), r.end(), archive) >= 3;
        },
        5000));
}

TEST_F(PhoneSim, SetsThePhoneClock) {
    Simulator sim({"--no-answering-machine"});
    ASSERT_TRUE(sim.started());
    startLink(sim.path(), nullptr, true);
    link_->link().clockSynchronize = true;
    ASSERT_TRUE(waitUntil(
        *link_, [&] { return countCommands(sim, "CMD 3A") >= 8; }, 8000));
    QStringList clock;
    for (const QString& c : sim.commands())
        if (c.startsWith(QStringLiteral("CMD 3A")))
            clock << c.mid(7);
    EXPECT_EQ(clock.mid(0, 8), (QStringList{"00 00", "06 1A", "05 03", "04 0E", "03 06", "02 0F",
                                            "01 09", "00 6E"}));
    EXPECT_TRUE(sim.order("state").contains("clock=2026-03-14 15:09:"));
}

TEST_F(PhoneSim, FlagsHoldCommandsBackAndWaitRepliesKeepThemQueued) {
    Simulator sim({"--no-answering-machine"});
    ASSERT_TRUE(sim.started());
    startLink(sim.path());
    ASSERT_TRUE(waitConnected(true));
    ASSERT_EQ(sim.order("status1 80"), "OK");
    LinkShared& link = link_->link();
    ASSERT_TRUE(waitUntil(
        *link_, [&] { return (link.status1.load() & FL_BUSY) != 0; }, 5000));
    ASSERT_TRUE(link.AppendCommand({kNamePhonePanel, kSelectMessage, bytes({10}), 32792, 1}));
    ASSERT_TRUE(link.AppendCommand({kNamePhonePanel, kReportMessageLength, {}, -1, 0}));
    ASSERT_TRUE(link.AppendCommand({kNamePhonePanel, kReadVolume, "1", -1, 0}));
    ASSERT_TRUE(waitUntil(
        *link_, [&] { return link.Count() == 2; }, 5000));
    ASSERT_TRUE(waitUntil(
        *link_, [&] { return countCommands(sim, "CMD 18 31") == 1; }, 5000));
    EXPECT_EQ(countCommands(sim, "CMD 11"), 0);
    ASSERT_EQ(sim.order("status1 00"), "OK");
    ASSERT_TRUE(waitUntil(
        *link_, [&] { return link.Count() == 0; }, 5000));
    // The simulator notes a command in its log after it has answered it: wait for the note.
    ASSERT_TRUE(waitUntil(
        *link_, [&] { return countCommands(sim, "CMD 07") >= 1; }, 5000));
    const QStringList commands = sim.commands();
    EXPECT_LT(commands.indexOf("CMD 11 0A"), commands.indexOf("CMD 07"));

    // Three "wait" replies, then the answer: the command stays queued until it is answered.
    ASSERT_EQ(sim.order("wait 3 18"), "OK");
    ASSERT_TRUE(link.AppendCommand({kNamePhonePanel, kReadVolume, "2", -1, 0}));
    ASSERT_TRUE(waitUntil(
        *link_,
        [&] {
            return !repliesFor(24, 9).empty() && repliesFor(24, 9).back()[1] == 2 &&
                   repliesFor(24, 9).back()[2] == '2';
        },
        5000));
    EXPECT_EQ(countCommands(sim, "CMD 18 32"), 4);
    EXPECT_FALSE(link.phoneBusy);
}

TEST_F(PhoneSim, RetriesCorruptedRepliesAndDropsACommandThatKeepsFailing) {
    Simulator sim({"--no-answering-machine"});
    ASSERT_TRUE(sim.started());
    startLink(sim.path());
    ASSERT_TRUE(waitConnected(true));
    LinkShared& link = link_->link();

    ASSERT_EQ(sim.order("corrupt 1 18"), "OK");
    ASSERT_TRUE(link.AppendCommand({kNamePhonePanel, kReadVolume, "0", -1, 0}));
    ASSERT_TRUE(waitUntil(
        *link_, [&] { return !repliesFor(24, 9).empty(); }, 5000));
    EXPECT_EQ(countCommands(sim, "CMD 18 30"), 2);

    ASSERT_EQ(sim.order("error 10 08"), "OK");
    ASSERT_TRUE(link.AppendCommand({kNamePhoneSettingsTool, kPlayMelody, bytes({1}), -1, 0}));
    ASSERT_TRUE(waitUntil(
        *link_, [&] { return link.Count() == 0; }, 5000));
    EXPECT_EQ(countCommands(sim, "CMD 08 01"), 10);
    EXPECT_TRUE(repliesFor(8, 3).empty());
    EXPECT_TRUE(link.connected);
}

TEST_F(PhoneSim, LosesTheLinkWhenThePhoneFallsSilentAndFindsItAgain) {
    Simulator sim({"--no-answering-machine"});
    ASSERT_TRUE(sim.started());
    startLink(sim.path());
    ASSERT_TRUE(waitConnected(true));
    ASSERT_EQ(sim.order("silence on"), "OK");
    ASSERT_TRUE(waitConnected(false));
    ASSERT_EQ(sim.order("silence off"), "OK");
    ASSERT_TRUE(waitConnected(true));
    EXPECT_EQ(collector_.count(kLinkStateEvent), 3);
}

TEST_F(PhoneSim, FindsARestartedSimulatorUnderTheSameName) {
    telmira::test::TempDir dir;
    const QString name = QString::fromStdString((dir / "phone").string());
    auto sim = std::make_unique<Simulator>(QStringList{"--link", name, "--no-answering-machine"});
    ASSERT_TRUE(sim->started());
    startLink(name);
    ASSERT_TRUE(waitConnected(true));
    sim.reset();
    ASSERT_TRUE(waitConnected(false));
    sim = std::make_unique<Simulator>(QStringList{"--link", name, "--no-answering-machine"});
    ASSERT_TRUE(sim->started());
    ASSERT_TRUE(waitConnected(true));
    EXPECT_EQ(link_->link().PortName(), name);
}

TEST_F(PhoneSim, AutomaticSearchTriesEveryPortUntilOneAnswers) {
    Simulator silent({"--silent"});
    Simulator phone({"--no-answering-machine"});
    ASSERT_TRUE(silent.started() && phone.started());
    const QStringList ports = {silent.path(), phone.path()};
    startLink(
        kAutomaticPortSetting, [ports](const QString&) { return ports; }, false, true);
    ASSERT_TRUE(waitConnected(true));
    EXPECT_EQ(link_->link().PortName(), phone.path());
    const QStringList traces = collector_.traces();
    EXPECT_TRUE(traces.contains(QStringLiteral("Соединяемся с портом: ") + silent.path()));
    EXPECT_TRUE(traces.contains(QStringLiteral("Соединяемся с портом: ") + phone.path()));
}

TEST_F(PhoneSim, AnswersEveryCommandOfTheCatalogue) {
    Simulator sim({"--erase-ms", "50"});
    ASSERT_TRUE(sim.started());
    startLink(sim.path());
    ASSERT_TRUE(waitConnected(true));
    link_->link().traceWindowOpen = true;
    const std::vector<CommandRecord> records = {
        {kNamePhonePanel, kClearNewCalls, {}, -1, 0},
        {kNamePhoneBookTool, kErasePhoneBook, {}, -1, 0},
        {kNameArchives, kReadNewArchive, {}, -1, 0},
        {kNamePhoneSettingsTool, kReadSettings, {}, -1, 0},
        {kNameVariablesTool, kReadPresetVariables, {}, -1, 0},
        {kNameVariablesTool, kReadPresetVariablesMore, {}, -1, 0},
        {kNamePhonePanel, kSelectMessage, bytes({11}), -1, 0},
        {kNamePhonePanel, kReportMessageLength, {}, -1, 0},
        {kNamePhoneSettingsTool, kPlayMelody, bytes({4}), -1, 0},
        {kNamePhoneSettingsTool, kStop, {}, -1, 0},
        {kNameLayoutTool, kReadKeyMatrix, bytes({0}), -1, 0},
        {kNamePhoneBookTool, kReadPhoneBook, bytes({0}), -1, 0},
        {kNamePhoneSettingsTool, kReadServiceArea, bytes({0}), -1, 0},
        {kNamePhonePanel, kReadAlarms, bytes({0}), -1, 0},
        {kNamePhoneSettingsTool, kDeleteAlarm, bytes({3}), -1, 0},
        {kNamePhonePanel, kPlayMessage, bytes({11}), -1, 0},
        {kNamePhonePanel, kRecordMessage, bytes({1}), -1, 0},
        {kNamePhonePanel, kDeleteMessage, bytes({11}), -1, 0},
        {kNamePhonePanel, kAnsweringMachineService, bytes({9}), -1, 0},
        {kNameArchives, kReadArchive, bytes({0}), -1, 0},
        {kNamePhonePanel, kLineKey, bytes({5}), -1, 0},
        {kNamePhonePanel, kReadVolume, "1", -1, 0},
        {kNamePhonePanel, kPanelSwitch, bytes({8}), -1, 0},
        {kNamePhonePanel, kWriteBlock, bytes({kWriteDial, 1, 2}), -1, 0},
        {kNamePhoneBookTool, kWriteBlock,
         bytes({kWritePhoneBookRecord, 1, 0, 2, 0x12, 0x34, 3, 0x21, 0x03}), -1, 0},
        {kNamePhoneSettingsTool, kWriteBlock, bytes({kWriteDataBlock, 5, 2, 5, 7, 30, 1, 3, 0, 0}),
         -1, 0},
        {kNamePhoneSettingsTool, kWriteVariable, bytes({1, 5}), -1, 0},
        {kNamePhoneSettingsTool, kWriteBitVariable, bytes({0x81, 0x08}), -1, 0},
        {kNamePhonePanel, kPressKey, bytes({1}), -1, 0},
    };
    for (const CommandRecord& r : records)
        ASSERT_TRUE(link_->link().AppendCommand(r));
    ASSERT_TRUE(waitUntil(
        *link_, [&] { return link_->link().Count() == 0; }, 15000));
    for (const CommandRecord& r : records) {
        EXPECT_NE(catalogueEntry(r.command), nullptr);
        const auto answered = repliesFor(r.command, r.name);
        EXPECT_FALSE(answered.empty()) << "command " << r.command;
        for (const QByteArray& b : answered)
            EXPECT_EQ(b[b.size() - 3], 0) << "command " << r.command;
    }
    for (const QString& t : collector_.traces())
        EXPECT_FALSE(t.startsWith(QStringLiteral("Err:"))) << t.toStdString();
}

TEST_F(PhoneSim, WorksAtTheLinesPaceAndRetriesLostBytes) {
    Simulator sim({"--pace", "--no-answering-machine"});
    ASSERT_TRUE(sim.started());
    startLink(sim.path());
    ASSERT_TRUE(waitConnected(true));
    LinkShared& link = link_->link();
    // The settings reply is over a hundred bytes: more than a second on the paced line, read
    // in several calls.
    ASSERT_TRUE(link.AppendCommand({kNamePhoneSettingsTool, kReadSettings, {}, -1, 0}));
    ASSERT_TRUE(waitUntil(
        *link_, [&] { return !repliesFor(4, 3).empty(); }, 10000));
    const QByteArray settings = repliesFor(4, 3).front();
    EXPECT_EQ(settings.size(), 3 * 2 + 32 + 64 + 16 + 3);

    ASSERT_EQ(sim.order("drop 1"), "OK");
    ASSERT_TRUE(link.AppendCommand({kNamePhonePanel, kReadVolume, "1", -1, 0}));
    ASSERT_TRUE(waitUntil(
        *link_, [&] { return countCommands(sim, "CMD 18 31") >= 2; }, 10000));
    ASSERT_EQ(sim.order("drop 0"), "OK");
    ASSERT_TRUE(waitUntil(
        *link_, [&] { return !repliesFor(24, 9).empty(); }, 15000));
}
