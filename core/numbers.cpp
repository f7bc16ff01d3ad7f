#include "core/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
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

bool parseWhole(std::string_view s, double& out) {
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    for (char c : s)
        if (!isDigit(c)) return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    if (ec == std::errc::result_out_of_range) out = HUGE_VAL;
    return true;
}

}  // namespace

Result<int64_t> parseTypedNumber(std::string_view text, NumberRule rule, int64_t min, int64_t max) {
    std::string_view s = trimBlanks(text);
    double v = 0;
    bool ok = rule == NumberRule::WholeOnly ? parseWhole(s, v) : parseDecimal(s, v);
    if (!ok) return Error::notANumber(std::string(text));
    double r = std::nearbyint(v);  // the default rounding mode: half to even
    if (!(r >= static_cast<double>(min) && r <= static_cast<double>(max)))
        return Error::outOfRange(std::string(text));
    return static_cast<int64_t>(r);
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
