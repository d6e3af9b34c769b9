// The song compiler through compileSong: timing, note and voice handling, channel messages,
// envelopes deciding when voices are free, volumes, and the bounds of hostile songs.
#include "compiler/envelope.h"
#include "compiler/songcompiler.h"
#include "tests/compiler/songtest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace telmira::compiler {
namespace {

using namespace test;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::size_t kLead = 0, kPad = 1, kKit = 2;

// Two looped melodic waves and an unlooped drum wave; regions Lead (program 0), Pad (program 1)
// and the drum kit, all with unity note 60.
CompilerState bank() {
    return stateWithBank(
        {testRegion("Lead", 0, 0), testRegion("Pad", 1, 1), testRegion("Kit", 0, 2, true)},
        {testWave("W0", 10000, 20000, 1000), testWave("W1", 10000, 20000, 1000),
         testWave("DRUMW", 10000, 2000)});
}

struct Compiled {
    CompilerState state;
    SongRun run;
    const Song& song() const { return state.songs.front(); }
    std::vector<SongEvent> of(std::initializer_list<std::uint16_t> types) const {
        return eventsOfType(song(), types);
    }
};

Compiled compile(CompilerState state, std::vector<MidiEvent> events,
                 std::uint32_t resolution = 96) {
    state.songs.push_back(midiSong(std::move(events), resolution));
    Compiled result{std::move(state), {}};
    result.run = compileOnly(result.state);
    return result;
}

Compiled compile(std::vector<MidiEvent> events, std::uint32_t resolution = 96) {
    return compile(bank(), std::move(events), resolution);
}

std::vector<SongEvent> eventsWhere(const Song& song, bool (*test)(std::uint16_t)) {
    std::vector<SongEvent> found;
    for (const SongEvent& e : song.compiled.events)
        if (test(e.type))
            found.push_back(e);
    return found;
}

std::vector<SongEvent> noteOns(const Song& song) {
    return eventsWhere(song, event::isNoteOn);
}

std::vector<SongEvent> noteOffs(const Song& song) {
    return eventsWhere(song, event::isNoteOff);
}

TEST(SongCompiler, StartsWithTimingAndDropsLeadingSilence) {
    const Compiled c = compile({controller(0, 0, 7, 100), tempo(30, 500000), noteOn(480, 0, 60),
                                noteOff(96, 0, 60), tempo(96, 250000)});
    ASSERT_TRUE(c.run.outcome.goesOn()) << c.run.output;
    const auto& events = c.song().compiled.events;
    ASSERT_GE(events.size(), 5u);
    EXPECT_EQ(events[0].type, event::kSetTim);
    EXPECT_TRUE(events[0].removed) << "the tempo at the same tick replaces the first timing";
    EXPECT_EQ(events[0].timing(), 54); // 10416.666 / (2 x 96) = 54.25
    const auto timings = c.of({event::kSetTim});
    ASSERT_EQ(timings.size(), 3u);
    EXPECT_EQ(timings[1].timing(), 54); // 500000 us a quarter: 192 ticks a second
    EXPECT_EQ(timings[2].timing(), 27);
    EXPECT_EQ(timings[2].time, 192u);
    const auto ons = noteOns(c.song());
    ASSERT_EQ(ons.size(), 1u);
    EXPECT_EQ(ons[0].time, 0u) << "the 480 ticks before the first note are gone";
    EXPECT_EQ(ons[0].delta, 0u);
    EXPECT_EQ(noteOffs(c.song())[0].time, 96u);
    EXPECT_EQ(events.back().type, event::kEnd);
    EXPECT_EQ(events.back().time, 192u);
    EXPECT_THAT(c.run.output, HasSubstr("  + compiling 'test.mid'\n"));
}

TEST(SongCompiler, ReportsTheSmallestTimestepAndItsCommonDivisor) {
    struct Case {
        std::vector<std::uint32_t> deltas;
        std::string lines;
    };
    const std::vector<Case> cases = {
        {{0, 0},
         "    + minimum timestep = 2147483647\n    + analysing GCD of timestep; GCD=8191\n"},
        {{0, 1, 5}, "    + minimum timestep = 1\n"},
        {{4, 8, 12, 4}, "    + minimum timestep = 4\n    + analysing GCD of timestep; GCD=4\n"},
        {{6, 9, 15}, "    + minimum timestep = 6\n    + analysing GCD of timestep; GCD=3\n"},
        {{4, 7}, "    + minimum timestep = 4\n    + analysing GCD of timestep; not exists\n"},
    };
    for (const Case& c : cases) {
        std::vector<MidiEvent> events;
        for (std::uint32_t delta : c.deltas)
            events.push_back(controller(delta, 0, 7, 100));
        const Compiled compiled = compile(events);
        EXPECT_THAT(compiled.run.output, HasSubstr("'test.mid'\n" + c.lines + "    + Volume"));
    }
}

TEST(SongCompiler, LaterNoteOnTheSameVoiceAtTheSameTickWins) {
    const Compiled c =
        compile({noteOn(0, 0, 60), noteOff(0, 0, 60), programChange(0, 0, 1), noteOn(0, 0, 62)});
    const auto ons = noteOns(c.song());
    ASSERT_EQ(ons.size(), 2u);
    EXPECT_TRUE(ons[0].removed);
    EXPECT_FALSE(ons[1].removed);
    EXPECT_EQ(ons[1].voice, 0) << "a voice released at the tick it was given is free again";
    EXPECT_TRUE(noteOffs(c.song())[0].removed);
    EXPECT_EQ(c.state.dls.waves[0].usageCount, 0u);
    EXPECT_EQ(c.state.dls.waves[1].usageCount, 1u);
    EXPECT_EQ(c.state.instruments.size(), 2u) << "both regions had a voice";
}

TEST(SongCompiler, VoiceFreedAtItsFirstTickIsNotFreedAgainWhenItsNoteDies) {
    // The first note is released at once and dies 0.5 s (96 ticks) later; by then voice 0
    // plays channel 2's note, which must keep it.
    const Compiled c = compile({noteOn(0, 0, 60), noteOff(0, 0, 60), noteOn(1, 1, 62),
                                controller(150, 3, 7, 100), noteOn(1, 2, 64)});
    const auto kills = c.of({event::kVChKill, event::kMChKill});
    ASSERT_EQ(kills.size(), 1u);
    EXPECT_EQ(kills[0].type, event::kMChKill);
    EXPECT_EQ(kills[0].voice, 0) << "channel 1";
    const auto ons = noteOns(c.song());
    ASSERT_EQ(ons.size(), 3u);
    EXPECT_EQ(ons[1].voice, 0);
    EXPECT_EQ(ons[2].voice, 1);
}

TEST(SongCompiler, PitchBendAsDeltaOrAbsolutePitch) {
    const std::vector<MidiEvent> octaveRange = {controller(0, 0, 101, 0), controller(0, 0, 100, 0),
                                                controller(0, 0, 6, 12)};
    struct Case {
        bool octaveBend;
        int bend;
        std::uint16_t type;
        int pitch;
    };
    for (const Case& c : {Case{false, -8192, event::kDeltaP, 228}, // two semitones down: -28
                          Case{true, -8192, event::kSetPch, 128},  // an octave: -128
                          Case{true, -4096, event::kDeltaP, 181}}) {
        std::vector<MidiEvent> events = c.octaveBend ? octaveRange : std::vector<MidiEvent>{};
        events.insert(events.end(),
                      {noteOn(0, 0, 60), pitchBend(10, 0, c.bend), noteOff(10, 0, 60)});
        const Compiled compiled = compile(events);
        const auto pitch = compiled.of({event::kDeltaP, event::kSetPch});
        ASSERT_EQ(pitch.size(), 1u) << c.bend;
        EXPECT_EQ(pitch[0].type, c.type) << c.bend;
        EXPECT_EQ(pitch[0].time, 10u);
        const int reached = c.type == event::kSetPch
                                ? static_cast<int>(pitch[0].value)
                                : pitch[0].previousPitch + pitch[0].pitchChange();
        EXPECT_EQ(reached, c.pitch);
        EXPECT_EQ(compiled.state.dls.waves[0].noteOffset, -128) << "played at varying pitch";
    }
}

TEST(SongCompiler, BentChannelGivesNewNotesTheirPitchAtOnce) {
    const Compiled c = compile({pitchBend(0, 0, 8191), noteOn(0, 0, 60), noteOff(10, 0, 60)});
    const auto pitch = c.of({event::kDeltaP});
    ASSERT_EQ(pitch.size(), 1u);
    EXPECT_EQ(pitch[0].time, 0u);
    EXPECT_EQ(256 + pitch[0].pitchChange(), voicePitch(60, 60, 8191 * 2.0 / 98304));
}

// Six notes, three of them on channel 2, each a tick after the other; then channel 2 asks for
// a fourth voice.
std::vector<MidiEvent> sixBusyVoices() {
    return {noteOn(0, 1, 63), noteOn(1, 0, 60), noteOn(1, 1, 64),
            noteOn(1, 0, 61), noteOn(1, 1, 65), noteOn(1, 0, 62)};
}

TEST(SongCompiler, ChannelAtItsLimitTakesItsOwnVoice) {
    std::vector<MidiEvent> events = sixBusyVoices();
    events.push_back(noteOff(1, 1, 64)); // voice 2 released, still sounding
    events.push_back(noteOn(1, 1, 66));
    Compiled c = compile(events);
    auto ons = noteOns(c.song());
    ASSERT_EQ(ons.size(), 7u);
    EXPECT_EQ(ons[6].voice, 2);
    EXPECT_EQ(ons[6].stealMode, 1);

    events = sixBusyVoices();
    events.push_back(noteOn(2, 1, 66));
    c = compile(events);
    ons = noteOns(c.song());
    ASSERT_EQ(ons.size(), 7u);
    EXPECT_EQ(ons[6].voice, 0) << "the channel's oldest voice";
    EXPECT_EQ(ons[6].stealMode, 2);
}

TEST(SongCompiler, NoteOfLowerPriorityThanEveryVoiceIsSkipped) {
    CompilerState state = bank();
    std::vector<MidiEvent> events;
    for (int key = 60; key < 66; ++key)
        events.push_back(noteOn(1, 0, key));
    events.push_back(noteOn(1, 1, 70));
    events.push_back(noteOff(1, 1, 70));
    state.songs.push_back(midiSong(events));
    state.songs[0].settings.channelPriority[0] = 5;
    const SongRun run = compileOnly(state);
    const Song& song = state.songs[0];
    const auto skipped = eventsOfType(song, {event::kNSkip, event::kNOffLost});
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[0].type, event::kNSkip);
    EXPECT_EQ(skipped[0].voice, 1) << "log events name the channel";
    EXPECT_EQ(skipped[0].value, 70u);
    EXPECT_EQ(skipped[1].type, event::kNOffLost);
    EXPECT_EQ(noteOns(song).size(), 6u);
    EXPECT_EQ(song.compiled.notesSkipped, 1u);
    EXPECT_THAT(run.output, HasSubstr("    + Notes skipped due to priority encoding: 1\n"));
}

