#include "ayvex/pt3.h"

#include "ayvex/bytes.h"
#include "ayvex/pt3rows.h"

#include <algorithm>
#include <map>
#include <numeric>

namespace ayvex {

namespace {

constexpr std::uint32_t kHeaderSize = 201; // fixed header; the position list follows
constexpr std::uint32_t kPositionsAt = 201;
constexpr std::uint32_t kOffsetLimit = 0x10000; // module offsets are 16-bit
constexpr std::uint32_t kMaxRows = 64;
constexpr std::uint32_t kSamples = 32;
constexpr std::uint32_t kOrnaments = 16;

enum class Kind { Sample, Ornament, Stream };

struct Object {
    Kind kind = Kind::Stream;
    std::uint32_t size = 0;
    std::uint32_t outOffset = 0;
};

class Pt3Converter {
public:
    Pt3Converter(std::span<const std::uint8_t> module, Encoder& encoder)
        : moduleSize_(std::uint32_t(module.size())), bytes_(module, kOffsetLimit),
          encoder_(encoder) {}

    void run(Pt3Conversion& out);

private:
    bool fail(std::string why) {
        error_ = std::move(why);
        return false;
    }
    void warn(std::string text) { warnings_.push_back(std::move(text)); }

    bool readHeader();
    bool addSample(std::uint32_t at);
    bool addOrnament(std::uint32_t at);
    bool collectStreams();
    bool walkStream(std::uint32_t at, bool coding, std::uint32_t& size);
    void renumber();
    template <std::size_t N>
    bool fillSlots(const std::array<std::uint16_t, N>& moduleAt,
                   const std::array<std::uint32_t, N>& usage,
                   const std::array<std::uint8_t, N>& order, bool isSample,
                   std::array<std::uint32_t, N>& slotAt, std::uint32_t& count);
    void checkAddresses();
    bool codeSample(std::uint32_t at);
    bool assemble(std::vector<int>& lines);

    std::uint32_t moduleSize_;
    Bytes bytes_;
    Encoder& encoder_;
    std::string error_;
    std::vector<std::string> warnings_;

    std::uint32_t positions_ = 0;
    std::uint32_t patternTable_ = 0;
    std::array<std::uint16_t, kSamples> sampleAt_{};
    std::array<std::uint16_t, kOrnaments> ornamentAt_{};
    std::vector<std::uint32_t> streamSlotAt_; // module offset per channel-stream slot
    std::vector<bool> streamSlotUsed_;
    std::map<std::uint32_t, Object> objects_; // by module offset

