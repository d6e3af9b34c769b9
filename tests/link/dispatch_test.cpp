#include "link/catalogue.h"
#include "link/dispatch.h"
#include "link/numbercodes.h"

#include "tests/link/linkbytes.h"

#include <gtest/gtest.h>

#include <map>

using namespace telmira::link;

namespace {

// A main window that writes down what the dispatch asked of it, in order.
class Host : public DispatchHost {
public:
    struct Addressee : ReplyAddressee {
        Addressee(Host& host, QString name) : host(host), name(std::move(name)) {}
        void CommandReply(const QByteArray& buffer) override {
            host.log << name + QStringLiteral(":") + QString::fromLatin1(buffer.toHex());
        }
        Host& host;
        QString name;
    };

    QStringList log;
    std::map<int, std::unique_ptr<Addressee>> tools;
    std::unique_ptr<Addressee> panel;
    Addressee archive{*this, QStringLiteral("archive")};
    bool panelIdle = true;
    std::vector<NumberEvent> numbers;

    void open(int name) { tools[name] = std::make_unique<Addressee>(*this, QString::number(name)); }
    void openPanel() { panel = std::make_unique<Addressee>(*this, QStringLiteral("panel")); }

    ReplyAddressee* openTool(int name) override {
        auto it = tools.find(name);
        return it == tools.end() ? nullptr : it->second.get();
    }
    ReplyAddressee* phonePanel() override { return panel.get(); }
    ReplyAddressee* archiveHandler() override { return &archive; }
    void clearActiveLayoutMatrix() override { log << QStringLiteral("clear matrix"); }
    void dayChanged() override { log << QStringLiteral("day changed"); }
    void openAlarmForm(const QByteArray& b) override {
        log << QStringLiteral("alarm:") + QString::fromLatin1(b.toHex());
    }
    void checkAutoDialList() override { log << QStringLiteral("auto dial"); }
    void showNumber(const NumberEvent& e) override { numbers.push_back(e); }
    void showStatus1(std::uint8_t s) override { log << QStringLiteral("status1:%1").arg(s); }
    void rereadVariables() override { log << QStringLiteral("reread variables"); }
    bool beginAnsweringMachineSummary() override {
        log << QStringLiteral("summary");
        return panelIdle;
    }
    void clearAnsweringMachineList() override { log << QStringLiteral("clear messages"); }
    void showStatus0(std::uint8_t p, std::uint8_t c) override {
        log << QStringLiteral("status0:%1->%2").arg(p).arg(c);
    }
    void clearNewCallMarks() override { log << QStringLiteral("clear marks"); }
};

struct Broadcasts : NumberBroadcaster {
    std::vector<std::pair<QString, bool>> sent;
    void broadcast(const QString& number, bool dialled) override {
        sent.emplace_back(number, dialled);
    }
};

struct Rig {
    LinkShared link;
    Host host;
    Broadcasts broadcasts;
    ReplyDispatcher dispatcher{link, host, &broadcasts};
    Rig() { link.connected = true; }
    QStringList queued() {
        QStringList out;
        for (const QString& r : link.Records()) {
            const auto c = parseCommandRecord(r);
            out << QStringLiteral("%1/%2/%3")
                       .arg(c->name)
                       .arg(c->command)
                       .arg(QString::fromLatin1(c->parameters.toHex()));
        }
        return out;
    }
};

} // namespace

