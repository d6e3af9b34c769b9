#include "tools/mkbank/soundfont.h"

#include <RIFF.h>
#include <SF.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <map>

namespace telmira::mkbank {

namespace {

// A generator range that libgig reports as unset covers everything.
void clampRange(int low, int high, int& outLow, int& outHigh) {
    const bool unset = low == static_cast<int>(sf2::NONE) || high == static_cast<int>(sf2::NONE);
    outLow = unset ? 0 : std::clamp(low, 0, 127);
    outHigh = unset ? 127 : std::clamp(high, 0, 127);
}

double sustainPercentFromCentibels(double centibels) {
    // SoundFont sustain is an attenuation over a 100 dB range; DLS takes a level in percent.
    return std::clamp(100.0 - centibels / 10.0, 0.0, 100.0);
}

bool readSample(sf2::Sample& in, SourceSample& out, std::string& error) {
    out.name = in.Name;
    out.rate = in.SampleRate;
    if (in.GetChannelCount() != 1 || in.GetFrameSize() != 2) {
        error = "sample \"" + in.Name + "\" is not 16-bit mono";
        return false;
    }
    const long count = in.GetTotalFrameCount();
    if (count < 0) {
        error = "sample \"" + in.Name + "\" has a negative length";
        return false;
    }
    out.frames.assign(static_cast<std::size_t>(count), 0);
    in.SetPos(0);
    const unsigned long got = in.Read(out.frames.data(), static_cast<unsigned long>(count));
    out.frames.resize(got);
    return true;
}

SourceZone makeZone(sf2::Region& preset, sf2::Region& zone, const SourceSample& sample,
                    int sampleIndex, int sampleCorrection) {
    SourceZone z;
    int low = 0, high = 127, presetLow = 0, presetHigh = 127;
    clampRange(zone.loKey, zone.hiKey, low, high);
    clampRange(preset.loKey, preset.hiKey, presetLow, presetHigh);
    z.keyLow = std::max(low, presetLow);
    z.keyHigh = std::min(high, presetHigh);
    clampRange(zone.minVel, zone.maxVel, low, high);
    clampRange(preset.minVel, preset.maxVel, presetLow, presetHigh);
    z.velocityLow = std::max(low, presetLow);
    z.velocityHigh = std::min(high, presetHigh);

    z.sample = sampleIndex;
    const int root = std::clamp(zone.GetUnityNote(), 0, 127);
    z.pitchCents = root * 100 - zone.GetCoarseTune(&preset) * 100 - zone.GetFineTune(&preset) -
                   sampleCorrection;

    const long frames = static_cast<long>(sample.frames.size());
    const long start =
        static_cast<long>(zone.startAddrsOffset) + 32768L * zone.startAddrsCoarseOffset;
    const long end =
        frames + static_cast<long>(zone.endAddrsOffset) + 32768L * zone.endAddrsCoarseOffset;
    z.start = static_cast<std::uint32_t>(std::clamp(start, 0L, frames));
    z.end = static_cast<std::uint32_t>(std::clamp(end, static_cast<long>(z.start), frames));
    z.looped = zone.HasLoop && zone.LoopStart < zone.LoopEnd && zone.LoopStart >= z.start &&
               zone.LoopEnd <= z.end;
    if (z.looped) {
        z.loopStart = zone.LoopStart;
        z.loopEnd = zone.LoopEnd;
    }
    z.exclusiveClass = static_cast<int>(zone.exclusiveClass);

    Articulation& a = z.articulation;
    a.volume.attack = zone.GetEG1Attack(&preset);
    a.volume.decay = zone.GetEG1Decay(&preset);
    a.volume.sustainPercent = sustainPercentFromCentibels(zone.GetEG1Sustain(&preset));
    a.volume.release = zone.GetEG1Release(&preset);
    a.modulationToPitch = zone.GetModEnvToPitch(&preset);
    if (a.modulationToPitch != 0) {
        a.modulation.attack = zone.GetEG2Attack(&preset);
        a.modulation.decay = zone.GetEG2Decay(&preset);
        // The modulation envelope's sustain is a decrease in 0.1 % steps.
        a.modulation.sustainPercent =
            std::clamp(100.0 - zone.GetEG2Sustain(&preset) / 10.0, 0.0, 100.0);
        a.modulation.release = zone.GetEG2Release(&preset);
    }
    a.lfoToPitch = zone.GetVibLfoToPitch(&preset);
    if (a.lfoToPitch != 0) {
        a.lfoHz = zone.GetFreqVibLfo(&preset);
        a.lfoDelay = zone.GetDelayVibLfo(&preset);
    }
    return z;
}

bool load(sf2::File& file, SourceBank& bank, std::string& error) {
    std::map<sf2::Sample*, int> sampleIndex;
    std::vector<int> corrections;
    for (int i = 0; i < file.GetSampleCount(); ++i) {
        sf2::Sample* s = file.GetSample(i);
        if (s == nullptr) {
            continue;
        }
        SourceSample sample;
        if (!readSample(*s, sample, error)) {
            return false;
        }
        sampleIndex[s] = static_cast<int>(bank.samples.size());
        corrections.push_back(static_cast<std::int8_t>(s->PitchCorrection));
        bank.samples.push_back(std::move(sample));
    }

    for (int p = 0; p < file.GetPresetCount(); ++p) {
        sf2::Preset* in = file.GetPreset(p);
        if (in == nullptr) {
            continue;
        }
        SourcePreset preset;
        preset.bank = in->Bank;
        preset.program = in->PresetNum;
        preset.name = in->Name;
        for (int r = 0; r < in->GetRegionCount(); ++r) {
            sf2::Region* presetZone = in->GetRegion(r);
            if (presetZone == nullptr || presetZone->pInstrument == nullptr) {
                continue;
            }
            sf2::Instrument& instrument = *presetZone->pInstrument;
            SourceLayer layer;
            layer.name = instrument.Name;
            for (int z = 0; z < instrument.GetRegionCount(); ++z) {
                sf2::Region* zone = instrument.GetRegion(z);
                if (zone == nullptr || zone->pSample == nullptr) {
                    continue;
                }
                auto found = sampleIndex.find(zone->pSample);
                if (found == sampleIndex.end()) {
                    error = "instrument \"" + instrument.Name + "\" names an unknown sample";
                    return false;
                }
                const int index = found->second;
                layer.zones.push_back(
                    makeZone(*presetZone, *zone, bank.samples[index], index, corrections[index]));
            }
            if (!layer.zones.empty()) {
                preset.layers.push_back(std::move(layer));
            }
        }
        bank.presets.push_back(std::move(preset));
    }
    return true;
}

// A RIFF identifier (four characters) as libgig keeps it read from the file: the first
// character in the low byte.
constexpr std::uint32_t riffId(const char* name) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(name[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[3])) << 24;
}

// libgig's SoundFont reader uses the INFO, sdta and pdta lists and their chunks without looking
// whether the file has them: a file without one crashes it. The name of the first missing one,
// or nothing when all are there.
std::string missingPart(RIFF::File& riff) {
    RIFF::List* info = riff.GetSubList(riffId("INFO"));
    if (!info)
        return "INFO";
    if (!info->GetSubChunk(riffId("ifil")))
        return "ifil";
    RIFF::List* sdta = riff.GetSubList(riffId("sdta"));
    if (!sdta)
        return "sdta";
    if (!sdta->GetSubChunk(riffId("smpl")))
        return "smpl";
    RIFF::List* pdta = riff.GetSubList(riffId("pdta"));
    if (!pdta)
        return "pdta";
    for (const char* name :
         {"phdr", "pbag", "pmod", "pgen", "inst", "ibag", "imod", "igen", "shdr"}) {
        if (!pdta->GetSubChunk(riffId(name)))
            return name;
    }
    return {};
}

} // namespace

bool loadSoundFont(const std::string& path, SourceBank& bank, std::string& error) {
    bank = SourceBank{};
    try {
        RIFF::File riff(path);
        if (const std::string missing = missingPart(riff); !missing.empty()) {
            error = path + ": not a SoundFont 2 file (no " + missing + " part)";
            return false;
        }
        sf2::File file(&riff);
        return load(file, bank, error);
    } catch (const RIFF::Exception& e) {
        error = path + ": " + e.Message;
    } catch (const std::exception& e) {
        error = path + ": " + e.what();
    }
    return false;
}

} // namespace telmira::mkbank
