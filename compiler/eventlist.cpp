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
    if (event.type == event::kSetTim) {
        if (liveTiming_)
            remove(events_[*liveTiming_]);
        return;
    }
    for (const std::size_t index : live_[event.voice]) {
        SongEvent& earlier = events_[index];
        if (earlier.removed)
            continue;
        if (event::isNoteOn(event.type)) {
            if (cancelledByNoteOn(earlier, event.voice))
                remove(earlier);
        } else if (event.type == event::kSetVol || event::isNoteOff(event.type)) {
            if (earlier.type == event.type)
                remove(earlier);
        } else if (event.type == event::kSetPch) {
            if (isPitchEvent(earlier.type))
                remove(earlier);
        } else if (event.type == event::kDeltaP) {
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
    const bool voiceEvent = !event::isLogOnly(event.type) && event.type != event::kSetTim &&
                            event.type != event::kEnd && event.voice < kVoices;
    if (event.delta != 0) {
        for (auto& live : live_)
            live.clear();
        liveTiming_.reset();
    } else if (voiceEvent || event.type == event::kSetTim) {
        supersede(event);
    }
    if (event::isNoteOn(event.type) || event.type == event::kSetVol)
        largestVolume_ = std::max(largestVolume_, event.value);
    if (event::isNoteOn(event.type) && event.wave >= 0)
        ++waves_[static_cast<std::size_t>(event.wave)].usageCount;
    const std::size_t index = events_.size();
    events_.push_back(event);
    lastTime_ = time;
    if (event.type == event::kSetTim) {
        liveTiming_ = index;
    } else if (voiceEvent) {
        auto& live = live_[event.voice];
        std::erase_if(live, [&](std::size_t i) { return events_[i].removed; });
        live.push_back(index);
    }
}

} // namespace telmira::compiler
