// Page reads of the working table against what the table really holds: the
// ids in order, the rows a keyword delete removes, and the file untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "core/paths.h"
#include "core/statements.h"
#include "core/table_page.h"
#include "tests/support/read_numbers.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;
namespace st = tabrovin::statements;
namespace fs = std::filesystem;
using Ids = std::vector<int64_t>;

class TablePage : public ::testing::Test {
  protected:
    void SetUp() override {
        tt::makeProgramFolder(dir.path());
        file = ProgramPaths(dir.path()).workingDb();
        ASSERT_TRUE(db.open(file).ok());
    }
    void sql(const std::string& text) { ASSERT_TRUE(db.run({text, {}}).ok()) << text; }
    // `rows` rows of three columns, then every seventh and the 200..260 run
    // deleted, so ids have gaps of one and of many.
    void fillWithGaps(int rows) {
        sql("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM n WHERE x<" +
            std::to_string(rows) +
            ") INSERT INTO wen (a0,a1,a2) SELECT 'r'||x, x%10, "
            "CASE WHEN x%5=0 THEN NULL ELSE 'v'||x END FROM n");
        sql("DELETE FROM wen WHERE id%7=0 OR id BETWEEN 200 AND 260");
    }
    static Ids ids(Database& on) {
        return *tt::readNumbers(on, {"SELECT id FROM wen ORDER BY id", {}});
    }
    static Ids idsOf(const std::vector<TableRow>& rows) {
        Ids out;
        for (const auto& r : rows) out.push_back(r.id);
        return out;
    }
    // Every row the reader gives, read in pages of `size`.
    static Ids readAll(TablePageReader& reader, int size) {
        Ids out;
        for (int64_t from = 0;; from += size) {
            auto rows = reader.page(from, size);
            EXPECT_TRUE(rows.ok());
            if (!rows.ok() || rows->empty()) return out;
            for (const auto& r : *rows) out.push_back(r.id);
        }
    }

    tt::TempDir dir;
    fs::path file;
    Database db;
};

TEST_F(TablePage, PagesFollowIdOrderReadOnwardOrByJumps) {
    fillWithGaps(3000);
    const auto all = ids(db);
    TablePageReader reader;
    ASSERT_TRUE(reader.open(file, 3).ok());
    EXPECT_EQ(readAll(reader, 97), all);
    EXPECT_EQ(reader.rowsRead(), static_cast<int64_t>(all.size()));
    EXPECT_LT(reader.idsSkipped(), 97);  // reading on steps over nothing but the end

    // Jumps in random order, on a fresh reader that has to find its way.
    ASSERT_TRUE(reader.open(file, 3).ok());
    ASSERT_EQ(*reader.rowCount(), static_cast<int64_t>(all.size()));
    std::mt19937 random(7);
    for (int i = 0; i < 60; ++i) {
        int64_t from = random() % (all.size() + 50);
        int count = 1 + random() % 120;
        auto rows = reader.page(from, count);
        ASSERT_TRUE(rows.ok());
        Ids expected(all.begin() + std::min<int64_t>(from, all.size()),
                     all.begin() + std::min<int64_t>(from + count, all.size()));
        EXPECT_EQ(idsOf(*rows), expected) << "from " << from << " count " << count;
        for (const TableRow& row : *rows) {  // values by column, a null as empty text
            ASSERT_EQ(row.values.size(), 3u);
            EXPECT_EQ(row.values[0], "r" + std::to_string(row.id));
            EXPECT_EQ(row.values[2], row.id % 5 == 0 ? "" : "v" + std::to_string(row.id));
        }
    }
}

TEST_F(TablePage, CountsAndPagesIdsFarApartUpToTheLargest) {
    const Ids far = {-3, 5, 99999, 100004, 100005, 250000, INT64_MAX - 1, INT64_MAX};
    for (int64_t id : far)
        sql("INSERT INTO wen (id, a0) VALUES (" + std::to_string(id) +
            (id % 2 ? ", 'odd')" : ", 'even')"));
    TablePageReader reader;
    ASSERT_TRUE(reader.open(file, 1).ok());
    EXPECT_EQ(*reader.rowCount(), static_cast<int64_t>(far.size()));
    EXPECT_EQ(readAll(reader, 3), far);
    ASSERT_TRUE(reader.open(file, 1, RowFilter{st::containsParam("a0", 1), {"ODD"}}).ok());
    EXPECT_EQ(*reader.rowCount(), 5);  // -3, 5, 99999, 100005, INT64_MAX
    EXPECT_EQ(idsOf(*reader.page(3, 5)), (Ids{100005, INT64_MAX}));
}

