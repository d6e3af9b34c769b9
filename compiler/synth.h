#pragma once

#include "compiler/songevents.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace telmira::compiler {

// The state of the synthesizer the song compiler simulates while it compiles one song.

// A note a channel holds from its note-on until it has died away.
struct NoteRecord {
    std::uint64_t id = 0; // unique within the song: voices refer to their note by it
    int key = 0;          // the key of the note-on: note-offs and exclusive notes match it
    int playKey = 0;      // the key played (an origin-key remap moves it)
    int velocity = 0;
    std::size_t region = 0;
    bool released = false;
    std::uint16_t age = 0; // ticks since the note-on, held at its largest value
    std::uint16_t ageAtRelease = 0;
    std::uint32_t ticksSinceRelease = 0; // held at its largest value
    double level = 0;                    // percent
    int wholeLevel = 0;                  // the level truncated
    int voice = 0;                       // 1..6; 0: none
    double eg1Attack = 0, eg1Decay = 0;  // seconds
    double releaseDuration = 0;          // seconds, set at the release
    double levelAtRelease = 0;
    double eg2Attack = 0, eg2Decay = 0; // seconds
    bool killable = false;              // past its attack: may die away
};

struct Voice {
    bool busy = false;
    std::uint32_t age = 0; // ticks since the voice was given to its note
    int channel = 0;
    std::uint64_t note = 0; // NoteRecord::id of its note
    std::uint16_t pitch = 0;
    std::uint32_t volume = 0;
    int volumeAdjustment = 0;
    double eg2Level = 0;        // last level of the pitch envelope, 0..1
    double pitchModulation = 0; // octaves: vibrato and pitch envelope
};

struct ChannelState {
    int program = 0;
    int bank = 0; // 14 bits
    bool drum = false;
    int volume = 100;
    int modWheel = 0; // 14 bits
    int bend = 0;     // -8192..8191
    int expression = 127;
    std::vector<NoteRecord> notes;
};

// Adds without wrapping: counters stop at their largest value.
template <class T> T saturatingAdd(T counter, std::uint64_t ticks) {
    const std::uint64_t sum = static_cast<std::uint64_t>(counter) + ticks;
    const std::uint64_t largest = std::numeric_limits<T>::max();
    return static_cast<T>(sum > largest ? largest : sum);
}

} // namespace telmira::compiler
