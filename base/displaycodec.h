#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The phone display's character set: one or two 7-segment codes per character (bit 0 = segment
// a ... bit 6 = segment g, bit 7 = the decimal point). Characters are matched by their byte in
// Windows-1251; text in and out is UTF-8. The ROM export stores splash texts with it and the
// phone book transfer sends and reads names with it, so this module depends on nothing but the
// code page.
namespace telmira::display {

struct Glyph {
    std::uint8_t codes[2] = {0, 0};
    unsigned count = 0; // 1 or 2
};

// The display form of one character (UTF-8, one code point); no value when it has none.
std::optional<Glyph> glyphFor(std::string_view character);

// The characters of a UTF-8 text, one string each; malformed bytes stand alone.
std::vector<std::string> splitCharacters(std::string_view utf8);

// Phone book form: a count byte followed by the codes. Characters without a display form are
// dropped; "." sets the decimal point of the last code once at least two codes are there. At
// most 255 codes are taken (the count is one byte).
std::vector<std::uint8_t> encodeDisplayText(std::string_view utf8);

// Codes read from the phone back to text, tidied the way names are shown: digits standing in
// for letters become letters, and the text is put in sentence case.
std::string decodeDisplayText(std::span<const std::uint8_t> codes);

// ---- Splash text --------------------------------------------------------------------------

// A splash text as display items: a code, or a separator ("#").
inline constexpr int kSeparator = -1;

struct SplashText {
    bool leadIn = false;    // the text started with "&"
    std::vector<int> items; // display codes 0..255, or kSeparator
    std::string invalid;    // the first character without a display form, when there is one
};

// Splits a splash text: table characters give their codes, "#" a separator, "." sets the
// decimal point of the last code, "&" first only marks the lead-in (elsewhere it is ignored).
SplashText splitSplashText(std::string_view utf8);

// The stored form of the items: each code XOR-ed with the code before it (the seed before the
// first), a stored 0xDB followed by 0x7F, a separator as 0xDB 0x01 (the chaining value stays).
std::vector<std::uint8_t> chainSplashCodes(const std::vector<int>& items, std::uint8_t seed);

} // namespace telmira::display
