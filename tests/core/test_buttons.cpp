#include <gtest/gtest.h>

#include <string>

#include "core/buttons.h"

using namespace tabrovin;

namespace {
// "1" for an enabled button, "0" for a disabled one, cmd(0) first.
std::string shown(std::string_view list, int mode) {
    std::string out;
    for (bool on : buttonStates(list, mode)) out += on ? '1' : '0';
    return out;
}
}  // namespace

TEST(ButtonStates, ListAndModeDecideEveryButtonAndItemsCompareWhole) {
    EXPECT_EQ(shown(kImportButton, 0), "0000010");
    EXPECT_EQ(shown(kNoButton, 0), "0000000");
    EXPECT_EQ(shown(kNoButton, 1), "1111111");
    EXPECT_EQ(shown(kNoButtonAlt, 0), "0000000");
    EXPECT_EQ(shown("1,5", 1), "1011101");
    // Items compare whole.
    EXPECT_EQ(shown("15", 1), "1111111");  // one item 15: neither 1 nor 5
    EXPECT_EQ(shown("6,0", 0), "1000001");
    EXPECT_EQ(shown("", 0), "0000000");
    EXPECT_EQ(shown("1, 5", 0), "0100000");  // " 5" is no button
}
