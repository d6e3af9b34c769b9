#pragma once

// Small PT3 and FXM modules written by the tests, byte for byte as the trackers lay them out.

#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace ayvextest {

struct Pt3Sample {
    std::uint8_t loop = 0;
    std::vector<std::array<std::uint8_t, 4>> lines;
};

struct Pt3Ornament {
    std::uint8_t loop = 0;
    std::vector<std::uint8_t> steps;
};

// Channel streams are given as raw bytes: a test writes the 0x00 end itself (or leaves it out).
struct Pt3Pattern {
    std::array<std::vector<std::uint8_t>, 3> channels;
};

struct Pt3Spec {
    std::uint8_t toneTable = 1;
    std::uint8_t delay = 3;
    std::uint8_t loop = 0;
    std::vector<std::uint8_t> positions{0}; // pattern numbers
    std::map<int, Pt3Sample> samples;       // by sample number 0..31
    std::map<int, Pt3Ornament> ornaments;   // by ornament number 0..15
    std::vector<Pt3Pattern> patterns;
};

struct Pt3Module {
    std::vector<std::uint8_t> bytes;
    std::map<int, std::uint16_t> sampleAt;
    std::map<int, std::uint16_t> ornamentAt;
    std::vector<std::array<std::uint16_t, 3>> streamAt; // per pattern
};

// Header, position list (closed by 0xFF), pattern table, the streams pattern by pattern, the
// samples and then the ornaments in number order.
Pt3Module writePt3(const Pt3Spec& spec);

// A sample of one silent line and an ornament of one step: what most fixtures need.
Pt3Sample plainSample();
Pt3Ornament plainOrnament();

// FXM modules: a header and the channel programs assembled at the load address.
class FxmWriter {
public:
    explicit FxmWriter(std::uint16_t load);

    std::uint16_t here() const { return std::uint16_t(load_ + 6 + code_.size()); }
    void start(int channel, std::uint16_t address) { starts_[std::size_t(channel)] = address; }

    FxmWriter& bytes(std::initializer_list<std::uint8_t> values);
    FxmWriter& note(std::uint8_t note = 0x30, std::uint8_t duration = 4) {
        return bytes({note, duration});
    }
    FxmWriter& jump(std::uint16_t to) { return withWord(0x80, to); }
    FxmWriter& call(std::uint16_t to) { return withWord(0x81, to); }
    FxmWriter& loop(std::uint8_t count) { return bytes({0x82, count}); }
    FxmWriter& loopEnd() { return bytes({0x83}); }
    FxmWriter& ret() { return bytes({0x89}); }

    // Changes a word written earlier (for jumps to code that comes later).
    void patchWord(std::uint16_t address, std::uint16_t value);

    std::vector<std::uint8_t> module() const;
    std::size_t offsetOf(std::uint16_t address) const { return address - load_ + 6u; }

private:
    FxmWriter& withWord(std::uint8_t command, std::uint16_t word);

    std::uint16_t load_;
    std::array<std::uint16_t, 3> starts_{};
    std::vector<std::uint8_t> code_;
};

// A module whose three channels each play a note and jump back to their start.
std::vector<std::uint8_t> simpleFxm(std::uint16_t load);

} // namespace ayvextest
