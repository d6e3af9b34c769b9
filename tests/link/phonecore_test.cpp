// The simulated phone: its answers whose layout the link does not fix (parts and streams of long
// reads, the archive items, the clock setting, the phone-book erase) and its own line coding.
#include "link/catalogue.h"
#include "link/numbercodes.h"
#include "tools/phonesim/phonecore.h"
#include "tools/phonesim/phoneframes.h"

#include "tests/link/linkbytes.h"

#include <gtest/gtest.h>

using namespace telmira::link;
using namespace telmira::phonesim;

namespace {

QList<int> codes(const ItemList& items) {
    QList<int> out;
    for (const Item& i : items)
        out << i.code;
    return out;
}

ItemList dataItems(const ItemList& items) {
    ItemList out;
    for (const Item& i : items)
        if (i.code < kFirstEventItem)
            out << i;
    return out;
}

PhoneCore phoneWithContacts(int count) {
    PhoneCore phone(PhoneOptions{});
    phone.handle(kErasePhoneBook, {}, 0);
    phone.advance(10000);
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(phone
                      .handle(kWriteBlock,
                              bytes({0xA3, 1, 0, 3, 1, 2, 3}) +
                                  encodeCountedDigits(QStringLiteral("4951234567")),
                              10000)
                      .status,
                  kStatusData);
    return phone;
}

} // namespace

TEST(PhoneSimCore, FeatureLevelZeroReadsInPartsUntilAnEmptyReply) {
    PhoneCore phone = phoneWithContacts(20);
    ASSERT_EQ(phone.phoneBook().size(), 20);
    Reply first = phone.handle(kReadPhoneBook, bytes({0}), 0);
    EXPECT_EQ(first.items.first(), (Item{30, bytes({20})}));
    int records = static_cast<int>(first.items.size()) - 1;
    for (int guard = 0; guard < 20; ++guard) {
        const Reply next = phone.handle(kReadPhoneBook, bytes({1}), 0);
        if (next.items.isEmpty())
            break;
        EXPECT_EQ(codes(next.items), QList<int>(next.items.size(), kItemPhoneBook));
        records += static_cast<int>(next.items.size());
    }
    EXPECT_EQ(records, 20);
}

TEST(PhoneSimCore, OtherLevelsStreamTheRestOverIdlePollsAndMarkTheEnd) {
    PhoneCore phone = phoneWithContacts(20);
    ItemList all = phone.handle(kReadPhoneBook, bytes({2}), 0).items;
    ASSERT_EQ(all.first().code, 30);
    int chunks = 1;
    for (;;) {
        // The last record of every chunk but the final one carries a spare byte, so the
        // reader knows more is coming.
        const Item& last = all.last();
        qsizetype used = 0;
        decodeCountedDigits(last.data.mid(3 + static_cast<std::uint8_t>(last.data[2])), &used);
        const bool more = 3 + static_cast<std::uint8_t>(last.data[2]) + used < last.data.size();
        const ItemList next = dataItems(phone.handle(kIdlePoll, {}, 0).items);
        EXPECT_EQ(more, !next.isEmpty());
        if (next.isEmpty())
            break;
        all += next;
        ++chunks;
    }
    EXPECT_GT(chunks, 1);
    EXPECT_EQ(all.size(), 21);
}

TEST(PhoneSimCore, ArchiveRecordsCarryDirectionDateAndDuration) {
    PhoneCore phone(PhoneOptions{});
    phone.addArchive(true, QStringLiteral("4951234567"), 10);
    phone.addArchive(false, QStringLiteral("123"), 300);
    phone.addArchive(true, QStringLiteral("5"), 0);
    EXPECT_TRUE(phone.status0() & FL_ARCHIVE);
    const Reply reply = phone.handle(kReadNewArchive, {}, 0);
    ASSERT_EQ(reply.items.size(), 3);
    const QDate today = phone.clock().date();
    const int day = today.day() | ((today.year() & 1) << 6);
    EXPECT_EQ(reply.items[0].data.left(2), bytes({0x80 | day, today.month()}));
    EXPECT_EQ(reply.items[0].data.mid(4, 2), bytes({0x01, 0xCA}));          // 10 seconds
    EXPECT_EQ(static_cast<std::uint8_t>(reply.items[1].data[0]) & 0x80, 0); // outgoing
    EXPECT_EQ(reply.items[1].data.mid(4, 2), bytes({0x00, 0x05}));          // 5 minutes
    EXPECT_EQ(reply.items[2].data.mid(4, 2), bytes({0x01, 0xC0}));          // missed
    EXPECT_EQ(decodeCountedDigits(reply.items[0].data.mid(6)), "4951234567");
    EXPECT_FALSE(phone.status0() & FL_ARCHIVE);
    EXPECT_TRUE(phone.handle(kReadNewArchive, {}, 0).items.isEmpty());
}

