#pragma once

#include "tools/mkbank/bankmodel.h"

#include <string>

namespace telmira::mkbank {

// Reads a SoundFont 2 file with libgig into a SourceBank: every sample as 16-bit mono frames and
// every preset with its layers and zones. Returns false with a message in `error` when the file
// cannot be read or holds samples this builder does not handle (stereo or 24-bit frames).
bool loadSoundFont(const std::string& path, SourceBank& bank, std::string& error);

} // namespace telmira::mkbank
