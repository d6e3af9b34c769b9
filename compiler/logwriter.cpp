// The event log: every compiled event of every song, superseded ones marked.
#include "compiler/outputfile.h"
#include "compiler/writers.h"

namespace telmira::compiler {

namespace {

unsigned u(std::uint64_t value) {
    return static_cast<unsigned>(value);
}

void logEvent(Console& text, const CompilerState& state, const SongEvent& e) {
    text.write(e.removed ? "- " : "+ ");
    const unsigned time = e.time;
    const unsigned delta = e.delta;
    const unsigned voice = e.voice;
    const unsigned key = e.value & 0xFF;
    if (event::isNoteOn(e.type)) {
        text.print("%08x : %04u : %u : NoteOn  : %02x : %02x : %02x : %02x : %s : mch=%02u : "
                   "md=%u\n",
                   time, delta, voice, u(e.type), u(e.instrument), u(e.velocity), u(e.value),
                   e.drum ? "Drm" : "Mel", u(e.midiChannel), u(e.stealMode));
    } else if (event::isNoteOff(e.type)) {
        text.print("%08x : %04u : %u : NoteOff : %s\n", time, delta, u(e.type - event::kNoteOff),
                   e.forced ? "Forced" : "Norm");
    } else {
        switch (e.type) {
        case event::kDeltaP:
            text.print("%08x : %04u : %u : DeltaP  : %02i\n", time, delta, voice,
                       static_cast<int>(e.pitchChange()));
            break;
        case event::kMChKill:
            text.print("%08x : %04u :   : MChKill : mch=%02u/%02x : By vol==0, non-playing note\n",
                       time, delta, voice, key);
            break;
        case event::kNOffLost:
            text.print("%08x : %04u :   : NOffSkp : mch=%02u/%02x : By priority or LRU\n", time,
                       delta, voice, key);
            break;
        case event::kNSkip:
            text.print("%08x : %04u :   : NSkip   : mch=%02u/%02x : By priority\n", time, delta,
                       voice, key);
            break;
        case event::kNOffNone:
            text.print("%08x : %04u :   : NOffSkp : mch=%02u/%02x : By fExclusive or vol==0\n",
                       time, delta, voice, key);
            break;
        case event::kVChKill:
            text.print("%08x : %04u : %u : VChKill : mch=%02u/%02x : By vol==0\n", time, delta,
                       voice, u(e.midiChannel), key);
            break;
        case event::kSetPch:
            text.print("%08x : %04u : %u : SetPch  : %04x\n", time, delta, voice, u(e.value));
            break;
        case event::kSetVol:
            text.print("%08x : %04u : %u : SetVol  : %02x\n", time, delta, voice, u(e.value));
            break;
        case event::kEnd:
            text.print("%08x : %04u :   : End\n", time, delta);
            break;
        case event::kSetTim:
            text.print("%08x : %04u :   : SetTim  : %u : %.2f Hz\n", time, delta, u(e.timing()),
                       static_cast<double>(state.timeBase) / e.timing());
            break;
        default:
            text.print("%08x : %04u : %u : Unknown : %u\n", time, delta, voice, u(e.type));
            break;
        }
    }
}

} // namespace

Outcome writeLog(CompilerState& state, Console& out, const std::string& path) {
    out.print("Writing MIDI log '%s'\n", path.c_str());
    std::string body;
    Console text(body);
    for (const Song& song : state.songs) {
        text.print("-------- %s -----------\n", song.path.c_str());
        for (const SongEvent& e : song.compiled.events)
            logEvent(text, state, e);
    }
    const Outcome saved = saveOutput(out, path, textModeBytes(body));
    if (saved.goesOn())
        out.print("  + Done\n");
    return saved;
}

} // namespace telmira::compiler
