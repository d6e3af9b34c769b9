#include "base/displaycodec.h"

#include "base/cp1251.h"

#include <algorithm>
#include <array>

namespace telmira::display {

namespace {

struct Row {
    std::uint8_t first;
    int second;             // -1: one code
    const char* characters; // blank-separated; "blank" stands for the space
};

// The display character table.
constexpr Row kTable[] = {
    {0x77, -1, "А а A a"},     {0x7D, -1, "Б б 6"},       {0x7F, -1, "В в 8 B"},
    {0x31, -1, "Г R"},         {0x50, -1, "г r"},         {0x5E, -1, "Д д D d"},
    {0x79, -1, "Е е Ё ё E e"}, {0x1E, -1, "Ж ж Й й J j"}, {0x4F, -1, "З з Э э 3"},
    {0x06, -1, "И и 1 I"},     {0x72, -1, "К к K k"},     {0x17, -1, "Л л"},
    {0x33, 0x27, "М м M m"},   {0x76, -1, "Н н H"},       {0x3F, -1, "О 0 O"},
    {0x5C, -1, "о o ®"},       {0x37, -1, "П N"},         {0x54, -1, "п n"},
    {0x73, -1, "Р р P p"},     {0x39, -1, "С C ( ["},     {0x58, -1, "с c"},
    {0x07, 0x31, "Т т T"},     {0x6E, -1, "У у Y y"},     {0x67, 0x73, "Ф ф"},
    {0x0F, 0x39, "Х х X x"},   {0xBE, -1, "Ц"},           {0x9C, -1, "ц"},
    {0x66, -1, "Ч ч 4"},       {0x3C, 0x1E, "Ш ш W w"},   {0x3C, 0x9E, "Щ щ"},
    {0x7C, -1, "Ъ ъ Ь ь b"},   {0x7C, 0x30, "Ы ы"},       {0x3E, -1, "Ю ю U V"},
    {0x67, -1, "Я я Q q"},     {0x00, -1, "blank"},       {0x5B, -1, "2 Z z"},
    {0x6D, -1, "5 S s"},       {0x07, -1, "7"},           {0x6F, -1, "9"},
    {0x71, -1, "F f"},         {0x3D, -1, "G g"},         {0x74, -1, "h"},
    {0x10, -1, "i"},           {0x38, -1, "L"},           {0x18, -1, "l"},
    {0x78, -1, "t"},           {0x1C, -1, "u v"},         {0x40, -1, "-"},
    {0x0F, -1, "] )"},         {0x08, -1, "_"},
};

// Codes back to text, searched in this order.
constexpr Row kReverse[] = {
    {0x77, -1, "А"},   {0x7D, -1, "Б"},   {0x7F, -1, "В"},   {0x31, -1, "Г"}, {0x50, -1, "г"},
    {0x5E, -1, "Д"},   {0x79, -1, "Е"},   {0x1E, -1, "Ж"},   {0x4F, -1, "З"}, {0x1E, -1, "Й"},
    {0x72, -1, "К"},   {0x17, -1, "Л"},   {0x33, 0x27, "М"}, {0x76, -1, "Н"}, {0x3F, -1, "О"},
    {0x5C, -1, "о"},   {0x37, -1, "П"},   {0x54, -1, "п"},   {0x73, -1, "Р"}, {0x39, -1, "С"},
    {0x58, -1, "с"},   {0x07, 0x31, "Т"}, {0x6E, -1, "У"},   {0x67, -1, "Я"}, {0x67, 0x73, "Ф"},
    {0x0F, 0x39, "Х"}, {0xBE, -1, "Ц"},   {0x9C, -1, "ц"},   {0x66, -1, "Ч"}, {0x3C, 0x1E, "Ш"},
    {0x3C, 0x9E, "Щ"}, {0x7C, -1, "Ь"},   {0x7C, 0x30, "Ы"}, {0x4F, -1, "Э"}, {0x4F, -1, "э"},
    {0x3E, -1, "Ю"},   {0x00, -1, " "},   {0x3F, -1, "0"},   {0x06, -1, "1"}, {0x5B, -1, "2"},
    {0x66, -1, "4"},   {0x6D, -1, "5"},   {0x7D, -1, "6"},   {0x07, -1, "7"}, {0x7F, -1, "8"},
    {0x6F, -1, "9"},   {0x39, -1, "C"},   {0x58, -1, "c"},   {0x5E, -1, "D"}, {0x5E, -1, "d"},
    {0x71, -1, "F"},   {0x3D, -1, "G"},   {0x74, -1, "h"},   {0x10, -1, "i"}, {0x38, -1, "L"},
    {0x18, -1, "l"},   {0x37, -1, "N"},   {0x67, -1, "Q"},   {0x31, -1, "R"}, {0x6D, -1, "S"},
    {0x6D, -1, "s"},   {0x78, -1, "t"},   {0x1C, -1, "u"},   {0x6E, -1, "Y"}, {0x40, -1, "-"},
    {0x39, -1, "("},   {0x0F, -1, ")"},   {0x08, -1, "_"},   {0x80, -1, "."},
};

// The Windows-1251 byte of one character; no value when the code page lacks it.
std::optional<std::uint8_t> byteOf(std::string_view character) {
    bool lossless = false;
    const std::string bytes = utf8ToCp1251(character, &lossless);
    if (!lossless || bytes.size() != 1)
        return std::nullopt;
    return static_cast<std::uint8_t>(bytes[0]);
}

struct GlyphTable {
    std::array<std::optional<Glyph>, 256> byByte{};
    GlyphTable() {
        for (const Row& row : kTable) {
            Glyph glyph;
            glyph.codes[0] = row.first;
            glyph.count = 1;
            if (row.second >= 0) {
                glyph.codes[1] = static_cast<std::uint8_t>(row.second);
                glyph.count = 2;
            }
            const std::string_view characters(row.characters);
            if (characters == "blank") {
                byByte[' '] = glyph;
                continue;
            }
            std::size_t at = 0;
            while (at < characters.size()) {
                const std::size_t end = std::min(characters.find(' ', at), characters.size());
                if (const auto b = byteOf(characters.substr(at, end - at)))
                    byByte[*b] = glyph;
                at = end + 1;
            }
        }
    }
};

const GlyphTable& glyphTable() {
    static const GlyphTable table;
    return table;
}

// ---- Tidying of decoded text, on Windows-1251 bytes ----------------------------------------

bool isLatin(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

unsigned char lower(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDF)
        return static_cast<unsigned char>(c + 32);
    if (c == 0xA8) // Ё
        return 0xB8;
    return c;
}

unsigned char upper(unsigned char c) {
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0)
        return static_cast<unsigned char>(c - 32);
    if (c == 0xB8) // ё
        return 0xA8;
    return c;
}

constexpr unsigned char kCyrO = 0xCE, kCyrI = 0xC8, kCyrV = 0xC2, kCyrCh = 0xD7, kCyrZe = 0xC7,
                        kCyrE = 0xDD;

bool isVowel(unsigned char c) {
    // ё а е и о у э
    static constexpr unsigned char kVowels[] = {0xB8, 0xE0, 0xE5, 0xE8, 0xEE, 0xF3, 0xFD};
    const unsigned char l = lower(c);
    return std::find(std::begin(kVowels), std::end(kVowels), l) != std::end(kVowels);
}

bool isInteger(std::string_view text) {
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    if (at == text.size())
        return false;
    for (; at < text.size(); ++at)
        if (text[at] < '0' || text[at] > '9')
            return false;
    return true;
}

std::string tidy(std::string text) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blank(text.front()))
        text.erase(text.begin());
    while (!text.empty() && blank(text.back()))
        text.pop_back();
    if (text.empty())
        return text;
    const std::size_t n = text.size();
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const auto neighboursAreConsonants = [&](std::size_t i) {
        return !(i > 0 && isVowel(at(i - 1))) && !(i + 1 < n && isVowel(at(i + 1)));
    };
    // Digits inside words stand for letters; a number at the end of the text stays a number.
    for (std::size_t i = 1; i < n; ++i) {
        const char c = text[i];
        if (std::string_view("013458").find(c) == std::string_view::npos || text[i - 1] == '-' ||
            isInteger(std::string_view(text).substr(i)))
            continue;
        const bool latin = isLatin(at(i - 1));
        switch (c) {
        case '0':
            text[i] = static_cast<char>(latin ? 'O' : kCyrO);
            break;
        case '1':
            text[i] = static_cast<char>(latin ? 'I' : kCyrI);
            break;
        case '8':
            text[i] = static_cast<char>(latin ? 'B' : kCyrV);
            break;
        case '4':
            text[i] = static_cast<char>(kCyrCh);
            break;
        case '5':
            text[i] = 'S';
            break;
        case '3':
            text[i] = static_cast<char>(i + 1 < n && neighboursAreConsonants(i) ? kCyrZe : kCyrE);
            break;
        default:
            break;
        }
    }
    for (std::size_t i = 1; i + 1 < n; ++i)
        if (at(i) == kCyrZe && neighboursAreConsonants(i))
            text[i] = static_cast<char>(kCyrE);
    if (n >= 2 && text[n - 2] == '-') {
        // The letters in both alphabets: the reverse table gives the Cyrillic В and О.
        static constexpr std::pair<unsigned char, char> kBack[] = {
            {'B', '8'},   {kCyrV, '8'}, {'I', '1'},    {kCyrI, '1'}, {'O', '0'},
            {kCyrO, '0'}, {'S', '5'},   {kCyrZe, '3'}, {kCyrCh, '4'}};
        for (const auto& [letter, digit] : kBack)
            if (at(n - 1) == letter)
                text[n - 1] = digit;
    }
    for (char& c : text)
        c = static_cast<char>(lower(static_cast<unsigned char>(c)));
    text[0] = static_cast<char>(upper(at(0)));
    if (const std::size_t dot = text.find('.'); dot != std::string::npos && dot + 1 < n)
        text[dot + 1] = static_cast<char>(upper(at(dot + 1)));
    return text;
}

