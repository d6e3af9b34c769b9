#include "project/setarchive.h"

#include "tests/common/testpaths.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace telmira;

TEST(SetArchive, TextForm) {
    // Four bytes: one full group and a one-byte group.
    const QByteArray four("\x01\x02\x03\xFF", 4);
    // 0x030201: 000001, 001000, 110000, 000000 (lowest six bits first); 0xFF: 111111, 000011 ("/",
    // "D").
    EXPECT_EQ(EncodeSetData(four), QStringList{"0=BIwA/D**"});
    // Two bytes: 0x1234 -> 110100, 001000 (0x34 >> 6 | 4 * (0x12 & 15)), 000001.
    EXPECT_EQ(EncodeSetData(QByteArray("\x34\x12", 2)), QStringList{"0=0IB*"});
    EXPECT_EQ(DecodeSetData({"0=BIwA/D**"}), four);
    EXPECT_EQ(DecodeSetData({"0=0IB*"}), QByteArray("\x34\x12", 2));
    EXPECT_TRUE(EncodeSetData({}).isEmpty());

    // 57 bytes to a line; decoding the lines and encoding again gives the same lines.
    QByteArray bytes;
    for (int i = 0; i < 200; ++i)
        bytes.append(static_cast<char>(i * 37 + 11));
    const QStringList lines = EncodeSetData(bytes);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[3].startsWith("3="));
    EXPECT_EQ(lines[0].size(), 2 + 57 / 3 * 4);
    EXPECT_EQ(DecodeSetData(lines), bytes);
    EXPECT_EQ(EncodeSetData(DecodeSetData(lines)), lines);

    // Characters outside the alphabet are skipped; a line without a key is all value.
    EXPECT_EQ(DecodeSetData({"B I\twA", "/D**"}), four);
}

TEST(SetArchive, RestoreWritesOnlyWhatThereIs) {
    test::TempDir dir;
    const QString path = QString::fromStdString((dir / "Media/Temp/set.7z").string());
    EXPECT_TRUE(RestoreSetArchive({"0=***"}, path));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(RestoreSetArchive({"0=BIwA/D**"}, path));
    EXPECT_EQ(test::readFile(dir / "Media/Temp/set.7z"), std::string("\x01\x02\x03\xFF", 4));
    EXPECT_FALSE(RestoreSetArchive({"0=BIwA/D**"}, QString::fromStdString(dir.dir().string())));
}
