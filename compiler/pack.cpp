#include "compiler/pack.h"

#include "compiler/bytecode.h"

namespace telmira::compiler {

namespace {

constexpr unsigned kDelayHighBits = 4;
constexpr unsigned kTimingFieldBits = 8;
constexpr std::uint32_t kMaxInstrument = 0xFF;

std::uint8_t low(std::uint32_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

// The symbol fields of one written event, in coding order.
struct Fields {
    std::uint16_t type = 0;
    std::vector<std::pair<unsigned, std::uint16_t>> coded; // tree, symbol
};

Fields fieldsOf(const SongEvent& e) {
    Fields f;
    f.type = e.type;
    const std::uint16_t voice = low(e.voice);
    if (e.type == event::kDeltaP) {
        f.coded = {{zavra::kVoiceTree, voice}, {zavra::kPitchChangeTree, low(e.value)}};
    } else if (e.type == event::kSetPch) {
        f.coded = {{zavra::kVoiceTree, voice},
                   {zavra::kPitchTree, static_cast<std::uint16_t>(e.value)}};
    } else if (e.type == event::kSetVol) {
        f.coded = {{zavra::kVoiceTree, voice}, {zavra::kVolumeTree, low(e.value)}};
    } else if (e.type == event::kSetTim) {
        // Counted like a note-on, coded as two plain bytes.
        const std::uint16_t timing = storedTiming(e);
        f.coded = {{zavra::kVoiceTree, 0},
                   {zavra::kInstrumentTree, low(timing)},
                   {zavra::kVelocityTree, low(timing >> 8)},
                   {zavra::kVolumeTree, 0}};
    } else if (event::isNoteOn(e.type)) {
        f.coded = {{zavra::kVoiceTree, voice},
                   {zavra::kInstrumentTree, static_cast<std::uint16_t>(e.instrument)},
                   {zavra::kVelocityTree, low(e.velocity)},
                   {zavra::kVolumeTree, low(e.value)}};
    }
    return f;
}

class StreamCoder {
public:
    StreamCoder(std::vector<std::uint8_t>& bytes,
                const std::array<BuiltTree, zavra::kTreeCount>& trees)
        : writer_(bytes), trees_(trees) {}

    void delay(std::uint32_t ticks) {
        if (ticks == 0) {
            writer_.bit(false);
        } else if (ticks < zavra::kShortDelayLimit) {
            writer_.bit(true);
            symbol(zavra::kDelayTree, ticks);
        } else {
            writer_.bit(false);
            for (const std::uint32_t part : codedDelays(ticks)) {
                symbol(zavra::kTypeTree, zavra::kLongDelaySymbol);
                writer_.bits(part >> 8, kDelayHighBits);
                symbol(zavra::kDelayTree, part & 0xFF);
            }
        }
    }

    void event(const SongEvent& e) {
        const Fields f = fieldsOf(e);
        symbol(zavra::kTypeTree, f.type);
        if (e.type == event::kSetTim) {
            const std::uint16_t timing = storedTiming(e);
            writer_.bits(low(timing), kTimingFieldBits);
            writer_.bits(low((timing >> 8) + 1), kTimingFieldBits);
            return;
        }
        for (const auto& [tree, value] : f.coded)
            symbol(tree, value);
    }

private:
    void symbol(unsigned tree, std::uint32_t value) {
        const HuffmanCode& code = trees_[tree].codes[value];
        writer_.bits(code.bits, code.length);
    }

    zavra::BitWriter writer_;
    const std::array<BuiltTree, zavra::kTreeCount>& trees_;
};

std::array<BuiltTree, zavra::kTreeCount> buildTrees(const SymbolCounts& counts) {
    std::array<BuiltTree, zavra::kTreeCount> trees;
    for (unsigned t = 0; t < zavra::kTreeCount; ++t)
        trees[t] = buildHuffmanTree(counts[t], t == zavra::kPitchTree);
    return trees;
}

double efficiency(std::size_t unpacked, std::size_t packed) {
    if (unpacked == 0)
        return 0;
    return 100.0 * (static_cast<double>(unpacked) - static_cast<double>(packed)) /
           static_cast<double>(unpacked);
}

} // namespace

std::vector<std::uint32_t> codedDelays(std::uint32_t ticks) {
    std::vector<std::uint32_t> parts;
    while (ticks > zavra::kMaxEscapedDelay) {
        parts.push_back(zavra::kMaxEscapedDelay);
        ticks -= zavra::kMaxEscapedDelay;
    }
    if (ticks > 0)
        parts.push_back(ticks);
    return parts;
}

CountResult countSymbols(const std::vector<SongEvent>& events) {
    CountResult result;
    for (unsigned t = 0; t < zavra::kTreeCount; ++t)
        result.counts[t].assign(kAlphabetSizes[t], 0);
    auto& counts = result.counts;
    std::uint32_t last = 0;
    for (const SongEvent& e : events) {
        if (!isWritten(e))
            continue;
        for (const std::uint32_t part : codedDelays(e.time - last)) {
            ++counts[zavra::kDelayTree][part & 0xFF];
            if (part >= zavra::kShortDelayLimit)
                ++counts[zavra::kTypeTree][zavra::kLongDelaySymbol];
        }
        last = e.time;
        if (e.type == event::kSetPch && e.value > zavra::kMaxPitch) {
            result.ok = false;
            result.problem = "      + Error - pitch exceeds 4095\n";
            return result;
        }
        if (event::isNoteOn(e.type) && e.instrument > kMaxInstrument) {
            result.ok = false;
            result.problem = "      + Error - instrument exceeds 255\n";
            return result;
        }
        const Fields f = fieldsOf(e);
        ++counts[zavra::kTypeTree][low(f.type)];
        for (const auto& [tree, value] : f.coded)
            ++counts[tree][value];
    }
    return result;
}

PackResult packEvents(const std::vector<SongEvent>& events,
                      const std::array<BuiltTree, zavra::kTreeCount>& trees,
                      std::uint8_t masterVolume) {
    PackResult result;
    std::vector<std::uint8_t>& bytes = result.data;
    bytes.assign(zavra::kStreamStart, 0);
    bytes[0] = zavra::kFormatByte0;
    bytes[1] = zavra::kFormatByte1;
    bytes[2] = masterVolume;
    StreamCoder coder(bytes, trees);
    std::uint32_t last = 0;
    for (const SongEvent& e : events) {
        if (!isWritten(e))
            continue;
        coder.delay(e.time - last);
        last = e.time;
        coder.event(e);
    }
    result.unpackedSize = songByteCode(events).size();

    for (unsigned t = 0; t < zavra::kTreeCount; ++t) {
        const zavra::HuffmanTree& tree = trees[t].tree;
        if (!tree.present())
            continue;
        const std::size_t offset = bytes.size() - zavra::kDescriptorBase;
        if (tree.nodes() > zavra::kMaxTreeNodes || offset > zavra::kMaxTreeOffset ||
            trees[t].tooDeep) {
            result.ok = false;
            result.badTree = t;
            return result;
        }
        std::uint8_t* d = &bytes[zavra::kDescriptorBase + 4 * t];
        d[0] = static_cast<std::uint8_t>(offset >> 8);
        d[1] = static_cast<std::uint8_t>(offset);
        d[2] = static_cast<std::uint8_t>(tree.nodes());
        d[3] = static_cast<std::uint8_t>(zavra::bitmapLength(tree.nodes()) |
                                         (tree.wide ? zavra::kWideValuesFlag : 0));
        const std::vector<std::uint8_t> data = zavra::encodeTreeData(tree);
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    return result;
}

Outcome packSongs(CompilerState& state, Console& out) {
    out.print("  + Calculating statistic for packing\n");
    std::vector<std::array<BuiltTree, zavra::kTreeCount>> songTrees;
    for (const Song& song : state.songs) {
        if (song.kind != SongKind::Midi)
            continue;
        out.print("    + Analyzing %s\n", song.path.c_str());
        const CountResult counted = countSymbols(song.compiled.events);
        if (!counted.ok) {
            out.write(counted.problem);
            return Outcome::stop(Outcome::kDataError);
        }
        songTrees.push_back(buildTrees(counted.counts));
        out.print("      + CN = {");
        for (unsigned t = 0; t < zavra::kTreeCount; ++t)
            out.print(t == 0 ? "%u" : ", %u",
                      static_cast<unsigned>(songTrees.back()[t].tree.nodes()));
        out.print("}\n");
        for (unsigned t = 0; t < zavra::kTreeCount; ++t)
            if (songTrees.back()[t].tree.nodes() > zavra::kMaxTreeNodes) {
                out.print("      + Error - tree %u has more than 255 nodes\n", t);
                return Outcome::stop(Outcome::kDataError);
            }
    }

    std::size_t unpackedTotal = 0;
    std::size_t packedTotal = 0;
    std::size_t next = 0;
    for (Song& song : state.songs) {
        if (song.kind != SongKind::Midi)
            continue;
        out.print("  + Packing %s\n", song.path.c_str());
        PackResult packed = packEvents(song.compiled.events, songTrees[next++],
                                       static_cast<std::uint8_t>(song.masterVolume));
        if (!packed.ok) {
            out.print("    + Error - tree %u does not fit its descriptor\n", packed.badTree);
            return Outcome::stop(Outcome::kDataError);
        }
        out.print("    + Efficiency: %.02f%%, %u->%u bytes\n",
                  efficiency(packed.unpackedSize, packed.data.size()),
                  static_cast<unsigned>(packed.unpackedSize),
                  static_cast<unsigned>(packed.data.size()));
        unpackedTotal += packed.unpackedSize;
        packedTotal += packed.data.size();
        song.data = std::move(packed.data);
        song.relocations.clear();
    }
    out.print("  + Overall: %.02f%%, %u->%u bytes\n", efficiency(unpackedTotal, packedTotal),
              static_cast<unsigned>(unpackedTotal), static_cast<unsigned>(packedTotal));
    return Outcome::next();
}

} // namespace telmira::compiler
