#include "compiler/bytecode.h"

#include "base/zavrastream.h"

#include <algorithm>

namespace telmira::compiler {

namespace {

constexpr std::uint32_t kOneByteDelay = 0x7F;
constexpr std::uint8_t kNoteOnBase = 0x80;

std::uint8_t low(std::uint32_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace

bool isWritten(const SongEvent& event) {
    return !event.removed && !event::isLogOnly(event.type);
}

std::uint16_t storedTiming(const SongEvent& event) {
    return std::min(event.timing(), zavra::kMaxTiming);
}

void appendByteCodeDelay(std::vector<std::uint8_t>& bytes, std::uint32_t delay) {
    while (delay > 0) {
        const std::uint32_t part = std::min(delay, kMaxByteCodeDelay);
        if (part > kOneByteDelay)
            bytes.push_back(static_cast<std::uint8_t>((part >> 7) & 0x7F));
        bytes.push_back(static_cast<std::uint8_t>(part & 0x7F));
        delay -= part;
    }
}

std::vector<std::uint8_t> songByteCode(const std::vector<SongEvent>& events) {
    std::vector<std::uint8_t> bytes;
    std::uint32_t last = 0;
    for (const SongEvent& e : events) {
        if (!isWritten(e))
            continue;
        appendByteCodeDelay(bytes, e.time - last);
        last = e.time;
        const auto voice = low(e.voice);
        if (event::isNoteOn(e.type)) {
            bytes.insert(bytes.end(), {static_cast<std::uint8_t>(kNoteOnBase + e.type), voice,
                                       low(e.instrument), low(e.velocity), low(e.value)});
        } else if (e.type == event::kDeltaP) {
            bytes.insert(bytes.end(), {zavra::type::kDeltaP, voice, low(e.value)});
        } else if (e.type == event::kSetPch) {
            bytes.insert(bytes.end(),
                         {zavra::type::kSetPch, voice, low(e.value), low(e.value >> 8)});
        } else if (e.type == event::kSetVol) {
            bytes.insert(bytes.end(), {zavra::type::kSetVol, voice, low(e.value)});
        } else if (e.type == event::kSetTim) {
            const std::uint16_t timing = storedTiming(e);
            bytes.insert(bytes.end(), {zavra::type::kSetTim, low(timing), low((timing >> 8) + 1)});
        } else {
            bytes.push_back(low(e.type)); // End, NoteOff
        }
    }
    return bytes;
}

} // namespace telmira::compiler
