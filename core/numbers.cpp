#include "core/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace tabrovin {
namespace {

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A sign, digits with an optional fraction (at least one digit), and an
// optional exponent; the whole text must be used.
bool parseDecimal(std::string_view s, double& out) {
    size_t i = !s.empty() && (s[0] == '+' || s[0] == '-') ? 1 : 0, digits = 0;
    for (; i < s.size() && isDigit(s[i]); ++i) ++digits;
    if (i < s.size() && s[i] == '.')
        for (++i; i < s.size() && isDigit(s[i]); ++i) ++digits;
    if (digits == 0) return false;
    if (s[0] == '+') s.remove_prefix(1);  // from_chars takes no '+'
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size() && std::isfinite(out);
}

// Digits with an optional '+', read exactly over the whole int64 range;
// nullopt when it is no such text, `tooBig` set when it is beyond the range.
std::optional<int64_t> parseWhole(std::string_view s, bool& tooBig) {
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    for (char c : s)
        if (!isDigit(c)) return std::nullopt;
    int64_t n = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    tooBig = ec == std::errc::result_out_of_range;
    return n;
}

// 2^63: the first double past the int64 range, where the conversion to an
// integer would be undefined.
constexpr double kPastInt64 = 9223372036854775808.0;

}  // namespace

Result<int64_t> parseTypedNumber(std::string_view text, NumberRule rule, int64_t min, int64_t max) {
    std::string_view s = trimBlanks(text);
    int64_t n = 0;
    if (rule == NumberRule::WholeOnly) {
        bool tooBig = false;
        auto whole = parseWhole(s, tooBig);
        if (!whole) return Error::notANumber(std::string(text));
        if (tooBig) return Error::outOfRange(std::string(text));
        n = *whole;
    } else {
        double v = 0;
        if (!parseDecimal(s, v)) return Error::notANumber(std::string(text));
        double r = std::nearbyint(v);  // the default rounding mode: half to even
        if (!(r >= -kPastInt64 && r < kPastInt64)) return Error::outOfRange(std::string(text));
        n = static_cast<int64_t>(r);
    }
    if (n < min || n > max) return Error::outOfRange(std::string(text));
    return n;
}

Result<int16_t> toInt16(std::string_view text) {
    auto n = parseTypedNumber(text, NumberRule::RoundFraction, INT16_MIN, INT16_MAX);
    if (!n) return n.error();
    return static_cast<int16_t>(*n);
}

Result<int32_t> toInt32(std::string_view text) {
    auto n = parseTypedNumber(text, NumberRule::RoundFraction, INT32_MIN, INT32_MAX);
    if (!n) return n.error();
    return static_cast<int32_t>(*n);
}

}  // namespace tabrovin
