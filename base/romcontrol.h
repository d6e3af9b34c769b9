#pragma once

#include "base/romimage.h"
#include "base/xtea.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The control structure of a ROM image: a list of records that tells where the firmware keeps
// the tables a project customises. It lies at the position the disguised pointer gives, stored
// enciphered with XTEA under the data key. Byte i of the structure is byte (i AND 7) of the
// deciphered 8-byte block at structure offset + (i AND 0xFFF8), the block read as two
// little-endian words; a word of the structure is two such bytes, high byte first.
namespace telmira::rom {

// ---- Data key ----------------------------------------------------------------------------

// A project key: after trimming, exactly 32 characters read as one 128-bit hexadecimal number,
// most significant digit first (characters 1..8 give K3, ..., 25..32 give K0; a group that is
// not hexadecimal gives 0). No value for any other length. The text is UTF-8.
std::optional<XteaKey> parseProjectKey(std::string_view text);

struct DataKey {
    XteaKey words{};
    bool fromProject = false; // false: the firmware family's built-in key
};
// The project key when the text is one, otherwise the built-in key.
DataKey chooseDataKey(std::string_view projectKey);

// ---- Access to the enciphered structure -----------------------------------------------------

class ControlStructureReader {
public:
    ControlStructureReader(const RomImage& image, std::uint32_t offset, const XteaKey& key)
        : image_(image), offset_(offset), key_(key) {}

