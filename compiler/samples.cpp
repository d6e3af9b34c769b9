#include "compiler/samples.h"

#include "compiler/dsp/instrument_entry.h"

#include <algorithm>

namespace telmira::compiler {

namespace {

constexpr std::size_t kLongTerminator = 19;
constexpr std::size_t kShortTerminator = 3;
constexpr std::size_t kInstrumentBytes = 11; // entry, bank byte, sample address

dsp::WaveSource waveSource(const DlsWave& wave) {
    dsp::WaveSource source;
    source.data = wave.data;
    source.bitsPerSample = wave.bitsPerSample;
    source.sampleRate = wave.sampleRate;
    source.channels = wave.channels;
    source.loopLength = wave.loopLength;
    source.fineTune = wave.fineTune;
    source.noteOffset = wave.noteOffset;
    return source;
}

} // namespace

const UsedSample* usedSampleOf(const CompilerState& state, std::size_t wave) {
    for (const UsedSample& sample : state.usedSamples)
        if (sample.wave == wave && sample.prepared)
            return &sample;
    return nullptr;
}

std::size_t sampleBytes(const CompilerState& state, const UsedSample& sample) {
    if (!sample.prepared)
        return 0;
    const bool longForm = sample.prepared->longTerminator || state.r101xp;
    return sample.prepared->samples.size() + (longForm ? kLongTerminator : kShortTerminator);
}

Outcome prepareSamples(CompilerState& state, Console& out) {
    out.print("  + Resampling wavetable\n");
    const dsp::SampleSettings settings{state.fs, state.r101xp};
    const dsp::MessageSink sink = [&out](std::string_view text) { out.write(text); };
    for (UsedSample& sample : state.usedSamples) {
        const DlsWave& wave = state.dls.waves[sample.wave];
        out.write(dsp::waveHeadline(wave.name, wave.drum, wave.bitsPerSample, wave.sampleRate));
        const std::size_t filters = state.filterCache.size();
        auto prepared = dsp::prepareWave(waveSource(wave), settings, state.filterCache, sink);
        state.filtersDesigned += state.filterCache.size() - filters;
        if (!prepared && prepared.error().unsupported) {
            // The wave stays out of every output: its instruments get no sample data.
            out.print("      + WARN: wave '%s' skipped: %s\n", wave.name.c_str(),
                      prepared.error().message.c_str());
            state.dls.waves[sample.wave].usageCount = 0;
            continue;
        }
        if (!prepared) {
            out.print("      + ERR: wave '%s' cannot be converted: %s\n", wave.name.c_str(),
                      prepared.error().message.c_str());
            return Outcome::stop(Outcome::kDataError);
        }
        sample.prepared = std::move(prepared).value();
    }
    for (Instrument& instrument : state.instruments) {
        const auto& wave = state.dls.regions[instrument.region].wave;
        const UsedSample* sample = wave ? usedSampleOf(state, *wave) : nullptr;
        instrument.longTerminator = !sample || sample->prepared->longTerminator;
    }

    const auto regions =
        static_cast<unsigned>(std::count_if(state.dls.regions.begin(), state.dls.regions.end(),
                                            [](const DlsRegion& region) { return region.used; }));
    unsigned samples = 0;
    unsigned drums = 0;
    std::size_t bytes = 0;
    for (const UsedSample& sample : state.usedSamples) {
        if (!sample.prepared)
            continue; // skipped above
        ++samples;
        drums += state.dls.waves[sample.wave].drum ? 1 : 0;
        bytes += sampleBytes(state, sample);
    }
    out.print("  + Notes skipped due to high frequency: %u\n", state.highNotesSkipped);
    out.print("  + Regions needed for this collection:  %u (overall %u bytes)\n", regions,
              static_cast<unsigned>(regions * kInstrumentBytes));
    out.print("  + Samples needed for this collection:  %u (%u drums, overall %u bytes)\n", samples,
              drums, static_cast<unsigned>(bytes));
    return Outcome::next();
}

std::array<std::uint8_t, 8> instrumentEntry(const CompilerState& state, std::size_t number) {
    const Instrument& instrument = state.instruments.at(number);
    const DlsRegion& region = state.dls.regions[instrument.region];
    const Articulation::Envelope& eg1 = region.articulation.eg1;
    bool corrected = false;
    int offset = dsp::kOffsetNeverPlayed;
    if (region.wave) {
        offset = state.dls.waves[*region.wave].noteOffset;
        if (const UsedSample* sample = usedSampleOf(state, *region.wave))
            corrected = sample->prepared->tuning.corrected;
    }
    dsp::Envelope envelope;
    envelope.attack = eg1.attackRaw;
    envelope.velocityToAttack = eg1.velocityToAttackRaw;
    envelope.decay = eg1.decayRaw;
    envelope.keyToDecay = eg1.keyToDecayRaw;
    envelope.release = eg1.releaseRaw;
    envelope.sustainPercent = static_cast<float>(eg1.sustainPercent);
    return dsp::instrumentEntryBytes(envelope, instrument.longTerminator,
                                     dsp::originNote(region.unityNote, offset, corrected),
                                     state.egTimestep);
}

} // namespace telmira::compiler
