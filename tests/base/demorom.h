#pragma once

#include "tools/mkrom/rombuilder.h"

#include "base/firmware.h"

#include <gtest/gtest.h>

#include <string>

// The demo firmware sources and images the build makes, for the ROM tests.
namespace telmira::test {

inline const char* const kDemoImages[] = {"korv28-256", "korv28-512", "korv28v-256", "korv28v-512"};

inline std::filesystem::path demoSourcePath(const std::string& name) {
    return std::filesystem::path(TELMIRA_SOURCE_DIR) / "tools/mkrom/demo" / (name + ".txt");
}

inline std::filesystem::path demoImagePath(const std::string& name) {
    return std::filesystem::path(TELMIRA_WORK_DIR) / "RomData" / (name + ".rom");
}

inline mkrom::RomSource demoSource(const std::string& name) {
    auto parsed = mkrom::parseRomSource(demoSourcePath(name));
    EXPECT_TRUE(parsed.source) << parsed.error;
    return parsed.source.value_or(mkrom::RomSource{});
}

inline rom::RomImage buildDemo(const mkrom::RomSource& source,
                               const XteaKey& key = firmware::kDefaultDataKey) {
    auto built = mkrom::buildRom(source, key);
    EXPECT_TRUE(built.image) << built.error;
    return built.image.value_or(rom::RomImage{});
}

} // namespace telmira::test
