#pragma once

#include <set>
#include <string>
#include <string_view>

namespace telmira::mkbank {

// The two characters a wave name gives its root key: "00".."99", then "A0".."C7" for 100..127.
std::string keyCode(int key);

// A wave name of at most 8 upper-case characters: five from the SoundFont sample's name
// (letters and digits, padded with '_'), the root key's code, and a letter when the first seven
// characters are already taken. Returns an empty string when all 27 forms are taken.
std::string makeWaveName(std::string_view sampleName, int rootKey,
                         const std::set<std::string>& taken);

} // namespace telmira::mkbank
