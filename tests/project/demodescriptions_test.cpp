// The phone descriptions the installation ships, checked against the demo firmware images the
// build lays out beside them: every preset variable must lie inside its table in both images
// of its phone version, with limits inside those of the ROM.
#include "project/descriptions.h"

#include "tests/common/testpaths.h"

#include "base/cp1251.h"
#include "base/firmware.h"
#include "base/rompresets.h"
#include "frame/records.h"

#include <gtest/gtest.h>

#include <set>

using namespace telmira;

namespace {

const QString kWorkDir = QStringLiteral(TELMIRA_WORK_DIR);

struct Version {
    const char* key;
    const char* fileName;
    const char* name;
    const char* images[2];
};

const Version kVersions[] = {
    {"1", "korv28.def", "Корвел 28 Талви", {"korv28-256", "korv28-512"}},
    {"2", "korv28v.def", "Корвел 28 Талви, 2 языка", {"korv28v-256", "korv28v-512"}},
};

PhoneDescription load(const Version& v) {
    const TMyMemIniFile zelIni(kWorkDir + "/zel.ini");
    PhoneDescription description;
    description.LoadForVersion(zelIni, v.key, kWorkDir);
    return description;
}

struct Rom {
    rom::RomImage image;
    rom::RomDescription description;
};

Rom readRom(const std::string& name) {
    rom::ExportReport report;
    auto loaded =
        rom::readRomImage(std::string(TELMIRA_WORK_DIR) + "/RomData/" + name + ".rom", report);
    EXPECT_TRUE(loaded) << name;
    if (!loaded)
        return {};
    auto description = rom::readControlStructure(loaded->image, loaded->structureOffset,
                                                 firmware::kDefaultDataKey, 10);
    EXPECT_TRUE(description.description) << name << ": " << description.error.text;
    return {std::move(loaded->image), description.description.value_or(rom::RomDescription{})};
}

QString field(const QString& record, const char* key, const QString& def = QString()) {
    return FieldOf(record, QString::fromLatin1(key), def);
}

int intField(const QString& record, const char* key, int def) {
    return parseInteger(field(record, key)).value_or(def);
}

const std::set<QString> kTypes = {"radiogroup", "checkbox", "integer",  "spinedit",
                                  "time",       "maskedit", "string",   "combobox",
                                  "trackbar",   "button",   "delimiter"};

// Checks one variable description record against one image.
void checkVariable(const QString& id, const QString& record, const Rom& rom, const char* image) {
    const std::string where = std::string(image) + " variable " + id.toStdString();
    const QString type = field(record, "Type").toLower();
    if (!type.isEmpty()) {
        EXPECT_TRUE(kTypes.count(type)) << where;
    }
    bool ok = false;
    const std::uint32_t address = field(record, "Address", "0").toUInt(&ok, 16);
    ASSERT_TRUE(ok) << where;
    const int additional = intField(record, "Additional", 0);
    const int minimum = intField(record, "Min", 0);
    const int maximum = intField(record, "Max", 0);

    if (address == rom::kSplashByteAddress) {
        EXPECT_TRUE(rom.description.splash) << where;
    } else if (address == rom::kSplashTextAddress) {
        ASSERT_TRUE(rom.description.splash) << where;
        EXPECT_LE(rom.description.splash->style, 1) << where;
        EXPECT_EQ(type, "string") << where;
    } else if (address & rom::kDigitStringClass) {
        EXPECT_TRUE(rom.description.writeCursor) << where;
    } else if (address & (rom::kBitsClass | rom::kVal99Class | rom::kValFFClass)) {
        const auto entry = rom::lookupDefaultsEntry(rom.image, rom.description, address);
        ASSERT_TRUE(entry.entry) << where << ": " << entry.error.text;
        if (address & rom::kBitsClass) {
            EXPECT_TRUE(record.contains("Additional=")) << where;
            EXPECT_LT(additional, 8) << where;
        } else if (additional == 12) {
            // A time: hours at the entry, minutes at the next one.
            EXPECT_EQ(entry.entry->maximum, 23) << where;
            const auto minutes = rom::lookupDefaultsEntry(rom.image, rom.description, address + 1);
            ASSERT_TRUE(minutes.entry) << where;
            EXPECT_EQ(minutes.entry->maximum, 59) << where;
        } else if (field(record, "Sel") != "MelodyList" || record.contains("Max=")) {
            // With Additional 11 the largest value is stored as 0, so the ROM needs Max - 1.
            const int top = additional == 11 ? maximum - 1 : maximum;
            EXPECT_GE(minimum, entry.entry->minimum) << where;
            EXPECT_LE(top, entry.entry->maximum) << where;
            EXPECT_LT(minimum, maximum) << where;
        }
    } else {
        // Headings and lines without a value have no place in the ROM.
        EXPECT_TRUE(type.isEmpty() || type == "delimiter") << where;
    }

    // The default value fits the line's own limits.
    if (type == "spinedit" || type == "integer" || type == "trackbar") {
        const int value = intField(record, "Value", -1);
        EXPECT_GE(value, minimum) << where;
        EXPECT_LE(value, maximum) << where;
    }
}

} // namespace