// The filter's condition and its parameters reach the engine as given, on
// every way of paging; which rows a keyword matches is the matcher's test.
TEST_F(TablePage, FilterShowsExactlyTheRowsItsConditionSelects) {
    for (const char* v : {"Apple pie", "apple", "APPLE", "pineapple", "appl", "a%ple", "100%",
                          "100 percent", "a_b", "axb", "it's", "北京市", "北京", "南京"})
        ASSERT_TRUE(db.run({"INSERT INTO wen (a0, a1) VALUES ('x', ?1)", {std::string(v)}}).ok());
    sql("INSERT INTO wen (a0) VALUES ('x')");  // a null in a1
    fillWithGaps(400);
    db.release();
    Database other;
    ASSERT_TRUE(other.open(file, Database::Mode::ReadOnly).ok());
    for (const std::string keyword :
         {"apple", "APPLE", "%", "100%", "a_b", "_", "'", "北京", "v1", "3", "none"}) {
        const RowFilter filter{"a1 = 'never' or " + st::containsParam("a1", 1), {keyword}};
        const Ids removed = *tt::readNumbers(
            other,
            {"select id from wen where " + filter.condition + " order by id", filter.params});
        TablePageReader reader;
        ASSERT_TRUE(reader.open(file, 2, filter).ok());
        EXPECT_EQ(*reader.rowCount(), static_cast<int64_t>(removed.size())) << keyword;
        EXPECT_EQ(readAll(reader, 13), removed) << keyword;
        if (removed.size() > 20) {  // a jump inside the filtered rows
            EXPECT_EQ(idsOf(*reader.page(removed.size() - 3, 5)),
                      Ids(removed.end() - 3, removed.end()));
        }
    }
}

TEST_F(TablePage, BadFilesAndArgumentsAreErrorsAndNothingIsWritten) {
    TablePageReader reader;
    EXPECT_EQ(reader.open(dir / "none.mdb", 3).error().number, err::kFileNotFound);
    EXPECT_FALSE(fs::exists(dir / "none.mdb"));  // never created
    tt::writeFile(dir / "text.mdb", std::string(4096, 'x'));
    EXPECT_EQ(reader.open(dir / "text.mdb", 3).error().number, err::kDatabaseBase + 26);
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.open(file, 52).error().number, err::kRefused);
    EXPECT_EQ(reader.open(file, 3, RowFilter{"a51 = ?1", {"x"}}).error().number,
              err::kDatabaseBase + 1);

    fillWithGaps(500);
    db.release();
    const std::string bytes = tt::readFile(file);
    ASSERT_TRUE(reader.open(file, 51).ok());
    EXPECT_EQ(reader.page(0, 10)->size(), 10u);
    EXPECT_TRUE(reader.page(5000, 10)->empty());
    EXPECT_FALSE(reader.page(-1, 10).ok());
    EXPECT_FALSE(reader.page(0, -1).ok());
    EXPECT_EQ(tt::readFile(file), bytes);
    // A writer commits while the reader stays open between pages.
    ASSERT_TRUE(db.open(file).ok());
    sql("DELETE FROM wen WHERE id < 100");
    reader.close();
    EXPECT_FALSE(reader.page(0, 1).ok());  // closed: an error, not a crash
}

TEST_F(TablePage, RowsAreWrittenOnePerLineWithEscapes) {
    sql("INSERT INTO wen (a0, a1, a2) VALUES ('a'||char(9)||'b', 'line1'||char(10)||'line2', "
        "'C:\\dir'), ('cr'||char(13), '', '普通')");
    fillWithGaps(2500);
    std::ostringstream out;
    ASSERT_TRUE(writeRows(file, {"姓名", "备\t注", "路径"}, 0, 2, out).ok());
    EXPECT_EQ(out.str(),
              "编号\t姓名\t备\\t注\t路径\n1\ta\\tb\tline1\\nline2\tC:\\\\dir\n2\tcr\\r\t\t普通\n");

    // Everything from a position, across several internal pages.
    std::ostringstream rest;
    ASSERT_TRUE(writeRows(file, {"一"}, 5, std::nullopt, rest).ok());
    Ids all = ids(db);
    std::string expected = "编号\t一\n";
    for (size_t p = 5; p < all.size(); ++p)
        expected += std::to_string(all[p]) + "\tr" + std::to_string(all[p] - 2) + "\n";
    EXPECT_EQ(rest.str(), expected);

    std::ostringstream past, bad, closed;
    ASSERT_TRUE(writeRows(file, {}, all.size() + 3, 10, past).ok());
    EXPECT_EQ(past.str(), "编号\n");
    EXPECT_FALSE(writeRows(file, {}, 0, -1, bad).ok());
    EXPECT_FALSE(writeRows(dir / "none.mdb", {}, 0, 1, bad).ok());
    closed.setstate(std::ios::badbit);
    EXPECT_EQ(writeRows(file, {}, 0, 1, closed).error().number, err::kFileAccess);
}
