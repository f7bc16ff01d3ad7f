// tabrovin-batch as a user runs it: one program folder, one command after another.
#include <gtest/gtest.h>

#include "core/paths.h"
#include "core/statements.h"
#include "platform/database.h"
#include "platform/folder_lock.h"
#include "tests/support/test_support.h"

namespace tt = tabrovin::testing;

namespace {

class BatchCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        tt::makeProgramFolder(dir.path());
        book = (dir / "客户.xls").string();
        auto r = tt::runPython(
            "import sys, xlwt\n"
            "wb = xlwt.Workbook(encoding='utf-8'); ws = wb.add_sheet('s')\n"
            "rows = [('姓名','城市','电话'), ('张三','北京','1'), ('李四','Beijing','2'),\n"
            "        ('王五','上海','3'), ('赵六','北京','4'), ('孙七','beijing','5')]\n"
            "for r, row in enumerate(rows):\n"
            "    for c, v in enumerate(row): ws.write(r, c, v)\n"
            "wb.save(sys.argv[1])\n",
            tt::shellQuote(book));
        ASSERT_EQ(r.exitCode, 0) << r.output;
    }
    tt::CommandResult batch(const std::string& args) {
        return tt::run(tt::shellQuote(std::string(TABROVIN_BIN_DIR) + "/tabrovin-batch") +
                       " --home " + tt::shellQuote(dir.path().string()) + " " + args);
    }
    int64_t rows() {
        tabrovin::Database db;
        EXPECT_TRUE(db.open(tabrovin::ProgramPaths(dir.path()).workingDb()).ok());
        return *db.readNumber(tabrovin::statements::countRows());
    }

    tt::TempDir dir;
    std::string book;
};

}  // namespace

TEST_F(BatchCommand, ImportCleanAndExportInTurn) {
    auto open = batch("open " + tt::shellQuote(book));
    ASSERT_EQ(open.exitCode, 0) << open.output;
    EXPECT_NE(open.output.find("数据行数：5"), std::string::npos) << open.output;
    EXPECT_NE(open.output.find("2. 城市"), std::string::npos);

    auto imported = batch("import " + tt::shellQuote(book) + " --columns 1,2");
    ASSERT_EQ(imported.exitCode, 0) << imported.output;
    EXPECT_NE(imported.output.find("[Tabrovin] 导入完成了!"), std::string::npos);
    EXPECT_EQ(rows(), 5);
    // The column list names the ticked columns: 姓名, 城市.
    EXPECT_EQ(tt::readFile(dir / "data/ini.txt"), "\xD0\xD5\xC3\xFB\r\n\xB3\xC7\xCA\xD0\r\n");

    auto dedupe = batch("dedupe --column 1");
    ASSERT_EQ(dedupe.exitCode, 0) << dedupe.output;
    EXPECT_NE(dedupe.output.find("去重复完成了,总数还有3!"), std::string::npos) << dedupe.output;
    auto del = batch("delete --column 1 --keyword 上");
    ASSERT_EQ(del.exitCode, 0) << del.output;
    EXPECT_EQ(rows(), 2);

    auto exported = batch("export --col 1=城 --col 0 --rows 1");
    ASSERT_EQ(exported.exitCode, 0) << exported.output;
    EXPECT_NE(exported.output.find(" 完成了导出,2页,存于[导出]文件夹下."), std::string::npos);
    auto read = tt::runPython(
        "import sys, xlrd\n"
        "sh = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
        "print('|'.join(sh.row_values(0) + sh.row_values(1)))\n",
        tt::shellQuote((dir / "导出/转换后的2.xls").string()));
    EXPECT_EQ(read.output, "城|姓名|Beijing|李四\n");
}

TEST_F(BatchCommand, ArgumentTyposExitTwoAndChangeNothing) {
    ASSERT_EQ(batch("import " + tt::shellQuote(book)).exitCode, 0);
    ASSERT_EQ(rows(), 5);
    const std::string quoted = tt::shellQuote(book);
    for (const std::string& args : std::vector<std::string>{
             "import " + quoted + " --columns 1,13", "import " + quoted + " --columns 1,,2",
             "import " + quoted + " --pause-every x", "import " + quoted + " --sheet abc",
             "open " + quoted + " --sheet abc", "dedupe --column 1 --pause-every x",
             "dedupe --column 7", "delete --column 1", "export --col 9", "export --col 1 --col 1",
             "frobnicate", "import", "open " + quoted + " --sheet"}) {
        auto r = batch(args);
        EXPECT_EQ(r.exitCode, 2) << args << "\n" << r.output;
        EXPECT_EQ(rows(), 5) << args;
    }
    EXPECT_NE(batch("import " + quoted + " --columns 1,13").output.find("--columns 中的 13"),
              std::string::npos);
    EXPECT_EQ(tt::readFile(dir / "data/ini.txt"),
              "\xD0\xD5\xC3\xFB\r\n\xB3\xC7\xCA\xD0\r\n\xB5\xE7\xBB\xB0\r\n");  // 姓名 城市 电话
}

