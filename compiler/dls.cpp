#include "compiler/dls.h"

#include "base/cp1251.h"
#include "compiler/fileio.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace telmira::compiler {

namespace {

constexpr std::uint32_t fourcc(const char (&id)[5]) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(id[0])) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(id[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(id[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(id[3])) << 24;
}

constexpr std::uint32_t kRiff = fourcc("RIFF");
constexpr std::uint32_t kDls = fourcc("DLS ");
constexpr std::uint32_t kList = fourcc("LIST");
constexpr std::uint32_t kLins = fourcc("lins");
constexpr std::uint32_t kIns = fourcc("ins ");
constexpr std::uint32_t kWvpl = fourcc("wvpl");
constexpr std::uint32_t kRgn = fourcc("rgn ");
constexpr std::uint32_t kWave = fourcc("wave");
constexpr std::uint32_t kInfo = fourcc("INFO");
constexpr std::uint32_t kInsh = fourcc("insh");
constexpr std::uint32_t kRgnh = fourcc("rgnh");
constexpr std::uint32_t kWlnk = fourcc("wlnk");
constexpr std::uint32_t kWsmp = fourcc("wsmp");
constexpr std::uint32_t kFmt = fourcc("fmt ");
constexpr std::uint32_t kData = fourcc("data");
constexpr std::uint32_t kInam = fourcc("INAM");
constexpr std::uint32_t kArt1 = fourcc("art1");
constexpr std::uint32_t kColh = fourcc("colh");
constexpr std::uint32_t kVers = fourcc("vers");

// Connection sources, controls and destinations of art1 blocks.
constexpr std::uint16_t kSrcNone = 0x0000;
constexpr std::uint16_t kSrcLfo = 0x0001;
constexpr std::uint16_t kSrcVelocity = 0x0002;
constexpr std::uint16_t kSrcKeyNumber = 0x0003;
constexpr std::uint16_t kSrcEg2 = 0x0005;
constexpr std::uint16_t kSrcCc1 = 0x0081;
constexpr std::uint16_t kDstPitch = 0x0003;
constexpr std::uint16_t kDstLfoFrequency = 0x0104;
constexpr std::uint16_t kDstLfoStartDelay = 0x0105;

constexpr std::size_t kArticulationLevelInstrument = 4;
constexpr std::size_t kArticulationLevelRegion = 6;
constexpr std::size_t kInstrumentInfoLevel = 4;

struct EnvelopeDestinations {
    std::uint16_t attack, decay, release, sustain;
};
constexpr EnvelopeDestinations kEg1{0x0206, 0x0207, 0x0209, 0x020A};
constexpr EnvelopeDestinations kEg2{0x030A, 0x030B, 0x030D, 0x030E};

double cents(std::int32_t raw) {
    return raw / 65536.0;
}

std::uint32_t magnitude(std::int32_t raw) {
    return raw < 0 ? 0u - static_cast<std::uint32_t>(raw) : static_cast<std::uint32_t>(raw);
}

// Smallest and largest magnitude met, for the bank summary.
struct Spread {
    std::uint32_t smallest = 0x7FFFFFFF;
    std::uint32_t largest = 0;
    void add(std::int32_t raw) {
        smallest = std::min(smallest, magnitude(raw));
        largest = std::max(largest, magnitude(raw));
    }
};

std::string chunkName(std::uint32_t id) {
    std::string name;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((id >> (8 * i)) & 0xFF);
        name.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    }
    return name;
}

// A zero-terminated INFO string, Windows-1251 on disk.
std::string infoText(std::span<const std::uint8_t> body) {
    const auto end = std::find(body.begin(), body.end(), std::uint8_t{0});
    return cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(body.data()),
                                         static_cast<std::size_t>(end - body.begin())));
}

class DlsWalker {
public:
    DlsWalker(std::span<const std::uint8_t> file, float fs, DlsBank& bank, Console& out)
        : file_(file), fs_(fs), bank_(bank), out_(out),
          regionArticulationStamps_(bank.regions.size(), 0) {}

    Outcome walk();
    void link();
    void summary();

private:
    struct Level {
        std::size_t end;
        std::uint32_t type;
    };
    enum class Mode { None, Instruments, Waves };

