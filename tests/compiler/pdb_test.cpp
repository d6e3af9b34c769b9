// The precompiled filter database: its layout read back with libcrypto directly, the integrity
// check, and the load and save steps with their lines.
#include "base/firmware.h"
#include "compiler/fileio.h"
#include "compiler/pdb.h"
#include "tests/compiler/compilertest.h"

#include <openssl/evp.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <functional>

namespace telmira::compiler {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

dsp::FilterCache threeFilters() {
    return {{16000.0f, 10416.666f, {0.25f, 0.5f, 0.25f}},
            {22050.0f, 10416.666f, {-0.125f, 1.0f, 0.75f, 1.0f, -0.125f}},
            {8000.0f, 12000.5f, {1.0f}}};
}

// Deciphers a file with the Triple DES key of the firmware constants, independently of the
// module under test.
std::vector<std::uint8_t> plainBytes(std::vector<std::uint8_t> file) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    const auto* key =
        reinterpret_cast<const unsigned char*>(firmware::kPrecompiledDatabaseKey.data());
    EXPECT_EQ(EVP_DecryptInit_ex(ctx, EVP_des_ede3_ecb(), nullptr, key, nullptr), 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    std::vector<std::uint8_t> plain(file.begin(), file.begin() + 8);
    plain.resize(file.size() + 8);
    int n = 0;
    EXPECT_EQ(EVP_DecryptUpdate(ctx, plain.data() + 8, &n, file.data() + 8,
                                static_cast<int>(file.size() - 8)),
              1);
    plain.resize(8 + static_cast<std::size_t>(n));
    EVP_CIPHER_CTX_free(ctx);
    return plain;
}

TEST(PrecompiledDatabase, FileLayout) {
    const auto file = encodeDatabase(threeFilters());
    ASSERT_TRUE(file);
    // 12 + 3 records (12 bytes and taps each) + digest, padded to whole blocks.
    const std::size_t content = 12 + (12 + 12) + (12 + 20) + (12 + 4) + 16;
    EXPECT_EQ(file->size(), (content + 7) / 8 * 8);
    EXPECT_EQ(std::string(file->begin(), file->begin() + 8), "PCDB0101");
    EXPECT_NE(le32(*file, 8), 3u); // enciphered
    const auto plain = plainBytes(*file);
    EXPECT_EQ(le32(plain, 8), 3u);
    EXPECT_EQ(le32(plain, 12), std::bit_cast<std::uint32_t>(16000.0f));
    EXPECT_EQ(le32(plain, 16), std::bit_cast<std::uint32_t>(10416.666f));
    EXPECT_EQ(le32(plain, 20), 3u);
    EXPECT_EQ(le32(plain, 28), std::bit_cast<std::uint32_t>(0.5f));
    unsigned char digest[16];
    unsigned int size = 0;
    EVP_Digest(plain.data(), content - 16, digest, &size, EVP_md5(), nullptr);
    EXPECT_TRUE(std::equal(digest, digest + 16, plain.begin() + (content - 16)));
    for (std::size_t i = content; i < plain.size(); ++i)
        EXPECT_EQ(plain[i], 0) << "padding byte " << i;
}

TEST(PrecompiledDatabase, ThreeFiltersReadBackInOrder) {
    const auto file = encodeDatabase(threeFilters());
    ASSERT_TRUE(file);
    const DatabaseContents read = decodeDatabase(*file);
    ASSERT_TRUE(read.filters) << read.problem;
    ASSERT_EQ(read.filters->size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(read.filters->at(i).sourceRate, threeFilters()[i].sourceRate);
        EXPECT_EQ(read.filters->at(i).targetRate, threeFilters()[i].targetRate);
        EXPECT_EQ(read.filters->at(i).taps, threeFilters()[i].taps);
    }
    const auto empty = encodeDatabase({});
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->size(), 32u);
    EXPECT_THAT(decodeDatabase(*empty).filters, ::testing::Optional(::testing::IsEmpty()));
}

TEST(PrecompiledDatabase, KeepsTheNewest1024Filters) {
    dsp::FilterCache many;
    for (int i = 0; i < 1030; ++i)
        many.push_back({1000.0f + static_cast<float>(i), 500.0f, {1.0f}});
    const auto read = decodeDatabase(*encodeDatabase(many));
    ASSERT_TRUE(read.filters);
    ASSERT_EQ(read.filters->size(), 1024u);
    EXPECT_EQ(read.filters->front().sourceRate, 1006.0f);
    EXPECT_EQ(read.filters->back().sourceRate, 2029.0f);
}

// Enciphers plain database bytes (from offset 8) the way the file holds them.
std::vector<std::uint8_t> encipher(std::vector<std::uint8_t> plain) {
    plain.resize((plain.size() + 7) / 8 * 8, 0);
    EXPECT_TRUE(tripleDesEcb(std::span(plain).subspan(8), true));
    return plain;
}

// Plain bytes with a correct digest after the first `end` bytes.
std::vector<std::uint8_t> withDigest(std::vector<std::uint8_t> plain) {
    const auto digest = md5(plain);
    plain.insert(plain.end(), digest->begin(), digest->end());
    return plain;
}

