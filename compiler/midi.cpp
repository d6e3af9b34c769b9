#include "compiler/midi.h"

#include "compiler/fileio.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace telmira::compiler {

namespace {

constexpr std::size_t kHeaderSize = 14;
constexpr std::uint32_t kMinHeaderLength = 6;
// Rescaled times are kept in single precision, error carry included; below this bound every
// step of that arithmetic is exact, above it a delta lies far beyond any real song.
constexpr float kLargestExactTime = 16777216.0f;
constexpr float kTimeWrap = 8192.0f;

using Track = std::vector<MidiEvent>;

// A cursor over the file; reading past its end is reported, never done.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> file) : file_(file) {}

    std::size_t position() const { return position_; }
    void seek(std::size_t position) { position_ = std::min(position, file_.size()); }
    std::size_t left() const { return file_.size() - position_; }

    std::optional<std::uint8_t> peek() const {
        if (position_ >= file_.size())
            return std::nullopt;
        return file_[position_];
    }
    std::optional<std::uint8_t> byte() {
        const auto b = peek();
        if (b)
            ++position_;
        return b;
    }
    // A variable-length quantity: 7 bits a byte, most significant first.
    std::optional<std::uint32_t> quantity() {
        std::uint32_t value = 0;
        for (;;) {
            const auto b = byte();
            if (!b)
                return std::nullopt;
            value = (value << 7) | (*b & 0x7Fu);
            if ((*b & 0x80) == 0)
                return value;
        }
    }
    bool bytes(std::size_t count, std::vector<std::uint8_t>* into) {
        if (left() < count)
            return false;
        if (into)
            into->assign(file_.begin() + static_cast<std::ptrdiff_t>(position_),
                         file_.begin() + static_cast<std::ptrdiff_t>(position_ + count));
        position_ += count;
        return true;
    }

private:
    std::span<const std::uint8_t> file_;
    std::size_t position_ = 0;
};

enum class EventRead { Ok, PastEnd, SysExTooLong };

// Pitch-bend style data: LSB, MSB folded into data1 and data2 (bend = data2 * 256 + data1).
bool readBend(Reader& in, MidiEvent& event) {
    const auto lsb = in.byte();
    const auto msb = in.byte();
    if (!lsb || !msb)
        return false;
    event.data1 = static_cast<std::uint8_t>((*lsb & 0x7F) | (*msb << 7));
    event.data2 = static_cast<std::uint8_t>(*msb >> 1);
    return true;
}

bool readData(Reader& in, std::uint8_t& into) {
    const auto b = in.byte();
    if (b)
        into = *b;
    return b.has_value();
}

EventRead readSysEx(Reader& in, MidiEvent& event) {
    // Everything up to the closing F7 is the payload, its length quantity included.
    for (;;) {
        const auto b = in.byte();
        if (!b)
            return EventRead::PastEnd;
        if (*b == 0xF7)
            return EventRead::Ok;
        if (event.data.size() == kMaxSysExPayload)
            return EventRead::SysExTooLong;
        event.data.push_back(*b);
    }
}

// The data of one event after its status byte.
EventRead readEventData(Reader& in, MidiEvent& event) {
    bool ok = true;
    switch (event.type) {
    case 0x80:
    case 0x90:
    case 0xA0:
    case 0xB0:
        ok = readData(in, event.data1) && readData(in, event.data2);
        break;
    case 0xC0:
    case 0xD0:
        ok = readData(in, event.data1);
        break;
    case 0xE0:
        ok = readBend(in, event);
        break;
    default:
        switch (event.status()) {
        case 0xF0:
            return readSysEx(in, event);
        case 0xF1:
        case 0xF3:
            ok = readData(in, event.data1);
            break;
        case 0xF2:
            ok = readBend(in, event);
            break;
        case 0xF7: {
            // A SysEx continuation or escape: skipped by its length so the track stays in step.
            const auto length = in.quantity();
            ok = length && in.bytes(*length, nullptr);
            break;
        }
        case 0xFF: {
            const bool type = readData(in, event.data1);
            const auto length = type ? in.quantity() : std::nullopt;
            if (length)
                event.data2 = static_cast<std::uint8_t>(*length & 0xFF);
            ok = length && in.bytes(*length, &event.data);
            break;
        }
        default:
            break; // no data bytes
        }
    }
    return ok ? EventRead::Ok : EventRead::PastEnd;
}

Outcome fail(Console& out, const char* message) {
    out.print("%s", message);
    return Outcome::stop(Outcome::kFileError);
}

