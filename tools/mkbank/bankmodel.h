#pragma once

// The two ends of the bank builder as plain data: what it reads from a General MIDI SoundFont
// (SourceBank) and the DLS Level 1 bank it writes (Bank). No libgig types appear here, so the
// planning and writing steps are tested on small hand-made banks.

#include <cstdint>
#include <string>
#include <vector>

namespace telmira::mkbank {

// An envelope in seconds; sustain is a level in percent of the peak (100 = no decay).
struct Envelope {
    double attack = 0;
    double decay = 0;
    double sustainPercent = 100;
    double release = 0;

    bool operator==(const Envelope&) const = default;
};

// What a region does to the sound besides playing its wave: the DLS Level 1 articulation.
struct Articulation {
    Envelope volume;
    Envelope modulation;          // EG2, written only when it bends the pitch
    double modulationToPitch = 0; // cents at full EG2
    double lfoHz = 5;
    double lfoDelay = 0;
    double lfoToPitch = 0; // cents of vibrato

    bool operator==(const Articulation&) const = default;
};

// ---- The SoundFont side -------------------------------------------------------------------

struct SourceSample {
    std::string name;
    std::uint32_t rate = 0;
    std::vector<std::int16_t> frames; // mono, 16 bit
};

// One zone of one layer, with the preset's and the instrument's generators already combined.
struct SourceZone {
    int keyLow = 0;
    int keyHigh = 127;
    int velocityLow = 0;
    int velocityHigh = 127;
    int sample = -1; // index into SourceBank::samples
    // The pitch, in cents of MIDI keys (key × 100), at which the sample plays at its own rate:
    // root key × 100 − coarse and fine tuning − the sample's pitch correction.
    int pitchCents = 6000;
    std::uint32_t start = 0; // frames of the sample that are played: [start, end)
    std::uint32_t end = 0;
    bool looped = false;
    std::uint32_t loopStart = 0; // frames from the start of the sample, loopEnd exclusive
    std::uint32_t loopEnd = 0;
    int exclusiveClass = 0;
    Articulation articulation;
};

// One instrument a preset layers; the bank keeps one layer per program.
struct SourceLayer {
    std::string name;
    std::vector<SourceZone> zones;
};

struct SourcePreset {
    int bank = 0; // 128 is the percussion bank
    int program = 0;
    std::string name;
    std::vector<SourceLayer> layers;
};

struct SourceBank {
    std::vector<SourceSample> samples;
    std::vector<SourcePreset> presets;
};

// ---- The DLS side -------------------------------------------------------------------------

struct Wave {
    std::string name; // up to 8 characters, upper case, unique in the bank
    std::uint32_t rate = 0;
    int unityNote = 60; // root key of the first region that plays it
    std::vector<std::int16_t> frames;
    bool looped = false;
    std::uint32_t loopStart = 0; // frames; never 0 for a looped wave
    std::uint32_t loopLength = 0;

    std::uint32_t dataBytes() const { return static_cast<std::uint32_t>(frames.size() * 2); }
};

struct Region {
    int keyLow = 0;
    int keyHigh = 127;
    int unityNote = 60;
    int keyGroup = 0; // exclusive class of drum sounds, 0 = none
    std::uint32_t wave = 0;
    Articulation articulation;
};

struct Instrument {
    std::string name;
    std::uint32_t bank = 0; // MIDI bank (CC0 × 128 + CC32)
    std::uint32_t program = 0;
    bool drum = false;
    std::vector<Region> regions; // ascending, not overlapping
};

struct Bank {
    std::string name;
    std::string copyright;
    std::string comment;
    std::vector<Instrument> instruments;
    std::vector<Wave> waves;
};

} // namespace telmira::mkbank