TEST(SongCompiler, NoteOffWithoutSoundingNoteIsOnlyLogged) {
    const Compiled c = compile({noteOn(0, 0, 60), noteOff(10, 0, 61)});
    const auto& events = c.song().compiled.events;
    ASSERT_EQ(events.size(), 4u); // SetTim, NoteOn, NOffSkp, End
    EXPECT_EQ(events[2].type, event::kNOffNone);
    EXPECT_EQ(events[2].value, 61u);
    EXPECT_TRUE(noteOffs(c.song()).empty());
}

TEST(SongCompiler, RhythmPartSwitchChangesTheChannelsMode) {
    const std::vector<std::uint8_t> melodic10 = {0x0A, 0x41, 0x10, 0x42, 0x12,
                                                 0x40, 0x10, 0x15, 0x00, 0x1B};
    const std::vector<std::uint8_t> drum1 = {0x0A, 0x41, 0x10, 0x42, 0x12,
                                             0x40, 0x11, 0x15, 0x01, 0x19};
    std::vector<std::uint8_t> otherDevice = drum1;
    otherDevice[2] = 0x7F; // all devices: not the message the compiler knows
    otherDevice[6] = 0x13; // part 3
    const Compiled c = compile({sysex(0, melodic10), sysex(0, drum1), sysex(0, otherDevice),
                                noteOn(0, 9, 60), noteOn(0, 0, 36), noteOn(0, 2, 36)});
    EXPECT_THAT(c.run.output, HasSubstr("    + Channel 10 switched to Melodic mode\n"
                                        "    + Channel 1 switched to Drum mode\n"
                                        "    + Volume"));
    const auto ons = noteOns(c.song());
    ASSERT_EQ(ons.size(), 3u);
    EXPECT_FALSE(ons[0].drum);
    EXPECT_EQ(c.state.instruments[ons[0].instrument].region, kLead);
    EXPECT_TRUE(ons[1].drum);
    EXPECT_EQ(c.state.instruments[ons[1].instrument].region, kKit);
    EXPECT_FALSE(ons[2].drum) << "only part messages for device 0x10 count";
}

