#include "tests/compiler/songtest.h"

#include "compiler/bytecode.h"
#include "compiler/songcompiler.h"

#include <algorithm>
#include <cmath>

namespace telmira::compiler::test {

std::int32_t rawSeconds(double seconds) {
    return static_cast<std::int32_t>(std::lround(1200.0 * std::log2(seconds) * 65536.0));
}

DlsWave testWave(const std::string& name, std::uint32_t rate, std::size_t frames,
                 std::uint32_t loopLength) {
    DlsWave wave;
    wave.name = name;
    wave.bitsPerSample = 16;
    wave.channels = 1;
    wave.sampleRate = rate;
    for (std::size_t i = 0; i < frames; ++i) {
        const std::int16_t value = (i / 8) % 2 == 0 ? 8000 : -8000;
        wave.data.push_back(static_cast<std::uint8_t>(value & 0xFF));
        wave.data.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    }
    if (loopLength > 0) {
        wave.loopLength = loopLength;
        wave.loopStart = static_cast<std::uint32_t>(frames) - loopLength;
    }
    return wave;
}

DlsRegion testRegion(const std::string& name, int program, std::size_t wave, bool drum, int bank) {
    DlsRegion region;
    region.name = name;
    region.program = static_cast<std::uint32_t>(program);
    region.bank = static_cast<std::uint32_t>(bank);
    region.drum = drum;
    region.keyLow = 0;
    region.keyHigh = 127;
    region.velocityLow = 0;
    region.velocityHigh = 127;
    region.unityNote = 60;
    region.wave = wave;
    region.articulation.eg1.releaseRaw = rawSeconds(0.5);
    region.articulation.eg1.releaseSeconds = 0.5;
    return region;
}

CompilerState stateWithBank(std::vector<DlsRegion> regions, std::vector<DlsWave> waves, float fs) {
    CompilerState state;
    state.fs = fs;
    state.dls.regions = std::move(regions);
    state.dls.waves = std::move(waves);
    for (std::size_t i = 0; i < state.dls.waves.size(); ++i)
        state.dls.waves[i].tableIndex = static_cast<std::uint32_t>(i);
    for (const DlsRegion& region : state.dls.regions)
        if (region.wave && region.drum)
            state.dls.waves[*region.wave].drum = true;
    return state;
}

namespace {
MidiEvent channelEvent(std::uint32_t delta, std::uint8_t type, int channel, int data1, int data2) {
    MidiEvent e;
    e.delta = delta;
    e.type = type;
    e.channel = static_cast<std::uint8_t>(channel);
    e.data1 = static_cast<std::uint8_t>(data1);
    e.data2 = static_cast<std::uint8_t>(data2);
    return e;
}
} // namespace

MidiEvent noteOn(std::uint32_t delta, int channel, int key, int velocity) {
    return channelEvent(delta, 0x90, channel, key, velocity);
}

MidiEvent noteOff(std::uint32_t delta, int channel, int key) {
    return channelEvent(delta, 0x80, channel, key, 64);
}

MidiEvent controller(std::uint32_t delta, int channel, int number, int value) {
    return channelEvent(delta, 0xB0, channel, number, value);
}

MidiEvent programChange(std::uint32_t delta, int channel, int program) {
    return channelEvent(delta, 0xC0, channel, program, 0);
}

MidiEvent pitchBend(std::uint32_t delta, int channel, int bend) {
    const int raw = bend + 8192; // 14 bits, folded the way the MIDI reader folds them
    return channelEvent(delta, 0xE0, channel, raw & 0xFF, raw >> 8);
}

MidiEvent tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter) {
    MidiEvent e = channelEvent(delta, 0xF0, 15, 0x51, 3);
    e.data = {static_cast<std::uint8_t>(microsecondsPerQuarter >> 16),
              static_cast<std::uint8_t>(microsecondsPerQuarter >> 8),
              static_cast<std::uint8_t>(microsecondsPerQuarter)};
    return e;
}

MidiEvent sysex(std::uint32_t delta, std::vector<std::uint8_t> payload) {
    MidiEvent e = channelEvent(delta, 0xF0, 0, 0, 0);
    e.data = std::move(payload);
    return e;
}

Song midiSong(std::vector<MidiEvent> events, std::uint32_t resolution) {
    Song song;
    song.kind = SongKind::Midi;
    song.path = "test.mid";
    song.resolution = resolution;
    std::uint32_t time = 0;
    for (MidiEvent& e : events) {
        time += e.delta;
        e.time = time;
    }
    song.events = std::move(events);
    return song;
}

SongRun compileOnly(CompilerState& state, std::size_t index) {
    SongRun run;
    Console console(run.output);
    CollectionRun collection;
    run.outcome = compileSong(state, state.songs.at(index), console, collection);
    return run;
}

std::vector<SongEvent> liveEvents(const Song& song) {
    std::vector<SongEvent> live;
    for (const SongEvent& e : song.compiled.events)
        if (!e.removed && !event::isLogOnly(e.type))
            live.push_back(e);
    return live;
}

std::vector<SongEvent> eventsOfType(const Song& song, std::initializer_list<std::uint16_t> types) {
    std::vector<SongEvent> found;
    for (const SongEvent& e : song.compiled.events)
        if (std::find(types.begin(), types.end(), e.type) != types.end())
            found.push_back(e);
    return found;
}

std::vector<zavra::UnpackedEvent> writtenStream(const std::vector<SongEvent>& events) {
    std::vector<zavra::UnpackedEvent> stream;
    std::uint32_t last = 0;
    for (const SongEvent& e : events) {
        if (!isWritten(e))
            continue;
        zavra::UnpackedEvent u;
        u.delay = e.time - last;
        last = e.time;
        zavra::StreamEvent& s = u.event;
        s.type = static_cast<std::uint8_t>(e.type);
        if (e.type != event::kEnd && !event::isNoteOff(e.type) && e.type != event::kSetTim)
            s.voice = static_cast<std::uint8_t>(e.voice);
        if (event::isNoteOn(e.type)) {
            s.instrument = static_cast<std::uint8_t>(e.instrument);
            s.velocity = static_cast<std::uint8_t>(e.velocity);
            s.volume = static_cast<std::uint8_t>(e.value);
        } else if (e.type == event::kDeltaP) {
            s.pitchChange = e.pitchChange();
        } else if (e.type == event::kSetPch) {
            s.pitch = static_cast<std::uint16_t>(e.value);
        } else if (e.type == event::kSetVol) {
            s.volume = static_cast<std::uint8_t>(e.value);
        } else if (e.type == event::kSetTim) {
            s.timing = storedTiming(e);
        }
        stream.push_back(u);
    }
    return stream;
}

} // namespace telmira::compiler::test
