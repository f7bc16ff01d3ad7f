// tabrovin-batch as a user runs it: one program folder, one command after
// another. What each step does is tested on the step; here how the command
// reads its arguments, what it prints and how it exits.
#include "platform/folder_lock.h"
#include "tests/support/workspace_fixture.h"

namespace tt = tabrovin::testing;
using Names = std::vector<std::string>;
using Rows = std::vector<std::vector<std::string>>;

namespace {

class BatchCommand : public tt::WorkspaceTest {
  protected:
    void SetUp() override {
        book = tt::shellQuote(writeXls("客户.xls", {{{"姓名", "城市", "电话"},
                                                     {"张三", "北京", "1"},
                                                     {"李四", "Beijing", "2"},
                                                     {"王五", "上海", "3"},
                                                     {"赵六", "北京", "4"},
                                                     {"孙七", "beijing", "5"}}})
                                  .string());
    }
    bool exportEmpty() { return std::filesystem::is_empty(ws.paths.exportDir()); }

    std::string book;  // shell-quoted path of a workbook of five rows
};

}  // namespace

// A session on a fresh folder: each command's exit code, a line it prints and
// the rows left after it. No failing command writes a page.
TEST_F(BatchCommand, EachCommandHasItsExitCodeLineAndEffect) {
    tt::writeFile(dir / "只有标题.csv", "姓名,城市\r\n");
    struct Step {
        std::string args;
        int exitCode;
        std::string line;
        int64_t rows;
    };
    for (const Step& s : std::vector<Step>{
             {"--help", 0, "--pause-every", 0},
             {"open " + book + " --sheet 0", 0, "1. 姓名", 0},  // below one: the first
             {"open " + tt::shellQuote((dir / "none.xls").string()), 1,
              "[ZazIV : 导入数据1出错! # 53]", 0},
             {"export", 1, "[Tabrovin] 没有要导出的列!", 0},  // the column list is empty
             // Headings only: no row, but the names are saved.
             {"import " + tt::shellQuote((dir / "只有标题.csv").string()), 0,
              "[Tabrovin] 导入完成了!", 0},
             {"export", 1, "[Tabrovin] 工作数据表中没有数据", 0},
             {"rows --from 0", 2, "--from 需要一个从 1 起的整数", 0},
             {"open " + book, 0, "数据行数：5\n列数：3\n1. 姓名\n2. 城市\n", 0},
             {"import " + book + " --columns 1,2", 0, "[Tabrovin] 导入完成了!", 5},
             {"dedupe --column 1", 0, "去重复完成了,总数还有3!", 3},
             {"undo", 0, "5 行", 5},
             {"undo", 1, "", 5},  // one level only: a refusal, not a usage error
             {"dedupe --column 1", 0, "", 3},
             {"delete --column 1 --keyword 上", 0, "", 2},
             {"export --col 1=城 --col 0 --rows 1", 0, " 完成了导出,2页,存于[导出]文件夹下.", 2}}) {
        EXPECT_TRUE(tt::exited(batch(s.args), s.exitCode, s.line)) << s.args;
        EXPECT_EQ(rowCount(), s.rows) << s.args;
        EXPECT_TRUE(s.exitCode == 0 || exportEmpty()) << s.args;
    }
    EXPECT_EQ(tt::readBook(ws.paths.exportFile(2)).value().at(0).rows,
              (Rows{{"城", "姓名"}, {"Beijing", "李四"}}));
    EXPECT_EQ(batch("rows --from 2 --count 1").output, "编号\t姓名\t城市\n2\t李四\tBeijing\n");

    // Pages that fail are never reported as done.
    std::filesystem::remove_all(ws.paths.exportDir());
    EXPECT_TRUE(tt::exited(batch("export --rows 2"), 1, "[ZazIV : 导出数据1出错! # 76]"));
}

// --columns ticks columns as the window does: sheet order, each once. Typos
// exit 2, refused headings 1, and neither changes anything.
TEST_F(BatchCommand, ArgumentsAreCheckedBeforeAnythingChanges) {
    ASSERT_EQ(batch("import " + book + " --columns 2,1,2").exitCode, 0);
    EXPECT_EQ(columnList(), (Names{"姓名", "城市"}));
    for (const std::string& args : std::vector<std::string>{
             "import " + book + " --columns 1,13", "import " + book + " --columns 1,,2",
             "import " + book + " --pause-every x", "import " + book + " --sheet abc",
             "open " + book + " --sheet abc", "dedupe --column 1 --pause-every x", "export --col 9",
             "export --col 1 --col 1", "frobnicate", "import", "open " + book + " --sheet"}) {
        EXPECT_TRUE(tt::exited(batch(args), 2)) << args;
        EXPECT_EQ(rowCount(), 5) << args;
    }
    EXPECT_TRUE(
        tt::contains(batch("import " + book + " --columns 1,13").output, "--columns 中的 13"));
    EXPECT_EQ(columnList(), (Names{"姓名", "城市"}));
    for (const char* col : {"1=a|@|5", "1="}) {
        EXPECT_TRUE(
            tt::exited(batch("export --col 0 --col " + tt::shellQuote(col)), 1, "[Tabrovin]"));
        EXPECT_TRUE(exportEmpty()) << col;
    }
}

TEST_F(BatchCommand, ASecondStepOnTheFolderIsRefusedAtOnceNamingTheHolder) {
    ASSERT_EQ(batch("import " + book).exitCode, 0);
    auto held = tabrovin::FolderLock::acquire(dir / "data", "另一个导入");
    ASSERT_TRUE(held.ok()) << held.error().description;
    for (const char* step : {"export", "dedupe --column 0", "rows"})
        EXPECT_TRUE(tt::exited(batch(step), 1, "另一个导入")) << step;
    EXPECT_TRUE(exportEmpty());
    EXPECT_EQ(rowCount(), 5);
}
