#include "tools/mkrom/rombuilder.h"

#include "base/romcontrol.h"

#include <algorithm>

namespace telmira::mkrom {

namespace {

using namespace rom;

struct Region {
    std::string name;
    std::uint32_t start = 0;
    std::uint32_t length = 0;
};

class Layout {
public:
    explicit Layout(RomImage& image) : image_(image) {}

    // Claims a region and fills it; false (with the error set) when it leaves the image.
    bool claim(std::string name, std::uint32_t start, std::uint32_t length, std::uint8_t fill) {
        return claim(std::move(name), start, std::vector<std::uint8_t>(length, fill));
    }
    bool claim(std::string name, std::uint32_t start, const std::vector<std::uint8_t>& bytes) {
        if (!image_.write(start, bytes)) {
            error = name + " lies outside the image";
            return false;
        }
        regions_.push_back({std::move(name), start, static_cast<std::uint32_t>(bytes.size())});
        return true;
    }
    bool checkOverlaps() {
        std::sort(regions_.begin(), regions_.end(),
                  [](const Region& a, const Region& b) { return a.start < b.start; });
        for (std::size_t i = 1; i < regions_.size(); ++i) {
            const Region& a = regions_[i - 1];
            if (a.start + a.length > regions_[i].start) {
                error = a.name + " overlaps " + regions_[i].name;
                return false;
            }
        }
        return true;
    }
    std::string error;

private:
    RomImage& image_;
    std::vector<Region> regions_;
};

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// Fills the image with the tables the records name, in their initial contents.
bool layOut(const RomSource& source, Layout& layout, unsigned banks) {
    for (const ControlRecord& record : source.records) {
        bool ok = true;
        if (const auto* r = std::get_if<UserDataRecord>(&record)) {
            // Every bank from the first one on holds a run of the user data area.
            for (unsigned bank = r->firstBank; bank < banks && ok; ++bank) {
                const std::uint32_t start = romOffset(bank, bank == r->firstBank ? r->start : 0);
                ok = r->end > r->start &&
                     layout.claim("user data run in bank " + std::to_string(bank), start,
                                  romOffset(bank, r->end) - start, 0xFF);
            }
            if (r->end <= r->start)
                layout.error = "the user data area is empty";
        } else if (const auto* r = std::get_if<MelodyAreasRecord>(&record)) {
            for (unsigned bank = 0; bank < r->areas.size() && ok; ++bank) {
                const MelodyArea& area = r->areas[bank];
                if (area.used())
                    ok = area.end > area.start &&
                         layout.claim("melody area " + std::to_string(bank),
                                      romOffset(bank, area.start), area.end - area.start, 0xFF);
                if (area.used() && area.end <= area.start)
                    layout.error = "melody area " + std::to_string(bank) + " is empty";
            }
        } else if (const auto* r = std::get_if<SplashRecord>(&record)) {
            if (r->bankField <= 1)
                ok = layout.claim("splash byte", r->byteAddress, 1, source.splashByte.value_or(0));
            if (ok && r->bankField == 0) {
                const std::uint8_t leadIn = r->leadIn.value_or(0);
                ok = r->areaStart >= leadIn &&
                     layout.claim("splash area", r->areaStart - leadIn,
                                  std::uint32_t{r->areaLength} + leadIn, 0x00);
                if (r->areaStart < leadIn)
                    layout.error = "the splash lead-in reaches below the image";
            }
        } else if (const auto* r = std::get_if<PresetTablesRecord>(&record)) {
            ok = layout.claim("bits table", r->bits.address, bitsTableBytes(source)) &&
                 layout.claim("valFF table", r->valFF.address, valFFTableBytes(source)) &&
                 layout.claim("val99 table", r->val99.address, val99TableBytes(source));
        } else if (const auto* r = std::get_if<SkippedRecord>(&record)) {
            for (std::size_t at = 0; at + 3 <= r->payload.size() && ok; at += 3) {
                const std::uint8_t type = r->payload[at];
                const auto address =
                    static_cast<std::uint16_t>(r->payload[at + 1] << 8 | r->payload[at + 2]);
                ok = layout.claim("patch point " + std::to_string(type), address, type <= 1 ? 2 : 1,
                                  0x00);
            }
        } else if (const auto* r = std::get_if<ChecksumRecord>(&record)) {
            if (const auto end = ChecksumPlacement{r->kind, r->length}.end())
                ok = layout.claim("checksum", *end, 2, 0x00);
        } else if (const auto* r = std::get_if<CalculatorRecord>(&record)) {
            ok = layout.claim("calculator table", romOffset(1, r->calculatorTable),
                              kCalculatorRowSize * kLayouts, 0xFF) &&
                 layout.claim("key table", romOffset(1, r->keyTable), 512, 0xFF);
        } else if (const auto* r = std::get_if<KeyboardRecord>(&record)) {
            const unsigned bank = r->bankField & 7;
            const unsigned rows = r->format >> 4;
            ok = layout.claim("function table", romOffset(bank, r->functionTable), rows * 16, 0) &&
                 layout.claim("return-mask table", romOffset(bank, r->returnMaskTable), 192, 0) &&
                 layout.claim("output-mask table", romOffset(bank, r->outputMaskTable), 16, 0);
            if (ok && r->newStyle()) {
                std::vector<std::uint8_t> scan(17, 0);
                scan[0] = source.driveBase;
                ok = layout.claim("offset table", romOffset(bank, r->offsetTable), 192, 0) &&
                     layout.claim("drive table", romOffset(bank, r->driveTable), 96,
                                  static_cast<std::uint8_t>(source.driveBase + 32)) &&
                     layout.claim("scan-mask table", romOffset(bank, r->scanMaskAddress), scan);
            } else if (ok) {
                ok = layout.claim("drive table", romOffset(bank, r->driveTable), 192, 0xFF) &&
                     layout.claim("scan-mask table", romOffset(bank, r->scanMaskAddress), 16, 0);
            }
        }
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

BuildResult buildRom(const RomSource& source, const XteaKey& key) {
    const std::uint32_t size = source.sizeKb * 1024;
    if (!isImageSize(size))
        return {std::nullopt, "the size must be 256 or 512 KB"};
    if (!source.structureOffset)
        return {std::nullopt, "no structure position given"};

    // Code bytes: xorshift32, so every build of a source gives the same image.
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = source.seed ? source.seed : 1;
    for (std::uint8_t& b : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    RomImage image(std::move(bytes));

    std::string error;
    const auto plain = encodeControlStructure(source.records, &error);
    if (!plain)
        return {std::nullopt, error};

    Layout layout(image);
    const auto pointer = disguisedPointer(*source.structureOffset);
    const std::uint32_t structureLength = static_cast<std::uint32_t>((plain->size() + 7) / 8 * 8);
    if (!layout.claim("pointer", kPointerPosition, {pointer.begin(), pointer.end()}) ||
        !layout.claim("control structure", *source.structureOffset, structureLength, 0) ||
        !layOut(source, layout, image.bankCount()) || !layout.checkOverlaps())
        return {std::nullopt, layout.error};
    if (!writeControlStructure(image, *source.structureOffset, *plain, key))
        return {std::nullopt, "the control structure at " + hex(*source.structureOffset) +
                                  " does not fit in the image"};
    for (const ControlRecord& record : source.records)
        if (const auto* r = std::get_if<ChecksumRecord>(&record))
            if (const auto end = ChecksumPlacement{r->kind, r->length}.end())
                storeChecksum(image, *end);
    return {std::move(image), {}};
}

std::optional<Breakage> breakageByName(std::string_view name) {
    if (name == "bad-size")
        return Breakage::BadSize;
    if (name == "pointer-past-end")
        return Breakage::PointerPastEnd;
    if (name == "zero-length")
        return Breakage::ZeroLength;
    if (name == "bad-bank")
        return Breakage::BadBank;
    if (name == "unknown-type")
        return Breakage::UnknownType;
    return std::nullopt;
}

BuildResult buildBrokenRom(const RomSource& source, Breakage breakage, const XteaKey& key) {
    RomSource changed = source;
    if (breakage == Breakage::BadBank) {
        const unsigned banks = source.sizeKb / 64;
        if (banks > 7)
            return {std::nullopt, "no bank lies beyond a 512 KB image"};
        bool found = false;
        for (ControlRecord& record : changed.records) {
            if (auto* r = std::get_if<KeyboardRecord>(&record)) {
                r->bankField = static_cast<std::uint8_t>((r->bankField & 8) | banks);
                found = true;
            }
        }
        if (!found)
            return {std::nullopt, "the source has no keyboard record"};
        // Built from the good image, so the tables stay where the good image has them.
        BuildResult good = buildRom(source, key);
        if (!good.image)
            return good;
        const auto plain = encodeControlStructure(changed.records);
        if (!plain || !writeControlStructure(*good.image, *source.structureOffset, *plain, key))
            return {std::nullopt, "cannot rewrite the control structure"};
        return good;
    }
    if (breakage == Breakage::UnknownType) {
        auto at = std::find_if(
            changed.records.begin(), changed.records.end(),
            [](const ControlRecord& r) { return std::holds_alternative<ChecksumRecord>(r); });
        changed.records.insert(at, OtherRecord{0x30, {}});
    }
    BuildResult result = buildRom(changed, key);
    if (!result.image)
        return result;
    RomImage& image = *result.image;
    switch (breakage) {
    case Breakage::BadSize: {
        std::vector<std::uint8_t> bytes(image.bytes().begin(), image.bytes().end());
        bytes.resize(300000, 0xFF);
        image = RomImage(std::move(bytes));
        break;
    }
    case Breakage::PointerPastEnd: {
        const auto pointer = disguisedPointer(image.size());
        image.write(kPointerPosition, pointer);
        break;
    }
    case Breakage::ZeroLength: {
        auto plain = encodeControlStructure(changed.records);
        (*plain)[0] = (*plain)[1] = 0;
        writeControlStructure(image, *source.structureOffset, *plain, key);
        break;
    }
    default:
        break;
    }
    return result;
}

} // namespace telmira::mkrom
