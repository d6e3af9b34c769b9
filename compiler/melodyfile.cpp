// The melody binary file, the raw test samples and the pieces the writers share.
#include "compiler/dsp/instrument_entry.h"
#include "compiler/outputfile.h"
#include "compiler/samples.h"
#include "compiler/writers.h"

#include <algorithm>

namespace telmira::compiler {

namespace {

constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kEntrySize = 13; // eight common bytes, bank byte, 32-bit sample offset
constexpr std::size_t kLongTerminator = 19;
constexpr std::size_t kShortTerminator = 3;

void putLe32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A wave name as a file name: separators and NUL bytes cannot be part of one.
std::string fileNameOf(const std::string& name) {
    std::string file = name;
    std::replace_if(
        file.begin(), file.end(), [](char c) { return c == '/' || c == '\0'; }, '_');
    if (file.empty() || file == "." || file == "..")
        file = "_" + file;
    return file;
}

} // namespace

const DlsWave* regionWave(const CompilerState& state, const DlsRegion& region) {
    if (!region.wave || *region.wave >= state.dls.waves.size())
        return nullptr;
    return &state.dls.waves[*region.wave];
}

const UsedSample* playedSample(const CompilerState& state, std::size_t wave) {
    if (wave >= state.dls.waves.size() || state.dls.waves[wave].usageCount == 0)
        return nullptr;
    return usedSampleOf(state, wave);
}

std::size_t listedTerminatorSize(const CompilerState& state, const dsp::PreparedWave& prepared) {
    return prepared.longTerminator || state.r101xp ? kLongTerminator : kShortTerminator;
}

Outcome writeSamplesBin(CompilerState& state, Console& out, const std::string& path) {
    out.print("Writing samples in binary format '%s'\n", path.c_str());
    const std::size_t entries = state.instruments.size();
    std::string bytes(kHeaderSize + kEntrySize * entries, '\0');

    // The samples the songs play, each once, in used-sample order.
    std::vector<std::pair<std::size_t, std::uint32_t>> sampleOffsets; // wave, file offset
    for (const UsedSample& sample : state.usedSamples) {
        if (!playedSample(state, sample.wave))
            continue;
        sampleOffsets.emplace_back(sample.wave, static_cast<std::uint32_t>(bytes.size()));
        const dsp::PreparedWave& p = *sample.prepared;
        const auto image = dsp::sampleImage(p.samples, p.loopValue, p.longTerminator,
                                            dsp::SampleContainer::Binary, state.r101xp);
        bytes.append(image.begin(), image.end());
    }
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t at = kHeaderSize + kEntrySize * i;
        const auto entry = instrumentEntry(state, i);
        std::copy(entry.begin(), entry.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        bytes[at + entry.size()] = static_cast<char>(state.sampleBank);
        const auto& wave = state.dls.regions[state.instruments[i].region].wave;
        std::uint32_t offset = 0; // a wave no song plays has no data in the file
        for (const auto& [w, o] : sampleOffsets)
            if (wave && w == *wave)
                offset = o;
        putLe32(bytes, at + entry.size() + 1, offset);
    }
    const auto samplesSize = static_cast<std::uint32_t>(bytes.size());
    putLe32(bytes, 0, samplesSize);

    std::size_t songsSize = 0;
    for (const Song& song : state.songs) {
        bytes.append(song.data.begin(), song.data.end());
        songsSize += song.data.size();
    }
    const Outcome saved = saveOutput(out, path, bytes);
    if (!saved.goesOn())
        return saved;
    out.print("  + Overall samples size = %u\n", samplesSize);
    out.print("  + Overall melodies size = %u\n", static_cast<unsigned>(songsSize));
    out.print("  + Done\n");
    return Outcome::next();
}

Outcome writeBinarySamples(CompilerState& state, Console& out, const std::string& folder) {
    out.print("Writing test samples to directory '%s'\n", folder.c_str());
    const std::string prefix = folderPrefix(folder);
    for (const UsedSample& sample : state.usedSamples) {
        if (!sample.prepared)
            continue;
        const std::string name = fileNameOf(state.dls.waves[sample.wave].name);
        const auto& samples = sample.prepared->samples;
        // A file that cannot be created is passed over.
        saveFile(prefix + name + ".pcm",
                 std::string_view(reinterpret_cast<const char*>(samples.data()), samples.size()));
    }
    out.print("  + Done\n");
    return Outcome::next();
}

} // namespace telmira::compiler
