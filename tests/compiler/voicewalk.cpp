#include "tests/compiler/voicewalk.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace telmira::compiler::test {

namespace {

struct Slot {
    bool busy = false;
    int channel = 0;
    bool released = false;
    std::uint32_t since = 0; // time of its note-on
};

class Walk {
public:
    Walk(const VoiceRules& rules) : rules_(rules) {}

    void step(const SongEvent& e);
    std::vector<std::string> problems;

private:
    void noteOn(const SongEvent& e);
    void skip(const SongEvent& e);
    void problem(const SongEvent& e, const std::string& what) {
        problems.push_back("at " + std::to_string(e.time) + " type " + std::to_string(e.type) +
                           " voice " + std::to_string(e.voice) + ": " + what);
    }
    // The oldest sounding voice that `accept` lets through; the higher voice on equal ages.
    template <class Accept> std::optional<int> oldest(Accept accept) const {
        std::optional<int> found;
        for (int v = 0; v < kVoices; ++v) {
            const Slot& s = slots_[static_cast<std::size_t>(v)];
            if (s.busy && accept(s) &&
                (!found || s.since <= slots_[static_cast<std::size_t>(*found)].since))
                found = v;
        }
        return found;
    }
    int held(int channel) const {
        return static_cast<int>(std::count_if(slots_.begin(), slots_.end(), [&](const Slot& s) {
            return s.busy && s.channel == channel;
        }));
    }
    bool allBusy() const {
        return std::all_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.busy; });
    }
    int lowestPriority() const {
        int lowest = std::numeric_limits<int>::max();
        for (const Slot& s : slots_)
            lowest = std::min(lowest, rules_.priority[static_cast<std::size_t>(s.channel)]);
        return lowest;
    }

    const VoiceRules& rules_;
    std::array<Slot, kVoices> slots_{};
};

void Walk::step(const SongEvent& e) {
    if (event::isLogOnly(e.type) && e.type != event::kVChKill) {
        if (e.type == event::kNSkip)
            skip(e);
        return;
    }
    if (e.type == event::kSetTim || e.type == event::kEnd)
        return;
    if (e.voice >= kVoices) {
        problem(e, "no such voice");
        return;
    }
    Slot& slot = slots_[e.voice];
    if (event::isNoteOn(e.type)) {
        noteOn(e);
        return;
    }
    if (!slot.busy) {
        problem(e, "addresses a silent voice");
        return;
    }
    if (event::isNoteOff(e.type)) {
        if (e.type != event::kNoteOff + e.voice)
            problem(e, "NoteOff of another voice");
        slot.released = true;
        if (slot.since == e.time)
            slot.busy = false; // released at the tick it was given
    } else if (e.type == event::kVChKill) {
        slot.busy = false;
    }
}

void Walk::noteOn(const SongEvent& e) {
    const int channel = e.midiChannel;
    std::optional<int> free;
    for (int v = kVoices - 1; v >= 0; --v)
        if (!slots_[static_cast<std::size_t>(v)].busy)
            free = v;
    std::optional<int> expected;
    int mode = 0;
    if (free) {
        expected = free;
    } else {
        const int limit = e.drum ? rules_.maxDrums : rules_.maxMelodic;
        const auto own = [&](const Slot& s) { return s.channel == channel; };
        if (held(channel) >= limit) {
            expected = oldest([&](const Slot& s) { return own(s) && s.released; });
            mode = 1;
            if (!expected) {
                expected = oldest(own);
                mode = 2;
            }
        } else {
            expected = oldest([](const Slot& s) { return s.released; });
            mode = 3;
            const int lowest = lowestPriority();
            if (!expected && rules_.priority[static_cast<std::size_t>(channel)] >= lowest) {
                expected = oldest([&](const Slot& s) {
                    return rules_.priority[static_cast<std::size_t>(s.channel)] == lowest;
                });
                mode = 4;
            }
        }
    }
    if (!expected || *expected != e.voice || mode != e.stealMode)
        problem(e, "took voice " + std::to_string(e.voice) + " by mode " +
                       std::to_string(e.stealMode) + ", expected " +
                       (expected ? std::to_string(*expected) : "none") + " by mode " +
                       std::to_string(mode));
    if (e.voice < kVoices)
        slots_[e.voice] = Slot{true, channel, false, e.time};
}

void Walk::skip(const SongEvent& e) {
    const int channel = e.voice; // log events name the channel
    const bool released = std::any_of(slots_.begin(), slots_.end(),
                                      [](const Slot& s) { return s.busy && s.released; });
    // With limits of at least one a note is only skipped for priority: every voice sounding,
    // none released, and every busy channel more important than the note's.
    if (!allBusy() || released || held(channel) != 0 ||
        rules_.priority[static_cast<std::size_t>(channel)] >= lowestPriority())
        problem(e, "skipped a note that could have had a voice");
}

} // namespace

std::vector<std::string> walkVoices(const CompiledSong& song, const VoiceRules& rules) {
    Walk walk(rules);
    for (const SongEvent& e : song.events)
        walk.step(e);
    return walk.problems;
}

} // namespace telmira::compiler::test
