#include "tests/project/exportfixtures.h"

#include "tests/base/demorom.h"
#include "tests/common/testpaths.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace telmira::test {

std::unique_ptr<TMyMemIniFile> iniFromText(const std::string& utf8, const QString& name) {
    const std::string bytes = utf8ToCp1251(utf8);
    return TMyMemIniFile::fromBytes(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                    name);
}

PhoneDescription demoDescription(const std::string& name) {
    const auto path =
        std::filesystem::path(TELMIRA_SOURCE_DIR) / "data/firmware" / (name + ".def.txt");
    PhoneDescription description;
    description.Adopt(iniFromText(readFile(path)), QString::fromStdString(name + ".def"),
                      QString::fromStdString(name));
    return description;
}

rom::RomImage demoImage(const std::string& name) {
    return buildDemo(demoSource(name));
}

rom::RomImage withRecords(rom::RomImage image,
                          const std::function<void(std::vector<rom::ControlRecord>&)>& edit) {
    rom::RomDescription description = readDescription(image);
    edit(description.records);
    const auto plain = rom::encodeControlStructure(description.records);
    EXPECT_TRUE(plain);
    EXPECT_TRUE(rom::writeControlStructure(image, description.structureOffset,
                                           plain.value_or(std::vector<std::uint8_t>{}),
                                           firmware::kDefaultDataKey));
    return image;
}

rom::RomDescription readDescription(const rom::RomImage& image, unsigned rowsNeeded) {
    const auto offset = rom::controlStructureOffset(image);
    EXPECT_TRUE(offset);
    const auto result =
        rom::readControlStructure(image, offset.value_or(0), firmware::kDefaultDataKey, rowsNeeded);
    EXPECT_TRUE(result.description) << result.error.number << " " << result.error.text;
    return result.description.value_or(rom::RomDescription{});
}

rom::RomImage readImage(const std::filesystem::path& path) {
    const std::string bytes = readFile(path);
    return rom::RomImage(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

std::vector<std::uint8_t> bytesAt(const rom::RomImage& image, std::uint32_t offset,
                                  std::size_t length) {
    if (!image.contains(offset, length))
        return {};
    const auto span = image.bytes().subspan(offset, length);
    return {span.begin(), span.end()};
}

} // namespace telmira::test
