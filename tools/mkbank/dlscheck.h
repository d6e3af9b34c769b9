#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace telmira::mkbank {

// What a DLS Level 1 file holds, as far as the bank checks need it.
struct DlsRegion {
    int keyLow = 0;
    int keyHigh = 0;
    int velocityLow = 0;
    int velocityHigh = 0;
    int keyGroup = 0;
    int unityNote = -1; // -1: the region has no wsmp
    std::uint32_t waveIndex = 0;
    bool linked = false;         // has a wlnk
    int articulationBlocks = -1; // connection blocks of the region's art1, -1 without one
};

struct DlsInstrument {
    std::string name;
    std::uint32_t bank = 0; // MIDI bank: CC0 × 128 + CC32
    std::uint32_t program = 0;
    bool drum = false;
    std::uint32_t declaredRegions = 0; // insh cRegions
    std::vector<DlsRegion> regions;
};

struct DlsWave {
    std::string name;
    std::uint32_t offset = 0; // of its LIST from the first byte after the pool's list type
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t blockAlign = 0;
    std::uint32_t rate = 0;
    std::uint32_t bytesPerSecond = 0;
    std::uint32_t dataBytes = 0;
    int unityNote = -1;
    bool looped = false;
    std::uint32_t loopStart = 0;
    std::uint32_t loopLength = 0;
};

struct DlsContents {
    std::uint32_t declaredInstruments = 0; // colh
    std::vector<DlsInstrument> instruments;
    std::vector<std::uint32_t> poolTable; // ptbl offsets
    std::vector<DlsWave> waves;
};

// Walks a DLS Level 1 file and returns every structural fault found: RIFF and chunk sizes that
// disagree with the file, missing or short chunks, counts (colh, insh, ptbl) that disagree with
// what follows, pool-table offsets that miss their waves, regions that link to no wave, and wave
// formats other than PCM mono 8 or 16 bit. An empty list means the file is sound. Never reads
// outside `bytes`.
std::vector<std::string> checkDls(std::span<const std::uint8_t> bytes, DlsContents& contents);

} // namespace telmira::mkbank
