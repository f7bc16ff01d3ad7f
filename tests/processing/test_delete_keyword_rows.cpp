// Keyword deletion on a real working table.
#include <algorithm>

#include "core/undo.h"
#include "processing/delete_keyword_rows.h"
#include "tests/support/workspace_fixture.h"

using namespace tabrovin;
using tabrovin::testing::WorkspaceTest;
namespace tt = tabrovin::testing;
using Values = std::vector<std::string>;

class MatchModes : public WorkspaceTest {
  protected:
    void SetUp() override {
        for (const std::string& v : all) fill({{"x", v}});
        fill({{"no value"}});  // a null in a1 matches no keyword in any way
    }
    Values values() {
        Values out;
        for (const auto& r : table(2)) out.push_back(r[1]);
        return out;
    }
    const Values all = {"12",   "312", "1234",   "1-2",    "it's",   "IT'S ok", "its",
                        "50%",  "",    "a_b",    "axb",    "ＡＢＣ", "ａｂｃ",  "abc",
                        "ABC ", "a%b", "客户甲", "甲客户", "100%纯", "x\\y"};
};

// The step reports the rows left, and the chosen column is the one searched.
TEST_F(MatchModes, DeletesFromTheChosenColumnAndCountsTheRest) {
    auto r = deleteKeywordRows(ws, {1, "12"}, progress);
    ASSERT_TRUE(r.ok()) << r.error().description;
    EXPECT_EQ(r->left, 18);
    EXPECT_EQ(progress.values(Counter::Rows), (std::vector<int64_t>{18}));
    EXPECT_EQ(deleteKeywordRows(ws, {0, "x"}, progress)->left, 1);
    EXPECT_EQ(values(), (Values{"<null>"}));
}

// Each way of matching, alone and with several keywords: what a delete
// removes, what the count beforehand promised, and that undo brings it back.
TEST_F(MatchModes, EachWayRemovesExactlyItsRowsAndUndoes) {
    using M = MatchMode;
    struct Case {
        M mode;
        Values keywords, removed;
    };
    const std::vector<Case> cases = {
        {M::Contains, {"12"}, {"12", "312", "1234"}},
        {M::Contains, {"1%2"}, {"12", "312", "1234", "1-2"}},
        {M::Contains, {"a_b"}, {"a_b", "axb", "a%b"}},
        {M::Contains, {"ｂ"}, {"ａｂｃ"}},  // full-width letters keep their case
        {M::Contains, {"12", "its", "客户"}, {"12", "312", "1234", "its", "客户甲", "甲客户"}},
        {M::Literal, {"a_b"}, {"a_b"}},
        {M::Literal, {"0%"}, {"50%", "100%纯"}},
        {M::Literal, {"1%2"}, {}},
        {M::Literal, {"_", "%"}, {"50%", "a_b", "a%b", "100%纯"}},
        {M::Literal, {"\\"}, {"x\\y"}},
        {M::Equals, {"ABC"}, {"abc"}},
        {M::Equals, {"a_b", "it's"}, {"it's", "a_b"}},
        {M::Equals, {"its", "IT'S OK", "ＡＢＣ"}, {"IT'S ok", "its", "ＡＢＣ"}},
        {M::StartsWith, {"12"}, {"12", "1234"}},
        {M::StartsWith, {"客户", "A%"}, {"a%b", "客户甲"}},
        {M::StartsWith, {"%"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(matchModeName(c.mode)) + " " + c.keywords.front());
        DeleteRequest request{1, c.keywords.front(), c.mode,
                              Values(c.keywords.begin() + 1, c.keywords.end())};
        auto promised = countKeywordRows(ws, request);
        ASSERT_TRUE(promised.ok()) << promised.error().description;
        EXPECT_EQ(*promised, static_cast<int64_t>(c.removed.size()));
        auto r = deleteKeywordRows(ws, request, progress);
        ASSERT_TRUE(r.ok()) << r.error().description;
        Values left;
        for (const auto& v : all)
            if (std::find(c.removed.begin(), c.removed.end(), v) == c.removed.end())
                left.push_back(v);
        left.push_back("<null>");
        EXPECT_EQ(values(), left);
        // A delete that removed nothing keeps no undo of its own.
        if (!c.removed.empty()) {
            ASSERT_TRUE(undoLastStep(ws).ok());
        }
        EXPECT_EQ(rowCount(), static_cast<int64_t>(all.size()) + 1);
    }
}

TEST_F(MatchModes, SplitsAtBarsAndLinesAndRefusalsAndCancelsLeaveEveryRow) {
    EXPECT_EQ(splitKeywords("a|b\nc\r\nd||"), (Values{"a", "b", "c", "d"}));
    EXPECT_EQ(splitKeywords(" a | b "), (Values{" a ", " b "}));  // blanks are typed text
    EXPECT_TRUE(splitKeywords("|\n").empty());
    for (MatchMode mode : kMatchModes) {
        EXPECT_TRUE(
            tt::failsWith(deleteKeywordRows(ws, {1, "1", mode, {""}}, progress), err::kRefused));
        EXPECT_TRUE(tt::failsWith(countKeywordRows(ws, {1, "", mode}), err::kRefused));
        EXPECT_TRUE(tt::failsWith(matchCondition(51, {{"x"}, mode}), err::kNoSuchColumn));
    }
    EXPECT_TRUE(tt::failsWith(
        deleteKeywordRows(ws, {1, "1", MatchMode::Contains, Values(kMaxKeywords, "x")}, progress),
        err::kRefused));
    EXPECT_TRUE(tt::failsWith(deleteKeywordRows(ws, {1, ""}, progress), err::kRefused));
    EXPECT_TRUE(tt::failsWith(deleteKeywordRows(ws, {-1, "1"}, progress), err::kNoSuchColumn));
    progress.cancelAfter(0);
    EXPECT_TRUE(tt::failsWith(deleteKeywordRows(ws, {1, "1"}, progress), err::kCancelled));
    EXPECT_EQ(rowCount(), static_cast<int64_t>(all.size()) + 1);
}
