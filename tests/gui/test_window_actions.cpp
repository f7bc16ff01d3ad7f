// Actions started from the window: choosing a workbook, one whole import, and
// closing, which waits for a running action and saves Combo1.

#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include "app/dispatch.h"
#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

using ActionsTest = GuiTest;

TEST_F(ActionsTest, CancelledOrBrokenChoiceIsReportedAndImportStaysOff) {
    // Cancelled first, then a compound-file signature with nothing behind it.
    writeFile(dir / "note.xls", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "broken");
    files = {"", (dir / "note.xls").string()};
    MainWindow& w = open();
    click("cmd6");
    click("cmd6");
    EXPECT_EQ(filters, std::vector<std::string>(2, kWorkbookFilter));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Excel地址不能为空,无法完成，请选择!");
    EXPECT_EQ(messages[0].title, "Tabrovin");
    EXPECT_EQ(messages[0].icon, Icon::Exclamation);
    EXPECT_EQ(messages[1].icon, Icon::Critical);
    EXPECT_FALSE(messages[1].text.empty());
    EXPECT_FALSE(find("cmd5")->isEnabled());
    EXPECT_EQ(w.count(ListBox::List1), 0);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(ActionsTest, ChosenWorkbookImportsTheTickedColumns) {
    CommandResult made = runPython(R"(
import sys, xlwt
book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("客户")
for r, row in enumerate([["姓名", "电话", "地址"], ["张三", "13800000000", "北京"],
                         ["李四", "13900000000", "上海"], ["王五", "13700000000", "广州"]]):
    for c, value in enumerate(row): sheet.write(r, c, value)
book.save(sys.argv[1])
)",
                                   shellQuote((dir / "客户.xls").string()));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    files.push_back((dir / "客户.xls").string());
    MainWindow& w = open();
    w.session().pauses.length = std::chrono::milliseconds(5);
    click("cmd6");
    ASSERT_TRUE(messages.empty()) << messages[0].text;
    auto* list1 = find<QListWidget>("List1");
    ASSERT_EQ(list1->count(), 3);
    EXPECT_EQ(find<QLabel>("Label6")->text(), "3");
    for (int i = 0; i < kButtonCount; ++i) EXPECT_EQ(w.buttonEnabled(i), i == 5) << "cmd" << i;

    // Untick 电话 from the keyboard, then pause every row and look during the first pause.
    list1->setFocus();
    list1->setCurrentRow(1);
    QTest::keyClick(list1, Qt::Key_Space);
    ASSERT_EQ(list1->item(1)->checkState(), Qt::Unchecked);
    w.setText(TextBox::Text5, "1");
    std::string midImport;
    QTimer::singleShot(0, &w, [&] {
        for (int i = 0; i < kButtonCount; ++i) midImport += w.buttonEnabled(i) ? '1' : '0';
        midImport += list1->isEnabled() ? '1' : '0';
        click("cmd6");  // must start nothing
    });
    click("cmd5");
    EXPECT_EQ(midImport, "00000000");
    EXPECT_EQ(filters.size(), 1u) << "a click during the import opened the file dialog";
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "导入完成了!");
    EXPECT_EQ(messages[0].icon, Icon::Information);
    EXPECT_EQ(find<QLabel>("Label8")->text(), "3");
    EXPECT_GT(w.widthTwips(Label::Label1), 90) << "the progress bar did not move";
    auto* combo = find<QComboBox>("Combo1");
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1), QString::fromUtf8("地址"));
    find<QAction>("SR1")->trigger();
    EXPECT_EQ(w.item(ListBox::List2, 1), "地址|@|1");
}

TEST_F(ActionsTest, ClosingSavesComboAsGbk) {
    open().comboAdd("地址");
    EXPECT_TRUE(window->close());
    EXPECT_EQ(readFile(folder / "data" / "ini.txt"), toGbk("姓名\r\n电话\r\n地址\r\n"));
}

TEST_F(ActionsTest, CloseDuringAnActionWaitsForItsEnd) {
    MainWindow& w = open();
    w.comboAdd("地址");
    const std::string before = readFile(folder / "data" / "ini.txt");
    bool closedMidAction = true;
    std::string iniMidAction;
    duringChoice = [&] {
        w.close();
        closedMidAction = !w.isVisible();
        iniMidAction = readFile(folder / "data" / "ini.txt");
    };
    click("cmd6");
    EXPECT_FALSE(closedMidAction);
    EXPECT_EQ(iniMidAction, before) << "nothing may be saved while the action runs";
    EXPECT_EQ(messages.size(), 1u);  // the cancelled choice, shown before closing
    EXPECT_FALSE(w.isVisible()) << "the window closes once the action has ended";
    EXPECT_EQ(readFile(folder / "data" / "ini.txt"), toGbk("姓名\r\n电话\r\n地址\r\n"));
}

TEST_F(ActionsTest, MenuStartsNothingWhileAnActionRuns) {
    MainWindow& w = open();
    bool menuEnabled = true;
    duringChoice = [&] {
        menuEnabled = find<QAction>("SR0")->isEnabled() || find<QAction>("SR1")->isEnabled();
        find<QAction>("SR1")->trigger();
        click("cmd4");
    };
    click("cmd6");
    EXPECT_FALSE(menuEnabled);
    EXPECT_EQ(w.view(), View::ImportAndProcessing);
    EXPECT_EQ(filters.size(), 1u);
    EXPECT_EQ(messages.size(), 1u) << "only the cancelled choice may report";
    EXPECT_TRUE(find<QAction>("SR0")->isEnabled() && find<QAction>("SR1")->isEnabled());
}

}  // namespace
}  // namespace tabrovin::testing
