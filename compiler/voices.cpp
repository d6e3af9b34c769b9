#include "compiler/voices.h"

#include <algorithm>
#include <limits>

namespace telmira::compiler {

namespace {

// The oldest voice among those `accept` lets through; later voices win ties.
template <class Accept>
std::optional<int> oldest(const std::array<VoiceView, kVoices>& voices, Accept accept) {
    std::optional<int> found;
    for (int v = 0; v < kVoices; ++v) {
        const VoiceView& voice = voices[static_cast<std::size_t>(v)];
        if (!voice.busy || !accept(voice))
            continue;
        if (!found || voice.age >= voices[static_cast<std::size_t>(*found)].age)
            found = v;
    }
    return found;
}

std::optional<VoiceChoice> choice(std::optional<int> voice, StealMode mode) {
    if (!voice)
        return std::nullopt;
    return VoiceChoice{*voice, mode};
}

} // namespace

std::optional<VoiceChoice> allocateVoice(const std::array<VoiceView, kVoices>& voices,
                                         const VoiceRequest& request) {
    for (int v = 0; v < kVoices; ++v)
        if (!voices[static_cast<std::size_t>(v)].busy)
            return VoiceChoice{v, StealMode::Free};

    const auto own = [&](const VoiceView& voice) { return voice.channel == request.channel; };
    const int held = static_cast<int>(std::count_if(voices.begin(), voices.end(), own));
    if (held >= request.limit) {
        if (auto v = oldest(voices,
                            [&](const VoiceView& voice) { return own(voice) && voice.released; }))
            return VoiceChoice{*v, StealMode::OwnReleased};
        return choice(oldest(voices, own), StealMode::OwnOldest);
    }
    if (auto v = oldest(voices, [](const VoiceView& voice) { return voice.released; }))
        return VoiceChoice{*v, StealMode::AnyReleased};
    int lowest = std::numeric_limits<int>::max();
    for (const VoiceView& voice : voices)
        lowest = std::min(lowest, voice.priority);
    if (request.priority < lowest)
        return std::nullopt;
    return choice(oldest(voices, [&](const VoiceView& voice) { return voice.priority == lowest; }),
                  StealMode::LowestPriority);
}

} // namespace telmira::compiler
