#include <gtest/gtest.h>

#include "core/numbers.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;

namespace {
Result<int64_t> round(std::string_view text, int64_t min = -1000000, int64_t max = 1000000) {
    return parseTypedNumber(text, NumberRule::RoundFraction, min, max);
}
Result<int64_t> whole(std::string_view text, int64_t min = -1000000, int64_t max = 1000000) {
    return parseTypedNumber(text, NumberRule::WholeOnly, min, max);
}
}  // namespace

// Round takes decimals and rounds halves to even; whole takes digits with
// blanks and a plus only.
TEST(Numbers, EachRuleReadsTheTextsItAllows) {
    const std::pair<const char*, int> cases[] = {
        {"1", 1},     {" -3 ", -3}, {"\t7\t", 7}, {"2.5", 2}, {"3.5", 4},
        {"-2.5", -2}, {"2.51", 3},  {"1e2", 100}, {".5", 0},  {"+500", 500}};
    for (auto [text, value] : cases) {
        auto got = round(text);
        EXPECT_EQ(got.ok() ? *got : -99, value) << text;
    }
    EXPECT_EQ(*toInt32("-2147483648"), INT32_MIN);
    EXPECT_EQ(*toInt16("32767.4"), 32767);
    EXPECT_EQ(*whole(" +5 "), 5);
    EXPECT_EQ(*whole("0012"), 12);
    EXPECT_EQ(*whole("10", 1, 10), 10);
}

TEST(Numbers, NonNumbersAndOverflowAreErrors) {
    for (const char* bad : {"", " ", "abc", "1a", "--1", ".", "1e", "１", "1,5", "nan", "inf"})
        EXPECT_TRUE(tt::failsWith(round(bad), err::kTypeMismatch, bad)) << bad;
    for (const char* bad : {"2.5", "1e2", "-1", "+", "+-1", "5 5", "0x10", ""})
        EXPECT_TRUE(tt::failsWith(whole(bad), err::kTypeMismatch)) << bad;
    EXPECT_TRUE(tt::failsWith(whole("99999999999999999999999"), err::kOverflow));
    EXPECT_TRUE(tt::failsWith(whole("0", 1, 10), err::kOverflow));
    EXPECT_TRUE(tt::failsWith(toInt16("32768"), err::kOverflow));
    EXPECT_TRUE(tt::failsWith(toInt16("32767.5"), err::kOverflow));  // rounds to 32768
    EXPECT_TRUE(tt::failsWith(toInt32("2147483648"), err::kOverflow));
    EXPECT_FALSE(round("1e400").ok());
}

// A locale whose decimal mark is a comma must not change how typed numbers read.
TEST(Numbers, ParsingIgnoresTheLocale) {
    tt::CommaLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no comma-decimal locale: " << locale.why();
    EXPECT_EQ(*round("1.5"), 2);
    EXPECT_EQ(*round("2.5e1"), 25);
    EXPECT_FALSE(round("1,5").ok());
    EXPECT_FALSE(whole("1.000").ok());  // no thousands separator either
}

// Whole numbers are read exactly over the whole int64 range: through a double
// 2^63 - 1 would become 2^63, and converting that back is undefined.
TEST(Numbers, WholeNumbersCoverTheInt64RangeExactly) {
    EXPECT_EQ(*whole("9223372036854775807", 0, INT64_MAX), INT64_MAX);
    EXPECT_EQ(*whole("9007199254740993", 0, INT64_MAX), 9007199254740993);  // 2^53 + 1
    EXPECT_TRUE(tt::failsWith(whole("9223372036854775808", 0, INT64_MAX), err::kOverflow));
    EXPECT_TRUE(tt::failsWith(whole("9223372036854775807", 0, INT64_MAX - 1), err::kOverflow));
    EXPECT_TRUE(tt::failsWith(
        parseTypedNumber("9223372036854775808", NumberRule::RoundFraction, INT64_MIN, INT64_MAX),
        err::kOverflow));
}
