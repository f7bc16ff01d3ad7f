// The export run: pages by row position, files read back by xlrd, pages
// that fail, cancels and refusals.
#include <fstream>
#include <iterator>
#include <set>

#include "app/outcomes.h"
#include "export/run_export.h"
#include "export/write_export_workbook.h"
#include "tests/support/workspace_fixture.h"

using namespace tabrovin;
using tabrovin::testing::WorkspaceTest;
namespace tt = tabrovin::testing;
using Rows = std::vector<std::vector<std::string>>;
using Files = std::set<std::string>;

class RunExport : public WorkspaceTest {
  protected:
    // Rows r = 1..n: {"<prefix>n<r>", "p<r>", "c<r>"}.
    void fillNumbered(int n, const std::string& prefix = "") {
        Rows rows;
        for (int r = 1; r <= n; ++r) {
            auto s = std::to_string(r);
            rows.push_back({prefix + "n" + s, "p" + s, "c" + s});
        }
        fill(rows);
    }
    Result<ExportReport> exportRows(int32_t perWorkbook, std::vector<ExportColumn> columns = {
                                                             {"名", 0}, {"电话", 1}, {"城", 2}}) {
        return runExport(ws, {std::move(columns), perWorkbook}, progress);
    }
    Rows readBack(int page) { return tt::readBook(ws.paths.exportFile(page)).value().at(0).rows; }
    Files files() { return tt::namesIn(ws.paths.exportDir()); }
    static Files pages(std::initializer_list<int> numbers) {
        Files out;
        for (int p : numbers) out.insert("转换后的" + std::to_string(p) + ".xls");
        return out;
    }
    // Each page reported as failed, with its error number.
    std::vector<std::pair<int, int>> failures() {
        std::vector<std::pair<int, int>> out;
        for (const auto& [page, e] : progress.failures) out.emplace_back(page, e.number);
        return out;
    }
};

TEST_F(RunExport, PagesFollowRowPositionsAcrossIdGaps) {
    fillNumbered(260);
    ASSERT_TRUE(ws.openConn().ok());
    ASSERT_TRUE(ws.conn.run({"delete from wen where id % 26 = 0", {}}).ok());  // 10 gaps
    auto r = exportRows(100, {{"城", 2}, {"名", 0}});
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(exportDone(*r).text, " 完成了导出,3页,存于[导出]文件夹下.");  // no failed page
    EXPECT_TRUE(progress.values(Counter::Done).empty()) << "已导入 counts imported rows, not pages";
    auto p1 = readBack(1), p3 = readBack(3);
    ASSERT_EQ(p1.size(), 101u);
    EXPECT_EQ(p1[0], (std::vector<std::string>{"城", "名"}));
    EXPECT_EQ(p1[100], (std::vector<std::string>{"c103", "n103"}));  // ids 26, 52 and 78 are gone
    EXPECT_EQ(p3.size(), 51u);
    EXPECT_EQ(p3.back(), (std::vector<std::string>{"c259", "n259"}));
    EXPECT_EQ(files(), pages({1, 2, 3}));
}

TEST_F(RunExport, ExactMultiplesSingleRowsAndLargePages) {
    fillNumbered(6);
    EXPECT_EQ(exportRows(3)->pages, 2);
    EXPECT_EQ(files(), pages({1, 2}));
    EXPECT_EQ(exportRows(1)->pages, 6);
    EXPECT_EQ(readBack(6), (Rows{{"名", "电话", "城"}, {"n6", "p6", "c6"}}));
    EXPECT_EQ(exportRows(kMaxRowsPerWorkbook)->pages, 1);
    EXPECT_EQ(readBack(1).size(), 7u);  // an earlier file of the same page is replaced
}

TEST_F(RunExport, APageWithoutRowsHoldsTheHeadingsOnly) {
    fillNumbered(3);
    ASSERT_TRUE(ws.openConn().ok());
    ExportWorkbookWriter writer(ws.paths, {{"城", 2}, {"名", 0}});
    std::vector<std::string> cells;
    ASSERT_TRUE(writer.loadTemplate().ok());
    EXPECT_EQ(*writer.read(ws.conn, 3, 100, cells), 3);
    ASSERT_TRUE(writer.write(ws.paths.exportFile(7), cells).ok());
    EXPECT_EQ(readBack(7), (Rows{{"城", "名"}}));
}

// A refused run, a missing template included, touches no page, older ones neither.
TEST_F(RunExport, RefusalsWriteNothingAndKeepOlderPages) {
    EXPECT_TRUE(tt::failsWith(exportRows(10), err::kRefused));  // empty table
    fillNumbered(3);
    for (int32_t bad : {0, -1, kMaxRowsPerWorkbook + 1})
        EXPECT_TRUE(tt::failsWith(exportRows(bad), err::kRefused)) << bad;
    EXPECT_TRUE(tt::failsWith(exportRows(10, {}), err::kRefused, "没有要导出的列!"));
    EXPECT_TRUE(tt::failsWith(exportRows(10, {{"名", 0}, {"x", 51}}), err::kNoSuchColumn));
    EXPECT_EQ(files(), Files{});

    ASSERT_TRUE(exportRows(1).ok());
    std::filesystem::remove(ws.paths.exportTemplate());
    EXPECT_TRUE(tt::failsWith(exportRows(1), err::kFileNotFound));
    EXPECT_TRUE(progress.failures.empty());
    EXPECT_EQ(files(), pages({1, 2, 3}));
}

