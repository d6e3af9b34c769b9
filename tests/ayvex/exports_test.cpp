// libayvex.so as the melody compiler uses it: loaded with dlopen, called in a folder that holds
// the code tables, judged by its result and the out.m it leaves behind.
#include "ayvex/ayvex.h"
#include "ayvex/fxm.h"
#include "ayvex/pt3.h"
#include "tests/ayvex/song.h"
#include "tests/ayvex/writers.h"
#include "tests/common/testpaths.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <random>

namespace fs = std::filesystem;
using namespace ayvextest;
using telmira::test::readFile;
using telmira::test::writeFile;

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<fs::path> realModules(const std::string& kind) {
    std::vector<fs::path> files;
    const fs::path dir = telmira::test::testdataDir() / kind;
    if (fs::is_directory(dir))
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> fixturePt3() {
    Pt3Spec spec;
    spec.samples[1] = Pt3Sample{0, {{0x00, 0x8F, 0x00, 0x00}, {0x00, 0x8D, 0x10, 0x00}}};
    spec.ornaments[0] = plainOrnament();
    spec.patterns.push_back({});
    spec.patterns[0].channels = {std::vector<std::uint8_t>{0xD1, 0x60, 0xD0, 0x61, 0x00},
                                 std::vector<std::uint8_t>{0xC0, 0x00},
                                 std::vector<std::uint8_t>{0x41, 0x62, 0x00}};
    return writePt3(spec).bytes;
}

// Each test runs in its own temporary folder holding a copy of the shipped code tables.
class AyvexLibrary : public testing::Test {
protected:
    void SetUp() override {
        const fs::path work(TELMIRA_WORK_DIR);
        for (std::size_t i = 0; i < ayvex::kTableCount; ++i)
            fs::copy_file(work / ayvex::codeTableFileName(i), temp_ / ayvex::codeTableFileName(i));
        previous_ = fs::current_path();
        fs::current_path(temp_.dir());
        library_ = dlopen((work / "libayvex.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        pt3_ = reinterpret_cast<AyvexProcessFunction>(dlsym(library_, "PT3Process"));
        fxm_ = reinterpret_cast<AyvexProcessFunction>(dlsym(library_, "FXMProcess"));
        ASSERT_NE(pt3_, nullptr);
        ASSERT_NE(fxm_, nullptr);
    }
    void TearDown() override {
        fs::current_path(previous_);
        if (library_)
            dlclose(library_);
    }

    int pt3(const std::vector<std::uint8_t>& module) {
        return pt3_(module.data(), std::uint32_t(module.size()));
    }
    int fxm(const std::vector<std::uint8_t>& module) {
        return fxm_(module.data(), std::uint32_t(module.size()));
    }
    fs::path out() const { return temp_ / "out.m"; }
    bool outExists() const { return fs::exists(out()); }
    void leaveStaleOut() { writeFile(out(), "0\n1\n"); }

    telmira::test::TempDir temp_;
    fs::path previous_;
    void* library_ = nullptr;
    AyvexProcessFunction pt3_ = nullptr;
    AyvexProcessFunction fxm_ = nullptr;
};

} // namespace

TEST_F(AyvexLibrary, Pt3WritesTheConvertersNumbersOnePerLine) {
    const std::vector<std::uint8_t> module = fixturePt3();
    ASSERT_EQ(pt3(module), 0);
    ASSERT_TRUE(outExists());
    const std::string text = readFile(out());
    EXPECT_EQ(text.substr(0, 4), "0\n1\n");
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(readOutLines(out()), ayvex::convertPt3(module, shippedTables()).lines);
}

TEST_F(AyvexLibrary, FxmWritesTheBinaryFile) {
    const std::vector<std::uint8_t> module = simpleFxm(0x9000);
    ASSERT_EQ(fxm(module), 0);
    EXPECT_EQ(bytesOf(readFile(out())), ayvex::convertFxm(module).file);
}

TEST_F(AyvexLibrary, EveryRealPt3ModuleConverts) {
    const auto files = realModules("pt3");
    if (files.empty())
        GTEST_SKIP() << "no real PT3 modules";
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::vector<std::uint8_t> module = bytesOf(readFile(file));
        ASSERT_EQ(pt3(module), 0);
        const std::vector<int> lines = readOutLines(out());
        EXPECT_EQ(lines, ayvex::convertPt3(module, shippedTables()).lines);
        const Song song = assembleLikeCompiler(lines, module.size());
        EXPECT_EQ(song.error, "");
        EXPECT_EQ(song.relocations.size(),
                  1u + (song.data[8] + song.data[9] + std::size_t(lines.at(10))) / 2);
        fs::remove(out());
    }
}

TEST_F(AyvexLibrary, EveryRealFxmModuleConverts) {
    const auto files = realModules("fxm");
    if (files.empty())
        GTEST_SKIP() << "no real FXM modules";
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::vector<std::uint8_t> module = bytesOf(readFile(file));
        ASSERT_EQ(fxm(module), 0);
        const std::vector<std::uint8_t> data = bytesOf(readFile(out()));
        const std::size_t table = std::size_t(data.at(2) << 8 | data.at(3));
        ASSERT_EQ(table, module.size() + 2);
        EXPECT_EQ(data[0] | data[1], 0);
        EXPECT_EQ((data.size() - table) % 2, 0u);
        // The module's bytes come through, but for channel A's final jump.
        int marked = 0;
        for (std::size_t i = 6; i < module.size(); ++i)
            if (data[i + 2] != module[i]) {
                EXPECT_EQ(module[i], 0x80);
                EXPECT_EQ(data[i + 2], 0x8F);
                ++marked;
            }
        EXPECT_EQ(marked, 1);
        fs::remove(out());
    }
}

