// The row import: what reaches wen, counters, pauses, refusals, errors and
// cancels, and the column list saved on success.
#include <sqlite3.h>

#include "import/import_rows.h"
#include "tests/support/workspace_fixture.h"

using namespace tabrovin;
using tabrovin::testing::WorkspaceTest;
using Names = std::vector<std::string>;
using Sheet = std::vector<std::vector<std::string>>;

class ImportRows : public WorkspaceTest {
  protected:
    // Sheet 1 of `book`, the given columns, headed h<column - 1>.
    Result<ImportReport> import(const std::filesystem::path& book, std::vector<int> positions,
                                int32_t pauseEvery = 500, int sheet = 1) {
        ImportRequest r{book, sheet, positions, {}, pauseEvery};
        for (int p : positions) r.headings.push_back("h" + std::to_string(p - 1));
        return importRows(ws, r, progress);
    }
    // A heading row h0.. and `rows` rows of r * 100 + c.
    static Sheet numbered(int rows, int columns) {
        Sheet sheet(1);
        for (int c = 0; c < columns; ++c) sheet[0].push_back("h" + std::to_string(c));
        for (int r = 1; r <= rows; ++r) {
            sheet.emplace_back();
            for (int c = 0; c < columns; ++c) sheet.back().push_back(std::to_string(r * 100 + c));
        }
        return sheet;
    }
    static std::vector<int> upTo(int n, int from = 1) {
        std::vector<int> v;
        for (int k = from; k <= n; ++k) v.push_back(k);
        return v;
    }
};

TEST_F(ImportRows, TickedColumnsGoToA0UpwardsAndTheirNamesAreSaved) {
    auto book = writeXls("a.xls", {{{"名", "skip", "备注", "x"},
                                    {"张三", "no", "it's", "1"},
                                    {"", "no", "", ""},
                                    {std::string("a\0b", 3), "no", "c", ""},
                                    {"李四", "no", "say \"hi\"\nbye", "2"}}});
    auto r = importRows(ws, {book, 1, {1, 3}, {"名", "备注"}, 500}, progress);
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(r->dataRows, 4);
    EXPECT_EQ(r->columnsShown, 3);
    EXPECT_EQ(r->inserted, 4);
    EXPECT_EQ(table(3), (Sheet{{"张三", "it's", "<null>"},
                               {"", "", "<null>"},  // empty cells arrive as empty text
                               {"ab", "c", "<null>"},
                               {"李四", "say \"hi\"\nbye", "<null>"}}));
    // On disk as soon as the import returns, not only when the program closes.
    EXPECT_EQ(columnList(), (Names{"名", "备注"}));
}

TEST_F(ImportRows, CounterShowsBlockBoundsAndPausesFollowTheInterval) {
    auto book = writeXls("n.xls", {numbered(120, 2)});
    ASSERT_TRUE(import(book, {1, 2}, 0).ok());  // a pause after every row
    EXPECT_EQ(progress.values(Counter::Done), (std::vector<int64_t>{0, 52, 102, 122, 120}));
    EXPECT_EQ(progress.pauses, 120);
    EXPECT_EQ(rowCount(), 120);
    EXPECT_EQ(table(1).back()[0], "12000");
    ASSERT_FALSE(progress.advances.empty());
    EXPECT_EQ(progress.advances.back().second, 120);

    progress.pauses = 0;
    ASSERT_TRUE(import(book, {1}, 50).ok());  // every 51 rows: after rows 51 and 102
    EXPECT_EQ(progress.pauses, 2);
    EXPECT_EQ(rowCount(), 240);  // an import adds to what the table holds

    progress.counts.clear();
    ASSERT_TRUE(import(writeXls("49.xls", {numbered(49, 1)}), {1}).ok());
    EXPECT_EQ(progress.values(Counter::Done).back(), 49);
}

