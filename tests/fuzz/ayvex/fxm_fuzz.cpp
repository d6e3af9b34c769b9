// Fuzz entry point of the FXM export.
#include "ayvex/ayvex.h"
#include "tests/fuzz/ayvex/scratchfolder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ayvexfuzz::runInScratchFolder([&] { return FXMProcess(data, std::uint32_t(size)); });
    return 0;
}