TEST_F(AyvexLibrary, CodeTableFaultsAreResultOneWithoutOutM) {
    struct Case {
        const char* what;
        std::size_t table;
        std::function<void(const fs::path&)> damage;
    };
    const std::vector<Case> cases{
        {"missing", 2, [](const fs::path& p) { fs::remove(p); }},
        {"short", 0, [](const fs::path& p) { fs::resize_file(p, 1279); }},
        {"long", 3, [](const fs::path& p) { fs::resize_file(p, 1281); }},
        {"empty", 1, [](const fs::path& p) { fs::resize_file(p, 0); }},
        {"a folder", 1,
         [](const fs::path& p) {
             fs::remove(p);
             fs::create_directory(p);
         }},
        {"a 40-bit code", 1,
         [](const fs::path& p) {
             std::string bytes = readFile(p);
             bytes[0] = 40;
             writeFile(p, bytes);
         }},
    };
    const fs::path work(TELMIRA_WORK_DIR);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path table = temp_ / ayvex::codeTableFileName(c.table);
        c.damage(table);
        leaveStaleOut();
        EXPECT_EQ(pt3(fixturePt3()), ayvex::kPt3TablesUnusable);
        EXPECT_FALSE(outExists());
        fs::remove_all(table);
        fs::copy_file(work / ayvex::codeTableFileName(c.table), table);
    }
    // The tables are read on every call: repaired, they work again.
    EXPECT_EQ(pt3(fixturePt3()), 0);
}

TEST_F(AyvexLibrary, RefusedModulesLeaveNoOutMBehind) {
    std::vector<std::uint8_t> pt3Bad = fixturePt3();
    pt3Bad[101] = 0;
    leaveStaleOut();
    EXPECT_EQ(pt3(pt3Bad), ayvex::kPt3Rejected);
    EXPECT_FALSE(outExists());

    std::vector<std::uint8_t> fxmBad = simpleFxm(0x8000);
    fxmBad[12] = 0x8C;
    leaveStaleOut();
    EXPECT_EQ(fxm(fxmBad), ayvex::kFxmInvalidCommand);
    EXPECT_FALSE(outExists());

    leaveStaleOut();
    EXPECT_EQ(fxm(fixturePt3()), ayvex::kFxmNotFxm);
    EXPECT_FALSE(outExists());

    EXPECT_EQ(pt3_(nullptr, 300), ayvex::kPt3Rejected);
    EXPECT_EQ(fxm_(nullptr, 300), ayvex::kFxmNotFxm);
    EXPECT_FALSE(outExists());
}

TEST_F(AyvexLibrary, OutMThatCannotBeCreatedIsAnErrorAndAFolderOfThatNameStays) {
    fs::create_directory(out());
    EXPECT_EQ(pt3(fixturePt3()), ayvex::kPt3CannotWrite);
    EXPECT_EQ(fxm(simpleFxm(0x8000)), ayvex::kFxmCannotCreate);
    EXPECT_TRUE(fs::is_directory(out()));
}

TEST_F(AyvexLibrary, TruncatedModulesAreRefused) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> modules{
        {"fixture.pt3", fixturePt3()}, {"fixture.fxm", simpleFxm(0x8000)}};
    for (const fs::path& file : realModules("pt3"))
        modules.emplace_back(file.filename().string(), bytesOf(readFile(file)));
    for (const fs::path& file : realModules("fxm"))
        modules.emplace_back(file.filename().string(), bytesOf(readFile(file)));
    for (const auto& [name, module] : modules) {
        const bool isFxm = ayvex::hasFxmMagic(module);
        for (std::size_t keep : {std::size_t(0), std::size_t(3), std::size_t(11), std::size_t(200),
                                 std::size_t(201), module.size() / 2, module.size() - 1}) {
            if (keep >= module.size())
                continue;
            SCOPED_TRACE(name + " cut to " + std::to_string(keep));
            const std::vector<std::uint8_t> cut(module.begin(), module.begin() + long(keep));
            EXPECT_NE(isFxm ? fxm(cut) : pt3(cut), 0);
            EXPECT_FALSE(outExists());
        }
    }
}

TEST_F(AyvexLibrary, RandomInputsNeverLeaveAStrayOutM) {
    std::mt19937 random(20240611);
    const std::vector<std::uint8_t> fixture = fixturePt3();
    const std::vector<std::uint8_t> pt3Header(fixture.begin(), fixture.begin() + 201);
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> bytes(random() % 1500);
        for (auto& b : bytes)
            b = std::uint8_t(random());
        // A third keeps a plausible PT3 header, a third starts like an FXM module.
        if (round % 3 == 1 && bytes.size() > 201)
            std::copy(pt3Header.begin(), pt3Header.end(), bytes.begin());
        if (round % 3 == 2 && bytes.size() > 4)
            std::copy_n("FXSM", 4, bytes.begin());
        SCOPED_TRACE("round " + std::to_string(round));
        const int result = round % 3 == 2 ? fxm(bytes) : pt3(bytes);
        EXPECT_EQ(result == 0, outExists());
        if (result != 0)
            ++refused;
        fs::remove(out());
    }
    EXPECT_GT(refused, 250);
}