    // No value when the byte's block is not wholly inside the image or i is not below 0x10000.
    std::optional<std::uint8_t> byte(std::uint32_t i) const;
    std::optional<std::uint16_t> word(std::uint32_t i) const;
    std::uint32_t offset() const { return offset_; }

private:
    const RomImage& image_;
    std::uint32_t offset_;
    XteaKey key_;
};

// The structure's plain bytes enciphered into the image at `offset` (the last block padded with
// zeros). False, and nothing written, when the blocks do not fit in the image.
bool writeControlStructure(RomImage& image, std::uint32_t offset,
                           std::span<const std::uint8_t> plain, const XteaKey& key);
// The first `length` plain bytes of the structure (whole blocks must lie in the image).
std::optional<std::vector<std::uint8_t>> readControlStructureBytes(const RomImage& image,
                                                                   std::uint32_t offset,
                                                                   std::uint32_t length,
                                                                   const XteaKey& key);

// ---- Records ---------------------------------------------------------------------------------
// Every record starts with its length n (header included) and a type byte: record type in the
// high nibble, bank field b in the low nibble. Addresses are 16-bit within a bank.

enum RecordType : std::uint8_t {
    kUserDataRecord = 0x8,
    kMelodyAreasRecord = 0x9,
    kSplashRecord = 0xA,
    kPresetTablesRecord = 0xB,
    kSkippedRecord = 0xC,
    kChecksumRecord = 0xD,
    kCalculatorRecord = 0xE,
    kKeyboardRecord = 0xF,
};

inline constexpr std::uint16_t kUnusedArea = 0xFFFF;
inline constexpr unsigned kCalculatorRowSize = 12;
inline constexpr unsigned kLayouts = 8;

struct MelodyArea {
    std::uint16_t start = kUnusedArea;
    std::uint16_t end = kUnusedArea;
    bool used() const { return start != kUnusedArea; }
    bool operator==(const MelodyArea&) const = default;
};

struct TableRef {
    std::uint16_t address = 0;
    std::uint8_t length = 0;
    bool operator==(const TableRef&) const = default;
};

// 0x8: the user data area (ub_FreeSpace); b must be 1.
struct UserDataRecord {
    std::uint8_t bankField = 1;
    std::uint8_t firstBank = 1;
    std::uint16_t start = 0;
    std::uint16_t end = 0;
    bool operator==(const UserDataRecord&) const = default;
};
// 0x9: eight (start, end) pairs, pair k for bank k.
struct MelodyAreasRecord {
    std::uint8_t bankField = 0;
    std::array<MelodyArea, 8> areas{};
    bool operator==(const MelodyAreasRecord&) const = default;
};
// 0xA: the splash record; b is the style the splash text is stored in. Style 0 carries the
// byte address, the fixed splash area and, in the 8-byte form, the lead-in length; style 1 the
// byte address alone; other styles nothing.
struct SplashRecord {
    std::uint8_t bankField = 0;
    std::uint16_t byteAddress = 0;
    std::uint16_t areaStart = 0;
    std::uint8_t areaLength = 0;
    std::optional<std::uint8_t> leadIn;
    bool operator==(const SplashRecord&) const = default;
};
// 0xB: the preset-variable tables, all in bank 0; the revision must be 0.
struct PresetTablesRecord {
    std::uint8_t bankField = 0;
    std::uint8_t revision = 0;
    TableRef bits;
    TableRef valFF;
    TableRef val99;
    bool operator==(const PresetTablesRecord&) const = default;
};
// 0xC: skipped by the export; the compiler reads its payload as patch points.
struct SkippedRecord {
    std::uint8_t bankField = 0;
    std::vector<std::uint8_t> payload;
    bool operator==(const SkippedRecord&) const = default;
};
// 0xD: checksum placement.
struct ChecksumRecord {
    std::uint8_t bankField = 0;
    std::uint8_t kind = 0;
    std::uint16_t length = 0;
    bool operator==(const ChecksumRecord&) const = default;
};
// 0xE: calculator and key tables, both in bank 1; b must be 1.
struct CalculatorRecord {
    std::uint8_t bankField = 1;
    std::uint16_t calculatorTable = 0;
    std::uint16_t keyTable = 0;
    bool operator==(const CalculatorRecord&) const = default;
};
// 0xF: keyboard tables in bank b AND 7; bit 3 of b selects the new style (12 scan rows, with an
// offset table, and the drive base value at the scan-mask address).
struct KeyboardRecord {
    std::uint8_t bankField = 1;
    std::uint16_t functionTable = 0;
    std::uint8_t format = 0x10; // high nibble: rows of the function table
    std::uint16_t returnMaskTable = 0;
    std::uint16_t offsetTable = 0; // new style only
    std::uint16_t driveTable = 0;
    std::uint16_t scanMaskAddress = 0;
    std::uint16_t outputMaskTable = 0;
    bool newStyle() const { return (bankField & 8) != 0; }
    bool operator==(const KeyboardRecord&) const = default;
};
// Any other type byte, with its payload as stored (only broken images carry one).
struct OtherRecord {
    std::uint8_t typeByte = 0;
    std::vector<std::uint8_t> payload;
    bool operator==(const OtherRecord&) const = default;
};

using ControlRecord =
    std::variant<UserDataRecord, MelodyAreasRecord, SplashRecord, PresetTablesRecord, SkippedRecord,
                 ChecksumRecord, CalculatorRecord, KeyboardRecord, OtherRecord>;

// The plain bytes of a structure holding the records: the total length word, then each record
// with its length and type byte. No value (and `error` says why) when a record is longer than
// 255 bytes or the whole longer than 0xFFFF.
std::optional<std::vector<std::uint8_t>>
encodeControlStructure(const std::vector<ControlRecord>& records, std::string* error = nullptr);

// ---- The export's reading of the structure ------------------------------------------------

struct FreeRun {
    std::uint32_t start = 0; // image offsets, [start, end)
    std::uint32_t end = 0;
    bool empty() const { return start >= end; }
    bool operator==(const FreeRun&) const = default;
};

struct KeyboardTables {
    unsigned bank = 0;
    bool newStyle = false;
    unsigned rows = 0; // 16-byte rows of the function table
    // Image offsets.
    std::uint32_t functionTable = 0;
    std::uint32_t returnMaskTable = 0;
    std::uint32_t offsetTable = 0; // new style only
    std::uint32_t driveTable = 0;
    std::uint32_t scanMaskTable = 0; // new style: one byte after the drive base value
    std::uint32_t outputMaskTable = 0;
    std::uint8_t driveBase = 0; // new style only
    bool operator==(const KeyboardTables&) const = default;
};

struct SplashFields {
    std::uint8_t style = 0; // the record's b
    std::uint16_t byteAddress = 0;
    std::uint16_t areaStart = 0;
    std::uint8_t areaLength = 0;
    std::uint8_t leadIn = 0;
    bool operator==(const SplashFields&) const = default;
};

struct PresetTables {
    TableRef bits;
    TableRef valFF;
    TableRef val99;
    bool operator==(const PresetTables&) const = default;
};

struct ChecksumPlacement {
    std::uint8_t kind = 0;
    std::uint16_t length = 0;
    // End of the checksummed range (the checksum's own position): the length plus 0x10000,
    // 0x30000 or 0x70000 for the kinds 1, 2, 3. No value when the length is 0.
    std::optional<std::uint32_t> end() const;
    bool operator==(const ChecksumPlacement&) const = default;
};

struct CalculatorTables {
    std::uint32_t calculatorTable = 0; // image offsets
    std::uint32_t keyTable = 0;
    unsigned rowSize = kCalculatorRowSize;
    bool operator==(const CalculatorTables&) const = default;
};

// The result of reading the control structure, kept for one export run.
struct RomDescription {
    std::uint32_t structureOffset = 0;
    std::uint16_t structureLength = 0;
    std::vector<ControlRecord> records; // in structure order, as read
    std::array<FreeRun, 8> freeRuns{};  // by bank
    std::optional<std::uint32_t> writeCursor;
    std::array<MelodyArea, 8> melodyAreas{}; // by bank
    std::optional<SplashFields> splash;
    std::optional<PresetTables> presetTables;
    std::optional<ChecksumPlacement> checksum;
    std::optional<CalculatorTables> calculator;
    std::optional<KeyboardTables> keyboard;

