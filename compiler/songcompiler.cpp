// The song compiler's event loop: timing, envelopes, vibrato and pitch envelopes between events,
// and the channel messages. Notes and voices: notes.cpp.
#include "compiler/songcompiler.h"

#include "compiler/envelope.h"
#include "compiler/songsimulation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace telmira::compiler {

namespace {

constexpr int kDrumChannel = 9; // MIDI channel 10
constexpr std::uint32_t kNoTimestep = 0x7FFFFFFF;
constexpr std::uint32_t kLargestDivisor = 8191;
constexpr std::uint32_t kLargeResolution = 192;
constexpr double kSemitonesToBendRange = 98304.0;
constexpr int kBendCentre = 8192;
constexpr int kTempoMeta = 0x51;
constexpr double kMicroseconds = 1000000.0;
constexpr int kLargestPitchStep = 127;
constexpr double kSmallestPitchDepth = 0.1; // cents
constexpr std::uint32_t kVolumeStep = ~std::uint32_t{3};
constexpr std::int64_t kLoudest = 127;

// The tick duration in units of the time base, as a SetTim carries it.
std::uint16_t timingValue(double timeBase, double ticksPerSecond) {
    const double value = std::trunc(timeBase / ticksPerSecond + 0.5);
    if (!(value >= 1))
        return 1;
    return static_cast<std::uint16_t>(std::min(value, 65535.0));
}

// A GS "use for rhythm part" message (F0 41 10 42 12 40 1x 15 vv cs F7, held with its length
// byte first): the channel of part x and whether it becomes a drum channel.
std::optional<std::pair<int, bool>> gsRhythmPart(const std::vector<std::uint8_t>& payload) {
    static constexpr std::uint8_t kHead[] = {0x0A, 0x41, 0x10, 0x42, 0x12, 0x40};
    if (payload.size() != 10 || !std::equal(std::begin(kHead), std::end(kHead), payload.begin()) ||
        (payload[6] & 0xF0) != 0x10 || payload[7] != 0x15)
        return std::nullopt;
    const int part = payload[6] & 0x0F;
    const int channel = part == 0 ? kDrumChannel : part <= 9 ? part - 1 : part;
    return std::pair{channel, payload[8] != 0};
}

} // namespace

