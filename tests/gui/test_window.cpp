// The window as it opens, and the menu switching between its steps.

#include "app/qt/dialogs.h"
#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

using WindowTest = GuiTest;

TEST_F(WindowTest, OpensReadableWithTheSavedColumnsAndFocusOnTheChooser) {
    MainWindow& w = open();
    EXPECT_TRUE(w.windowTitle().startsWith("Tabrovin1.0")) << w.windowTitle().toStdString();
    EXPECT_EQ(enabledButtons(), "1111101");
    // The starting values users rely on: sheet 1, a pause every 500 rows, 1000 rows a page.
    for (auto [name, text] : {std::pair{"Text4", "1"}, {"Text5", "500"}, {"Text1", "1000"}})
        EXPECT_EQ(find<QLineEdit>(name)->text(), text) << name;
    EXPECT_EQ(itemsOf("Combo1"), (std::vector<std::string>{"姓名", "电话"}));
    EXPECT_EQ(find<QComboBox>("Combo1")->currentIndex(), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(find("Frame3")->isVisible());
    EXPECT_FALSE(find("cancelButton")->isVisible()) << "cancel shows only while a step runs";
    EXPECT_NE(find("Label4")->palette().color(QPalette::WindowText),
              find("Frame4")->palette().color(QPalette::WindowText))
        << "a frame's colour leaked to its labels, or it has none";
    for (QLabel* label : w.findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->objectName().toStdString();
    }
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(QApplication::focusWidget(), find("cmd6")) << "focus starts on the chooser";

    // Dialogs get Qt's filter form, and their buttons speak Chinese.
    EXPECT_EQ(qt::qtFileFilter("Excel|*.xls;*.xlsx|文本").toStdString(),
              "Excel (*.xls *.xlsx);;文本 (*)");
    qt::installChineseTranslations();
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("取消"));
    // The chooser shows names only, so no name may carry its pattern again.
    EXPECT_EQ(std::string(kWorkbookFilter).find("(*."), std::string::npos);

    // Without a data folder the window still opens, with an empty Combo1.
    window.reset();
    std::filesystem::remove_all(folder / "data");
    open();
    EXPECT_TRUE(itemsOf("Combo1").empty());
}

TEST_F(WindowTest, MenuSwitchesStepsAndExportRebuildsItsListsEachTime) {
    open();
    setTextOf("Text2", QString::fromUtf8("关键字"));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        trigger("SR1");
        EXPECT_TRUE(find("Frame3")->isVisible());
        EXPECT_FALSE(find("Frame2")->isVisible() || find("Frame4")->isVisible());
        EXPECT_EQ(itemsOf("List2"), (std::vector<std::string>{"姓名|@|0", "电话|@|1"}));
        EXPECT_TRUE(itemsOf("List3").empty());
        clickItem("List2", 1, /*twice=*/true);  // 电话 moves to List3 for the next round
        EXPECT_EQ(itemsOf("List3"), std::vector<std::string>{"电话|@|1"});

        trigger("SR0");
        EXPECT_TRUE(find("Frame2")->isVisible() && !find("Frame3")->isVisible());
        EXPECT_EQ(textOf("Text2"), QString::fromUtf8("关键字"));
        EXPECT_EQ(itemsOf("Combo1"), (std::vector<std::string>{"姓名", "电话"}));
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(WindowTest, ClickingOrArrowingToAnExportColumnLoadsItsHeadingForRenaming) {
    open();
    trigger("SR1");
    click("cmd1");  // every column to List3
    clickItem("List3", 1);
    EXPECT_EQ(textOf("Text3"), QString::fromUtf8("电话"));
    QTest::keyClicks(find("Text3"), "2");
    click("cmd0");
    EXPECT_EQ(itemsOf("List3")[1], "电话2|@|1");
    ASSERT_EQ(messages.size(), 1u);
    // A heading may not hold the separator; the refusal changes nothing.
    clickItem("List3", 0);
    setTextOf("Text3", QString::fromUtf8("甲|@|5"));
    click("cmd0");
    EXPECT_EQ(itemsOf("List3")[0], "姓名|@|0");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].icon, Icon::Information);
    // The arrow keys load a heading as a click does.
    find("List3")->setFocus();
    QTest::keyClick(find("List3"), Qt::Key_Down);
    EXPECT_EQ(textOf("Text3"), QString::fromUtf8("电话2"));
    EXPECT_EQ(textOf("Label16"), "1");
}

}  // namespace
}  // namespace tabrovin::testing
