// One import driven through the window as a user would: choose a workbook,
// untick a column, start the import, then open the export step.

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

// A .xls written by xlwt: a header row and three data rows.
std::filesystem::path makeWorkbook(const TempDir& dir) {
    const std::filesystem::path file = dir / "客户.xls";
    CommandResult r = runPython(R"(
import sys, xlwt
book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("客户")
rows = [["姓名", "电话", "地址"], ["张三", "13800000000", "北京"],
        ["李四", "13900000000", "上海"], ["王五", "13700000000", "广州"]]
for r, row in enumerate(rows):
    for c, value in enumerate(row):
        sheet.write(r, c, value)
book.save(sys.argv[1])
)",
                                shellQuote(file.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return file;
}

using ImportFlowTest = GuiTest;

TEST_F(ImportFlowTest, ChosenWorkbookImportsTheTickedColumns) {
    files.push_back(makeWorkbook(dir).string());
    MainWindow& w = open();
    w.session().pauses.length = std::chrono::milliseconds(5);
    QTest::mouseClick(find<QPushButton>("cmd6"), Qt::LeftButton);
    ASSERT_TRUE(messages.empty()) << messages[0].text;

    auto* list1 = find<QListWidget>("List1");
    ASSERT_EQ(list1->count(), 3);
    EXPECT_EQ(list1->item(1)->text(), QString::fromUtf8("电话"));
    EXPECT_EQ(list1->item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(find<QLabel>("Label6")->text(), "3");
    for (int i = 0; i < kButtonCount; ++i) EXPECT_EQ(w.buttonEnabled(i), i == 5) << "cmd" << i;

    // Untick 电话 from the keyboard, as a user can.
    list1->setFocus();
    list1->setCurrentRow(1);
    QTest::keyClick(list1, Qt::Key_Space);
    ASSERT_EQ(list1->item(1)->checkState(), Qt::Unchecked);

    // Pause every second row, and look at the window during the first pause.
    w.setText(TextBox::Text5, "1");
    std::string buttonsMidImport;
    bool list1EnabledMidImport = true;
    QTimer::singleShot(0, &w, [&] {
        for (int i = 0; i < kButtonCount; ++i) buttonsMidImport += w.buttonEnabled(i) ? '1' : '0';
        list1EnabledMidImport = list1->isEnabled();
        QTest::mouseClick(find<QPushButton>("cmd6"), Qt::LeftButton);  // must start nothing
    });
    QTest::mouseClick(find<QPushButton>("cmd5"), Qt::LeftButton);

    EXPECT_EQ(buttonsMidImport, "0000000");
    EXPECT_FALSE(list1EnabledMidImport);
    EXPECT_EQ(filters.size(), 1u) << "a click during the import opened the file dialog";
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "导入完成了!");
    EXPECT_EQ(messages[0].icon, Icon::Information);
    EXPECT_EQ(find<QLabel>("Label8")->text(), "3");
    EXPECT_GT(w.widthTwips(Label::Label1), 90) << "the progress bar did not move";

    auto* combo = find<QComboBox>("Combo1");
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), QString::fromUtf8("姓名"));
    EXPECT_EQ(combo->itemText(1), QString::fromUtf8("地址"));
    EXPECT_EQ(combo->currentIndex(), 0);

    find<QAction>("SR1")->trigger();
    EXPECT_EQ(w.count(ListBox::List2), 2);
    EXPECT_EQ(w.item(ListBox::List2, 1), "地址|@|1");
}

}  // namespace
}  // namespace tabrovin::testing
