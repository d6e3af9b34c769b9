#include "base/zavrastream.h"

#include <algorithm>

namespace telmira::zavra {

namespace {

constexpr std::size_t kDescriptorSize = 4;
constexpr std::uint8_t kBitmapLengthMask = 0x7F;

bool bitSet(std::span<const std::uint8_t> bitmap, std::size_t k) {
    return (bitmap[k / 8] >> (k % 8)) & 1;
}

// Reads tree t's data at `at` (already known to lie after the header).
std::optional<HuffmanTree> readTree(std::span<const std::uint8_t> bytes, std::size_t at,
                                    std::size_t nodes, std::uint8_t flags, std::string& error) {
    HuffmanTree tree;
    tree.wide = (flags & kWideValuesFlag) != 0;
    const std::size_t mapLength = flags & kBitmapLengthMask;
    const std::size_t width = tree.wide ? 2 : 1;
    if (nodes == 0 || mapLength < bitmapLength(nodes)) {
        error = "a tree's bitmaps are too short for its nodes";
        return std::nullopt;
    }
    const std::size_t size = 2 * mapLength + 2 * nodes * width;
    if (at > bytes.size() || size > bytes.size() - at) {
        error = "a tree's data lies outside the song";
        return std::nullopt;
    }
    const auto rightMap = bytes.subspan(at, mapLength);
    const auto leftMap = bytes.subspan(at + mapLength, mapLength);
    const std::size_t values = at + 2 * mapLength;
    const auto value = [&](std::size_t index) {
        const std::size_t p = values + index * width;
        return static_cast<std::uint16_t>(tree.wide ? bytes[p] | (bytes[p + 1] << 8) : bytes[p]);
    };
    for (std::size_t k = 0; k < nodes; ++k) {
        tree.right.push_back(value(k));
        tree.left.push_back(value(nodes + k));
        tree.rightLeaf.push_back(bitSet(rightMap, k) ? 1 : 0);
        tree.leftLeaf.push_back(bitSet(leftMap, k) ? 1 : 0);
        if ((!tree.rightLeaf[k] && tree.right[k] >= nodes) ||
            (!tree.leftLeaf[k] && tree.left[k] >= nodes)) {
            error = "a tree names a node it does not have";
            return std::nullopt;
        }
    }
    return tree;
}

} // namespace

std::vector<std::uint8_t> encodeTreeData(const HuffmanTree& tree) {
    const std::size_t nodes = tree.nodes();
    const std::size_t mapLength = bitmapLength(nodes);
    std::vector<std::uint8_t> bytes(2 * mapLength, 0);
    for (std::size_t k = 0; k < nodes; ++k) {
        if (tree.rightLeaf[k])
            bytes[k / 8] |= static_cast<std::uint8_t>(1u << (k % 8));
        if (tree.leftLeaf[k])
            bytes[mapLength + k / 8] |= static_cast<std::uint8_t>(1u << (k % 8));
    }
    const auto put = [&](std::uint16_t value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
        if (tree.wide)
            bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    };
    for (const std::uint16_t value : tree.right)
        put(value);
    for (const std::uint16_t value : tree.left)
        put(value);
    return bytes;
}

void BitWriter::bit(bool value) {
    if (used_ == 8) {
        bytes_.push_back(0);
        used_ = 0;
    }
    if (value)
        bytes_.back() |= static_cast<std::uint8_t>(1u << used_);
    ++used_;
}

void BitWriter::bits(std::uint64_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i)
        bit((value >> i) & 1);
}

std::optional<bool> BitReader::bit() {
    if (position_ / 8 >= bytes_.size())
        return std::nullopt;
    const bool value = (bytes_[position_ / 8] >> (position_ % 8)) & 1;
    ++position_;
    return value;
}

std::optional<std::uint32_t> BitReader::bits(unsigned count) {
    std::uint32_t value = 0;
    for (unsigned i = 0; i < count; ++i) {
        const auto b = bit();
        if (!b)
            return std::nullopt;
        value |= static_cast<std::uint32_t>(*b) << i;
    }
    return value;
}

PackedSongResult readPackedSong(std::span<const std::uint8_t> bytes) {
    PackedSongResult result;
    if (bytes.size() < kStreamStart) {
        result.error = "shorter than the packed song header";
        return result;
    }
    PackedSong song;
    song.masterVolume = bytes[2];
    std::size_t streamEnd = bytes.size();
    for (unsigned t = 0; t < kTreeCount; ++t) {
        const std::size_t d = kDescriptorBase + kDescriptorSize * t;
        const std::size_t offset = (bytes[d] << 8) | bytes[d + 1];
        if (offset == 0)
            continue;
        const std::size_t at = kDescriptorBase + offset;
        if (at < kStreamStart) {
            result.error = "a tree's data overlaps the header";
            return result;
        }
        auto tree = readTree(bytes, at, bytes[d + 2], bytes[d + 3], result.error);
        if (!tree)
            return result;
        song.trees[t] = std::move(*tree);
        streamEnd = std::min(streamEnd, at);
    }
    song.stream = bytes.subspan(kStreamStart, streamEnd - kStreamStart);
    result.song = std::move(song);
    return result;
}

