// The steps' sequences as the user sees them: each box with the buttons,
// the ticks and the counters as they stand while it shows.

#include "app/outcomes.h"
#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

struct Seen {
    Message message;
    std::string buttons;
    bool list1 = false;
    std::string label6, label8;
};

class SequenceTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        MainWindow::messageSink = [this](const Message& m) {
            seen.push_back({m, enabledButtons(), find("List1")->isEnabled(),
                            textOf("Label6").toStdString(), textOf("Label8").toStdString()});
        };
    }

    std::vector<Seen> seen;
};

// Failures give the buttons back and leave the ticks usable; each step that
// works shows its box with the buttons its table gives.
TEST_F(SequenceTest, EachBoxShowsWithTheButtonsItsStepsTableGives) {
    open();
    chooseAndWait(writeSheet("a.csv", 5));
    // Nothing ticked: the step's error, asking for a tick in a list that
    // stays usable.
    auto* ticks = find<QListWidget>("List1");
    for (int i = 0; i < ticks->count(); ++i) ticks->item(i)->setCheckState(Qt::Unchecked);
    clickAndWait("cmd5");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message.title, "ZazIV : 导入数据2出错! # 5");
    EXPECT_EQ(seen[0].message.icon, Icon::Critical);
    EXPECT_TRUE(seen[0].list1);
    EXPECT_EQ(seen[0].buttons, "1111111");
    // A sheet number in letters: the same rule, caught before the step.
    ticks->item(0)->setCheckState(Qt::Checked);
    setTextOf("Text4", "abc");
    clickAndWait("cmd5");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].message.title, "ZazIV : 导入数据2出错! # 13");
    EXPECT_EQ(seen[1].buttons, "1111111");
    EXPECT_TRUE(seen[1].list1);
    // The import reads the file as it is now: headings only. It names the
    // columns, and the ticks are spent until the next choice.
    writeFile(dir / "a.csv", "姓名,电话,地址\n");
    setTextOf("Text4", "1");
    clickAndWait("cmd5");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].message, importDone());
    EXPECT_EQ(seen[2].buttons, "1111111");
    EXPECT_EQ(seen[2].label8, "0");
    EXPECT_EQ(itemsOf("Combo1"), std::vector<std::string>{"姓名"}) << "the ticked column";
    EXPECT_FALSE(ticks->isEnabled());
    chooseAndWait((dir / "a.csv").string());
    EXPECT_EQ(enabledButtons(), "1111111") << "a choice that lists nothing leaves them alone";

    // Dedupe with no column chosen: the row count shows first, then the error.
    find<QComboBox>("Combo1")->setCurrentIndex(-1);
    find<QLabel>("Label6")->setText(QString());
    clickAndWait("cmd4");
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[3].message.title, "删除1出错 # 3265");
    EXPECT_EQ(seen[3].label6, "0");
    EXPECT_EQ(seen[3].buttons, "1111111");

    // Each step that works shows its box with the buttons its table gives.
    chooseAndWait(writeSheet("a.csv", 30), true);
    seen.clear();
    clickAndWait("cmd4");  // dedupe: buttons back before its box
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].buttons, "1111111");
    setTextOf("Text2", QString::fromUtf8("name1"));
    clickAndWait("cmd3");  // delete: buttons back only after its box
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].message, rowsLeft(2));
    EXPECT_EQ(seen[1].buttons, "0000000");
    EXPECT_EQ(enabledButtons(), "1111111");

    // Export with nothing chosen: said at once, buttons untouched.
    trigger("SR1");
    clickAndWait("cmd2");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].message, (Message{"没有要导出的列!"}));
    EXPECT_EQ(seen[2].buttons, "1111111");
    // A page count goes to the bar, never into 已导入.
    clickItem("List2", 0, true);
    setTextOf("Text1", "1");
    clickAndWait("cmd2");
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[3].message.text, " 完成了导出,2页,存于[导出]文件夹下.");
    EXPECT_EQ(seen[3].label8, "3");
}

}  // namespace
}  // namespace tabrovin::testing
