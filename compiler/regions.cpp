#include "compiler/regions.h"

namespace telmira::compiler {

namespace {

bool matches(int rule, int value) {
    return rule == kAny || rule == value;
}

bool inRange(int low, int high, int value) {
    return low == kAny || high == kAny || (value >= low && value <= high);
}

std::optional<std::size_t> firstRegion(const DlsBank& dls, bool drum, int key, int velocity,
                                       auto&& wanted) {
    for (std::size_t i = 0; i < dls.regions.size(); ++i) {
        const DlsRegion& region = dls.regions[i];
        if (region.drum == drum && region.coversKey(key) && region.coversVelocity(velocity) &&
            wanted(region))
            return i;
    }
    return std::nullopt;
}

int volumeAdjustment(const Song& song, const NoteRequest& note) {
    int change = 0;
    for (const InstrumentVolumeAdjustment& adjustment : song.instrumentVolumes) {
        if (matches(adjustment.bank, note.bank) && adjustment.program == note.program &&
            (!note.drum || matches(adjustment.key, note.key))) {
            change += adjustment.change;
            break;
        }
    }
    for (const ChannelVolumeAdjustment& adjustment : song.settings.channelVolumes) {
        if (adjustment.channel == note.channel) {
            change += adjustment.change;
            break;
        }
    }
    return change;
}

} // namespace

std::optional<std::size_t> lookupRegion(const DlsBank& dls, int bank, int program, bool drum,
                                        int key, int velocity, bool* exact) {
    const auto is = [](int number, std::uint32_t field) {
        return number >= 0 && static_cast<std::uint32_t>(number) == field;
    };
    auto found = firstRegion(dls, drum, key, velocity, [&](const DlsRegion& region) {
        return is(program, region.program) && is(bank, region.bank);
    });
    if (exact)
        *exact = found.has_value();
    if (!found && bank != 0)
        found = firstRegion(dls, drum, key, velocity, [&](const DlsRegion& region) {
            return is(program, region.program) && region.bank == 0;
        });
    if (!found)
        found = firstRegion(dls, drum, key, velocity, [&](const DlsRegion& region) {
            return is(program, region.program) || (drum && region.program == 0);
        });
    return found;
}

NoteResolution resolveNote(const Song& song, const DlsBank& dls, const NoteRequest& note) {
    NoteResolution result;
    result.source = lookupRegion(dls, note.bank, note.program, note.drum, note.key, note.velocity);
    result.volumeAdjustment = volumeAdjustment(song, note);
    result.bank = note.bank;
    result.program = note.program;
    if (!note.drum) {
        for (const ProgramRemap& remap : song.programRemaps) {
            if (matches(remap.bank, note.bank) && remap.program == note.program) {
                result.bank = remap.targetBank;
                result.program = remap.targetProgram;
                break;
            }
        }
    }
    for (const RegionRemap& remap : song.regionRemaps) {
        if (matches(remap.program, result.program) && matches(remap.bank, result.bank) &&
            remap.drum == note.drum && inRange(remap.keyLow, remap.keyHigh, note.key) &&
            inRange(remap.velocityLow, remap.velocityHigh, note.velocity) &&
            remap.target < dls.regions.size()) {
            result.region = remap.target;
            result.originKey = remap.originKey;
            return result;
        }
    }
    bool exact = false;
    result.region =
        lookupRegion(dls, result.bank, result.program, note.drum, note.key, note.velocity, &exact);
    result.autoRemap = !exact;
    return result;
}

void recordUsage(std::vector<UsageRecord>& records, const NoteResolution& resolution,
                 const NoteRequest& note) {
    for (const UsageRecord& record : records) {
        if (resolution.source) {
            if (record.sourceRegion == resolution.source)
                return;
        } else if (!record.sourceRegion && record.sourceBank == note.bank &&
                   record.sourceProgram == note.program && record.drum == note.drum &&
                   (!note.drum || record.key == note.key)) {
            return;
        }
    }
    UsageRecord record;
    record.sourceRegion = resolution.source;
    record.usedRegion = resolution.region.value_or(0);
    record.sourceBank = note.bank;
    record.sourceProgram = note.program;
    record.key = note.key;
    record.drum = note.drum;
    record.autoRemap = resolution.autoRemap;
    records.push_back(record);
}

} // namespace telmira::compiler