    Outcome failure(const char* format, std::size_t offset, const std::string& name = {});
    void openList(std::uint32_t type);
    void chunk(std::uint32_t id, std::span<const std::uint8_t> body);
    void instrumentHeader(std::span<const std::uint8_t> body);
    void regionHeader(std::span<const std::uint8_t> body);
    void regionSampler(std::span<const std::uint8_t> body);
    void waveSampler(std::span<const std::uint8_t> body);
    void waveFormat(std::span<const std::uint8_t> body);
    void name(std::span<const std::uint8_t> body);
    void articulation(std::span<const std::uint8_t> body);
    bool insideList(std::uint32_t type) const;
    void closeInstrument();
    void estimateLengths();

    std::span<const std::uint8_t> file_;
    float fs_;
    DlsBank& bank_;
    Console& out_;

    std::vector<Level> levels_;
    Mode mode_ = Mode::None;
    unsigned regionCount_ = 0;
    unsigned waveCount_ = 0;
    // The instrument being read (last insh) and its regions.
    std::uint32_t instrumentBank_ = 0;
    std::uint32_t program_ = 0;
    bool drum_ = false;
    std::string instrumentName_;
    std::optional<std::size_t> firstRegion_;
    // The instrument's header, name and instrument-level articulation reach its regions when
    // the next instrument begins or the walk ends, so that each region is visited once: the
    // last instrument-level art1 covers the regions read before it, and a region's own art1
    // wins when it came later (its stamp is newer).
    std::optional<Articulation> instrumentArticulation_;
    std::size_t instrumentArticulationEnd_ = 0;
    std::uint64_t instrumentArticulationStamp_ = 0;
    std::vector<std::uint64_t> regionArticulationStamps_;
    std::uint64_t articulationStamp_ = 0;
    std::optional<std::size_t> region_;
    std::optional<std::size_t> wave_;
    Spread keyToDecay_;
    Spread velocityToAttack_;
};

Outcome DlsWalker::failure(const char* format, std::size_t offset, const std::string& name) {
    if (name.empty())
        out_.print(format, static_cast<unsigned>(offset));
    else
        out_.print(format, name.c_str(), static_cast<unsigned>(offset));
    return Outcome::stop(Outcome::kDataError);
}

Outcome DlsWalker::walk() {
    std::size_t position = 12;
    levels_.push_back(Level{file_.size(), kDls});
    while (!levels_.empty()) {
        if (position >= levels_.back().end) {
            // The walk goes on after the closed list (its pad byte included).
            position = std::max(position, levels_.back().end + (levels_.back().end & 1));
            levels_.pop_back();
            continue;
        }
        if (file_.size() - position < 8)
            return failure("  + ERR: Chunk header at offset %u runs past the end of the file\n",
                           position);
        const std::uint32_t id = le32(file_, position);
        const std::uint32_t size = le32(file_, position + 4);
        const std::size_t end = position + 8 + static_cast<std::size_t>(size);
        if (end > file_.size())
            return failure("  + ERR: Chunk '%s' at offset %u runs past the end of the file\n",
                           position, chunkName(id));
        if (id == kList) {
            if (size < 4)
                return failure("  + ERR: LIST chunk at offset %u is too short\n", position);
            if (levels_.size() >= kMaxDlsLevels)
                return failure("  + ERR: LIST nesting deeper than eight levels at offset %u\n",
                               position);
            const std::uint32_t type = le32(file_, position + 8);
            openList(type);
            levels_.push_back(Level{end, type});
            position += 12;
            continue;
        }
        chunk(id, file_.subspan(position + 8, size));
        position = end + (end & 1);
    }
    closeInstrument();
    return Outcome::next();
}

bool DlsWalker::insideList(std::uint32_t type) const {
    return std::any_of(levels_.begin(), levels_.end(),
                       [type](const Level& level) { return level.type == type; });
}

