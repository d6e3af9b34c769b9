#pragma once

#include "base/firmware.h"
#include "compiler/dlsbank.h"
#include "compiler/dsp/resampling_filter.h"
#include "compiler/song.h"
#include "compiler/wavetable.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace telmira::compiler {

// The one record every command reads and changes, in script order.
struct CompilerState {
    float fs = 10416.666f; // sampling frequency, Hz
    bool fsGiven = false;
    float timeBase = 10416.666f; // Hz
    bool timeBaseGiven = false;
    float egTimestep = 5.86f; // milliseconds
    bool egTimestepGiven = false;
    std::uint8_t sampleBank = 0; // bank byte of the sample writers

    DlsBank dls;
    bool dlsRead = false; // a bank is read once per run

    std::vector<Song> songs;

    // Results of compile, accumulated over all songs and all compile commands of the run.
    std::vector<Instrument> instruments; // DLS regions in order of first use
    std::vector<UsedSample> usedSamples; // waves in order of first use
    unsigned highNotesSkipped = 0;       // note-ons above the highest key, all songs

    // Resampling filters: those of the precompiled database, then the ones designed since.
    dsp::FilterCache filterCache;
    std::size_t filtersDesigned = 0;

    PerSongSettings nextSong; // consumed by the next read_midi
    std::uint16_t maxMelodicVoices = 3;
    std::uint16_t maxDrumVoices = 3;
    std::uint32_t outputResolution = 0; // PPQN; 0 keeps the file's own
    std::vector<RegionRemap> regionRemaps;
    std::vector<ProgramRemap> programRemaps;
    std::vector<InstrumentVolumeAdjustment> instrumentVolumes;

    std::optional<std::string> precompiledDatabase;

    SongType songType = SongType::Melody;
    int masterVolume = 144; // 0..255
    int songFlags = 0;      // 0..15
    bool r101xp = false;
    std::array<std::uint32_t, 4> dataKey = firmware::kDefaultDataKey; // words K0..K3
};

} // namespace telmira::compiler
