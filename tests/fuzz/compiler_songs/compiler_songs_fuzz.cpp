// Reads any bytes as a Standard MIDI File and compiles the song against a small bank whose
// regions decay, loop, end with their sample, vibrate and bend by their pitch envelope.
#include "compiler/midi.h"
#include "compiler/songcompiler.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace {

using namespace telmira::compiler;

std::int32_t raw(double seconds) {
    return static_cast<std::int32_t>(std::lround(1200.0 * std::log2(seconds) * 65536.0));
}

DlsWave wave(std::uint32_t frames, std::uint32_t loopLength) {
    DlsWave w;
    w.bitsPerSample = 16;
    w.channels = 1;
    w.sampleRate = 8000;
    w.data.assign(frames * 2, 0x10);
    w.loopLength = loopLength;
    w.loopStart = loopLength ? frames - loopLength : 0;
    return w;
}

DlsRegion region(std::uint32_t program, std::size_t waveIndex, bool drum, std::uint16_t keyLow,
                 std::uint16_t keyHigh) {
    DlsRegion r;
    // Not assigned from a literal: GCC 12 warns falsely (-Wrestrict) on that inlined assign.
    r.name.assign(1, 'R');
    r.program = program;
    r.drum = drum;
    r.keyLow = keyLow;
    r.keyHigh = keyHigh;
    r.velocityHigh = 127;
    r.unityNote = 60;
    r.wave = waveIndex;
    r.articulation.eg1.attackRaw = raw(0.01);
    r.articulation.eg1.releaseRaw = raw(0.3);
    return r;
}

CompilerState bank() {
    CompilerState state;
    state.dls.waves = {wave(4000, 500), wave(800, 0)};
    DlsRegion plain = region(0, 0, false, 0, 127);
    DlsRegion vibrato = region(1, 0, false, 0, 127);
    vibrato.articulation.lfoToPitchCents = 40;
    vibrato.articulation.lfoToPitchByModWheelCents = 80;
    vibrato.articulation.eg2ToPitchCents = -300;
    vibrato.articulation.eg2.attackRaw = raw(0.05);
    vibrato.articulation.eg2.decayRaw = raw(0.2);
    vibrato.articulation.eg2.sustainPercent = 30;
    vibrato.articulation.eg2.releaseSeconds = 0.2;
    DlsRegion decaying = region(2, 1, false, 0, 127);
    decaying.articulation.eg1.decayRaw = raw(0.1);
    decaying.articulation.eg1.sustainPercent = 0;
    decaying.nonExclusive = true;
    DlsRegion drum = region(0, 1, true, 30, 90);
    state.dls.regions = {plain, vibrato, decaying, drum};
    state.maxMelodicVoices = 2;
    state.maxDrumVoices = 1;
    return state;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const CompilerState kBank = bank();
    CompilerState state = kBank;
    std::string output;
    Console console(output);
    Song song;
    if (!parseMidi({data, size}, 0, song, console).goesOn())
        return 0;
    song.settings.channelPriority[0] = 3;
    song.settings.channelMask[5] = 0;
    state.songs.push_back(std::move(song));
    CollectionRun run;
    if (!compileSong(state, state.songs.back(), console, run).goesOn())
        return 0;
    // The event list is in time order, every event names one of six voices (log events a
    // channel) and every note-on a known instrument.
    std::uint32_t time = 0;
    for (const SongEvent& e : state.songs.back().compiled.events) {
        if (e.time < time || e.time - time != e.delta)
            __builtin_trap();
        time = e.time;
        const unsigned limit = event::isLogOnly(e.type) && e.type != event::kVChKill ? 16 : 6;
        if (e.voice >= limit ||
            (event::isNoteOn(e.type) && e.instrument >= state.instruments.size()))
            __builtin_trap();
    }
    return 0;
}
