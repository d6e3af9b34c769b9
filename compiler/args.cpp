#include "compiler/args.h"

#include "compiler/song.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>

namespace telmira::compiler {

namespace {

constexpr std::int64_t kLargest = 2147483647;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<std::int64_t> digits(std::string_view token) {
    if (token.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (const char c : token) {
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > kLargest)
            return std::nullopt;
    }
    return value;
}

// The longest prefix of `token` that reads as a decimal floating-point number: sign, digits,
// point, digits, exponent. Empty when the token does not begin with a number.
std::string_view numberPrefix(std::string_view token) {
    std::size_t i = 0;
    if (i < token.size() && (token[i] == '+' || token[i] == '-'))
        ++i;
    std::size_t mantissaDigits = 0;
    while (i < token.size() && isDigit(token[i])) {
        ++i;
        ++mantissaDigits;
    }
    if (i < token.size() && token[i] == '.') {
        ++i;
        while (i < token.size() && isDigit(token[i])) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return {};
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < token.size() && (token[j] == '+' || token[j] == '-'))
            ++j;
        if (j < token.size() && isDigit(token[j])) {
            while (j < token.size() && isDigit(token[j]))
                ++j;
            i = j;
        }
    }
    return token.substr(0, i);
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::optional<std::string_view> ArgReader::take() {
    std::size_t start = 0;
    while (start < rest_.size() && isSeparator(rest_[start]))
        ++start;
    if (start == rest_.size()) {
        rest_ = {};
        return std::nullopt;
    }
    std::size_t end = start;
    while (end < rest_.size() && !isSeparator(rest_[end]))
        ++end;
    const std::string_view token = rest_.substr(start, end - start);
    rest_.remove_prefix(end);
    return token;
}

bool ArgReader::hasMore() const {
    for (const char c : rest_)
        if (!isSeparator(c))
            return true;
    return false;
}

std::optional<std::string> ArgReader::word() {
    const auto token = take();
    if (!token)
        return std::nullopt;
    return std::string(*token);
}

std::optional<std::int32_t> ArgReader::unsignedValue() {
    const auto token = take();
    if (!token)
        return std::nullopt;
    const auto value = digits(*token);
    if (!value)
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::optional<std::int32_t> ArgReader::signedValue() {
    auto token = take();
    if (!token)
        return std::nullopt;
    bool negative = false;
    if (token->starts_with('-')) {
        negative = true;
        token->remove_prefix(1);
    }
    const auto value = digits(*token);
    if (!value)
        return std::nullopt;
    return static_cast<std::int32_t>(negative ? -*value : *value);
}

std::optional<std::int32_t> ArgReader::unsignedOrAny() {
    const auto token = take();
    if (!token)
        return std::nullopt;
    if (*token == "*")
        return kAny;
    const auto value = digits(*token);
    if (!value)
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::optional<float> ArgReader::floatValue() {
    const auto token = take();
    if (!token)
        return std::nullopt;
    const std::string prefix(numberPrefix(*token));
    if (prefix.empty())
        return 0.0f;
    // The program never switches from the "C" locale, so the decimal point is always '.'.
    const double value = std::strtod(prefix.c_str(), nullptr);
    if (!std::isfinite(value) || std::fabs(value) > FLT_MAX)
        return std::nullopt;
    return static_cast<float>(value);
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

} // namespace telmira::compiler