// Reads the events of one track body that starts at the reader's position and is `length`
// bytes long. The reader is left after the last byte consumed. A track cut short by the end of
// the file (`cut`) ends at the last whole event; its partial last event is dropped.
Outcome readTrack(Reader& in, std::uint32_t length, bool cut, float ratio,
                  std::uint8_t& runningStatus, Track& track, Console& out) {
    const auto pastEnd = [&]() {
        if (cut)
            return Outcome::next();
        return fail(out, "  + ERR: track data runs past the end of the file\n");
    };
    const std::size_t end = in.position() + length;
    float exact = 0.0f;   // E: exact output time
    float emitted = 0.0f; // T: output time handed out so far
    std::uint64_t time = 0;
    std::uint64_t sourceTime = 0;
    while (in.position() < end) {
        const auto delta = in.quantity();
        if (!delta)
            return pastEnd();
        if (in.position() >= end)
            break; // a delta with nothing after it ends the track

        exact += static_cast<float>(*delta) * ratio;
        if (!(exact < kLargestExactTime))
            return fail(out, "  + ERR: event time out of range\n");
        const float carry = exact - emitted;
        const auto step = static_cast<std::int32_t>(static_cast<double>(carry) + 0.5);
        if (step != 0)
            emitted += static_cast<float>(step);
        while (exact >= kTimeWrap) {
            exact -= kTimeWrap;
            emitted -= kTimeWrap;
        }
        time += static_cast<std::uint32_t>(std::max(step, 0));
        sourceTime += *delta;
        if (time > 0xFFFFFFFFu || sourceTime > 0xFFFFFFFFu)
            return fail(out, "  + ERR: event time out of range\n");

        MidiEvent event;
        event.delta = static_cast<std::uint32_t>(std::max(step, 0));
        event.time = static_cast<std::uint32_t>(time);
        event.sourceDelta = *delta;
        event.sourceTime = static_cast<std::uint32_t>(sourceTime);

        const auto first = in.peek();
        if (!first)
            return pastEnd();
        std::uint8_t status = runningStatus;
        if (*first >= 0x80) {
            status = *first;
            in.byte();
            // SysEx and meta events leave the running status of the channel messages alone.
            if (status < 0xF0)
                runningStatus = status;
        }
        event.type = static_cast<std::uint8_t>(status & 0xF0);
        event.channel = static_cast<std::uint8_t>(status & 0x0F);

        switch (readEventData(in, event)) {
        case EventRead::Ok:
            break;
        case EventRead::PastEnd:
            return pastEnd();
        case EventRead::SysExTooLong:
            return fail(out, "  + ERR: SysEx too long\n");
        }
        track.push_back(std::move(event));
    }
    return Outcome::next();
}

bool printableId(std::span<const std::uint8_t> file, std::size_t at) {
    for (std::size_t i = 0; i < 4; ++i)
        if (file[at + i] < 0x20 || file[at + i] > 0x7E)
            return false;
    return true;
}

bool isTrackId(std::span<const std::uint8_t> file, std::size_t at) {
    return file[at] == 'M' && file[at + 1] == 'T' && file[at + 2] == 'r' && file[at + 3] == 'k';
}

// Moves the reader past chunks of other kinds before a track, as Standard MIDI Files allow.
void skipForeignChunks(Reader& in, std::span<const std::uint8_t> file, Console& out) {
    for (;;) {
        const std::size_t at = in.position();
        if (in.left() < 8 || isTrackId(file, at) || !printableId(file, at))
            return;
        const std::uint32_t length = be32(file, at + 4);
        if (in.left() - 8 < length)
            return;
        out.print("  + WARN: skipped chunk '%c%c%c%c' (%u bytes)\n", file[at], file[at + 1],
                  file[at + 2], file[at + 3], length);
        in.seek(at + 8 + length);
    }
}

// Merges the tracks by time: at each time, track order and then file order within a track.
std::vector<MidiEvent> mergeTracks(std::vector<Track>& tracks) {
    std::vector<MidiEvent> merged;
    std::vector<std::size_t> next(tracks.size(), 0);
    std::uint32_t current = 0;
    std::uint32_t previous = 0;
    for (;;) {
        bool first = true;
        for (std::size_t t = 0; t < tracks.size(); ++t) {
            while (next[t] < tracks[t].size() && tracks[t][next[t]].time == current) {
                MidiEvent event = std::move(tracks[t][next[t]++]);
                event.delta = first ? current - previous : 0;
                first = false;
                merged.push_back(std::move(event));
            }
        }
        previous = current;
        std::optional<std::uint32_t> earliest;
        for (std::size_t t = 0; t < tracks.size(); ++t)
            if (next[t] < tracks[t].size())
                earliest =
                    std::min(earliest.value_or(tracks[t][next[t]].time), tracks[t][next[t]].time);
        if (!earliest)
            return merged;
        current = *earliest;
    }
}

} // namespace

