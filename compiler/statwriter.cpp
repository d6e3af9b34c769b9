// The statistics file and the DLS listing.
#include "compiler/dsp/instrument_entry.h"
#include "compiler/outputfile.h"
#include "compiler/samples.h"
#include "compiler/writers.h"

#include "base/cp1251.h"

#include <algorithm>
#include <numeric>
#include <tuple>

namespace telmira::compiler {

namespace {

constexpr std::size_t kLongTerminator = 19;

// Names sort byte by byte as unsigned characters of their Windows-1251 form.
std::string sortKey(const std::string& name) {
    return utf8ToCp1251(name);
}

unsigned u(std::uint64_t value) {
    return static_cast<unsigned>(value);
}

const char* waveName(const CompilerState& state, const DlsRegion& region) {
    const DlsWave* wave = regionWave(state, region);
    return wave ? wave->name.c_str() : "";
}

// "[name] B=.. P=.. K=[..] V=[..] (wave)\tSZ=..", the line of the instrument usage and the DLS
// listing.
void regionLine(Console& text, const CompilerState& state, const DlsRegion& region,
                std::size_t size) {
    text.print("[%s] B=%4u P=%4u K=[%3u..%3u] V=[%3u..%3u] (%s)\tSZ=%u\n", region.name.c_str(),
               u(region.bank), u(region.program), u(region.keyLow), u(region.keyHigh),
               u(region.velocityLow), u(region.velocityHigh), waveName(state, region), u(size));
}

// Regions in ascending order of name, bank, lowest key and lowest velocity; equal ones in
// reverse list order.
void sortRegions(const CompilerState& state, std::vector<std::size_t>& regions) {
    std::reverse(regions.begin(), regions.end());
    const auto key = [&](std::size_t r) {
        const DlsRegion& region = state.dls.regions[r];
        return std::make_tuple(sortKey(region.name), region.bank, region.keyLow,
                               region.velocityLow);
    };
    std::stable_sort(regions.begin(), regions.end(),
                     [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
}

void usageRecordLines(Console& text, const CompilerState& state, std::vector<UsageRecord> records) {
    const auto& regions = state.dls.regions;
    std::stable_sort(records.begin(), records.end(), [&](const auto& a, const auto& b) {
        if (a.drum != b.drum)
            return a.drum < b.drum;
        if (a.sourceRegion.has_value() != b.sourceRegion.has_value())
            return a.sourceRegion.has_value();
        if (a.sourceRegion) {
            const DlsRegion& ra = regions[*a.sourceRegion];
            const DlsRegion& rb = regions[*b.sourceRegion];
            return std::make_tuple(sortKey(ra.name), ra.bank, ra.keyLow, ra.velocityLow) <
                   std::make_tuple(sortKey(rb.name), rb.bank, rb.keyLow, rb.velocityLow);
        }
        const int ka = a.drum ? a.key : 0;
        const int kb = b.drum ? b.key : 0;
        return std::make_tuple(a.sourceBank, a.sourceProgram, ka) <
               std::make_tuple(b.sourceBank, b.sourceProgram, kb);
    });
    for (const UsageRecord& r : records) {
        const char* kind = r.drum ? "DRM" : "MEL";
        if (r.sourceRegion) {
            const DlsRegion& s = regions[*r.sourceRegion];
            text.print("%s OB=%5u OP=%3u %s [%s] B=%5u P=%3u K=[%3u..%3u] V=[%3u..%3u] (%s)\n",
                       kind, u(r.sourceBank), u(r.sourceProgram), r.autoRemap ? "ARMP" : "    ",
                       s.name.c_str(), u(s.bank), u(s.program), u(s.keyLow), u(s.keyHigh),
                       u(s.velocityLow), u(s.velocityHigh), waveName(state, s));
        } else {
            text.print("%s OB=%5u OP=%3u key=%3u (Not found in DLS)\n", kind, u(r.sourceBank),
                       u(r.sourceProgram), u(r.key));
        }
        if (r.sourceRegion != r.usedRegion && r.usedRegion < regions.size()) {
            const DlsRegion& d = regions[r.usedRegion];
            text.print("   +-------------->      [%s] B=%5u P=%3u K=[%3u..%3u] V=[%3u..%3u] (%s)\n",
                       d.name.c_str(), u(d.bank), u(d.program), u(d.keyLow), u(d.keyHigh),
                       u(d.velocityLow), u(d.velocityHigh), waveName(state, d));
        }
    }
}

void songUsage(Console& text, const CompilerState& state, const Song& song) {
    if (song.kind != SongKind::Midi) {
        text.print("\n--- Not a MIDI file %s (melody size: %i)\n\n", song.path.c_str(),
                   static_cast<int>(song.data.size()));
        return;
    }
    text.print("\n--- Usage of instruments for %s (melody size: %i)\n\n", song.path.c_str(),
               static_cast<int>(song.data.size()));
    for (int channel = 0; channel < kMidiChannels; ++channel) {
        const auto& records = song.compiled.channelUsage[static_cast<std::size_t>(channel)];
        if (records.empty())
            continue;
        text.print("******************* CH #%u\n", u(channel + 1));
        usageRecordLines(text, state, records);
    }
}

void instrumentUsage(Console& text, const CompilerState& state) {
    text.print("\n--- Overall usage of instruments\n\n");
    std::vector<std::size_t> regions;
    for (const Instrument& instrument : state.instruments) {
        const auto& wave = state.dls.regions[instrument.region].wave;
        if (wave && playedSample(state, *wave))
            regions.push_back(instrument.region);
    }
    sortRegions(state, regions);
    for (const std::size_t r : regions) {
        const dsp::PreparedWave& p = *playedSample(state, *state.dls.regions[r].wave)->prepared;
        regionLine(text, state, state.dls.regions[r],
                   p.samples.size() + listedTerminatorSize(state, p));
    }
}

void sampleUsage(Console& text, const CompilerState& state) {
    text.print("\n--- Overall usage of samples\n\n");
    std::vector<const UsedSample*> samples;
    for (const UsedSample& sample : state.usedSamples)
        if (playedSample(state, sample.wave))
            samples.push_back(&sample);
    const auto name = [&](const UsedSample* s) { return sortKey(state.dls.waves[s->wave].name); };
    std::stable_sort(samples.begin(), samples.end(),
                     [&](const auto* a, const auto* b) { return name(a) < name(b); });
    std::size_t total = 0;
    for (const UsedSample* sample : samples) {
        const dsp::PreparedWave& p = *sample->prepared;
        const std::size_t size =
            dsp::writtenSampleCount(p.samples, p.loopValue) + listedTerminatorSize(state, p);
        total += size;
        const char* wave = state.dls.waves[sample->wave].name.c_str();
        if (p.loopValue != 0)
            text.print("[%s]\tLS=-%08x SZ=%6u\n", wave,
                       static_cast<unsigned>(-static_cast<std::int64_t>(p.loopValue)), u(size));
        else
            text.print("[%s]\tLS=--------- SZ=%6u\n", wave, u(size));
    }
    text.print("--------------------------------------\n                                %6u\n",
               u(total));
}

} // namespace

Outcome writeStat(CompilerState& state, Console& out, const std::string& path) {
    out.print("Writing statistics '%s'\n", path.c_str());
    std::string body;
    Console text(body);
    for (const Song& song : state.songs)
        songUsage(text, state, song);
    instrumentUsage(text, state);
    sampleUsage(text, state);
    const Outcome saved = saveOutput(out, path, textModeBytes(body));
    if (saved.goesOn())
        out.print("  + Done\n");
    return saved;
}

Outcome writeDlsInfo(CompilerState& state, Console& out, const std::string& path) {
    out.print("Writing DLS info '%s'\n", path.c_str());
    std::string body;
    Console text(body);
    text.print("\n--- DLS file instrument list\n\n");
    std::vector<std::size_t> regions(state.dls.regions.size());
    std::iota(regions.begin(), regions.end(), std::size_t{0});
    sortRegions(state, regions);
    for (const std::size_t r : regions) {
        const DlsRegion& region = state.dls.regions[r];
        std::size_t size = 0;
        if (const DlsWave* wave = regionWave(state, region)) {
            const UsedSample* sample = usedSampleOf(state, *region.wave);
            size = sample ? sample->prepared->samples.size() +
                                listedTerminatorSize(state, *sample->prepared)
                          : wave->estimatedLength + kLongTerminator;
        }
        regionLine(text, state, region, size);
    }
    const Outcome saved = saveOutput(out, path, textModeBytes(body));
    if (saved.goesOn())
        out.print("  + Done\n");
    return saved;
}

} // namespace telmira::compiler
