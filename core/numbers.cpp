#include "core/numbers.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace tabrovin {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Parses an optionally signed decimal with an optional fraction and exponent.
bool parseDecimal(std::string_view text, double& out) {
    size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    std::string s(text.substr(b, e - b));
    if (s.empty()) return false;
    size_t i = 0;
    if (s[i] == '+' || s[i] == '-') ++i;
    bool digits = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, digits = true;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, digits = true;
    }
    if (!digits) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        size_t start = j;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
        if (j == start) return false;
        i = j;
    }
    if (i != s.size()) return false;
    out = std::strtod(s.c_str(), nullptr);
    return std::isfinite(out);
}

template <class T>
Result<T> toInteger(std::string_view text, const char* range) {
    double v = 0;
    if (!parseDecimal(text, v))
        return Error{err::kTypeMismatch, "\"" + std::string(text) + "\" 不是有效的数字"};
    double r = std::nearbyint(v);  // the default rounding mode: half to even
    if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max()))
        return Error{err::kOverflow,
                     "数字 " + std::string(text) + " 超出允许的范围 (" + range + ")"};
    return static_cast<T>(r);
}

}  // namespace

Result<int16_t> toInt16(std::string_view text) {
    return toInteger<int16_t>(text, "-32768 到 32767");
}

Result<int32_t> toInt32(std::string_view text) {
    return toInteger<int32_t>(text, "-2147483648 到 2147483647");
}

}  // namespace tabrovin