// --columns ticks columns as the window does: sheet order, each once.
TEST_F(BatchCommand, ColumnsAreTicksNotAnOrder) {
    ASSERT_EQ(batch("import " + tt::shellQuote(book) + " --columns 2,1,2").exitCode, 0);
    EXPECT_EQ(tt::readFile(dir / "data/ini.txt"), "\xD0\xD5\xC3\xFB\r\n\xB3\xC7\xCA\xD0\r\n");
    ASSERT_EQ(batch("dedupe --column 1").exitCode, 0);
    EXPECT_EQ(rows(), 3);  // grouped by 城市
}

TEST_F(BatchCommand, RefusedRenamesWriteNoPage) {
    ASSERT_EQ(batch("import " + tt::shellQuote(book)).exitCode, 0);
    for (const char* col : {"1=a|@|5", "1="}) {
        auto r = batch(std::string("export --col 0 --col ") + tt::shellQuote(col));
        EXPECT_EQ(r.exitCode, 1) << col << "\n" << r.output;
        EXPECT_NE(r.output.find("[Tabrovin]"), std::string::npos) << r.output;
        EXPECT_TRUE(std::filesystem::is_empty(dir / "导出")) << col;
    }
}

// What each step does is tested on the step; here each command's exit code
// and the line it prints, on a folder where nothing was imported yet.
TEST_F(BatchCommand, EachOutcomeHasItsExitCodeAndLine) {
    tt::writeFile(dir / "只有标题.csv", "姓名,城市\r\n");
    struct Case {
        std::string args;
        int exitCode;
        std::string line;
    };
    for (const Case& c : std::vector<Case>{
             {"--help", 0, "--pause-every"},
             {"open " + tt::shellQuote(book) + " --sheet 0", 0, "1. 姓名"},  // below one: the first
             {"open " + tt::shellQuote((dir / "none.xls").string()), 1,
              "[ZazIV : 导入数据1出错! # 53]"},
             {"import " + tt::shellQuote((dir / "只有标题.csv").string()), 1,
              "[Tabrovin] 工作表中只有标题行，没有可以导入的数据行。"},
             {"export", 1, "[Tabrovin] 没有要导出的列!"},  // the column list is empty
             {"rows --from 0", 2, "--from 需要一个从 1 起的整数"}}) {
        auto r = batch(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.output;
        EXPECT_NE(r.output.find(c.line), std::string::npos) << c.args << "\n" << r.output;
    }
    EXPECT_EQ(rows(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "导出"));

    // Pages that fail are never reported as done.
    ASSERT_EQ(batch("import " + tt::shellQuote(book)).exitCode, 0);
    std::filesystem::remove_all(dir / "导出");
    auto pages = batch("export --rows 2");
    EXPECT_EQ(pages.exitCode, 1) << pages.output;
    EXPECT_NE(pages.output.find("[ZazIV : 导出数据1出错! # 76]"), std::string::npos)
        << pages.output;
}

TEST_F(BatchCommand, RowsPrintsTheTableAndUndoTakesBackOneStep) {
    ASSERT_EQ(batch("import " + tt::shellQuote(book)).exitCode, 0);
    auto shown = batch("rows --from 2 --count 1");
    EXPECT_EQ(shown.exitCode, 0) << shown.output;
    EXPECT_EQ(shown.output, "编号\t姓名\t城市\t电话\n2\t李四\tBeijing\t2\n");
    ASSERT_EQ(batch("dedupe --column 1").exitCode, 0);
    ASSERT_EQ(rows(), 3);
    auto undone = batch("undo");
    EXPECT_EQ(undone.exitCode, 0) << undone.output;
    EXPECT_NE(undone.output.find("5 行"), std::string::npos) << undone.output;
    EXPECT_EQ(rows(), 5);
    EXPECT_NE(batch("undo").exitCode, 0) << "one level only";
}
TEST_F(BatchCommand, ASecondStepOnTheFolderIsRefusedAtOnceNamingTheHolder) {
    ASSERT_EQ(batch("import " + tt::shellQuote(book)).exitCode, 0);
    auto held = tabrovin::FolderLock::acquire(dir / "data", "另一个导入");
    ASSERT_TRUE(held.ok()) << held.error().description;
    for (const char* step : {"export", "dedupe --column 0", "rows"}) {
        auto r = batch(step);
        EXPECT_EQ(r.exitCode, 1) << step;
        EXPECT_NE(r.output.find("另一个导入"), std::string::npos) << r.output;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir / "导出"));
    EXPECT_EQ(rows(), 5);
}
