#include "tools/mkbank/names.h"

#include <algorithm>

namespace telmira::mkbank {

std::string keyCode(int key) {
    key = std::clamp(key, 0, 127);
    std::string code(2, '0');
    code[0] =
        key < 100 ? static_cast<char>('0' + key / 10) : static_cast<char>('A' + key / 10 - 10);
    code[1] = static_cast<char>('0' + key % 10);
    return code;
}

std::string makeWaveName(std::string_view sampleName, int rootKey,
                         const std::set<std::string>& taken) {
    std::string stem;
    for (char c : sampleName) {
        if (stem.size() == 5) {
            break;
        }
        if (c >= 'a' && c <= 'z') {
            stem += static_cast<char>(c - 'a' + 'A');
        } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            stem += c;
        }
    }
    if (stem.empty()) {
        stem = "WAVE";
    }
    stem.resize(5, '_');
    const std::string base = stem + keyCode(rootKey);
    if (!taken.contains(base)) {
        return base;
    }
    for (char suffix = 'A'; suffix <= 'Z'; ++suffix) {
        std::string name = base + suffix;
        if (!taken.contains(name)) {
            return name;
        }
    }
    return {};
}

} // namespace telmira::mkbank
