#pragma once

#include "compiler/dlsbank.h"
#include "compiler/song.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace telmira::compiler {

// A note-on as region resolution sees it.
struct NoteRequest {
    int channel = 0;
    int bank = 0; // the channel's bank and program
    int program = 0;
    bool drum = false; // the channel's drum mode
    int key = 0;
    int velocity = 0;
};

struct NoteResolution {
    std::optional<std::size_t> source; // the region of the channel's own bank and program
    std::optional<std::size_t> region; // the region the note plays; none: the note is dropped
    int originKey = kAny;              // of the region remap that chose the region
    bool autoRemap = false;            // the exact bank and program had no region
    int bank = 0;                      // bank and program after the program remaps
    int program = 0;
    int volumeAdjustment = 0; // instrument and channel volume adjustments of the song
};

// The first region for the bank, program, drum mode, key and velocity; failing that the same
// in bank 0; failing that in any bank, with this program or, for drums, the standard kit
// (program 0). `exact` tells whether the first step found it.
std::optional<std::size_t> lookupRegion(const DlsBank& dls, int bank, int program, bool drum,
                                        int key, int velocity, bool* exact = nullptr);

// Resolves a note-on with the song's volume adjustments, program remaps and region remaps.
NoteResolution resolveNote(const Song& song, const DlsBank& dls, const NoteRequest& note);

// Adds the note to a usage list unless a record already covers it: the same source region, or,
// without one, the same bank, program and drum mode (and key, for drums).
void recordUsage(std::vector<UsageRecord>& records, const NoteResolution& resolution,
                 const NoteRequest& note);

} // namespace telmira::compiler