    // The sum of end - start over the used melody areas.
    std::uint32_t melodyCapacity() const;
};

struct RomError {
    int number = 0;
    std::string text;
};

struct ControlStructureResult {
    std::optional<RomDescription> description;
    RomError error; // set when there is no description
};

// Walks the records. `rowsNeeded` is the number of function-table rows the project's layouts
// need (at least 1).
ControlStructureResult readControlStructure(const RomImage& image, std::uint32_t structureOffset,
                                            const XteaKey& key, unsigned rowsNeeded = 1);

// The same with the export's report: chooses the data key from the project key (reporting the
// project-key line when it applies), walks the records and reports the error line of a failure.
std::optional<RomDescription> readControlStructure(const RomImage& image,
                                                   std::uint32_t structureOffset,
                                                   std::string_view projectKey, unsigned rowsNeeded,
                                                   ExportReport& report);

// ---- ROM summary -----------------------------------------------------------------------------

struct RomSummary {
    std::uint32_t melodyCapacity = 0; // 0 when the control structure cannot be read
    std::uint16_t byteSum = 0;
    bool structureRead = false;
};
RomSummary summarizeRom(const RomImage& image, std::string_view projectKey);

// ---- The melody compiler's reading ---------------------------------------------------------

struct PatchPoint {
    std::uint8_t type = 0;
    std::uint16_t address = 0; // in bank 0
    bool operator==(const PatchPoint&) const = default;
};

struct PatchLayout {
    std::uint32_t structureOffset = 0;
    std::uint16_t structureLength = 0;
    std::array<MelodyArea, 8> melodyAreas{}; // by bank
    std::vector<PatchPoint> patchPoints;
    std::uint32_t checksumPosition = 0;
};

struct PatchLayoutResult {
    std::optional<PatchLayout> layout;
    std::string problem; // why the image is broken, when it is
};

// The compiler's walk: every record skipped by its length; 0x90 melody areas, 0xC0 patch
// points, 0xD0 checksum position (image size - 0x10000 + length). The image is broken unless the
// walk ends exactly at the structure's length inside its bank, with a checksum record, a patch
// point and a melody area, the bank-0 area in use, and every area inside the image.
PatchLayoutResult readPatchLayout(const RomImage& image, const XteaKey& key);

} // namespace telmira::rom
