#pragma once

#include "base/romcontrol.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The readable description of a demo firmware image: its size, where its control structure
// lies, the records of the structure in order and the contents of the preset-variable tables.
// One directive per line, "#" starts a comment; numbers are decimal or hexadecimal after "0x";
// a ROM address is written bank:address.
//
//   size 256 | 512                      image size in KB
//   seed <n>                            seed of the pseudo-random code bytes
//   structure <bank>:<address>          position of the control structure
//   include <file>                      reads another source file (relative to this one)
//   userdata first=<bank> start=<a> end=<a> [bank=<b>]
//   melody <bank>:<start>-<end> ...     used melody areas; the other banks' pairs are unused
//   splash style=0 byte=<a> area=<a> length=<n> [leadin=<n>] | splash style=1 byte=<a>
//   presets bits=<a> valff=<a> val99=<a> [revision=<n>]    (the lengths follow the tables)
//   patchpoints <type>:<address> ...    a skipped (0xC) record holding patch points
//   checksum kind=<n> length=<n>
//   calculator calc=<a> keys=<a> [bank=<b>]
//   keyboard old|new bank=<b> function=<a> rows=<n> return=<a> [offset=<a>] drive=<a>
//            scan=<a> output=<a> [drivebase=<n>]
//   bits <byte> ...                     flag bytes of the bits table, entry 0 first
//   val99 <value> max=<n> [min=<n>] | val99 <value> wide
//   valff <value> max=<n> [min=<n>]
//   splashbyte <value>                  the byte at the splash record's byte address
namespace telmira::mkrom {

struct Val99Entry {
    unsigned value = 0;
    unsigned maximum = 0;
    std::optional<unsigned> minimum;
    bool wide = false; // 0xFE form: limits 0..255
};

struct ValFFEntry {
    unsigned value = 0;
    unsigned maximum = 0;
    unsigned minimum = 0;
};

struct RomSource {
    unsigned sizeKb = 0;
    std::uint32_t seed = 1;
    std::optional<std::uint32_t> structureOffset;
    std::vector<rom::ControlRecord> records;
    std::vector<std::uint8_t> bits;
    std::vector<Val99Entry> val99;
    std::vector<ValFFEntry> valFF;
    std::optional<std::uint8_t> splashByte;
    std::uint8_t driveBase = 0;
};

struct SourceResult {
    std::optional<RomSource> source;
    std::string error; // "file:line: what", when there is no source
};

SourceResult parseRomSource(const std::filesystem::path& path);
// For tests: the text of one source file (includes relative to `dir`).
SourceResult parseRomSourceText(const std::string& text, const std::filesystem::path& dir,
                                const std::string& name = "<text>");

// The table bytes the builder writes for the source's entries.
std::vector<std::uint8_t> bitsTableBytes(const RomSource& source);
std::vector<std::uint8_t> val99TableBytes(const RomSource& source);
std::vector<std::uint8_t> valFFTableBytes(const RomSource& source);

} // namespace telmira::mkrom
