// The song compiler's parts as tables: same-tick rules of the event list, voice allocation,
// region resolution, envelopes and pitch.
#include "compiler/envelope.h"
#include "compiler/eventlist.h"
#include "compiler/regions.h"
#include "compiler/voices.h"
#include "tests/compiler/songtest.h"

#include <gtest/gtest.h>

#include <cmath>

namespace telmira::compiler {
namespace {

// ---- same-tick rules ------------------------------------------------------------------------

struct Spec {
    std::uint16_t type;
    std::uint16_t voice = 0;
    std::uint32_t value = 0;
    std::uint16_t previousPitch = 0;
    std::int32_t wave = -1;
};

struct SameTickCase {
    const char* name;
    std::vector<Spec> earlier; // appended at tick 5, in this order
    Spec last;                 // appended at tick 5 after them
    std::vector<bool> removed; // of the earlier ones
    std::uint16_t lastType;
    std::uint32_t lastValue;
    std::uint16_t lastPrevious = 0;
};

SongEvent make(const Spec& spec) {
    SongEvent e;
    e.type = spec.type;
    e.voice = spec.voice;
    e.value = spec.value;
    e.previousPitch = spec.previousPitch;
    e.wave = spec.wave;
    return e;
}

TEST(EventListSameTick, LaterEventsSupersedeEarlierOnes) {
    using namespace event;
    const std::vector<SameTickCase> cases = {
        {"note-on cancels its voice's orders",
         {{kSetVol, 0, 90},
          {kDeltaP, 0, 5, 256},
          {kSetPch, 0, 300},
          {kNoteOff, 0},
          {60, 0, 99},
          {kSetVol, 1, 80},
          {kNoteOff + 1, 1}},
         {64, 0, 100},
         {true, true, true, true, true, false, false},
         64,
         100},
        {"SetVol replaces its voice's SetVol",
         {{kSetVol, 1, 10}, {kSetVol, 2, 20}},
         {kSetVol, 1, 30},
         {true, false},
         kSetVol,
         30},
        {"SetTim replaces SetTim", {{kSetTim, 0, 0}}, {kSetTim, 0, 0}, {true}, kSetTim, 0},
        {"NoteOff replaces the identical NoteOff",
         {{kNoteOff + 2, 2}, {kNoteOff + 3, 3}},
         {kNoteOff + 2, 2},
         {true, false},
         kNoteOff + 2,
         0},
        {"SetPch replaces pitch events of its voice",
         {{kDeltaP, 0, 5, 256}, {kSetPch, 1, 400}},
         {kSetPch, 0, 300},
         {true, false},
         kSetPch,
         300},
        {"DeltaP after SetPch becomes SetPch",
         {{kSetPch, 4, 300}},
         {kDeltaP, 4, 5, 300},
         {true},
         kSetPch,
         305},
        {"DeltaP after SetPch, downwards",
         {{kSetPch, 4, 300}},
         {kDeltaP, 4, 0xF6, 300},
         {true},
         kSetPch,
         290},
        {"two DeltaPs add up",
         {{kDeltaP, 0, 50, 200}},
         {kDeltaP, 0, 0xEC, 250},
         {true},
         kDeltaP,
         30,
         200},
        {"two DeltaPs beyond a byte become SetPch",
         {{kDeltaP, 0, 100, 200}},
         {kDeltaP, 0, 100, 300},
         {true},
         kSetPch,
         400},
        {"other voices are left alone",
         {{kDeltaP, 1, 50, 200}, {kSetVol, 1, 5}},
         {kDeltaP, 0, 3, 256},
         {false, false},
         kDeltaP,
         3,
         256},
        {"log-only events stay",
         {{kVChKill, 0, 60}, {kNSkip, 0, 61}},
         {60, 0, 100},
         {false, false},
         60,
         100},
    };
    for (const SameTickCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<SongEvent> events;
        std::vector<DlsWave> waves;
        EventList list(events, waves);
        list.append(make({kSetTim}), 0);
        for (const Spec& spec : c.earlier)
            list.append(make(spec), 5);
        list.append(make(c.last), 5);
        ASSERT_EQ(events.size(), c.earlier.size() + 2);
        for (std::size_t i = 0; i < c.removed.size(); ++i)
            EXPECT_EQ(events[i + 1].removed, c.removed[i]) << "earlier event " << i;
        EXPECT_FALSE(events[0].removed) << "an event of an earlier tick";
        const SongEvent& last = events.back();
        EXPECT_FALSE(last.removed);
        EXPECT_EQ(last.type, c.lastType);
        EXPECT_EQ(last.value, c.lastValue);
        if (last.type == kDeltaP) {
            EXPECT_EQ(last.previousPitch, c.lastPrevious);
        }
        EXPECT_EQ(last.time, 5u);
        EXPECT_EQ(last.delta, 0u);
        EXPECT_EQ(events[1].delta, 5u);
    }
}

TEST(EventListSameTick, RemovedNoteOnStopsCountingForItsWave) {
    std::vector<SongEvent> events;
    std::vector<DlsWave> waves(2);
    EventList list(events, waves);
    list.append(make({60, 0, 300, 0, 0}), 7);
    list.append(make({62, 1, 100, 0, 0}), 7);
    EXPECT_EQ(waves[0].usageCount, 2u);
    list.append(make({64, 0, 120, 0, 1}), 7);
    EXPECT_TRUE(events[0].removed);
    EXPECT_EQ(waves[0].usageCount, 1u);
    EXPECT_EQ(waves[1].usageCount, 1u);
    list.append(make({64, 0, 50, 0, 1}), 8); // a later tick supersedes nothing
    EXPECT_FALSE(events[2].removed);
    EXPECT_EQ(waves[1].usageCount, 2u);
    EXPECT_EQ(list.largestVolume(), 300u) << "removed events still count for the volume";
}

// ---- voice allocation -----------------------------------------------------------------------

struct AllocationCase {
    const char* name;
    std::array<VoiceView, kVoices> voices; // busy, channel, age, released, priority
    VoiceRequest request;                  // channel, priority, limit
    std::optional<int> voice;
    StealMode mode = StealMode::Free;
};

TEST(VoiceAllocation, ChoosesByFreedomLimitAgeAndPriority) {
    const VoiceView f{};
    const auto b = [](int channel, std::uint32_t age, bool released = false, int priority = 0) {
        return VoiceView{true, channel, age, released, priority};
    };
    const std::vector<AllocationCase> cases = {
        {"lowest free voice", {b(0, 9), b(0, 9), b(0, 9), f, b(0, 9), f}, {1, 0, 3}, 3},
        {"free voice even beyond the channel's limit",
         {b(2, 1), b(2, 1), b(2, 1), b(0, 1), b(0, 1), f},
         {2, 0, 3},
         5},
        {"at the limit: own oldest released",
         {b(0, 90, true), b(2, 10, true), b(0, 9), b(2, 20), b(2, 5, true), b(1, 99)},
         {2, 0, 3},
         1,
         StealMode::OwnReleased},
        {"at the limit, none released: own oldest",
         {b(0, 90, true), b(2, 10), b(0, 9), b(2, 20), b(2, 5), b(1, 99)},
         {2, 0, 3},
         3,
         StealMode::OwnOldest},
        {"equal ages go to the higher voice",
         {b(2, 10, true), b(2, 10, true), b(0, 9), b(2, 10, true), b(1, 9), b(1, 9)},
         {2, 0, 3},
         3,
         StealMode::OwnReleased},
        {"below the limit: any oldest released",
         {b(0, 9), b(1, 40, true), b(1, 50, true), b(3, 1), b(4, 60), b(5, 2)},
         {2, 0, 3},
         2,
         StealMode::AnyReleased},
        {"below the limit, none released: oldest of the lowest priority",
         {b(0, 50, false, 1), b(1, 10), b(1, 30), b(3, 70, false, 2), b(4, 30), b(5, 5, false, 1)},
         {2, 0, 3},
         4,
         StealMode::LowestPriority},
        {"a note of lower priority than every voice is dropped",
         {b(0, 9, false, 2), b(1, 9, false, 3), b(1, 9, false, 3), b(3, 9, false, 2),
          b(4, 9, false, 5), b(5, 9, false, 2)},
         {2, 1, 3},
         std::nullopt},
        {"equal priority may steal",
         {b(0, 9, false, 2), b(1, 19, false, 3), b(1, 9, false, 3), b(3, 8, false, 2),
          b(4, 9, false, 5), b(5, 7, false, 2)},
         {2, 2, 3},
         0,
         StealMode::LowestPriority},
        {"limit 0 and no own voice",
         {b(0, 9), b(0, 9), b(0, 9), b(0, 9), b(0, 9), b(0, 9)},
         {2, 9, 0},
         std::nullopt},
    };
    for (const AllocationCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto choice = allocateVoice(c.voices, c.request);
        ASSERT_EQ(choice.has_value(), c.voice.has_value());
        if (choice) {
            EXPECT_EQ(choice->voice, *c.voice);
            EXPECT_EQ(choice->mode, c.mode);
        }
    }
}

// ---- region resolution ----------------------------------------------------------------------

DlsRegion region(const char* name, int program, int bank, bool drum, int keyLow, int keyHigh,
                 int velocityHigh = 127) {
    DlsRegion r = test::testRegion(name, program, 0, drum, bank);
    r.keyLow = static_cast<std::uint16_t>(keyLow);
    r.keyHigh = static_cast<std::uint16_t>(keyHigh);
    r.velocityHigh = static_cast<std::uint16_t>(velocityHigh);
    return r;
}

DlsBank resolutionBank() {
    DlsBank bank;
    bank.regions = {
        region("Piano", 0, 0, false, 0, 127),         region("Bright", 1, 0, false, 0, 63),
        region("BrightHi", 1, 0, false, 64, 127, 63), region("Var", 1, 8, false, 0, 127),
        region("Organ", 16, 5, false, 0, 127),        region("Kit", 0, 0, true, 35, 81),
        region("Room", 8, 0, true, 35, 40),
    };
    bank.waves.resize(1);
    return bank;
}

struct ResolutionCase {
    const char* name;
    NoteRequest note; // channel, bank, program, drum, key, velocity
    std::optional<std::size_t> source;
    std::optional<std::size_t> region;
    bool autoRemap;
};

TEST(RegionResolution, FallsBackFromBankToBankZeroToAnyBank) {
    const DlsBank bank = resolutionBank();
    const Song song;
    const std::vector<ResolutionCase> cases = {
        {"exact", {0, 0, 0, false, 60, 100}, 0, 0, false},
        {"exact in another bank", {0, 8, 1, false, 70, 100}, 3, 3, false},
        {"missing bank: bank 0", {0, 3, 1, false, 30, 100}, 1, 1, true},
        {"velocity out of range: any bank", {0, 0, 1, false, 70, 100}, 3, 3, true},
        {"program only in another bank", {0, 0, 16, false, 60, 100}, 4, 4, true},
        {"unknown drum kit: the standard kit", {9, 0, 25, true, 36, 100}, 5, 5, true},
        {"drum kit of its own", {9, 0, 8, true, 36, 100}, 6, 6, false},
        {"drum key without sound", {9, 0, 0, true, 90, 100}, std::nullopt, std::nullopt, true},
        {"unknown program", {0, 0, 40, false, 60, 100}, std::nullopt, std::nullopt, true},
        {"melodic never plays a drum region",
         {0, 0, 8, false, 36, 100},
         std::nullopt,
         std::nullopt,
         true},
    };
    for (const ResolutionCase& c : cases) {
        SCOPED_TRACE(c.name);
        const NoteResolution r = resolveNote(song, bank, c.note);
        EXPECT_EQ(r.source, c.source);
        EXPECT_EQ(r.region, c.region);
        EXPECT_EQ(r.autoRemap, c.autoRemap);
    }
}

TEST(RegionResolution, RemapsAndVolumeAdjustments) {
    const DlsBank bank = resolutionBank();
    Song song;
    song.programRemaps = {{kAny, 0, 5, 16}};
    RegionRemap high;
    high.name = "high";
    high.program = 1;
    high.keyLow = 60;
    high.keyHigh = 70;
    high.target = 0;
    high.originKey = 48;
    RegionRemap kick;
    kick.name = "kick";
    kick.drum = true;
    kick.keyLow = kick.keyHigh = 36;
    kick.target = 6;
    song.regionRemaps = {high, kick};
    song.instrumentVolumes = {{kAny, 0, kAny, 10}, {0, 0, 38, -20}};
    song.settings.channelVolumes = {{9, 4}, {0, -3}};

    // The program remap moves the melodic program 0 to bank 5 program 16; the source stays.
    NoteResolution r = resolveNote(song, bank, {0, 0, 0, false, 60, 100});
    EXPECT_EQ(r.source, 0u);
    EXPECT_EQ(r.region, 4u);
    EXPECT_EQ(r.bank, 5);
    EXPECT_EQ(r.program, 16);
    EXPECT_FALSE(r.autoRemap);
    EXPECT_EQ(r.volumeAdjustment, 10 - 3) << "first instrument adjustment and the channel's";

    // A region remap within its key range, with its origin key.
    r = resolveNote(song, bank, {1, 0, 1, false, 65, 100});
    EXPECT_EQ(r.region, 0u);
    EXPECT_EQ(r.source, 3u);
    EXPECT_EQ(r.originKey, 48);
    EXPECT_EQ(resolveNote(song, bank, {1, 0, 1, false, 71, 100}).region, 3u);

    // Drum channels: no program remap; the instrument adjustment's key counts.
    r = resolveNote(song, bank, {9, 0, 0, true, 36, 100});
    EXPECT_EQ(r.region, 6u);
    EXPECT_EQ(r.program, 0);
    EXPECT_EQ(r.volumeAdjustment, 10 + 4);
    EXPECT_EQ(resolveNote(song, bank, {9, 0, 0, true, 37, 100}).region, 5u);
}

TEST(RegionResolution, UsageRecordsMergeBySourceRegionOrSourceProgram) {
    std::vector<UsageRecord> records;
    const auto add = [&](std::optional<std::size_t> source, NoteRequest note) {
        NoteResolution r;
        r.source = source;
        r.region = source.value_or(4);
        recordUsage(records, r, note);
    };
    add(0, {0, 0, 0, false, 60, 100});
    add(0, {0, 0, 0, false, 72, 100}); // same source region
    add(std::nullopt, {0, 0, 40, false, 60, 100});
    add(std::nullopt, {0, 0, 40, false, 61, 100}); // melodic: the key does not matter
    add(std::nullopt, {9, 0, 40, true, 36, 100});
    add(std::nullopt, {9, 0, 40, true, 38, 100}); // drums: one record per key
    add(std::nullopt, {9, 0, 40, true, 36, 100});
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].key, 60);
    EXPECT_EQ(records[3].key, 38);
}

