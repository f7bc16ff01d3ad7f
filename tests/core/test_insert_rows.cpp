// Many rows per insert statement: values land in their own row and column.
#include <gtest/gtest.h>

#include "core/paths.h"
#include "core/statements.h"
#include "tests/support/test_support.h"

using namespace tabrovin;
namespace tt = tabrovin::testing;

TEST(InsertRows, ParametersGoRowAfterRowWithinTheEngineLimit) {
    tt::TempDir dir;
    tt::makeProgramFolder(dir.path());
    Database db;
    ASSERT_TRUE(db.open(ProgramPaths(dir.path()).workingDb()).ok());
    auto sql = statements::insertRows(2, 3);
    ASSERT_TRUE(sql.ok());
    auto insert = db.prepare(*sql);
    ASSERT_TRUE(insert.ok());
    ASSERT_TRUE(insert->run({"r1a", "r1b", "r2a", "it's", "r3a", ""}).ok());
    std::vector<std::string> rows;
    int n = 0;
    ASSERT_TRUE(db.readTexts({"select a0, a1, a2 is null from wen order by id", {}}, rows, n).ok());
    EXPECT_EQ(rows,
              (std::vector<std::string>{"r1a", "r1b", "1", "r2a", "it's", "1", "r3a", "", "1"}));

    EXPECT_TRUE(statements::insertRows(51, statements::kMaxParameters / 51).ok());
    EXPECT_FALSE(statements::insertRows(51, statements::kMaxParameters / 51 + 1).ok());
    EXPECT_FALSE(statements::insertRows(2, 0).ok());
    EXPECT_EQ(statements::insertRows(52, 1).error().number, err::kNoSuchColumn);
    // The largest allowed statement still compiles.
    EXPECT_TRUE(db.prepare(*statements::insertRows(51, statements::kMaxParameters / 51)).ok());
}