TEST(SongCompiler, MaskedChannelIsIgnored) {
    CompilerState state = bank();
    state.songs.push_back(midiSong({programChange(0, 3, 1), controller(0, 3, 7, 10),
                                    noteOn(0, 3, 60), noteOn(5, 0, 62), noteOff(5, 3, 60)}));
    state.songs[0].settings.channelMask[3] = 0;
    compileOnly(state);
    const auto ons = noteOns(state.songs[0]);
    ASSERT_EQ(ons.size(), 1u);
    EXPECT_EQ(ons[0].midiChannel, 0);
    EXPECT_EQ(ons[0].time, 0u) << "a masked note is not the first note";
    EXPECT_TRUE(eventsOfType(state.songs[0], {event::kNOffNone}).empty());
}

TEST(SongCompiler, LoudestEventOfTheSongGets124) {
    const Compiled c =
        compile({controller(0, 0, 7, 50), noteOn(0, 0, 60, 80), controller(10, 0, 7, 90),
                 controller(10, 0, 11, 60), noteOff(10, 0, 60)});
    // 80 + 50 + 127 = 257, then 80 + 90 + 127 = 297, then 80 + 90 + 60 = 230.
    EXPECT_THAT(c.run.output, HasSubstr("    + Volume adjustment coefficient: +84\n"));
    const auto volumes = c.of({0x3C, event::kSetVol});
    ASSERT_EQ(volumes.size(), 3u);
    EXPECT_EQ(volumes[0].value, 84u);  // 257 + 127 - 297 = 87, low bits cleared
    EXPECT_EQ(volumes[1].value, 124u); // the loudest
    EXPECT_EQ(volumes[2].value, 60u);
    EXPECT_EQ(c.song().compiled.largestVolume, 297u);
}

