#include "tools/mkbank/dlscheck.h"

#include <string_view>

namespace telmira::mkbank {

namespace {

constexpr int kMaxDepth = 8;

struct Chunk {
    std::string_view id;
    std::string_view type; // list type of a RIFF or LIST chunk
    std::size_t body = 0;  // first byte of the data (after the list type for lists)
    std::size_t size = 0;  // bytes of data from `body`
};

class Walker {
public:
    Walker(std::span<const std::uint8_t> bytes, DlsContents& contents,
           std::vector<std::string>& problems)
        : b_(bytes), out_(contents), problems_(problems) {}

    void run() {
        if (b_.size() < 12 || id(0) != "RIFF") {
            problem("not a RIFF file");
            return;
        }
        const std::uint32_t declared = u32(4);
        if (declared != b_.size() - 8) {
            problem("RIFF size " + std::to_string(declared) + " differs from file size - 8 (" +
                    std::to_string(b_.size() - 8) + ")");
        }
        if (id(8) != "DLS ") {
            problem("form type is not DLS");
            return;
        }
        const std::size_t end = std::min<std::size_t>(b_.size(), 8 + std::size_t{declared});
        std::vector<Chunk> top = children(12, end, "RIFF", 1);
        bool colh = false, lins = false, ptbl = false, wvpl = false;
        for (const Chunk& c : top) {
            if (c.id == "colh") {
                colh = true;
                if (need(c, 4, "colh")) {
                    out_.declaredInstruments = u32(c.body);
                }
            } else if (c.id == "LIST" && c.type == "lins") {
                lins = true;
                readInstruments(c);
            } else if (c.id == "ptbl") {
                ptbl = true;
                readPoolTable(c);
            } else if (c.id == "LIST" && c.type == "wvpl") {
                wvpl = true;
                readWaves(c);
            }
        }
        for (auto [present, name] :
             {std::pair{colh, "colh"}, {lins, "lins"}, {ptbl, "ptbl"}, {wvpl, "wvpl"}}) {
            if (!present) {
                problem(std::string("no ") + name + " chunk");
            }
        }
        crossCheck();
    }

private:
    std::string_view id(std::size_t at) const {
        return {reinterpret_cast<const char*>(b_.data() + at), 4};
    }
    std::uint16_t u16(std::size_t at) const {
        return static_cast<std::uint16_t>(b_[at] | b_[at + 1] << 8);
    }
    std::uint32_t u32(std::size_t at) const {
        return static_cast<std::uint32_t>(u16(at)) | static_cast<std::uint32_t>(u16(at + 2)) << 16;
    }
    void problem(std::string text) { problems_.push_back(std::move(text)); }

    bool need(const Chunk& c, std::size_t size, std::string_view what) {
        if (c.size < size) {
            problem(std::string(what) + " chunk has " + std::to_string(c.size) + " bytes, needs " +
                    std::to_string(size));
            return false;
        }
        return true;
    }

    // The chunks between `from` and `end` of a list at nesting level `depth`.
    std::vector<Chunk> children(std::size_t from, std::size_t end, std::string_view parent,
                                int depth) {
        std::vector<Chunk> list;
        if (depth > kMaxDepth) {
            problem("lists nest deeper than " + std::to_string(kMaxDepth) + " levels");
            return list;
        }
        std::size_t at = from;
        while (at < end) {
            if (end - at < 8) {
                problem("stray bytes at the end of " + std::string(parent));
                break;
            }
            Chunk c;
            c.id = id(at);
            const std::size_t size = u32(at + 4);
            if (size > end - at - 8) {
                problem("chunk " + std::string(c.id) + " in " + std::string(parent) +
                        " runs past its parent (" + std::to_string(size) + " bytes)");
                break;
            }
            c.body = at + 8;
            c.size = size;
            if (c.id == "LIST") {
                if (size < 4) {
                    problem("LIST in " + std::string(parent) + " has no list type");
                    break;
                }
                c.type = id(at + 8);
                c.body += 4;
                c.size -= 4;
            }
            list.push_back(c);
            at += 8 + size + (size & 1);
            if (at > end) {
                problem("chunk " + std::string(c.id) + " in " + std::string(parent) +
                        " lacks its pad byte");
            }
        }
        return list;
    }

    std::vector<Chunk> inside(const Chunk& list, int depth) {
        return children(list.body, list.body + list.size, list.type, depth);
    }

    std::string text(const Chunk& c) const {
        std::string s;
        for (std::size_t i = 0; i < c.size && b_[c.body + i] != 0; ++i) {
            s += static_cast<char>(b_[c.body + i]);
        }
        return s;
    }

    std::string nameIn(const Chunk& info, int depth) {
        for (const Chunk& c : inside(info, depth)) {
            if (c.id == "INAM") {
                return text(c);
            }
        }
        return {};
    }

