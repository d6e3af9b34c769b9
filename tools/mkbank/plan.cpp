#include "tools/mkbank/plan.h"

#include "tools/mkbank/gmnames.h"
#include "tools/mkbank/names.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

namespace telmira::mkbank {

namespace {

bool sounds(const SourceZone& z, int key, int velocity) {
    return key >= z.keyLow && key <= z.keyHigh && velocity >= z.velocityLow &&
           velocity <= z.velocityHigh;
}

const SourceZone* zoneAt(const SourceLayer& layer, int key, int velocity) {
    for (const SourceZone& z : layer.zones) {
        if (sounds(z, key, velocity)) {
            return &z;
        }
    }
    return nullptr;
}

bool sameSound(const SourceZone& a, const SourceZone& b) {
    return a.sample == b.sample && a.pitchCents == b.pitchCents && a.start == b.start &&
           a.end == b.end && a.looped == b.looped && a.loopStart == b.loopStart &&
           a.loopEnd == b.loopEnd;
}

// The whole MIDI key a zone's sample is in tune at once its frames are raised by the residual
// cents, and that residual, in (-50, 50].
int unityNote(const SourceZone& z) {
    return std::clamp((z.pitchCents + 50) / 100, 0, 127);
}
int residualCents(const SourceZone& z) {
    return unityNote(z) * 100 - z.pitchCents;
}

std::vector<int> layerOrder(const SourcePreset& preset, int velocity) {
    std::vector<int> order(preset.layers.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<int>(i);
    }
    const int first = chooseLayer(preset, velocity);
    if (first > 0) {
        std::rotate(order.begin(), order.begin() + first, order.begin() + first + 1);
    }
    return order;
}

} // namespace

int chooseLayer(const SourcePreset& preset, int velocity) {
    int best = -1;
    std::tuple<int, int> bestScore{-1, -1};
    for (std::size_t i = 0; i < preset.layers.size(); ++i) {
        const SourceLayer& layer = preset.layers[i];
        int covered = 0;
        for (int key = 21; key <= 108; ++key) {
            covered += zoneAt(layer, key, velocity) != nullptr ? 1 : 0;
        }
        std::set<std::tuple<int, int>> distinct;
        for (const SourceZone& z : layer.zones) {
            distinct.insert({z.sample, z.pitchCents});
        }
        const std::tuple<int, int> score{covered, static_cast<int>(distinct.size())};
        if (score > bestScore) {
            bestScore = score;
            best = static_cast<int>(i);
        }
    }
    return best;
}

std::vector<KeySpan> melodicSpans(const SourcePreset& preset, int velocity, int maxRegions) {
    const int layerIndex = chooseLayer(preset, velocity);
    if (layerIndex < 0) {
        return {};
    }
    const SourceLayer& layer = preset.layers[static_cast<std::size_t>(layerIndex)];
    std::array<const SourceZone*, 128> at{};
    std::vector<int> covered;
    for (int key = 0; key < 128; ++key) {
        at[key] = zoneAt(layer, key, velocity);
        if (at[key] != nullptr) {
            covered.push_back(key);
        }
    }
    if (covered.empty()) {
        return {};
    }
    // Keys outside the layer take the nearest covered key's zone (the lower one on a tie).
    std::array<const SourceZone*, 128> filled = at;
    for (int key = 0; key < 128; ++key) {
        if (filled[key] != nullptr) {
            continue;
        }
        auto above = std::lower_bound(covered.begin(), covered.end(), key);
        const int up = above == covered.end() ? -1 : *above;
        const int down = above == covered.begin() ? -1 : *(above - 1);
        const bool takeDown = down >= 0 && (up < 0 || key - down <= up - key);
        filled[key] = at[takeDown ? down : up];
    }

    std::vector<KeySpan> spans;
    for (int key = 0; key < 128; ++key) {
        if (!spans.empty() && sameSound(*spans.back().zone, *filled[key])) {
            spans.back().high = key;
        } else {
            spans.push_back({key, key, filled[key]});
        }
    }
    // Each region keeps the zone (and so the envelope) of the key it is in tune at.
    for (KeySpan& s : spans) {
        const int key = std::clamp(unityNote(*s.zone), s.low, s.high);
        s.zone = filled[key];
    }

    while (static_cast<int>(spans.size()) > std::max(1, maxRegions)) {
        std::size_t narrow = 0;
        for (std::size_t i = 1; i < spans.size(); ++i) {
            if (spans[i].high - spans[i].low < spans[narrow].high - spans[narrow].low) {
                narrow = i;
            }
        }
        const KeySpan gone = spans[narrow];
        bool intoLower = narrow + 1 == spans.size();
        if (narrow > 0 && narrow + 1 < spans.size()) {
            const double middle = (gone.low + gone.high) / 2.0;
            const double lower = std::abs(middle - unityNote(*spans[narrow - 1].zone));
            const double upper = std::abs(unityNote(*spans[narrow + 1].zone) - middle);
            intoLower = lower <= upper;
        }
        if (intoLower) {
            spans[narrow - 1].high = gone.high;
        } else {
            spans[narrow + 1].low = gone.low;
        }
        spans.erase(spans.begin() + static_cast<long>(narrow));
    }
    return spans;
}

std::vector<KeySpan> drumSpans(const SourcePreset& preset, int velocity) {
    std::vector<KeySpan> spans;
    const std::vector<int> order = layerOrder(preset, velocity);
    for (int key = 0; key < 128; ++key) {
        for (int layer : order) {
            if (const SourceZone* z =
                    zoneAt(preset.layers[static_cast<std::size_t>(layer)], key, velocity)) {
                spans.push_back({key, key, z});
                break;
            }
        }
    }
    return spans;
}

namespace {

class BankBuilder {
public:
    BankBuilder(const SourceBank& source, const WaveLimits& limits, Bank& bank)
        : source_(source), bank_(bank), maker_(limits) {}

