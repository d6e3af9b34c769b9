#include "tests/common/testpaths.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace telmira::test {

fs::path testdataDir() {
    return fs::path(TELMIRA_TESTDATA_DIR);
}

bool haveTestdata() {
    return fs::is_directory(testdataDir());
}

static fs::path makeTempDir() {
    std::string pattern = (fs::temp_directory_path() / "telmira-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    return fs::path(pattern);
}

TempDir::TempDir() : dir_(makeTempDir()) {}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

WorkCopy::WorkCopy() : dir_(makeTempDir() / "work") {
    fs::copy(fs::path(TELMIRA_WORK_DIR), dir_,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

WorkCopy::~WorkCopy() {
    std::error_code ec;
    fs::remove_all(dir_.parent_path(), ec);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace telmira::test
