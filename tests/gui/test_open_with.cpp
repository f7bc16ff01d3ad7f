// `tabrovin WORKBOOK`: the command line the file manager's "open with" gives,
// and the workbook it names chosen as the chooser would choose it.

#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

using OpenWithTest = GuiTest;

TEST_F(OpenWithTest, TheNamedWorkbookIsChosenAsTheChooserWouldChooseIt) {
    open();
    chooseAndWait(writeSheet("first.csv", 30), true);
    messages.clear();
    const QString title = window->windowTitle();
    // What is no readable file gets the chooser's message and changes nothing.
    for (const std::string& path : {(dir / "missing.xls").string(), dir.path().string()}) {
        messages.clear();
        window->chooseAtStart(path);
        ASSERT_TRUE(idle());
        EXPECT_EQ(messages, std::vector<Message>{noWorkbookChosen()}) << path;
        EXPECT_EQ(textOf("Label6"), "30") << "the table is untouched";
        EXPECT_EQ(window->windowTitle(), title);
    }

    messages.clear();
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

}  // namespace
}  // namespace tabrovin::testing
