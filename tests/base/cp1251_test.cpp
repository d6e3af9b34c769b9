#include "base/cp1251.h"

#include <gtest/gtest.h>

using telmira::cp1251ToUtf8;
using telmira::utf8ToCp1251;

TEST(Cp1251, DecodesCyrillicAndSpecials) {
    EXPECT_EQ(cp1251ToUtf8("\xD0\xEE\xF1\xF1\xE8\xFF (7)"), "Россия (7)");
    EXPECT_EQ(cp1251ToUtf8("\xA8\xB8\xB9\x88"), "Ёё№€");
    EXPECT_EQ(cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
}

TEST(Cp1251, EveryAssignedByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98)
            continue;
        const std::string one(1, static_cast<char>(b));
        bool lossless = false;
        EXPECT_EQ(utf8ToCp1251(cp1251ToUtf8(one), &lossless), one) << "byte " << b;
        EXPECT_TRUE(lossless);
    }
}

TEST(Cp1251, UnrepresentableAndMalformedBecomeQuestionMarks) {
    bool lossless = true;
    EXPECT_EQ(utf8ToCp1251("a\xE4\xB8\xAD"
                           "b",
                           &lossless),
              "a?b"); // a CJK character
    EXPECT_FALSE(lossless);
    EXPECT_EQ(utf8ToCp1251("\xC3"), "?");   // cut sequence
    EXPECT_EQ(utf8ToCp1251("\x80x"), "?x"); // stray continuation byte
}

TEST(Cp1251, CanEncodeTellsWhatWouldBecomeAQuestionMark) {
    using telmira::canEncodeCp1251;
    struct Case {
        const char* utf8;
        bool encodable;
    };
    const Case cases[] = {
        {"", true},
        {"Россия (7) Ёё№€", true},
        {"a\xE4\xB8\xAD", false},    // a CJK character
        {"\xC3\xA9", false},         // é: Latin, but not in this code page
        {"\xF0\x9F\x98\x80", false}, // an emoji (four bytes)
        {"\xEF\xBF\xBD", false},     // U+FFFD has no byte of its own
        {"\xC3", false},             // cut sequence
        {"x\x80", false},            // stray continuation byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(canEncodeCp1251(c.utf8), c.encodable) << c.utf8;
        bool lossless = !c.encodable;
        utf8ToCp1251(c.utf8, &lossless);
        EXPECT_EQ(lossless, c.encodable) << c.utf8; // the check and the encoder agree
    }
}