TEST(PhoneSimCore, TheClockSettingSetsThePhoneClock) {
    PhoneCore phone(PhoneOptions{});
    for (const QByteArray& step : {bytes({0, 0}), bytes({6, 30}), bytes({5, 12}), bytes({4, 31}),
                                   bytes({3, 2}), bytes({2, 23}), bytes({1, 59}), bytes({0, 125})})
        EXPECT_EQ(phone.handle(kSetClock, step, 0).status, kStatusData);
    const QDateTime clock = phone.clock();
    EXPECT_EQ(clock.date(), QDate(2030, 12, 31));
    EXPECT_EQ(clock.time().hour(), 23);
    EXPECT_EQ(clock.time().minute(), 59);
    EXPECT_GE(clock.time().second(), 30); // 125 x 24 hundredths
}

TEST(PhoneSimCore, ThePhoneIsBusyWhileItErasesItsPhoneBook) {
    PhoneOptions options;
    options.eraseMs = 300;
    PhoneCore phone(options);
    EXPECT_EQ(phone.handle(kErasePhoneBook, {}, 1000).status, kStatusData);
    EXPECT_EQ(phone.handle(kIdlePoll, {}, 1100).status, kStatusWait);
    EXPECT_EQ(phone.handle(kIdlePoll, {}, 1300).status, kStatusData);
    EXPECT_TRUE(phone.phoneBook().isEmpty());
}

TEST(PhoneSimCore, AFullPhoneBookAndUnknownCommandsAreRefused) {
    PhoneOptions options;
    options.phoneBookCapacity = 1;
    PhoneCore phone(options);
    phone.handle(kErasePhoneBook, {}, 0);
    const QByteArray record = bytes({0xA3, 0, 0, 0, 1, 0x05});
    EXPECT_TRUE(phone.handle(kWriteBlock, record, 1000).items.isEmpty());
    EXPECT_EQ(codes(phone.handle(kWriteBlock, record, 1000).items), QList<int>{31});
    EXPECT_EQ(phone.handle(21, {}, 1000).status, kStatusError40);
    EXPECT_EQ(phone.handle(kWriteBlock, bytes({0xA3, 0}), 1000).status, kStatusError40);
}

// The simulator reads and writes the line with its own code; these are the protocol's own
// examples, byte for byte, so a fault on either side shows up here and not in both at once.
TEST(PhoneFrames, TheSimulatorReadsAndWritesTheProtocolsExamples) {
    struct Case {
        QByteArray frame;
        int afterHeader; // bytes still missing once the header arrived
        int command;
        QByteArray parameters;
    };
    const Case cases[] = {
        {bytes({0x3F, 0x5A}), 1, 0x3F, {}},
        {bytes({0x3D, 0xE6}), 1, 0x3D, {}},
        {bytes({0xBA, 0x00, 0x00, 0xC7}), 3, 0x3A, bytes({0, 0})},
        {bytes({0xFB, 0x14}) + QByteArray(20, '\0') + bytes({0x04}), 1, 0x3B, QByteArray(20, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(missingCommandBytes(c.frame.left(1)), c.afterHeader);
        EXPECT_EQ(missingCommandBytes(c.frame), 0);
        const auto read = readCommandFrame(c.frame);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->command, c.command);
        EXPECT_EQ(read->parameters, c.parameters);
        QByteArray spoiled = c.frame;
        spoiled[spoiled.size() - 1] = static_cast<char>(spoiled.back() ^ 1);
        EXPECT_FALSE(readCommandFrame(spoiled).has_value());
        EXPECT_FALSE(readCommandFrame(c.frame + bytes({0})).has_value()); // longer than it says
    }
    EXPECT_EQ(writeReplyFrame(kStatusData, {}), bytes({0x00, 0xA5}));
    const auto reply =
        writeReplyFrame(kStatusData, {Item{1, bytes({0x07})}, Item{2, bytes({0x10, 0x20, 0x30})}});
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(static_cast<std::uint8_t>(reply->at(0)), 7);
    EXPECT_EQ(reply->mid(1, reply->size() - 2), bytes({0x41, 0x07, 0xC2, 0x03, 0x10, 0x20, 0x30}));
    EXPECT_FALSE(writeReplyFrame(kStatusData, {Item{1, QByteArray(300, 'x')}}).has_value());
}

TEST(PhoneFrames, NumbersInTheCountedFormAndOneCodeAByte) {
    EXPECT_EQ(writeCountedDigits(QStringLiteral("495")), bytes({3, 0x94, 0x05}));
    EXPECT_EQ(readCountedDigits(bytes({3, 0x94, 0x05})), "495");
    EXPECT_EQ(readCountedDigits(bytes({9, 0x94})), "49"); // a count beyond the bytes
    EXPECT_EQ(readCountedDigits({}), "");
    EXPECT_EQ(writeDigitCodes(QStringLiteral("8-p tП_")), bytes({8, 10, 12, 11, 14, 15, 13}));
    EXPECT_EQ(readDigitCodes(bytes({0x38, 0x3A, 0x0C, 0x0B, 0x0E, 0x0F, 0x0D})), "8-P tП_");
}
