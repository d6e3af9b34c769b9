#include "tools/mkbank/dlswriter.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

namespace telmira::mkbank {

namespace dls {

namespace {
std::int32_t clampScale(double v) {
    return static_cast<std::int32_t>(std::clamp(std::round(v), -2147483647.0, 2147483647.0));
}
} // namespace

std::int32_t timeScale(double seconds) {
    if (!(seconds >= 0.001)) {
        return static_cast<std::int32_t>(0x80000000u);
    }
    return clampScale(1200.0 * std::log2(seconds) * 65536.0);
}

std::int32_t percentScale(double percent) {
    return clampScale(percent * 10.0 * 65536.0);
}

std::int32_t frequencyScale(double hz) {
    if (!(hz > 0)) {
        hz = 5;
    }
    return clampScale((1200.0 * std::log2(hz / 440.0) + 6900.0) * 65536.0);
}

std::int32_t centsScale(double cents) {
    return clampScale(cents * 65536.0);
}

} // namespace dls

namespace {

class Riff {
public:
    std::vector<std::uint8_t> bytes;

    void u16(std::uint32_t v) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void fourcc(std::string_view id) { bytes.insert(bytes.end(), id.begin(), id.end()); }

    // A chunk or LIST whose size is filled in by close().
    std::size_t open(std::string_view id) {
        fourcc(id);
        const std::size_t at = bytes.size();
        u32(0);
        return at;
    }
    std::size_t openList(std::string_view id, std::string_view type) {
        const std::size_t at = open(id);
        fourcc(type);
        return at;
    }
    void close(std::size_t at) {
        const auto size = static_cast<std::uint32_t>(bytes.size() - at - 4);
        for (int i = 0; i < 4; ++i) {
            bytes[at + i] = static_cast<std::uint8_t>(size >> (8 * i));
        }
        if (size % 2 != 0) {
            bytes.push_back(0);
        }
    }

