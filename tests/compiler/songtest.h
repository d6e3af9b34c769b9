#pragma once

#include "base/zavrastream.h"
#include "compiler/console.h"
#include "compiler/outcome.h"
#include "compiler/state.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace telmira::compiler::test {

// Small banks and songs built in memory for the song compiler's tests.

// Raw DLS time (absolute timecents x 65536) of a time in seconds.
std::int32_t rawSeconds(double seconds);

// A 16-bit mono wave of `frames` frames of a square wave at `rate`; `loopLength` > 0 puts a
// loop over the last frames (starting after frame 0).
DlsWave testWave(const std::string& name, std::uint32_t rate, std::size_t frames,
                 std::uint32_t loopLength = 0);

// A region over keys 0..127 and velocities 0..127 playing `wave`, with unity note 60, instant
// attack, no decay (sustain 100 %) and a release of 0.5 s.
DlsRegion testRegion(const std::string& name, int program, std::size_t wave, bool drum = false,
                     int bank = 0);

// Compiler state with the bank's FS equal to the test waves' rate (no filter design needed)
// and with `regions` and `waves` as its DLS bank.
CompilerState stateWithBank(std::vector<DlsRegion> regions, std::vector<DlsWave> waves,
                            float fs = 10000);

// MIDI events; delta in output ticks.
MidiEvent noteOn(std::uint32_t delta, int channel, int key, int velocity = 100);
MidiEvent noteOff(std::uint32_t delta, int channel, int key);
MidiEvent controller(std::uint32_t delta, int channel, int number, int value);
MidiEvent programChange(std::uint32_t delta, int channel, int program);
MidiEvent pitchBend(std::uint32_t delta, int channel, int bend); // bend -8192..8191
MidiEvent tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter);
MidiEvent sysex(std::uint32_t delta, std::vector<std::uint8_t> payload);

// A MIDI song of these events at `resolution` ticks per quarter note, default settings.
Song midiSong(std::vector<MidiEvent> events, std::uint32_t resolution = 96);

// Runs compileSong on song `index` of the state with a fresh collection run.
struct SongRun {
    Outcome outcome = Outcome::next();
    std::string output;
};
SongRun compileOnly(CompilerState& state, std::size_t index = 0);

// The events of a compiled song that are not removed, without the log-only ones.
std::vector<SongEvent> liveEvents(const Song& song);
// The events of a compiled song of these types (removed ones included).
std::vector<SongEvent> eventsOfType(const Song& song, std::initializer_list<std::uint16_t> types);

// What the packed-stream decoder gives back for the written events of a song: each event's
// delay after the previous written one, its fields, and a timing cut to what the stream holds.
std::vector<zavra::UnpackedEvent> writtenStream(const std::vector<SongEvent>& events);

} // namespace telmira::compiler::test