void DlsWalker::openList(std::uint32_t type) {
    if (type == kLins) {
        mode_ = Mode::Instruments;
        regionCount_ = 0;
    } else if (type == kWvpl) {
        mode_ = Mode::Waves;
        waveCount_ = 0;
    } else if (type == kIns) {
        closeInstrument();
        instrumentBank_ = 0;
        program_ = 0;
        drum_ = false;
        instrumentName_.clear();
        firstRegion_.reset();
    } else if (type == kRgn) {
        DlsRegion region;
        region.name = instrumentName_;
        region.bank = instrumentBank_;
        region.program = program_;
        region.drum = drum_;
        bank_.regions.push_back(std::move(region));
        regionArticulationStamps_.push_back(0);
        region_ = bank_.regions.size() - 1;
        if (!firstRegion_)
            firstRegion_ = region_;
        ++regionCount_;
    } else if (type == kWave) {
        DlsWave wave;
        wave.tableIndex = waveCount_++;
        bank_.waves.push_back(std::move(wave));
        wave_ = bank_.waves.size() - 1;
    }
}

void DlsWalker::chunk(std::uint32_t id, std::span<const std::uint8_t> body) {
    const std::size_t level = levels_.size();
    if (id == kInsh) {
        instrumentHeader(body);
    } else if (id == kRgnh && mode_ == Mode::Instruments && region_) {
        regionHeader(body);
    } else if (id == kWlnk && mode_ == Mode::Instruments && region_) {
        bank_.regions[*region_].waveTableIndex = le32(body, 8);
    } else if (id == kWsmp && mode_ == Mode::Instruments && region_) {
        regionSampler(body);
    } else if (id == kWsmp && mode_ == Mode::Waves && wave_) {
        waveSampler(body);
    } else if (id == kFmt && mode_ == Mode::Waves && wave_) {
        waveFormat(body);
    } else if (id == kData && mode_ == Mode::Waves && wave_) {
        bank_.waves[*wave_].data.assign(body.begin(), body.end());
    } else if (id == kInam) {
        name(body);
    } else if (id == kArt1) {
        if (level == kArticulationLevelInstrument || level == kArticulationLevelRegion)
            articulation(body);
        else
            out_.print("\n  + WARN: Articulation data on incorrect level\n");
    } else if (id == kColh) {
        out_.print("  + Count of instruments: %u\n", le32(body, 0));
    } else if (id == kVers) {
        const std::uint32_t ms = le32(body, 0);
        const std::uint32_t ls = le32(body, 4);
        out_.print("  + DLS version: %u.%u.%u.%u\n", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
    }
}

void DlsWalker::instrumentHeader(std::span<const std::uint8_t> body) {
    const std::uint32_t locale = le32(body, 4);
    instrumentBank_ = ((locale >> 8) & 0x7F) * 128 + (locale & 0x7F);
    drum_ = (locale & 0x80000000u) != 0;
    program_ = le32(body, 8);
    // Regions listed before the header still belong to this instrument: closeInstrument.
}

void DlsWalker::closeInstrument() {
    if (!firstRegion_)
        return;
    for (std::size_t i = *firstRegion_; i < bank_.regions.size(); ++i) {
        DlsRegion& region = bank_.regions[i];
        region.bank = instrumentBank_;
        region.program = program_;
        region.drum = drum_;
        region.name = instrumentName_;
        if (instrumentArticulation_ && i < instrumentArticulationEnd_ &&
            regionArticulationStamps_[i] < instrumentArticulationStamp_)
            region.articulation = *instrumentArticulation_;
    }
    firstRegion_.reset();
    instrumentArticulation_.reset();
}

void DlsWalker::regionHeader(std::span<const std::uint8_t> body) {
    DlsRegion& region = bank_.regions[*region_];
    region.keyLow = le16(body, 0);
    region.keyHigh = le16(body, 2);
    region.velocityLow = le16(body, 4);
    region.velocityHigh = le16(body, 6);
    region.nonExclusive = le16(body, 8) != 0;
    region.keyGroup = le16(body, 10);
}

void DlsWalker::regionSampler(std::span<const std::uint8_t> body) {
    bank_.regions[*region_].unityNote = le16(body, 4);
}

void DlsWalker::waveSampler(std::span<const std::uint8_t> body) {
    // WSMPL header: cbSize, usUnityNote, sFineTune, lAttenuation, fulOptions, cSampleLoops;
    // the loop records follow the header.
    const std::uint32_t headerSize = std::max<std::uint32_t>(le32(body, 0), 20);
    const std::uint32_t loops = le32(body, 16);
    constexpr std::size_t kLoopRecord = 16;
    if (loops == 0 || headerSize > body.size() || body.size() - headerSize < kLoopRecord)
        return;
    DlsWave& wave = bank_.waves[*wave_];
    wave.fineTune = static_cast<std::int16_t>(le16(body, 6));
    wave.loopStart = le32(body, headerSize + 8);
    wave.loopLength = le32(body, headerSize + 12);
}

void DlsWalker::waveFormat(std::span<const std::uint8_t> body) {
    DlsWave& wave = bank_.waves[*wave_];
    wave.channels = le16(body, 2);
    wave.sampleRate = le32(body, 4);
    wave.bitsPerSample = le16(body, 14);
}

void DlsWalker::name(std::span<const std::uint8_t> body) {
    if (mode_ == Mode::Waves && wave_ && insideList(kWave)) {
        bank_.waves[*wave_].name = infoText(body);
        return;
    }
    if (mode_ == Mode::Instruments && levels_.size() == kInstrumentInfoLevel &&
        levels_.back().type == kInfo && insideList(kIns)) {
        instrumentName_ = infoText(body); // for regions read before it: closeInstrument
    }
}

void DlsWalker::articulation(std::span<const std::uint8_t> body) {
    Articulation art;
    const std::uint32_t headerSize = std::max<std::uint32_t>(le32(body, 0), 8);
    const std::uint32_t blocks = le32(body, 4);
    constexpr std::size_t kBlock = 12;
    const std::size_t available =
        headerSize <= body.size() ? (body.size() - headerSize) / kBlock : 0;
    const std::size_t count = std::min<std::size_t>(blocks, available);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = headerSize + i * kBlock;
        const std::uint16_t source = le16(body, at);
        const std::uint16_t control = le16(body, at + 2);
        const std::uint16_t destination = le16(body, at + 4);
        const auto scale = static_cast<std::int32_t>(le32(body, at + 8));

        for (const auto& [dst, eg] : {std::pair{kEg1, &art.eg1}, std::pair{kEg2, &art.eg2}}) {
            if (source == kSrcNone && destination == dst.attack) {
                eg->attackRaw = scale;
                eg->attackSeconds = dlsSeconds(scale);
            } else if (source == kSrcVelocity && destination == dst.attack) {
                eg->velocityToAttackRaw = scale;
                velocityToAttack_.add(scale);
            } else if (source == kSrcNone && destination == dst.decay) {
                eg->decayRaw = scale;
                eg->decaySeconds = dlsSeconds(scale);
            } else if (source == kSrcKeyNumber && destination == dst.decay) {
                eg->keyToDecayRaw = scale;
                if (eg == &art.eg1)
                    keyToDecay_.add(scale);
            } else if (source == kSrcNone && destination == dst.release) {
                eg->releaseRaw = scale;
                eg->releaseSeconds = dlsSeconds(scale);
            } else if (source == kSrcNone && destination == dst.sustain) {
                eg->sustainRaw = scale;
                eg->sustainPercent = scale / 655360.0;
            }
        }
        if (source == kSrcNone && control == kSrcNone && destination == kDstLfoFrequency)
            art.lfoFrequencyHz = 440.0 * std::exp2((cents(scale) - 6900.0) / 1200.0);
        else if (source == kSrcNone && control == kSrcNone && destination == kDstLfoStartDelay)
            art.lfoStartDelaySeconds = dlsSeconds(scale);
        else if (source == kSrcLfo && control == kSrcNone && destination == kDstPitch)
            art.lfoToPitchCents = cents(scale);
        else if (source == kSrcLfo && control == kSrcCc1 && destination == kDstPitch)
            art.lfoToPitchByModWheelCents = cents(scale);
        else if (source == kSrcEg2 && destination == kDstPitch)
            art.eg2ToPitchCents = cents(scale);
    }

    const std::uint64_t stamp = ++articulationStamp_;
    if (levels_.size() == kArticulationLevelRegion) {
        if (region_) {
            bank_.regions[*region_].articulation = art;
            regionArticulationStamps_[*region_] = stamp;
        }
    } else if (firstRegion_) {
        instrumentArticulation_ = art;
        instrumentArticulationEnd_ = bank_.regions.size();
        instrumentArticulationStamp_ = stamp;
    }
}

