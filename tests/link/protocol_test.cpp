#include "link/commandrecord.h"
#include "link/numbercodes.h"
#include "link/protocol.h"

#include "tests/link/linkbytes.h"

#include <gtest/gtest.h>

using namespace telmira::link;

TEST(Frames, CommandFramesAreByteExact) {
    EXPECT_EQ(*encodeCommandFrame(0x3F, {}), bytes({0x3F, 0x5A}));
    EXPECT_EQ(*encodeCommandFrame(0x3D, {}), bytes({0x3D, 0xE6}));
    EXPECT_EQ(*encodeCommandFrame(0x3A, bytes({0, 0})), bytes({0xBA, 0x00, 0x00, 0xC7}));
    QByteArray wake = bytes({0xFB, 0x14}) + QByteArray(20, '\0') + bytes({0x04});
    EXPECT_EQ(*encodeCommandFrame(0x3B, QByteArray(20, '\0')), wake);
    // One parameter keeps the count in the header.
    EXPECT_EQ(encodeCommandFrame(24, "1")->left(2), bytes({0x58, '1'}));
}

TEST(Frames, CommandFramesThatCannotBeBuiltAreRefused) {
    EXPECT_FALSE(encodeCommandFrame(64, {}));
    EXPECT_FALSE(encodeCommandFrame(-1, {}));
    EXPECT_FALSE(encodeCommandFrame(32, QByteArray(256, 'x')));
    EXPECT_EQ(encodeCommandFrame(32, QByteArray(255, 'x'))->size(), 1 + 1 + 255 + 1);
}

TEST(Frames, CommandFramesDecodeAsThePhoneReadsThem) {
    for (const QByteArray& parameters :
         {QByteArray(), bytes({1}), bytes({1, 2}), bytes({1, 2, 3}), QByteArray(255, '\x7F')}) {
        const QByteArray frame = *encodeCommandFrame(32, parameters);
        EXPECT_EQ(commandFrameMissing(frame.left(1)),
                  parameters.size() <= 2 ? frame.size() - 1 : 1);
        EXPECT_EQ(commandFrameMissing(frame), 0);
        const std::optional<CommandFrame> decoded = decodeCommandFrame(frame);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->command, 32);
        EXPECT_EQ(decoded->parameters, parameters);
        QByteArray spoiled = frame;
        spoiled[spoiled.size() - 1] = static_cast<char>(spoiled.back() ^ 1);
        EXPECT_FALSE(decodeCommandFrame(spoiled));
    }
}

TEST(Frames, RepliesDecodeWithTheirStatus) {
    struct Case {
        QByteArray frame;
        int status;
        QByteArray payload;
    } cases[] = {
        {bytes({0x00, 0xA5}), kStatusData, {}},     // empty reply
        {bytes({0x00, 0xA6}), kStatusBadCheck, {}}, // any other check byte
        {bytes({0x00, 0x00}), kStatusBadCheck, {}},
        {bytes({0x40, 0x12}), kStatusError40, {}}, // error replies are not checked
        {bytes({0xC0, 0x12}), kStatusErrorC0, {}},
        {bytes({0x80, 0x00}), kStatusWait, {}},
        {bytes({0x03, 0x81, 0x82, 0x02, 0x80}), kStatusData, bytes({0x81, 0x82, 0x02})},
        {bytes({0x03, 0x81, 0x82}), kStatusIncomplete, {}}, // shorter than its header says
    };
    for (const Case& c : cases) {
        const ReplyFrame reply = decodeReplyFrame(c.frame);
        EXPECT_EQ(reply.status, c.status) << c.frame.toHex().constData();
        if (c.status == kStatusData) {
            EXPECT_EQ(reply.payload, c.payload);
        }
    }
}