bool StreamDecoder::fail(std::string text) {
    error_ = std::move(text);
    return false;
}

std::optional<std::uint16_t> StreamDecoder::symbol(unsigned t) {
    const HuffmanTree& tree = song_.trees[t];
    if (!tree.present()) {
        fail("the stream needs tree " + std::to_string(t) + ", which the song lacks");
        return std::nullopt;
    }
    // A path visits each node at most once; more steps mean the tree loops.
    std::size_t node = 0;
    for (std::size_t steps = 0; steps < tree.nodes(); ++steps) {
        const auto bit = reader_.bit();
        if (!bit) {
            fail("the stream ends inside an event");
            return std::nullopt;
        }
        const bool leaf = *bit ? tree.rightLeaf[node] : tree.leftLeaf[node];
        const std::uint16_t value = *bit ? tree.right[node] : tree.left[node];
        if (leaf)
            return value;
        node = value;
    }
    fail("tree " + std::to_string(t) + " has a loop");
    return std::nullopt;
}

std::optional<std::uint8_t> StreamDecoder::byteSymbol(unsigned t) {
    const auto value = symbol(t);
    if (!value)
        return std::nullopt;
    return static_cast<std::uint8_t>(*value);
}

void StreamDecoder::restart() {
    reader_.rewind();
    delayRead_ = false;
    error_.clear();
}

std::optional<StreamStep> StreamDecoder::next() {
    StreamStep step;
    if (!delayRead_) {
        const auto bit = reader_.bit();
        if (!bit) {
            fail("the stream ends without an end of song");
            return std::nullopt;
        }
        if (*bit) {
            const auto low = byteSymbol(kDelayTree);
            if (!low)
                return std::nullopt;
            delayRead_ = true;
            step.isDelay = true;
            step.delay = *low;
            return step;
        }
    }
    delayRead_ = false;
    const auto t = byteSymbol(kTypeTree);
    if (!t)
        return std::nullopt;
    StreamEvent& e = step.event;
    e.type = *t;
    const auto take = [this](unsigned tree, std::uint8_t& field) {
        const auto value = byteSymbol(tree);
        if (value)
            field = *value;
        return value.has_value();
    };
    bool ok = true;
    if (e.type == kLongDelaySymbol) {
        const auto high = reader_.bits(4);
        const auto low = high ? byteSymbol(kDelayTree) : std::nullopt;
        if (!high || !low) {
            if (error_.empty())
                fail("the stream ends inside a delay");
            return std::nullopt;
        }
        delayRead_ = true;
        step.isDelay = true;
        step.delay = *low + (*high << 8);
        return step;
    } else if (e.type == type::kDeltaP) {
        std::uint8_t change = 0;
        ok = take(kVoiceTree, e.voice) && take(kPitchChangeTree, change);
        e.pitchChange = static_cast<std::int8_t>(change);
    } else if (e.type == type::kSetPch) {
        ok = take(kVoiceTree, e.voice);
        const auto pitch = ok ? symbol(kPitchTree) : std::nullopt;
        ok = pitch.has_value();
        e.pitch = pitch.value_or(0);
    } else if (e.type == type::kSetVol) {
        ok = take(kVoiceTree, e.voice) && take(kVolumeTree, e.volume);
    } else if (e.type == type::kSetTim) {
        const auto field = reader_.bits(16);
        if (!field) {
            fail("the stream ends inside a SetTim");
            return std::nullopt;
        }
        e.timing = static_cast<std::uint16_t>(*field - 256);
    } else if (e.type == type::kEnd || e.type >= type::kNoteOff) {
        // nothing follows
    } else {
        e.type &= type::kLastNoteOn; // every other value is a note-on of its key
        ok = take(kVoiceTree, e.voice) && take(kInstrumentTree, e.instrument) &&
             take(kVelocityTree, e.velocity) && take(kVolumeTree, e.volume);
    }
    if (!ok)
        return std::nullopt;
    return step;
}

UnpackResult unpackSong(std::span<const std::uint8_t> bytes) {
    UnpackResult result;
    const PackedSongResult read = readPackedSong(bytes);
    if (!read.song) {
        result.error = read.error;
        return result;
    }
    result.masterVolume = read.song->masterVolume;
    StreamDecoder decoder(*read.song);
    std::vector<UnpackedEvent> events;
    std::uint64_t delay = 0;
    // Every step takes at least one bit, so the stream's bits bound the steps.
    for (;;) {
        const auto step = decoder.next();
        if (!step) {
            result.error = decoder.error();
            return result;
        }
        if (step->isDelay) {
            delay += step->delay;
            continue;
        }
        events.push_back(
            {static_cast<std::uint32_t>(std::min<std::uint64_t>(delay, UINT32_MAX)), step->event});
        delay = 0;
        if (step->event.type == type::kEnd)
            break;
    }
    result.events = std::move(events);
    return result;
}

} // namespace telmira::zavra
