// The song compiler's notes: region resolution, note records, voice allocation, note-off.
#include "compiler/envelope.h"
#include "compiler/songsimulation.h"
#include "compiler/voices.h"

#include <algorithm>
#include <cstdlib>

namespace telmira::compiler::detail {

namespace {

constexpr int kFarFromUnity = 80;
constexpr std::uint16_t kVelocityStep = 0xF8;
constexpr int kLastKey = 127;

// The released note of the list with the largest age; on equal ages the later one.
NoteRecord* oldestReleased(std::vector<NoteRecord>& notes) {
    NoteRecord* found = nullptr;
    for (NoteRecord& note : notes)
        if (note.released && (!found || note.age >= found->age))
            found = &note;
    return found;
}

} // namespace

std::size_t SongSimulation::instrumentNumber(std::size_t region) {
    auto& table = state_.instruments;
    const auto found = std::find_if(table.begin(), table.end(), [&](const Instrument& entry) {
        return entry.region == region;
    });
    if (found != table.end())
        return static_cast<std::size_t>(found - table.begin());
    table.push_back(Instrument{region});
    return table.size() - 1;
}

void SongSimulation::useWave(std::size_t wave) {
    auto& samples = state_.usedSamples;
    if (std::none_of(samples.begin(), samples.end(),
                     [&](const UsedSample& sample) { return sample.wave == wave; }))
        samples.push_back(UsedSample{wave, std::nullopt});
}

void SongSimulation::noteOn(int ch, int key, int velocity) {
    if (masked(ch))
        return;
    if (key > kHighestKey) {
        ++state_.highNotesSkipped;
        return;
    }
    firstNoteSeen_ = true;
    ChannelState& state = channel(ch);
    const NoteRequest request{ch, state.bank, state.program, state.drum, key, velocity};
    const NoteResolution resolution = resolveNote(song_, dls_, request);
    if (!resolution.region || !dls_.regions[*resolution.region].wave) {
        out_.print("  + WARN: Sample not found for %s:%u:%u (%u/%u), remap it!\n",
                   state.drum ? "DRM" : "MEL", static_cast<unsigned>(resolution.bank),
                   static_cast<unsigned>(resolution.program), static_cast<unsigned>(key),
                   static_cast<unsigned>(velocity));
        return;
    }
    recordUsage(song_.compiled.usage, resolution, request);
    recordUsage(song_.compiled.channelUsage[static_cast<std::size_t>(ch)], resolution, request);

    DlsRegion& region = dls_.regions[*resolution.region];
    DlsWave& wave = dls_.waves[*region.wave];
    region.used = true;
    wave.used = true;
    // An origin key makes the remap's source key play the target's unity note. Keys stay note
    // keys (0..127): beyond them they would read as other event types.
    int playKey = key;
    if (resolution.originKey != kAny)
        playKey = std::clamp(key + region.unityNote - resolution.originKey, 0, kLastKey);
    const int offset = region.unityNote - playKey;
    if (wave.noteOffset == dsp::kOffsetNeverPlayed)
        wave.noteOffset = offset;
    else if (wave.noteOffset != offset && wave.noteOffset > dsp::kOffsetMixed)
        wave.noteOffset = dsp::kOffsetMixed;

    // A note retriggered on its region cuts the one still held, unless the region says not to.
    if (!region.nonExclusive)
        for (NoteRecord& held : state.notes)
            if (!held.released && held.region == *resolution.region && held.key == key)
                release(ch, held, true);

    NoteRecord* note = takeRecord(ch);
    if (!note) {
        out_.print("  + WARN: Channel %u holds %u notes, none released: note %u dropped\n",
                   static_cast<unsigned>(ch + 1), static_cast<unsigned>(kMaxNoteRecords),
                   static_cast<unsigned>(key));
        return;
    }
    note->id = nextNoteId_++;
    note->key = key;
    note->playKey = playKey;
    note->velocity = velocity;
    note->region = *resolution.region;
    startEnvelopes(*note, region.articulation);
    giveVoice(ch, *note, resolution);
}

// A fresh note record: appended, or, when the channel holds all it may, its oldest released
// note's record reused in place. Null when every record holds a note not yet released.
NoteRecord* SongSimulation::takeRecord(int ch) {
    auto& notes = channel(ch).notes;
    if (notes.size() < kMaxNoteRecords) {
        notes.emplace_back();
        return &notes.back();
    }
    NoteRecord* reused = oldestReleased(notes);
    if (!reused)
        return nullptr;
    if (reused->voice != 0 && voice(reused->voice - 1).note == reused->id)
        voice(reused->voice - 1).busy = false;
    *reused = NoteRecord{};
    return reused;
}

void SongSimulation::giveVoice(int ch, NoteRecord& note, const NoteResolution& resolution) {
    const DlsRegion& region = dls_.regions[note.region];
    std::array<VoiceView, kVoices> views{};
    for (int v = 0; v < kVoices; ++v) {
        const NoteRecord* held = noteOf(v);
        if (!held)
            continue;
        const Voice& busy = voice(v);
        views[static_cast<std::size_t>(v)] =
            VoiceView{true, busy.channel, busy.age, held->released, priority(busy.channel)};
    }
    const int limit = region.drum ? state_.maxDrumVoices : state_.maxMelodicVoices;
    const auto choice = allocateVoice(views, VoiceRequest{ch, priority(ch), limit});
    if (!choice) {
        SongEvent skip;
        skip.type = event::kNSkip;
        skip.voice = static_cast<std::uint16_t>(ch);
        skip.midiChannel = static_cast<std::uint8_t>(ch);
        skip.value = static_cast<std::uint32_t>(note.key);
        list_.append(skip, time_);
        ++song_.compiled.notesSkipped;
        return;
    }
    const int v = choice->voice;
    if (NoteRecord* previous = noteOf(v))
        previous->voice = 0; // stolen without an event: the note-on cuts it
    const ChannelState& state = channel(ch);
    Voice& held = voice(v);
    held = Voice{};
    held.busy = true;
    held.channel = ch;
    held.note = note.id;
    held.pitch = voicePitch(note.playKey, region.unityNote, 0.0);
    note.voice = v + 1;

    auto& songRegions = song_.compiled.regions;
    if (std::find(songRegions.begin(), songRegions.end(), note.region) == songRegions.end())
        songRegions.push_back(note.region);
    const std::size_t instrument = instrumentNumber(note.region);
    useWave(*region.wave);
    if (std::abs(note.playKey - region.unityNote) >= kFarFromUnity)
        out_.print("  + !!!! Note offset too big \n");

    const int sum = resolution.volumeAdjustment + state.volume + state.expression + note.velocity;
    held.volume = static_cast<std::uint32_t>(std::clamp(sum, 0, static_cast<int>(kMaxVolume)));
    held.volumeAdjustment = resolution.volumeAdjustment;

    SongEvent on;
    on.type = static_cast<std::uint16_t>(note.playKey);
    on.voice = static_cast<std::uint16_t>(v);
    on.instrument = static_cast<std::uint16_t>(instrument);
    on.velocity = static_cast<std::uint16_t>(note.velocity & kVelocityStep);
    on.value = held.volume;
    on.drum = region.drum;
    on.wave = static_cast<std::int32_t>(*region.wave);
    on.midiChannel = static_cast<std::uint8_t>(ch);
    on.stealMode = static_cast<std::uint8_t>(choice->mode);
    list_.append(on, time_);
    if (state.bend != 0)
        refreshPitch(v, time_);
}

void SongSimulation::noteOff(int ch, int key) {
    if (masked(ch))
        return;
    NoteRecord* found = nullptr;
    for (NoteRecord& note : channel(ch).notes)
        if (!note.released && note.key == key && (!found || note.age >= found->age))
            found = &note;
    if (!found) {
        logEvent(event::kNOffNone, ch, key);
        return;
    }
    release(ch, *found, false);
}

// Starts the note's release. Its voice keeps sounding (and stays busy) through the release,
// except a voice given at this very tick, which is free again at once.
void SongSimulation::release(int ch, NoteRecord& note, bool forced) {
    releaseEnvelope(note, articulationOf(note));
    if (note.voice == 0) {
        if (!forced)
            logEvent(event::kNOffLost, ch, note.key);
        return;
    }
    const int v = note.voice - 1;
    Voice& held = voice(v);
    if (!held.busy || held.note != note.id) {
        if (!forced)
            out_.print("    + !!!! (%08x) %u\n", time_, static_cast<unsigned>(ch));
        note.voice = 0;
        return;
    }
    if (held.age == 0) {
        held.busy = false;
        note.voice = 0;
    }
    SongEvent off;
    off.type = static_cast<std::uint16_t>(event::kNoteOff + v);
    off.voice = static_cast<std::uint16_t>(v);
    off.midiChannel = static_cast<std::uint8_t>(ch);
    off.forced = forced;
    list_.append(off, time_);
}

} // namespace telmira::compiler::detail
