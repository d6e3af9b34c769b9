// Fuzz entry point: the DLS structure check of the bank builder on arbitrary bytes.
#include "tools/mkbank/dlscheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    telmira::mkbank::DlsContents contents;
    (void)telmira::mkbank::checkDls({data, size}, contents);
    return 0;
}
