#pragma once
// Numbers typed by the user. Every box and option goes through one parser;
// each names the rule it reads its text by, where it reads it.

#include <cstdint>
#include <string_view>

#include "base/error.h"

namespace tabrovin {

enum class NumberRule {
    // Blanks around are allowed, as are a sign, a fraction and an exponent;
    // a fraction rounds to the nearest whole number, a half to the even one.
    RoundFraction,
    // Blanks around and a leading '+' are allowed; otherwise digits only.
    WholeOnly,
};

// Error::notANumber when `text` does not follow `rule` (empty included),
// Error::outOfRange when its value lies outside min..max. Never depends on
// the locale.
Result<int64_t> parseTypedNumber(std::string_view text, NumberRule rule, int64_t min, int64_t max);

// RoundFraction within -32768..32767 and -2147483648..2147483647.
Result<int16_t> toInt16(std::string_view text);
Result<int32_t> toInt32(std::string_view text);

}  // namespace tabrovin
