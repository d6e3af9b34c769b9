#pragma once

// The song compiler's simulation of one song, shared by songcompiler.cpp (the event loop,
// envelopes, channel messages) and notes.cpp (note-on, voices, note-off). Nothing else
// includes it: the interface is compileSong().

#include "compiler/eventlist.h"
#include "compiler/regions.h"
#include "compiler/songcompiler.h"
#include "compiler/synth.h"

#include <array>
#include <cstdint>
#include <optional>

namespace telmira::compiler::detail {

class SongSimulation {
public:
    SongSimulation(CompilerState& state, Song& song, Console& out, CollectionRun& run)
        : state_(state), song_(song), out_(out), run_(run), dls_(state.dls),
          list_(song.compiled.events, state.dls.waves) {}

    Outcome run();

private:
    // songcompiler.cpp
    void reportTimestep() const;
    void advance(std::uint32_t delta);
    bool modulate(std::uint32_t delta);
    bool updateEnvelopes();
    void dispatch(const MidiEvent& midi);
    void controller(int channel, int number, int value);
    void meta(const MidiEvent& midi);
    void refreshPitch(int voice, std::uint32_t at);
    void refreshPitch(int voice, const NoteRecord& note, std::uint32_t at);
    void refreshVolumes(int channel);
    void logEvent(std::uint16_t type, int channel, int key);
    void addTiming(double ticksPerSecond);
    void finish();
    Outcome dataError();

    // notes.cpp
    void noteOn(int channel, int key, int velocity);
    NoteRecord* takeRecord(int channel);
    void giveVoice(int channel, NoteRecord& note, const NoteResolution& resolution);
    void noteOff(int channel, int key);
    void release(int channel, NoteRecord& note, bool forced);
    std::size_t instrumentNumber(std::size_t region);
    void useWave(std::size_t wave);

    bool masked(int channel) const {
        return song_.settings.channelMask[static_cast<std::size_t>(channel)] == 0;
    }
    int priority(int channel) const {
        return song_.settings.channelPriority[static_cast<std::size_t>(channel)];
    }
    ChannelState& channel(int ch) { return channels_[static_cast<std::size_t>(ch)]; }
    Voice& voice(int v) { return voices_[static_cast<std::size_t>(v)]; }
    // The note a busy voice plays; null for a free voice.
    NoteRecord* noteOf(int voice);
    const Articulation& articulationOf(const NoteRecord& note) const {
        return dls_.regions[note.region].articulation;
    }

    CompilerState& state_;
    Song& song_;
    Console& out_;
    CollectionRun& run_;
    DlsBank& dls_;
    EventList list_;
    std::array<ChannelState, kMidiChannels> channels_{};
    std::array<Voice, kVoices> voices_{};
    std::uint32_t time_ = 0;
    double ticksPerSecond_ = 0;
    double bendRange_ = 2.0 / 98304; // octaves per bend unit: two semitones over the full bend
    int rpn_ = 0;
    bool firstNoteSeen_ = false;
    std::uint64_t nextNoteId_ = 1;
    bool failed_ = false;
};

} // namespace telmira::compiler::detail