    bool addInstrument(std::string name, int program, bool drum, const std::vector<KeySpan>& spans,
                       std::string& error) {
        Instrument instrument;
        instrument.name = std::move(name);
        instrument.program = static_cast<std::uint32_t>(program);
        instrument.drum = drum;
        for (const KeySpan& span : spans) {
            Region region;
            region.keyLow = span.low;
            region.keyHigh = span.high;
            region.unityNote = unityNote(*span.zone);
            region.keyGroup = drum ? std::clamp(span.zone->exclusiveClass, 0, 15) : 0;
            region.articulation = span.zone->articulation;
            if (!waveFor(*span.zone, region.wave, error)) {
                return false;
            }
            instrument.regions.push_back(region);
        }
        bank_.instruments.push_back(std::move(instrument));
        return true;
    }

private:
    bool waveFor(const SourceZone& z, std::uint32_t& index, std::string& error) {
        const auto identity =
            std::make_tuple(z.sample, z.start, z.end, z.looped, z.looped ? z.loopStart : 0u,
                            z.looped ? z.loopEnd : 0u, residualCents(z));
        auto found = waves_.find(identity);
        if (found != waves_.end()) {
            index = found->second;
            return true;
        }
        if (z.sample < 0 || z.sample >= static_cast<int>(source_.samples.size())) {
            error = "a zone names a sample that does not exist";
            return false;
        }
        const SourceSample& sample = source_.samples[static_cast<std::size_t>(z.sample)];
        Wave wave;
        WaveSource part{z.start,     z.end,     z.looped,
                        z.loopStart, z.loopEnd, static_cast<double>(residualCents(z))};
        if (!maker_.make(sample, part, wave)) {
            error = "sample \"" + sample.name + "\" has nothing to play";
            return false;
        }
        wave.unityNote = unityNote(z);
        wave.name = makeWaveName(sample.name, wave.unityNote, names_);
        if (wave.name.empty()) {
            error = "no free wave name for sample \"" + sample.name + "\"";
            return false;
        }
        names_.insert(wave.name);
        index = static_cast<std::uint32_t>(bank_.waves.size());
        bank_.waves.push_back(std::move(wave));
        waves_.emplace(identity, index);
        return true;
    }

    using Identity =
        std::tuple<int, std::uint32_t, std::uint32_t, bool, std::uint32_t, std::uint32_t, int>;
    const SourceBank& source_;
    Bank& bank_;
    WaveMaker maker_;
    std::map<Identity, std::uint32_t> waves_;
    std::set<std::string> names_;
};

const SourcePreset* findPreset(const SourceBank& source, int bank, int program) {
    for (const SourcePreset& p : source.presets) {
        if (p.bank == bank && p.program == program) {
            return &p;
        }
    }
    return nullptr;
}

} // namespace

bool planBank(const SourceBank& source, const PlanOptions& options, Bank& bank,
              std::string& error) {
    bank = Bank{};
    BankBuilder builder(source, options.wave, bank);
    for (int program = 0; program < 128; ++program) {
        const SourcePreset* preset = findPreset(source, 0, program);
        const std::vector<KeySpan> spans =
            preset == nullptr ? std::vector<KeySpan>{}
                              : melodicSpans(*preset, options.velocity, options.maxRegions);
        if (spans.empty()) {
            error = "the SoundFont has no sound for melodic program " + std::to_string(program);
            return false;
        }
        if (!builder.addInstrument(std::string(gmProgramName(program)), program, false, spans,
                                   error)) {
            return false;
        }
    }
    const SourcePreset* kit = findPreset(source, options.drumBank, options.drumProgram);
    const std::vector<KeySpan> drums =
        kit == nullptr ? std::vector<KeySpan>{} : drumSpans(*kit, options.velocity);
    if (drums.empty()) {
        error = "the SoundFont has no drum kit in bank " + std::to_string(options.drumBank) +
                ", program " + std::to_string(options.drumProgram);
        return false;
    }
    return builder.addInstrument("Standard Drum Kit", 0, true, drums, error);
}

} // namespace telmira::mkbank