// ---- envelopes and pitch --------------------------------------------------------------------

TEST(Envelope, LevelThroughAttackDecaySustainAndRelease) {
    DlsRegion r = test::testRegion("R", 0, 0);
    r.articulation.eg1.sustainPercent = 40;
    NoteRecord note;
    note.eg1Attack = 1.0;
    note.eg1Decay = 2.0;
    const double tps = 100;
    struct Case {
        std::uint16_t age;
        double level;
        bool killable;
    };
    for (const Case& c : {Case{0, 0, false}, Case{50, 50, false}, Case{100, 100, false},
                          Case{200, 50, true}, Case{250, 40, true}, Case{60000, 40, true}}) {
        note.age = c.age;
        const EnvelopeLevel level = noteLevel(note, r, nullptr, tps);
        EXPECT_NEAR(level.percent, c.level, 1e-9) << "age " << c.age;
        EXPECT_EQ(level.killable, c.killable) << "age " << c.age;
    }

    note.level = 40;
    releaseEnvelope(note, r.articulation);
    EXPECT_NEAR(note.releaseDuration, 0.5 * 0.4, 1e-6);
    note.ticksSinceRelease = 10;
    EXPECT_NEAR(noteLevel(note, r, nullptr, tps).percent, 20, 1e-3);
    note.ticksSinceRelease = 20;
    EXPECT_EQ(noteLevel(note, r, nullptr, tps).percent, 0);

    note.released = false;
    note.eg1Attack = 0;
    note.age = 0;
    EXPECT_EQ(noteLevel(note, r, nullptr, tps).percent, 100) << "no attack: full level at once";
}

