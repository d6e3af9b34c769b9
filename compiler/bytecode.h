#pragma once

#include "compiler/songevents.h"

#include <cstdint>
#include <vector>

namespace telmira::compiler {

// The events a song's data holds: neither superseded nor kept for the log only.
bool isWritten(const SongEvent& event);

// The timing value a SetTim carries in the song data: its 16-bit value, held to the largest
// one the data can express (zavra::kMaxTiming).
std::uint16_t storedTiming(const SongEvent& event);

// Delays of the byte-code: 0x00..0x7F one byte, above that two bytes (bits 7..13, bits 0..6).
// A delay beyond 14 bits is written as a run of such delays.
inline constexpr std::uint32_t kMaxByteCodeDelay = 0x3FFF;
void appendByteCodeDelay(std::vector<std::uint8_t>& bytes, std::uint32_t delay);

// The unpacked byte-code of a compiled song, which the packing mirrors: before every written
// event whose time differs from the previous written event its delay, then the event:
// 0x80 + key, voice, instrument, velocity, volume (note-on); 0xF0, voice, change (DeltaP);
// 0xF6, voice, pitch low, pitch high (SetPch); 0xF7, voice, volume (SetVol); 0xF8 (End);
// 0xF9, timing low, timing high + 1 (SetTim); 0xFA..0xFF (NoteOff on voice 0..5).
std::vector<std::uint8_t> songByteCode(const std::vector<SongEvent>& events);

} // namespace telmira::compiler
