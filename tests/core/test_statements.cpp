// Every statement on wen, run on a real database made from the blank template.
#include <gtest/gtest.h>

#include "core/paths.h"
#include "core/statements.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;
namespace st = tabrovin::statements;

class WorkingTable : public ::testing::Test {
  protected:
    void SetUp() override {
        tt::makeProgramFolder(dir.path());
        ASSERT_TRUE(db.open(ProgramPaths(dir.path()).workingDb()).ok());
    }
    void insert(const std::vector<std::string>& values) {
        auto sql = st::insertRow(static_cast<int>(values.size()));
        ASSERT_TRUE(sql.ok());
        auto stmt = db.prepare(*sql);
        ASSERT_TRUE(stmt.ok());
        ASSERT_TRUE(stmt->run(values).ok());
    }
    std::vector<std::string> column(int k) {
        std::vector<std::string> out;
        int n = 0;
        EXPECT_TRUE(
            db.readTexts(
                  {"select coalesce(a" + std::to_string(k) + ",'<null>') from wen order by id", {}},
                  out, n)
                .ok());
        return out;
    }
    int32_t count() { return *db.readNumber(st::countRows()); }

    tt::TempDir dir;
    Database db;
};

TEST_F(WorkingTable, EmptyTableCountsZeroAndHasNoLargestId) {
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(*db.readNumber(st::countRowsForExport()), 0);
    auto largest = db.readNumber(st::largestId());
    ASSERT_FALSE(largest.ok());  // a null is an error for a number
    EXPECT_FALSE(db.readOptionalNumber(st::largestId())->has_value());
    EXPECT_TRUE(db.run(*st::deleteContaining(0, "x")).ok());
}

TEST_F(WorkingTable, InsertKeepsQuotesAndEmptyTextNotNull) {
    insert({"x", "it's", ""});
    insert({"'); drop table wen; --", "%", "\"q\""});
    EXPECT_EQ(column(1), (std::vector<std::string>{"it's", "%"}));
    EXPECT_EQ(column(2), (std::vector<std::string>{"", "\"q\""}));
    EXPECT_EQ(column(3), (std::vector<std::string>{"<null>", "<null>"}));  // unfilled stays null
    EXPECT_EQ(count(), 2);
}

TEST_F(WorkingTable, KeywordMatchesAnywhereWithWildcardAndQuotes) {
    for (const char* v : {"12", "312", "1234", "1-2", "it's", "IT'S here", "its", "50%off"})
        insert({v});
    ASSERT_TRUE(db.run(*st::deleteContaining(0, "12")).ok());
    EXPECT_EQ(column(0), (std::vector<std::string>{"1-2", "it's", "IT'S here", "its", "50%off"}));
    ASSERT_TRUE(db.run(*st::deleteContaining(0, "it's")).ok());
    EXPECT_EQ(column(0), (std::vector<std::string>{"1-2", "its", "50%off"}));
    ASSERT_TRUE(db.run(*st::deleteContaining(0, "1%2")).ok());  // % keeps its meaning
    EXPECT_EQ(column(0), (std::vector<std::string>{"its", "50%off"}));
}

TEST_F(WorkingTable, IdsOnlyGrowAndPagesFollowPositions) {
    for (int i = 0; i < 10; ++i) insert({std::to_string(i)});
    ASSERT_TRUE(db.run({"delete from wen where id in (2,3,7,10)", {}}).ok());
    insert({"new"});  // gets 11, never a reused id
    EXPECT_EQ(*db.readNumber(st::largestId()), 11);
    // Rows in id order: 1 4 5 6 8 9 11; the 3rd row after id 4 is 8.
    EXPECT_EQ(**db.readOptionalNumber(st::idAfter(4, 3)), 8);
    EXPECT_EQ(**db.readOptionalNumber(st::idAfter(0, 1)), 1);
    EXPECT_FALSE(db.readOptionalNumber(st::idAfter(9, 5))->has_value());
    std::vector<std::string> cells;
    int n = 0;
    ASSERT_TRUE(db.readTexts(*st::pageRows({0, 0}, 4, 9), cells, n).ok());
    EXPECT_EQ(n, 2);
    EXPECT_EQ(cells, (std::vector<std::string>{"4", "4", "5", "5", "7", "7", "8", "8"}));
}

TEST_F(WorkingTable, ColumnNumbersOutsideTheTableAreClearErrors) {
    for (int k : {-1, 51, 1000}) {
        auto r = st::deleteContaining(k, "x");
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error().number, err::kNoSuchColumn);
        EXPECT_NE(r.error().description.find(std::to_string(k)), std::string::npos);
    }
    EXPECT_FALSE(st::pageRows({0, 51}, 0, 1).ok());
    EXPECT_TRUE(st::deleteContaining(50, "x").ok());
}

TEST(Database, MissingOrForeignFilesAreNamedErrors) {
    tt::TempDir dir;
    Database db;
    auto missing = db.open(dir / "none.mdb");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().number, err::kFileNotFound);
    EXPECT_NE(missing.error().description.find("none.mdb"), std::string::npos);
    tt::writeFile(dir / "text.mdb", "this is not a database, just some text that goes on\n");
    auto foreign = db.open(dir / "text.mdb");
    ASSERT_FALSE(foreign.ok());
    EXPECT_FALSE(db.isOpen());
    EXPECT_EQ(tt::readFile(dir / "text.mdb").substr(0, 4), "this");  // left untouched
}