TEST(Envelope, UnloopedSampleEndsTheNote) {
    DlsRegion r = test::testRegion("R", 0, 0);
    const DlsWave shortWave = test::testWave("S", 10000, 1000); // 0.1 s at its unity note
    NoteRecord note;
    note.eg1Attack = 10;
    note.playKey = 60;
    note.age = 10;
    EXPECT_FALSE(noteLevel(note, r, &shortWave, 100).killable);
    note.age = 11;
    EXPECT_EQ(noteLevel(note, r, &shortWave, 100).percent, 0);
    EXPECT_TRUE(noteLevel(note, r, &shortWave, 100).killable);
    note.playKey = 48; // an octave down plays twice as long
    EXPECT_FALSE(noteLevel(note, r, &shortWave, 100).killable);
    const DlsWave looped = test::testWave("L", 10000, 1000, 100);
    note.playKey = 60;
    note.age = 5000;
    EXPECT_EQ(noteLevel(note, r, &looped, 100).percent, 100) << "a looped wave goes on";
}

TEST(Pitch, KeyBendAndModulationAsPlaybackRate) {
    EXPECT_EQ(voicePitch(60, 60, 0), 256);
    EXPECT_EQ(voicePitch(72, 60, 0), 512);
    EXPECT_EQ(voicePitch(48, 60, 0), 128);
    EXPECT_EQ(voicePitch(60, 60, 2.0 / 12), 287); // 256 x 2^(1/6) = 287.35
    EXPECT_EQ(voicePitch(127, 0, 0), 65535) << "held at the largest value, not wrapped";
    EXPECT_EQ(voicePitch(0, 127, -20), 0);
}