namespace detail {

Outcome SongSimulation::dataError() {
    failed_ = true;
    return Outcome::stop(Outcome::kDataError);
}

void SongSimulation::reportTimestep() const {
    std::uint32_t minimum = kNoTimestep;
    for (const MidiEvent& midi : song_.events)
        if (midi.delta != 0)
            minimum = std::min(minimum, midi.delta);
    out_.print("    + minimum timestep = %u\n", minimum);
    if (minimum < 2)
        return;
    out_.print("    + analysing GCD of timestep; ");
    std::uint32_t common = 0; // stays 0, which every d divides, when no delta is larger
    for (const MidiEvent& midi : song_.events)
        if (midi.delta > minimum)
            common = std::gcd(common, midi.delta);
    for (std::uint32_t d = std::min(minimum, kLargestDivisor); d >= 2; --d) {
        if (common % d == 0) {
            out_.print("GCD=%u\n", d);
            return;
        }
    }
    out_.print("not exists\n");
}

NoteRecord* SongSimulation::noteOf(int v) {
    const Voice& held = voice(v);
    if (!held.busy)
        return nullptr;
    for (NoteRecord& note : channel(held.channel).notes)
        if (note.id == held.note)
            return &note;
    return nullptr;
}

void SongSimulation::logEvent(std::uint16_t type, int ch, int key) {
    SongEvent e;
    e.type = type;
    e.voice = static_cast<std::uint16_t>(ch);
    e.midiChannel = static_cast<std::uint8_t>(ch);
    e.value = static_cast<std::uint32_t>(key);
    list_.append(e, time_);
}

void SongSimulation::addTiming(double ticksPerSecond) {
    ticksPerSecond_ = ticksPerSecond;
    const std::uint16_t timing = timingValue(state_.timeBase, ticksPerSecond);
    SongEvent e;
    e.type = event::kSetTim;
    e.instrument = timing & 0xFF;
    e.velocity = timing >> 8;
    list_.append(e, time_);
}

Outcome SongSimulation::run() {
    out_.print("  + compiling '%s'\n", song_.path.c_str());
    reportTimestep();
    if (song_.resolution > kLargeResolution)
        out_.print("  + WARN: Resolution (PPQN) too big (%u), may be problems with tempo\n",
                   song_.resolution);
    if (song_.resolution == 0) {
        out_.print("    + ERR: timing resolution 0 is not valid\n");
        return dataError();
    }

    song_.compiled = CompiledSong{};
    channel(kDrumChannel).drum = true;
    addTiming(2.0 * song_.resolution);

    for (const MidiEvent& midi : song_.events) {
        const std::uint32_t delta = firstNoteSeen_ ? midi.delta : 0;
        if (delta > kMaxSongTicks - time_) {
            out_.print("    + ERR: song longer than %u ticks\n", kMaxSongTicks);
            return dataError();
        }
        if (!modulate(delta))
            return Outcome::stop(Outcome::kDataError);
        advance(delta);
        if (!updateEnvelopes())
            return Outcome::stop(Outcome::kDataError);
        dispatch(midi);
        if (list_.size() > kMaxSongEvents) {
            out_.print("    + ERR: song needs more than %u events\n",
                       static_cast<unsigned>(kMaxSongEvents));
            return dataError();
        }
    }
    finish();
    return Outcome::next();
}

// Vibrato and pitch envelopes between two MIDI events: ticks 1 .. delta - 1.
bool SongSimulation::modulate(std::uint32_t delta) {
    // No note starts or ends between two events: the voices' notes are looked up once.
    std::array<NoteRecord*, kVoices> moving{};
    bool any = false;
    for (int v = 0; v < kVoices; ++v) {
        NoteRecord* note = noteOf(v);
        if (!note)
            continue;
        const Articulation& art = articulationOf(*note);
        const bool wheel = art.lfoToPitchByModWheelCents != 0 && channel(voice(v).channel).modWheel;
        // Without vibrato and pitch envelope the modulation stays 0, and so the pitch.
        if (art.lfoToPitchCents != 0 || wheel ||
            std::abs(art.eg2ToPitchCents) > kSmallestPitchDepth || voice(v).pitchModulation != 0) {
            moving[static_cast<std::size_t>(v)] = note;
            any = true;
        }
    }
    for (std::uint32_t tick = 1; any && tick < delta; ++tick) {
        for (int v = 0; v < kVoices; ++v) {
            NoteRecord* note = moving[static_cast<std::size_t>(v)];
            if (!note)
                continue;
            Voice& held = voice(v);
            const Articulation& art = articulationOf(*note);
            const double t = (held.age + static_cast<double>(tick)) / ticksPerSecond_;
            const double since =
                (note->ticksSinceRelease + static_cast<double>(tick)) / ticksPerSecond_;
            held.pitchModulation = vibratoOctaves(art, channel(held.channel).modWheel, t) +
                                   pitchEnvelopeOctaves(art, *note, t, since, held.eg2Level);
            refreshPitch(v, *note, time_ + tick);
        }
        if (list_.size() > kMaxSongEvents) {
            out_.print("    + ERR: song needs more than %u events\n",
                       static_cast<unsigned>(kMaxSongEvents));
            dataError();
            return false;
        }
    }
    return true;
}

void SongSimulation::advance(std::uint32_t delta) {
    time_ += delta;
    for (Voice& held : voices_)
        held.age = saturatingAdd(held.age, delta);
    for (ChannelState& ch : channels_) {
        for (NoteRecord& note : ch.notes) {
            note.age = saturatingAdd(note.age, delta);
            if (note.released)
                note.ticksSinceRelease = saturatingAdd(note.ticksSinceRelease, delta);
        }
    }
}

// Follows every note's volume envelope; a note that has died away leaves its channel and frees
// its voice.
bool SongSimulation::updateEnvelopes() {
    for (int ch = 0; ch < kMidiChannels; ++ch) {
        auto& notes = channel(ch).notes;
        for (std::size_t i = 0; i < notes.size();) {
            NoteRecord& note = notes[i];
            const DlsRegion& region = dls_.regions[note.region];
            const DlsWave* wave = region.wave ? &dls_.waves[*region.wave] : nullptr;
            const EnvelopeLevel level = noteLevel(note, region, wave, ticksPerSecond_);
            if (level.percent < 0) {
                out_.print("    + ERR: negative envelope level of '%s' (sustain %.2f%%)\n",
                           region.name.c_str(), region.articulation.eg1.sustainPercent);
                dataError();
                return false;
            }
            note.level = std::isfinite(level.percent) ? level.percent : 0.0;
            note.wholeLevel = static_cast<int>(std::min(note.level, 1e9));
            note.killable = note.killable || level.killable;
            if (!note.killable || note.wholeLevel != 0) {
                ++i;
                continue;
            }
            if (note.voice != 0) {
                const int v = note.voice - 1;
                SongEvent e;
                e.type = event::kVChKill;
                e.voice = static_cast<std::uint16_t>(v);
                e.midiChannel = static_cast<std::uint8_t>(ch);
                e.value = static_cast<std::uint32_t>(note.key);
                list_.append(e, time_);
                voice(v).busy = false;
            } else {
                logEvent(event::kMChKill, ch, note.key);
            }
            notes.erase(notes.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return true;
}

void SongSimulation::dispatch(const MidiEvent& midi) {
    const int ch = midi.channel & 0x0F;
    switch (midi.type) {
    case 0x80:
        noteOff(ch, midi.data1);
        break;
    case 0x90:
        if (midi.data2 == 0)
            noteOff(ch, midi.data1);
        else
            noteOn(ch, midi.data1, midi.data2);
        break;
    case 0xB0:
        controller(ch, midi.data1, midi.data2);
        break;
    case 0xC0:
        if (!masked(ch))
            channel(ch).program = midi.data1;
        break;
    case 0xE0:
        if (masked(ch) || channel(ch).drum)
            break;
        channel(ch).bend = midi.data2 * 256 + midi.data1 - kBendCentre;
        for (int v = 0; v < kVoices; ++v)
            if (voice(v).busy && voice(v).channel == ch)
                refreshPitch(v, time_);
        break;
    case 0xF0:
        if (midi.channel == 0) {
            if (const auto part = gsRhythmPart(midi.data)) {
                channel(part->first).drum = part->second;
                out_.print("    + Channel %u switched to %s mode\n",
                           static_cast<unsigned>(part->first + 1),
                           part->second ? "Drum" : "Melodic");
            }
        } else if (midi.channel == 0x0F) {
            meta(midi);
        }
        break;
    default:
        break; // channel pressure, polyphonic aftertouch, system messages
    }
}

void SongSimulation::controller(int ch, int number, int value) {
    ChannelState& state = channel(ch);
    const int bits = value & 0x7F;
    // Bank select and modulation wheel are stored even for masked channels.
    switch (number) {
    case 0:
        state.bank = (state.bank & 0x7F) | (bits << 7);
        return;
    case 32:
        state.bank = (state.bank & 0x3F80) | bits;
        return;
    case 1:
        state.modWheel = (state.modWheel & 0x7F) | (bits << 7);
        return;
    case 33:
        state.modWheel = (state.modWheel & 0x3F80) | bits;
        return;
    default:
        break;
    }
    if (masked(ch))
        return;
    switch (number) {
    case 100:
        rpn_ = (rpn_ & 0x3F80) | bits;
        run_.nrpn = false;
        return;
    case 101:
        rpn_ = (rpn_ & 0x7F) | (bits << 7);
        run_.nrpn = false;
        return;
    case 98:
    case 99:
        run_.nrpn = true;
        return;
    case 6:
        if (rpn_ == 0 && !run_.nrpn)
            bendRange_ = value / kSemitonesToBendRange;
        return;
    case 7:
        state.volume = value;
        break;
    case 11:
        state.expression = value;
        break;
    case 121:
        state.volume = 100;
        state.expression = 127;
        state.bend = 0;
        state.modWheel = 0;
        if (!state.drum)
            for (int v = 0; v < kVoices; ++v)
                if (voice(v).busy && voice(v).channel == ch)
                    refreshPitch(v, time_);
        break;
    default:
        return;
    }
    refreshVolumes(ch);
}

void SongSimulation::meta(const MidiEvent& midi) {
    if (midi.data1 != kTempoMeta || midi.data.size() < 3)
        return;
    const std::uint32_t tempo = static_cast<std::uint32_t>(midi.data[0]) << 16 |
                                static_cast<std::uint32_t>(midi.data[1]) << 8 | midi.data[2];
    if (tempo == 0)
        return; // no such tempo: the last one stays
    addTiming(static_cast<double>(song_.resolution) * kMicroseconds / tempo);
}

void SongSimulation::refreshVolumes(int ch) {
    const ChannelState& state = channel(ch);
    for (int v = 0; v < kVoices; ++v) {
        Voice& held = voice(v);
        const NoteRecord* note = noteOf(v);
        if (!note || held.channel != ch)
            continue;
        const int sum = note->velocity + state.volume + state.expression + held.volumeAdjustment;
        const auto volume =
            static_cast<std::uint32_t>(std::clamp(sum, 0, static_cast<int>(kMaxVolume)));
        if (volume == held.volume)
            continue;
        held.volume = volume;
        SongEvent e;
        e.type = event::kSetVol;
        e.voice = static_cast<std::uint16_t>(v);
        e.value = volume;
        list_.append(e, time_);
    }
}

// Gives the voice the pitch of its key, the channel's bend and its modulation; a change is
// sent as DeltaP when small, else as SetPch, and makes the wave one played at varying pitch.
void SongSimulation::refreshPitch(int v, std::uint32_t at) {
    if (const NoteRecord* note = noteOf(v))
        refreshPitch(v, *note, at);
}

void SongSimulation::refreshPitch(int v, const NoteRecord& note, std::uint32_t at) {
    Voice& held = voice(v);
    const DlsRegion& region = dls_.regions[note.region];
    const double bend = channel(held.channel).bend * bendRange_;
    const std::uint16_t pitch =
        voicePitch(note.playKey, region.unityNote, bend + held.pitchModulation);
    const int change = pitch - held.pitch;
    if (change == 0)
        return;
    SongEvent e;
    e.voice = static_cast<std::uint16_t>(v);
    if (std::abs(change) > kLargestPitchStep) {
        e.type = event::kSetPch;
        e.value = pitch;
    } else {
        e.type = event::kDeltaP;
        e.value = static_cast<std::uint8_t>(change);
        e.previousPitch = held.pitch;
    }
    held.pitch = pitch;
    if (region.wave)
        dls_.waves[*region.wave].noteOffset = dsp::kOffsetMixed;
    list_.append(e, at);
}

// The End event, and the volumes moved so that the loudest event of the song gets 124.
void SongSimulation::finish() {
    SongEvent end;
    end.type = event::kEnd;
    list_.append(end, time_);
    const std::uint32_t largest = list_.largestVolume();
    out_.print("    + Volume adjustment coefficient: +%u\n", kMaxVolume - largest);
    for (SongEvent& e : song_.compiled.events) {
        if (!event::isNoteOn(e.type) && e.type != event::kSetVol)
            continue;
        const std::int64_t moved = std::int64_t{e.value} + kLoudest - largest;
        e.value = static_cast<std::uint32_t>(std::max<std::int64_t>(0, moved)) & kVolumeStep;
    }
    song_.compiled.largestVolume = largest;
    if (song_.compiled.notesSkipped != 0)
        out_.print("    + Notes skipped due to priority encoding: %u\n",
                   song_.compiled.notesSkipped);
    song_.compiled.compiled = true;
}

} // namespace detail

Outcome compileSong(CompilerState& state, Song& song, Console& out, CollectionRun& run) {
    return detail::SongSimulation(state, song, out, run).run();
}

} // namespace telmira::compiler
