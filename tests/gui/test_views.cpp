// Switching between the import/processing steps and the export step, by
// WindowPort and by the menu, and the export lists driven by mouse.

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

using ViewTest = GuiTest;

std::vector<std::string> entries(const QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
    return out;
}

TEST_F(ViewTest, ShowViewShowsEitherTheFirstTwoStepsOrTheExportStep) {
    MainWindow& w = open();
    EXPECT_EQ(w.view(), View::ImportAndProcessing);
    w.showView(View::Export);
    EXPECT_EQ(w.view(), View::Export);
    EXPECT_TRUE(find<QGroupBox>("Frame3")->isVisible());
    EXPECT_FALSE(find<QGroupBox>("Frame2")->isVisible());
    EXPECT_FALSE(find<QGroupBox>("Frame4")->isVisible());
    w.showView(View::ImportAndProcessing);
    EXPECT_EQ(w.view(), View::ImportAndProcessing);
    EXPECT_FALSE(find<QGroupBox>("Frame3")->isVisible());
    EXPECT_TRUE(find<QGroupBox>("Frame2")->isVisible());
    EXPECT_TRUE(find<QGroupBox>("Frame4")->isVisible());
}

TEST_F(ViewTest, ExportMenuRebuildsListsFromComboEachTime) {
    MainWindow& w = open();
    find<QAction>("SR1")->trigger();
    EXPECT_EQ(w.view(), View::Export);
    auto* list2 = find<QListWidget>("List2");
    auto* list3 = find<QListWidget>("List3");
    const std::vector<std::string> all = {"姓名|@|0", "电话|@|1"};
    EXPECT_EQ(entries(list2), all);
    EXPECT_EQ(list3->count(), 0);

    clickItem("List2", 1, /*twice=*/true);
    EXPECT_EQ(entries(list3), std::vector<std::string>{"电话|@|1"});
    EXPECT_EQ(entries(list2), std::vector<std::string>{"姓名|@|0"});

    find<QAction>("SR1")->trigger();
    EXPECT_EQ(entries(list2), all);
    EXPECT_EQ(list3->count(), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ViewTest, ImportMenuTwiceChangesNothingButTheView) {
    MainWindow& w = open();
    w.setText(TextBox::Text2, "关键字");
    w.showView(View::Export);
    find<QAction>("SR0")->trigger();
    find<QAction>("SR0")->trigger();
    EXPECT_EQ(w.view(), View::ImportAndProcessing);
    EXPECT_EQ(w.comboCount(), 2);
    EXPECT_EQ(w.comboIndex(), 0);
    EXPECT_EQ(w.text(TextBox::Text2), "关键字");
    EXPECT_EQ(w.count(ListBox::List1), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ViewTest, ClickingAnExportColumnLoadsItsHeadingForRenaming) {
    MainWindow& w = open();
    find<QAction>("SR1")->trigger();
    QTest::mouseClick(find<QPushButton>("cmd1"), Qt::LeftButton);  // all columns to List3
    ASSERT_EQ(w.count(ListBox::List3), 2);

    clickItem("List3", 1);
    EXPECT_EQ(w.selectedIndex(ListBox::List3), 1);
    EXPECT_EQ(find<QLineEdit>("Text3")->text(), QString::fromUtf8("电话"));

    QTest::keyClicks(find<QLineEdit>("Text3"), "2");
    QTest::mouseClick(find<QPushButton>("cmd0"), Qt::LeftButton);
    EXPECT_EQ(w.item(ListBox::List3, 1), "电话2|@|1");

    clickItem("List3", 0, /*twice=*/true);
    EXPECT_EQ(w.count(ListBox::List3), 1);
    EXPECT_EQ(w.item(ListBox::List2, 0), "姓名|@|0");
}

}  // namespace
}  // namespace tabrovin::testing