TEST(SongCompiler, SixtySixthHeldNoteIsDroppedWithAWarning) {
    std::vector<MidiEvent> events;
    for (int key = 20; key < 20 + 65; ++key)
        events.push_back(noteOn(1, 0, key));
    events.push_back(noteOn(1, 0, 90));
    Compiled c = compile(events);
    ASSERT_TRUE(c.run.outcome.goesOn());
    EXPECT_THAT(c.run.output,
                HasSubstr("  + WARN: Channel 1 holds 65 notes, none released: note 90 dropped\n"));
    auto ons = noteOns(c.song());
    EXPECT_EQ(ons.size(), 65u);
    EXPECT_NE(ons.back().type, 90);

    // With a released note among them its record is reused.
    events.insert(events.end() - 1, noteOff(1, 0, 30));
    c = compile(events);
    EXPECT_THAT(c.run.output, Not(HasSubstr("WARN")));
    ons = noteOns(c.song());
    ASSERT_EQ(ons.size(), 66u);
    EXPECT_EQ(ons.back().type, 90);
}

TEST(SongCompiler, NoteAgesSaturateAndReleasesStillEnd) {
    CompilerState state = bank();
    DlsRegion& lead = state.dls.regions[kLead];
    lead.articulation.eg1.attackRaw = rawSeconds(100);
    lead.articulation.eg1.decayRaw = rawSeconds(1);
    lead.articulation.eg1.sustainPercent = 50;
    lead.articulation.eg1.releaseRaw = rawSeconds(1);
    // 192 ticks a second. After 70000 ticks the note has passed its 100 s attack (an age that
    // wrapped would put it back at 23 s into it) and sits at its sustain of 50 %, so its
    // release lasts 0.5 s: 96 ticks.
    const Compiled c =
        compile(std::move(state), {noteOn(0, 0, 60), noteOff(70000, 0, 60),
                                   controller(60, 1, 7, 100), controller(37, 1, 7, 100)});
    ASSERT_TRUE(c.run.outcome.goesOn()) << c.run.output;
    const auto kills = c.of({event::kVChKill});
    ASSERT_EQ(kills.size(), 1u);
    EXPECT_EQ(kills[0].time, 70097u);
}

