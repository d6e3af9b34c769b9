#pragma once

#include "compiler/dlsbank.h"
#include "compiler/songevents.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace telmira::compiler {

// The compiled event list of one song as it grows. Events come in time order; an event at the
// same tick as the ones before it supersedes those it makes pointless (a new note on a voice
// cancels what that voice was told before at the same tick, a pitch change merges with the one
// before it, ...). Superseded events stay in the list, marked removed, for the event log.
// Every note-on counts towards its wave's usage, and stops counting once removed.
class EventList {
public:
    EventList(std::vector<SongEvent>& events, std::vector<DlsWave>& waves)
        : events_(events), waves_(waves) {}

    // Appends `event` at song time `time` (not before the last event); its delta and time are
    // set here.
    void append(SongEvent event, std::uint32_t time);

    std::uint32_t lastTime() const { return lastTime_; }
    std::size_t size() const { return events_.size(); }
    // Largest volume of the note-ons and SetVols appended, removed ones included.
    std::uint32_t largestVolume() const { return largestVolume_; }

private:
    // Applies the same-tick rules of `event` to the live events of the current tick; may turn
    // a DeltaP into a SetPch or fold an earlier change into it.
    void supersede(SongEvent& event);
    void remove(SongEvent& event);

    std::vector<SongEvent>& events_;
    std::vector<DlsWave>& waves_;
    // Live (not removed) events of the current tick, per voice and for the timing, oldest
    // first: only they can be superseded, and each voice keeps but a handful, so appending
    // stays quick however many events share a tick.
    std::array<std::vector<std::size_t>, kVoices> live_;
    std::optional<std::size_t> liveTiming_;
    std::uint32_t lastTime_ = 0;
    std::uint32_t largestVolume_ = 0;
};

} // namespace telmira::compiler
