// Appending several workbooks: columns matched by heading, the source
// column, the 51-column refusal, an error in one of several files, and undo.
#include <sqlite3.h>

#include "core/column_list.h"
#include "core/undo.h"
#include "import/append_workbooks.h"
#include "import/import_rows.h"
#include "tests/support/workspace_fixture.h"

using namespace tabrovin;
using tabrovin::testing::WorkspaceTest;
namespace tt = tabrovin::testing;
using Names = std::vector<std::string>;
using Sheet = std::vector<std::vector<std::string>>;

namespace {

class AppendWorkbooks : public WorkspaceTest {
  protected:
    Result<AppendReport> append(std::vector<std::filesystem::path> books, bool source = false,
                                std::optional<int32_t> pauseEvery = 500) {
        AppendRequest r;
        r.workbooks = std::move(books);
        r.sourceColumn = source;
        r.pauseEvery = pauseEvery;
        return appendWorkbooks(ws, r, progress);
    }
    // `rows` rows of <tag><row> under the single heading 编号.
    std::filesystem::path numbered(const std::string& name, const std::string& tag, int rows) {
        Sheet sheet{{"编号"}};
        for (int r = 1; r <= rows; ++r) sheet.push_back({tag + std::to_string(r)});
        return writeXls(name, {sheet});
    }
};

}  // namespace