TEST(SongCompiler, DecayedNoteFreesItsVoiceAndItsNoteOffFindsNothing) {
    CompilerState state = bank();
    DlsRegion& lead = state.dls.regions[kLead];
    lead.articulation.eg1.decayRaw = rawSeconds(0.1);
    lead.articulation.eg1.sustainPercent = 0;
    const Compiled c = compile(std::move(state),
                               {noteOn(0, 0, 60), controller(96, 1, 7, 100), noteOff(10, 0, 60)});
    const auto logged = c.of({event::kVChKill, event::kNOffNone});
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0].type, event::kVChKill);
    EXPECT_EQ(logged[0].time, 96u);
    EXPECT_EQ(logged[0].midiChannel, 0);
    EXPECT_EQ(logged[1].type, event::kNOffNone);
    EXPECT_TRUE(noteOffs(c.song()).empty());
}

TEST(SongCompiler, UnloopedDrumEndsWithItsSample) {
    // The drum wave lasts 0.2 s at its unity note: 38.4 ticks at 192 ticks a second.
    const Compiled c =
        compile({noteOn(0, 9, 60), controller(38, 1, 7, 100), controller(1, 1, 7, 100)});
    const auto kills = c.of({event::kVChKill});
    ASSERT_EQ(kills.size(), 1u);
    EXPECT_EQ(kills[0].time, 39u);
}

TEST(SongCompiler, NegativeSustainIsADataError) {
    CompilerState state = bank();
    state.dls.regions[kLead].articulation.eg1.decayRaw = rawSeconds(0.01);
    state.dls.regions[kLead].articulation.eg1.sustainPercent = -10;
    const Compiled c = compile(std::move(state), {noteOn(0, 0, 60), noteOff(96, 0, 60)});
    EXPECT_EQ(c.run.outcome.exitCode(), Outcome::kDataError);
    EXPECT_THAT(c.run.output,
                HasSubstr("    + ERR: negative envelope level of 'Lead' (sustain -10.00%)\n"));
}

TEST(SongCompiler, RetriggeredNoteCutsTheHeldOneUnlessNonExclusive) {
    Compiled c = compile({noteOn(0, 0, 60), noteOn(10, 0, 60), noteOff(10, 0, 60)});
    auto offs = noteOffs(c.song());
    ASSERT_EQ(offs.size(), 2u);
    EXPECT_TRUE(offs[0].forced);
    EXPECT_EQ(offs[0].time, 10u);
    EXPECT_EQ(offs[0].voice, 0);
    EXPECT_FALSE(offs[1].forced);
    EXPECT_EQ(offs[1].voice, 1) << "the note-off releases the newer note";

    CompilerState state = bank();
    state.dls.regions[kLead].nonExclusive = true;
    c = compile(std::move(state), {noteOn(0, 0, 60), noteOn(10, 0, 60), noteOff(10, 0, 60)});
    offs = noteOffs(c.song());
    ASSERT_EQ(offs.size(), 1u);
    EXPECT_EQ(offs[0].voice, 0) << "the oldest held note of the key is released";
}

