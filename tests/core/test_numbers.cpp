#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

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

TEST(Numbers, RoundFractionTakesDecimalsAndRoundsHalvesToEven) {
    const std::pair<const char*, int> cases[] = {
        {"1", 1},     {" -3 ", -3}, {"\t7\t", 7}, {"2.5", 2}, {"3.5", 4},
        {"-2.5", -2}, {"2.51", 3},  {"1e2", 100}, {".5", 0},  {"+500", 500}};
    for (auto [text, value] : cases) {
        auto got = round(text);
        EXPECT_EQ(got.ok() ? *got : -99, value) << text;
    }
    EXPECT_EQ(*toInt32("-2147483648"), INT32_MIN);
    EXPECT_EQ(*toInt16("32767.4"), 32767);
}

TEST(Numbers, WholeOnlyTakesDigitsWithBlanksAndAPlus) {
    EXPECT_EQ(*whole(" +5 "), 5);
    EXPECT_EQ(*whole("0012"), 12);
    for (const char* bad : {"2.5", "1e2", "-1", "+", "+-1", "5 5", "0x10", ""})
        EXPECT_TRUE(tt::failsWith(whole(bad), err::kTypeMismatch)) << bad;
    EXPECT_TRUE(tt::failsWith(whole("99999999999999999999999"), err::kOverflow));
}

TEST(Numbers, NonNumbersAndOverflowAreErrors) {
    for (const char* bad : {"", " ", "abc", "1a", "--1", ".", "1e", "１", "1,5", "nan", "inf"})
        EXPECT_TRUE(tt::failsWith(round(bad), err::kTypeMismatch, bad)) << bad;
    EXPECT_EQ(toInt16("32768").error().number, err::kOverflow);
    EXPECT_EQ(toInt16("32767.5").error().number, err::kOverflow);  // rounds to 32768
    EXPECT_EQ(toInt32("2147483648").error().number, err::kOverflow);
    EXPECT_FALSE(round("1e400").ok());
    EXPECT_EQ(whole("0", 1, 10).error().number, err::kOverflow);
    EXPECT_EQ(*whole("10", 1, 10), 10);
}

// A locale whose decimal mark is a comma must not change how typed numbers read.
TEST(Numbers, ParsingIgnoresTheLocale) {
    tt::TempDir localeDir;
    const char* name = "de_DE.UTF-8";
    if (!std::setlocale(LC_ALL, name)) {
        // Not installed: build it into a private folder instead of the system's.
        auto r = tt::run("localedef -i de_DE -f UTF-8 " +
                         tt::shellQuote((localeDir.path() / name).string()));
        setenv("LOCPATH", localeDir.path().c_str(), 1);
        if (!std::setlocale(LC_ALL, name)) {
            unsetenv("LOCPATH");
            GTEST_SKIP() << "no comma-decimal locale: de_DE.UTF-8 is neither installed nor "
                            "buildable with localedef ("
                         << r.output << ")";
        }
    }
    const bool comma = std::strcmp(std::localeconv()->decimal_point, ",") == 0;
    auto dot = round("1.5"), withComma = round("1,5"), exp = round("2.5e1");
    auto w = whole("1.000");
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    ASSERT_TRUE(comma) << "the locale in use has no comma decimal mark";
    ASSERT_TRUE(dot.ok());
    EXPECT_EQ(*dot, 2);
    EXPECT_FALSE(withComma.ok());
    EXPECT_EQ(*exp, 25);
    EXPECT_FALSE(w.ok());  // no thousands separator either
}
