// Plain driver for a libFuzzer entry point: feeds every file below the given folders (or the
// given files) once, so the seed corpus runs in the ordinary test run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

static int runOne(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
    }
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}

int main(int argc, char** argv) {
    int failures = 0;
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg))
                if (entry.is_regular_file()) {
                    failures += runOne(entry.path());
                    ++count;
                }
        } else {
            failures += runOne(arg);
            ++count;
        }
    }
    std::printf("replayed %d inputs\n", count);
    if (count == 0) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    return failures == 0 ? 0 : 1;
}
