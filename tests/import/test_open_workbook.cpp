// Choosing a workbook: database reset, headings, counters and refusals.
#include "import/open_workbook.h"
#include "tests/support/workspace_fixture.h"

using namespace tabrovin;
using tabrovin::testing::WorkspaceTest;
using Names = std::vector<std::string>;

class OpenWorkbook : public WorkspaceTest {
  protected:
    Result<OpenReport> open(const std::filesystem::path& book, int sheet = 1) {
        return openWorkbook(ws, {book, sheet}, progress);
    }
};

TEST_F(OpenWorkbook, ListsHeadingsAndStartsTheDatabaseOver) {
    fill({{"old row"}});
    auto r = open(writeXls("a.xls", {{{"姓名", "", "电话"}, {"张三", "x", "138"}, {"李四"}}}));
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(r->headings, (Names{"姓名", "", "电话"}));  // blank headings are listed too
    EXPECT_EQ(r->dataRows, 2);
    EXPECT_EQ(r->columnsShown, 2);
    EXPECT_EQ(progress.values(Counter::Rows), (std::vector<int64_t>{2}));
    EXPECT_EQ(progress.values(Counter::Columns), (std::vector<int64_t>{2}));
    EXPECT_EQ(rowCount(), 0);
}

TEST_F(OpenWorkbook, ChoosesTheSheetByNumber) {
    auto book =
        writeXls("b.xls", {{{"one"}, {"1"}}, {{"two", "more"}, {"2", "3"}}, {{"a", "b"}}, {}});
    EXPECT_EQ(open(book, 2)->headings, (Names{"two", "more"}));
    // A sheet of headings only, or an empty one, has no data rows and lists nothing.
    for (int sheet : {3, 4}) {
        auto r = open(book, sheet);
        ASSERT_TRUE(r.ok()) << sheet;
        EXPECT_EQ(r->dataRows, 0) << sheet;
        EXPECT_TRUE(r->headings.empty()) << sheet;
    }
    EXPECT_EQ(open(book, 4)->columnsShown, 0);

    fill({{"kept"}});
    auto missing = open(book, 5);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().number, err::kSubscript);
    EXPECT_EQ(rowCount(), 0);  // the reset came before the sheet was found missing
}

TEST_F(OpenWorkbook, BadFilesAreNamedErrors) {
    auto junk = dir / "junk.xls";
    std::string bytes;
    for (int i = 0; i < 1000; ++i) bytes += std::string("\x00\x01\x02\xFF", 4);
    tabrovin::testing::writeFile(junk, bytes);
    auto r = open(junk);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().number, err::kNotWorkbook);

    auto missing = open(dir / "missing.xls");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().number, err::kFileNotFound);
    EXPECT_NE(missing.error().description.find("missing.xls"), std::string::npos);
}

TEST_F(OpenWorkbook, AFolderOrAMissingTemplateLeavesTheTable) {
    fill({{"kept"}});
    std::filesystem::create_directories(dir / "folder.xls");
    auto folder = open(dir / "folder.xls");
    ASSERT_FALSE(folder.ok());
    EXPECT_EQ(folder.error().number, err::kFileAccess);

    std::filesystem::remove(ws.paths.blankDb());
    auto noTemplate = open(writeXls("c.xls", {{{"a"}, {"1"}}}));
    ASSERT_FALSE(noTemplate.ok());
    EXPECT_NE(noTemplate.error().description.find("B.mdb"), std::string::npos);
    EXPECT_EQ(rowCount(), 1);
}