TEST(Frames, ExtendedRepliesCarryTheirLengthInTheSecondByte) {
    const QByteArray payload(100, '\x00');
    const QByteArray frame = *encodeReplyFrame(kStatusData, payload);
    EXPECT_EQ(static_cast<std::uint8_t>(frame[0]), 0x3F);
    EXPECT_EQ(static_cast<std::uint8_t>(frame[1]), 100);
    EXPECT_EQ(replyBytesAfterFirstTwo(0x3F, 100), 101);
    EXPECT_EQ(decodeReplyFrame(frame).payload, payload);
    EXPECT_FALSE(encodeReplyFrame(kStatusData, QByteArray(256, '\0')));
    // Status $80 with the extended length is taken whatever its check byte says.
    const QByteArray wait = bytes({0xBF, 2, 0x41, 0x07, 0x00});
    EXPECT_EQ(decodeReplyFrame(wait).status, kStatusWait);
}

TEST(Frames, PayloadSplitsIntoItems) {
    bool truncated = true;
    const ItemList items =
        splitItems(bytes({0x00, 0x41, 0x07, 0xC2, 0x03, 0x10, 0x20, 0x30}), &truncated);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0], (Item{1, bytes({0x07})}));
    EXPECT_EQ(items[1], (Item{2, bytes({0x10, 0x20, 0x30})}));
    EXPECT_FALSE(truncated);
    EXPECT_EQ(encodeItems(items), bytes({0x41, 0x07, 0xC2, 0x03, 0x10, 0x20, 0x30}));
}

TEST(Frames, MalformedPayloadsKeepTheWholeItemsBeforeTheFault) {
    struct Case {
        QByteArray payload;
        qsizetype items;
    } cases[] = {
        {bytes({0x41}), 0},                   // data byte missing
        {bytes({0x41, 0x07, 0x82, 0x01}), 1}, // second item one byte short
        {bytes({0xC2}), 0},                   // count byte missing
        {bytes({0xC2, 0xFF, 0x01}), 0},       // count beyond the end
        {bytes({0x00, 0x00, 0x00}), 0},       // filler only
    };
    for (const Case& c : cases) {
        bool truncated = false;
        EXPECT_EQ(splitItems(c.payload, &truncated).size(), c.items)
            << c.payload.toHex().constData();
        EXPECT_EQ(truncated, c.payload != bytes({0x00, 0x00, 0x00}));
    }
}

TEST(Frames, ReplyBuffersCarryItemsAndTheThreeTrailingBytes) {
    const ItemList items = {Item{1, bytes({7})}, Item{2, bytes({})}};
    EXPECT_EQ(replyBuffer(items, 0x80, 19, 5), bytes({1, 1, 7, 2, 0, 0x80, 19, 5}));
    EXPECT_EQ(eventBuffer(Item{0x3D, bytes({4, 9})}), bytes({0x3D, 2, 4, 9, 0, 0x3D, 8}));
    EXPECT_EQ(bufferItems(bytes({1, 1, 7, 2, 0})), items);
    // An item running past the end is cut, never read beyond the buffer.
    EXPECT_EQ(bufferItems(bytes({3, 9, 1})), (ItemList{Item{3, bytes({1})}}));
    EXPECT_EQ(bufferItems(bytes({3})), (ItemList{Item{3, {}}}));
}

TEST(Frames, HexDumpsUseTwoUpperCaseDigitsAndABlank) {
    EXPECT_EQ(hexBytes(bytes({0x3F, 0x5a, 0x00})), "3F 5A 00 ");
    EXPECT_EQ(hexByte(0x10), "10");
}

TEST(CommandRecords, AreWrittenAndReadAsTheApplicationDoes) {
    const CommandRecord volume{9, 24, "1", -1, 0};
    EXPECT_EQ(*commandRecordText(volume), "Name=9; Parameters=1[End]; Command=24[End];");
    const CommandRecord select{9, 17, bytes({10}), 32792, 1};
    const QString text = *commandRecordText(select);
    EXPECT_EQ(text,
              QStringLiteral("Name=9; Parameters=\n[End]; Command=17[End]; Flags=32792; Skip=1;"));
    EXPECT_EQ(*parseCommandRecord(text), select);
    // Raw bytes of every value travel unchanged, ';' and '=' included.
    QByteArray all;
    for (int b = 0; b < 255; ++b)
        all.append(static_cast<char>(b));
    const CommandRecord raw{1, 32, all, -1, 0};
    EXPECT_EQ(parseCommandRecord(*commandRecordText(raw))->parameters, all);
}