    // wsmp: unity note and the first loop.
    bool readWsmp(const Chunk& c, int& unity, bool& looped, std::uint32_t& start,
                  std::uint32_t& length, const std::string& owner) {
        if (!need(c, 20, owner + " wsmp")) {
            return false;
        }
        const std::uint32_t header = u32(c.body);
        const std::uint32_t loops = u32(c.body + 16);
        if (header < 20 || header > c.size || (c.size - header) / 16 < loops) {
            problem(owner + " wsmp sizes disagree (cbSize " + std::to_string(header) + ", " +
                    std::to_string(loops) + " loops in " + std::to_string(c.size) + " bytes)");
            return false;
        }
        unity = u16(c.body + 4);
        looped = loops > 0;
        if (looped) {
            const std::size_t loop = c.body + header;
            start = u32(loop + 8);
            length = u32(loop + 12);
        }
        return true;
    }

    void readInstruments(const Chunk& lins) {
        for (const Chunk& ins : inside(lins, 2)) {
            if (ins.id != "LIST" || ins.type != "ins ") {
                problem("lins holds a " + std::string(ins.id) + " chunk");
                continue;
            }
            DlsInstrument instrument;
            const std::string owner = "instrument " + std::to_string(out_.instruments.size());
            bool header = false;
            for (const Chunk& c : inside(ins, 3)) {
                if (c.id == "insh" && need(c, 12, owner + " insh")) {
                    header = true;
                    instrument.declaredRegions = u32(c.body);
                    const std::uint32_t bank = u32(c.body + 4);
                    instrument.drum = (bank & 0x80000000u) != 0;
                    instrument.bank = ((bank >> 8) & 0x7F) * 128 + (bank & 0x7F);
                    instrument.program = u32(c.body + 8);
                } else if (c.id == "LIST" && c.type == "lrgn") {
                    for (const Chunk& rgn : inside(c, 4)) {
                        if (rgn.id == "LIST" && rgn.type == "rgn ") {
                            instrument.regions.push_back(
                                readRegion(rgn, owner + " region " +
                                                    std::to_string(instrument.regions.size())));
                        }
                    }
                } else if (c.id == "LIST" && c.type == "INFO") {
                    instrument.name = nameIn(c, 4);
                }
            }
            if (!header) {
                problem(owner + " has no insh");
            } else if (instrument.declaredRegions != instrument.regions.size()) {
                problem(owner + " declares " + std::to_string(instrument.declaredRegions) +
                        " regions and holds " + std::to_string(instrument.regions.size()));
            }
            out_.instruments.push_back(std::move(instrument));
        }
    }

    DlsRegion readRegion(const Chunk& rgn, const std::string& owner) {
        DlsRegion region;
        bool header = false;
        for (const Chunk& c : inside(rgn, 5)) {
            if (c.id == "rgnh" && need(c, 12, owner + " rgnh")) {
                header = true;
                region.keyLow = u16(c.body);
                region.keyHigh = u16(c.body + 2);
                region.velocityLow = u16(c.body + 4);
                region.velocityHigh = u16(c.body + 6);
                region.keyGroup = u16(c.body + 10);
            } else if (c.id == "wlnk" && need(c, 12, owner + " wlnk")) {
                region.linked = true;
                region.waveIndex = u32(c.body + 8);
            } else if (c.id == "wsmp") {
                bool looped = false;
                std::uint32_t start = 0, length = 0;
                int unity = -1;
                if (readWsmp(c, unity, looped, start, length, owner)) {
                    region.unityNote = unity;
                }
            } else if (c.id == "LIST" && c.type == "lart") {
                for (const Chunk& art : inside(c, 6)) {
                    if (art.id == "art1" && need(art, 8, owner + " art1")) {
                        const std::uint32_t header = u32(art.body);
                        const std::uint32_t count = u32(art.body + 4);
                        if (header < 8 || header > art.size || (art.size - header) / 12 < count) {
                            problem(owner + " art1 holds fewer blocks than it declares");
                        } else {
                            region.articulationBlocks = static_cast<int>(count);
                        }
                    }
                }
            }
        }
        if (!header) {
            problem(owner + " has no rgnh");
        } else if (region.keyLow > region.keyHigh || region.keyHigh > 127 ||
                   region.velocityLow > region.velocityHigh || region.velocityHigh > 127) {
            problem(owner + " has a key or velocity range out of order");
        }
        if (!region.linked) {
            problem(owner + " has no wlnk");
        }
        return region;
    }

