#pragma once

#include "compiler/songevents.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace telmira::compiler {

// A wildcard ("*") in a script value.
inline constexpr int kAny = -1;

enum class SongKind { Midi, Pt3, Fxm };
enum class SongType { Melody = 0, Bell = 1 };

// Maps notes of a bank/program/key/velocity range to one DLS region.
struct RegionRemap {
    std::string name; // compared without regard to case
    int bank = kAny;
    int program = kAny;
    int keyLow = kAny, keyHigh = kAny;           // both kAny: any key
    int velocityLow = kAny, velocityHigh = kAny; // both kAny: any velocity
    bool drum = false;                           // applies to drum channels, else to melodic ones
    std::size_t target = 0;                      // index into DlsBank::regions
    int originKey = kAny;                        // kAny: none
};

// Replaces a melodic channel's bank and program.
struct ProgramRemap {
    int bank = kAny; // source bank or any
    int program = 0;
    int targetBank = 0;
    int targetProgram = 0;
};

struct InstrumentVolumeAdjustment {
    int bank = kAny;
    int program = 0;
    int key = kAny;
    int change = 0;
};

struct ChannelVolumeAdjustment {
    int channel = 0; // 0..15 for the MIDI channels 1..16; larger values never match
    int change = 0;
};

// One event of a MIDI file; a song holds them merged into one time-ordered list.
struct MidiEvent {
    std::uint32_t delta = 0;       // output ticks since the previous event of the list
    std::uint32_t time = 0;        // absolute output ticks
    std::uint32_t sourceDelta = 0; // as stored in the file
    std::uint32_t sourceTime = 0;  // absolute file ticks within its track
    std::uint8_t type = 0;         // status high nibble: 0x80 .. 0xF0
    std::uint8_t channel = 0;      // status low nibble (0 for F0, 7 for F7, 15 for FF)
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::vector<std::uint8_t> data; // SysEx or meta payload

    std::uint8_t status() const { return static_cast<std::uint8_t>(type | channel); }
};

// Settings that belong to the next MIDI song only: the song takes them over and the compiler
// state starts afresh.
struct PerSongSettings {
    std::array<int, kMidiChannels> channelPriority{};
    std::array<int, kMidiChannels> channelMask{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    std::vector<ChannelVolumeAdjustment> channelVolumes;
};

struct Song {
    SongKind kind = SongKind::Midi;
    std::string path; // as the script names it
    SongType type = SongType::Melody;

    // MIDI songs
    std::array<std::uint8_t, 14> header{}; // the file's header chunk
    std::vector<MidiEvent> events;
    std::uint32_t resolution = 0; // output ticks per quarter note
    int masterVolume = 0;
    int flags = 0;
    PerSongSettings settings;
    std::vector<RegionRemap> regionRemaps;
    std::vector<ProgramRemap> programRemaps;
    std::vector<InstrumentVolumeAdjustment> instrumentVolumes;
    CompiledSong compiled; // filled by compile

    // AY songs (and MIDI songs once packed): the data and the offsets of the big-endian words
    // in it that hold addresses relative to the song's start.
    std::vector<std::uint8_t> data;
    std::vector<std::uint32_t> relocations;
};

} // namespace telmira::compiler
