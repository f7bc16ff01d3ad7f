#include <gtest/gtest.h>

#include "core/numbers.h"

using namespace tabrovin;

TEST(Numbers, TypedTextConvertsLikeTheOldProgram) {
    EXPECT_EQ(*toInt16("1"), 1);
    EXPECT_EQ(*toInt16(" -3 "), -3);
    EXPECT_EQ(*toInt16("2.5"), 2);  // a half goes to the even neighbour
    EXPECT_EQ(*toInt16("3.5"), 4);
    EXPECT_EQ(*toInt16("1e2"), 100);
    EXPECT_EQ(*toInt32("+500"), 500);
    EXPECT_EQ(*toInt32("-2147483648"), INT32_MIN);
}

TEST(Numbers, NonNumbersAndOverflowAreErrors) {
    for (const char* bad : {"", " ", "abc", "1a", "--1", ".", "1e", "１"}) {
        auto r = toInt16(bad);
        ASSERT_FALSE(r.ok()) << bad;
        EXPECT_EQ(r.error().number, err::kTypeMismatch) << bad;
    }
    EXPECT_EQ(toInt16("32768").error().number, err::kOverflow);
    EXPECT_EQ(toInt32("2147483648").error().number, err::kOverflow);
    EXPECT_TRUE(toInt16("32767.4").ok());
}