Outcome parseMidi(std::span<const std::uint8_t> file, std::uint32_t outputResolution, Song& song,
                  Console& out) {
    if (file.size() < 4 || !std::equal(file.begin(), file.begin() + 4, "MThd"))
        return fail(out, "  + Error - no 'MThd' chunk\n");
    const std::uint32_t headerLength = be32(file, 4);
    if (file.size() < kHeaderSize || headerLength < kMinHeaderLength)
        return fail(out, "  + ERR: 'MThd' chunk is incomplete\n");
    std::copy(file.begin(), file.begin() + kHeaderSize, song.header.begin());
    const unsigned format = be16(file, 8);
    const unsigned trackCount = be16(file, 10);
    const auto division = static_cast<std::int16_t>(be16(file, 12));
    out.print("  + SMF format %u\n", format);
    out.print("  + SMF contains %u tracks\n", trackCount);
    if (trackCount > kMaxMidiTracks)
        return fail(out, "  + ERR: more than 64 tracks are not supported\n");
    if (division < 0)
        return fail(out, "  + ERR: SMPTE time division is not supported\n");
    if (division == 0)
        return fail(out, "  + ERR: timing resolution 0 is not valid\n");
    out.print("  + SMF timing resolution is %u PPQN\n", static_cast<unsigned>(division));

    const std::uint32_t resolution =
        outputResolution != 0 ? outputResolution : static_cast<std::uint32_t>(division);
    const float ratio = static_cast<float>(resolution) / static_cast<float>(division);
    if (outputResolution != 0 && outputResolution != static_cast<std::uint32_t>(division))
        out.print("  + SMF resampling ratio is %.2f\n", static_cast<double>(ratio));

    Reader in(file);
    in.seek(8 + static_cast<std::size_t>(headerLength));
    std::vector<Track> tracks(trackCount);
    std::uint8_t runningStatus = 0;
    for (unsigned t = 0; t < trackCount; ++t) {
        out.print("  + Processing track #%u\n", t);
        skipForeignChunks(in, file, out);
        if (in.left() < 8 || !isTrackId(file, in.position()))
            return fail(out, "  + ERR: expected 'MTrk' chunk, but not found\n");
        const std::uint32_t declared = be32(file, in.position() + 4);
        in.seek(in.position() + 8);
        // A track longer than the file is read to the end of the file, as other readers do.
        const bool cut = in.left() < declared;
        const auto length = cut ? static_cast<std::uint32_t>(in.left()) : declared;
        if (cut)
            out.print("  + WARN: track length runs past the end of the file (%u of %u bytes "
                      "present), read to the end\n",
                      length, declared);
        const Outcome read = readTrack(in, length, cut, ratio, runningStatus, tracks[t], out);
        if (!read.goesOn())
            return read;
    }
    if (trackCount > 1)
        out.print("  + Resequencing to single track\n");
    song.events = trackCount == 1 ? std::move(tracks.front()) : mergeTracks(tracks);
    song.resolution = resolution;
    out.print("  + Done\n");
    return Outcome::next();
}

Outcome readMidi(CompilerState& state, Console& out, const std::string& path) {
    out.print("Reading MIDI file %s\n", path.c_str());
    const auto file = readWholeFile(path);
    if (!file) {
        out.print("  + Can't open %s\n", path.c_str());
        return Outcome::stop(Outcome::kFileError);
    }
    out.print("  + %u bytes read\n", static_cast<unsigned>(file->size()));
    Song song;
    song.kind = SongKind::Midi;
    song.path = path;
    const Outcome read = parseMidi(*file, state.outputResolution, song, out);
    if (!read.goesOn())
        return read;
    song.type = state.songType;
    song.masterVolume = state.masterVolume;
    song.flags = state.songFlags;
    song.settings = std::move(state.nextSong);
    state.nextSong = PerSongSettings{};
    song.regionRemaps = state.regionRemaps;
    song.programRemaps = state.programRemaps;
    song.instrumentVolumes = state.instrumentVolumes;
    state.songs.push_back(std::move(song));
    return Outcome::next();
}

} // namespace telmira::compiler
