// The dialog seams: what the window hands to the file dialog and message
// boxes, and the cancelled workbook choice.

#include <QPushButton>
#include <QTest>

#include "app/dispatch.h"
#include "app/qt/dialogs.h"
#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

TEST(FileFilterTest, PairsBecomeQtFilters) {
    EXPECT_EQ(qt::qtFileFilter("xls|*.xls|所有文件|*.*").toStdString(),
              "xls (*.xls);;所有文件 (*.*)");
    // A pattern list separated by ';' and a name already showing its pattern.
    EXPECT_EQ(qt::qtFileFilter("Excel|*.xls;*.xlsx|Excel 工作簿 (*.xlsx)|*.xlsx").toStdString(),
              "Excel (*.xls *.xlsx);;Excel 工作簿 (*.xlsx)");
    // A name without its pattern, and an empty filter.
    EXPECT_EQ(qt::qtFileFilter("文本").toStdString(), "文本 (*)");
    EXPECT_EQ(qt::qtFileFilter("").toStdString(), "");
}

TEST(FileFilterTest, WorkbookFilterOffersEveryReaderFormat) {
    const QStringList entries = qt::qtFileFilter(kWorkbookFilter).split(";;");
    ASSERT_GE(entries.size(), 2);
    for (const QString& entry : entries) {
        EXPECT_TRUE(entry.endsWith(')')) << entry.toStdString();
        EXPECT_EQ(entry.count('('), entry.count(')')) << entry.toStdString();
    }
    EXPECT_TRUE(entries.first().endsWith("(*.xls)"));
}

TEST(MessageIconTest, IconsMapToQtIcons) {
    EXPECT_EQ(qt::messageIcon(Icon::Critical), QMessageBox::Critical);
    EXPECT_EQ(qt::messageIcon(Icon::Exclamation), QMessageBox::Warning);
    EXPECT_EQ(qt::messageIcon(Icon::Information), QMessageBox::Information);
}

using ChooseWorkbookTest = GuiTest;

TEST_F(ChooseWorkbookTest, CancelledChoiceIsReportedAndImportStaysOff) {
    MainWindow& w = open();
    QTest::mouseClick(find<QPushButton>("cmd6"), Qt::LeftButton);
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0], kWorkbookFilter);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Excel地址不能为空,无法完成，请选择!");
    EXPECT_EQ(messages[0].title, "Tabrovin");
    EXPECT_EQ(messages[0].icon, Icon::Exclamation);
    EXPECT_FALSE(find<QPushButton>("cmd5")->isEnabled());
    EXPECT_EQ(w.count(ListBox::List1), 0);
}

TEST_F(ChooseWorkbookTest, FileThatIsNoWorkbookIsReportedNotFatal) {
    // A compound-file signature with nothing behind it.
    writeFile(dir / "note.xls", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "broken");
    files.push_back((dir / "note.xls").string());
    MainWindow& w = open();
    QTest::mouseClick(find<QPushButton>("cmd6"), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, Icon::Critical);
    EXPECT_FALSE(messages[0].text.empty());
    EXPECT_FALSE(find<QPushButton>("cmd5")->isEnabled());
    EXPECT_TRUE(w.isVisible());
}

}  // namespace
}  // namespace tabrovin::testing