TEST(PrecompiledDatabase, IntegrityFailures) {
    const auto good = *encodeDatabase(threeFilters());
    const auto plain = plainBytes(good);
    const std::size_t records = 12 + 24 + 32 + 16; // the digest follows
    struct Case {
        const char* name;
        std::function<std::vector<std::uint8_t>()> file;
        const char* problem;
    };
    const Case cases[] = {
        {"Empty", [] { return std::vector<std::uint8_t>{}; }, "too short"},
        {"ShortHeader", [&] { return std::vector<std::uint8_t>(good.begin(), good.begin() + 15); },
         ""},
        {"LastRecordCutShort",
         [&] {
             auto p = std::vector<std::uint8_t>(plain.begin(), plain.begin() + records - 2);
             return encipher(p);
         },
         ""},
        {"RecordLongerThanTheFile",
         [&] {
             auto p = std::vector<std::uint8_t>(plain.begin(), plain.begin() + records);
             p[68 + 8] = 200; // the last filter claims 200 taps
             return encipher(withDigest(p));
         },
         "cut short"},
        {"FlippedByte",
         [&] {
             auto f = good;
             f[40] ^= 1;
             return f;
         },
         ""},
        {"WrongMagic",
         [&] {
             auto f = good;
             f[7] = '2';
             return f;
         },
         "PCDB0101"},
        {"TooManyRecords",
         [&] {
             auto p = plain;
             p[8] = 0x01;
             p[9] = 0x04; // 1025
             return encipher(p);
         },
         "more than 1024"},
        {"DigestMismatch",
         [&] {
             auto p = plain;
             p[records + 15] ^= 0x80;
             return encipher(p);
         },
         "digest does not match"},
        {"NoTaps",
         [&] {
             std::vector<std::uint8_t> p = {'P', 'C', 'D', 'B', '0', '1', '0', '1', 1, 0, 0, 0};
             for (float f : {16000.0f, 8000.0f})
                 for (int i = 0; i < 4; ++i)
                     p.push_back(
                         static_cast<std::uint8_t>(std::bit_cast<std::uint32_t>(f) >> (8 * i)));
             p.insert(p.end(), {0, 0, 0, 0});
             return encipher(withDigest(p));
         },
         "no taps"},
        {"RateNotANumber",
         [&] {
             auto p = std::vector<std::uint8_t>(plain.begin(), plain.begin() + records);
             const auto nan = std::bit_cast<std::uint32_t>(std::nanf(""));
             for (int i = 0; i < 4; ++i)
                 p[12 + i] = static_cast<std::uint8_t>(nan >> (8 * i));
             return encipher(withDigest(p));
         },
         "rate"},
    };
    for (const Case& c : cases) {
        const DatabaseContents read = decodeDatabase(c.file());
        EXPECT_FALSE(read.filters) << c.name;
        EXPECT_THAT(read.problem, HasSubstr(c.problem)) << c.name;
    }
}

class DatabaseStage : public ::testing::Test {
protected:
    std::string load(CompilerState& state, const std::string& name) {
        std::string text;
        Console out(text);
        EXPECT_TRUE(loadPrecompiledDatabase(state, out, path(name)).goesOn());
        return text;
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    test::TempDir dir_;
};

TEST_F(DatabaseStage, AMissingFileLoadsNothingAndPrintsNothing) {
    CompilerState state;
    EXPECT_EQ(load(state, "pdb.dat"), "");
    EXPECT_TRUE(state.filterCache.empty());
}

TEST_F(DatabaseStage, LoadsAndSavesTheCache) {
    CompilerState state;
    state.filterCache = threeFilters();
    state.precompiledDatabase = path("pdb.dat");
    std::string text;
    Console out(text);
    ASSERT_TRUE(savePrecompiledDatabase(state, out).goesOn());
    EXPECT_EQ(text, "  + Writing precompiled data\n");

    CompilerState next;
    next.filterCache = {{44100.0f, 10416.666f, {1.0f}}, {16000.0f, 10416.666f, {9.0f}}};
    EXPECT_EQ(load(next, "pdb.dat"),
              "Reading precompiled database '" + path("pdb.dat") + "'\n  + Done\n");
    // The file's filters first; one designed earlier in the run follows unless the file has it.
    ASSERT_EQ(next.filterCache.size(), 4u);
    EXPECT_EQ(next.filterCache[0].taps, threeFilters()[0].taps);
    EXPECT_EQ(next.filterCache[3].sourceRate, 44100.0f);
}

TEST_F(DatabaseStage, AFileFailingItsCheckIsIgnoredAndRebuilt) {
    auto file = *encodeDatabase(threeFilters());
    file[20] ^= 0x01;
    test::writeFile(dir_ / "pdb.dat", std::string(file.begin(), file.end()));
    CompilerState state;
    state.precompiledDatabase = path("pdb.dat");
    const std::string text = load(state, "pdb.dat");
    EXPECT_THAT(text, ::testing::StartsWith("Reading precompiled database '" + path("pdb.dat") +
                                            "'\n  + WARN: Precompiled database integrity check "
                                            "fail ("));
    EXPECT_THAT(text, ::testing::EndsWith("), it is rebuilt\n  + Done\n"));
    EXPECT_TRUE(state.filterCache.empty());

    state.filterCache = threeFilters();
    std::string saving;
    Console out(saving);
    ASSERT_TRUE(savePrecompiledDatabase(state, out).goesOn());
    const auto rebuilt = readWholeFile(path("pdb.dat"));
    ASSERT_TRUE(rebuilt);
    EXPECT_THAT(decodeDatabase(*rebuilt).filters, ::testing::Optional(::testing::SizeIs(3)));
}

TEST_F(DatabaseStage, ADatabaseThatCannotBeWrittenEndsTheRun) {
    CompilerState state;
    state.precompiledDatabase = path("none/pdb.dat");
    std::string text;
    Console out(text);
    EXPECT_EQ(savePrecompiledDatabase(state, out).exitCode(), 1);
    EXPECT_EQ(text, "  + Writing precompiled data\n    + Can't create file: " +
                        path("none/pdb.dat") + "\n");
}

} // namespace
} // namespace telmira::compiler