TEST(Pitch, VibratoAndPitchEnvelope) {
    Articulation art;
    art.lfoFrequencyHz = 5;
    art.lfoStartDelaySeconds = 0.1;
    art.lfoToPitchCents = 60;
    art.lfoToPitchByModWheelCents = 120;
    EXPECT_EQ(vibratoOctaves(art, 0, 0.1), 0) << "not before the delay has passed";
    EXPECT_NEAR(vibratoOctaves(art, 0, 0.15), 60.0 / 1200, 1e-12); // a quarter period in
    EXPECT_NEAR(vibratoOctaves(art, 16383, 0.15), 180.0 / 1200, 1e-12);

    art.eg2ToPitchCents = 1200;
    art.eg2.sustainPercent = 25;
    art.eg2.releaseSeconds = 1;
    NoteRecord note;
    note.eg2Attack = 0.5;
    note.eg2Decay = 1;
    double remembered = 0;
    EXPECT_NEAR(pitchEnvelopeOctaves(art, note, 0.25, 0, remembered), 0.5, 1e-12);
    EXPECT_NEAR(pitchEnvelopeOctaves(art, note, 1.0, 0, remembered), 0.5, 1e-12);
    EXPECT_NEAR(pitchEnvelopeOctaves(art, note, 3.0, 0, remembered), 0.25, 1e-12);
    note.released = true;
    EXPECT_NEAR(pitchEnvelopeOctaves(art, note, 9, 0.5, remembered), 0.125, 1e-12);
    art.eg2ToPitchCents = 0.05;
    EXPECT_EQ(pitchEnvelopeOctaves(art, note, 9, 0.5, remembered), 0) << "too shallow to count";
}

} // namespace
} // namespace telmira::compiler
