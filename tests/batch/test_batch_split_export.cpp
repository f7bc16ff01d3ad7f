// tabrovin-batch export with --format, --split-by and --max-files: how the
// options are read, what is printed, where the files go.
#include "tests/sheets/sheet_test_util.h"
#include "tests/support/workspace_fixture.h"

namespace tt = tabrovin::testing;
namespace fs = std::filesystem;

namespace {

class BatchSplit : public tt::WorkspaceTest {
  protected:
    void SetUp() override {
        auto book = writeXls("客户.xls", {{{"姓名", "城市"},
                                           {"张三", "北京"},
                                           {"李四", "上海"},
                                           {"王五", "北京"},
                                           {"赵六", "CON"}}});
        ASSERT_EQ(batch("import " + tt::shellQuote(book.string())).exitCode, 0);
    }
    // The one folder a split made under 导出.
    fs::path splitFolder() {
        for (auto& e : fs::directory_iterator(ws.paths.exportDir()))
            if (e.is_directory()) return e.path();
        return {};
    }
};

}  // namespace

TEST_F(BatchSplit, SplitsByTheColumnIntoItsOwnFolder) {
    EXPECT_TRUE(tt::exited(batch("export --split-by 1 --col 0 --col 1=城 --format xlsx"), 0,
                           "完成了导出,3个文件,存于[导出/按城拆分-"));
    const fs::path folder = splitFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(tt::readSheet(folder / tt::u8path("北京.xlsx")),
              (tt::Grid{{"姓名", "城"}, {"张三", "北京"}, {"王五", "北京"}}));
    EXPECT_TRUE(fs::exists(folder / "CON_.xlsx"));
}

TEST_F(BatchSplit, OptionsAreCheckedAndTheFileLimitRefuses) {
    EXPECT_EQ(batch("export --format ods").exitCode, 2);
    EXPECT_EQ(batch("export --split-by 51").exitCode, 2);
    EXPECT_EQ(batch("export --max-files 3").exitCode, 2) << "only with --split-by";
    EXPECT_TRUE(tt::exited(batch("export --split-by 1 --max-files 2"), 1, "超过了上限 2 个"));
    EXPECT_TRUE(fs::is_empty(ws.paths.exportDir()));
    EXPECT_TRUE(tt::exited(batch("export --format xlsx --rows 3"), 0));
    EXPECT_TRUE(fs::exists(ws.paths.exportFile(2, ".xlsx")));
}
