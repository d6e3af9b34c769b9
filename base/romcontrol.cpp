#include "base/romcontrol.h"

#include "base/firmware.h"

#include <algorithm>

namespace telmira::rom {

namespace {

const char* const kBroken = "ZELSplitToROM: Нарушена структура ПЗУ";
const char* const kBadSize = "ZELSplitToROM: Неверный размер в структуре ПЗУ";

constexpr std::uint32_t kStructureLimit = 0x10000;
constexpr unsigned kReturnMaskSize = 192;
constexpr unsigned kOldDriveSize = 192;
constexpr unsigned kNewDriveSize = 96;
constexpr unsigned kOffsetTableSize = 192;
constexpr unsigned kMaskTableSize = 16;
constexpr unsigned kKeyTableSize = 512;

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::optional<std::uint32_t> hexGroup(const std::vector<std::string_view>& chars,
                                      std::size_t from) {
    std::uint32_t value = 0;
    for (std::size_t i = from; i < from + 8; ++i) {
        if (chars[i].size() != 1)
            return std::nullopt;
        const char c = chars[i][0];
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value << 4 | digit;
    }
    return value;
}

// Reads the fields of one record one after another; remembers when a byte was out of reach.
class FieldCursor {
public:
    FieldCursor(const ControlStructureReader& reader, std::uint32_t position)
        : reader_(reader), position_(position) {}
    std::uint8_t byte() {
        const auto value = reader_.byte(position_++);
        ok_ = ok_ && value.has_value();
        return value.value_or(0);
    }
    std::uint16_t word() {
        const std::uint8_t high = byte();
        return static_cast<std::uint16_t>(high << 8 | byte());
    }
    bool ok() const { return ok_; }
    std::uint32_t position() const { return position_; }

private:
    const ControlStructureReader& reader_;
    std::uint32_t position_;
    bool ok_ = true;
};

ControlStructureResult failure(int number, const char* text) {
    return {std::nullopt, {number, text}};
}

void appendWord(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

struct EncodedRecord {
    std::uint8_t typeByte = 0;
    std::vector<std::uint8_t> payload;
};

std::uint8_t typeByte(RecordType type, std::uint8_t bankField) {
    return static_cast<std::uint8_t>(type << 4 | (bankField & 0x0F));
}

EncodedRecord encode(const ControlRecord& record) {
    EncodedRecord out;
    std::vector<std::uint8_t>& p = out.payload;
    std::visit(
        [&](const auto& r) {
            using T = std::decay_t<decltype(r)>;
            if constexpr (std::is_same_v<T, UserDataRecord>) {
                out.typeByte = typeByte(kUserDataRecord, r.bankField);
                p.push_back(r.firstBank);
                appendWord(p, r.start);
                appendWord(p, r.end);
            } else if constexpr (std::is_same_v<T, MelodyAreasRecord>) {
                out.typeByte = typeByte(kMelodyAreasRecord, r.bankField);
                for (const MelodyArea& area : r.areas) {
                    appendWord(p, area.start);
                    appendWord(p, area.end);
                }
            } else if constexpr (std::is_same_v<T, SplashRecord>) {
                out.typeByte = typeByte(kSplashRecord, r.bankField);
                if (r.bankField == 0) {
                    appendWord(p, r.byteAddress);
                    appendWord(p, r.areaStart);
                    p.push_back(r.areaLength);
                    if (r.leadIn)
                        p.push_back(*r.leadIn);
                } else if (r.bankField == 1) {
                    appendWord(p, r.byteAddress);
                }
            } else if constexpr (std::is_same_v<T, PresetTablesRecord>) {
                out.typeByte = typeByte(kPresetTablesRecord, r.bankField);
                p.push_back(r.revision);
                for (const TableRef& table : {r.bits, r.valFF, r.val99}) {
                    appendWord(p, table.address);
                    p.push_back(table.length);
                }
            } else if constexpr (std::is_same_v<T, SkippedRecord>) {
                out.typeByte = typeByte(kSkippedRecord, r.bankField);
                p = r.payload;
            } else if constexpr (std::is_same_v<T, ChecksumRecord>) {
                out.typeByte = typeByte(kChecksumRecord, r.bankField);
                p.push_back(r.kind);
                appendWord(p, r.length);
            } else if constexpr (std::is_same_v<T, CalculatorRecord>) {
                out.typeByte = typeByte(kCalculatorRecord, r.bankField);
                appendWord(p, r.calculatorTable);
                appendWord(p, r.keyTable);
            } else if constexpr (std::is_same_v<T, KeyboardRecord>) {
                out.typeByte = typeByte(kKeyboardRecord, r.bankField);
                appendWord(p, r.functionTable);
                p.push_back(r.format);
                appendWord(p, r.returnMaskTable);
                if (r.newStyle())
                    appendWord(p, r.offsetTable);
                appendWord(p, r.driveTable);
                appendWord(p, r.scanMaskAddress);
                appendWord(p, r.outputMaskTable);
            } else {
                out.typeByte = r.typeByte;
                p = r.payload;
            }
        },
        record);
    return out;
}

} // namespace

std::optional<XteaKey> parseProjectKey(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    // One entry per character: a UTF-8 lead byte with its continuation bytes.
    std::vector<std::string_view> chars;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t j = i + 1;
        while (j < text.size() && (static_cast<unsigned char>(text[j]) & 0xC0) == 0x80)
            ++j;
        chars.push_back(text.substr(i, j - i));
        i = j;
        if (chars.size() > 32)
            return std::nullopt;
    }
    if (chars.size() != 32)
        return std::nullopt;
    XteaKey key{};
    for (std::size_t group = 0; group < 4; ++group)
        key[3 - group] = hexGroup(chars, group * 8).value_or(0);
    return key;
}

DataKey chooseDataKey(std::string_view projectKey) {
    if (const auto key = parseProjectKey(projectKey))
        return {*key, true};
    return {firmware::kDefaultDataKey, false};
}

std::optional<std::uint8_t> ControlStructureReader::byte(std::uint32_t i) const {
    if (i >= kStructureLimit)
        return std::nullopt;
    const std::uint64_t block = std::uint64_t{offset_} + (i & 0xFFF8u);
    if (!image_.contains(block, 8))
        return std::nullopt;
    const auto bytes = image_.bytes().subspan(block, 8);
    const auto word = [&](std::size_t at) {
        return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
               std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
    };
    const XteaBlock plain = xteaDecipher({word(0), word(4)}, key_);
    const unsigned k = i & 7;
    return static_cast<std::uint8_t>(plain[k / 4] >> (8 * (k % 4)));
}

std::optional<std::uint16_t> ControlStructureReader::word(std::uint32_t i) const {
    const auto high = byte(i);
    const auto low = byte(i + 1);
    if (!high || !low)
        return std::nullopt;
    return static_cast<std::uint16_t>(*high << 8 | *low);
}

bool writeControlStructure(RomImage& image, std::uint32_t offset,
                           std::span<const std::uint8_t> plain, const XteaKey& key) {
    std::vector<std::uint8_t> bytes(plain.begin(), plain.end());
    bytes.resize((bytes.size() + 7) / 8 * 8, 0);
    if (bytes.size() > kStructureLimit || !image.contains(offset, bytes.size()))
        return false;
    for (std::size_t at = 0; at < bytes.size(); at += 8) {
        const auto word = [&](std::size_t from) {
            return std::uint32_t{bytes[from]} | std::uint32_t{bytes[from + 1]} << 8 |
                   std::uint32_t{bytes[from + 2]} << 16 | std::uint32_t{bytes[from + 3]} << 24;
        };
        const XteaBlock cipher = xteaEncipher({word(at), word(at + 4)}, key);
        for (unsigned k = 0; k < 8; ++k)
            bytes[at + k] = static_cast<std::uint8_t>(cipher[k / 4] >> (8 * (k % 4)));
    }
    return image.write(offset, bytes);
}

std::optional<std::vector<std::uint8_t>> readControlStructureBytes(const RomImage& image,
                                                                   std::uint32_t offset,
                                                                   std::uint32_t length,
                                                                   const XteaKey& key) {
    const ControlStructureReader reader(image, offset, key);
    std::vector<std::uint8_t> out;
    out.reserve(length);
    for (std::uint32_t i = 0; i < length; ++i) {
        const auto b = reader.byte(i);
        if (!b)
            return std::nullopt;
        out.push_back(*b);
    }
    return out;
}

std::optional<std::vector<std::uint8_t>>
encodeControlStructure(const std::vector<ControlRecord>& records, std::string* error) {
    std::vector<std::uint8_t> out = {0, 0};
    for (const ControlRecord& record : records) {
        const EncodedRecord encoded = encode(record);
        const std::size_t n = encoded.payload.size() + 2;
        if (n > 0xFF) {
            if (error)
                *error = "a record is longer than 255 bytes";
            return std::nullopt;
        }
        out.push_back(static_cast<std::uint8_t>(n));
        out.push_back(encoded.typeByte);
        out.insert(out.end(), encoded.payload.begin(), encoded.payload.end());
    }
    if (out.size() > 0xFFFF) {
        if (error)
            *error = "the control structure is longer than 0xFFFF bytes";
        return std::nullopt;
    }
    out[0] = static_cast<std::uint8_t>(out.size() >> 8);
    out[1] = static_cast<std::uint8_t>(out.size());
    return out;
}

std::optional<std::uint32_t> ChecksumPlacement::end() const {
    if (length == 0)
        return std::nullopt;
    static constexpr std::array<std::uint32_t, 4> kBankOffsets = {0, 0x10000, 0x30000, 0x70000};
    return length + (kind < kBankOffsets.size() ? kBankOffsets[kind] : 0);
}

std::uint32_t RomDescription::melodyCapacity() const {
    std::uint32_t sum = 0;
    for (const MelodyArea& area : melodyAreas)
        if (area.used() && area.end > area.start)
            sum += area.end - area.start;
    return sum;
}

ControlStructureResult readControlStructure(const RomImage& image, std::uint32_t structureOffset,
                                            const XteaKey& key, unsigned rowsNeeded) {
    const ControlStructureReader reader(image, structureOffset, key);
    const auto total = reader.word(0);
    if (!total || *total == 0)
        return failure(30, kBroken);
    // The whole structure must be readable: a header shorter than itself or a length that runs
    // past the end of the image is as broken as a zero length.
    if (*total < 2 || !reader.byte(*total - 1u))
        return failure(30, kBroken);

    RomDescription rom;
    rom.structureOffset = structureOffset;
    rom.structureLength = *total;
    const unsigned banks = image.bankCount();
    std::uint32_t position = 2;
    int remaining = *total - 2;
    while (remaining > 0) {
        const auto length = reader.byte(position);
        const auto type = reader.byte(position + 1);
        // A record shorter than its own header would never move the walk on.
        if (!length || !type || *length < 2)
            return failure(33, kBroken);
        remaining -= *length;
        if (remaining < 0)
            return failure(33, kBroken);
        const std::uint8_t b = *type & 0x0F;
        const unsigned bank = b & 7;
        if (!image.contains(romOffset(bank, 0xFFFF) + 1u))
            return failure(34, kBadSize);

        FieldCursor field(reader, position + 2);
        switch (*type >> 4) {
        case kUserDataRecord: {
            UserDataRecord r{b, field.byte(), field.word(), field.word()};
            if (!field.ok())
                return failure(33, kBroken);
            if (b != 1)
                return failure(342, "ZELSplitToROM: Can't locate ub_FreeSpace table, try latest "
                                    "ROM Verison");
            // Every run, the first included, lies in its own bank, and the write cursor starts
            // in the first one.
            if (r.firstBank >= banks || r.start >= r.end)
                return failure(343, "ZELSplitToROM: Bad ub_FreeSpace table");
            rom.freeRuns = {};
            rom.freeRuns[r.firstBank] = {romOffset(r.firstBank, r.start),
                                         romOffset(r.firstBank, r.end)};
            for (unsigned j = r.firstBank + 1u; j < banks; ++j)
                rom.freeRuns[j] = {romOffset(j, 0), romOffset(j, r.end)};
            rom.writeCursor = romOffset(r.firstBank, r.start);
            rom.records.emplace_back(r);
            break;
        }
        case kMelodyAreasRecord: {
            MelodyAreasRecord r{b, {}};
            for (MelodyArea& area : r.areas)
                area = {field.word(), field.word()};
            if (!field.ok())
                return failure(33, kBroken);
            for (unsigned k = 0; k < r.areas.size(); ++k)
                if (r.areas[k].used() && (k >= banks || r.areas[k].end < r.areas[k].start))
                    return failure(34, kBadSize);
            rom.melodyAreas = r.areas;
            rom.records.emplace_back(r);
            break;
        }
        case kSplashRecord: {
            SplashRecord r{b, 0, 0, 0, std::nullopt};
            if (b == 0) {
                r.byteAddress = field.word();
                r.areaStart = field.word();
                r.areaLength = field.byte();
                if (*length == 8)
                    r.leadIn = field.byte();
            } else if (b == 1) {
                r.byteAddress = field.word();
            }
            if (!field.ok())
                return failure(33, kBroken);
            // A lead-in reaching below the start of the image has nowhere to go.
            if (r.leadIn.value_or(0) > r.areaStart)
                return failure(34, kBadSize);
            rom.splash =
                SplashFields{b, r.byteAddress, r.areaStart, r.areaLength, r.leadIn.value_or(0)};
            rom.records.emplace_back(r);
            break;
        }
        case kPresetTablesRecord: {
            PresetTablesRecord r{b, field.byte(), {}, {}, {}};
            for (TableRef* table : {&r.bits, &r.valFF, &r.val99})
                *table = {field.word(), field.byte()};
            if (!field.ok())
                return failure(33, kBroken);
            if (r.revision != 0)
                return failure(34, "ZELSplitToROM:  Illegal defaults revision, try new version "
                                   "ZELPACK.EXE");
            rom.presetTables = PresetTables{r.bits, r.valFF, r.val99};
            rom.records.emplace_back(r);
            break;
        }
        case kSkippedRecord: {
            SkippedRecord r{b, {}};
            for (std::uint32_t i = 2; i < *length; ++i)
                r.payload.push_back(field.byte());
            if (!field.ok())
                return failure(33, kBroken);
            rom.records.emplace_back(r);
            break;
        }
        case kChecksumRecord: {
            ChecksumRecord r{b, field.byte(), field.word()};
            if (!field.ok())
                return failure(33, kBroken);
            const ChecksumPlacement placement{r.kind, r.length};
            if (const auto end = placement.end(); end && !image.contains(*end, 2))
                return failure(34, kBadSize);
            rom.checksum = placement;
            rom.records.emplace_back(r);
            break;
        }
        case kCalculatorRecord: {
            CalculatorRecord r{b, field.word(), field.word()};
            if (!field.ok())
                return failure(33, kBroken);
            if (b != 1)
                return failure(340, "ZELSplitToROM: Невозможно вычислить размер таблицы "
                                    "калькулятора, попробуйте последнюю версию ПЗУ программы "
                                    "Корвел");
            const CalculatorTables tables{romOffset(1, r.calculatorTable), romOffset(1, r.keyTable),
                                          kCalculatorRowSize};
            if (!image.contains(tables.calculatorTable, kCalculatorRowSize * kLayouts) ||
                !image.contains(tables.keyTable, kKeyTableSize))
                return failure(34, kBadSize);
            rom.calculator = tables;
            rom.records.emplace_back(r);
            break;
        }
        case kKeyboardRecord: {
            KeyboardRecord r;
            r.bankField = b;
            r.functionTable = field.word();
            r.format = field.byte();
            r.returnMaskTable = field.word();
            if (r.newStyle())
                r.offsetTable = field.word();
            r.driveTable = field.word();
            r.scanMaskAddress = field.word();
            r.outputMaskTable = field.word();
            if (!field.ok())
                return failure(33, kBroken);
            if ((r.format & 0x0F) != 0)
                return failure(31, kBroken);
            KeyboardTables t;
            t.bank = bank;
            t.newStyle = r.newStyle();
            t.rows = r.format >> 4;
            if (t.rows < std::max(rowsNeeded, 1u))
                return failure(33, "ZELSplitToROM: Неверный размер таблицы функций");
            t.functionTable = romOffset(bank, r.functionTable);
            t.returnMaskTable = romOffset(bank, r.returnMaskTable);
            t.offsetTable = t.newStyle ? romOffset(bank, r.offsetTable) : 0;
            t.driveTable = romOffset(bank, r.driveTable);
            t.scanMaskTable = romOffset(bank, r.scanMaskAddress) + (t.newStyle ? 1u : 0u);
            t.outputMaskTable = romOffset(bank, r.outputMaskTable);
            const bool fits =
                image.contains(t.functionTable, t.rows * 16u) &&
                image.contains(t.returnMaskTable, kReturnMaskSize) &&
                (!t.newStyle || image.contains(t.offsetTable, kOffsetTableSize)) &&
                image.contains(t.driveTable, t.newStyle ? kNewDriveSize : kOldDriveSize) &&
                image.contains(t.scanMaskTable, kMaskTableSize) &&
                image.contains(t.outputMaskTable, kMaskTableSize);
            if (!fits)
                return failure(34, kBadSize);
            if (t.newStyle)
                t.driveBase = *image.byteAt(t.scanMaskTable - 1);
            rom.keyboard = t;
            rom.records.emplace_back(r);
            break;
        }
        default:
            return failure(32, "ZELSplitToROM: Invalid control structure in ROM, try latest ROM "
                               "build");
        }
        position = (*type >> 4) == kSkippedRecord ? position + *length : field.position();
    }
    return {std::move(rom), {}};
}

std::optional<RomDescription> readControlStructure(const RomImage& image,
                                                   std::uint32_t structureOffset,
                                                   std::string_view projectKey, unsigned rowsNeeded,
                                                   ExportReport& report) {
    const DataKey key = chooseDataKey(projectKey);
    if (key.fromProject)
        report.report(0, "Использован индивидуальный ключ проекта для кодирования данных");
    ControlStructureResult result =
        readControlStructure(image, structureOffset, key.words, rowsNeeded);
    if (!result.description)
        report.report(result.error.number, result.error.text);
    return std::move(result.description);
}

RomSummary summarizeRom(const RomImage& image, std::string_view projectKey) {
    RomSummary summary;
    summary.byteSum = image.byteSum();
    const auto offset = controlStructureOffset(image);
    if (!isImageSize(image.size()) || !offset || *offset >= image.size())
        return summary;
    const auto result = readControlStructure(image, *offset, chooseDataKey(projectKey).words, 1);
    if (result.description) {
        summary.structureRead = true;
        summary.melodyCapacity = result.description->melodyCapacity();
    }
    return summary;
}

PatchLayoutResult readPatchLayout(const RomImage& image, const XteaKey& key) {
    const auto broken = [](std::string why) { return PatchLayoutResult{std::nullopt, why}; };
    if (!isImageSize(image.size()))
        return broken("the image is neither 256 KB nor 512 KB");
    const auto offset = controlStructureOffset(image);
    if (!offset || *offset >= image.size())
        return broken("the control structure pointer lies outside the image");
    const ControlStructureReader reader(image, *offset, key);
    const auto total = reader.word(0);
    if (!total)
        return broken("the control structure lies outside the image");

    PatchLayout layout;
    layout.structureOffset = *offset;
    layout.structureLength = *total;
    const std::uint64_t bankEnd = (*offset / kBankSize + 1) * std::uint64_t{kBankSize};
    bool haveAreas = false;
    std::optional<std::uint16_t> checksumLength;
    std::uint32_t position = 2;
    while (position < *total && *offset + std::uint64_t{position} < bankEnd) {
        const auto length = reader.byte(position);
        const auto type = reader.byte(position + 1);
        if (!length || !type)
            return broken("a record lies outside the image");
        if (*length == 0)
            return broken("a record has the length 0");
        FieldCursor field(reader, position + 2);
        const unsigned payload = *length >= 2 ? *length - 2u : 0u;
        if (*type == (kMelodyAreasRecord << 4)) {
            haveAreas = true;
            layout.melodyAreas = {};
            for (unsigned k = 0; k < std::min(payload / 4, 8u); ++k)
                layout.melodyAreas[k] = {field.word(), field.word()};
        } else if (*type == (kSkippedRecord << 4)) {
            for (unsigned k = 0; k < payload / 3; ++k) {
                const std::uint8_t pointType = field.byte();
                layout.patchPoints.push_back({pointType, field.word()});
            }
        } else if (*type == (kChecksumRecord << 4) && payload >= 3) {
            field.byte();
            checksumLength = field.word();
        }
        if (!field.ok())
            return broken("a record lies outside the image");
        position += *length;
    }
    if (position != *total || *offset + std::uint64_t{position} > bankEnd)
        return broken("the records do not end at the structure's length inside its bank");
    if (!checksumLength)
        return broken("no checksum record");
    if (layout.patchPoints.empty())
        return broken("no patch point");
    if (!haveAreas || !layout.melodyAreas[0].used())
        return broken("no melody area in bank 0");
    for (unsigned k = 0; k < layout.melodyAreas.size(); ++k) {
        const MelodyArea& area = layout.melodyAreas[k];
        if (area.used() && (k >= image.bankCount() || area.end < area.start))
            return broken("a melody area lies outside the image");
    }
    layout.checksumPosition = image.size() - kBankSize + *checksumLength;
    if (!image.contains(layout.checksumPosition, 2))
        return broken("the checksum position lies outside the image");
    return {std::move(layout), {}};
}

} // namespace telmira::rom
