#pragma once

#include "compiler/dsp/sample_preparation.h"

#include <cstddef>
#include <optional>

namespace telmira::compiler {

// One entry of the instrument table: a DLS region the compiled songs play. Its position in the
// table is the instrument number of the note-on events.
struct Instrument {
    std::size_t region = 0; // index into DlsBank::regions
    // The sample of its wave ends in the long terminator (bit 0x08 of the entry's flags); set
    // when the samples are prepared.
    bool longTerminator = true;
};

// A wave the compiled songs play, in order of first use, with its sample once prepared.
struct UsedSample {
    std::size_t wave = 0; // index into DlsBank::waves
    std::optional<dsp::PreparedWave> prepared;
};

} // namespace telmira::compiler