std::optional<std::string> reverseLookup(std::uint8_t code, std::optional<std::uint8_t> next,
                                         bool& pair) {
    pair = false;
    if (next)
        for (const Row& row : kReverse)
            if (row.second >= 0 && row.first == code && row.second == *next) {
                pair = true;
                return std::string(row.characters);
            }
    // A single code is matched against the one-code entries only, so that 0x07 reads as the
    // digit 7 and not as the first half of "Т".
    for (const Row& row : kReverse)
        if (row.second < 0 && row.first == code)
            return std::string(row.characters);
    for (const Row& row : kReverse)
        if (row.second < 0 && row.first == (code & 0x7F))
            return std::string(row.characters) + ".";
    return std::nullopt;
}

} // namespace

std::vector<std::string> splitCharacters(std::string_view utf8) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 1;
        if (lead >= 0xC0 && lead < 0xE0)
            length = 2;
        else if (lead >= 0xE0 && lead < 0xF0)
            length = 3;
        else if (lead >= 0xF0 && lead < 0xF8)
            length = 4;
        std::size_t j = i + 1;
        while (j < utf8.size() && j < i + length &&
               (static_cast<unsigned char>(utf8[j]) & 0xC0) == 0x80)
            ++j;
        out.emplace_back(utf8.substr(i, j - i));
        i = j;
    }
    return out;
}

