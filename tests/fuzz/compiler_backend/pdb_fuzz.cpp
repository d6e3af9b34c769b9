// Reads any bytes as a precompiled filter database.
#include "compiler/pdb.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto read =
        telmira::compiler::decodeDatabase(std::vector<std::uint8_t>(data, data + size));
    if (!read.filters)
        return 0;
    if (read.filters->size() > telmira::compiler::kMaxDatabaseRecords)
        __builtin_trap();
    for (const auto& filter : *read.filters)
        if (filter.taps.empty() || !(filter.sourceRate > 0) || !(filter.targetRate > 0))
            __builtin_trap(); // only usable filters are trusted
    return 0;
}
