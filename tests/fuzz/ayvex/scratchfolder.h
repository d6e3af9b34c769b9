#pragma once

// The exports read their code tables from, and write out.m into, the current directory: each
// fuzz run works in a private folder holding a copy of the shipped tables.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace ayvexfuzz {

inline const std::filesystem::path& scratchFolder() {
    namespace fs = std::filesystem;
    // Never destroyed, so the clean-up at exit can still name it.
    static const fs::path* folder = [] {
        std::string pattern = (fs::temp_directory_path() / "ayvex-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        for (int i = 0; i < 4; ++i) {
            const std::string name = "pdata" + std::to_string(i) + ".bin";
            fs::copy_file(fs::path(AYVEX_TABLE_DIR) / name, fs::path(pattern) / name);
        }
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(scratchFolder(), ec);
        });
        return new fs::path(pattern);
    }();
    return *folder;
}

// Runs one export call in the scratch folder and checks that out.m exists exactly when the
// export reported success; out.m is removed for the next input and the folder left again.
template <typename Call> void runInScratchFolder(Call call) {
    namespace fs = std::filesystem;
    const fs::path previous = fs::current_path();
    fs::current_path(scratchFolder());
    const int result = call();
    const bool exists = fs::exists("out.m");
    if ((result == 0) != exists)
        std::abort();
    fs::remove("out.m");
    fs::current_path(previous);
}

} // namespace ayvexfuzz
