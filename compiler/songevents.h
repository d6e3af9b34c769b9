#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace telmira::compiler {

inline constexpr int kMidiChannels = 16;
inline constexpr int kVoices = 6; // voices of the phone's synthesizer

// Types of the compiled events. 0..127 are note-ons of that key; 250..255 release voice 0..5.
namespace event {
inline constexpr std::uint16_t kDeltaP = 240;     // add a signed 8-bit amount to a voice's pitch
inline constexpr std::uint16_t kMChKill = 241;    // log: a note without voice died away
inline constexpr std::uint16_t kNOffLost = 242;   // log: note-off of a note that lost its voice
inline constexpr std::uint16_t kNSkip = 243;      // log: note-on dropped, no voice to be had
inline constexpr std::uint16_t kNOffNone = 244;   // log: note-off without a sounding note
inline constexpr std::uint16_t kVChKill = 245;    // log: a voiced note died away, voice is free
inline constexpr std::uint16_t kSetPch = 246;     // set a voice's pitch
inline constexpr std::uint16_t kSetVol = 247;     // set a voice's volume
inline constexpr std::uint16_t kEnd = 248;        // end of song
inline constexpr std::uint16_t kSetTim = 249;     // set the tick duration
inline constexpr std::uint16_t kNoteOff = 250;    // + voice
inline constexpr std::uint16_t kLastNoteOn = 127; // note-on types are the key

inline bool isNoteOn(std::uint16_t type) {
    return type <= kLastNoteOn;
}
inline bool isNoteOff(std::uint16_t type) {
    return type >= kNoteOff && type < kNoteOff + kVoices;
}
// Events kept for the event log only; every writer skips them.
inline bool isLogOnly(std::uint16_t type) {
    return type >= kMChKill && type <= kVChKill;
}
} // namespace event

// Largest volume a voice can be given (velocity + channel volume + expression, 127 each).
inline constexpr std::uint32_t kMaxVolume = 381;

// One event of a compiled song.
//  - note-on: voice, instrument (position in the instrument list), velocity (three low bits
//    clear), value = volume, drum, wave, midiChannel, stealMode;
//  - DeltaP: value = the signed change in its low byte, previousPitch; SetPch: value = pitch;
//  - SetVol: value = volume; NoteOff: forced when an exclusive note cut it;
//  - SetTim: the 16-bit timing value, low byte in `instrument`, high byte in `velocity`;
//  - log-only events: voice = MIDI channel and value = key (VChKill: voice, midiChannel, key).
struct SongEvent {
    std::uint32_t delta = 0; // ticks since the previous event of the list
    std::uint32_t time = 0;  // song time in ticks (the sum of the deltas so far)
    std::uint16_t type = 0;
    std::uint16_t voice = 0;
    std::uint16_t velocity = 0;
    std::uint16_t instrument = 0;
    std::uint32_t value = 0;
    std::int32_t wave = -1; // index into DlsBank::waves; -1: none
    std::uint8_t midiChannel = 0;
    std::uint8_t stealMode = 0;
    bool drum = false;
    bool removed = false; // superseded at the same tick: kept for the log only
    bool forced = false;
    std::uint16_t previousPitch = 0;

    std::uint16_t timing() const {
        return static_cast<std::uint16_t>((velocity & 0xFF) << 8 | (instrument & 0xFF));
    }
    std::int8_t pitchChange() const { return static_cast<std::int8_t>(value & 0xFF); }
};

// Which region a channel's bank and program found, and which region the note really played.
struct UsageRecord {
    std::optional<std::size_t> sourceRegion; // for the channel's own bank and program
    std::size_t usedRegion = 0;
    int sourceBank = 0; // the channel's values before remaps
    int sourceProgram = 0;
    int key = 0;
    bool drum = false;
    bool used = true;
    bool autoRemap = false; // the exact bank and program had no region: a fallback was taken
};

// What compiling a MIDI song leaves for sample preparation, packing and the writers.
struct CompiledSong {
    bool compiled = false;
    std::vector<SongEvent> events;
    int timingMultiplier = 1;
    std::vector<std::size_t> regions; // DLS regions the song plays, in order of first use
    std::vector<UsageRecord> usage;   // over the whole song
    std::array<std::vector<UsageRecord>, kMidiChannels> channelUsage;
    std::uint32_t largestVolume = 0; // before the end-of-song normalisation
    std::uint32_t notesSkipped = 0;  // dropped for want of a voice
};

} // namespace telmira::compiler
