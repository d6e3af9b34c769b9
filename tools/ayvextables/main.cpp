// ayvextables: builds the PT3 coder's code tables pdata0.bin..pdata3.bin from the symbol
// frequencies of real modules.
//
//   ayvextables <folder of .pt3 modules> <output folder>
#include "tools/ayvextables/tablegen.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ayvextables <folder of .pt3 modules> <output folder>\n");
        return 1;
    }
    ayvex::SymbolCounts counts{};
    std::vector<std::string> used;
    std::vector<std::string> skipped;
    std::string error;
    if (!ayvextables::countModules(argv[1], counts, used, skipped, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    for (const auto& name : used)
        std::printf("counted %s\n", name.c_str());
    for (const auto& line : skipped)
        std::printf("skipped %s\n", line.c_str());
    if (used.empty()) {
        std::fprintf(stderr, "no module could be counted in %s\n", argv[1]);
        return 1;
    }
    const ayvex::CodeTables tables = ayvextables::buildCodeTables(counts);
    for (std::size_t i = 0; i < ayvex::kTableCount; ++i) {
        const std::filesystem::path path =
            std::filesystem::path(argv[2]) / ayvex::codeTableFileName(i);
        const std::vector<std::uint8_t> bytes = ayvex::serializeCodeTable(tables[i]);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        unsigned longest = 0;
        for (std::uint8_t length : tables[i].length)
            longest = std::max<unsigned>(longest, length);
        std::printf("wrote %s (longest code %u bits)\n", path.c_str(), longest);
    }
    return 0;
}
