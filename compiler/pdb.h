#pragma once

#include "compiler/console.h"
#include "compiler/dsp/resampling_filter.h"
#include "compiler/outcome.h"
#include "compiler/state.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The precompiled database: the compiler's cache of resampling filters, kept between runs in an
// enciphered file (by convention "pdb.dat"). Layout, little-endian:
//   0   8  "PCDB0101" (plain)
//   8   4  number of records c, at most 1024
//   12  ..  c records: source rate, target rate (float bits), number of taps n, n taps (float
//           bits)
//   ..  16  MD5 of every byte before it
//   ..  0-7 zero padding to a multiple of 8 bytes
// From offset 8 on the file is enciphered block by block with Triple DES (three keys, ECB)
// under the key of base/firmware.h.
namespace telmira::compiler {

inline constexpr std::size_t kMaxDatabaseRecords = 1024;

// Triple DES over whole 8-byte blocks, in place; false when the cipher is not available.
bool tripleDesEcb(std::span<std::uint8_t> blocks, bool encipher);
using Md5Digest = std::array<std::uint8_t, 16>;
std::optional<Md5Digest> md5(std::span<const std::uint8_t> bytes);

// The file's bytes for the cache; at most the last kMaxDatabaseRecords filters (the newest) are
// kept. Nothing when the cipher or digest is not available.
std::optional<std::vector<std::uint8_t>> encodeDatabase(const dsp::FilterCache& cache);

// The filters of a database file in file order; nothing, and the reason, when the file fails
// the integrity check (magic, count, records inside the file, digest, sane rates and lengths).
struct DatabaseContents {
    std::optional<dsp::FilterCache> filters;
    std::string problem;
};
DatabaseContents decodeDatabase(std::vector<std::uint8_t> bytes);

// `precompiled_database`: loads the cache from the file when it exists, with
//   "Reading precompiled database '%s'\n" and "  + Done\n".
// A file that fails its integrity check is not trusted: the run goes on with the filters it
// has, and the file is rebuilt at the end of the next compile.
Outcome loadPrecompiledDatabase(CompilerState& state, Console& out, const std::string& path);

// The end of `compile`: rewrites the database with the whole cache ("  + Writing precompiled
// data\n"), replacing the old file only once the new one is complete.
Outcome savePrecompiledDatabase(CompilerState& state, Console& out);

} // namespace telmira::compiler
