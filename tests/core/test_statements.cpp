// Every statement on wen, run on a real database made from the blank template.
#include <gtest/gtest.h>

#include "core/paths.h"
#include "core/statements.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;
namespace st = tabrovin::statements;
using Texts = std::vector<std::string>;

class WorkingTable : public ::testing::Test {
  protected:
    void SetUp() override {
        tt::makeProgramFolder(dir.path());
        ASSERT_TRUE(db.open(ProgramPaths(dir.path()).workingDb()).ok());
    }
    void insert(const Texts& values) {
        auto stmt = db.prepare(*st::insertRow(static_cast<int>(values.size())));
        ASSERT_TRUE(stmt.ok());
        ASSERT_TRUE(stmt->run(values).ok());
    }
    Texts texts(const std::string& sql) {
        Texts out;
        int n = 0;
        EXPECT_TRUE(db.readTexts({sql, {}}, out, n).ok()) << sql;
        return out;
    }
    Texts column(int k) {
        return texts("select coalesce(a" + std::to_string(k) + ",'<null>') from wen order by id");
    }
    tt::TempDir dir;
    Database db;
};

// One row or many per statement: values land in their own row and column as
// they are, quotes and empty text included; unfilled columns stay null.
TEST_F(WorkingTable, InsertsKeepQuotesAndEmptyTextNotNull) {
    // Empty, the table counts zero and has no first id.
    EXPECT_EQ(*db.readNumber(st::countRows()), 0);
    ASSERT_FALSE(db.readNumber(st::idAfter(0, 1)).ok());  // no number is an error for a number
    EXPECT_FALSE(db.readOptionalNumber(st::idAfter(0, 1))->has_value());
    insert({"x", "it's", ""});
    insert({"'); drop table wen; --", "%", "\"q\""});
    auto many = db.prepare(*st::insertRows(2, 2));
    ASSERT_TRUE(many.ok());
    ASSERT_TRUE(many->run({"r1a", "r1b", "r2a", ""}).ok());
    EXPECT_EQ(column(0), (Texts{"x", "'); drop table wen; --", "r1a", "r2a"}));
    EXPECT_EQ(column(1), (Texts{"it's", "%", "r1b", ""}));
    EXPECT_EQ(column(2), (Texts{"", "\"q\"", "<null>", "<null>"}));
    EXPECT_EQ(column(3), Texts(4, "<null>"));
    // The largest statement the engine's parameter limit allows still compiles.
    EXPECT_TRUE(db.prepare(*st::insertRows(51, st::kMaxParameters / 51)).ok());
}

TEST_F(WorkingTable, IdsOnlyGrowAndPagesFollowPositions) {
    for (int i = 0; i < 10; ++i) insert({std::to_string(i)});
    ASSERT_TRUE(db.run({"delete from wen where id in (2,3,7,10)", {}}).ok());
    insert({"new"});  // gets 11, never a reused id
    EXPECT_EQ(**db.readOptionalNumber(st::idAfter(9, 1)), 11);
    // Rows in id order: 1 4 5 6 8 9 11; the 3rd row after id 4 is 8.
    EXPECT_EQ(**db.readOptionalNumber(st::idAfter(4, 3)), 8);
    EXPECT_EQ(**db.readOptionalNumber(st::idAfter(0, 1)), 1);
    EXPECT_FALSE(db.readOptionalNumber(st::idAfter(9, 5))->has_value());
    Texts cells;
    int n = 0;
    ASSERT_TRUE(db.readTexts(*st::pageRows({0, 0}, 4, 3), cells, n).ok());
    EXPECT_EQ(n, 3);  // the id first
    EXPECT_EQ(cells, (Texts{"5", "4", "4", "6", "5", "5", "8", "7", "7"}));
}

TEST(Statements, ColumnNumbersAndSizesOutsideTheTableAreClearErrors) {
    for (int k : {-1, 51, 1000})
        EXPECT_TRUE(tt::failsWith(st::columnName(k), err::kNoSuchColumn, std::to_string(k)));
    EXPECT_FALSE(st::pageRows({0, 51}, 0, 1).ok());
    EXPECT_TRUE(st::columnName(50).ok());
    EXPECT_FALSE(st::insertRows(51, st::kMaxParameters / 51 + 1).ok());
    EXPECT_FALSE(st::insertRows(2, 0).ok());
    EXPECT_EQ(st::insertRows(52, 1).error().number, err::kNoSuchColumn);
}