TEST(DemoDescriptions, ShippedAsWindows1251WithCrLf) {
    for (const Version& v : kVersions) {
        const std::string bytes = test::readFile(std::string(TELMIRA_WORK_DIR) + "/" + v.fileName);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (bytes[i] == '\n') {
                ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << v.fileName << " at " << i;
            }
        EXPECT_NE(cp1251ToUtf8(bytes).find("Корвел 28"), std::string::npos);
    }
}

TEST(DemoDescriptions, DefaultSettingsFileListsBothVersions) {
    const TMyMemIniFile zelIni(kWorkDir + "/zel.ini");
    const ProjectDefs defs = ProjectDefs::Read(zelIni);
    ASSERT_EQ(defs.Entries().size(), 2);
    for (const Version& v : kVersions) {
        const PhoneDescription description = load(v);
        EXPECT_EQ(description.FileName(), QString::fromLatin1(v.fileName));
        EXPECT_EQ(description.VersionName(), QString::fromUtf8(v.name));
        EXPECT_EQ(defs.FileNameForCode(v.key, QString()), QString::fromLatin1(v.fileName));
    }
}

TEST(DemoDescriptions, EveryVariableLiesInsideItsTableInBothImages) {
    for (const Version& v : kVersions) {
        const PhoneDescription description = load(v);
        ASSERT_GE(description.Variables().size(), 20) << v.fileName;
        for (const char* image : v.images) {
            const Rom rom = readRom(image);
            for (const QString& line : description.Variables()) {
                const DescriptionLine split = SplitDescriptionLine(line);
                checkVariable(split.id, split.record, rom, image);
            }
        }
        // Every variable class is exercised.
        std::set<QString> classes;
        for (const QString& line : description.Variables()) {
            const QString record = SplitDescriptionLine(line).record;
            const QString address = field(record, "Address");
            if (address.size() == 8) {
                classes.insert(address.left(2));
                if (address.startsWith("40") && record.contains("Additional="))
                    classes.insert("40/" + field(record, "Additional"));
                if (address.startsWith("10"))
                    classes.insert(address);
            }
        }
        for (const char* c : {"80", "40", "20", "08", "40/11", "40/12", "10000000", "10000001"})
            EXPECT_TRUE(classes.count(c)) << v.fileName << " has no variable of class " << c;
    }
}

TEST(DemoDescriptions, KeysLinesAndDevicesFollowTheRules) {
    for (const Version& v : kVersions) {
        const PhoneDescription description = load(v);

        std::set<QString> addresses;
        for (const QString& line : description.Lines()) {
            const QString address = field(SplitDescriptionLine(line).record, "Address");
            EXPECT_EQ(address, address.toUpper());
            EXPECT_EQ(address.size(), 4);
            EXPECT_TRUE(addresses.insert(address).second)
                << "two lines share " << address.toStdString();
        }
        std::set<QString> expectedLines = {"0040"};
        for (int i = 0; i < 16; ++i)
            expectedLines.insert(QStringLiteral("%1").arg(i, 4, 16, QLatin1Char('0')).toUpper());
        EXPECT_EQ(addresses, expectedLines) << v.fileName;

        std::set<QString> codes, calculator;
        for (const QString& line : description.Keys()) {
            const QString record = SplitDescriptionLine(line).record;
            const QString code = field(record, "Code");
            EXPECT_EQ(code.size(), 2);
            EXPECT_EQ(code, code.toUpper());
            EXPECT_GE(HexFieldOf(record, "Code"), 0) << line.toStdString();
            EXPECT_TRUE(codes.insert(code).second) << "two keys share " << code.toStdString();
            const QString calcKey = field(record, "CalcKey");
            EXPECT_TRUE(calcKey == "0" || calcKey == "1");
            if (calcKey == "1")
                calculator.insert(code);
        }
        std::set<QString> expectedCalculator;
        for (int c = 0x60; c <= 0x6B; ++c)
            expectedCalculator.insert(QString::number(c, 16).toUpper());
        EXPECT_EQ(calculator, expectedCalculator) << v.fileName;

        std::set<QString> devices;
        for (const QString& line : description.Devices())
            devices.insert(field(SplitDescriptionLine(line).record, "Code"));
        EXPECT_EQ(devices, (std::set<QString>{"01", "02", "03", "04", "05", "06", "07", "08", "09",
                                              "80", "81", "82"}));
    }
}

TEST(DemoDescriptions, SettingsPagesUseEveryControlTypeAndTheServiceAreaIsListed) {
    for (const Version& v : kVersions) {
        const PhoneDescription description = load(v);
        std::set<QString> types;
        for (const QStringList& page : {description.PhoneSetup(), description.AutoSetup()})
            for (const QString& line : page)
                types.insert(field(SplitDescriptionLine(line).record, "Type"));
        EXPECT_EQ(types, kTypes) << v.fileName;
        // The answering-machine page starts on its line 1.
        ASSERT_GE(description.AutoSetup().size(), 2);
        EXPECT_NE(field(SplitDescriptionLine(description.AutoSetup()[1]).record, "Type"),
                  "delimiter");
        EXPECT_GE(description.ServiceArea().size(), 3);
        EXPECT_FALSE(description.MelodySetName().isEmpty());
    }
}
