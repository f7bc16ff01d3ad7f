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
    auto r = batch("open " + book("一部.csv") + layout);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("数据行数：2\n列数：2\n1. 姓名\n2. 金额\n"), std::string::npos)
        << r.output;
    r = batch("import " + book("一部.csv") + layout);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(table(2), (Rows{{"张三", "1"}, {"李四", "2"}}));

    r = batch("import " + book("二部.csv") + " " + book("一部.csv") + layout +
              " --append --source-column");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("追加工作簿数：2\n追加行数：3\n"), std::string::npos) << r.output;
    EXPECT_EQ(columnList(), (Names{"姓名", "金额", "来源文件", "城市"}));
    EXPECT_EQ(table(4), (Rows{{"张三", "1", "<null>", "<null>"},
                              {"李四", "2", "<null>", "<null>"},
                              {"王五", "4", "二部.csv", "北京"},
                              {"张三", "1", "一部.csv", "<null>"},
                              {"李四", "2", "一部.csv", "<null>"}}));

    // --columns unticks by the first workbook's columns, in every workbook.
    r = batch("import " + book("一部.csv") + " " + book("二部.csv") + layout +
              " --append --columns 1");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(table(2).back(), (std::vector<std::string>{"王五", "<null>"}));
    EXPECT_EQ(rowCount(), 8);
}

TEST_F(BatchAppend, BadOptionsAndLayoutsAreRefusedBeforeTheTableChanges) {
    ASSERT_EQ(batch("import " + book("一部.csv") + " --header-row 2").exitCode, 0);
    struct Case {
        std::string args;
        int exitCode;
        std::string line;
    };
    for (const Case& c : std::vector<Case>{
             {"import " + book("一部.csv") + " " + book("二部.csv"), 2, "需要 --append"},
             {"import " + book("一部.csv") + " --source-column", 2, "只能与 --append"},
             {"open " + book("一部.csv") + " " + book("二部.csv"), 2, "open 需要一个工作簿文件"},
             {"import " + book("一部.csv") + " --header-row 0", 2, "--header-row"},
             {"import " + book("一部.csv") + " --skip-last -1", 2, "--skip-last"},
             {"open " + book("一部.csv") + " --header-row 9", 1, "[Tabrovin] 标题行 9 超出"},
             {"import " + book("一部.csv") + " --header-row 2 --skip-last 3", 1, "没有剩下数据行"},
             {"import " + book("一部.csv") + " " + book("二部.csv") +
                  " --append --header-row 2 --skip-last 2",
              1, "二部.csv"},
         }) {
        auto r = batch(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.output;
        EXPECT_NE(r.output.find(c.line), std::string::npos) << c.args << "\n" << r.output;
        EXPECT_EQ(rowCount(), 3) << c.args;
    }
}
