#include "compiler/rompatch.h"

#include "base/romcontrol.h"
#include "base/romimage.h"
#include "compiler/allocation.h"
#include "compiler/dsp/instrument_entry.h"
#include "compiler/samples.h"
#include "compiler/writers.h"

#include <algorithm>
#include <set>

namespace telmira::compiler {

namespace {

constexpr std::uint32_t kInstrumentBytes = 11; // eight common bytes, 24-bit sample address
constexpr std::uint32_t kSongEntry = 3;
constexpr std::size_t kMaxSongsOfAKind = 255; // the patch points hold the counts as bytes
constexpr unsigned kPatchPointTypes = 7;
constexpr std::uint8_t kBellSong = 0x80;

enum class ObjectKind { InstrumentTable, Sample, Song };

struct Object {
    ObjectKind kind;
    std::size_t index = 0; // into the used-sample list or the song list
    std::vector<std::uint8_t> bytes;
};

struct Area {
    unsigned bank = 0;
    std::uint32_t start = 0; // image offset
    std::uint32_t size = 0;
};

bool overlaps(std::uint64_t a, std::uint64_t aEnd, std::uint64_t b, std::uint64_t bEnd) {
    return a < bEnd && b < aEnd;
}

// The bytes the patch writes outside the melody areas (structure, checksum, patch points) must
// not lie inside one, or placing the set would overwrite them.
bool areasClear(const rom::PatchLayout& layout, const std::vector<Area>& areas) {
    const std::uint64_t structureEnd =
        layout.structureOffset + (layout.structureLength + 7u) / 8 * 8;
    for (const Area& area : areas) {
        const std::uint64_t end = std::uint64_t{area.start} + area.size;
        if (overlaps(area.start, end, layout.structureOffset, structureEnd) ||
            overlaps(area.start, end, layout.checksumPosition, layout.checksumPosition + 2))
            return false;
        for (const rom::PatchPoint& point : layout.patchPoints)
            if (overlaps(area.start, end, point.address, point.address + 2u))
                return false;
    }
    return true;
}

std::array<std::uint8_t, 3> address24(std::uint32_t offset) {
    return {static_cast<std::uint8_t>(offset >> 16), static_cast<std::uint8_t>(offset >> 8),
            static_cast<std::uint8_t>(offset)};
}

} // namespace

Outcome patchZavraRom(CompilerState& state, Console& out, const std::string& path) {
    const rom::RomFileContents file = rom::readRomFile(path);
    if (file.status != rom::RomFileStatus::Ok) {
        out.print("Can't open file '%s'\n", path.c_str());
        return Outcome::stop(Outcome::kDataError);
    }
    out.print("Applying patch to ROM image\n");
    rom::RomImage image(file.bytes);
    const auto read = file.fileSize == file.bytes.size()
                          ? rom::readPatchLayout(image, state.dataKey)
                          : rom::PatchLayoutResult{};
    std::vector<Area> areas;
    if (read.layout) {
        for (unsigned bank = 0; bank < read.layout->melodyAreas.size(); ++bank) {
            const rom::MelodyArea& a = read.layout->melodyAreas[bank];
            if (a.used())
                areas.push_back({bank, rom::romOffset(bank, a.start),
                                 static_cast<std::uint32_t>(a.end - a.start)});
        }
    }
    if (!read.layout || !areasClear(*read.layout, areas)) {
        out.print("  + ROM image is broken\n");
        return Outcome::stop(Outcome::kFileError);
    }
    const rom::PatchLayout& layout = *read.layout;

    // The objects: the instrument table (filled in once the samples are placed), the samples
    // the songs play, the songs.
    std::vector<Object> objects;
    objects.push_back({ObjectKind::InstrumentTable, 0,
                       std::vector<std::uint8_t>(kInstrumentBytes * state.instruments.size())});
    for (std::size_t i = 0; i < state.usedSamples.size(); ++i) {
        const UsedSample& sample = state.usedSamples[i];
        if (sample.wave >= state.dls.waves.size() || state.dls.waves[sample.wave].usageCount == 0)
            continue;
        if (!sample.prepared) {
            out.print("  + Error: not compiled sample found!\n");
            return Outcome::stop(Outcome::kDataError);
        }
        const dsp::PreparedWave& p = *sample.prepared;
        objects.push_back({ObjectKind::Sample, i,
                           dsp::sampleImage(p.samples, p.loopValue, p.longTerminator,
                                            dsp::SampleContainer::Binary, state.r101xp)});
    }
    std::size_t bells = 0;
    for (std::size_t i = 0; i < state.songs.size(); ++i) {
        const Song& song = state.songs[i];
        if (song.data.empty()) {
            out.print("  + Error: not compiled song found!\n");
            return Outcome::stop(Outcome::kDataError);
        }
        bells += song.type == SongType::Bell ? 1 : 0;
        objects.push_back({ObjectKind::Song, i, song.data});
    }
    const std::size_t melodies = state.songs.size() - bells;

    const std::uint64_t table = std::uint64_t{kSongEntry} * state.songs.size();
    std::uint64_t dataTotal = table;
    for (const Object& o : objects)
        dataTotal += o.bytes.size();
    std::uint64_t freeTotal = 0;
    for (const Area& a : areas)
        freeTotal += a.size;
    if (dataTotal > freeTotal) {
        out.print("  + Total size of data larger than free memory (%u/%u)\n",
                  static_cast<unsigned>(std::min<std::uint64_t>(dataTotal, UINT32_MAX)),
                  static_cast<unsigned>(freeTotal));
        return Outcome::stop(Outcome::kFileError);
    }
    // The bank-0 area comes first (a layout without one is broken).
    if (table > areas[0].size || bells > kMaxSongsOfAKind || melodies > kMaxSongsOfAKind) {
        out.print("  + Number of songs too big to fit song's table in bank #0\n");
        return Outcome::stop(Outcome::kFileError);
    }

    std::vector<std::uint32_t> sizes;
    for (const Object& o : objects)
        sizes.push_back(static_cast<std::uint32_t>(o.bytes.size()));
    std::vector<std::uint32_t> rooms;
    for (const Area& a : areas)
        rooms.push_back(a.size);
    rooms[0] -= static_cast<std::uint32_t>(table);
    std::uint64_t roomTotal = 0;
    for (const std::uint32_t room : rooms)
        roomTotal += room;
    out.print("  + Starting heuristic allocation process for %u objects and %u regions\n",
              static_cast<unsigned>(objects.size()), static_cast<unsigned>(areas.size()));
    out.print("  + Sum of regions is %u bytes\n", static_cast<unsigned>(roomTotal));
    out.print("  + Sum of data is %u bytes\n", static_cast<unsigned>(dataTotal - table));
    const Allocation allocation = allocateObjects(sizes, rooms);
    if (!allocation.areaOf) {
        out.print("  + Failed\n");
        return Outcome::stop(Outcome::kFileError);
    }
    out.print("  + Fit found after %u iteration\n", allocation.iterations);

    // Each area fills from its start (the bank-0 area after the song table): songs, samples,
    // then the instrument table.
    std::vector<std::uint32_t> position;
    for (const Area& a : areas)
        position.push_back(a.start);
    position[0] += static_cast<std::uint32_t>(table);
    std::vector<std::uint32_t> songAddress(state.songs.size());
    std::vector<std::optional<std::uint32_t>> waveAddress(state.dls.waves.size());
    std::uint32_t tableAddress = 0;
    const auto place = [&](std::size_t o) {
        const std::size_t area = (*allocation.areaOf)[o];
        const std::uint32_t at = position[area];
        image.write(at, objects[o].bytes);
        position[area] += static_cast<std::uint32_t>(objects[o].bytes.size());
        return at;
    };
    for (const ObjectKind kind : {ObjectKind::Song, ObjectKind::Sample})
        for (std::size_t o = 0; o < objects.size(); ++o) {
            if (objects[o].kind != kind)
                continue;
            if (kind == ObjectKind::Song) {
                const Song& song = state.songs[objects[o].index];
                const std::uint32_t address = place(o);
                songAddress[objects[o].index] = address;
                for (const std::uint32_t r : song.relocations) {
                    if (r >= song.data.size() || song.data.size() - r < 2) {
                        out.print("  + Error: song relocation outside its data\n");
                        return Outcome::stop(Outcome::kDataError);
                    }
                    const auto word = image.wordAt(std::uint64_t{address} + r);
                    image.putWord(std::uint64_t{address} + r,
                                  static_cast<std::uint16_t>(word.value_or(0) + address));
                }
            } else {
                waveAddress[state.usedSamples[objects[o].index].wave] = place(o);
            }
        }
    std::vector<std::uint8_t>& entries = objects[0].bytes;
    for (std::size_t i = 0; i < state.instruments.size(); ++i) {
        const auto entry = instrumentEntry(state, i);
        const auto& wave = state.dls.regions[state.instruments[i].region].wave;
        const std::uint32_t sample =
            wave && *wave < waveAddress.size() ? waveAddress[*wave].value_or(0) : 0;
        const auto address = address24(sample);
        std::copy(entry.begin(), entry.end(), entries.begin() + kInstrumentBytes * i);
        std::copy(address.begin(), address.end(), entries.begin() + kInstrumentBytes * i + 8);
    }
    tableAddress = place(0);

    // The song table: bell songs, then melody songs, each in song-list order.
    const std::uint32_t songTable = areas[0].start;
    std::uint32_t entry = songTable;
    for (const bool bell : {true, false})
        for (std::size_t i = 0; i < state.songs.size(); ++i) {
            const Song& song = state.songs[i];
            if ((song.type == SongType::Bell) != bell)
                continue;
            const int flags = song.kind == SongKind::Midi ? song.flags : 0;
            const auto bank = static_cast<std::uint8_t>(songAddress[i] >> 16);
            const std::uint8_t head =
                bell ? static_cast<std::uint8_t>(kBellSong | ((flags & 7) << 4) | bank)
                     : static_cast<std::uint8_t>(((flags << 4) & 0xF0) | bank);
            const std::array<std::uint8_t, 3> bytes = {
                head, static_cast<std::uint8_t>(songAddress[i] >> 8),
                static_cast<std::uint8_t>(songAddress[i])};
            image.write(entry, bytes);
            entry += kSongEntry;
        }

    std::set<unsigned> typesMet;
    for (const rom::PatchPoint& point : layout.patchPoints) {
        typesMet.insert(point.type);
        switch (point.type) {
        case 0:
            image.putWord(point.address, static_cast<std::uint16_t>(songTable));
            break;
        case 1:
            image.putWord(point.address,
                          static_cast<std::uint16_t>(songTable + kSongEntry * bells));
            break;
        case 2:
            image.putByte(point.address, static_cast<std::uint8_t>(melodies));
            break;
        case 3:
            image.putByte(point.address, static_cast<std::uint8_t>(bells));
            break;
        case 4:
            image.putByte(point.address, static_cast<std::uint8_t>(tableAddress >> 16));
            break;
        case 5:
            image.putByte(point.address, static_cast<std::uint8_t>(tableAddress >> 8));
            break;
        case 6:
            image.putByte(point.address, static_cast<std::uint8_t>(tableAddress));
            break;
        default:
            break; // a type this compiler does not know writes nothing
        }
    }
    if (typesMet.size() != kPatchPointTypes || *typesMet.rbegin() != kPatchPointTypes - 1)
        out.print("  + WARN: Not all patch-points found in ROM image\n");

    rom::storeChecksum(image, layout.checksumPosition);
    if (rom::writeRomFile(path, image.bytes()) != rom::RomFileStatus::Ok) {
        out.print("Can't create file '%s'\n", path.c_str());
        return Outcome::stop(Outcome::kDataError);
    }
    out.print("  + Done.\n");
    return Outcome::next();
}

} // namespace telmira::compiler