std::optional<Glyph> glyphFor(std::string_view character) {
    const auto b = byteOf(character);
    if (!b)
        return std::nullopt;
    return glyphTable().byByte[*b];
}

std::vector<std::uint8_t> encodeDisplayText(std::string_view utf8) {
    std::vector<std::uint8_t> out = {0};
    for (const std::string& c : splitCharacters(utf8)) {
        if (const auto glyph = glyphFor(c)) {
            for (unsigned k = 0; k < glyph->count && out.size() <= 255; ++k)
                out.push_back(glyph->codes[k]);
        } else if (c == "." && out.size() - 1 >= 2) {
            out.back() |= 0x80;
        }
    }
    out[0] = static_cast<std::uint8_t>(out.size() - 1);
    return out;
}

std::string decodeDisplayText(std::span<const std::uint8_t> codes) {
    std::string text; // UTF-8 while collecting
    for (std::size_t i = 0; i < codes.size();) {
        bool pair = false;
        const std::optional<std::uint8_t> next =
            i + 1 < codes.size() ? std::optional<std::uint8_t>(codes[i + 1]) : std::nullopt;
        const auto found = reverseLookup(codes[i], next, pair);
        text += found.value_or(" ");
        i += pair ? 2 : 1;
    }
    return cp1251ToUtf8(tidy(utf8ToCp1251(text)));
}

SplashText splitSplashText(std::string_view utf8) {
    SplashText out;
    bool first = true;
    for (const std::string& c : splitCharacters(utf8)) {
        if (const auto glyph = glyphFor(c)) {
            for (unsigned k = 0; k < glyph->count; ++k)
                out.items.push_back(glyph->codes[k]);
        } else if (c == "#") {
            out.items.push_back(kSeparator);
        } else if (c == ".") {
            const auto last = std::find_if(out.items.rbegin(), out.items.rend(),
                                           [](int item) { return item != kSeparator; });
            if (last != out.items.rend())
                *last |= 0x80;
        } else if (c == "&") {
            if (first)
                out.leadIn = true;
        } else if (out.invalid.empty()) {
            out.invalid = c;
        }
        first = false;
    }
    return out;
}

std::vector<std::uint8_t> chainSplashCodes(const std::vector<int>& items, std::uint8_t seed) {
    std::vector<std::uint8_t> out;
    std::uint8_t previous = seed;
    for (const int item : items) {
        if (item == kSeparator) {
            out.push_back(0xDB);
            out.push_back(0x01);
            continue;
        }
        const auto code = static_cast<std::uint8_t>(item);
        const auto stored = static_cast<std::uint8_t>(code ^ previous);
        out.push_back(stored);
        if (stored == 0xDB)
            out.push_back(0x7F);
        previous = code;
    }
    return out;
}

} // namespace telmira::display
