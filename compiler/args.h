#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace telmira::compiler {

// The arguments of one script line, read in their fixed order. Tokens are separated by spaces,
// tabs, CR and LF; there is no quoting. Every reader returns nothing when the next token is
// missing or has the wrong form, which the command reports as a script error.
class ArgReader {
public:
    explicit ArgReader(std::string_view text) : rest_(text) {}

    // The next token, any text.
    std::optional<std::string> word();
    // Decimal digits only, 0 .. 2147483647.
    std::optional<std::int32_t> unsignedValue();
    // An optional '-' and decimal digits, -2147483647 .. 2147483647.
    std::optional<std::int32_t> signedValue();
    // An unsigned value, or exactly "*" for any (kAny).
    std::optional<std::int32_t> unsignedOrAny();
    // A decimal floating-point number read from the start of the token; a token that does not
    // begin with a number gives 0. Only a value beyond the range of a 32-bit float is refused.
    std::optional<float> floatValue();
    // Whether another token follows (without taking it).
    bool hasMore() const;
    // True when nothing but white space is left on the line.
    bool finished() const { return !hasMore(); }

    static bool isSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

private:
    std::optional<std::string_view> take();
    std::string_view rest_;
};

// Case-insensitive comparison of names and keywords (ASCII letters).
bool sameName(std::string_view a, std::string_view b);

} // namespace telmira::compiler
