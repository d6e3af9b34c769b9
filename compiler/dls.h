#pragma once

#include "compiler/console.h"
#include "compiler/dlsbank.h"
#include "compiler/outcome.h"
#include "compiler/state.h"

#include <cstdint>
#include <span>
#include <string>

namespace telmira::compiler {

// LIST chunks open levels below the RIFF body (level 1); a bank nesting deeper is refused.
inline constexpr std::size_t kMaxDlsLevels = 8;

// `read_dls`: reads the bank into the compiler state's region and wave lists, printing the
// reader's lines. One bank per run.
Outcome readDls(CompilerState& state, Console& out, const std::string& path);

// Reads a DLS file held in memory into `bank`; `path` names it in messages and `fs` gives the
// waves' estimated lengths. Prints everything after the "bytes read" line.
Outcome parseDls(std::span<const std::uint8_t> file, const std::string& path, float fs,
                 DlsBank& bank, Console& out);

// Seconds of a raw DLS time (absolute timecents * 65536); kDlsNoTime is 0 seconds.
double dlsSeconds(std::int32_t raw);

} // namespace telmira::compiler
