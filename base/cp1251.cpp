#include "base/cp1251.h"

#include <array>
#include <cstdint>

namespace telmira {
namespace {

// Code points of bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char32_t decodeByte(unsigned char b) {
    if (b < 0x80)
        return b;
    if (b >= 0xC0)
        return 0x0410 + (b - 0xC0);
    return kHigh[b - 0x80];
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

int encodeCodePoint(char32_t cp) {
    if (cp < 0x80)
        return static_cast<int>(cp);
    if (cp >= 0x0410 && cp <= 0x044F)
        return static_cast<int>(0xC0 + (cp - 0x0410));
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == cp && cp != 0xFFFD)
            return static_cast<int>(0x80 + i);
    return -1;
}

// Reads one UTF-8 sequence at `i`; returns U+FFFD (and consumes one byte) for malformed input.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int len = b0 < 0x80 ? 1 : (b0 >> 5) == 6 ? 2 : (b0 >> 4) == 14 ? 3 : (b0 >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t cp = len == 1 ? b0 : b0 & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    i += len;
    return cp;
}

} // namespace

std::string cp1251ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes)
        appendUtf8(out, decodeByte(static_cast<unsigned char>(c)));
    return out;
}

std::string utf8ToCp1251(std::string_view utf8, bool* lossless) {
    std::string out;
    out.reserve(utf8.size());
    bool ok = true;
    for (std::size_t i = 0; i < utf8.size();) {
        const int b = encodeCodePoint(nextCodePoint(utf8, i));
        if (b < 0)
            ok = false;
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    if (lossless)
        *lossless = ok;
    return out;
}

bool canEncodeCp1251(std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size();)
        if (encodeCodePoint(nextCodePoint(utf8, i)) < 0)
            return false;
    return true;
}

} // namespace telmira