TEST(CommandRecords, DefaultsAndBrokenRecords) {
    // The layout editor's field order, and the debug window's empty command.
    const auto matrix =
        parseCommandRecord(QStringLiteral("Name=0; Command=9[End]; Parameters=\x02[End];"));
    ASSERT_TRUE(matrix);
    EXPECT_EQ(matrix->command, 9);
    EXPECT_EQ(matrix->parameters, bytes({2}));
    EXPECT_EQ(matrix->flags, -1);
    EXPECT_EQ(matrix->skip, 0);
    const auto empty =
        parseCommandRecord(QStringLiteral("Name=8; Parameters=[End]; Command=[End];"));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->command, 0);
    EXPECT_TRUE(empty->parameters.isEmpty());

    QString problem;
    EXPECT_FALSE(parseCommandRecord(QStringLiteral("Name=x; Command=1[End];"), &problem));
    EXPECT_EQ(problem, "Name");
    EXPECT_FALSE(parseCommandRecord(QStringLiteral("Name=1; Command=64[End];"), &problem));
    EXPECT_EQ(problem, "Command");
    EXPECT_FALSE(commandRecordText(CommandRecord{1, 32, "a[End]b", -1, 0}));
    EXPECT_FALSE(commandRecordText(CommandRecord{1, 32, QByteArray(256, 'a'), -1, 0}));
    EXPECT_FALSE(commandRecordText(CommandRecord{1, 64, {}, -1, 0}));
}

TEST(NumberCodes, CharactersAndCodesBothWays) {
    EXPECT_EQ(decodeEventNumber(bytes({0, 1, 9, 10, 11, 12, 13, 14, 15, 0x37})),
              QStringLiteral("019- P_tП7"));
    struct Case {
        char16_t c;
        int code;
    } cases[] = {{u'0', 0},  {u'9', 9},    {u'-', 10},   {u'P', 12}, {u'p', 12}, {u'Р', 12},
                 {u'р', 12}, {0x0452, 12}, {u'T', 14},   {u't', 14}, {u'Т', 14}, {u'_', 13},
                 {u'П', 15}, {u'п', 15},   {0x040F, 15}, {u' ', 11}, {u'*', 11}, {u'X', 11}};
    for (const Case& c : cases)
        EXPECT_EQ(charToNumberCode(QChar(c.c)), c.code) << int(c.c);
}

TEST(NumberCodes, BroadcastCarriesFourteenCharactersAsTheirCodesReadBack) {
    EXPECT_EQ(broadcastNumberText(QStringLiteral("1234567890123456")), "12345678901234");
    EXPECT_EQ(broadcastNumberText(QStringLiteral("*8p-T")), " 8P-t");
}

TEST(NumberCodes, CountedDigitForm) {
    EXPECT_EQ(encodeCountedDigits(QStringLiteral("495")), bytes({3, 0x94, 0x05}));
    EXPECT_EQ(encodeCountedDigits(QStringLiteral("X-Pt")), bytes({4, 0xAA, 0xEC}));
    EXPECT_EQ(encodeCountedDigits(QString()), bytes({0}));
    EXPECT_EQ(encodeCountedDigits(QString(300, u'1')).size(), 1 + 128);
    qsizetype used = 0;
    EXPECT_EQ(decodeCountedDigits(bytes({3, 0x94, 0x05, 0x77}), &used), "495");
    EXPECT_EQ(used, 3);
    // A count beyond the bytes yields what is there.
    EXPECT_EQ(decodeCountedDigits(bytes({9, 0x21}), &used), "12");
    EXPECT_EQ(decodeCountedDigits({}, &used), "");
}