// A template whose own rows every page would push past the sheet's end is
// one refusal before the first page, not one failure per page.
TEST_F(RunExport, ATemplateNoPageCanPassIsRefusedOnceBeforeAnyPage) {
    tt::CommandResult made = tt::runPython(
        "import sys, xlwt\nw = xlwt.Workbook()\nw.add_sheet('s').write(65000, 0, 'end')\n"
        "w.save(sys.argv[1])\n",
        tt::shellQuote(ws.paths.exportTemplate().string()));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    fillNumbered(1000);
    EXPECT_TRUE(tt::failsWith(exportRows(536), err::kTooManyRows, "第 65001 行"));
    EXPECT_TRUE(progress.failures.empty());
    EXPECT_EQ(files(), Files{});
    // A page that ends on the sheet's last row still fits.
    auto r = exportRows(535);
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(files(), pages({1, 2}));
}

TEST_F(RunExport, MissingOutputFolderFailsEveryPageAndSaysSo) {
    fillNumbered(5);
    std::filesystem::remove_all(ws.paths.exportDir());
    auto r = exportRows(2);
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(r->pages, 3);
    EXPECT_EQ(r->failedPages, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(failures(),
              (std::vector<std::pair<int, int>>{
                  {1, err::kPathNotFound}, {2, err::kPathNotFound}, {3, err::kPathNotFound}}));
    EXPECT_EQ(exportDone(*r).icon, Icon::Exclamation);
    EXPECT_TRUE(tt::contains(exportDone(*r).text, "3 页（第 1、2、3 页）没有写成"));
    EXPECT_FALSE(std::filesystem::exists(ws.paths.exportDir()));  // not made behind the user's back
}

// A page whose rows cannot be read fails alone: the next one starts where it should.
TEST_F(RunExport, APageThatCannotBeReadFailsAlone) {
    fillNumbered(5);
    // Row 3's text overflows its page; cutting the overflow chain makes the
    // row unreadable while its id stays readable.
    ASSERT_TRUE(ws.openConn().ok());
    ASSERT_TRUE(ws.conn.run({"update wen set a1=?1 where id=3", {std::string(20000, 'Q')}}).ok());
    auto pageSize = ws.conn.readNumber({"pragma page_size", {}});
    ASSERT_TRUE(pageSize.ok());
    ws.conn.release();
    std::fstream db(ws.paths.workingDb(), std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(db)), {});
    // An overflow page: the next one's number, then the text.
    size_t at = 0;
    while ((at += *pageSize) + 8 < bytes.size())
        if (bytes.compare(at + 4, 4, "QQQQ") == 0 && bytes.compare(at, 4, std::string(4, 0)) != 0)
            break;
    ASSERT_LT(at + 8, bytes.size());
    db.seekp(static_cast<std::streamoff>(at));
    db.write("\x7f\xff\xff\xff", 4);
    db.close();
    auto r = exportRows(2);
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(r->failedPages, (std::vector<int>{2}));
    EXPECT_EQ(files(), pages({1, 3}));
    EXPECT_EQ(readBack(3), (Rows{{"名", "电话", "城"}, {"n5", "p5", "c5"}}));
}

TEST_F(RunExport, AFailedPageRemovesAnOlderFileOfItsNumberUnlessTheUserProtectedIt) {
    fillNumbered(7, "old");
    ASSERT_TRUE(exportRows(2).ok());
    // The older page 2 is write-protected, so this run cannot write its page 2.
    std::filesystem::permissions(ws.paths.exportFile(2), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::group_read |
                                                             std::filesystem::perms::others_read);
    // Page 4's name is taken by a folder: it fails too, and nothing of the
    // user's is in the way there.
    std::filesystem::remove(ws.paths.exportFile(4));
    std::filesystem::create_directory(ws.paths.exportFile(4));
    ASSERT_TRUE(ws.openConn().ok());
    ASSERT_TRUE(ws.conn.run({"delete from wen", {}}).ok());
    ws.conn.release();
    fillNumbered(7, "new");
    auto r = exportRows(2);
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(r->failedPages, (std::vector<int>{2, 4}));
    EXPECT_EQ(r->protectedPages, (std::vector<int>{2}));
    EXPECT_EQ(readBack(1)[1][0], "newn1");
    EXPECT_EQ(readBack(2)[1][0], "oldn3") << "the file the user protected stays as it was";
    EXPECT_EQ(readBack(3)[1][0], "newn5");
    EXPECT_TRUE(tt::contains(exportDone(*r).text, "2 页（第 2、4 页）没有写成，2 页存于"));
    EXPECT_TRUE(tt::contains(exportDone(*r).text, "第 2 页的旧文件是只读的"));
}

TEST_F(RunExport, ACancelKeepsThePagesWrittenAndNoPartialOne) {
    fillNumbered(5);
    progress.cancelAfter(2);
    EXPECT_TRUE(tt::failsWith(exportRows(1), err::kCancelled, "已写出的 2 页"));
    EXPECT_EQ(files(), pages({1, 2}));  // no half-written page under any name
    EXPECT_EQ(readBack(2)[1][0], "n2");
}

TEST_F(RunExport, LeftoversOfAKilledRunGoOthersStay) {
    fillNumbered(1);
    for (const char* name : {"转换后的3.xls.~123-0.tmp", "转换后的说明.txt", "notes.xls.~1-0.tmp"})
        tt::writeFile(ws.paths.exportDir() / tt::u8path(name), "x");
    ASSERT_TRUE(exportRows(10).ok());
    Files expected = pages({1});
    expected.insert({"转换后的说明.txt", "notes.xls.~1-0.tmp"});
    EXPECT_EQ(files(), expected);
}
