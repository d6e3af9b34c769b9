#pragma once

#include "compiler/console.h"
#include "compiler/outcome.h"
#include "compiler/state.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telmira::compiler {

// The file the AY converter library writes into the current directory.
inline constexpr const char* kConverterOutput = "out.m";

// `read_pt3` and `read_fxm`: convert an AY module with the converter library (loaded by name,
// or from a file when `library` holds a path) and append it to the song list as an AY song.
Outcome readPt3(CompilerState& state, Console& out, const std::string& path,
                const std::string& library);
Outcome readFxm(CompilerState& state, Console& out, const std::string& path,
                const std::string& library);

// The song data of a converted PT3 module, built from the numbers of the converter's text
// output: bytes, a skip over the pointer area, then after a negative number the pointers as
// big-endian words recorded for relocation.
struct ConvertedPt3 {
    std::vector<std::uint8_t> data;
    std::vector<std::uint32_t> relocations;
};
// Nothing when the output is malformed: not all numbers, no end-of-data mark, or a position
// outside the song buffer (twice the module size).
std::optional<ConvertedPt3> decodePt3Output(std::string_view text, std::size_t moduleSize);

} // namespace telmira::compiler