TEST(Dispatch, RoutesReplyBuffersByName) {
    struct Case {
        const char* what;
        QByteArray buffer;
        QStringList log;
    } cases[] = {
        {"a reply for the phone book keeps its trailing bytes",
         bytes({30, 1, 2, 0, 10, 1}),
         {"1:1e0102000a01"}},
        {"the same reply for the settings tool loses them",
         bytes({30, 1, 2, 0, 10, 3}),
         {"3:1e0102"}},
        {"phone-book data goes to the phone-book tool whatever the name",
         bytes({26, 2, 5, 6, 0, 10, 3}),
         {"1:1a020506"}},
        {"a closed tool gets nothing", bytes({2, 1, 7, 0, 4, 10}), {}},
        {"the layout tool clears its matrix before an import",
         bytes({13, 1, 0x40, 0, 9, 0}),
         {"clear matrix", "0:0d0140"}},
        {"a layout reply for another command does not clear",
         bytes({15, 1, 0x40, 0, 0x3E, 0}),
         {"0:0f0140"}},
        {"a settings read for the panel also reaches both settings tools",
         bytes({4, 1, 9, 0, 4, 9}),
         {"panel:040109", "3:040109"}},
        {"other panel replies reach the panel only",
         bytes({3, 2, '1', 5, 0, 24, 9}),
         {"panel:03023105"}},
        {"the day change", bytes({0, 0, 6}), {"day changed"}},
        {"an unknown name is dropped", bytes({1, 0, 0, 4, 77}), {}},
        {"one byte is ignored", bytes({5}), {}},
        {"an alarm event", bytes({59, 1, 3, 0, 59, 8}), {"alarm:3b0103"}},
        {"item 12 checks the dialling list", bytes({12, 0, 0, 2, 8}), {"auto dial"}},
        {"a status1 event shows the value the link keeps",
         bytes({62, 1, 0xC1, 0, 62, 8}),
         {"status1:65"}},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.host.open(kNamePhoneBookTool);
        rig.host.open(kNamePhoneSettingsTool);
        rig.host.open(kNameLayoutTool);
        rig.host.openPanel();
        rig.dispatcher.Dispatch(c.buffer);
        EXPECT_EQ(rig.host.log, c.log) << c.what;
    }
}

TEST(Dispatch, ArchiveRepliesAlwaysReachTheHandlerAndFeatureLevelZeroReadsOn) {
    struct Case {
        int featureLevel;
        int command;
        std::uint8_t status0;
        std::uint8_t status1;
        bool nextRead;
    } cases[] = {
        {0, 19, 0, 0, true},
        {2, 19, 0, 0, false},       // the phone streams the rest
        {0, 2, 0, 0, false},        // new records: nothing follows
        {0, 19, FL_AUTO, 0, false}, // the answering machine is busy
        {0, 19, FL_AUTO_RECORD, 0, false},
        {0, 19, 0, FL_BUSY, false},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.link.featureLevel = static_cast<std::uint8_t>(c.featureLevel);
        rig.link.status0 = c.status0;
        rig.link.status1 = c.status1;
        rig.dispatcher.Dispatch(bytes({28, 1, 1, 0, c.command, 5}));
        EXPECT_EQ(rig.host.log, QStringList{"archive:1c0101"});
        EXPECT_EQ(rig.queued(), c.nextRead ? QStringList{"5/19/01"} : QStringList{});
    }
    // An empty archive reply ends the reading.
    Rig rig;
    rig.dispatcher.Dispatch(bytes({0, 19, 5}));
    EXPECT_TRUE(rig.host.log.isEmpty());
    EXPECT_TRUE(rig.queued().isEmpty());
}

TEST(DispatchNumbers, IncomingAlwaysTakenDialledRepeatsSuppressedOutsideACall) {
    Rig rig;
    const QByteArray incoming = bytes({61, 10, 4, 9, 5, 1, 2, 3, 4, 5, 6, 7, 0, 61, 8});
    const QByteArray dialled = bytes({60, 3, 1, 0x20, 3, 0, 60, 8});
    rig.dispatcher.Dispatch(incoming);
    rig.dispatcher.Dispatch(incoming);
    rig.dispatcher.Dispatch(dialled);
    rig.dispatcher.Dispatch(dialled); // the same number again, handset down: ignored
    rig.link.status1 = FL_TUBE;
    rig.dispatcher.Dispatch(dialled); // in a call it counts
    rig.link.status1 = 0;
    rig.dispatcher.Dispatch(bytes({60, 2, 1, 2, 0, 60, 8})); // a new number
    rig.dispatcher.clearLastDialledNumber();
    rig.dispatcher.Dispatch(bytes({60, 2, 1, 2, 0, 60, 8})); // forgotten after the caller window
    std::vector<std::pair<QString, bool>> expected = {{"4951234567", false}, {"4951234567", false},
                                                      {"103", true},         {"103", true},
                                                      {"12", true},          {"12", true}};
    EXPECT_EQ(rig.broadcasts.sent, expected);
    ASSERT_EQ(rig.host.numbers.size(), expected.size());
    EXPECT_EQ(rig.host.numbers[2].number, "103");
    EXPECT_TRUE(rig.host.numbers[2].dialled);
    EXPECT_EQ(rig.dispatcher.lastDialledNumber(), "12");
}

