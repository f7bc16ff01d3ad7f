// Another program (the batch command here) working on the same folder while
// the window idles between steps: the window notices, shows what is there
// now, and never writes its stale idea of the folder over the other's work.

#include <QAction>

#include "app/outcomes.h"
#include "core/column_list.h"
#include "tests/gui/gui_support.h"

namespace tabrovin::testing {
namespace {

using Names = std::vector<std::string>;

class OtherProgramTest : public GuiTest {
  protected:
    // tabrovin-batch on this window's folder; its exit code.
    int batch(const std::string& args) {
        CommandResult r = runBatch(folder, args);
        EXPECT_EQ(r.exitCode, 0) << args << "\n" << r.output;
        return r.exitCode;
    }
    // A CSV headed 城市, 金额 with `rows` rows, imported by the batch command.
    void batchImport(int rows) {
        std::string text = "城市,金额\n";
        for (int r = 0; r < rows; ++r)
            text += "城" + std::to_string(r) + "," + std::to_string(r) + "\n";
        writeFile(dir / "b.csv", text);
        batch("import " + shellQuote((dir / "b.csv").string()));
    }
    Names namesOnDisk() { return column_list::load(ProgramPaths(folder).columnList()); }
};

TEST_F(OtherProgramTest, AStepAfterAnotherProgramsChangeShowsItFirst) {
    open();
    trigger("SR1");
    clickItem("List2", 0, true);  // 姓名, of the old list
    batchImport(4);
    clickAndWait("cmd2");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("其他程序"), std::string::npos) << messages[0].text;
    EXPECT_TRUE(std::filesystem::is_empty(ProgramPaths(folder).exportDir()));
    // The lists and counters are the other program's now; exporting them
    // writes their headings.
    EXPECT_EQ(itemsOf("List2"), (Names{"城市|@|0", "金额|@|1"}));
    EXPECT_EQ(itemsOf("Combo1"), (Names{"城市", "金额"}));
    EXPECT_EQ(textOf("Label6"), "4");
    clickItem("List2", 1, true);
    clickAndWait("cmd2");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, " 完成了导出,1页,存于[导出]文件夹下.");
    auto page = readBook(ProgramPaths(folder).exportFile(1)).value().at(0).rows;
    EXPECT_EQ(page.at(0), (std::vector<std::string>{"金额"}));
    EXPECT_EQ(page.size(), 5u);
}

// An import into a table another program refilled is refused; coming back
// to the window, or closing it, keeps what the other program did.
TEST_F(OtherProgramTest, TheWindowNeverWritesItsStaleFolderOverAnotherPrograms) {
    open();
    chooseAndWait(writeSheet("a.csv", 5));
    batchImport(2);
    messages.clear();
    clickAndWait("cmd5");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("请重新选择"), std::string::npos) << messages[0].text;
    EXPECT_EQ(namesOnDisk(), (Names{"城市", "金额"}));
    EXPECT_EQ(textOf("Label6"), "2");
    // A fresh choice imports as ever.
    chooseAndWait((dir / "a.csv").string(), true);
    EXPECT_EQ(messages.back(), importDone());
    EXPECT_EQ(namesOnDisk(), (Names{"姓名", "电话", "地址"}));

    // Coming back to the window shows what another program did.
    batchImport(3);
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitFor([this] { return itemsOf("Combo1") == Names{"城市", "金额"}; }));
    ASSERT_TRUE(idle());
    EXPECT_EQ(textOf("Label6"), "3");
    // Closing keeps the names another program saved.
    writeSheet("c.csv", 1);
    batch("import " + shellQuote((dir / "c.csv").string()));
    window->close();
    EXPECT_EQ(namesOnDisk(), (Names{"姓名", "电话", "地址"}));
}

}  // namespace
}  // namespace tabrovin::testing
