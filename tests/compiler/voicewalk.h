#pragma once

#include "compiler/songevents.h"

#include <array>
#include <string>
#include <vector>

namespace telmira::compiler::test {

// The voice settings a song was compiled with.
struct VoiceRules {
    int maxMelodic = 3;
    int maxDrums = 3;
    std::array<int, kMidiChannels> priority{};
};

// Replays a compiled event list (removed events included: they were the decisions of their
// moment) on six voices and checks what the allocation promised: every event addresses one of
// six voices, a note takes the lowest free voice while there is one, steals only when all six
// sound, and then the voice its steal mode names under the channel's limit and the channels'
// priorities; a skipped note had no voice it was allowed to take; releases, pitch and volume
// changes go to sounding voices. Gives one line per broken promise.
std::vector<std::string> walkVoices(const CompiledSong& song, const VoiceRules& rules);

} // namespace telmira::compiler::test
