// Closing the window: the column list is written back, and a close asked
// for while an action runs waits for the action to end.

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

using CloseTest = GuiTest;

std::string iniBytes(const std::filesystem::path& folder) {
    return readFile(folder / "data" / "ini.txt");
}

TEST_F(CloseTest, ClosingWritesComboBackAsGbk) {
    MainWindow& w = open();
    w.comboAdd("地址");
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(iniBytes(folder), toGbk("姓名\r\n电话\r\n地址\r\n"));
}

TEST_F(CloseTest, CloseDuringAnActionWaitsForItsEnd) {
    MainWindow& w = open();
    w.comboAdd("地址");
    bool closedMidAction = true;
    std::string iniMidAction;
    duringChoice = [&] {
        w.close();
        closedMidAction = !w.isVisible();
        iniMidAction = iniBytes(folder);
    };
    QTest::mouseClick(find<QPushButton>("cmd6"), Qt::LeftButton);
    EXPECT_FALSE(closedMidAction);
    EXPECT_EQ(iniMidAction, gbkNames()) << "nothing may be saved while the action runs";
    EXPECT_FALSE(w.isVisible()) << "the window closes once the action has ended";
    EXPECT_EQ(iniBytes(folder), toGbk("姓名\r\n电话\r\n地址\r\n"));
    ASSERT_EQ(messages.size(), 1u);  // the cancelled choice, shown before closing
}

TEST_F(CloseTest, MenuStartsNothingWhileAnActionRuns) {
    MainWindow& w = open();
    bool menuEnabled = true;
    duringChoice = [&] {
        menuEnabled = find<QAction>("SR0")->isEnabled() || find<QAction>("SR1")->isEnabled();
        find<QAction>("SR1")->trigger();
        QTest::mouseClick(find<QPushButton>("cmd4"), Qt::LeftButton);
    };
    QTest::mouseClick(find<QPushButton>("cmd6"), Qt::LeftButton);
    EXPECT_FALSE(menuEnabled);
    EXPECT_EQ(w.view(), View::ImportAndProcessing);
    EXPECT_EQ(filters.size(), 1u);
    EXPECT_EQ(messages.size(), 1u) << "only the cancelled choice may report";
    EXPECT_TRUE(find<QAction>("SR0")->isEnabled());
    EXPECT_TRUE(find<QAction>("SR1")->isEnabled());
    EXPECT_TRUE(w.isVisible());
}

}  // namespace
}  // namespace tabrovin::testing