    Pt3Usage usage_;
    Pt3Numbering numbering_;
    std::array<std::uint8_t, kSamples> sampleOrder_{}; // new number -> module number
    std::array<std::uint8_t, kOrnaments> ornamentOrder_{};
    std::array<std::uint32_t, kSamples> sampleSlotAt_{}; // new number -> module offset
    std::array<std::uint32_t, kOrnaments> ornamentSlotAt_{};
    std::uint32_t sampleSlots_ = 0;
    std::uint32_t ornamentSlots_ = 0;
};

void Pt3Converter::run(Pt3Conversion& out) {
    bool ok = readHeader();
    for (std::uint32_t s = 0; ok && s < kSamples; ++s)
        if (sampleAt_[s] != 0 && !objects_.contains(sampleAt_[s]))
            ok = addSample(sampleAt_[s]);
    for (std::uint32_t o = 0; ok && o < kOrnaments; ++o)
        if (ornamentAt_[o] != 0 && !objects_.contains(ornamentAt_[o]))
            ok = addOrnament(ornamentAt_[o]);
    ok = ok && collectStreams();
    if (ok) {
        renumber();
        ok = fillSlots(sampleAt_, usage_.sample, sampleOrder_, true, sampleSlotAt_, sampleSlots_) &&
             fillSlots(ornamentAt_, usage_.ornament, ornamentOrder_, false, ornamentSlotAt_,
                       ornamentSlots_);
    }
    if (ok) {
        checkAddresses();
        ok = assemble(out.lines);
    }
    out.warnings = std::move(warnings_);
    if (!ok) {
        out.status = kPt3Rejected;
        out.error = error_;
        out.lines.clear();
        return;
    }
    if (encoder_.missingCode()) {
        out.status = kPt3TablesUnusable;
        out.error = "code table " + codeTableFileName(std::size_t(encoder_.missingTable())) +
                    " has no code for symbol " + std::to_string(encoder_.missingSymbol());
        out.lines.clear();
    }
}

bool Pt3Converter::readHeader() {
    if (!bytes_.has(0, kHeaderSize))
        return fail("the module is shorter than a PT3 header");
    positions_ = bytes_.at(101);
    const std::uint32_t loop = bytes_.at(102);
    if (positions_ == 0)
        return fail("the module has no positions");
    if (loop >= positions_)
        return fail("the loop position " + std::to_string(loop) + " is not one of the " +
                    std::to_string(positions_) + " positions");
    if (!bytes_.has(kPositionsAt, positions_))
        return fail("the position list runs past the end of the module");
    patternTable_ = bytes_.word(103);
    for (std::uint32_t s = 0; s < kSamples; ++s)
        sampleAt_[s] = bytes_.word(105 + 2 * s);
    for (std::uint32_t o = 0; o < kOrnaments; ++o)
        ornamentAt_[o] = bytes_.word(169 + 2 * o);
    return true;
}

bool Pt3Converter::addSample(std::uint32_t at) {
    if (!bytes_.has(at, 2))
        return fail("the sample at " + hex4(at) + "h runs past the end of the module");
    const std::uint32_t loop = bytes_.at(at);
    const std::uint32_t lines = bytes_.at(at + 1);
    const std::uint32_t size = 4 * lines + 2;
    if (!bytes_.has(at, size))
        return fail("the sample at " + hex4(at) + "h runs past the end of the module");
    if (lines == 0)
        warn("  + WARN: PT3 samplelen=0 error, Addr=" + hex4(at) + "h");
    if (loop > lines)
        return fail("the sample at " + hex4(at) + "h loops to line " + std::to_string(loop) +
                    " of " + std::to_string(lines));
    objects_[at] = Object{Kind::Sample, size, 0};
    return true;
}

bool Pt3Converter::addOrnament(std::uint32_t at) {
    if (!bytes_.has(at, 2) || !bytes_.has(at, bytes_.at(at + 1) + 2u))
        return fail("the ornament at " + hex4(at) + "h runs past the end of the module");
    objects_[at] = Object{Kind::Ornament, bytes_.at(at + 1) + 2u, 0};
    return true;
}

bool Pt3Converter::collectStreams() {
    std::uint32_t highest = 0;
    for (std::uint32_t k = 0; k < positions_; ++k)
        highest = std::max<std::uint32_t>(highest, bytes_.at(kPositionsAt + k));
    // Each position names its pattern by the index of its first channel-stream slot.
    streamSlotAt_.assign(highest + 3, 0);
    streamSlotUsed_.assign(highest + 3, false);
    for (std::uint32_t k = 0; k < positions_; ++k) {
        const std::uint32_t first = bytes_.at(kPositionsAt + k);
        for (std::uint32_t slot = first; slot < first + 3; ++slot) {
            const std::uint32_t entry = patternTable_ + 2 * slot;
            if (!bytes_.has(entry, 2))
                return fail("the pattern table runs past the end of the module");
            streamSlotAt_[slot] = bytes_.word(entry);
            streamSlotUsed_[slot] = true;
        }
    }
    for (std::size_t slot = 0; slot < streamSlotAt_.size(); ++slot) {
        const std::uint32_t at = streamSlotAt_[slot];
        if (!streamSlotUsed_[slot] || objects_.contains(at))
            continue;
        std::uint32_t size = 0;
        if (!walkStream(at, false, size))
            return false;
        objects_[at] = Object{Kind::Stream, size, 0};
    }
    return true;
}

// One channel stream, row by row: the first pass measures it and counts the samples and
// ornaments it calls, the second writes its codes. It ends at 0x00 or after 64 rows; a stream
// cut after 64 rows still gets the end code, so the player never reads on into the next object.
bool Pt3Converter::walkStream(std::uint32_t at, bool coding, std::uint32_t& size) {
    std::uint32_t pos = at;
    std::uint32_t rows = 0;
    std::uint32_t skip = 1;
    Pt3Row row;
    for (;;) {
        if (rows >= kMaxRows) {
            if (bytes_.has(pos, 1) && bytes_.at(pos) == 0x00)
                ++pos; // the pattern's own end after a full pattern
            if (coding)
                encoder_.put(Table::Class, 10);
            break;
        }
        if (!readPt3Row(bytes_, pos, skip, row, error_))
            return false;
        if (coding)
            codePt3Row(row, numbering_, encoder_);
        else
            notePt3Row(row, usage_, warnings_);
        if (row.endsStream)
            break;
        rows += skip;
    }
    size = pos - at;
    return true;
}

// The most used sample (ornament) becomes number 0; equal counts keep their module order.
void Pt3Converter::renumber() {
    std::iota(sampleOrder_.begin(), sampleOrder_.end(), 0);
    std::stable_sort(sampleOrder_.begin(), sampleOrder_.end(), [&](std::uint8_t a, std::uint8_t b) {
        return usage_.sample[a] > usage_.sample[b];
    });
    std::iota(ornamentOrder_.begin(), ornamentOrder_.end(), 0);
    std::stable_sort(
        ornamentOrder_.begin(), ornamentOrder_.end(),
        [&](std::uint8_t a, std::uint8_t b) { return usage_.ornament[a] > usage_.ornament[b]; });
    for (std::uint8_t n = 0; n < kSamples; ++n)
        numbering_.sample[sampleOrder_[n]] = n;
    for (std::uint8_t n = 0; n < kOrnaments; ++n)
        numbering_.ornament[ornamentOrder_[n]] = n;
}

// Module offsets of the pointer table's slots in new order. A slot the streams call but the
// module does not define stands in for the ornament (sample) that became number 0, or when
// that one is missing too for the first defined one, so no pointer leads to an undefined object.
template <std::size_t N>
bool Pt3Converter::fillSlots(const std::array<std::uint16_t, N>& moduleAt,
                             const std::array<std::uint32_t, N>& usage,
                             const std::array<std::uint8_t, N>& order, bool isSample,
                             std::array<std::uint32_t, N>& slotAt, std::uint32_t& count) {
    std::uint32_t standIn = 0;
    for (std::size_t n = 0; n < N && standIn == 0; ++n)
        standIn = moduleAt[order[n]];
    for (std::size_t n = 0; n < N; ++n) {
        slotAt[n] = moduleAt[order[n]];
        if (slotAt[n] != 0 || usage[order[n]] == 0)
            continue;
        const std::string what = isSample ? "sample" : "ornament";
        if (standIn == 0)
            return fail("the patterns call " + what + " " + std::to_string(order[n]) +
                        ", but the module has no " + what + "s");
        // An undefined ornament silently stands in for ornament 0 when that one exists.
        if (isSample || moduleAt[order[0]] == 0)
            warn(isSample ? "  + WARN: PT3 Err at Sample: Call to undefined object"
                          : "  + WARN: PT3 Err at Orn: Call to undefined object");
        slotAt[n] = standIn;
    }
    count = 0;
    while (count < N && slotAt[count] != 0)
        ++count;
    return true;
}

void Pt3Converter::checkAddresses() {
    for (const auto& [at, object] : objects_) {
        const std::uint32_t end = at + object.size;
        if (!objects_.contains(end) && end != moduleSize_)
            warn("  + WARN: Address error at: " + hex4(at) + " size : " + hex4(object.size));
    }
}

bool Pt3Converter::codeSample(std::uint32_t at) {
    const std::uint32_t loop = bytes_.at(at);
    const std::uint32_t lines = bytes_.at(at + 1);
    std::uint32_t loopBits = 0;
    for (std::uint32_t i = 0; i < lines; ++i) {
        if (i == loop)
            loopBits = encoder_.bitCount();
        const std::uint32_t line = at + 2 + 4 * i;
        const std::uint8_t b0 = bytes_.at(line);
        const std::uint8_t b1 = bytes_.at(line + 1);
        const std::uint8_t b2 = bytes_.at(line + 2);
        const std::uint8_t b3 = bytes_.at(line + 3);
        const int tone = std::int16_t(std::uint16_t(b2 | b3 << 8));
        const bool small = tone >= -128 && tone <= 127;
        const std::uint8_t flags =
            (b0 != 0 ? 1 : 0) | (tone != 0 && small ? 2 : 0) | (!small ? 4 : 0);
        encoder_.put(Table::Small, flags);
        encoder_.put(Table::Value, std::uint8_t((b1 - 76) ^ 7));
        if (flags & 1)
            encoder_.put(Table::Value, std::uint8_t((b0 ^ 0x66) - 32));
        if (flags & 2)
            encoder_.put(Table::Value, std::uint8_t((b2 ^ 0x79) - 64));
        if (flags & 4) {
            encoder_.put(Table::Value, std::uint8_t((b2 - 65) ^ 0xF8));
            encoder_.put(Table::Value, std::uint8_t((b3 - 66) ^ 0x87));
        }
    }
    if (loop == lines)
        loopBits = encoder_.bitCount();
    // The loop line's place is coded as a byte and a bit within the object.
    if (loopBits / 8 > 255 && !encoder_.measuresOnly())
        return fail("the sample at " + hex4(at) + "h is too long to code its loop");
    encoder_.put(Table::Small, 6);
    encoder_.put(Table::Small, std::uint8_t(loopBits & 7));
    encoder_.put(Table::Value, std::uint8_t(((loopBits / 8) - 71) ^ 0xFE));
    return true;
}

bool Pt3Converter::assemble(std::vector<int>& lines) {
    const std::uint32_t streamSlots = std::uint32_t(streamSlotAt_.size());
    const std::uint32_t base = 12 + 2 * (sampleSlots_ + ornamentSlots_ + streamSlots);
    std::vector<std::uint8_t> body;
    for (auto& [at, object] : objects_) {
        object.outOffset = base + std::uint32_t(body.size());
        std::vector<std::uint8_t> coded;
        if (object.kind == Kind::Ornament) {
            for (std::uint32_t i = 0; i < object.size; ++i)
                body.push_back(bytes_.at(at + i));
            continue;
        }
        if (object.kind == Kind::Sample) {
            if (!codeSample(at))
                return false;
        } else {
            std::uint32_t size = 0;
            if (!walkStream(at, true, size))
                return false;
        }
        coded = encoder_.finish();
        body.insert(body.end(), coded.begin(), coded.end());
    }
    const std::uint32_t positionsAt = base + std::uint32_t(body.size());
    const std::uint32_t total = positionsAt + positions_ + 1;
    // Pointers are 16-bit, and the melody compiler keeps a song in twice the module's size.
    if (total > 0xFFFF || total > 2 * std::uint64_t(moduleSize_))
        return fail("the converted song (" + std::to_string(total) +
                    " bytes) does not fit in twice the module's size");

    lines = {0,
             1,
             bytes_.at(99),
             bytes_.at(100),
             bytes_.at(101),
             bytes_.at(102),
             numbering_.sample[0],
             numbering_.ornament[0],
             int(2 * sampleSlots_),
             int(2 * ornamentSlots_),
             int(2 * streamSlots)};
    lines.insert(lines.end(), body.begin(), body.end());
    for (std::uint32_t k = 0; k < positions_; ++k)
        lines.push_back(bytes_.at(kPositionsAt + k));
    lines.push_back(255);
    lines.push_back(-1);
    lines.push_back(int(positionsAt));
    for (std::uint32_t n = 0; n < sampleSlots_; ++n)
        lines.push_back(int(objects_.at(sampleSlotAt_[n]).outOffset));
    for (std::uint32_t n = 0; n < ornamentSlots_; ++n)
        lines.push_back(int(objects_.at(ornamentSlotAt_[n]).outOffset));
    // Slots of patterns no position plays are never read; they point at the song's start.
    for (std::uint32_t slot = 0; slot < streamSlots; ++slot)
        lines.push_back(streamSlotUsed_[slot] ? int(objects_.at(streamSlotAt_[slot]).outOffset)
                                              : 0);
    return true;
}

} // namespace

Pt3Conversion convertPt3(std::span<const std::uint8_t> module, const CodeTables& tables) {
    Encoder encoder(&tables);
    Pt3Conversion out;
    Pt3Converter(module, encoder).run(out);
    return out;
}

bool countPt3Symbols(std::span<const std::uint8_t> module, SymbolCounts& counts,
                     std::string& error) {
    SymbolCounts own{};
    Encoder encoder(nullptr, &own);
    Pt3Conversion out;
    Pt3Converter(module, encoder).run(out);
    if (out.status != kPt3Written) {
        error = out.error;
        return false;
    }
    for (std::size_t t = 0; t < kTableCount; ++t)
        for (std::size_t s = 0; s < 256; ++s)
            counts[t][s] += own[t][s];
    return true;
}

} // namespace ayvex
