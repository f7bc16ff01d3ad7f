// tabrovin-batch with the import options: header row, trailing rows and
// appending several workbooks; how the arguments are read and refused.
#include "tests/support/workspace_fixture.h"

namespace tt = tabrovin::testing;
using Names = std::vector<std::string>;
using Rows = std::vector<std::vector<std::string>>;

namespace {

class BatchAppend : public tt::WorkspaceTest {
  protected:
    void SetUp() override {
        tt::writeFile(dir / "一部.csv", "一部报表\n姓名,金额\n张三,1\n李四,2\n合计,3\n");
        tt::writeFile(dir / "二部.csv", "二部报表\n金额,城市,姓名\n4,北京,王五\n合计,,\n");
    }
    std::string book(const std::string& name) { return tt::shellQuote((dir / name).string()); }
};

}  // namespace

TEST_F(BatchAppend, HeaderAndTrailingRowsAndAppendsRunAsTheWindowsOptions) {
    const std::string layout = " --header-row 2 --skip-last 1";
    EXPECT_TRUE(tt::exited(batch("open " + book("一部.csv") + layout), 0,
                           "数据行数：2\n列数：2\n1. 姓名\n2. 金额\n"));
    ASSERT_TRUE(tt::exited(batch("import " + book("一部.csv") + layout), 0));

    EXPECT_TRUE(tt::exited(batch("import " + book("二部.csv") + " " + book("一部.csv") + layout +
                                 " --append --source-column"),
                           0, "追加工作簿数：2\n追加行数：3\n"));
    EXPECT_EQ(columnList(), (Names{"姓名", "金额", "来源文件", "城市"}));
    EXPECT_EQ(table(4)[2], (std::vector<std::string>{"王五", "4", "二部.csv", "北京"}));
    EXPECT_EQ(rowCount(), 5);

    // --columns unticks by the first workbook's columns, in every workbook.
    EXPECT_TRUE(tt::exited(batch("import " + book("一部.csv") + " " + book("二部.csv") + layout +
                                 " --append --columns 1"),
                           0));
    EXPECT_EQ(table(2).back(), (std::vector<std::string>{"王五", "<null>"}));
    EXPECT_EQ(rowCount(), 8);
}

// Typos exit 2; a layout one of the workbooks cannot take is the step's refusal, 1.
TEST_F(BatchAppend, BadOptionsAndLayoutsAreRefusedBeforeTheTableChanges) {
    ASSERT_EQ(batch("import " + book("一部.csv") + " --header-row 2").exitCode, 0);
    const std::string one = book("一部.csv"), two = book("二部.csv");
    for (const auto& [args, exitCode, line] :
         std::vector<std::tuple<std::string, int, std::string>>{
             {"import " + one + " " + two, 2, "需要 --append"},
             {"import " + one + " --source-column", 2, "只能与 --append"},
             {"open " + one + " " + two, 2, "open 需要一个工作簿文件"},
             {"import " + one + " --header-row 0", 2, "--header-row"},
             {"import " + one + " --skip-last -1", 2, "--skip-last"},
             {"import " + one + " " + two + " --append --header-row 2 --skip-last 2", 1,
              "二部.csv"}}) {
        EXPECT_TRUE(tt::exited(batch(args), exitCode, line)) << args;
        EXPECT_EQ(rowCount(), 3) << args;
    }
}
