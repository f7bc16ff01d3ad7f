#pragma once
// Numbers typed by the user, converted as the old program did: blanks around
// are allowed, a fraction rounds to the nearest whole number (a half to the
// even neighbour), and numbers are shown as plain decimal text.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.h"

namespace tabrovin {

// err::kTypeMismatch when `text` is not a decimal number (empty included),
// err::kOverflow when it is outside -32768..32767.
Result<int16_t> toInt16(std::string_view text);
// As toInt16 for -2147483648..2147483647.
Result<int32_t> toInt32(std::string_view text);

inline std::string decimal(long long n) {
    return std::to_string(n);
}

}  // namespace tabrovin