void DlsWalker::estimateLengths() {
    for (DlsWave& wave : bank_.waves) {
        wave.estimatedLength = 0;
        if (wave.sampleRate == 0 || wave.bitsPerSample == 0 || wave.channels == 0)
            continue;
        const double frames = static_cast<double>(wave.data.size()) * fs_ / wave.sampleRate * 8.0 /
                              wave.bitsPerSample / wave.channels;
        if (frames >= 1.0)
            wave.estimatedLength =
                frames >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(frames);
    }
}

void DlsWalker::link() {
    out_.print("  + Linking regions & samples\n");
    estimateLengths();
    // The first wave of each table index (a second wave pool numbers its waves from 0 again);
    // table indices are positions in a pool, so they stay below the number of waves.
    std::vector<std::optional<std::size_t>> byTableIndex(bank_.waves.size());
    for (std::size_t w = 0; w < bank_.waves.size(); ++w) {
        auto& first = byTableIndex[bank_.waves[w].tableIndex];
        if (!first)
            first = w;
    }
    for (DlsRegion& region : bank_.regions) {
        const std::optional<std::size_t> found = region.waveTableIndex < byTableIndex.size()
                                                     ? byTableIndex[region.waveTableIndex]
                                                     : std::nullopt;
        if (!found) {
            out_.print("  + WARN: Could'nt find sample #%u for instrument %u:%u:%u (%u..%u / "
                       "%u..%u)\n",
                       region.waveTableIndex, region.bank, region.program, region.keyGroup,
                       region.keyLow, region.keyHigh, region.velocityLow, region.velocityHigh);
            continue;
        }
        region.wave = *found;
        bank_.waves[*found].drum = bank_.waves[*found].drum || region.drum;
    }
}

