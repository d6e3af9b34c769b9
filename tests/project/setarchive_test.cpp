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

TEST(SetArchive, ListingIsVettedEntryByEntry) {
    const auto listing = [](const std::string& entries, const std::string& type = "7z") {
        return QByteArray::fromStdString("\n7-Zip\n\nListing archive: set.7z\n\n--\nPath = set.7z\n"
                                         "Type = " +
                                         type + "\nPhysical Size = 193\n\n----------\n" + entries);
    };
    const std::string file = "Path = set.tcl\nSize = 20\nPacked Size = \n"
                             "Attributes = A -rw-r--r--\n\n";
    struct Case {
        const char* name;
        QByteArray listing;
        int number; // 0: accepted
    };
    const Case cases[] = {
        {"plain files and a folder",
         listing(file + "Path = sub\nSize = 0\nAttributes = D drwxr-xr-x\n\n"
                        "Path = sub/001.mid\r\nSize = 4\r\nAttributes = A\r\n"),
         0},
        {"nothing at all", listing(""), 0},
        {"absolute", listing(file + "Path = /etc/x\nSize = 1\n\n"), 210},
        {"drive letter", listing("Path = C:x\nSize = 1\n\n"), 210},
        {"parent", listing(file + "Path = a/../../x\nSize = 1\n\n"), 210},
        {"backslash parent", listing("Path = ..\\x\nSize = 1\n\n"), 210},
        {"symbolic link mode", listing("Path = l\nSize = 11\nAttributes = A lrwxrwxrwx\n\n"), 210},
        {"device", listing("Path = d\nSize = 0\nAttributes = A crw-rw-rw-\n\n"), 210},
        {"link key", listing("Path = l\nSize = 0\nSymbolic Link = /etc/passwd\n\n"), 210},
        {"empty link key passes", listing("Path = l\nSize = 0\nHard Link = \n\n"), 0},
        // A name with a line break would let a second "Path" hide in the first entry.
        {"broken line", listing("Path = a\nb/../../x\nSize = 1\n\n"), 212},
        {"two paths in one entry", listing("Path = a\nPath = ../x\nSize = 1\n\n"), 212},
        {"size not a number", listing("Path = a\nSize = 1e9\n\n"), 212},
        {"tar archive", listing(file, "tar"), 212},
        {"no entry section", QByteArray("Path = set.7z\nType = 7z\n"), 212},
        {"past the bound", listing(file + "Path = big\nSize = 67108845\n\n"), 211},
        {"overflowing sizes", listing(file + "Path = big\nSize = 9223372036854775807\n\n"), 211},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto fault = CheckSetListing(c.listing);
        EXPECT_EQ(fault ? fault->number : 0, c.number) << (fault ? fault->text.toStdString() : "");
    }
    // The bound is on the sum: 20 + 67108844 is exactly 64 MB.
    EXPECT_FALSE(CheckSetListing(listing(file + "Path = big\nSize = 67108844\n\n")));
    const auto named = CheckSetListing(listing("Path = ../../x\nSize = 1\n\n"));
    ASSERT_TRUE(named);
    EXPECT_TRUE(named->text.endsWith("../../x")) << named->text.toStdString();
}
