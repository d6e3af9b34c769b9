#pragma once

#include "tools/mkbank/bankmodel.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace telmira::mkbank {

// The C++ source of the instrument region table and the drum sound table
// (melodies/instrumentregions.cpp) for a planned bank whose DLS file has `bankBytes` bytes.
// `sourceName` names the SoundFont in the file's heading. Deterministic: the same bank gives the
// same text.
std::string writeRegionTable(const Bank& bank, std::size_t bankBytes, std::string_view sourceName);

} // namespace telmira::mkbank
