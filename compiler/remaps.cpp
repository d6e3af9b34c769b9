// Script commands that remap instruments and adjust volumes.
#include "compiler/commands.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace telmira::compiler {

namespace {

// Report fragments, formatted the way the commands print their numbers.
std::string format(const char* pattern, int a, int b = 0) {
    char text[48];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

std::string valueOrAny(int value) {
    return value == kAny ? "Any" : format("%i", value);
}

std::string rangeOrAny(int low, int high) {
    return low == kAny ? "Any" : format("[%i..%i]", low, high);
}

std::string signedChange(int change) {
    return format(change < 0 ? "-%i" : "+%i", std::abs(change));
}

bool sameBank(int a, int b) {
    return a == b;
} // kAny equals only kAny

// The first region of the bank that a target names; none when the bank has no such region.
std::optional<std::size_t> findTarget(const DlsBank& bank, int targetBank, int targetProgram,
                                      bool drum, std::optional<int> key,
                                      std::optional<int> velocity) {
    for (std::size_t i = 0; i < bank.regions.size(); ++i) {
        const DlsRegion& region = bank.regions[i];
        if (region.program != static_cast<std::uint32_t>(targetProgram) ||
            region.bank != static_cast<std::uint32_t>(targetBank) || region.drum != drum)
            continue;
        if (key && !region.coversKey(*key))
            continue;
        if (velocity && !region.coversVelocity(*velocity))
            continue;
        return i;
    }
    return std::nullopt;
}

Outcome targetNotFound(CommandCall& call) {
    call.out().print("Target instrument not found for remap at %u\n", call.line);
    return Outcome::stop(Outcome::kFileError);
}

Outcome deleteRegionRemap(CommandCall& call, const std::string& name) {
    if (!call.args.finished())
        return Outcome::scriptError();
    auto& remaps = call.state().regionRemaps;
    const auto found = std::find_if(remaps.begin(), remaps.end(), [&](const RegionRemap& remap) {
        return sameName(remap.name, name);
    });
    if (found == remaps.end()) {
        call.out().print("Remap '%s' not found for delete!\n", name.c_str());
        return Outcome::stop(Outcome::kFileError);
    }
    remaps.erase(found);
    call.out().print("Remap '%s' deleted\n", name.c_str());
    return Outcome::next();
}

Outcome addRegionRemap(CommandCall& call, const std::string& name, bool drum) {
    // B P Klo Khi Vlo Vhi TB TP TK TV [OK]
    std::array<std::int32_t, 10> v{};
    for (auto& value : v) {
        const auto read = call.args.unsignedOrAny();
        if (!read)
            return Outcome::scriptError();
        value = *read;
    }
    int originKey = kAny;
    if (call.args.hasMore()) {
        const auto read = call.args.unsignedOrAny();
        if (!read || !call.args.finished())
            return Outcome::scriptError();
        originKey = *read;
    }
    const auto [bank, program, keyLow, keyHigh, velocityLow, velocityHigh, targetBank,
                targetProgram, targetKey, targetVelocity] = v;
    if ((!drum && program == kAny) || targetBank == kAny || targetProgram == kAny ||
        targetKey == kAny || targetVelocity == kAny)
        return Outcome::scriptError();

    const DlsBank& dls = call.state().dls;
    const auto target = findTarget(dls, targetBank, targetProgram, drum, targetKey, targetVelocity);
    if (!target)
        return targetNotFound(call);

    RegionRemap remap;
    remap.name = name;
    remap.bank = bank;
    remap.program = program;
    if (keyLow != kAny && keyHigh != kAny) {
        remap.keyLow = keyLow;
        remap.keyHigh = keyHigh;
    }
    if (velocityLow != kAny && velocityHigh != kAny) {
        remap.velocityLow = velocityLow;
        remap.velocityHigh = velocityHigh;
    }
    remap.drum = drum;
    remap.target = *target;
    remap.originKey = originKey;

    auto& remaps = call.state().regionRemaps;
    const auto existing = std::find_if(
        remaps.begin(), remaps.end(), [&](const RegionRemap& r) { return sameName(r.name, name); });
    const char* verb = "Added";
    if (existing != remaps.end()) {
        *existing = remap;
        verb = "Updated";
    } else {
        remaps.push_back(remap);
    }
    const DlsRegion& region = dls.regions[*target];
    call.out().print("%s remap '%s' B=%s P=%s K=%s V=%s => %s [%i..%i] [%i..%i]\n", verb,
                     name.c_str(), valueOrAny(remap.bank).c_str(),
                     valueOrAny(remap.program).c_str(),
                     rangeOrAny(remap.keyLow, remap.keyHigh).c_str(),
                     rangeOrAny(remap.velocityLow, remap.velocityHigh).c_str(), region.name.c_str(),
                     region.keyLow, region.keyHigh, region.velocityLow, region.velocityHigh);
    return Outcome::next();
}

} // namespace

Outcome remapRegionCommand(CommandCall& call) {
    if (call.state().dls.regions.empty()) {
        call.out().print("Can't accept remap while no DLS file loaded\n");
        return Outcome::stop(Outcome::kFileError);
    }
    const auto name = call.args.word();
    const auto form = call.args.word();
    if (!name || !form)
        return Outcome::scriptError();
    if (sameName(*form, "delete"))
        return deleteRegionRemap(call, *name);
    if (sameName(*form, "mel"))
        return addRegionRemap(call, *name, false);
    if (sameName(*form, "drum"))
        return addRegionRemap(call, *name, true);
    return Outcome::scriptError();
}

Outcome remapProgramCommand(CommandCall& call) {
    const auto bank = call.args.unsignedOrAny();
    const auto program = call.args.unsignedOrAny();
    const auto targetBank = call.args.unsignedOrAny();
    const auto targetProgram = call.args.unsignedOrAny();
    if (!bank || !program || !targetBank || !targetProgram || !call.args.finished())
        return Outcome::scriptError();
    if (*program == kAny || *targetBank == kAny || *targetProgram == kAny)
        return Outcome::scriptError();

    const auto target = findTarget(call.state().dls, *targetBank, *targetProgram, false,
                                   std::nullopt, std::nullopt);
    if (!target)
        return targetNotFound(call);

    auto& remaps = call.state().programRemaps;
    const auto existing = std::find_if(remaps.begin(), remaps.end(), [&](const ProgramRemap& r) {
        return sameBank(r.bank, *bank) && r.program == *program;
    });
    if (existing != remaps.end()) {
        existing->targetBank = *targetBank;
        existing->targetProgram = *targetProgram;
    } else {
        remaps.push_back(ProgramRemap{*bank, *program, *targetBank, *targetProgram});
    }
    call.out().print("Added remap: B=%s P=%i => %s\n", valueOrAny(*bank).c_str(), *program,
                     call.state().dls.regions[*target].name.c_str());
    return Outcome::next();
}

Outcome instrumentVolumeCommand(CommandCall& call) {
    const auto bank = call.args.unsignedOrAny();
    const auto program = call.args.unsignedValue();
    const auto key = call.args.unsignedOrAny();
    const auto change = call.args.signedValue();
    if (!bank || !program || !key || !change || !call.args.finished())
        return Outcome::scriptError();

    auto& adjustments = call.state().instrumentVolumes;
    const auto existing = std::find_if(adjustments.begin(), adjustments.end(),
                                       [&](const InstrumentVolumeAdjustment& a) {
                                           return sameBank(a.bank, *bank) && a.program == *program;
                                       });
    const char* verb = "Changed";
    const InstrumentVolumeAdjustment* entry = nullptr;
    if (existing != adjustments.end()) {
        existing->change = *change; // the key stays as it was
        entry = &*existing;
    } else {
        adjustments.push_back(InstrumentVolumeAdjustment{*bank, *program, *key, *change});
        entry = &adjustments.back();
        verb = "Added";
    }
    call.out().print("%s volume adjustment: B=%s K=%s P=%i V=%s\n", verb,
                     valueOrAny(entry->bank).c_str(), valueOrAny(entry->key).c_str(),
                     entry->program, signedChange(entry->change).c_str());
    return Outcome::next();
}

Outcome channelVolumeCommand(CommandCall& call) {
    const auto channel = call.args.unsignedValue();
    const auto change = call.args.signedValue();
    if (!channel || *channel == 0 || !change || !call.args.finished())
        return Outcome::scriptError();

    const int index = *channel - 1;
    auto& adjustments = call.state().nextSong.channelVolumes;
    const auto existing =
        std::find_if(adjustments.begin(), adjustments.end(),
                     [&](const ChannelVolumeAdjustment& a) { return a.channel == index; });
    const char* verb = "Changed";
    if (existing != adjustments.end()) {
        existing->change = *change;
    } else {
        adjustments.push_back(ChannelVolumeAdjustment{index, *change});
        verb = "Added";
    }
    call.out().print("%s volume adjustment: C=%i V=%s\n", verb, index,
                     signedChange(*change).c_str());
    return Outcome::next();
}

} // namespace telmira::compiler
