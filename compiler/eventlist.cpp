#include "compiler/eventlist.h"

#include <algorithm>
#include <cstdlib>

namespace telmira::compiler {

namespace {

constexpr int kLargestPitchStep = 127; // a DeltaP holds a signed byte

bool isPitchEvent(std::uint16_t type) {
    return type == event::kSetPch || type == event::kDeltaP;
}

bool cancelledByNoteOn(const SongEvent& earlier, std::uint16_t voice) {
    if (earlier.voice != voice)
        return false;
    return event::isNoteOn(earlier.type) || isPitchEvent(earlier.type) ||
           earlier.type == event::kSetVol || earlier.type == event::kNoteOff + voice;
}

} // namespace

void EventList::remove(SongEvent& event) {
    event.removed = true;
    if (event::isNoteOn(event.type) && event.wave >= 0)
        --waves_[static_cast<std::size_t>(event.wave)].usageCount;
}

void EventList::supersede(SongEvent& event) {
    for (std::size_t i = stepStart_; i < events_.size(); ++i) {
        SongEvent& earlier = events_[i];
        if (earlier.removed || event::isLogOnly(earlier.type))
            continue;
        const bool sameVoice = earlier.voice == event.voice;
        if (event::isNoteOn(event.type)) {
            if (cancelledByNoteOn(earlier, event.voice))
                remove(earlier);
        } else if (event.type == event::kSetVol || event.type == event::kSetTim ||
                   event::isNoteOff(event.type)) {
            // SetTim has no voice; NoteOff names its voice in the type.
            if (earlier.type == event.type && (sameVoice || event.type == event::kSetTim))
                remove(earlier);
        } else if (event.type == event::kSetPch) {
            if (sameVoice && isPitchEvent(earlier.type))
                remove(earlier);
        } else if (event.type == event::kDeltaP && sameVoice) {
            if (earlier.type == event::kSetPch) {
                remove(earlier);
                event.type = event::kSetPch;
                event.value = static_cast<std::uint16_t>(earlier.value + event.pitchChange());
            } else if (earlier.type == event::kDeltaP) {
                remove(earlier);
                const int sum = earlier.pitchChange() + event.pitchChange();
                if (std::abs(sum) <= kLargestPitchStep) {
                    event.value = static_cast<std::uint8_t>(sum);
                    event.previousPitch = earlier.previousPitch;
                } else {
                    event.type = event::kSetPch;
                    event.value = static_cast<std::uint16_t>(earlier.previousPitch + sum);
                }
            }
        }
    }
}

void EventList::append(SongEvent event, std::uint32_t time) {
    time = std::max(time, lastTime_);
    event.time = time;
    event.delta = time - lastTime_;
    event.removed = false;
    if (event.delta != 0)
        stepStart_ = events_.size();
    else
        supersede(event);
    if (event::isNoteOn(event.type) || event.type == event::kSetVol)
        largestVolume_ = std::max(largestVolume_, event.value);
    if (event::isNoteOn(event.type) && event.wave >= 0)
        ++waves_[static_cast<std::size_t>(event.wave)].usageCount;
    events_.push_back(event);
    lastTime_ = time;
}

} // namespace telmira::compiler
