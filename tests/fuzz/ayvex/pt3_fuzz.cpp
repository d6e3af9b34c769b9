// Fuzz entry point of the PT3 export.
#include "ayvex/ayvex.h"
#include "tests/fuzz/ayvex/scratchfolder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ayvexfuzz::runInScratchFolder([&] { return PT3Process(data, std::uint32_t(size)); });
    return 0;
}
