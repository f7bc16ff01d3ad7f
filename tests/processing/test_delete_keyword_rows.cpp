// Keyword deletion on a real working table.
#include "processing/delete_keyword_rows.h"
#include "tests/support/workspace_fixture.h"

using namespace tabrovin;
using tabrovin::testing::WorkspaceTest;
using Values = std::vector<std::string>;

class DeleteKeywordRows : public WorkspaceTest {
  protected:
    void SetUp() override {
        fill({{"x", "12"},
              {"x", "312"},
              {"x", "1234"},
              {"x", "1-2"},
              {"x", "it's"},
              {"x", "IT'S ok"},
              {"x", "its"},
              {"x", "50%"},
              {"x", ""}});
    }
    Result<DeleteReport> remove(const std::string& keyword, int column = 1) {
        return deleteKeywordRows(ws, {column, keyword}, progress);
    }
    Values values() {
        Values out;
        for (const auto& r : table(2)) out.push_back(r[1]);
        return out;
    }
};

// How keywords match is pinned with the statements; here the step around it.
TEST_F(DeleteKeywordRows, DeletesFromTheChosenColumnAndCountsTheRest) {
    auto r = remove("12");
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(r->left, 6);
    EXPECT_EQ(progress.values(Counter::Rows), (std::vector<int64_t>{6}));
    EXPECT_EQ(remove("1%2")->left, 5);
    EXPECT_EQ(values(), (Values{"it's", "IT'S ok", "its", "50%", ""}));
    EXPECT_EQ(remove("x", 0)->left, 0);
}

TEST_F(DeleteKeywordRows, RefusalsAndCancelsLeaveEveryRow) {
    auto empty = remove("");
    ASSERT_FALSE(empty.ok());
    EXPECT_EQ(empty.error().number, err::kRefused);

    auto noColumn = remove("1", -1);
    ASSERT_FALSE(noColumn.ok());
    EXPECT_EQ(noColumn.error().number, err::kNoSuchColumn);

    progress.cancelAfter(0);
    auto cancelled = remove("1");
    ASSERT_FALSE(cancelled.ok());
    EXPECT_EQ(cancelled.error().number, err::kCancelled);
    EXPECT_EQ(rowCount(), 9);
}
