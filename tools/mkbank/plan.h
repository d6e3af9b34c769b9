#pragma once

#include "tools/mkbank/bankmodel.h"
#include "tools/mkbank/wave.h"

#include <string>
#include <vector>

namespace telmira::mkbank {

struct PlanOptions {
    WaveLimits wave;
    int maxRegions = 10; // per melodic program
    int velocity = 100;  // the velocity whose zones the bank keeps
    int drumBank = 128;  // where the SoundFont keeps its standard kit
    int drumProgram = 0;
};

// Keys low..high of one region and the zone that sounds there.
struct KeySpan {
    int low = 0;
    int high = 127;
    const SourceZone* zone = nullptr;
};

// The layer of a preset the bank keeps: the one that covers most keys of the piano range
// (21..108), then the one with the most distinct sounds, then the first.
int chooseLayer(const SourcePreset& preset, int velocity);

// The regions of a melodic program: keys 0..127 without gaps in ascending order, at most
// maxRegions of them. Neighbouring keys that play the same sound share a region, keys the layer
// leaves out go to the nearest region, and while there are too many regions the narrowest is
// merged into the neighbour whose root key lies nearer. Empty when the preset has no zone.
std::vector<KeySpan> melodicSpans(const SourcePreset& preset, int velocity, int maxRegions);

// The regions of a drum kit: one per key that has a sound, from the preferred layer first.
std::vector<KeySpan> drumSpans(const SourcePreset& preset, int velocity);

// Builds the whole bank: the 128 melodic programs of bank 0 and the drum kit, each region with
// its own wave or one shared with another region that plays the same part of the same sample
// at the same tuning. Returns false with a message when a program or the kit is missing.
bool planBank(const SourceBank& source, const PlanOptions& options, Bank& bank, std::string& error);

} // namespace telmira::mkbank
