#pragma once

#include "tools/mkrom/romsource.h"

#include "base/romimage.h"
#include "base/xtea.h"

#include <optional>
#include <string>
#include <string_view>

// Builds a demo firmware image from its source: pseudo-random code bytes, erased (0xFF) user
// data runs and melody areas, the keyboard, calculator and key tables in their initial contents,
// the preset tables, the control structure enciphered under the data key, and the checksum.
// Every table, area and the structure must lie inside the image without overlapping another.
namespace telmira::mkrom {

struct BuildResult {
    std::optional<rom::RomImage> image;
    std::string error;
};

BuildResult buildRom(const RomSource& source, const XteaKey& key);

// Deliberately broken images for the tests of the readers.
enum class Breakage {
    BadSize,        // 300000 bytes
    PointerPastEnd, // the control structure pointer names the first byte after the image
    ZeroLength,     // the structure's total length is 0
    BadBank,        // the keyboard record names a bank beyond a 256 KB image
    UnknownType,    // a record of type 0x3 before the checksum record
};
std::optional<Breakage> breakageByName(std::string_view name);
BuildResult buildBrokenRom(const RomSource& source, Breakage breakage, const XteaKey& key);

} // namespace telmira::mkrom
