#include "tests/ayvex/writers.h"

#include <cstring>

namespace ayvextest {

namespace {

void putWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = std::uint8_t(value);
    bytes[at + 1] = std::uint8_t(value >> 8);
}

} // namespace

Pt3Module writePt3(const Pt3Spec& spec) {
    Pt3Module out;
    auto& b = out.bytes;
    b.assign(201, 0);
    const char* title = "ProTracker 3.6 compilation of test module";
    std::memcpy(b.data(), title, std::strlen(title));
    b[99] = spec.toneTable;
    b[100] = spec.delay;
    b[101] = std::uint8_t(spec.positions.size());
    b[102] = spec.loop;
    for (std::uint8_t p : spec.positions)
        b.push_back(std::uint8_t(p * 3));
    b.push_back(0xFF);
    putWord(b, 103, std::uint16_t(b.size()));
    const std::size_t table = b.size();
    b.resize(b.size() + 6 * spec.patterns.size());
    for (std::size_t p = 0; p < spec.patterns.size(); ++p) {
        std::array<std::uint16_t, 3> at{};
        for (std::size_t c = 0; c < 3; ++c) {
            at[c] = std::uint16_t(b.size());
            putWord(b, table + 6 * p + 2 * c, at[c]);
            const auto& stream = spec.patterns[p].channels[c];
            b.insert(b.end(), stream.begin(), stream.end());
        }
        out.streamAt.push_back(at);
    }
    for (const auto& [number, sample] : spec.samples) {
        out.sampleAt[number] = std::uint16_t(b.size());
        putWord(b, 105 + 2 * std::size_t(number), std::uint16_t(b.size()));
        b.push_back(sample.loop);
        b.push_back(std::uint8_t(sample.lines.size()));
        for (const auto& line : sample.lines)
            b.insert(b.end(), line.begin(), line.end());
    }
    for (const auto& [number, ornament] : spec.ornaments) {
        out.ornamentAt[number] = std::uint16_t(b.size());
        putWord(b, 169 + 2 * std::size_t(number), std::uint16_t(b.size()));
        b.push_back(ornament.loop);
        b.push_back(std::uint8_t(ornament.steps.size()));
        b.insert(b.end(), ornament.steps.begin(), ornament.steps.end());
    }
    return out;
}

Pt3Sample plainSample() {
    return Pt3Sample{0, {{0x00, 0x8F, 0x00, 0x00}}};
}

Pt3Ornament plainOrnament() {
    return Pt3Ornament{0, {0}};
}

FxmWriter::FxmWriter(std::uint16_t load) : load_(load) {}

FxmWriter& FxmWriter::bytes(std::initializer_list<std::uint8_t> values) {
    code_.insert(code_.end(), values.begin(), values.end());
    return *this;
}

FxmWriter& FxmWriter::withWord(std::uint8_t command, std::uint16_t word) {
    return bytes({command, std::uint8_t(word), std::uint8_t(word >> 8)});
}

void FxmWriter::patchWord(std::uint16_t address, std::uint16_t value) {
    const std::size_t at = address - load_ - 6u;
    code_.at(at) = std::uint8_t(value);
    code_.at(at + 1) = std::uint8_t(value >> 8);
}

std::vector<std::uint8_t> FxmWriter::module() const {
    std::vector<std::uint8_t> m{'F', 'X', 'S', 'M', std::uint8_t(load_), std::uint8_t(load_ >> 8)};
    for (std::uint16_t s : starts_) {
        m.push_back(std::uint8_t(s));
        m.push_back(std::uint8_t(s >> 8));
    }
    m.insert(m.end(), code_.begin(), code_.end());
    return m;
}

std::vector<std::uint8_t> simpleFxm(std::uint16_t load) {
    FxmWriter w(load);
    for (int channel = 0; channel < 3; ++channel) {
        const std::uint16_t start = w.here();
        w.start(channel, start);
        w.note(std::uint8_t(0x20 + channel)).jump(start);
    }
    return w.module();
}

} // namespace ayvextest