    void readPoolTable(const Chunk& c) {
        if (!need(c, 8, "ptbl")) {
            return;
        }
        const std::uint32_t header = u32(c.body);
        const std::uint32_t cues = u32(c.body + 4);
        if (header < 8 || header > c.size || (c.size - header) / 4 < cues) {
            problem("ptbl holds fewer offsets than it declares (" + std::to_string(cues) + ")");
            return;
        }
        for (std::uint32_t i = 0; i < cues; ++i) {
            out_.poolTable.push_back(u32(c.body + header + 4 * i));
        }
    }

    void readWaves(const Chunk& wvpl) {
        for (const Chunk& list : inside(wvpl, 2)) {
            if (list.id != "LIST" || list.type != "wave") {
                problem("wvpl holds a " + std::string(list.id) + " chunk");
                continue;
            }
            DlsWave wave;
            const std::string owner = "wave " + std::to_string(out_.waves.size());
            wave.offset = static_cast<std::uint32_t>(list.body - 12 - wvpl.body);
            bool format = false, data = false;
            for (const Chunk& c : inside(list, 3)) {
                if (c.id == "fmt " && need(c, 16, owner + " fmt")) {
                    format = true;
                    wave.formatTag = u16(c.body);
                    wave.channels = u16(c.body + 2);
                    wave.rate = u32(c.body + 4);
                    wave.bytesPerSecond = u32(c.body + 8);
                    wave.blockAlign = u16(c.body + 12);
                    wave.bitsPerSample = u16(c.body + 14);
                } else if (c.id == "data") {
                    data = true;
                    wave.dataBytes = static_cast<std::uint32_t>(c.size);
                } else if (c.id == "wsmp") {
                    readWsmp(c, wave.unityNote, wave.looped, wave.loopStart, wave.loopLength,
                             owner);
                } else if (c.id == "LIST" && c.type == "INFO") {
                    wave.name = nameIn(c, 4);
                }
            }
            if (!format || !data) {
                problem(owner + " lacks its " + (format ? "data" : "fmt") + " chunk");
            } else {
                checkWave(wave, owner);
            }
            out_.waves.push_back(std::move(wave));
        }
    }

    void checkWave(const DlsWave& w, const std::string& owner) {
        if (w.formatTag != 1 || w.channels != 1 ||
            (w.bitsPerSample != 8 && w.bitsPerSample != 16)) {
            problem(owner + " is not PCM mono 8 or 16 bit");
            return;
        }
        if (w.blockAlign != w.bitsPerSample / 8 || w.rate == 0 ||
            w.bytesPerSecond != w.rate * w.blockAlign) {
            problem(owner + " has an inconsistent fmt chunk");
            return;
        }
        const std::uint32_t frames = w.dataBytes / w.blockAlign;
        if (w.dataBytes % w.blockAlign != 0 || frames == 0) {
            problem(owner + " has a data chunk of " + std::to_string(w.dataBytes) + " bytes");
        }
        if (w.looped &&
            (w.loopLength == 0 || w.loopStart >= frames || w.loopLength > frames - w.loopStart)) {
            problem(owner + " loops outside its frames");
        }
    }

    void crossCheck() {
        if (out_.declaredInstruments != out_.instruments.size()) {
            problem("colh declares " + std::to_string(out_.declaredInstruments) +
                    " instruments, lins holds " + std::to_string(out_.instruments.size()));
        }
        if (out_.poolTable.size() != out_.waves.size()) {
            problem("ptbl lists " + std::to_string(out_.poolTable.size()) + " waves, wvpl holds " +
                    std::to_string(out_.waves.size()));
        }
        for (std::size_t i = 0; i < out_.poolTable.size() && i < out_.waves.size(); ++i) {
            if (out_.poolTable[i] != out_.waves[i].offset) {
                problem("ptbl offset " + std::to_string(i) + " is " +
                        std::to_string(out_.poolTable[i]) + ", wave " + std::to_string(i) +
                        " is at " + std::to_string(out_.waves[i].offset));
            }
        }
        for (std::size_t n = 0; n < out_.instruments.size(); ++n) {
            const DlsInstrument& ins = out_.instruments[n];
            for (std::size_t r = 0; r < ins.regions.size(); ++r) {
                const DlsRegion& region = ins.regions[r];
                if (region.linked && region.waveIndex >= out_.poolTable.size()) {
                    problem("instrument " + std::to_string(n) + " region " + std::to_string(r) +
                            " links to wave " + std::to_string(region.waveIndex) +
                            ", the pool table has " + std::to_string(out_.poolTable.size()));
                }
            }
        }
    }

    std::span<const std::uint8_t> b_;
    DlsContents& out_;
    std::vector<std::string>& problems_;
};

} // namespace

std::vector<std::string> checkDls(std::span<const std::uint8_t> bytes, DlsContents& contents) {
    contents = DlsContents{};
    std::vector<std::string> problems;
    Walker(bytes, contents, problems).run();
    return problems;
}

} // namespace telmira::mkbank