TEST_F(ImportRows, HeaderOnlySheetIsRefusedBeforeAnythingChanges) {
    auto book = writeXls("h.xls", {numbered(3, 2), {{"only", "header"}}, {}});
    ASSERT_TRUE(import(book, {1, 2}).ok());
    for (int sheet : {2, 3}) {
        auto r = import(book, {1}, 500, sheet);
        ASSERT_FALSE(r.ok()) << sheet;
        EXPECT_EQ(r.error().number, err::kRefused) << sheet;
        EXPECT_NE(r.error().description.find("没有可以导入的数据行"), std::string::npos);
    }
    EXPECT_EQ(rowCount(), 3);
    EXPECT_EQ(columnList(), (Names{"h0", "h1"}));
}

TEST_F(ImportRows, ImpossibleTicksAreErrorsThatChangeNothing) {
    auto book = writeXls("a.xls", {numbered(2, 2)});
    for (const auto& positions : {std::vector<int>{}, {3}, {0}, {1, -1}}) {
        auto r = import(book, positions);
        ASSERT_FALSE(r.ok()) << positions.size();
        EXPECT_EQ(r.error().number, err::kInvalidArgument);
    }
    EXPECT_NE(import(book, {1, 3}).error().description.find("第 3 列"), std::string::npos);
    auto unnamed = importRows(ws, {book, 1, {1, 2}, {"h0"}, 500}, progress);  // one name short
    ASSERT_FALSE(unnamed.ok());
    EXPECT_EQ(rowCount(), 0);
    EXPECT_TRUE(columnList().empty());
}

TEST_F(ImportRows, MoreThan51ColumnsAreRefusedBeforeAnythingChanges) {
    auto book = writeXls("w.xls", {numbered(2, 53)});
    auto r = import(book, upTo(53));
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().number, err::kRefused);
    EXPECT_NE(r.error().description.find("53"), std::string::npos);
    EXPECT_EQ(rowCount(), 0);
    EXPECT_TRUE(columnList().empty());

    ASSERT_TRUE(import(book, upTo(53, 3)).ok());
    EXPECT_EQ(table(51)[0][50], "152");
    EXPECT_EQ(columnList().size(), 51u);
}

TEST_F(ImportRows, AnErrorMidwayKeepsTheRowsBefore) {
    auto book = writeXls("big.xls", {numbered(300, 1)});
    sqlite3* other = nullptr;
    progress.onPause = [&] {
        if (other) return;
        // Another program takes the database for itself during the first pause.
        sqlite3_open(ws.paths.workingDb().string().c_str(), &other);
        sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    };
    auto r = import(book, {1}, 99);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    ASSERT_FALSE(r.ok());
    EXPECT_GT(r.error().number, err::kDatabaseBase);
    EXPECT_EQ(rowCount(), 100);
}

TEST_F(ImportRows, ACancelKeepsTheRowsInsertedAndSaysHowMany) {
    auto book = writeXls("n.xls", {numbered(120, 1)});
    progress.cancelAfter(75);  // a full statement of rows and a part of the next
    auto r = import(book, {1});
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().number, err::kCancelled);
    EXPECT_NE(r.error().description.find("75 行"), std::string::npos) << r.error().description;
    EXPECT_EQ(rowCount(), 75);
    EXPECT_EQ(table(1).back()[0], "7500");
}

// Rows a stopped import keeps must not be shown under the previous import's names.
TEST_F(ImportRows, AStoppedImportNamesTheRowsItKept) {
    ASSERT_TRUE(import(writeXls("a.xls", {numbered(2, 2)}), {1, 2}).ok());
    auto book = writeXls("b.xls", {{{"X"}, {"9"}, {"8"}}});
    progress.cancelAfter(1);
    ASSERT_EQ(importRows(ws, {book, 1, {1}, {"X"}, 500}, progress).error().number, err::kCancelled);
    EXPECT_EQ(columnList(), (Names{"X"}));
}
