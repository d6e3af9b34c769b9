#include "base/displaycodec.h"

#include <gtest/gtest.h>

using namespace telmira::display;
using Bytes = std::vector<std::uint8_t>;

TEST(DisplayCodec, PhoneBookEncoding) {
    struct Case {
        const char* text;
        Bytes encoded;
    };
    const Case cases[] = {
        {"М", {2, 0x33, 0x27}},
        {"1.", {1, 0x06}},                      // one code: no decimal point yet
        {"12.", {2, 0x06, 0xDB}},               // 0x5B with the point
        {"Ёж 4!", {4, 0x79, 0x1E, 0x00, 0x66}}, // "!" has no display form
        {"Щ®h", {4, 0x3C, 0x9E, 0x5C, 0x74}},
        {"", {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(encodeDisplayText(c.text), c.encoded);
    }
    // The count is one byte: codes beyond 255 are dropped.
    const Bytes many = encodeDisplayText(std::string(300, 'A'));
    ASSERT_EQ(many.size(), 256u);
    EXPECT_EQ(many[0], 255);
}

TEST(DisplayCodec, DecodingAndTidying) {
    struct Case {
        Bytes codes;
        const char* text;
    };
    const Case cases[] = {
        {{0x7F, 0x06, 0x72, 0x77}, "Вика"}, // 1 after a letter is И
        {{0x06, 0x7F, 0x77}, "1ва"},        // the first character stays
        {{0x07, 0x31, 0x07}, "Т7"},         // a pair first, then the single code alone
        {{0x06, 0xDB}, "12."},              // 0xDB: 0x5B with the decimal point
        {{0x77, 0x01, 0x77}, "А а"},        // an unknown code reads as a blank
        {{0x77, 0x6D, 0x77}, "Аsа"},        // 5 inside a word is an S
        {{0x77, 0x6D, 0x6D}, "А55"},        // a number at the end stays a number
        {{0x17, 0x4F, 0x17}, "Лэл"},        // З between consonants
        {{0x40, 0x4F}, "-3"},               // after a dash the look-alikes are digits
        {{0x40, 0x66}, "-4"},
        {{0x40, 0x7F}, "-8"},
        {{0x40, 0x3F}, "-0"},
        {{0x4F, 0x3F, 0x06}, "Зо1"},        // a number at the end stays
        {{0x77, 0x80, 0x77, 0x77}, "А.Аа"}, // sentence case after the first full stop
        {{0x00, 0x00}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(decodeDisplayText(c.codes), c.text);
    }
}

TEST(DisplayCodec, SplashItemsAndChaining) {
    const SplashText split = splitSplashText("&AB#C.&");
    EXPECT_TRUE(split.leadIn);
    EXPECT_TRUE(split.invalid.empty());
    EXPECT_EQ(split.items, (std::vector<int>{0x77, 0x7F, kSeparator, 0x39 | 0x80}));
    EXPECT_EQ(chainSplashCodes(split.items, 0x5D),
              (Bytes{0x77 ^ 0x5D, 0x7F ^ 0x77, 0xDB, 0x01, 0xB9 ^ 0x7F}));

    // A stored 0xDB is escaped; a separator leaves the chaining value as it was.
    EXPECT_EQ(chainSplashCodes({0xDB ^ 0x5D}, 0x5D), (Bytes{0xDB, 0x7F}));
    EXPECT_EQ(chainSplashCodes({0x77, kSeparator, 0x77}, 0x5D),
              (Bytes{0x77 ^ 0x5D, 0xDB, 0x01, 0x00}));

    const SplashText bad = splitSplashText("ok!?");
    EXPECT_EQ(bad.invalid, "!");
    EXPECT_FALSE(splitSplashText("x&").leadIn);
    // A point with no code before it changes nothing.
    EXPECT_EQ(splitSplashText(".#").items, std::vector<int>{kSeparator});
}
