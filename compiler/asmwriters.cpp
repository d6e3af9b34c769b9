// The assembler texts for the firmware's build: instruments and samples, the songs' byte-code,
// the packed songs in one file or one file per song.
#include "compiler/bytecode.h"
#include "compiler/dsp/instrument_entry.h"
#include "compiler/outputfile.h"
#include "compiler/samples.h"
#include "compiler/writers.h"

#include <cmath>

namespace telmira::compiler {

namespace {

constexpr std::size_t kEntryBytes = 11; // eight common bytes, bank byte, sample label word
constexpr std::size_t kRow = 16;
constexpr double kRawPerCent = 65536.0;

const char* const kGenerator = "; Created by Midi2Zavra rev 1.0\n\n";

unsigned u(std::uint64_t value) {
    return static_cast<unsigned>(value);
}

void instrumentEntryText(Console& text, const CompilerState& state, std::size_t number) {
    const DlsRegion& region = state.dls.regions[state.instruments[number].region];
    const DlsWave* wave = regionWave(state, region);
    const std::string waveName = wave ? wave->name : "";
    const UsedSample* sample = wave ? usedSampleOf(state, *region.wave) : nullptr;
    const bool corrected = sample && sample->prepared->tuning.corrected;
    const auto b = instrumentEntry(state, number);
    const auto& eg1 = region.articulation.eg1;
    text.print(";#%02u B=%u P=%u KG=%u K=[%u..%u (%u)] V=[%u..%u] %s smp=%s name=%s\n\n", u(number),
               u(region.bank), u(region.program), u(region.keyGroup), u(region.keyLow),
               u(region.keyHigh), u(region.unityNote), u(region.velocityLow),
               u(region.velocityHigh), region.drum ? "Drum" : "Melodic", waveName.c_str(),
               region.name.empty() ? waveName.c_str() : region.name.c_str());
    text.print("\t.DB\t%02x\n", b[0]);
    text.print("\t.DB\t%02x\t\t; Sustain %.02f%%\n", b[1], eg1.sustainPercent);
    text.print("\t.DB\t%02x\t\t; V->A    %.02f cents\n", b[2],
               eg1.velocityToAttackRaw / kRawPerCent);
    text.print("\t.DB\t%02x\t\t; Attack  %.04fs\n", b[3], eg1.attackSeconds);
    text.print("\t.DB\t%02x\t\t; K->D    %.02f cents\n", b[4], eg1.keyToDecayRaw / kRawPerCent);
    text.print("\t.DB\t%02x\t\t; Decay   %.04fs\n", b[5], eg1.decaySeconds);
    text.print("\t.DB\t%02x\t\t; Release %.04fs\n", b[6], eg1.releaseSeconds);
    text.print(corrected ? "\t.DB\t%02x\t\t; Origin note %u (corrected)\n"
                         : "\t.DB\t%02x\t\t; Origin note %u\n",
               b[7], u(b[7]));
    text.print("\t.DB\t%02xh\n", state.sampleBank);
    text.print("\t.DW\t$%s\n\n", waveName.c_str());
}

// A sample's bytes in rows of sixteen, the two at the loop start marked with "h"; returns the
// bytes written, terminator included.
std::size_t sampleText(Console& text, const CompilerState& state, const dsp::PreparedWave& p) {
    const int offset = state.r101xp ? 0 : 64;
    const std::size_t count = dsp::writtenSampleCount(p.samples, p.loopValue);
    const double loopStart =
        std::floor(static_cast<double>(p.samples.size()) - 1 + p.loopValue / 256.0);
    for (std::size_t i = 0; i < count; ++i) {
        text.write(i % kRow == 0 ? "\n\t.DB\t" : ",");
        const bool marked = p.loopValue != 0 && (static_cast<double>(i) == loopStart ||
                                                 static_cast<double>(i) == loopStart + 1);
        text.print(marked ? "%02xh" : "%02x", static_cast<std::uint8_t>(p.samples[i] + offset));
    }
    text.write("\n");
    const auto end = dsp::sampleTerminator(p.loopValue, p.longTerminator,
                                           dsp::SampleContainer::AssemblerText, state.r101xp);
    const double loop = p.loopValue / 256.0;
    if (end.size() == 3) {
        text.print("\t.DB\t00,%02x,%02x ; %.2f\n\n", end[1], end[2], loop);
    } else {
        text.write("\t.DB\t80,80,80,80,80,80,80,80,08,07,06,05,04,03,02,01\n");
        text.print("\t.DB\t%02x,%02x,%02x ; %.2f\n\n", end[16], end[17], end[18], loop);
    }
    return count + end.size();
}

// Header, legend and songs table of the two song texts.
void songsHeader(Console& text, const CompilerState& state, const char* firstLine) {
    text.write(firstLine);
    text.write(kGenerator);
    text.write("; +----------------------+\n"
               "; | MIDI section begin   |\n"
               "; +----------------------+\n\n");
    text.write("; 0F7h <chn#> <vol>                    - set volume on channel\n"
               "; 0F8h                                 - End of song\n");
    text.print("; 0F9h <timing_byte>                   - Set timing resolution in 1/%.2f s\n",
               static_cast<double>(state.timeBase));
    text.write("; 0FAh..0FFh                           - Release note on channel 0..5\n"
               "; 080h..0F6h <chn#> <smp#> <vel> <vol> - Play note\n"
               "; 000h..07Fh                           - Delay\n\n");
    text.write("\t.RADIX\t16\n\n; --- Songs table ---\n\nwt_SONGS:\n\n");
    for (std::size_t n = 0; n < state.songs.size(); ++n)
        text.print("\t.DW\t$S%04u\t; %s\n\n", u(n), state.songs[n].path.c_str());
    text.write("\n; ----- Song data  -----\n");
}

// Packed bytes as "%02xh", sixteen to a row.
void packedBytes(Console& text, const std::vector<std::uint8_t>& data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        text.write(i % kRow == 0 ? "\t.DB\t" : ",");
        text.print("%02xh", data[i]);
        if (i % kRow == kRow - 1 || i + 1 == data.size())
            text.write("\n");
    }
}

} // namespace

