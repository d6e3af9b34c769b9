#include "compiler/pdb.h"

#include "base/firmware.h"
#include "base/romimage.h"
#include "compiler/fileio.h"

#include <openssl/evp.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>

namespace telmira::compiler {

namespace {

constexpr std::string_view kMagic = "PCDB0101";
constexpr std::size_t kBlock = 8;
constexpr std::size_t kCountAt = 8;
constexpr std::size_t kRecordsAt = 12;
constexpr std::size_t kRecordHead = 12;
constexpr std::size_t kDigestSize = 16;

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

void putLe32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

float floatAt(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::bit_cast<float>(le32(bytes, at));
}

bool saneRate(float rate) {
    return std::isfinite(rate) && rate > 0;
}

} // namespace

bool tripleDesEcb(std::span<std::uint8_t> blocks, bool encipher) {
    if (blocks.size() % kBlock != 0)
        return false;
    if (blocks.empty())
        return true;
    std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> ctx(EVP_CIPHER_CTX_new());
    const auto* key =
        reinterpret_cast<const unsigned char*>(firmware::kPrecompiledDatabaseKey.data());
    if (!ctx ||
        EVP_CipherInit_ex(ctx.get(), EVP_des_ede3_ecb(), nullptr, key, nullptr, encipher ? 1 : 0) !=
            1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1)
        return false;
    std::vector<std::uint8_t> out(blocks.size() + kBlock);
    int written = 0;
    int last = 0;
    if (EVP_CipherUpdate(ctx.get(), out.data(), &written, blocks.data(),
                         static_cast<int>(blocks.size())) != 1 ||
        EVP_CipherFinal_ex(ctx.get(), out.data() + written, &last) != 1 ||
        static_cast<std::size_t>(written + last) != blocks.size())
        return false;
    std::memcpy(blocks.data(), out.data(), blocks.size());
    return true;
}

std::optional<Md5Digest> md5(std::span<const std::uint8_t> bytes) {
    Md5Digest digest{};
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_md5(), nullptr) != 1 ||
        size != digest.size())
        return std::nullopt;
    return digest;
}

std::optional<std::vector<std::uint8_t>> encodeDatabase(const dsp::FilterCache& cache) {
    const std::size_t first =
        cache.size() > kMaxDatabaseRecords ? cache.size() - kMaxDatabaseRecords : 0;
    std::vector<std::uint8_t> bytes(kMagic.begin(), kMagic.end());
    putLe32(bytes, static_cast<std::uint32_t>(cache.size() - first));
    for (std::size_t i = first; i < cache.size(); ++i) {
        const dsp::FilterRecord& record = cache[i];
        putLe32(bytes, std::bit_cast<std::uint32_t>(record.sourceRate));
        putLe32(bytes, std::bit_cast<std::uint32_t>(record.targetRate));
        putLe32(bytes, static_cast<std::uint32_t>(record.taps.size()));
        for (const float tap : record.taps)
            putLe32(bytes, std::bit_cast<std::uint32_t>(tap));
    }
    const auto digest = md5(bytes);
    if (!digest)
        return std::nullopt;
    bytes.insert(bytes.end(), digest->begin(), digest->end());
    bytes.resize((bytes.size() + kBlock - 1) / kBlock * kBlock, 0);
    if (!tripleDesEcb(std::span(bytes).subspan(kBlock), true))
        return std::nullopt;
    return bytes;
}

DatabaseContents decodeDatabase(std::vector<std::uint8_t> bytes) {
    DatabaseContents result;
    const auto fail = [&result](const char* why) {
        result.problem = why;
        return result;
    };
    if (bytes.size() < kRecordsAt)
        return fail("the file is too short");
    const std::size_t whole = (bytes.size() - kBlock) / kBlock * kBlock;
    if (!tripleDesEcb(std::span(bytes).subspan(kBlock, whole), false))
        return fail("the cipher is not available");
    if (!std::equal(kMagic.begin(), kMagic.end(), bytes.begin()))
        return fail("the file does not begin with PCDB0101");
    const std::uint32_t count = le32(bytes, kCountAt);
    if (count > kMaxDatabaseRecords)
        return fail("more than 1024 records");
    dsp::FilterCache filters;
    std::size_t end = kRecordsAt;
    for (std::uint32_t r = 0; r < count; ++r) {
        if (bytes.size() - end < kRecordHead)
            return fail("a record is cut short");
        const std::uint32_t taps = le32(bytes, end + 8);
        if (taps == 0 || taps > dsp::kMaxResamplingTaps)
            return fail("a filter has no taps or more than a filter can have");
        if ((bytes.size() - end - kRecordHead) / 4 < taps)
            return fail("a record is cut short");
        dsp::FilterRecord record;
        record.sourceRate = floatAt(bytes, end);
        record.targetRate = floatAt(bytes, end + 4);
        if (!saneRate(record.sourceRate) || !saneRate(record.targetRate))
            return fail("a filter has a rate that is not a positive number");
        for (std::uint32_t t = 0; t < taps; ++t)
            record.taps.push_back(floatAt(bytes, end + kRecordHead + 4 * t));
        filters.push_back(std::move(record));
        end += kRecordHead + 4 * std::size_t{taps};
    }
    if (bytes.size() - end < kDigestSize)
        return fail("the digest is missing");
    const auto digest = md5(std::span(bytes).first(end));
    if (!digest || !std::equal(digest->begin(), digest->end(), bytes.begin() + end))
        return fail("the digest does not match");
    result.filters = std::move(filters);
    return result;
}

Outcome loadPrecompiledDatabase(CompilerState& state, Console& out, const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return Outcome::next(); // nothing to load: the first compile writes it
    out.print("Reading precompiled database '%s'\n", path.c_str());
    auto bytes = readWholeFile(path);
    DatabaseContents contents;
    if (bytes)
        contents = decodeDatabase(std::move(*bytes));
    else
        contents.problem = "the file cannot be read";
    if (!contents.filters) {
        out.print("  + WARN: Precompiled database integrity check fail (%s), it is rebuilt\n",
                  contents.problem.c_str());
        out.print("  + Done\n");
        return Outcome::next();
    }
    // The database's filters first, then any designed before in this run.
    dsp::FilterCache cache = std::move(*contents.filters);
    for (dsp::FilterRecord& record : state.filterCache)
        if (!dsp::findFilter(cache, record.sourceRate, record.targetRate))
            cache.push_back(std::move(record));
    state.filterCache = std::move(cache);
    out.print("  + Done\n");
    return Outcome::next();
}

Outcome savePrecompiledDatabase(CompilerState& state, Console& out) {
    out.print("  + Writing precompiled data\n");
    const std::string& path = state.precompiledDatabase.value_or(std::string());
    const auto bytes = encodeDatabase(state.filterCache);
    if (!bytes || rom::writeRomFile(path, *bytes) != rom::RomFileStatus::Ok) {
        out.print("    + Can't create file: %s\n", path.c_str());
        return Outcome::stop(Outcome::kFileError);
    }
    return Outcome::next();
}

} // namespace telmira::compiler