void DlsWalker::summary() {
    out_.print("  + Regions: %u; Samples: %u\n", regionCount_, waveCount_);
    out_.print("  + Absolute Key-To-Decay  : 0x%08x<KD<0x%08x\n", keyToDecay_.smallest,
               keyToDecay_.largest);
    out_.print("  + Absolute Vel-To-Attack : 0x%08x<VA<0x%08x\n", velocityToAttack_.smallest,
               velocityToAttack_.largest);
    out_.print("  + Done\n");
}

} // namespace

double dlsSeconds(std::int32_t raw) {
    if (raw == kDlsNoTime)
        return 0.0;
    return std::exp2(raw / (65536.0 * 1200.0));
}

Outcome parseDls(std::span<const std::uint8_t> file, const std::string& path, float fs,
                 DlsBank& bank, Console& out) {
    if (file.size() < 8 || le32(file, 0) != kRiff) {
        out.print("  + Not a RIFF file: %s\n", path.c_str());
        return Outcome::stop(Outcome::kFileError);
    }
    const std::uint32_t declared = le32(file, 4);
    if (declared != file.size() - 8) {
        out.print("  + Size violation: %s (%u/%u)\n", path.c_str(), declared,
                  static_cast<unsigned>(file.size() - 8));
        return Outcome::stop(Outcome::kFileError);
    }
    if (file.size() < 12 || le32(file, 8) != kDls) {
        out.print("  + Not a DLS file: %s\n", path.c_str());
        return Outcome::stop(Outcome::kFileError);
    }
    DlsWalker walker(file, fs, bank, out);
    const Outcome walked = walker.walk();
    if (!walked.goesOn())
        return walked;
    walker.link();
    walker.summary();
    return Outcome::next();
}

Outcome readDls(CompilerState& state, Console& out, const std::string& path) {
    out.print("Reading DLS file %s\n", path.c_str());
    if (state.dlsRead) {
        out.print("  + ERR: Only one DLS file can be read in a run\n");
        return Outcome::stop(Outcome::kDataError);
    }
    state.dlsRead = true;
    const auto file = readWholeFile(path);
    if (!file) {
        out.print("  + DLS file not found: %s\n", path.c_str());
        return Outcome::stop(Outcome::kDataError);
    }
    out.print("  + %u bytes read\n", static_cast<unsigned>(file->size()));
    return parseDls(*file, path, state.fs, state.dls, out);
}

} // namespace telmira::compiler