TEST(DispatchNumbers, AnEmptyNumberIsStillShown) {
    Rig rig;
    rig.dispatcher.Dispatch(bytes({61, 0, 0, 61, 8}));
    ASSERT_EQ(rig.host.numbers.size(), 1u);
    EXPECT_TRUE(rig.host.numbers[0].number.isEmpty());
}

TEST(DispatchStatus0, DecidesWhatToReadFromTheStatusByte) {
    struct Case {
        const char* what;
        std::uint8_t status0;
        std::uint8_t status1 = 0;
        bool clockSetting = false;
        bool machine = false;
        bool refresh = false;
        bool panel = false;
        bool panelIdle = true;
        int featureLevel = 0;
        QStringList queued;
        QStringList log;
    } cases[] = {
        {"new archive records", FL_ARCHIVE, 0, false, false, false, false, true, 0, {"5/2/"}, {}},
        {"not while the phone is busy",
         FL_ARCHIVE,
         FL_BUSY,
         false,
         false,
         false,
         false,
         true,
         0,
         {},
         {}},
        {"not while the machine plays",
         FL_ARCHIVE | FL_AUTO,
         0,
         false,
         false,
         false,
         false,
         true,
         0,
         {},
         {}},
        {"not while the clock is set", FL_ARCHIVE, 0, true, false, false, false, true, 0, {}, {}},
        {"variables changed",
         FL_VARIABLES,
         0,
         false,
         false,
         false,
         false,
         true,
         0,
         {},
         {"reread variables"}},
        {"answering machine refresh with an idle panel",
         0,
         0,
         false,
         true,
         true,
         true,
         true,
         2,
         {"9/17/0a", "9/7/", "9/18/0a", "5/19/02"},
         {"summary", "clear messages", "status0:0->0"}},
        {"the panel is busy reading",
         FL_AUTO_CHANGE,
         0,
         false,
         true,
         false,
         true,
         false,
         0,
         {"9/18/0a", "5/19/00"},
         {"summary", "clear messages", "status0:0->4"}},
        {"without a panel only the archive list",
         FL_AUTO_CHANGE,
         0,
         false,
         true,
         false,
         false,
         true,
         0,
         {"5/19/00"},
         {"clear messages"}},
        {"no answering machine", FL_AUTO_CHANGE, 0, false, false, true, false, true, 0, {}, {}},
        {"the machine records",
         FL_AUTO_CHANGE | FL_AUTO_RECORD,
         0,
         false,
         true,
         true,
         false,
         true,
         0,
         {},
         {}},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.link.status1 = c.status1;
        rig.link.clockSettingRunning = c.clockSetting;
        rig.link.answeringMachine = c.machine;
        rig.link.answeringMachineRefresh = c.refresh;
        rig.link.featureLevel = static_cast<std::uint8_t>(c.featureLevel);
        if (c.panel)
            rig.host.openPanel();
        rig.host.panelIdle = c.panelIdle;
        rig.dispatcher.Dispatch(bytes({63, 1, c.status0, 0, 63, 8}));
        EXPECT_EQ(rig.queued(), c.queued) << c.what;
        EXPECT_EQ(rig.host.log, c.log) << c.what;
        if (c.machine && !c.log.isEmpty()) {
            EXPECT_FALSE(rig.link.answeringMachineRefresh) << c.what;
        }
    }
}

TEST(DispatchStatus0, ComparesWithThePreviousByteAndNeedsTheLink) {
    Rig rig;
    rig.host.openPanel();
    rig.dispatcher.Dispatch(bytes({63, 1, FL_DOT, 0, 63, 8}));
    rig.dispatcher.Dispatch(bytes({63, 1, 0, 0, 63, 8}));
    EXPECT_EQ(rig.host.log, (QStringList{"status0:0->64", "status0:64->0", "clear marks"}));
    rig.host.log.clear();
    rig.link.connected = false;
    rig.dispatcher.Dispatch(bytes({63, 1, FL_ARCHIVE, 0, 63, 8}));
    EXPECT_TRUE(rig.host.log.isEmpty());
    EXPECT_TRUE(rig.queued().isEmpty());
}

