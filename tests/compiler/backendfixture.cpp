#include "tests/compiler/backendfixture.h"

namespace telmira::compiler::test {

namespace {

DlsRegion region(const std::string& name, std::uint32_t program, std::size_t wave, bool drum) {
    DlsRegion r;
    r.name = name;
    r.program = program;
    r.drum = drum;
    r.keyLow = drum ? 35 : 0;
    r.keyHigh = drum ? 36 : 127;
    r.velocityHigh = 127;
    r.unityNote = 60;
    r.wave = wave;
    r.used = true;
    return r;
}

UsedSample prepared(std::size_t wave, std::vector<std::int8_t> samples, std::int32_t loop,
                    bool longTerminator) {
    UsedSample sample;
    sample.wave = wave;
    dsp::PreparedWave p;
    p.samples = std::move(samples);
    p.loopValue = loop;
    p.longTerminator = longTerminator;
    sample.prepared = std::move(p);
    return sample;
}

} // namespace

CompilerState handBuiltCollection() {
    CompilerState state;
    state.dls.regions = {region("Piano", 0, 0, false), region("Kick", 0, 1, true),
                         region("Bass", 33, 2, false)};
    for (const char* name : {"pia", "kick", "bass"}) {
        DlsWave wave;
        wave.name = name;
        wave.used = true;
        wave.estimatedLength = 100;
        state.dls.waves.push_back(wave);
    }
    state.dls.waves[0].usageCount = 3;
    state.dls.waves[1].usageCount = 1;
    state.dls.waves[1].drum = true;
    state.usedSamples = {prepared(0, {1, 2, 3, 4, 5, 6, 7, 8}, -1024, false),
                         prepared(1, {10, -10, 5, 0, 0}, 0, true), prepared(2, {1, 1}, 0, true)};
    state.instruments = {{0, false}, {1, true}, {2, true}};

    Song midi;
    midi.path = "a.mid";
    midi.masterVolume = 144;
    midi.compiled.compiled = true;
    midi.data = {0x00, 0x02, 0x90, 0x01, 0x02, 0x03};
    UsageRecord piano;
    piano.sourceRegion = 0;
    piano.usedRegion = 0;
    UsageRecord kick;
    kick.sourceRegion = 1;
    kick.usedRegion = 1;
    kick.drum = true;
    kick.key = 35;
    UsageRecord remapped;
    remapped.usedRegion = 1;
    remapped.drum = true;
    remapped.key = 36;
    remapped.sourceProgram = 5;
    midi.compiled.channelUsage[0] = {piano};
    midi.compiled.channelUsage[9] = {remapped, kick};
    midi.compiled.usage = {piano, remapped, kick};
    state.songs.push_back(midi);

    Song ay;
    ay.kind = SongKind::Pt3;
    ay.path = "b.pt3";
    ay.data = {0x10, 0x00, 0x05, 0x20, 0x30};
    ay.relocations = {1};
    state.songs.push_back(ay);
    return state;
}

} // namespace telmira::compiler::test
