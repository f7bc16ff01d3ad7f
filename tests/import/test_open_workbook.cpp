// Choosing a workbook: database reset, headings, counters and refusals.
#include "import/open_workbook.h"
#include "tests/support/workspace_fixture.h"

using namespace tabrovin;
using tabrovin::testing::WorkspaceTest;
namespace tt = tabrovin::testing;
using Names = std::vector<std::string>;

class OpenWorkbook : public WorkspaceTest {
  protected:
    Result<OpenReport> open(const std::filesystem::path& book, int sheet = 1) {
        return openWorkbook(ws, {book, sheet}, progress);
    }
};

TEST_F(OpenWorkbook, ListsTheChosenSheetsHeadingsAndStartsTheDatabaseOver) {
    fill({{"old row"}});
    auto book = writeXls("a.xls", {{{"姓名", "", "电话"}, {"张三", "x", "138"}, {"李四"}},
                                   {{"two", "more"}, {"2", "3"}},
                                   {{"a", "b"}},
                                   {}});
    auto r = open(book);
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(r->headings, (Names{"姓名", "", "电话"}));  // blank headings are listed too
    EXPECT_EQ(r->dataRows, 2);
    EXPECT_EQ(r->columnsShown, 2);
    EXPECT_EQ(progress.values(Counter::Rows), (std::vector<int64_t>{2}));
    EXPECT_EQ(progress.values(Counter::Columns), (std::vector<int64_t>{2}));
    EXPECT_EQ(rowCount(), 0);

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
    EXPECT_TRUE(tt::failsWith(open(book, 5), err::kSubscript));
    EXPECT_EQ(rowCount(), 0);  // the reset came before the sheet was found missing
}

// A file that cannot be read is a named error; a folder or a missing
// template is found before the table is reset, so it keeps its rows.
TEST_F(OpenWorkbook, UnreadableFilesAreNamedErrors) {
    tt::writeFile(dir / "junk.xls", tt::repeat(std::string("\x00\x01\x02\xFF", 4), 1000));
    EXPECT_TRUE(tt::failsWith(open(dir / "junk.xls"), err::kNotWorkbook));
    EXPECT_TRUE(tt::failsWith(open(dir / "missing.xls"), err::kFileNotFound, "missing.xls"));

    fill({{"kept"}});
    std::filesystem::create_directories(dir / "folder.xls");
    EXPECT_TRUE(tt::failsWith(open(dir / "folder.xls"), err::kFileAccess));
    std::filesystem::remove(ws.paths.blankDb());
    EXPECT_TRUE(
        tt::failsWith(open(writeXls("c.xls", {{{"a"}, {"1"}}})), err::kFileNotFound, "B.mdb"));
    EXPECT_EQ(rowCount(), 1);
}
