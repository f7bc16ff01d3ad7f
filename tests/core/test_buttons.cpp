#include <gtest/gtest.h>

#include "core/buttons.h"
#include "core/memory_window.h"

using namespace tabrovin;

TEST(SetButtons, ListAndModeDecideEveryButton) {
    MemoryWindow w;
    EXPECT_EQ(w.buttonStates(), "1111101");  // start: only "2. 开始导入" disabled

    setButtons(w, "5", 0);
    EXPECT_EQ(w.buttonStates(), "0000010");
    setButtons(w, "19", 0);
    EXPECT_EQ(w.buttonStates(), "0000000");
    setButtons(w, "19", 1);
    EXPECT_EQ(w.buttonStates(), "1111111");
    setButtons(w, "55", 0);
    EXPECT_EQ(w.buttonStates(), "0000000");
    setButtons(w, "1,5", 1);
    EXPECT_EQ(w.buttonStates(), "1011101");
}

TEST(SetButtons, ItemsCompareWhole) {
    MemoryWindow w;
    setButtons(w, "15", 1);  // one item 15: neither 1 nor 5
    EXPECT_EQ(w.buttonStates(), "1111111");
    setButtons(w, "6,0", 0);
    EXPECT_EQ(w.buttonStates(), "1000001");
    setButtons(w, "", 0);
    EXPECT_EQ(w.buttonStates(), "0000000");
}