TEST(MapHeadings, MatchesTrimmedHeadingsInOrderAndAddsNewOnesAtTheEnd) {
    Names names{"姓名", "金额"};
    auto t = mapHeadings(names, {"\u3000金额 ", "城市", "姓名\t"});
    ASSERT_TRUE(t.ok());
    EXPECT_EQ(*t, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(names, (Names{"姓名", "金额", "城市"}));

    // Equal headings: the first to the first, one more than the list has is new.
    names = {"金额", "x", "金额"};
    EXPECT_EQ(*mapHeadings(names, {"金额", "金额", "金额"}), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(names.size(), 4u);
    // A break written CR LF matches the same heading stored with one line feed.
    names = {"上月\n金额", ""};
    EXPECT_EQ(*mapHeadings(names, {"上月\r\n金额", "  "}), (std::vector<int>{0, 1}));
    EXPECT_EQ(headingKey(" \u3000a\r\nb\rc\u3000 "), "a\nb\nc");

    names.assign(50, "old");
    EXPECT_TRUE(mapHeadings(names, {"new"}).ok());
    EXPECT_TRUE(tt::failsWith(mapHeadings(names, {"old", "newer"}), err::kRefused, "51"));
    EXPECT_EQ(names.size(), 51u);  // unchanged by the refusal
}

TEST_F(AppendWorkbooks, ColumnsFollowTheHeadingsWhateverTheirOrder) {
    auto a = writeXls("a.xls", {{{"姓名", "金额"}, {"张三", "1"}}});
    ASSERT_TRUE(importRows(ws, {a, 1, {1, 2}, {"姓名", "金额"}, 500}, progress).ok());
    auto b = writeXls("b.xls", {{{"城市", " 姓名", "金额　"}, {"北京", "李四", "2"}}});
    tt::writeFile(dir / "c.csv", "金额,姓名,金额,备注\n3,王五,4,x\n,,,\n");
    auto r = append({b, dir / "c.csv"});
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(r->files, 2);
    EXPECT_EQ(r->inserted, 2);
    EXPECT_EQ(columnList(), (Names{"姓名", "金额", "城市", "金额", "备注"}));
    EXPECT_EQ(r->columnNames, columnList());
    EXPECT_EQ(table(5), (Sheet{{"张三", "1", "<null>", "<null>", "<null>"},
                               {"李四", "2", "北京", "<null>", "<null>"},
                               {"王五", "3", "<null>", "4", "x"}}));
    EXPECT_EQ(progress.values(Counter::Rows).back(), 2);
    EXPECT_EQ(progress.values(Counter::Done).back(), 2);
}

TEST_F(AppendWorkbooks, UntickedHeadingsAndAnEmptyTablesOldNamesAreLeftOut) {
    // The list names rows that are gone: an empty table starts a new list.
    ASSERT_TRUE(column_list::save({"旧列"}, ws.paths.columnList()).ok());
    auto a = writeXls("a.xls", {{{"姓名", "电话", "电话"}, {"张三", "1", "2"}}});
    auto b = writeXls("b.xls", {{{"电话", "电话", "姓名"}, {"3", "4", "李四"}}});
    AppendRequest r;
    r.workbooks = {a, b};
    r.listed = {"姓名", "电话", "电话"};
    r.ticked = {true, true, false};  // only the second 电话 is left out
    auto done = appendWorkbooks(ws, r, progress);
    ASSERT_TRUE(done.ok()) << done.error().description;
    EXPECT_EQ(columnList(), (Names{"姓名", "电话"}));
    EXPECT_EQ(table(2), (Sheet{{"张三", "1"}, {"李四", "3"}}));
}

TEST_F(AppendWorkbooks, TheSourceColumnHoldsEachRowsFileAndUndoTakesTheAppendBack) {
    fill({{"old"}});
    ASSERT_TRUE(column_list::save({"编号"}, ws.paths.columnList()).ok());
    auto r = append({numbered("一部.xls", "a", 2), numbered("二部.xls", "b", 1)}, true);
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(columnList(), (Names{"编号", "来源文件"}));
    EXPECT_EQ(
        table(2),
        (Sheet{{"old", "<null>"}, {"a1", "一部.xls"}, {"a2", "一部.xls"}, {"b1", "二部.xls"}}));
    // A second append puts its file names in the same column.
    ASSERT_TRUE(append({numbered("三部.xls", "c", 1)}, true).ok());
    EXPECT_EQ(table(2).back(), (std::vector<std::string>{"c1", "三部.xls"}));

    auto undone = undoLastStep(ws);
    ASSERT_TRUE(undone.ok()) << undone.error().description;
    EXPECT_EQ(undone->step, "追加导入");
    EXPECT_EQ(rowCount(), 4);
    EXPECT_EQ(columnList(), (Names{"编号", "来源文件"}));
}

// The whole step is refused before any row when the headings of all the
// workbooks would need more than 51 columns, or a layout does not fit one.
TEST_F(AppendWorkbooks, RefusalsComeBeforeAnyRow) {
    fill({{"old"}});
    ASSERT_TRUE(column_list::save({"编号"}, ws.paths.columnList()).ok());
    Sheet wide(2);
    for (int c = 0; c < 30; ++c) {
        wide[0].push_back("w" + std::to_string(c));
        wide[1].push_back("1");
    }
    auto first = writeXls("first.xls", {wide});
    for (auto& h : wide[0]) h = "v" + h;
    auto second = writeXls("second.xls", {wide});
    EXPECT_TRUE(tt::failsWith(append({first, second}), err::kRefused, "second.xls"));
    EXPECT_EQ(rowCount(), 1);
    EXPECT_EQ(columnList(), (Names{"编号"}));
    EXPECT_FALSE(canUndo(ws.paths));

    AppendRequest r;
    r.workbooks = {numbered("ok.xls", "a", 3), writeXls("short.xls", {{{"编号"}, {"1"}}})};
    r.layout = {1, 1};
    EXPECT_TRUE(tt::failsWith(appendWorkbooks(ws, r, progress), err::kRefused, "short.xls"));
    EXPECT_EQ(rowCount(), 1);
}

// An error in one workbook keeps the rows of those before it, and of itself
// up to the error, and names where it happened.
TEST_F(AppendWorkbooks, AnErrorInTheThirdOfFourKeepsTheRowsBefore) {
    auto one = numbered("1.xls", "a", 10), two = numbered("2.xls", "b", 10);
    auto four = numbered("4.xls", "d", 10);
    tt::writeFile(dir / "3.xls", std::string(4096, '\xFF'));  // read as text, in no encoding
    auto r = append({one, two, dir / "3.xls", four});
    EXPECT_TRUE(tt::failsWith(r, err::kCellConversion,
                              "第 3 个工作簿“3.xls”第 1 个工作表出错：第 1 行第 1 列"));
    EXPECT_EQ(rowCount(), 20);
    EXPECT_EQ(table(1).back()[0], "b10");
    EXPECT_EQ(columnList(), (Names{"编号"}));
    ASSERT_TRUE(undoLastStep(ws).ok());
    EXPECT_EQ(rowCount(), 0);

    // The database taken by another program in the middle of the third.
    sqlite3* other = nullptr;
    progress.onPause = [&] {
        if (other) return;
        sqlite3_open(ws.paths.workingDb().string().c_str(), &other);
        sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    };
    r = append({one, two, numbered("3b.xls", "c", 300), four}, false, 99);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    // 100 rows committed at the pause: 20, then sheet rows 2..81 of the third;
    // the next full statement, ending at sheet row 131, is refused.
    EXPECT_TRUE(tt::failsWith(r, err::kDatabaseBase + SQLITE_BUSY,
                              "第 3 个工作簿“3b.xls”第 1 个工作表第 131 行"));
    EXPECT_EQ(rowCount(), 100);
    EXPECT_EQ(table(1).back()[0], "c80");
}
