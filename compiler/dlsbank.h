#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace telmira::compiler {

// The part of a DLS level 1 bank the compiler uses: regions with their articulation, and waves.

// Raw times are absolute timecents scaled by 65536; this value means "no time" (0 seconds).
inline constexpr std::int32_t kDlsNoTime = INT32_MIN;

// Articulation of one region, from the art1 chunk that applies to it. Raw values are the
// connection blocks' lScale; seconds, percent, Hz and cents are derived from them.
struct Articulation {
    struct Envelope {
        std::int32_t attackRaw = kDlsNoTime;
        double attackSeconds = 0.0;
        std::int32_t velocityToAttackRaw = 0;
        std::int32_t decayRaw = kDlsNoTime;
        double decaySeconds = 0.0;
        std::int32_t keyToDecayRaw = 0;
        std::int32_t releaseRaw = kDlsNoTime;
        double releaseSeconds = 0.0;
        std::int32_t sustainRaw = 0x3E80000;
        double sustainPercent = 100.0;
    };
    Envelope eg1; // volume envelope
    Envelope eg2; // pitch envelope
    double lfoFrequencyHz = 5.0;
    double lfoStartDelaySeconds = 0.01;
    double lfoToPitchCents = 0.0;
    double lfoToPitchByModWheelCents = 0.0; // depth added by the modulation wheel (CC1)
    double eg2ToPitchCents = 0.0;
};

// One `rgn ` list of the bank, in file order.
struct DlsRegion {
    std::string name;          // INAM of the instrument, the same for all its regions
    std::uint32_t bank = 0;    // (bits 8..14) * 128 + (bits 0..6) of ulBank
    std::uint32_t program = 0; // ulInstrument
    bool drum = false;         // bit 31 of ulBank
    std::uint16_t keyLow = 0, keyHigh = 0;
    std::uint16_t velocityLow = 0, velocityHigh = 0;
    bool nonExclusive = false;
    std::uint16_t keyGroup = 0;
    std::uint16_t unityNote = 0; // from the region's own wsmp; 0 without one
    std::uint32_t waveTableIndex = 0;
    std::optional<std::size_t> wave; // index into DlsBank::waves once linked
    bool used = false;               // set by the song compiler
    Articulation articulation;

    bool coversKey(int key) const { return key >= keyLow && key <= keyHigh; }
    bool coversVelocity(int velocity) const {
        return velocity >= velocityLow && velocity <= velocityHigh;
    }
};

// One `wave` list of the wave pool; its position in the pool is its table index.
struct DlsWave {
    std::uint32_t tableIndex = 0;
    std::string name;
    std::uint16_t bitsPerSample = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t channels = 0;
    std::vector<std::uint8_t> data;
    std::uint32_t estimatedLength = 0; // frames at the compiler's FS, before resampling
    // From the wave's wsmp, only when it has at least one loop (the first one).
    std::uint32_t loopStart = 0;
    std::uint32_t loopLength = 0;
    std::int16_t fineTune = 0;
    bool drum = false;    // OR of the drum flags of the regions linked to it
    int noteOffset = 128; // 128: not yet played (see the song compiler)
    // Set by the song compiler: a compiled note needs the wave; how many note-ons of the
    // compiled songs play it (superseded ones not counted).
    bool used = false;
    std::uint32_t usageCount = 0;
};

struct DlsBank {
    std::vector<DlsRegion> regions;
    std::vector<DlsWave> waves;
};

} // namespace telmira::compiler
