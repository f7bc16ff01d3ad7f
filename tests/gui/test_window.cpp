// The window as it opens, and the menu switching between its steps.

#include <QMenuBar>

#include "app/qt/dialogs.h"
#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

using WindowTest = GuiTest;

TEST_F(WindowTest, OpensWithTextsButtonsColumnListAndDesignLayout) {
    MainWindow& w = open();
    EXPECT_TRUE(w.windowTitle().startsWith("Tabrovin1.0")) << w.windowTitle().toStdString();
    EXPECT_EQ(enabledButtons(), "1111101");
    EXPECT_EQ(find<QPushButton>("cmd5")->text(), QString::fromUtf8("2. 开始导入"));
    for (auto [name, text] : {std::pair{"Text4", "1"}, {"Text5", "500"}, {"Text1", "1000"}})
        EXPECT_EQ(find<QLineEdit>(name)->text(), text) << name;
    EXPECT_EQ(itemsOf("Combo1"), (std::vector<std::string>{"姓名", "电话"}));
    EXPECT_EQ(find<QComboBox>("Combo1")->currentIndex(), 0);
    EXPECT_TRUE(messages.empty());

    // Design positions in twips, shown at 15 twips a pixel on a window of fixed size.
    EXPECT_EQ(w.centralWidget()->size(), QSize(439, 333));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    for (auto [name, rect] : {std::pair{"Frame2", QRect(8, 8, 425, 217)},
                              {"Frame3", QRect(8, 8, 425, 305)},
                              {"cmd6", QRect(32, 152, 153, 25)},
                              {"List1", QRect(256, 16, 145, 172)},
                              {"Text5", QRect(136, 104, 49, 18)},
                              {"Label1", QRect(8, 312, 6, 20)}})
        EXPECT_EQ(find(name)->geometry(), rect) << name;
    EXPECT_FALSE(find("Frame3")->isVisible());

    // Without a data folder the window still opens, with an empty Combo1.
    window.reset();
    std::filesystem::remove_all(folder / "data");
    open();
    EXPECT_TRUE(itemsOf("Combo1").empty());
}

TEST_F(WindowTest, CaptionsColoursProgressBarAndDialogConversions) {
    MainWindow& w = open();
    auto colour = [&](const char* name) {
        return find(name)->palette().color(QPalette::WindowText);
    };
    EXPECT_EQ(colour("Frame4"), QColor(0x00, 0x40, 0x00));
    EXPECT_NE(colour("Label4"), QColor(0x00, 0x40, 0x00))
        << "a frame's colour leaked to its labels";
    // Every caption stays readable.
    for (QLabel* label : w.findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->objectName().toStdString();
    }
    EXPECT_FALSE(find("cancelButton")->isVisible()) << "cancel shows only while a step runs";

    EXPECT_EQ(qt::qtFileFilter("Excel|*.xls;*.xlsx|文本").toStdString(),
              "Excel (*.xls *.xlsx);;文本 (*)");
    // Dialog buttons speak Chinese once Qt's own translations are loaded.
    qt::installChineseTranslations();
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QString::fromUtf8("确定"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("取消"));
    // The chooser shows names only, so no name may carry its pattern again.
    EXPECT_EQ(std::string(kWorkbookFilter).find("(*."), std::string::npos);
}

TEST_F(WindowTest, FocusStartsOnTheChooserAndTabsInDesignOrder) {
    MainWindow& w = open();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(QApplication::focusWidget(), find("cmd6"));
    // Hidden controls and the disabled cmd5 are skipped.
    for (const char* name :
         {"List1", "Combo1", "cmd4", "Text2", "cmd3", "Text4", "Text5", "cmd6"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), name);
    }
}

TEST_F(WindowTest, MenuSwitchesStepsAndExportRebuildsItsListsEachTime) {
    open();
    auto* toImport = find<QAction>("SR0");
    auto* toExport = find<QAction>("SR1");
    EXPECT_EQ(window->menuBar()->actions().mid(0, 2), (QList<QAction*>{toImport, toExport}));
    EXPECT_EQ(toExport->text(), QString::fromUtf8("导出Excel"));
    setTextOf("Text2", QString::fromUtf8("关键字"));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        toExport->trigger();
        EXPECT_TRUE(find("Frame3")->isVisible());
        EXPECT_FALSE(find("Frame2")->isVisible() || find("Frame4")->isVisible());
        EXPECT_EQ(itemsOf("List2"), (std::vector<std::string>{"姓名|@|0", "电话|@|1"}));
        EXPECT_TRUE(itemsOf("List3").empty());
        clickItem("List2", 1, /*twice=*/true);  // 电话 moves to List3 for the next round
        EXPECT_EQ(itemsOf("List3"), std::vector<std::string>{"电话|@|1"});

        toImport->trigger();
        EXPECT_FALSE(find("Frame3")->isVisible());
        EXPECT_TRUE(find("Frame2")->isVisible() && find("Frame4")->isVisible());
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
    EXPECT_EQ(find<QLineEdit>("Text3")->text(), QString::fromUtf8("电话"));
    QTest::keyClicks(find("Text3"), "2");
    click("cmd0");
    EXPECT_EQ(itemsOf("List3")[1], "电话2|@|1");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "修改了导出Excel的某一个列名称.");
    // A heading may not hold the separator; the refusal changes nothing.
    clickItem("List3", 0);
    setTextOf("Text3", QString::fromUtf8("甲|@|5"));
    click("cmd0");
    EXPECT_EQ(itemsOf("List3")[0], "姓名|@|0");
    EXPECT_EQ(messages.back().icon, Icon::Information);
    // The arrow keys load a heading as a click does.
    find("List3")->setFocus();
    QTest::keyClick(find("List3"), Qt::Key_Down);
    EXPECT_EQ(textOf("Text3"), QString::fromUtf8("电话2"));
    EXPECT_EQ(textOf("Label16"), "1");
}

}  // namespace
}  // namespace tabrovin::testing