    void text(std::string_view id, std::string_view value) {
        const std::size_t at = open(id);
        fourcc(value);
        bytes.push_back(0);
        close(at);
    }
};

void writeWsmp(Riff& r, int unityNote, bool looped, std::uint32_t loopStart,
               std::uint32_t loopLength) {
    const std::size_t at = r.open("wsmp");
    r.u32(20);                                    // cbSize
    r.u16(static_cast<std::uint32_t>(unityNote)); // usUnityNote
    r.u16(0);                                     // sFineTune: the frames are in tune
    r.u32(0);                                     // lAttenuation
    r.u32(0);                                     // fulOptions
    r.u32(looped ? 1 : 0);                        // cSampleLoops
    if (looped) {
        r.u32(16);         // cbSize
        r.u32(0);          // WLOOP_TYPE_FORWARD
        r.u32(loopStart);  // ulStart
        r.u32(loopLength); // ulLength
    }
    r.close(at);
}

struct Block {
    std::uint16_t source;
    std::uint16_t control;
    std::uint16_t destination;
    std::int32_t scale;
};

void writeArticulation(Riff& r, const Articulation& a) {
    using namespace dls;
    std::vector<Block> blocks = {
        {kSrcNone, kSrcNone, kDstEg1Attack, timeScale(a.volume.attack)},
        {kSrcNone, kSrcNone, kDstEg1Decay, timeScale(a.volume.decay)},
        {kSrcNone, kSrcNone, kDstEg1Sustain, percentScale(a.volume.sustainPercent)},
        {kSrcNone, kSrcNone, kDstEg1Release, timeScale(a.volume.release)},
    };
    if (a.lfoToPitch != 0) {
        blocks.push_back({kSrcNone, kSrcNone, kDstLfoFrequency, frequencyScale(a.lfoHz)});
        blocks.push_back({kSrcNone, kSrcNone, kDstLfoStartDelay, timeScale(a.lfoDelay)});
        blocks.push_back({kSrcLfo, kSrcNone, kDstPitch, centsScale(a.lfoToPitch)});
    }
    if (a.modulationToPitch != 0) {
        blocks.push_back({kSrcNone, kSrcNone, kDstEg2Attack, timeScale(a.modulation.attack)});
        blocks.push_back({kSrcNone, kSrcNone, kDstEg2Decay, timeScale(a.modulation.decay)});
        blocks.push_back(
            {kSrcNone, kSrcNone, kDstEg2Sustain, percentScale(a.modulation.sustainPercent)});
        blocks.push_back({kSrcNone, kSrcNone, kDstEg2Release, timeScale(a.modulation.release)});
        blocks.push_back({kSrcEg2, kSrcNone, kDstPitch, centsScale(a.modulationToPitch)});
    }
    const std::size_t lart = r.openList("LIST", "lart");
    const std::size_t art1 = r.open("art1");
    r.u32(8); // cbSize
    r.u32(static_cast<std::uint32_t>(blocks.size()));
    for (const Block& b : blocks) {
        r.u16(b.source);
        r.u16(b.control);
        r.u16(b.destination);
        r.u16(0); // CONN_TRN_NONE
        r.u32(static_cast<std::uint32_t>(b.scale));
    }
    r.close(art1);
    r.close(lart);
}

void writeInstrument(Riff& r, const Instrument& instrument, const std::vector<Wave>& waves) {
    const std::size_t ins = r.openList("LIST", "ins ");
    const std::size_t insh = r.open("insh");
    r.u32(static_cast<std::uint32_t>(instrument.regions.size()));
    const std::uint32_t bank = ((instrument.bank / 128) & 0x7F) << 8 | (instrument.bank & 0x7F);
    r.u32(bank | (instrument.drum ? dls::kDrumBankFlag : 0));
    r.u32(instrument.program);
    r.close(insh);

    const std::size_t lrgn = r.openList("LIST", "lrgn");
    for (const Region& region : instrument.regions) {
        const std::size_t rgn = r.openList("LIST", "rgn ");
        const std::size_t rgnh = r.open("rgnh");
        r.u16(static_cast<std::uint32_t>(region.keyLow));
        r.u16(static_cast<std::uint32_t>(region.keyHigh));
        r.u16(0);
        r.u16(127);
        r.u16(0); // fusOptions: a retriggered key ends its previous note
        r.u16(static_cast<std::uint32_t>(region.keyGroup));
        r.close(rgnh);
        // The region's wsmp repeats its wave's loop, with the region's own unity note.
        const Wave* wave = region.wave < waves.size() ? &waves[region.wave] : nullptr;
        writeWsmp(r, region.unityNote, wave != nullptr && wave->looped,
                  wave != nullptr ? wave->loopStart : 0, wave != nullptr ? wave->loopLength : 0);
        const std::size_t wlnk = r.open("wlnk");
        r.u16(0); // fusOptions
        r.u16(0); // usPhaseGroup
        r.u32(1); // ulChannel: mono
        r.u32(region.wave);
        r.close(wlnk);
        writeArticulation(r, region.articulation);
        r.close(rgn);
    }
    r.close(lrgn);

    const std::size_t info = r.openList("LIST", "INFO");
    r.text("INAM", instrument.name);
    r.close(info);
    r.close(ins);
}

// The wave pool, written apart so that the pool table can give each wave's offset from the
// first byte after the pool's list type.
std::vector<std::uint8_t> writeWavePool(const std::vector<Wave>& waves,
                                        std::vector<std::uint32_t>& offsets) {
    Riff r;
    for (const Wave& wave : waves) {
        offsets.push_back(static_cast<std::uint32_t>(r.bytes.size()));
        const std::size_t list = r.openList("LIST", "wave");
        const std::size_t fmt = r.open("fmt ");
        r.u16(1); // WAVE_FORMAT_PCM
        r.u16(1); // mono
        r.u32(wave.rate);
        r.u32(wave.rate * 2);
        r.u16(2);
        r.u16(16);
        r.close(fmt);
        writeWsmp(r, wave.unityNote, wave.looped, wave.loopStart, wave.loopLength);
        const std::size_t data = r.open("data");
        for (std::int16_t v : wave.frames) {
            r.u16(static_cast<std::uint16_t>(v));
        }
        r.close(data);
        const std::size_t info = r.openList("LIST", "INFO");
        r.text("INAM", wave.name);
        r.close(info);
        r.close(list);
    }
    return std::move(r.bytes);
}

} // namespace

std::vector<std::uint8_t> writeDls(const Bank& bank) {
    Riff r;
    const std::size_t riff = r.openList("RIFF", "DLS ");
    const std::size_t colh = r.open("colh");
    r.u32(static_cast<std::uint32_t>(bank.instruments.size()));
    r.close(colh);
    const std::size_t vers = r.open("vers");
    r.u32(0x00010000); // 1.0
    r.u32(0);
    r.close(vers);

    const std::size_t lins = r.openList("LIST", "lins");
    for (const Instrument& instrument : bank.instruments) {
        writeInstrument(r, instrument, bank.waves);
    }
    r.close(lins);

    std::vector<std::uint32_t> offsets;
    const std::vector<std::uint8_t> pool = writeWavePool(bank.waves, offsets);
    const std::size_t ptbl = r.open("ptbl");
    r.u32(8); // cbSize
    r.u32(static_cast<std::uint32_t>(offsets.size()));
    for (std::uint32_t offset : offsets) {
        r.u32(offset);
    }
    r.close(ptbl);
    const std::size_t wvpl = r.openList("LIST", "wvpl");
    r.bytes.insert(r.bytes.end(), pool.begin(), pool.end());
    r.close(wvpl);

    const std::size_t info = r.openList("LIST", "INFO");
    if (!bank.name.empty()) {
        r.text("INAM", bank.name);
    }
    if (!bank.copyright.empty()) {
        r.text("ICOP", bank.copyright);
    }
    if (!bank.comment.empty()) {
        r.text("ICMT", bank.comment);
    }
    r.close(info);
    r.close(riff);
    return std::move(r.bytes);
}

} // namespace telmira::mkbank
