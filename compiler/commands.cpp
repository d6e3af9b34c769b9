#include "compiler/commands.h"

#include "compiler/ayimport.h"
#include "compiler/dls.h"
#include "compiler/midi.h"

#include <algorithm>
#include <array>

namespace telmira::compiler {

namespace {

constexpr int kMaxSongFlags = 15;
constexpr int kMaxMasterVolume = 255;
constexpr std::int32_t kMaxVoices = 0xFFFF;

// Reads one path (or directory) argument and nothing after it.
std::optional<std::string> onlyPath(CommandCall& call) {
    auto path = call.args.word();
    if (!path || !call.args.finished())
        return std::nullopt;
    return path;
}

// A channel number 1..16 of the script, as an index 0..15.
std::optional<int> channelIndex(std::optional<std::int32_t> channel) {
    if (!channel || *channel < 1 || *channel > kMidiChannels)
        return std::nullopt;
    return *channel - 1;
}

Outcome setFs(CommandCall& call) {
    const auto hz = call.args.floatValue();
    if (!hz || !call.args.finished())
        return Outcome::scriptError();
    call.state().fs = *hz;
    call.state().fsGiven = true;
    call.out().print("FS is set to %.2f Hz\n", static_cast<double>(*hz));
    return Outcome::next();
}

Outcome readDlsCommand(CommandCall& call) {
    const auto path = onlyPath(call);
    if (!path)
        return Outcome::scriptError();
    return readDls(call.state(), call.out(), *path);
}

Outcome readMidiCommand(CommandCall& call) {
    const auto path = onlyPath(call);
    if (!path)
        return Outcome::scriptError();
    return readMidi(call.state(), call.out(), *path);
}

Outcome compileCommand(CommandCall& call) {
    if (!call.args.finished())
        return Outcome::scriptError();
    if (!call.session.stages.compile)
        return notAvailable(call.out(), "compile");
    return call.session.stages.compile(call.state(), call.out());
}

Outcome setTimebase(CommandCall& call) {
    const auto hz = call.args.floatValue();
    if (!hz || !call.args.finished())
        return Outcome::scriptError();
    call.state().timeBase = *hz;
    call.state().timeBaseGiven = true;
    call.out().print("TimeBase is set to %.2f Hz\n", static_cast<double>(*hz));
    return Outcome::next();
}

Outcome setEgTiming(CommandCall& call) {
    const auto ms = call.args.floatValue();
    if (!ms || !call.args.finished())
        return Outcome::scriptError();
    call.state().egTimestep = *ms;
    call.state().egTimestepGiven = true;
    call.out().print("EG timing is set to %.2f ms\n", static_cast<double>(*ms));
    return Outcome::next();
}

// A command that takes one path and hands it to a stage.
Outcome runPathStage(CommandCall& call, std::string_view name, PathStage Stages::*stage) {
    const auto path = onlyPath(call);
    if (!path)
        return Outcome::scriptError();
    const PathStage& work = call.session.stages.*stage;
    if (!work)
        return notAvailable(call.out(), name);
    return work(call.state(), call.out(), *path);
}

// A command that takes the sample bank byte and a path.
Outcome runBankAndPathStage(CommandCall& call, std::string_view name, PathStage Stages::*stage) {
    const auto bank = call.args.unsignedValue();
    const auto path = call.args.word();
    if (!bank || *bank > 0xFF || !path || !call.args.finished())
        return Outcome::scriptError();
    call.state().sampleBank = static_cast<std::uint8_t>(*bank);
    const PathStage& work = call.session.stages.*stage;
    if (!work)
        return notAvailable(call.out(), name);
    return work(call.state(), call.out(), *path);
}

Outcome writeLog(CommandCall& call) {
    return runPathStage(call, "write_log", &Stages::writeLog);
}

Outcome writeSamples(CommandCall& call) {
    return runBankAndPathStage(call, "write_samples", &Stages::writeSamples);
}

Outcome writeBinarySamples(CommandCall& call) {
    return runPathStage(call, "write_binary_samples", &Stages::writeBinarySamples);
}

Outcome writeSongs(CommandCall& call) {
    return runPathStage(call, "write_songs", &Stages::writeSongs);
}

Outcome writePackedSongs(CommandCall& call) {
    return runPathStage(call, "write_packed_songs", &Stages::writePackedSongs);
}

Outcome writeStat(CommandCall& call) {
    return runPathStage(call, "write_stat", &Stages::writeStat);
}

Outcome writeDlsInfo(CommandCall& call) {
    return runPathStage(call, "write_dls_info", &Stages::writeDlsInfo);
}

Outcome writePackedSongsMultiple(CommandCall& call) {
    return runPathStage(call, "write_packed_songs_multiple", &Stages::writePackedSongsMultiple);
}

Outcome writeSamplesBin(CommandCall& call) {
    return runBankAndPathStage(call, "write_samples_bin", &Stages::writeSamplesBin);
}

Outcome patchZavraRom(CommandCall& call) {
    return runPathStage(call, "patch_zavra_rom", &Stages::patchZavraRom);
}

Outcome precompiledDatabase(CommandCall& call) {
    const auto path = onlyPath(call);
    if (!path)
        return Outcome::scriptError();
    if (call.state().precompiledDatabase) {
        call.out().print("Only one precompiled_database allowed\n");
        return Outcome::stop(Outcome::kFileError);
    }
    call.state().precompiledDatabase = *path;
    if (!call.session.stages.loadPrecompiledDatabase)
        return notAvailable(call.out(), "precompiled_database");
    return call.session.stages.loadPrecompiledDatabase(call.state(), call.out(), *path);
}

Outcome setChannelPrio(CommandCall& call) {
    const auto channel = call.args.unsignedValue();
    const auto priority = call.args.unsignedValue();
    const auto index = channelIndex(channel);
    if (!index || !priority || !call.args.finished())
        return Outcome::scriptError();
    call.state().nextSong.channelPriority[static_cast<std::size_t>(*index)] = *priority;
    call.out().print("Priority of midi channel #%u is set to %i\n", static_cast<unsigned>(*channel),
                     *priority);
    return Outcome::next();
}

Outcome setChannelMask(CommandCall& call) {
    const auto channel = call.args.unsignedValue();
    const auto mask = call.args.unsignedValue();
    const auto index = channelIndex(channel);
    if (!index || !mask || !call.args.finished())
        return Outcome::scriptError();
    call.state().nextSong.channelMask[static_cast<std::size_t>(*index)] = *mask;
    call.out().print("Midi mask of midi channel #%u is set to %i\n",
                     static_cast<unsigned>(*channel), *mask);
    return Outcome::next();
}

// Voice limits are 16-bit; larger numbers mean "no limit" and are kept at the largest value.
std::optional<std::uint16_t> voiceLimit(CommandCall& call) {
    const auto n = call.args.unsignedValue();
    if (!n || !call.args.finished())
        return std::nullopt;
    return static_cast<std::uint16_t>(std::min(*n, kMaxVoices));
}

Outcome setMaxDrums(CommandCall& call) {
    const auto n = voiceLimit(call);
    if (!n)
        return Outcome::scriptError();
    call.state().maxDrumVoices = *n;
    call.out().print("Maximum of simulateonus drums is set to %i\n", static_cast<int>(*n));
    return Outcome::next();
}

Outcome setMaxMelodic(CommandCall& call) {
    const auto n = voiceLimit(call);
    if (!n)
        return Outcome::scriptError();
    call.state().maxMelodicVoices = *n;
    call.out().print("Maximum of simulateonus melodic instruments is set to %i\n",
                     static_cast<int>(*n));
    return Outcome::next();
}

Outcome resetPriority(CommandCall& call) {
    if (!call.args.finished())
        return Outcome::scriptError();
    call.out().print("%cWARN: 'reset_priority' is obsolete command\n", '\a');
    return Outcome::next();
}

Outcome setResolution(CommandCall& call) {
    const auto ppqn = call.args.unsignedValue();
    if (!ppqn || !call.args.finished())
        return Outcome::scriptError();
    call.state().outputResolution = static_cast<std::uint32_t>(*ppqn);
    if (*ppqn == 0)
        call.out().print("Output resolution defaulted to MIDI file settings\n");
    else
        call.out().print("Output resolution is set to %i PPQN\n", *ppqn);
    return Outcome::next();
}

Outcome setSongType(CommandCall& call) {
    const auto type = call.args.word();
    if (!type || !call.args.finished())
        return Outcome::scriptError();
    if (sameName(*type, "bell"))
        call.state().songType = SongType::Bell;
    else if (sameName(*type, "melody"))
        call.state().songType = SongType::Melody;
    else
        return Outcome::scriptError();
    return Outcome::next();
}

Outcome readPt3Command(CommandCall& call) {
    const auto path = onlyPath(call);
    if (!path)
        return Outcome::scriptError();
    return readPt3(call.state(), call.out(), *path, call.session.ayvexLibrary);
}

Outcome readFxmCommand(CommandCall& call) {
    const auto path = onlyPath(call);
    if (!path)
        return Outcome::scriptError();
    return readFxm(call.state(), call.out(), *path, call.session.ayvexLibrary);
}

Outcome setMasterVolume(CommandCall& call) {
    const auto n = call.args.unsignedValue();
    if (!n || !call.args.finished())
        return Outcome::scriptError();
    call.state().masterVolume = std::min(*n, kMaxMasterVolume);
    call.out().print("Master volume multiplier is set to %i\n", call.state().masterVolume);
    return Outcome::next();
}

Outcome setSongFlags(CommandCall& call) {
    const auto n = call.args.unsignedValue();
    if (!n || *n > kMaxSongFlags || !call.args.finished())
        return Outcome::scriptError();
    call.state().songFlags = *n;
    call.out().print("Song flags is set to %i\n", *n);
    return Outcome::next();
}

Outcome useR101xp(CommandCall& call) {
    if (!call.args.finished())
        return Outcome::scriptError();
    call.state().r101xp = true;
    return Outcome::next();
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The key is one hexadecimal number of up to 32 digits; word 0 holds its lowest 32 bits.
Outcome setKey(CommandCall& call) {
    const auto text = call.args.word();
    if (!text || !call.args.finished())
        return Outcome::scriptError();
    std::array<std::uint32_t, 4> key{};
    for (const char c : *text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return Outcome::scriptError();
        for (std::size_t k = key.size() - 1; k > 0; --k)
            key[k] = (key[k] << 4) | (key[k - 1] >> 28);
        key[0] = (key[0] << 4) | static_cast<std::uint32_t>(digit);
    }
    call.state().dataKey = key;
    return Outcome::next();
}

constexpr std::array<Command, 34> kCommands{{
    {"set_fs", setFs},
    {"read_dls", readDlsCommand},
    {"read_midi", readMidiCommand},
    {"compile", compileCommand},
    {"set_timebase", setTimebase},
    {"write_log", writeLog},
    {"write_samples", writeSamples},
    {"write_binary_samples", writeBinarySamples},
    {"set_egtiming", setEgTiming},
    {"write_songs", writeSongs},
    {"set_channel_prio", setChannelPrio},
    {"set_max_drums", setMaxDrums},
    {"set_max_melodic", setMaxMelodic},
    {"reset_priority", resetPriority},
    {"write_packed_songs", writePackedSongs},
    {"set_resolution", setResolution},
    {"remap_region", remapRegionCommand},
    {"write_stat", writeStat},
    {"set_channel_mask", setChannelMask},
    {"remap_program", remapProgramCommand},
    {"write_dls_info", writeDlsInfo},
    {"set_instr_volume_adjustment", instrumentVolumeCommand},
    {"write_packed_songs_multiple", writePackedSongsMultiple},
    {"precompiled_database", precompiledDatabase},
    {"patch_zavra_rom", patchZavraRom},
    {"set_song_type", setSongType},
    {"read_pt3", readPt3Command},
    {"set_chn_volume_adjustment", channelVolumeCommand},
    {"set_master_volume", setMasterVolume},
    {"read_fxm", readFxmCommand},
    {"set_song_flags", setSongFlags},
    {"write_samples_bin", writeSamplesBin},
    {"use_r101xp", useR101xp},
    {"set_key", setKey},
}};

} // namespace

std::span<const Command> commandTable() {
    return kCommands;
}

const Command* findCommand(std::string_view name) {
    for (const Command& command : kCommands)
        if (sameName(command.name, name))
            return &command;
    return nullptr;
}

} // namespace telmira::compiler
