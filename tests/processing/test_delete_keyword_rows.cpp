// Keyword deletion on a real working table.
#include "processing/delete_keyword_rows.h"
#include "tests/support/workspace_fixture.h"

using namespace tabrovin;
using tabrovin::testing::WorkspaceTest;
namespace tt = tabrovin::testing;
using Values = std::vector<std::string>;

class DeleteKeywordRows : public WorkspaceTest {
  protected:
    void SetUp() override {
        for (const char* v : {"12", "312", "1234", "1-2", "it's", "IT'S ok", "its", "50%", ""})
            fill({{"x", v}});
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

// A keyword matches anywhere in the text, ignoring case, with % keeping its
// meaning and quotes taken as text.
TEST_F(DeleteKeywordRows, DeletesFromTheChosenColumnAndCountsTheRest) {
    auto r = remove("12");
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(r->left, 6);
    EXPECT_EQ(progress.values(Counter::Rows), (std::vector<int64_t>{6}));
    EXPECT_EQ(remove("1%2")->left, 5);
    EXPECT_EQ(values(), (Values{"it's", "IT'S ok", "its", "50%", ""}));
    EXPECT_EQ(remove("it's")->left, 3);
    EXPECT_EQ(values(), (Values{"its", "50%", ""}));
    EXPECT_EQ(remove("x", 0)->left, 0);
}

TEST_F(DeleteKeywordRows, RefusalsAndCancelsLeaveEveryRow) {
    EXPECT_TRUE(tt::failsWith(remove(""), err::kRefused));
    EXPECT_TRUE(tt::failsWith(remove("1", -1), err::kNoSuchColumn));
    progress.cancelAfter(0);
    EXPECT_TRUE(tt::failsWith(remove("1"), err::kCancelled));
    EXPECT_EQ(rowCount(), 9);
}
