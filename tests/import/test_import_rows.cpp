// The row import: what reaches wen, counters, pauses, refusals, errors and
// cancels, and the column list saved on success.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "import/import_rows.h"
#include "tests/support/workspace_fixture.h"

using namespace tabrovin;
using tabrovin::testing::WorkspaceTest;
namespace tt = tabrovin::testing;
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

// A caller that opened the sheet already hands it over; the file is not read again.
TEST_F(ImportRows, ASheetOpenedByTheCallerIsReadAsItIs) {
    auto book = writeXls("o.xls", {numbered(3, 2)});
    auto opened = openMeasuredSheet(book, 1);
    ASSERT_TRUE(opened.ok());
    std::filesystem::remove(book);
    auto r = importRows(ws, {book, 1, {2}, {"h1"}, 500, *opened}, progress);
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(table(1), (Sheet{{"101"}, {"201"}, {"301"}}));
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

// Up to 51 of the ticked columns go in; more, impossible ticks and sheets
// without data rows are refused before anything changes.
TEST_F(ImportRows, RefusalsComeBeforeAnythingChanges) {
    auto book = writeXls("w.xls", {numbered(2, 53), {{"only", "header"}}, {}});
    ASSERT_TRUE(import(book, upTo(53, 3)).ok());
    EXPECT_EQ(table(51)[0][50], "152");
    const Names kept = columnList();
    ASSERT_EQ(kept.size(), 51u);
    struct Case {
        std::vector<int> positions;
        int sheet, number;
        std::string fragment;
    };
    for (const Case& c : std::vector<Case>{{upTo(53), 1, err::kRefused, "53"},
                                           {{}, 1, err::kInvalidArgument, "勾选"},
                                           {{0}, 1, err::kRefused, ""},
                                           {{1, -1}, 1, err::kRefused, ""},
                                           {{1, 54}, 1, err::kRefused, "第 54 列"}}) {
        EXPECT_TRUE(tt::failsWith(import(book, c.positions, 500, c.sheet), c.number, c.fragment))
            << c.positions.size() << " columns of sheet " << c.sheet;
    }
    EXPECT_FALSE(importRows(ws, {book, 1, {1, 2}, {"h0"}, 500}, progress).ok());  // one name short
    EXPECT_EQ(rowCount(), 2);
    EXPECT_EQ(columnList(), kept);
    // Headings only, or nothing at all: no row, but the ticked names stand.
    for (int sheet : {2, 3}) {
        auto r = import(book, {1}, 500, sheet);
        ASSERT_TRUE(r.ok()) << r.error().description;
        EXPECT_EQ(r->inserted, 0);
        EXPECT_EQ(rowCount(), 2);
        EXPECT_EQ(columnList(), Names{"h0"});
    }
}

// A cancel keeps the rows inserted, says how many, and saves their names, so
// they never show under the previous import's; one stopped before its first
// row leaves the names alone.
TEST_F(ImportRows, ACancelKeepsTheRowsInsertedCountedAndNamed) {
    auto first = writeXls("a.xls", {numbered(2, 2)});
    ASSERT_TRUE(import(first, {1, 2}).ok());
    progress.cancelAfter(75);  // a full statement of rows and a part of the next
    EXPECT_TRUE(tt::failsWith(import(writeXls("n.xls", {numbered(120, 1)}), {1}), err::kCancelled,
                              "75 行"));
    EXPECT_EQ(rowCount(), 77);
    EXPECT_EQ(table(1).back()[0], "7500");
    EXPECT_EQ(columnList(), (Names{"h0"}));
    EXPECT_TRUE(tt::failsWith(import(first, {1, 2}), err::kCancelled));  // still told to stop
    EXPECT_EQ(rowCount(), 77);
    EXPECT_EQ(columnList(), (Names{"h0"}));
}

// Fault: rows committed at a pause outlived a kill of the program, but their
// names did not, so they came back under the previous workbook's headings.
TEST_F(ImportRows, RowsCommittedAtAPauseAreNamedBeforeAKillCanLoseTheNames) {
    ASSERT_TRUE(import(writeXls("a.xls", {numbered(2, 2)}), {1, 2}).ok());
    auto book = writeXls("n.xls", {numbered(120, 1)});
    progress.onPause = [] { ::kill(::getpid(), SIGKILL); };  // the first pause follows a commit
    ws.conn.release();
    pid_t child = ::fork();
    if (child == 0) {
        (void)import(book, {1}, 50);
        _exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(rowCount(), 2 + 51);  // a pause comes after every 50 + 1 rows
    EXPECT_EQ(columnList(), (Names{"h0"}));
}
