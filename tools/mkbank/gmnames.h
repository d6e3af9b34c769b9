#pragma once

#include <string_view>

namespace telmira::mkbank {

// The General MIDI name of a melodic program 0..127.
std::string_view gmProgramName(int program);

// The percussion keys the drum sound table lists, and the name of each (keys 27 to 34 are the
// extended sounds of GS-style kits).
inline constexpr int kFirstDrumKey = 27;
inline constexpr int kLastDrumKey = 87;
std::string_view gmDrumName(int key); // empty outside kFirstDrumKey..kLastDrumKey

} // namespace telmira::mkbank
