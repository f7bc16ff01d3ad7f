// `tabrovin WORKBOOK`: the command line the file manager's "open with" gives,
// and the workbook it names chosen as the chooser would choose it.

#include <QAction>
#include <QMenu>

#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

class OpenWithTest : public GuiTest {
  protected:
    // Chooses `book` through the file chooser and imports every column.
    void importThroughChooser(const std::string& book) {
        chooseAndWait(book, true);
        messages.clear();
    }
};

TEST_F(OpenWithTest, TheNamedWorkbookIsChosenAsTheChooserWouldChooseIt) {
    open();
    importThroughChooser(writeSheet("first.csv", 30));
    EXPECT_EQ(textOf("Label6"), "30");

    window->chooseAtStart(writeSheet("second.csv", 4));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(messages.empty()) << messages[0].text;
    EXPECT_EQ(itemsOf("List1"), (std::vector<std::string>{"姓名", "电话", "地址"}));
    EXPECT_EQ(textOf("Label6"), "4");
    EXPECT_EQ(enabledButtons(), "0000010") << "as after the chooser: only the import";
    EXPECT_TRUE(window->windowTitle().endsWith(QString::fromUtf8("second.csv")));
    // The import then reads the workbook named at start, like a chosen one.
    clickAndWait("cmd5");
    EXPECT_EQ(textOf("Label8"), "4");
}

TEST_F(OpenWithTest, WhatIsNoReadableFileGetsTheChoosersMessage) {
    open();
    importThroughChooser(writeSheet("first.csv", 5));
    const QString title = window->windowTitle();
    for (const std::string& path : {(dir / "missing.xls").string(), dir.path().string()}) {
        messages.clear();
        window->chooseAtStart(path);
        ASSERT_TRUE(idle());
        ASSERT_EQ(messages.size(), 1u) << path;
        EXPECT_EQ(messages[0], noWorkbookChosen()) << path;
        EXPECT_EQ(textOf("Label6"), "5") << "the table is untouched";
        EXPECT_EQ(window->windowTitle(), title);
    }
}

TEST_F(OpenWithTest, TheToolsMenuShowsTheProgramFolder) {
    open();
    auto* shown = find<QAction>("programFolder");
    EXPECT_FALSE(shown->isEnabled());
    EXPECT_TRUE(shown->text().endsWith(QString::fromStdString(folder.string())))
        << shown->text().toStdString();
    EXPECT_EQ(find<QAction>("openExportFolder")->toolTip().toStdString(),
              (folder / u8path("导出")).string());
}

}  // namespace
}  // namespace tabrovin::testing