Outcome writeSamplesAsm(CompilerState& state, Console& out, const std::string& path) {
    out.print("Writing samples in ASM format '%s'\n", path.c_str());
    std::string body;
    Console text(body);
    text.write("; Samples collection for Zavra\n");
    text.write(kGenerator);
    text.write("; +----------------------+\n"
               "; | DLS  section begin   |\n"
               "; +----------------------+\n\n"
               "\t.RADIX\t16\n\n"
               "; --- Instrument table ---\n"
               "\nwti_ISDRUM:\t.EQU\t08h\n"
               "wti_KD_SIGN:\t.EQU\t20h\n"
               "wti_VA_SIGN:\t.EQU\t10h\n\n"
               "\t.GLOBAL\twt_INSTRUMENTS\n"
               "wt_INSTRUMENTS:\n\n");
    std::size_t size = kEntryBytes * state.instruments.size();
    for (std::size_t i = 0; i < state.instruments.size(); ++i)
        instrumentEntryText(text, state, i);

    text.write("\n; ----- WaveTable data  -----\n\n");
    for (const UsedSample& sample : state.usedSamples) {
        text.print("$%s:", state.dls.waves[sample.wave].name.c_str());
        if (!playedSample(state, sample.wave)) {
            text.write(" ; !!!! Really not used !!!!\n");
            continue;
        }
        size += sampleText(text, state, *sample.prepared);
    }
    text.write("\n\t.RADIX\t10\n\n");
    const Outcome saved = saveOutput(out, path, textModeBytes(body));
    if (saved.goesOn())
        out.print("  + Overall samples size = %u\n  + Done\n", u(size));
    return saved;
}

Outcome writeSongsAsm(CompilerState& state, Console& out, const std::string& path) {
    out.print("Writing songs in ASM format '%s'\n", path.c_str());
    std::string body;
    Console text(body);
    songsHeader(text, state, "; Song collection for Zavra\n");
    for (std::size_t n = 0; n < state.songs.size(); ++n) {
        const Song& song = state.songs[n];
        text.print("\n$S%04u:\t; %s\n", u(n), song.path.c_str());
        const auto bytes = songByteCode(song.compiled.events);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            text.write(i % kRow == 0 ? "\n\t.DB\t" : ",");
            text.print("0%02x", bytes[i]);
        }
    }
    text.write("\n\n\t.RADIX\t10\n\n");
    const Outcome saved = saveOutput(out, path, textModeBytes(body));
    if (saved.goesOn())
        out.print("  + Done\n");
    return saved;
}

Outcome writePackedSongsAsm(CompilerState& state, Console& out, const std::string& path) {
    out.print("Writing packed songs in ASM format '%s'\n", path.c_str());
    std::string body;
    Console text(body);
    songsHeader(text, state, "; Packed Song collection for Zavra\n");
    for (std::size_t n = 0; n < state.songs.size(); ++n) {
        if (state.songs[n].data.empty())
            continue;
        text.print("\n$S%04u:\n", u(n));
        packedBytes(text, state.songs[n].data);
    }
    text.write("\n\t.RADIX\t10\n\n");
    const Outcome saved = saveOutput(out, path, textModeBytes(body));
    if (saved.goesOn())
        out.print("  + Done\n");
    return saved;
}

Outcome writePackedSongsMultiple(CompilerState& state, Console& out, const std::string& folder) {
    out.print("Writing packed songs in ASM multi-file format to '%s'\n", folder.c_str());
    const std::string prefix = folderPrefix(folder);
    for (std::size_t n = 0; n < state.songs.size(); ++n) {
        const Song& song = state.songs[n];
        if (song.data.empty())
            continue;
        std::string body;
        Console text(body);
        text.print("\t.RADIX\t16\n\n\nPT3M_S%04u:\t; %s\n\n$S%04u:\n", u(n), song.path.c_str(),
                   u(n));
        packedBytes(text, song.data);
        text.write("\n\t.RADIX\t10\n\n");
        char name[16];
        std::snprintf(name, sizeof name, "S%04u.AM", u(n));
        const Outcome saved = saveOutput(out, prefix + name, textModeBytes(body), folder);
        if (!saved.goesOn())
            return saved;
    }
    out.print("  + Done\n");
    return Outcome::next();
}

} // namespace telmira::compiler
