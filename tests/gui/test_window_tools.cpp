// The tools menu and drops: the data view, undo, recent workbooks, and a
// dropped file taking the chooser's path.

#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

class ToolsTest : public GuiTest {
  protected:
    void drop(const std::string& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &dropped);
        ASSERT_TRUE(idle());
    }
    void trigger(const char* action) { find<QAction>(action)->trigger(); }
};

TEST_F(ToolsTest, ADroppedWorkbookIsChosenLikeOneFromTheChooser) {
    open();
    drop(writeSheet("a.csv", 4));
    EXPECT_TRUE(messages.empty()) << messages[0].text;
    EXPECT_EQ(itemsOf("List1"), (std::vector<std::string>{"姓名", "电话", "地址"}));  // as by cmd6
    // It joins the recent workbooks, which choose it again.
    auto* recent = find<QMenu>("recentWorkbooks");
    find<QMenu>("toolsMenu")->aboutToShow();
    ASSERT_EQ(recent->actions().size(), 1);
    recent->actions()[0]->trigger();
    ASSERT_TRUE(idle());
    EXPECT_EQ(itemsOf("List1").size(), 3u);
    EXPECT_TRUE(filters.empty()) << "neither a drop nor a recent entry opens the chooser";
}

TEST_F(ToolsTest, UndoTakesBackTheFilterAndTheViewFollows) {
    open();
    drop(writeSheet("a.csv", 30));
    clickAndWait("cmd5");
    trigger("viewData");
    auto* count = find<QLabel>("rowCountLabel");
    EXPECT_EQ(count->text(), QString::fromUtf8("共 30 行"));
    clickAndWait("cmd4");  // keeps one row of each 姓名
    EXPECT_EQ(count->text(), QString::fromUtf8("共 3 行"));
    EXPECT_EQ(textOf("Label6"), "3");
    messages.clear();
    trigger("undoStep");
    ASSERT_TRUE(idle());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("过滤重复"), std::string::npos) << messages[0].text;
    EXPECT_EQ(textOf("Label6"), "30");
    EXPECT_EQ(count->text(), QString::fromUtf8("共 30 行"));
    EXPECT_EQ(itemsOf("Combo1"), (std::vector<std::string>{"姓名", "电话", "地址"}));
    // A restart shows what the table holds, not 0.
    window.reset();
    open();
    EXPECT_EQ(textOf("Label6"), "30");
}

}  // namespace
}  // namespace tabrovin::testing
