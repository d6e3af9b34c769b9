#pragma once

#include "compiler/songevents.h"

#include <array>
#include <cstdint>
#include <optional>

namespace telmira::compiler {

// What voice allocation needs to know about one voice.
struct VoiceView {
    bool busy = false;
    int channel = 0;
    std::uint32_t age = 0;
    bool released = false; // its note has had its note-off
    int priority = 0;      // of its channel
};

// How a note got its voice (the steal mode of its note-on event).
enum class StealMode : std::uint8_t {
    Free = 0,           // the lowest-numbered free voice
    OwnReleased = 1,    // channel at its limit: its oldest released voice
    OwnOldest = 2,      // channel at its limit: its oldest voice
    AnyReleased = 3,    // below the limit: the oldest released voice of any channel
    LowestPriority = 4, // below the limit: the oldest voice of the lowest-priority channels
};

struct VoiceRequest {
    int channel = 0;
    int priority = 0; // of the note's channel
    int limit = 0;    // voices the channel may hold (drum or melodic limit by the region)
};

struct VoiceChoice {
    int voice = 0; // 0..5
    StealMode mode = StealMode::Free;
};

// The voice a new note gets, or none when every voice is busy and the channel may not take
// one: at its limit with no voice of its own, or below it with every busy voice's channel of
// higher priority than the note's. Among candidates the oldest wins, on equal ages the higher
// voice number.
std::optional<VoiceChoice> allocateVoice(const std::array<VoiceView, kVoices>& voices,
                                         const VoiceRequest& request);

} // namespace telmira::compiler
