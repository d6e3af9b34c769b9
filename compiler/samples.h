#pragma once

#include "compiler/console.h"
#include "compiler/outcome.h"
#include "compiler/state.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace telmira::compiler {

// Resamples every wave of the used-sample list into the phone's sample format (new filters join
// the filter cache), sets each instrument's terminator form and prints the collection's
// statistics. A wave of a format or rate it does not support (a sample size other than 8, 16, 24
// or 32 bits, no channels, a rate of 0, a resampling filter longer than its limit) is warned
// about and skipped; any other wave that cannot be converted (a loop longer than the wave, say)
// ends the run with a data error.
Outcome prepareSamples(CompilerState& state, Console& out);

// The prepared sample of a wave; null when the wave is not in the used-sample list or not yet
// prepared.
const UsedSample* usedSampleOf(const CompilerState& state, std::size_t wave);

// The eight bytes every container writes for instrument `number` of the instrument table:
// flags, sustain, V->A, attack, K->D, decay, release, origin note (EG timestep of the state).
std::array<std::uint8_t, 8> instrumentEntry(const CompilerState& state, std::size_t number);

// Bytes a prepared sample takes in the statistics: its samples and terminator (19 bytes when
// long or in r101xp mode, else 3).
std::size_t sampleBytes(const CompilerState& state, const UsedSample& sample);

} // namespace telmira::compiler
