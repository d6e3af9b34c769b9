#include "tools/mkbank/names.h"

#include <gtest/gtest.h>

namespace telmira::mkbank {
namespace {

TEST(WaveNames, KeyCodesStayTwoCharacters) {
    const std::pair<int, const char*> cases[] = {{0, "00"},   {7, "07"},   {36, "36"}, {99, "99"},
                                                 {100, "A0"}, {103, "A3"}, {127, "C7"}};
    for (auto [key, code] : cases) {
        EXPECT_EQ(keyCode(key), code) << key;
    }
}

TEST(WaveNames, StemFromSampleNameThenRootKey) {
    const std::set<std::string> none;
    struct Case {
        const char* sample;
        int root;
        const char* name;
    };
    const Case cases[] = {
        {"Piano D1", 36, "PIANO36"},      // blank dropped, cut to five
        {"Tom", 60, "TOM__60"},           // padded with '_'
        {"ensstrings g2", 43, "ENSST43"}, // lower case raised
        {"A#-b c", 104, "ABC__A4"},       // punctuation dropped, key over 99
        {"  --  ", 60, "WAVE_60"},        // nothing usable
    };
    for (const Case& c : cases) {
        EXPECT_EQ(makeWaveName(c.sample, c.root, none), c.name) << c.sample;
    }
}

TEST(WaveNames, TakenNamesGetASuffixLetterUntilNoneIsLeft) {
    std::set<std::string> taken = {"PIANO36"};
    EXPECT_EQ(makeWaveName("Piano", 36, taken), "PIANO36A");
    taken.insert("PIANO36A");
    EXPECT_EQ(makeWaveName("Piano", 36, taken), "PIANO36B");
    for (char c = 'B'; c <= 'Z'; ++c) {
        taken.insert(std::string("PIANO36") + c);
    }
    EXPECT_EQ(makeWaveName("Piano", 36, taken), "");
    EXPECT_EQ(makeWaveName("Piano", 37, taken), "PIANO37");
}

} // namespace
} // namespace telmira::mkbank