TEST(SongCompiler, VibratoFollowsTheLfoBetweenEvents) {
    CompilerState state = bank();
    Articulation& art = state.dls.regions[kLead].articulation;
    art.lfoToPitchCents = 100;
    art.lfoFrequencyHz = 2;
    art.lfoStartDelaySeconds = 0;
    const Compiled c = compile(std::move(state), {noteOn(0, 0, 60), noteOff(192, 0, 60)});
    int pitch = 256;
    std::uint32_t changes = 0;
    for (const SongEvent& e : liveEvents(c.song())) {
        if (e.type != event::kDeltaP && e.type != event::kSetPch)
            continue;
        ASSERT_GT(e.time, 0u);
        ASSERT_LT(e.time, 192u);
        pitch = e.type == event::kSetPch ? static_cast<int>(e.value) : pitch + e.pitchChange();
        const double t = e.time / 192.0;
        EXPECT_EQ(pitch, voicePitch(60, 60, std::sin(2 * std::numbers::pi * 2 * t) / 12)) << e.time;
        ++changes;
    }
    EXPECT_GT(changes, 50u) << "a semitone of vibrato moves the pitch often";
    EXPECT_EQ(c.state.dls.waves[0].noteOffset, -128);
}

TEST(SongCompiler, OriginKeyRemapAndMissingRegions) {
    CompilerState state = bank();
    Song song = midiSong({programChange(0, 0, 7), noteOn(0, 0, 40), noteOff(10, 0, 40),
                          programChange(0, 0, 40), noteOn(0, 0, 60)});
    RegionRemap remap;
    remap.name = "seven";
    remap.program = 7;
    remap.target = kPad;
    remap.originKey = 36;
    song.regionRemaps.push_back(remap);
    state.songs.push_back(song);
    const SongRun run = compileOnly(state);
    const auto ons = noteOns(state.songs[0]);
    ASSERT_EQ(ons.size(), 1u);
    EXPECT_EQ(ons[0].type, 64) << "key 40 is 4 above the origin key: unity 60 + 4";
    EXPECT_EQ(state.dls.waves[1].noteOffset, -4);
    ASSERT_EQ(noteOffs(state.songs[0]).size(), 1u) << "the note-off of key 40 finds the note";
    EXPECT_THAT(run.output, HasSubstr("  + WARN: Sample not found for MEL:0:40 (60/100), remap "
                                      "it!\n"));
    const auto& usage = state.songs[0].compiled.usage;
    ASSERT_EQ(usage.size(), 1u);
    EXPECT_FALSE(usage[0].sourceRegion.has_value()) << "program 7 has no region of its own";
    EXPECT_EQ(usage[0].usedRegion, kPad);
    EXPECT_EQ(state.songs[0].compiled.channelUsage[0].size(), 1u);
}

TEST(SongCompiler, HighKeysAreCountedAndDropped) {
    const Compiled c = compile({noteOn(0, 0, 109), noteOn(5, 0, 108)});
    EXPECT_EQ(c.state.highNotesSkipped, 1u);
    const auto ons = noteOns(c.song());
    ASSERT_EQ(ons.size(), 1u);
    EXPECT_EQ(ons[0].type, 108);
    EXPECT_EQ(ons[0].time, 0u) << "a dropped high note does not end the leading silence";
}

TEST(SongCompiler, OverlongSongIsADataError) {
    Compiled c = compile({noteOn(0, 0, 60), noteOff(kMaxSongTicks, 0, 60), noteOn(1, 0, 60)});
    EXPECT_EQ(c.run.outcome.exitCode(), Outcome::kDataError);
    EXPECT_THAT(c.run.output, HasSubstr("    + ERR: song longer than 16777216 ticks\n"));
}

} // namespace
} // namespace telmira::compiler
