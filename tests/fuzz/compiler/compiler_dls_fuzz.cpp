// Reads any bytes as a DLS bank.
#include "compiler/dls.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string output;
    telmira::compiler::Console console(output);
    telmira::compiler::DlsBank bank;
    telmira::compiler::parseDls({data, size}, "fuzz.dls", 10416.666f, bank, console);
    for (const auto& region : bank.regions)
        if (region.wave && *region.wave >= bank.waves.size())
            __builtin_trap(); // a link must name a wave of the bank
    return 0;
}