TEST(DialNumber, BuildsTheDialStringFromTheNumbersParts) {
    const DialSettings settings{QStringLiteral("7"), QStringLiteral("495"), QStringLiteral("810"),
                                QStringLiteral("8")};
    // The number module's split, reduced to what these cases need.
    const NumberSplitter split = [](const QString& n) {
        const QStringList parts = n.split(QLatin1Char('|'));
        return NumberParts{parts.value(0), parts.value(1), parts.value(2), parts.value(3)};
    };
    struct Case {
        const char* number;
        const char* dial;
    } cases[] = {
        {"||1234567|", "1234567"},            // no country, no city
        {"7|495|1234567|", "1234567"},        // the home city
        {"7|812|1234567|", "88121234567"},    // another city of the home country
        {"|812|1234567|", "88121234567"},     // no country given: the home country
        {"49|30|1234567|", "81049301234567"}, // abroad
        {"7|495|1234567|22", "1234567t22"},   // extension
        {"*7|495|100|", "t100"},              // a leading star
    };
    for (const Case& c : cases)
        EXPECT_EQ(DialString(QString::fromUtf8(c.number), settings, split), c.dial) << c.number;

    LinkShared link;
    EXPECT_FALSE(DialNumber(link, QStringLiteral("7|812|1|"), 8, settings, split)); // link down
    link.connected = true;
    EXPECT_FALSE(DialNumber(link, QStringLiteral("  "), 8, settings, split));
    EXPECT_TRUE(DialNumber(link, QStringLiteral("*7|812|12|"), 9, settings, split));
    ASSERT_EQ(link.Count(), 1);
    const auto record = parseCommandRecord(link.Records().value(0));
    EXPECT_EQ(record->name, 9);
    EXPECT_EQ(record->command, kWriteBlock);
    EXPECT_EQ(record->parameters, bytes({0xA2, 14, 8, 8, 1, 2, 1, 2}));
    EXPECT_FALSE(DialNumber(link, QString(300, u'1'), 9, settings, nullptr)); // too long
}

TEST(LinkTexts, HintsAndTheConnectionTestLine) {
    const QStringList defs = {
        QStringLiteral("1=Name=Корвел 28 Талви, 2 языка; FileName=korv28v.def; Code=2;"),
        QStringLiteral("2=Name=Корвел 30; FileName=korv30.def; Code=5;")};
    EXPECT_EQ(PhoneNameForModel(defs, 5), "Корвел 30");
    EXPECT_EQ(PhoneNameForModel(defs, 7), "");
    EXPECT_EQ(LinkStateHint(true, QStringLiteral("Корвел 30"), QStringLiteral("ttyUSB0")),
              "Связь с телефоном Корвел 30\r\nустановлена через ttyUSB0|");
    EXPECT_EQ(LinkStateHint(false, QStringLiteral("x"), QStringLiteral("y")),
              "Связь с телефоном отсутствует|");
    EXPECT_EQ(TestConnectLinkText(true, QStringLiteral("Корвел 30"), QStringLiteral("ttyUSB0")),
              "Связь с телефоном Корвел 30\r\n установлена через ttyUSB0");
    EXPECT_EQ(TestConnectLinkText(false, {}, {}), "Связь с телефоном отсутствует");
}

TEST(Catalogue, NamesEveryCommandOnceInCodeOrder) {
    int previous = -1;
    for (const CatalogueEntry& entry : commandCatalogue()) {
        EXPECT_GE(entry.command, previous);
        EXPECT_LE(entry.command, 63);
        previous = entry.command;
    }
    EXPECT_EQ(catalogueEntry(kWriteBlock)->purpose, std::string("dial a number"));
    EXPECT_TRUE(catalogueEntry(kProbe)->sentByLink);
    EXPECT_EQ(catalogueEntry(21), nullptr);
}
