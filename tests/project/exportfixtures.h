#pragma once

#include "base/cp1251.h"
#include "base/romcontrol.h"
#include "frame/settings.h"
#include "project/descriptions.h"
#include "tests/common/application.h"
#include "tools/mkrom/rombuilder.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

// Fixtures of the export tests: projects and descriptions from inline text, the demo phone
// descriptions and firmware sources, images built from (possibly changed) firmware sources.
namespace telmira::test {

// A settings object over UTF-8 text (stored as Windows-1251, as the files are).
std::unique_ptr<TMyMemIniFile> iniFromText(const std::string& utf8, const QString& name = {});

// The demo description "korv28" or "korv28v" as the work directory gets it.
PhoneDescription demoDescription(const std::string& name);

// The demo firmware image `name` ("korv28v-256", ...), built from its source.
rom::RomImage demoImage(const std::string& name);

// The image with its control structure's records changed by `edit` (enciphered again in place
// under the built-in key).
rom::RomImage withRecords(rom::RomImage image,
                          const std::function<void(std::vector<rom::ControlRecord>&)>& edit);

// The image's control structure read with the built-in key; fails the test when it cannot.
rom::RomDescription readDescription(const rom::RomImage& image, unsigned rowsNeeded = 1);

// The same image, read back from a file.
rom::RomImage readImage(const std::filesystem::path& path);

// The bytes [offset, offset + length) of the image.
std::vector<std::uint8_t> bytesAt(const rom::RomImage& image, std::uint32_t offset,
                                  std::size_t length);

} // namespace telmira::test
