#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The packed song of the Zavra synthesizer: the song's event stream coded with eight static
// Huffman trees (one per kind of field) that travel with the song. The melody compiler writes
// it; the phone and the preview synthesizer read it.
//
// Layout: byte 0 = 0, byte 1 = 2, byte 2 = master volume; at 3 + 4t the descriptor of tree t
// (big-endian offset of its data relative to byte 3, 0 when absent; node count; flags: bit 7
// 16-bit values, bits 0..6 bitmap length); from byte 35 the coded stream, padded to a whole
// byte; then the data of each present tree in tree order.
//
// Bits run from bit 0 of each byte upward, for coded symbols and fixed-width fields alike; a
// field's first bit is its bit 0. A coded symbol is its path from the root, 0 left, 1 right.
namespace telmira::zavra {

inline constexpr std::size_t kTreeCount = 8;
enum TreeIndex : unsigned {
    kDelayTree = 0,       // delay low byte
    kTypeTree = 1,        // event type, and the long-delay escape
    kVoiceTree = 2,       // voice
    kInstrumentTree = 3,  // instrument number
    kVelocityTree = 4,    // velocity
    kVolumeTree = 5,      // volume of note-ons and SetVol
    kPitchTree = 6,       // SetPch pitch (16-bit values)
    kPitchChangeTree = 7, // DeltaP change byte
};

inline constexpr std::uint8_t kFormatByte0 = 0;
inline constexpr std::uint8_t kFormatByte1 = 2;
inline constexpr std::size_t kDescriptorBase = 3; // tree offsets count from here
inline constexpr std::size_t kStreamStart = 35;

// Node counts and offsets a descriptor can hold.
inline constexpr std::size_t kMaxTreeNodes = 255;
inline constexpr std::size_t kMaxTreeOffset = 0xFFFF;
inline constexpr std::uint8_t kWideValuesFlag = 0x80;

// Delays: 1..255 follow a 1 bit as a symbol of the delay tree; longer ones follow a 0 bit as
// the escape symbol of the type tree, four bits of bits 8..11 and the low byte in the delay
// tree. After an escape no bit is read before the next type symbol, so escapes chain: a delay
// above 4095 ticks is a run of escapes.
inline constexpr std::uint8_t kLongDelaySymbol = 239;
inline constexpr std::uint32_t kShortDelayLimit = 256;
inline constexpr std::uint32_t kMaxEscapedDelay = 4095;
// Largest SetPch pitch the pitch tree carries.
inline constexpr std::uint32_t kMaxPitch = 4095;

// Event types in the stream: 0..127 note-on of that key, the others below.
namespace type {
inline constexpr std::uint8_t kDeltaP = 240;
inline constexpr std::uint8_t kSetPch = 246;
inline constexpr std::uint8_t kSetVol = 247;
inline constexpr std::uint8_t kEnd = 248;
inline constexpr std::uint8_t kSetTim = 249;
inline constexpr std::uint8_t kNoteOff = 250; // + voice 0..5
inline constexpr std::uint8_t kLastNoteOn = 127;
} // namespace type

// SetTim carries its 16-bit timing value as the low byte and the high byte plus one; the
// reader takes the 16-bit field less 256. So the largest timing value it can carry is 0xFEFF.
inline constexpr std::uint16_t kMaxTiming = 0xFEFF;

// A Huffman tree as stored: node k has a right and a left value, each a symbol when the
// matching leaf flag is set, otherwise the index of a child node. Node 0 is the root.
struct HuffmanTree {
    std::vector<std::uint16_t> right;
    std::vector<std::uint16_t> left;
    std::vector<std::uint8_t> rightLeaf; // 0 or 1 per node
    std::vector<std::uint8_t> leftLeaf;
    bool wide = false; // 16-bit values

    std::size_t nodes() const { return right.size(); }
    bool present() const { return !right.empty(); }
    bool operator==(const HuffmanTree&) const = default;
};

// Bytes of each leaf bitmap of a tree of `nodes` nodes.
constexpr std::size_t bitmapLength(std::size_t nodes) {
    return (nodes + 7) / 8;
}

// The tree's data: right-leaf bitmap, left-leaf bitmap, every node's right value, every node's
// left value (16-bit values low byte first).
std::vector<std::uint8_t> encodeTreeData(const HuffmanTree& tree);

// Bits appended from bit 0 of each byte upward.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    void bit(bool value);
    // The low `count` bits of value, bit 0 first (count at most 64).
    void bits(std::uint64_t value, unsigned count);

private:
    std::vector<std::uint8_t>& bytes_;
    unsigned used_ = 8; // bits used of the last byte; 8: start a new one
};

class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::optional<bool> bit();
    // `count` bits (at most 32), the first one as bit 0.
    std::optional<std::uint32_t> bits(unsigned count);
    std::size_t position() const { return position_; }
    void rewind() { position_ = 0; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0; // in bits
};

// A packed song read from its bytes; the stream refers into them.
struct PackedSong {
    std::uint8_t masterVolume = 0;
    std::array<HuffmanTree, kTreeCount> trees;
    std::span<const std::uint8_t> stream; // from byte 35 up to the first tree's data
};

struct PackedSongResult {
    std::optional<PackedSong> song;
    std::string error; // why the bytes are not a packed song
};

// Reads the header and the trees. Every descriptor, bitmap and value is checked: a tree whose
// data lies outside the bytes, or whose inner values name no node, is an error.
PackedSongResult readPackedSong(std::span<const std::uint8_t> bytes);

// One event of the stream with its fields (those its type carries; the others stay 0).
struct StreamEvent {
    std::uint8_t type = 0;
    std::uint8_t voice = 0;
    std::uint8_t instrument = 0;
    std::uint8_t velocity = 0;
    std::uint8_t volume = 0;
    std::int8_t pitchChange = 0; // DeltaP
    std::uint16_t pitch = 0;     // SetPch
    std::uint16_t timing = 0;    // SetTim: the timing value (the field less 256)
    bool operator==(const StreamEvent&) const = default;
};

// A step of decoding as the phone takes it: a delay to wait, or an event.
struct StreamStep {
    bool isDelay = false;
    std::uint32_t delay = 0;
    StreamEvent event;
};

// Decodes a packed song step by step: while no delay has been read for the coming event, a 1
// bit gives a short delay; otherwise the type symbol follows (the escape gives a long delay and
// leaves the next step to read a type at once).
class StreamDecoder {
public:
    explicit StreamDecoder(const PackedSong& song) : song_(song), reader_(song.stream) {}

    // The next step; nothing when the stream is malformed or ends too early (error() says
    // why).
    std::optional<StreamStep> next();
    // Back to the start of the stream (the song loops).
    void restart();
    const std::string& error() const { return error_; }

private:
    std::optional<std::uint16_t> symbol(unsigned tree);
    std::optional<std::uint8_t> byteSymbol(unsigned tree);
    bool fail(std::string text);

    const PackedSong& song_;
    BitReader reader_;
    bool delayRead_ = false;
    std::string error_;
};

// An event of an unpacked song with the ticks since the event before it.
struct UnpackedEvent {
    std::uint32_t delay = 0;
    StreamEvent event;
    bool operator==(const UnpackedEvent&) const = default;
};

struct UnpackResult {
    std::optional<std::vector<UnpackedEvent>> events; // up to and including End
    std::uint8_t masterVolume = 0;
    std::string error;
};

// The whole event list of a packed song, delays summed into the event that follows them.
UnpackResult unpackSong(std::span<const std::uint8_t> bytes);

} // namespace telmira::zavra
